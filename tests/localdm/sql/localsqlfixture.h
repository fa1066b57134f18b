#pragma once

#include "dmapi/dmerror.h"
#include "localdm/sql/localsql.h"
#include "localdm/store/schema.h"
#include "support/testbackend.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

// Libraries of every server personality over the local DM, and what the pass-through tests share.
struct Library {
    const char *name;
    int engine;
    const char *version;
    int compatibilityLevel;
    bool quotedIdentifier;
};

// One library of each personality, and the SQL Server variants whose server facts change what is accepted.
inline const Library Libraries[] = {
    {"LIB_MSSQL", 10, "15.0.2000.5", 150, true},
    {"LIB_ORACLE", 2, "", 0, true},
    {"LIB_SYBASE", 6, "16.0.3.6", 0, true},
    {"LIB_MSSQL80", 10, "8.00.2039", 80, true},
    {"LIB_MSSQL2008", 10, "10.50.1600.1", 100, false},
};

// The rows every library holds. People and group numbers differ, so a user row and a group row of SECURITY
// never both find a match.
inline const QStringList LibraryRows = {
    "INSERT INTO PEOPLE (SYSTEM_ID, USER_ID) VALUES (11, 'JSMITH'), (12, 'ADOE')",
    "INSERT INTO GROUPS (SYSTEM_ID, GROUP_ID, UNIV_ACCESS) VALUES (21, 'DOCS_USERS', 0), (22, 'ADMINS', 255)",
    "INSERT INTO PEOPLEGROUPS (PEOPLE_SYSTEM_ID, GROUPS_SYSTEM_ID) VALUES (11, 22)",
    "INSERT INTO PROFILE (SYSTEM_ID, DOCNUMBER, DOCNAME, APPLICATION) VALUES (1000, 100, 'apple', 1), "
    "(1001, 101, 'Banana', 1), (1002, 102, 'cherry', 1), (1003, 103, 'Hidden', 1), (1004, 104, 'sub one', "
    "1), "
    "(1005, 105, 'Loose', 1), (1006, 106, 'réunion', 2)",
    "INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (1, 100), (2, 101), (3, 102), (4, 103), (5, 104), (6, "
    "105)",
    "INSERT INTO ROOT_OBJECT (SYSTEM_ID, DOCNUMBER, DISPLAYNAME) VALUES (1, 100, 'apple'), (2, 101, "
    "'Banana'), "
    "(3, 102, 'cherry'), (4, 103, 'Hidden')",
    "INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) VALUES (1000, 11, 255), (1000, 22, 63), "
    "(1000, 21, 1), (1001, 22, 255), (1002, 11, 255), (1003, 12, 255), (1004, 11, 255), (1005, 22, 255)",
    "INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, DOCNUMBER, DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT) VALUES "
    "(1, 100, 104, 'sub one', 'F', 'Y', 2), (2, 100, 200, 'beta doc', 'D', 'N', 3), "
    "(3, 100, 201, 'Alpha doc', 'D', 'N', 0)",
};

class LocalSqlTest : public testing::Test {
protected:
    LocalSqlTest()
    {
        Installation installation;
        installation.fileName = dir.filePath("installation.ini");
        installation.user = "JSMITH";
        for (const Library &library : Libraries) {
            LibraryConfig config;
            config.name = library.name;
            config.databaseFile = dir.filePath(QString(library.name).toLower() + ".db");
            config.engine = library.engine;
            config.databaseName = QString(library.name) + "_DB";
            config.productVersion = library.version;
            config.compatibilityLevel = library.compatibilityLevel;
            config.quotedIdentifier = library.quotedIdentifier;
            PlaceTestLibrary(config);
            LibraryDatabase::create(config);
            installation.libraries << config;
        }
        dm = std::make_shared<LocalDm>(installation);
        for (const Library &library : Libraries) {
            LibraryDatabase &db = dm->database(library.name);
            for (const QString &statement : LibraryRows)
                db.exec(statement);
            db.exec("INSERT INTO REMOTE_LIBRARIES (SYSTEM_ID, LIBRARY_NAME, DATABASE_NAME, DATABASE_ENGINE, "
                    "SERVER_LOCATION, OWNER) VALUES (0, ?1, ?2, ?3, 'SRV01', 'DOCSADM')",
                    {library.name, QString(library.name) + "_DB", library.engine});
        }
    }

