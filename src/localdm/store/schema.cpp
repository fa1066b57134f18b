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

QStringList FolderListIndexStatements(const QString &schema)
{
    return {QStringLiteral("CREATE INDEX IF NOT EXISTS %1.FOLDER_ITEM_NEXT ON FOLDER_ITEM (NEXT, PARENT)")
                .arg(schema),
            QStringLiteral("CREATE INDEX IF NOT EXISTS %1.FOLDER_ITEM_FIRST ON FOLDER_ITEM (PARENT) "
                           "WHERE ISFIRST = 'Y'")
                .arg(schema)};
}

QStringList LibraryIndexStatements(const QString &schema)
{
    QStringList statements;
    for (const char *index :
         {"FOLDER_ITEM_PARENT ON FOLDER_ITEM (PARENT)", "FOLDER_ITEM_DOCNUMBER ON FOLDER_ITEM (DOCNUMBER)",
          "SECURITY_THING ON SECURITY (THING)", "ACTIVITYLOG_DOCNUMBER ON ACTIVITYLOG (DOCNUMBER)"})
        statements
            << QStringLiteral("CREATE INDEX IF NOT EXISTS %1.%2").arg(schema, QLatin1StringView(index));
    return statements + FolderListIndexStatements(schema);
}

QStringList LibrarySchemaStatements(const QString &schema, bool caseInsensitive, bool indexes)
{
    const QString s = schema + u'.';
    // A text column of a DM table: its length checked, compared as the library's server compares text.
    const auto text = [caseInsensitive](const char *table, const char *column) {
        const auto found = std::find_if(
            LibraryTextColumns().begin(), LibraryTextColumns().end(), [&](const TextColumn &entry) {
                return entry.table == QLatin1StringView(table) && entry.column == QLatin1StringView(column);
            });
        Q_ASSERT(found != LibraryTextColumns().end());
        return QStringLiteral("%1 TEXT%2 CONSTRAINT \"%3\" CHECK (length(%1) <= %4)")
            .arg(found->column, caseInsensitive ? QStringLiteral(" COLLATE DMNOCASE") : QString(),
                 found->constraintName())
            .arg(found->length);
    };
    QStringList statements = {
        QStringLiteral("CREATE TABLE %1APPS (SYSTEM_ID INTEGER PRIMARY KEY, ") + text("APPS", "APPLICATION") +
            QStringLiteral(" NOT NULL, ") + text("APPS", "DESCRIPTION") + u')',
        QStringLiteral("CREATE TABLE %1FORMS (SYSTEM_ID INTEGER PRIMARY KEY, ") + text("FORMS", "FORM_NAME") +
            QStringLiteral(" NOT NULL)"),
        QStringLiteral("CREATE TABLE %1GROUPS (SYSTEM_ID INTEGER PRIMARY KEY, ") +
            text("GROUPS", "GROUP_ID") + QStringLiteral(" NOT NULL UNIQUE, ") + text("GROUPS", "GROUP_NAME") +
            QStringLiteral(", UNIV_ACCESS INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE %1PEOPLE (SYSTEM_ID INTEGER PRIMARY KEY, ") + text("PEOPLE", "USER_ID") +
            QStringLiteral(" NOT NULL UNIQUE, ") + text("PEOPLE", "FULL_NAME") +
            QStringLiteral(", PRIMARY_GROUP INTEGER)"),
        QStringLiteral(
            "CREATE TABLE %1PEOPLEGROUPS (PEOPLE_SYSTEM_ID INTEGER NOT NULL, "
            "GROUPS_SYSTEM_ID INTEGER NOT NULL, PRIMARY KEY (PEOPLE_SYSTEM_ID, GROUPS_SYSTEM_ID))"),
        QStringLiteral(
            "CREATE TABLE %1PROFILE (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER NOT NULL UNIQUE, ") +
            text("PROFILE", "DOCNAME") +
            QStringLiteral(", AUTHOR INTEGER, TYPIST INTEGER, APPLICATION INTEGER, FORM INTEGER, ") +
            text("PROFILE", "ABSTRACT") + QStringLiteral(", ") + text("PROFILE", "KEYWORDS") +
            QStringLiteral(
                ", CREATION_DATE TEXT, LAST_EDIT_DATE TEXT, DEFAULT_RIGHTS INTEGER NOT NULL DEFAULT 0, ") +
            text("PROFILE", "FULLTEXT") + QStringLiteral(", ") + text("PROFILE", "STORAGETYPE") +
            QStringLiteral(", ") + text("PROFILE", "PATH") +
            QStringLiteral(", RETENTION INTEGER NOT NULL DEFAULT 0, EMAIL_SENT TEXT, EMAIL_RECEIVED TEXT)"),
        QStringLiteral(
            "CREATE TABLE %1FOLDER (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER NOT NULL UNIQUE, ") +
            text("FOLDER", "PATH") + u')',
        QStringLiteral("CREATE TABLE %1FOLDER_ITEM (SYSTEM_ID INTEGER PRIMARY KEY, PARENT INTEGER NOT NULL, "
                       "PARENT_LIBRARY INTEGER NOT NULL DEFAULT 0, DOCNUMBER INTEGER NOT NULL, "
                       "LIBRARY INTEGER NOT NULL DEFAULT 0, ") +
            text("FOLDER_ITEM", "DISPLAYNAME") + QStringLiteral(", ") + text("FOLDER_ITEM", "NODE_TYPE") +
            QStringLiteral(" NOT NULL, ") + text("FOLDER_ITEM", "ISFIRST") +
            QStringLiteral(" NOT NULL DEFAULT 'N', NEXT INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE %1SECURITY (THING INTEGER NOT NULL, PERSONORGROUP INTEGER NOT NULL, "
                       "ACCESSRIGHTS INTEGER NOT NULL)"),
        QStringLiteral("CREATE TABLE %1REMOTE_LIBRARIES (SYSTEM_ID INTEGER PRIMARY KEY, ") +
            text("REMOTE_LIBRARIES", "LIBRARY_NAME") + QStringLiteral(" NOT NULL, ") +
            text("REMOTE_LIBRARIES", "DATABASE_NAME") + QStringLiteral(", DATABASE_ENGINE INTEGER, ") +
            text("REMOTE_LIBRARIES", "SERVER_LOCATION") + QStringLiteral(", ") +
            text("REMOTE_LIBRARIES", "OWNER") + QStringLiteral(", ") +
            text("REMOTE_LIBRARIES", "SQL_PASSWORD") + QStringLiteral(", ") +
            text("REMOTE_LIBRARIES", "LIB_LOGIN_UNAME") + u')',
        QStringLiteral(
            "CREATE TABLE %1ROOT_OBJECT (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER NOT NULL, ") +
            text("ROOT_OBJECT", "DISPLAYNAME") + u')',
        QStringLiteral("CREATE TABLE %1ACTIVITYLOG (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER, "
                       "TYPIST INTEGER, ACTIVITYTYPE INTEGER, START_DATE TEXT, ") +
            text("ACTIVITYLOG", "DESCRIPTION") + u')',
        QStringLiteral("CREATE TABLE %1QENT_SETTINGS (") + text("QENT_SETTINGS", "MASTER_KEY") +
            QStringLiteral(", ") + text("QENT_SETTINGS", "SECTION_KEY") + QStringLiteral(", ") +
            text("QENT_SETTINGS", "SUB_KEY") + QStringLiteral(", ") + text("QENT_SETTINGS", "CHAR_VAL") +
            QStringLiteral(", INT_VAL INTEGER)"),
        QStringLiteral("CREATE TABLE %1DOCSTABLE (") + text("DOCSTABLE", "TABLE_NAME") +
            QStringLiteral(" NOT NULL)"),
        QStringLiteral(
            "CREATE TABLE %1DM_RIGHTS (GROUPS_SYSTEM_ID INTEGER NOT NULL, RIGHT_NAME TEXT NOT NULL, "
            "PRIMARY KEY (GROUPS_SYSTEM_ID, RIGHT_NAME))"),
        QStringLiteral("CREATE TABLE %1DM_PARAMETERS (NAME TEXT PRIMARY KEY, VALUE TEXT)"),
        QStringLiteral("CREATE TABLE %1DM_COUNTERS (NAME TEXT PRIMARY KEY, VALUE INTEGER NOT NULL)"),
    };
    for (QString &statement : statements)
        statement = statement.arg(s);
    if (indexes)
        statements << LibraryIndexStatements(schema);
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
