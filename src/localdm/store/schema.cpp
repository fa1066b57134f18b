#include "localdm/store/schema.h"

#include <algorithm>

QStringList LibraryTableNames()
{
    return {
        QStringLiteral("ACTIVITYLOG"), QStringLiteral("APPS"),          QStringLiteral("DOCSTABLE"),
        QStringLiteral("FOLDER"),      QStringLiteral("FOLDER_ITEM"),   QStringLiteral("FORMS"),
        QStringLiteral("GROUPS"),      QStringLiteral("PEOPLE"),        QStringLiteral("PEOPLEGROUPS"),
        QStringLiteral("PROFILE"),     QStringLiteral("QENT_SETTINGS"), QStringLiteral("REMOTE_LIBRARIES"),
        QStringLiteral("ROOT_OBJECT"), QStringLiteral("SECURITY")};
}

const QList<TextColumn> &LibraryTextColumns()
{
    static const QList<TextColumn> columns = {
        {"APPS", "APPLICATION", 20},
        {"APPS", "DESCRIPTION", 60},
        {"FORMS", "FORM_NAME", 64},
        {"GROUPS", "GROUP_ID", 20},
        {"GROUPS", "GROUP_NAME", 64},
        {"PEOPLE", "USER_ID", 20},
        {"PEOPLE", "FULL_NAME", 64},
        {"PROFILE", "DOCNAME", 240},
        {"PROFILE", "ABSTRACT", 2000},
        {"PROFILE", "KEYWORDS", 255},
        {"PROFILE", "FULLTEXT", 1},
        {"PROFILE", "STORAGETYPE", 1},
        {"PROFILE", "PATH", 255},
        {"FOLDER", "PATH", 255},
        {"FOLDER_ITEM", "DISPLAYNAME", 240},
        {"FOLDER_ITEM", "NODE_TYPE", 1},
        {"FOLDER_ITEM", "ISFIRST", 1},
        {"REMOTE_LIBRARIES", "LIBRARY_NAME", 32},
        {"REMOTE_LIBRARIES", "DATABASE_NAME", 64},
        {"REMOTE_LIBRARIES", "SERVER_LOCATION", 64},
        {"REMOTE_LIBRARIES", "OWNER", 30},
        {"REMOTE_LIBRARIES", "SQL_PASSWORD", 64},
        {"REMOTE_LIBRARIES", "LIB_LOGIN_UNAME", 64},
        {"ROOT_OBJECT", "DISPLAYNAME", 240},
        {"ACTIVITYLOG", "DESCRIPTION", 255},
        {"QENT_SETTINGS", "MASTER_KEY", 64},
        {"QENT_SETTINGS", "SECTION_KEY", 64},
        {"QENT_SETTINGS", "SUB_KEY", 64},
        {"QENT_SETTINGS", "CHAR_VAL", 2000},
        {"DOCSTABLE", "TABLE_NAME", 30},
    };
    return columns;
}

const TextColumn *LibraryTextColumn(const QString &constraint)
{
    for (const TextColumn &column : LibraryTextColumns())
        if (column.constraintName() == constraint)
            return &column;
    return nullptr;
}

namespace {

// "CREATE INDEX ... name ON table ...": SQLite names the index's schema, PostgreSQL its table's.
QString indexStatement(const QString &schema, QStringView name, QStringView definition, SqlTarget target)
{
    return target == SqlTarget::Sqlite
               ? QStringLiteral("CREATE INDEX IF NOT EXISTS %1.%2 ON %3").arg(schema, name, definition)
               : QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2.%3").arg(name, schema, definition);
}

} // namespace

QStringList FolderListIndexStatements(const QString &schema, SqlTarget target)
{
    return {
        indexStatement(schema, u"FOLDER_ITEM_NEXT", u"FOLDER_ITEM (NEXT, PARENT)", target),
        indexStatement(schema, u"FOLDER_ITEM_FIRST", u"FOLDER_ITEM (PARENT) WHERE ISFIRST = 'Y'", target)};
}

