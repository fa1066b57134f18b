#include "localdm/schema.h"

QStringList LibraryTableNames()
{
    return {QStringLiteral("ACTIVITYLOG"), QStringLiteral("APPS"), QStringLiteral("DOCSTABLE"),
            QStringLiteral("FOLDER"),      QStringLiteral("FOLDER_ITEM"), QStringLiteral("FORMS"),
            QStringLiteral("GROUPS"),      QStringLiteral("PEOPLE"),  QStringLiteral("PEOPLEGROUPS"),
            QStringLiteral("PROFILE"),     QStringLiteral("QENT_SETTINGS"), QStringLiteral("REMOTE_LIBRARIES"),
            QStringLiteral("ROOT_OBJECT"), QStringLiteral("SECURITY")};
}

QStringList LibrarySchemaStatements(const QString &schema)
{
    const QString s = schema + u'.';
    QStringList statements = {
        QStringLiteral("CREATE TABLE %1APPS (SYSTEM_ID INTEGER PRIMARY KEY, APPLICATION TEXT NOT NULL, "
                       "DESCRIPTION TEXT)"),
        QStringLiteral("CREATE TABLE %1FORMS (SYSTEM_ID INTEGER PRIMARY KEY, FORM_NAME TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE %1GROUPS (SYSTEM_ID INTEGER PRIMARY KEY, GROUP_ID TEXT NOT NULL UNIQUE, "
                       "GROUP_NAME TEXT, UNIV_ACCESS INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE %1PEOPLE (SYSTEM_ID INTEGER PRIMARY KEY, USER_ID TEXT NOT NULL UNIQUE, "
                       "FULL_NAME TEXT, PRIMARY_GROUP INTEGER)"),
        QStringLiteral("CREATE TABLE %1PEOPLEGROUPS (PEOPLE_SYSTEM_ID INTEGER NOT NULL, "
                       "GROUPS_SYSTEM_ID INTEGER NOT NULL, PRIMARY KEY (PEOPLE_SYSTEM_ID, GROUPS_SYSTEM_ID))"),
        QStringLiteral("CREATE TABLE %1PROFILE (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER NOT NULL UNIQUE, "
                       "DOCNAME TEXT, AUTHOR INTEGER, TYPIST INTEGER, APPLICATION INTEGER, FORM INTEGER, "
                       "ABSTRACT TEXT, KEYWORDS TEXT, CREATION_DATE TEXT, LAST_EDIT_DATE TEXT, "
                       "DEFAULT_RIGHTS INTEGER NOT NULL DEFAULT 0, FULLTEXT TEXT, STORAGETYPE TEXT, PATH TEXT, "
                       "RETENTION INTEGER NOT NULL DEFAULT 0, EMAIL_SENT TEXT, EMAIL_RECEIVED TEXT)"),
        QStringLiteral("CREATE TABLE %1FOLDER (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER NOT NULL UNIQUE, "
                       "PATH TEXT)"),
        QStringLiteral("CREATE TABLE %1FOLDER_ITEM (SYSTEM_ID INTEGER PRIMARY KEY, PARENT INTEGER NOT NULL, "
                       "PARENT_LIBRARY INTEGER NOT NULL DEFAULT 0, DOCNUMBER INTEGER NOT NULL, "
                       "LIBRARY INTEGER NOT NULL DEFAULT 0, DISPLAYNAME TEXT, NODE_TYPE TEXT NOT NULL, "
                       "ISFIRST TEXT NOT NULL DEFAULT 'N', NEXT INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE INDEX %1FOLDER_ITEM_PARENT ON FOLDER_ITEM (PARENT)"),
        QStringLiteral("CREATE INDEX %1FOLDER_ITEM_DOCNUMBER ON FOLDER_ITEM (DOCNUMBER)"),
        QStringLiteral("CREATE TABLE %1SECURITY (THING INTEGER NOT NULL, PERSONORGROUP INTEGER NOT NULL, "
                       "ACCESSRIGHTS INTEGER NOT NULL)"),
        QStringLiteral("CREATE INDEX %1SECURITY_THING ON SECURITY (THING)"),
        QStringLiteral("CREATE TABLE %1REMOTE_LIBRARIES (SYSTEM_ID INTEGER PRIMARY KEY, LIBRARY_NAME TEXT NOT NULL, "
                       "DATABASE_NAME TEXT, DATABASE_ENGINE INTEGER, SERVER_LOCATION TEXT, OWNER TEXT, "
                       "SQL_PASSWORD TEXT, LIB_LOGIN_UNAME TEXT)"),
        QStringLiteral("CREATE TABLE %1ROOT_OBJECT (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER NOT NULL, "
                       "DISPLAYNAME TEXT)"),
        QStringLiteral("CREATE TABLE %1ACTIVITYLOG (SYSTEM_ID INTEGER PRIMARY KEY, DOCNUMBER INTEGER, "
                       "TYPIST INTEGER, ACTIVITYTYPE INTEGER, START_DATE TEXT, DESCRIPTION TEXT)"),
        QStringLiteral("CREATE INDEX %1ACTIVITYLOG_DOCNUMBER ON ACTIVITYLOG (DOCNUMBER)"),
        QStringLiteral("CREATE TABLE %1QENT_SETTINGS (MASTER_KEY TEXT, SECTION_KEY TEXT, SUB_KEY TEXT, "
                       "CHAR_VAL TEXT, INT_VAL INTEGER)"),
        QStringLiteral("CREATE TABLE %1DOCSTABLE (TABLE_NAME TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE %1DM_RIGHTS (GROUPS_SYSTEM_ID INTEGER NOT NULL, RIGHT_NAME TEXT NOT NULL, "
                       "PRIMARY KEY (GROUPS_SYSTEM_ID, RIGHT_NAME))"),
        QStringLiteral("CREATE TABLE %1DM_PARAMETERS (NAME TEXT PRIMARY KEY, VALUE TEXT)"),
        QStringLiteral("CREATE TABLE %1DM_COUNTERS (NAME TEXT PRIMARY KEY, VALUE INTEGER NOT NULL)"),
    };
    for (QString &statement : statements)
        statement = statement.arg(s);
    for (const QString &table : LibraryTableNames())
        statements << QStringLiteral("INSERT INTO %1DOCSTABLE (TABLE_NAME) VALUES ('%2')").arg(s, table);
    statements << QStringLiteral("INSERT INTO %1APPS (SYSTEM_ID, APPLICATION, DESCRIPTION) VALUES "
                                 "(1, 'FOLDER', 'Folder'), (2, 'MS WORD', 'Microsoft Word'), "
                                 "(3, 'ACROBAT', 'Adobe Acrobat')")
                      .arg(s);
    statements << QStringLiteral("INSERT INTO %1DM_PARAMETERS (NAME, VALUE) VALUES ('DOCSParms.UniqueDocNames', '0')")
                      .arg(s);
    return statements;
}
