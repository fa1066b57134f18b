#include "localdm/store/sqlitecatalog.h"

#include "dmapi/sqllexer.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

#include <sqlite3.h>

namespace {

QString argText(sqlite3_value *value)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return text ? QString::fromUtf8(text, sqlite3_value_bytes(value)) : QString();
}

void resultText(sqlite3_context *context, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// The lower-case form of an ASCII letter, as QString's case folding has it; any other byte as it is.
constexpr unsigned char foldedAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// UPPER and LOWER. Text of ASCII characters only, the common case, is mapped byte by byte as QString maps
// it, sparing two conversions of every value.
template <QString (QString::*Convert)() const &, char First, char Last>
void caseFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = sqlite3_value_text(argv[0]);
    const int size = sqlite3_value_bytes(argv[0]);
    if (std::all_of(text, text + size, [](unsigned char c) { return c < 0x80; })) {
        auto *mapped = static_cast<unsigned char *>(sqlite3_malloc(size + 1));
        if (!mapped) {
            sqlite3_result_error_nomem(context);
            return;
        }
        std::transform(text, text + size, mapped, [](unsigned char c) {
            return c >= First && c <= Last ? static_cast<unsigned char>(c ^ 0x20) : c;
        });
        sqlite3_result_text(context, reinterpret_cast<const char *>(mapped), size, sqlite3_free);
        return;
    }
    resultText(context, (argText(argv[0]).*Convert)());
}

// The id a table has in "sysobjects": stable for the owner-qualified name in any letter case.
qint64 objectId(const QString &qualifiedName)
{
    return qint64(qHash(qualifiedName.toUpper()) & 0x7fffffff) + 1;
}

void objectIdFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int64(context, objectId(argText(argv[0])));
}

void serverPropertyFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    const auto *config = static_cast<const LibraryConfig *>(sqlite3_user_data(context));
    if (argText(argv[0]).compare(QStringLiteral("ProductVersion"), Qt::CaseInsensitive) == 0)
        resultText(context, config->productVersion);
    else
        sqlite3_result_null(context);
}

// LEN of SQL Server and Sybase: the characters of a text without its trailing blanks.
void lenFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    QString text = argText(argv[0]);
    while (text.endsWith(u' '))
        text.chop(1);
    sqlite3_result_int64(context, text.size());
}