    LocalSql &sql(const QString &library)
    {
        auto &slot = objects[library];
        if (!slot) {
            slot = std::make_unique<LocalSql>(dm);
            slot->setSecurityToken("TOKEN");
            slot->setLibrary(library);
        }
        return *slot;
    }

    static bool isOracle(const QString &library) { return library == "LIB_ORACLE"; }

    // The statement as the SQL runner hands it over: queries for engines other than Oracle carry a hint.
    static QString sent(const QString &library, const QString &statement)
    {
        const QString upper = statement.toUpper();
        if (!isOracle(library) && upper.startsWith("SELECT ") && !upper.startsWith("SELECT INTO "))
            return statement + " OPTION (MAXDOP 1)";
        return statement;
    }

    // Runs the statement as sent to the library and reads every row; a failure fails the test.
    QList<QVariantList> rows(const QString &library, const QString &statement, int columns)
    {
        LocalSql &pass = sql(library);
        const qint32 status = pass.execute(sent(library, statement));
        EXPECT_EQ(status, 0) << library.toStdString() << ": " << pass.errorDescription().toStdString();
        QList<QVariantList> result;
        if (status != 0 || !pass.hasResult())
            return result;
        do {
            QVariantList row;
            for (int column = 1; column <= columns; ++column)
                row << pass.columnValue(column);
            result << row;
        } while (pass.nextRow());
        EXPECT_EQ(result.size(), pass.rowCount());
        return result;
    }

    QVariant scalar(const QString &library, const QString &statement)
    {
        const QList<QVariantList> result = rows(library, statement, 1);
        return result.isEmpty() ? QVariant() : result.first().first();
    }

    QStringList column(const QString &library, const QString &statement, int index = 2, int columns = 2)
    {
        QStringList values;
        for (const QVariantList &row : rows(library, statement, columns))
            values << row[index - 1].toString();
        return values;
    }

    // The description of a statement that must fail; the error number is checked alongside.
    QString failure(const QString &library, const QString &statement, qint32 number)
    {
        LocalSql &pass = sql(library);
        EXPECT_NE(pass.execute(sent(library, statement)), 0) << statement.toStdString();
        EXPECT_EQ(pass.errorNumber(), number) << pass.errorDescription().toStdString();
        EXPECT_FALSE(pass.hasResult());
        return pass.errorDescription();
    }

    QTemporaryDir dir;
    std::shared_ptr<LocalDm> dm;
    std::map<QString, std::unique_ptr<LocalSql>> objects;
    const QStringList personalities = {"LIB_MSSQL", "LIB_ORACLE", "LIB_SYBASE"};
};

// The security filter of the folder tree levels, for people id 11.
inline const QString Visible = "(SELECT THING FROM DOCSADM.SECURITY WHERE ACCESSRIGHTS BETWEEN 1 AND 255 AND "
                               "(PERSONORGROUP = 11 OR PERSONORGROUP IN (SELECT GROUPS_SYSTEM_ID FROM "
                               "DOCSADM.PEOPLEGROUPS WHERE PEOPLE_SYSTEM_ID = 11))) ";

inline QString trusteeQuery(const QString &outerJoin)
{
    return "SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM DOCSADM.SECURITY S, DOCSADM.PEOPLE P, "
           "DOCSADM.GROUPS G, DOCSADM.PROFILE R WHERE (P.SYSTEM_ID" +
           outerJoin + "S.PERSONORGROUP AND G.SYSTEM_ID" + outerJoin +
           "S.PERSONORGROUP AND S.THING = R.SYSTEM_ID) AND R.DOCNUMBER = 100";
}

// Trustee rows as "user|group|rights", sorted.
inline QStringList trustees(const QList<QVariantList> &rows)
{
    QStringList result;
    for (const QVariantList &row : rows) {
        EXPECT_NE(row[0].isValid(), row[1].isValid()) << "a user or a group, never both or neither";
        result << row[0].toString() + u'|' + row[1].toString() + u'|' + row[2].toString();
    }
    result.sort();
    return result;
}
