#pragma once

#include <QString>
#include <QStringView>

#include <array>

// The words of the three servers' SQL that the translator checks a statement against: what each server
// runs, which functions it knows, and what only SQLite would accept.
namespace ServerWords {

// What SQL Server says to the old outer-join operators above compatibility level 80.
inline const QString NonAnsiJoinMessage =
    QStringLiteral("The query uses non-ANSI outer join operators (\"*=\" or "
                   "\"=*\"). To run this query without modifying it, "
                   "please set the compatibility level for current database "
                   "to 80, using the SET COMPATIBILITY_LEVEL option of "
                   "ALTER DATABASE. It is strongly recommended to rewrite the "
                   "query using ANSI outer join operators (LEFT OUTER "
                   "JOIN, RIGHT OUTER JOIN). In the future versions of SQL "
                   "Server, non-ANSI join operators will not be supported "
                   "even in backward-compatibility modes.");

// Words after which an ORDER BY list has ended.
inline constexpr std::array<QStringView, 9> OrderByEnds = {
    u"LIMIT", u"OFFSET", u"FETCH", u"FOR", u"OPTION", u"UNION", u"INTERSECT", u"EXCEPT", u"MINUS"};

// The statements the pass-through runs, by their first word, and the servers that take them. Any other
// statement is refused as the server refuses it, also those that SQLite alone would run (ATTACH, PRAGMA,
// VACUUM, ...), and table definitions, which a DM library's login may not make.
struct Accepted {
    QStringView word;
    bool sqlServer;
    bool sybase;
    bool oracle;
};
inline constexpr Accepted AcceptedStatements[] = {
    {u"SELECT", true, true, true}, {u"INSERT", true, true, true}, {u"UPDATE", true, true, true},
    {u"DELETE", true, true, true}, {u"WITH", true, false, true},  {u"SET", true, true, false},
    {u"BEGIN", true, true, false}, {u"COMMIT", true, true, true}, {u"ROLLBACK", true, true, true},
};
inline constexpr std::array<QStringView, 6> DefinitionWords = {u"CREATE",   u"DROP",  u"ALTER",
                                                               u"TRUNCATE", u"GRANT", u"REVOKE"};

// Functions, by name, and the servers that know them; SQLite's own are known to none. A function the
// server knows and SQLite does not is translated or provided by the connection (LibraryDatabase).
struct Function {
    QStringView name;
    bool sqlServer;
    bool sybase;
    bool oracle;
};
inline constexpr Function Functions[] = {
    {u"ISNULL", true, true, false},
    {u"LEN", true, true, false},
    {u"NVL", false, false, true},
    {u"LENGTH", false, false, true},
    {u"SUBSTR", false, false, true},
    {u"INSTR", false, false, true},
    {u"SUBSTRING", true, true, false},
    {u"IFNULL", false, false, false},
    {u"TYPEOF", false, false, false},
    {u"PRINTF", false, false, false},
    {u"GROUP_CONCAT", false, false, false},
    {u"GLOB", false, false, false},
    {u"RANDOMBLOB", false, false, false},
    {u"ZEROBLOB", false, false, false},
    {u"QUOTE", false, false, false},
    {u"CHANGES", false, false, false},
    {u"TOTAL_CHANGES", false, false, false},
    {u"LAST_INSERT_ROWID", false, false, false},
    {u"JULIANDAY", false, false, false},
    {u"STRFTIME", false, false, false},
    {u"UNIXEPOCH", false, false, false},
    {u"DATETIME", false, false, false},
    {u"LIKELIHOOD", false, false, false},
    {u"LIKELY", false, false, false},
    {u"UNLIKELY", false, false, false},
    {u"LOAD_EXTENSION", false, false, false},
    {u"TOTAL", false, false, false},
};

// Words of SQLite's own syntax, refused where a server would find them.
inline constexpr std::array<QStringView, 6> SqliteOnlyWords = {u"LIMIT",     u"GLOB",    u"REGEXP",
                                                               u"RETURNING", u"NOTNULL", u"INDEXED"};

} // namespace ServerWords