void utcDateFunction(sqlite3_context *context, int, sqlite3_value **)
{
    resultText(context, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

void localDateFunction(sqlite3_context *context, int, sqlite3_value **)
{
    resultText(context, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

// TO_DATE(text, format) for the formats the DM's SQL uses; dates come back as "YYYY-MM-DD".
void toDateFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    const QString text = argText(argv[0]).trimmed();
    const QString format = argText(argv[1]).trimmed().toUpper();
    QDate date;
    if (format == QStringLiteral("DD-MON-RR") || format == QStringLiteral("DD-MON-YY")) {
        date = QLocale(QLocale::English).toDate(text, QStringLiteral("dd-MMM-yy"));
        if (date.isValid() && date.year() < 1950)
            date = date.addYears(100);
    } else if (format == QStringLiteral("DD-MON-YYYY")) {
        date = QLocale(QLocale::English).toDate(text, QStringLiteral("dd-MMM-yyyy"));
    } else if (format == QStringLiteral("YYYY-MM-DD")) {
        date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    } else {
        sqlite3_result_error(context, "ORA-01821: date format not recognized", -1);
        return;
    }
    if (!date.isValid()) {
        sqlite3_result_error(context,
                             "ORA-01858: a non-numeric character was found where a numeric was expected", -1);
        return;
    }
    resultText(context, date.toString(QStringLiteral("yyyy-MM-dd")));
}

// QString's case-insensitive order. While both texts are ASCII it is that of their folded bytes, and at
// an equal end the shorter text comes first; a non-ASCII byte before the first difference leaves the
// comparison to QString.
int noCaseCollation(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    const auto *left = static_cast<const unsigned char *>(a);
    const auto *right = static_cast<const unsigned char *>(b);
    const int common = std::min(lengthA, lengthB);
    int i = 0;
    for (; i < common && ((left[i] | right[i]) & 0x80) == 0; ++i) {
        if (const int difference = foldedAscii(left[i]) - foldedAscii(right[i]))
            return difference;
    }
    if (i == common)
        return lengthA - lengthB;
    return QString::fromUtf8(static_cast<const char *>(a), lengthA)
        .compare(QString::fromUtf8(static_cast<const char *>(b), lengthB), Qt::CaseInsensitive);
}

// Whether text matches a LIKE pattern: "%" any run, "_" one character, the escape character (if any)
// making the next one literal, and on SQL Server and Sybase "[abc]", "[a-c]" and "[^a]" sets.
bool likeMatch(QStringView text, QStringView pattern, QChar escape, bool sets,
               Qt::CaseSensitivity sensitivity)
{
    const auto same = [sensitivity](QChar a, QChar b) {
        return sensitivity == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
    };
    while (!pattern.isEmpty()) {
        const QChar p = pattern.front();
        if (p == u'%' && p != escape) {
            pattern = pattern.mid(1);
            for (qsizetype skip = 0; skip <= text.size(); ++skip)
                if (likeMatch(text.mid(skip), pattern, escape, sets, sensitivity))
                    return true;
            return false;
        }
        if (text.isEmpty())
            return false;
        const QChar c = text.front();
        if (p == escape && pattern.size() > 1) {
            if (!same(c, pattern[1]))
                return false;
            pattern = pattern.mid(2);
        } else if (p == u'_') {
            pattern = pattern.mid(1);
        } else if (p == u'[' && sets && pattern.indexOf(u']', 2) > 0) {
            const qsizetype close = pattern.indexOf(u']', 2);
            QStringView set = pattern.mid(1, close - 1);
            const bool negated = set.startsWith(u'^');
            if (negated)
                set = set.mid(1);
            bool found = false;
            for (qsizetype i = 0; i < set.size() && !found; ++i) {
                if (i + 2 < set.size() && set[i + 1] == u'-') {
                    const QChar folded = sensitivity == Qt::CaseSensitive ? c : c.toCaseFolded();
                    found = folded >= set[i].toCaseFolded() && folded <= set[i + 2].toCaseFolded();
                    i += 2;
                } else {
                    found = same(c, set[i]);
                }
            }
            if (found == negated)
                return false;
            pattern = pattern.mid(close + 1);
        } else {
            if (!same(c, p))
                return false;
            pattern = pattern.mid(1);
        }
        text = text.mid(1);
    }
    return text.isEmpty();
}

// LIKE as the library's server runs it: SQLite's own ignores case in ASCII letters only and knows no sets.
void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    const auto *config = static_cast<const LibraryConfig *>(sqlite3_user_data(context));
    const QString escape = argc == 3 ? argText(argv[2]) : QString();
    if (argc == 3 && escape.size() != 1) {
        sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
        return;
    }
    // like(pattern, text): SQLite passes the pattern first.
    sqlite3_result_int(context, likeMatch(argText(argv[1]), argText(argv[0]),
                                          escape.isEmpty() ? QChar() : escape[0], !config->oracle(),
                                          config->oracle() ? Qt::CaseSensitive : Qt::CaseInsensitive));
}

} // namespace

void SqliteRegisterCollation(sqlite3 *db)
{
    sqlite3_create_collation_v2(db, "DMNOCASE", SQLITE_UTF8, nullptr, &noCaseCollation, nullptr);
}

void SqliteRegisterCatalogFunctions(sqlite3 *db, const LibraryConfig &config)
{
    const int utf8 = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    // SQLite hands user data on as it is given; the functions only read it.
    void *facts = const_cast<LibraryConfig *>(&config);
    sqlite3_create_function_v2(db, "UPPER", 1, utf8, nullptr, &caseFunction<&QString::toUpper, 'a', 'z'>,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "LOWER", 1, utf8, nullptr, &caseFunction<&QString::toLower, 'A', 'Z'>,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "object_id", 1, utf8, nullptr, &objectIdFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "serverproperty", 1, SQLITE_UTF8, facts, &serverPropertyFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "GETUTCDATE", 0, SQLITE_UTF8, nullptr, &utcDateFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "SYSDATE", 0, SQLITE_UTF8, nullptr, &localDateFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "LEN", 1, utf8, nullptr, &lenFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 2, utf8, facts, &likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 3, utf8, facts, &likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "TO_DATE", 2, SQLITE_UTF8, nullptr, &toDateFunction, nullptr, nullptr,
                               nullptr);
}

QList<std::pair<QString, QVariantList>> SqliteCatalogStatements(const LibraryConfig &config)
{
    const QString owner = config.owner;
    return {
        {QStringLiteral("ATTACH DATABASE ':memory:' AS sys"), {}},
        {QStringLiteral("CREATE TABLE sys.databases (name TEXT, compatibility_level INTEGER, "
                        "is_quoted_identifier_on INTEGER)"),
         {}},
        {QStringLiteral("INSERT INTO sys.databases VALUES (?1, ?2, ?3)"),
         {config.databaseName, config.compatibilityLevel, config.quotedIdentifier ? 1 : 0}},
        {QStringLiteral("CREATE TEMP VIEW sysobjects AS SELECT object_id(%1 || '.' || name) AS id, name, "
                        "3 AS sysstat, 'U' AS type FROM %2.sqlite_master WHERE type = 'table'")
             .arg(SqlQuotedLiteral(owner), owner),
         {}},
        {QStringLiteral("CREATE TEMP VIEW ALL_TABLES AS SELECT %1 AS OWNER, name AS TABLE_NAME "
                        "FROM %2.sqlite_master WHERE type = 'table'")
             .arg(SqlQuotedLiteral(owner.toUpper()), owner),
         {}},
        {QStringLiteral("CREATE TEMP VIEW USER_TAB_PRIVS AS SELECT %1 AS OWNER, name AS TABLE_NAME, "
                        "'SELECT' AS PRIVILEGE FROM %2.sqlite_master WHERE type = 'table'")
             .arg(SqlQuotedLiteral(owner.toUpper()), owner),
         {}},
    };
}