QStringList LibraryIndexStatements(const QString &schema, SqlTarget target)
{
    QStringList statements;
    for (const auto &[name, definition] : {std::pair(u"FOLDER_ITEM_PARENT", u"FOLDER_ITEM (PARENT)"),
                                           std::pair(u"FOLDER_ITEM_DOCNUMBER", u"FOLDER_ITEM (DOCNUMBER)"),
                                           std::pair(u"SECURITY_THING", u"SECURITY (THING)"),
                                           std::pair(u"ACTIVITYLOG_DOCNUMBER", u"ACTIVITYLOG (DOCNUMBER)")})
        statements << indexStatement(schema, name, definition, target);
    return statements + FolderListIndexStatements(schema, target);
}

QStringList LibrarySchemaStatements(const QString &schema, bool caseInsensitive, bool indexes,
                                    SqlTarget target)
{
    const bool server = target == SqlTarget::PostgreSql;
    const QString s = schema + u'.';
    const QString integer = server ? QStringLiteral("bigint") : QStringLiteral("INTEGER");
    const QString plainText = server ? QStringLiteral("text") : QStringLiteral("TEXT");
    // A text column of a DM table: its length checked, compared as the library's server compares text.
    const QString comparedText = !caseInsensitive ? plainText
                                 : server         ? QStringLiteral("citext")
                                                  : QStringLiteral("TEXT COLLATE DMNOCASE");
    const auto text = [&comparedText](const char *table, const char *column) {
        const auto found = std::find_if(
            LibraryTextColumns().begin(), LibraryTextColumns().end(), [&](const TextColumn &entry) {
                return entry.table == QLatin1StringView(table) && entry.column == QLatin1StringView(column);
            });
        Q_ASSERT(found != LibraryTextColumns().end());
        return QStringLiteral("%1 %2 CONSTRAINT \"%3\" CHECK (length(%1) <= %4)")
            .arg(found->column, comparedText, found->constraintName())
            .arg(found->length);
    };
    // A key. PostgreSQL names it "TABLE(COLUMN, ...)", which postgresError reads as SQLite names its
    // columns in a message, so that a duplicate reads alike from either.
    const auto key = [server](const char *kind, const char *table, const QStringList &columns) {
        if (!server)
            return QStringLiteral(" %1").arg(QLatin1StringView(kind));
        return QStringLiteral(" CONSTRAINT \"%1(%2)\" %3")
            .arg(QLatin1StringView(table), columns.join(QStringLiteral(", ")), QLatin1StringView(kind));
    };
    const auto systemId = [&](const char *table) {
        return QStringLiteral("SYSTEM_ID ") + integer + key("PRIMARY KEY", table, {"SYSTEM_ID"});
    };
    const auto unique = [&](const char *table, const char *column) { return key("UNIQUE", table, {column}); };
    const auto primaryKey = [&](const char *table, const char *first, const char *second) {
        return key("PRIMARY KEY", table, {first, second}).mid(1) +
               QStringLiteral(" (%1, %2)").arg(first, second);
    };
    const QString I = u' ' + integer;
    QStringList statements = {
        QStringLiteral("CREATE TABLE %1APPS (") + systemId("APPS") + QStringLiteral(", ") +
            text("APPS", "APPLICATION") + QStringLiteral(" NOT NULL, ") + text("APPS", "DESCRIPTION") + u')',
        QStringLiteral("CREATE TABLE %1FORMS (") + systemId("FORMS") + QStringLiteral(", ") +
            text("FORMS", "FORM_NAME") + QStringLiteral(" NOT NULL)"),
        QStringLiteral("CREATE TABLE %1GROUPS (") + systemId("GROUPS") + QStringLiteral(", ") +
            text("GROUPS", "GROUP_ID") + QStringLiteral(" NOT NULL") + unique("GROUPS", "GROUP_ID") +
            QStringLiteral(", ") + text("GROUPS", "GROUP_NAME") + QStringLiteral(", UNIV_ACCESS") + I +
            QStringLiteral(" NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE %1PEOPLE (") + systemId("PEOPLE") + QStringLiteral(", ") +
            text("PEOPLE", "USER_ID") + QStringLiteral(" NOT NULL") + unique("PEOPLE", "USER_ID") +
            QStringLiteral(", ") + text("PEOPLE", "FULL_NAME") + QStringLiteral(", PRIMARY_GROUP") + I + u')',
        QStringLiteral("CREATE TABLE %1PEOPLEGROUPS (PEOPLE_SYSTEM_ID") + I +
            QStringLiteral(" NOT NULL, GROUPS_SYSTEM_ID") + I + QStringLiteral(" NOT NULL, ") +
            primaryKey("PEOPLEGROUPS", "PEOPLE_SYSTEM_ID", "GROUPS_SYSTEM_ID") + u')',
        QStringLiteral("CREATE TABLE %1PROFILE (") + systemId("PROFILE") + QStringLiteral(", DOCNUMBER") + I +
            QStringLiteral(" NOT NULL") + unique("PROFILE", "DOCNUMBER") + QStringLiteral(", ") +
            text("PROFILE", "DOCNAME") + QStringLiteral(", AUTHOR") + I + QStringLiteral(", TYPIST") + I +
            QStringLiteral(", APPLICATION") + I + QStringLiteral(", FORM") + I + QStringLiteral(", ") +
            text("PROFILE", "ABSTRACT") + QStringLiteral(", ") + text("PROFILE", "KEYWORDS") +
            QStringLiteral(", CREATION_DATE ") + plainText + QStringLiteral(", LAST_EDIT_DATE ") + plainText +
            QStringLiteral(", DEFAULT_RIGHTS") + I + QStringLiteral(" NOT NULL DEFAULT 0, ") +
            text("PROFILE", "FULLTEXT") + QStringLiteral(", ") + text("PROFILE", "STORAGETYPE") +
            QStringLiteral(", ") + text("PROFILE", "PATH") + QStringLiteral(", RETENTION") + I +
            QStringLiteral(" NOT NULL DEFAULT 0, EMAIL_SENT ") + plainText +
            QStringLiteral(", EMAIL_RECEIVED ") + plainText + u')',
        QStringLiteral("CREATE TABLE %1FOLDER (") + systemId("FOLDER") + QStringLiteral(", DOCNUMBER") + I +
            QStringLiteral(" NOT NULL") + unique("FOLDER", "DOCNUMBER") + QStringLiteral(", ") +
            text("FOLDER", "PATH") + u')',
        QStringLiteral("CREATE TABLE %1FOLDER_ITEM (") + systemId("FOLDER_ITEM") +
            QStringLiteral(", PARENT") + I + QStringLiteral(" NOT NULL, PARENT_LIBRARY") + I +
            QStringLiteral(" NOT NULL DEFAULT 0, DOCNUMBER") + I + QStringLiteral(" NOT NULL, LIBRARY") + I +
            QStringLiteral(" NOT NULL DEFAULT 0, ") + text("FOLDER_ITEM", "DISPLAYNAME") +
            QStringLiteral(", ") + text("FOLDER_ITEM", "NODE_TYPE") + QStringLiteral(" NOT NULL, ") +
            text("FOLDER_ITEM", "ISFIRST") + QStringLiteral(" NOT NULL DEFAULT 'N', NEXT") + I +
            QStringLiteral(" NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE %1SECURITY (THING") + I + QStringLiteral(" NOT NULL, PERSONORGROUP") +
            I + QStringLiteral(" NOT NULL, ACCESSRIGHTS") + I + QStringLiteral(" NOT NULL)"),
        QStringLiteral("CREATE TABLE %1REMOTE_LIBRARIES (") + systemId("REMOTE_LIBRARIES") +
            QStringLiteral(", ") + text("REMOTE_LIBRARIES", "LIBRARY_NAME") + QStringLiteral(" NOT NULL, ") +
            text("REMOTE_LIBRARIES", "DATABASE_NAME") + QStringLiteral(", DATABASE_ENGINE") + I +
            QStringLiteral(", ") + text("REMOTE_LIBRARIES", "SERVER_LOCATION") + QStringLiteral(", ") +
            text("REMOTE_LIBRARIES", "OWNER") + QStringLiteral(", ") +
            text("REMOTE_LIBRARIES", "SQL_PASSWORD") + QStringLiteral(", ") +
            text("REMOTE_LIBRARIES", "LIB_LOGIN_UNAME") + u')',
        QStringLiteral("CREATE TABLE %1ROOT_OBJECT (") + systemId("ROOT_OBJECT") +
            QStringLiteral(", DOCNUMBER") + I + QStringLiteral(" NOT NULL, ") +
            text("ROOT_OBJECT", "DISPLAYNAME") + u')',
        QStringLiteral("CREATE TABLE %1ACTIVITYLOG (") + systemId("ACTIVITYLOG") +
            QStringLiteral(", DOCNUMBER") + I + QStringLiteral(", TYPIST") + I +
            QStringLiteral(", ACTIVITYTYPE") + I + QStringLiteral(", START_DATE ") + plainText +
            QStringLiteral(", ") + text("ACTIVITYLOG", "DESCRIPTION") + u')',
        QStringLiteral("CREATE TABLE %1QENT_SETTINGS (") + text("QENT_SETTINGS", "MASTER_KEY") +
            QStringLiteral(", ") + text("QENT_SETTINGS", "SECTION_KEY") + QStringLiteral(", ") +
            text("QENT_SETTINGS", "SUB_KEY") + QStringLiteral(", ") + text("QENT_SETTINGS", "CHAR_VAL") +
            QStringLiteral(", INT_VAL") + I + u')',
        QStringLiteral("CREATE TABLE %1DOCSTABLE (") + text("DOCSTABLE", "TABLE_NAME") +
            QStringLiteral(" NOT NULL)"),
        QStringLiteral("CREATE TABLE %1DM_RIGHTS (GROUPS_SYSTEM_ID") + I +
            QStringLiteral(" NOT NULL, RIGHT_NAME ") + plainText + QStringLiteral(" NOT NULL, ") +
            primaryKey("DM_RIGHTS", "GROUPS_SYSTEM_ID", "RIGHT_NAME") + u')',
        QStringLiteral("CREATE TABLE %1DM_PARAMETERS (NAME ") + plainText +
            key("PRIMARY KEY", "DM_PARAMETERS", {"NAME"}) + QStringLiteral(", VALUE ") + plainText + u')',
        QStringLiteral("CREATE TABLE %1DM_COUNTERS (NAME ") + plainText +
            key("PRIMARY KEY", "DM_COUNTERS", {"NAME"}) + QStringLiteral(", VALUE") + I +
            QStringLiteral(" NOT NULL)"),
    };
    for (QString &statement : statements)
        statement = statement.arg(s);
    if (server) {
        statements.prepend(QStringLiteral("CREATE SCHEMA ") + schema);
        // In public, where every session of the library finds its type and operators (PostgresSearchPath).
        if (caseInsensitive)
            statements.prepend(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext WITH SCHEMA public"));
    }
    if (indexes)
        statements << LibraryIndexStatements(schema, target);
    for (const QString &table : LibraryTableNames())
        statements << QStringLiteral("INSERT INTO %1DOCSTABLE (TABLE_NAME) VALUES ('%2')").arg(s, table);
    statements << QStringLiteral("INSERT INTO %1APPS (SYSTEM_ID, APPLICATION, DESCRIPTION) VALUES "
                                 "(1, 'FOLDER', 'Folder'), (2, 'MS WORD', 'Microsoft Word'), "
                                 "(3, 'ACROBAT', 'Adobe Acrobat')")
                      .arg(s);
    statements << QStringLiteral(
                      "INSERT INTO %1DM_PARAMETERS (NAME, VALUE) VALUES ('DOCSParms.UniqueDocNames', '0')")
                      .arg(s);
    return statements;
}
