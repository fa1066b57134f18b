#include "dmapi/dmerror.h"
#include "localdm/localsql.h"
#include "localdm/schema.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

struct Library {
    const char *name;
    int engine;
    const char *version;
    int compatibilityLevel;
    bool quotedIdentifier;
};

// One library of each personality, and the SQL Server variants whose server facts change what is accepted.
const Library Libraries[] = {
    {"LIB_MSSQL", 10, "15.0.2000.5", 150, true},
    {"LIB_ORACLE", 2, "", 0, true},
    {"LIB_SYBASE", 6, "16.0.3.6", 0, true},
    {"LIB_MSSQL80", 10, "8.00.2039", 80, true},
    {"LIB_MSSQL2008", 10, "10.50.1600.1", 100, false},
};

// The rows every library holds. People and group numbers differ, so a user row and a group row of SECURITY
// never both find a match.
const QStringList LibraryRows = {
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
const QString Visible = "(SELECT THING FROM DOCSADM.SECURITY WHERE ACCESSRIGHTS BETWEEN 1 AND 255 AND "
                        "(PERSONORGROUP = 11 OR PERSONORGROUP IN (SELECT GROUPS_SYSTEM_ID FROM "
                        "DOCSADM.PEOPLEGROUPS WHERE PEOPLE_SYSTEM_ID = 11))) ";

QString trusteeQuery(const QString &outerJoin)
{
    return "SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM DOCSADM.SECURITY S, DOCSADM.PEOPLE P, "
           "DOCSADM.GROUPS G, DOCSADM.PROFILE R WHERE (P.SYSTEM_ID" +
           outerJoin + "S.PERSONORGROUP AND G.SYSTEM_ID" + outerJoin +
           "S.PERSONORGROUP AND S.THING = R.SYSTEM_ID) AND R.DOCNUMBER = 100";
}

// Trustee rows as "user|group|rights", sorted.
QStringList trustees(const QList<QVariantList> &rows)
{
    QStringList result;
    for (const QVariantList &row : rows) {
        EXPECT_NE(row[0].isValid(), row[1].isValid()) << "a user or a group, never both or neither";
        result << row[0].toString() + u'|' + row[1].toString() + u'|' + row[2].toString();
    }
    result.sort();
    return result;
}

} // namespace

TEST_F(LocalSqlTest, ConnectionQueriesAnswerOnEveryPersonality)
{
    for (const QString &library : personalities) {
        EXPECT_EQ(sql(library).databaseEngine(), dm->installation().library(library)->engine);
        EXPECT_EQ(
            scalar(library, "SELECT DATABASE_ENGINE FROM DOCSADM.REMOTE_LIBRARIES WHERE LIBRARY_NAME = '" +
                                library + "'"),
            dm->installation().library(library)->engine);
        EXPECT_EQ(scalar(library, "SELECT DATABASE_ENGINE FROM REMOTE_LIBRARIES WHERE LIBRARY_NAME = '" +
                                      library + "'")
                      .toInt(),
                  dm->installation().library(library)->engine);
        const QList<QVariantList> remote =
            rows(library,
                 "SELECT LIBRARY_NAME, DATABASE_NAME, DATABASE_ENGINE, SERVER_LOCATION "
                 "FROM DOCSADM.REMOTE_LIBRARIES WHERE SYSTEM_ID = 0",
                 4);
        ASSERT_EQ(remote.size(), 1);
        EXPECT_EQ(remote[0][1].toString(), library + "_DB");
        EXPECT_EQ(remote[0][3].toString(), "SRV01");
        EXPECT_TRUE(
            rows(library,
                 "SELECT SUB_KEY, CHAR_VAL, INT_VAL FROM DOCSADM.QENT_SETTINGS WHERE MASTER_KEY = 'KORVEL' "
                 "AND SECTION_KEY = 'SETTINGS'",
                 3)
                .isEmpty());
        EXPECT_EQ(scalar(library,
                         "SELECT COUNT(*) FROM DOCSADM.PEOPLEGROUPS PG WHERE PEOPLE_SYSTEM_ID = (SELECT "
                         "SYSTEM_ID FROM DOCSADM.PEOPLE WHERE USER_ID = 'JSMITH') AND GROUPS_SYSTEM_ID IN "
                         "(SELECT SYSTEM_ID FROM DOCSADM.GROUPS WHERE UNIV_ACCESS = 255)")
                      .toInt(),
                  1);
        // The table test of an engine the DM does not know works on every library.
        EXPECT_EQ(scalar(library,
                         "SELECT COUNT(*) FROM DOCSADM.DOCSTABLE WHERE UPPER(TABLE_NAME) = 'QENT_SETTINGS'")
                      .toInt(),
                  1);
    }

    EXPECT_EQ(scalar("LIB_ORACLE", "SELECT OWNER FROM USER_TAB_PRIVS WHERE TABLE_NAME = 'REMOTE_LIBRARIES'"),
              "DOCSADM");
    EXPECT_EQ(
        scalar("LIB_ORACLE", "SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = 'QENT_SETTINGS'").toInt(),
        1);
    EXPECT_EQ(
        scalar("LIB_ORACLE", "SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = 'NEEDS_FOLDERING'").toInt(),
        0);

    for (const QString library : {"LIB_MSSQL", "LIB_SYBASE"}) {
        LocalSql &pass = sql(library);
        EXPECT_EQ(pass.execute("set dateformat mdy"), 0);
        EXPECT_EQ(pass.rowCount(), 0);
        EXPECT_EQ(pass.rowsAffected(), 0);
        EXPECT_EQ(scalar(library, "select serverproperty('ProductVersion')"),
                  dm->installation().library(library)->productVersion);
        EXPECT_EQ(scalar(library,
                         "SELECT compatibility_level FROM sys.databases WHERE name = '" + library + "_DB'"),
                  dm->installation().library(library)->compatibilityLevel);
        EXPECT_EQ(scalar(library, "SELECT IS_QUOTED_IDENTIFIER_ON FROM SYS.DATABASES DB WHERE DB.NAME = '" +
                                      library + "_DB'"),
                  1);
        const QString tableExists =
            "select count(*) from sysobjects \r\nwhere id = object_id('DOCSADM.%1') \r\n"
            "and sysstat & 0xf = 3 ";
        EXPECT_EQ(scalar(library, tableExists.arg("QENT_SETTINGS")).toInt(), 1);
        EXPECT_EQ(scalar(library, tableExists.arg("NEEDS_SECURING")).toInt(), 0);
    }
    EXPECT_EQ(scalar("LIB_MSSQL2008", "SELECT IS_QUOTED_IDENTIFIER_ON FROM SYS.DATABASES DB WHERE DB.NAME = "
                                      "'LIB_MSSQL2008_DB'"),
              0);
    EXPECT_EQ(failure("LIB_ORACLE", "set dateformat mdy", 922),
              "[Oracle][ODBC][Ora]ORA-00922: missing or invalid option");
    EXPECT_EQ(failure("LIB_ORACLE", "select serverproperty('ProductVersion')", 904),
              "[Oracle][ODBC][Ora]ORA-00904: \"SERVERPROPERTY\": invalid identifier");
    failure("LIB_ORACLE", "SELECT compatibility_level FROM sys.databases WHERE name = 'X'", 942);
    failure("LIB_ORACLE", "select count(*) from sysobjects where id = object_id('DOCSADM.PROFILE')", 942);
    EXPECT_EQ(
        failure("LIB_MSSQL", "SELECT OWNER FROM USER_TAB_PRIVS WHERE TABLE_NAME = 'REMOTE_LIBRARIES'", 208),
        "[Microsoft][ODBC SQL Server Driver][SQL Server]Invalid object name 'USER_TAB_PRIVS'.");
    EXPECT_EQ(
        failure("LIB_SYBASE", "SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = 'QENT_SETTINGS'", 208),
        "[Sybase][ODBC Driver][Adaptive Server Enterprise]Invalid object name 'ALL_TABLES'.");
}

TEST_F(LocalSqlTest, FolderTreeLevelsOrderNamesAsTheServerDoes)
{
    const QString publicLevel =
        "SELECT DISTINCT RO.DOCNUMBER, RO.DISPLAYNAME FROM DOCSADM.ROOT_OBJECT RO "
        "LEFT OUTER JOIN DOCSADM.PROFILE PR ON PR.DOCNUMBER = RO.DOCNUMBER WHERE PR.SYSTEM_ID IN " +
        Visible + "ORDER BY RO.DISPLAYNAME";
    const QString sharedLevel =
        "SELECT DISTINCT F.DOCNUMBER, PR.DOCNAME FROM DOCSADM.FOLDER F LEFT OUTER JOIN "
        "DOCSADM.PROFILE PR ON PR.DOCNUMBER = F.DOCNUMBER WHERE F.DOCNUMBER NOT IN (SELECT "
        "DOCNUMBER FROM DOCSADM.FOLDER_ITEM) AND PR.SYSTEM_ID IN " +
        Visible + "ORDER BY PR.DOCNAME";
    const QString subfolderLevel =
        "SELECT DISTINCT FI.DOCNUMBER, PR.DOCNAME FROM DOCSADM.FOLDER_ITEM FI LEFT OUTER "
        "JOIN DOCSADM.PROFILE PR ON PR.DOCNUMBER = FI.DOCNUMBER LEFT OUTER JOIN "
        "DOCSADM.REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY WHERE FI.NODE_TYPE = 'F' "
        "AND RL.LIBRARY_NAME = '%1' AND PR.SYSTEM_ID IN " +
        Visible + "AND FI.PARENT = 100 ORDER BY PR.DOCNAME";
    for (const QString library : {"LIB_MSSQL", "LIB_SYBASE"}) {
        EXPECT_EQ(column(library, publicLevel), QStringList({"apple", "Banana", "cherry"}));
        EXPECT_EQ(column(library, sharedLevel), QStringList({"apple", "Banana", "cherry", "Loose"}));
    }
    EXPECT_EQ(column("LIB_ORACLE", publicLevel), QStringList({"Banana", "apple", "cherry"}));
    EXPECT_EQ(column("LIB_ORACLE", sharedLevel), QStringList({"Banana", "Loose", "apple", "cherry"}));
    for (const QString &library : personalities) {
        const QList<QVariantList> subfolders = rows(library, subfolderLevel.arg(library), 2);
        ASSERT_EQ(subfolders.size(), 1);
        EXPECT_EQ(subfolders[0][0].toInt(), 104);
        EXPECT_EQ(subfolders[0][1].toString(), "sub one");
    }
}

TEST_F(LocalSqlTest, TrusteeQueryKeepsEverySecurityRow)
{
    const QStringList expected = {"JSMITH||255", "|ADMINS|63", "|DOCS_USERS|1"};
    EXPECT_EQ(trustees(rows("LIB_ORACLE", trusteeQuery(" (+) = "), 3)), expected);
    EXPECT_EQ(trustees(rows("LIB_SYBASE", trusteeQuery(" =* "), 3)), expected);
    EXPECT_EQ(trustees(rows("LIB_MSSQL80", trusteeQuery(" =* "), 3)), expected);

    const QString refused = failure("LIB_MSSQL", trusteeQuery(" =* "), 4147);
    EXPECT_TRUE(refused.startsWith(
        "[Microsoft][ODBC SQL Server Driver][SQL Server]The query uses non-ANSI outer join "
        "operators (\"*=\" or \"=*\")."));

    const QString ansi =
        "SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM DOCSADM.SECURITY S LEFT OUTER "
        "JOIN DOCSADM.PEOPLE P ON P.SYSTEM_ID = S.PERSONORGROUP LEFT OUTER JOIN DOCSADM.GROUPS G ON "
        "G.SYSTEM_ID = S.PERSONORGROUP INNER JOIN DOCSADM.PROFILE R ON S.THING = R.SYSTEM_ID WHERE "
        "R.DOCNUMBER = 100";
    for (const QString &library : personalities)
        EXPECT_EQ(trustees(rows(library, ansi, 3)), expected) << library.toStdString();
}

TEST_F(LocalSqlTest, SortingRewritesTheNextColumnQuotedForTheServer)
{
    const QString items =
        "SELECT SYSTEM_ID, DISPLAYNAME, %1, ISFIRST FROM DOCSADM.FOLDER_ITEM WHERE PARENT = 100 "
        "ORDER BY DISPLAYNAME";
    const QString update = "UPDATE DOCSADM.FOLDER_ITEM SET %1 = %2, ISFIRST = '%3' WHERE SYSTEM_ID = %4";
    for (const QString &library : personalities) {
        const QString next = isOracle(library) ? "\"NEXT\"" : "[NEXT]";
        const QList<QVariantList> found = rows(library, items.arg(next), 4);
        ASSERT_EQ(found.size(), 3);
        for (int j = 0; j < found.size(); ++j) {
            const QString following = j + 1 < found.size() ? found[j + 1][0].toString() : "0";
            LocalSql &pass = sql(library);
            ASSERT_EQ(pass.execute(
                          update.arg(next, following, QString(j == 0 ? "Y" : "N"), found[j][0].toString())),
                      0)
                << pass.errorDescription().toStdString();
            EXPECT_EQ(pass.rowsAffected(), 1);
            EXPECT_EQ(pass.rowCount(), 0);
        }
        // Case-insensitive order puts "Alpha doc" (3) first, then "beta doc" (2), then "sub one" (1).
        const QList<QVariantList> sorted = dm->database(library).query(
            "SELECT SYSTEM_ID, ISFIRST, NEXT FROM FOLDER_ITEM WHERE PARENT = 100 ORDER BY SYSTEM_ID");
        EXPECT_EQ(sorted, QList<QVariantList>({{1, "N", 0}, {2, "N", 1}, {3, "Y", 2}}))
            << library.toStdString();
    }

    EXPECT_EQ(failure("LIB_MSSQL2008", update.arg("\"NEXT\"", "5", "N", "1"), 102),
              "[Microsoft][ODBC SQL Server Driver][SQL Server]Incorrect syntax near 'NEXT'.");
    failure("LIB_ORACLE", update.arg("[NEXT]", "5", "N", "1"), 936);
    EXPECT_EQ(
        dm->database("LIB_MSSQL2008").scalar("SELECT NEXT FROM FOLDER_ITEM WHERE SYSTEM_ID = 1").toInt(), 2);
}

TEST_F(LocalSqlTest, ActivityLogCleanupMatchesTodaysDateOnEachEngine)
{
    const QDate today = QDate::currentDate();
    const QString cleanup =
        "DELETE FROM DOCSADM.ACTIVITYLOG WHERE DOCNUMBER = 100 AND TYPIST = (SELECT SYSTEM_ID FROM "
        "DOCSADM.PEOPLE WHERE USER_ID = 'JSMITH')";
    for (const QString &library : personalities) {
        LibraryDatabase &db = dm->database(library);
        db.exec(
            "INSERT INTO ACTIVITYLOG (DOCNUMBER, TYPIST, START_DATE) VALUES (100, 11, ?1), (100, 11, ?2), "
            "(100, 12, ?1), (101, 11, ?1)",
            {today.toString("yyyy-MM-dd"), today.addDays(-1).toString("yyyy-MM-dd")});
        const QString date =
            isOracle(library)
                ? " AND START_DATE = TO_DATE('" + QLocale().toString(today, "dd-MMM-yy") + "', 'DD-MON-RR')"
                : " AND START_DATE = '" + today.toString("yyyy-MM-dd") + "'";
        LocalSql &pass = sql(library);
        ASSERT_EQ(pass.execute(cleanup + date), 0) << pass.errorDescription().toStdString();
        EXPECT_EQ(pass.rowsAffected(), 1);
        EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM ACTIVITYLOG").toInt(), 3);
        ASSERT_EQ(pass.execute(cleanup + date), 0);
        EXPECT_EQ(pass.rowsAffected(), 0);
    }
    failure("LIB_MSSQL", cleanup + " AND START_DATE = TO_DATE('05-Mar-26', 'DD-MON-RR')", 195);
}

TEST_F(LocalSqlTest, RowsAffectedOnlyForChangesAndResultsReadBackAsWritten)
{
    LocalSql &pass = sql("LIB_MSSQL");
    ASSERT_EQ(pass.execute("UPDATE DOCSADM.PROFILE SET ABSTRACT = 'x' WHERE DOCNUMBER IN (100, 101)"), 0);
    EXPECT_EQ(pass.rowsAffected(), 2);
    EXPECT_FALSE(pass.hasResult());
    EXPECT_THROW(pass.columnValue(1), DmError);

    // A query after a change reports its rows, never the earlier change.
    ASSERT_EQ(
        pass.execute(sent("LIB_MSSQL", "SELECT DOCNUMBER, ABSTRACT, FULLTEXT FROM DOCSADM.PROFILE WHERE "
                                       "DOCNUMBER IN (100, 101) ORDER BY DOCNUMBER")),
        0);
    EXPECT_EQ(pass.rowsAffected(), 0);
    EXPECT_EQ(pass.rowCount(), 2);
    EXPECT_TRUE(pass.hasResult());
    EXPECT_EQ(pass.columnValue(1), QVariant(qint64(100)));
    EXPECT_EQ(pass.columnValue(2).toString(), "x");
    EXPECT_FALSE(pass.columnValue(3).isValid());
    EXPECT_THROW(pass.columnValue(0), DmError);
    EXPECT_THROW(pass.columnValue(4), DmError);
    EXPECT_TRUE(pass.nextRow());
    EXPECT_EQ(pass.columnValue(1).toInt(), 101);
    EXPECT_FALSE(pass.nextRow());
    EXPECT_FALSE(pass.hasResult());
    EXPECT_FALSE(pass.columnValue(1).isValid());
    pass.setRow(1);
    EXPECT_EQ(pass.columnValue(1).toInt(), 100);
    EXPECT_THROW(pass.setRow(3), DmError);
    pass.releaseResults();
    EXPECT_EQ(pass.rowCount(), 0);
    EXPECT_FALSE(pass.hasResult());

    ASSERT_EQ(pass.execute("UPDATE DOCSADM.PROFILE SET ABSTRACT = 'y' WHERE DOCNUMBER = 999"), 0);
    EXPECT_EQ(pass.rowsAffected(), 0);
    ASSERT_EQ(pass.execute(sent("LIB_MSSQL", "SELECT DOCNUMBER FROM DOCSADM.PROFILE WHERE DOCNUMBER = 999")),
              0);
    EXPECT_EQ(pass.rowCount(), 0);
    EXPECT_FALSE(pass.hasResult());
    EXPECT_FALSE(pass.columnValue(1).isValid());

    for (const QString &library : personalities) {
        EXPECT_EQ(scalar(library, "SELECT UPPER(DOCNAME) FROM DOCSADM.PROFILE WHERE DOCNUMBER = 106"),
                  "RÉUNION");
        EXPECT_EQ(scalar(library,
                         "SELECT PR.DOCNUMBER FROM DOCSADM.PROFILE PR WHERE UPPER(PR.DOCNAME) = 'RÉUNION'"),
                  106);
    }
    EXPECT_EQ(scalar("LIB_MSSQL", "SELECT COUNT(*) FROM dbo.PROFILE WHERE GETUTCDATE() > '2000'").toInt(), 7);
    EXPECT_EQ(scalar("LIB_ORACLE", "SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE SYSDATE > '2000'").toInt(), 7);
    EXPECT_EQ(
        scalar("LIB_MSSQL", "SELECT TRY_CAST('12' AS INT) FROM DOCSADM.DOCSTABLE WHERE TABLE_NAME = 'APPS'"),
        12);
    failure("LIB_MSSQL2008", "SELECT TRY_CAST('12' AS INT) FROM DOCSADM.DOCSTABLE", 195);
}

TEST_F(LocalSqlTest, FailuresAreReportedAsTheServerAndStayReadable)
{
    EXPECT_EQ(failure("LIB_MSSQL", "SELECT X FROM DOCSADM.NOPE", 208),
              "[Microsoft][ODBC SQL Server Driver][SQL Server]Invalid object name 'DOCSADM.NOPE'.");
    EXPECT_EQ(failure("LIB_ORACLE", "SELECT X FROM DOCSADM.NOPE", 942),
              "[Oracle][ODBC][Ora]ORA-00942: table or view does not exist");
    EXPECT_EQ(failure("LIB_SYBASE", "SELECT NOPE FROM DOCSADM.PROFILE", 207),
              "[Sybase][ODBC Driver][Adaptive Server Enterprise]Invalid column name 'NOPE'.");
    EXPECT_EQ(failure("LIB_ORACLE", "SELECT PR.NOPE FROM DOCSADM.PROFILE PR", 904),
              "[Oracle][ODBC][Ora]ORA-00904: \"PR\".\"NOPE\": invalid identifier");
    EXPECT_EQ(failure("LIB_MSSQL", "SELECT DOCNAME FORM DOCSADM.PROFILE", 102),
              "[Microsoft][ODBC SQL Server Driver][SQL Server]Incorrect syntax near 'DOCSADM'.");
    failure("LIB_ORACLE", "SELECT DOCNAME FORM DOCSADM.PROFILE", 933);
    EXPECT_EQ(
        failure("LIB_MSSQL", "INSERT INTO DOCSADM.PROFILE (SYSTEM_ID, DOCNUMBER) VALUES (2000, 100)", 2627),
        "[Microsoft][ODBC SQL Server Driver][SQL Server]Violation of UNIQUE KEY constraint "
        "'PROFILE.DOCNUMBER'. "
        "Cannot insert duplicate key in object 'DOCSADM.PROFILE'.");
    failure("LIB_ORACLE", "INSERT INTO DOCSADM.PROFILE (SYSTEM_ID, DOCNUMBER) VALUES (2000, 100)", 1);
    failure("LIB_MSSQL", "SELECT X FROM T WHERE NAME = 'open", 105);

    // The error stays readable after the results are released, until the next statement runs.
    LocalSql &pass = sql("LIB_MSSQL");
    ASSERT_NE(pass.execute("DELETE FROM DOCSADM.NOPE"), 0);
    pass.releaseResults();
    EXPECT_EQ(pass.errorNumber(), 208);
    EXPECT_EQ(pass.rowCount(), 0);
    ASSERT_EQ(pass.execute("DELETE FROM DOCSADM.ACTIVITYLOG"), 0);
    EXPECT_EQ(pass.errorNumber(), 0);
    EXPECT_TRUE(pass.errorDescription().isEmpty());

    // One statement at a time; what follows the first is refused, and nothing of it runs.
    EXPECT_EQ(pass.execute("DELETE FROM DOCSADM.FOLDER WHERE DOCNUMBER = 105; DELETE FROM DOCSADM.FOLDER"),
              1104);
    EXPECT_TRUE(pass.errorDescription().startsWith("[Korvel][Local DM]"));
    EXPECT_EQ(dm->database("LIB_MSSQL").scalar("SELECT COUNT(*) FROM FOLDER").toInt(), 6);
    EXPECT_EQ(pass.execute("DELETE FROM DOCSADM.FOLDER WHERE DOCNUMBER = 105; -- done"), 0);
    EXPECT_EQ(pass.rowsAffected(), 1);
}

TEST_F(LocalSqlTest, UnboundOrAnonymousObjectsRunNothing)
{
    LocalSql unbound(dm);
    EXPECT_EQ(unbound.databaseEngine(), 0);
    unbound.setSecurityToken("TOKEN");
    EXPECT_NE(unbound.execute("DELETE FROM DOCSADM.FOLDER"), 0);
    EXPECT_TRUE(unbound.errorDescription().startsWith("[Korvel][Local DM]"));
    EXPECT_THROW(unbound.setLibrary("NO_SUCH_LIBRARY"), DmError);
    EXPECT_EQ(unbound.databaseEngine(), 0);

    LocalSql anonymous(dm);
    anonymous.setLibrary("lib_oracle");
    EXPECT_EQ(anonymous.databaseEngine(), 2);
    EXPECT_NE(anonymous.execute("DELETE FROM DOCSADM.FOLDER"), 0);
    EXPECT_TRUE(anonymous.errorDescription().contains("not logged in"));
    EXPECT_EQ(dm->database("LIB_ORACLE").scalar("SELECT COUNT(*) FROM FOLDER").toInt(), 6);
}

TEST_F(LocalSqlTest, PlantedSqlFailuresFailTheirStatementOnly)
{
    Installation installation = dm->installation();
    installation.faults = "sql:2, sql:4";
    const auto planted = std::make_shared<LocalDm>(installation);
    LocalSql pass(planted);
    pass.setSecurityToken("TOKEN");
    pass.setLibrary("LIB_SYBASE");
    const QString update = "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'x' WHERE DOCNUMBER = 100";
    EXPECT_EQ(pass.execute(update), 0);
    const qint32 status = pass.execute(update);
    EXPECT_NE(status, 0);
    EXPECT_EQ(pass.errorNumber(), status);
    EXPECT_EQ(pass.errorDescription(),
              "[Korvel][Local DM]Planted failure of this SQL statement (fault plan \"sql\").");
    EXPECT_EQ(pass.rowsAffected(), 0);
    EXPECT_EQ(pass.execute(update), 0);
    EXPECT_EQ(pass.rowsAffected(), 1);
    EXPECT_NE(pass.execute(update), 0);
    EXPECT_EQ(pass.execute(update), 0);
}

namespace {

const QString FirstChange = "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'one' WHERE DOCNUMBER = 100";
const QString SecondChange = "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'two' WHERE DOCNUMBER = 101";

// A session of statements sent one by one, and what another connection sees of it.
struct TransactionCase {
    const char *library;
    const char *faults;
    QList<std::pair<QString, qint32>> statements; // statement and the status it returns
    const char *whileOpen;                        // ABSTRACT of 100 and 101 committed before the session ends
    const char *afterEnd;                         // and once the SQL object is bound elsewhere
};

const TransactionCase TransactionCases[] = {
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}, {SecondChange, 0}, {"COMMIT", 0}},
     "one|two",
     "one|two"},
    {"LIB_MSSQL",
     "",
     {{"begin tran", 0}, {FirstChange, 0}, {SecondChange, 0}, {"ROLLBACK TRANSACTION;", 0}},
     "|",
     "|"},
    {"LIB_MSSQL", "", {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}}, "|", "|"},
    {"LIB_MSSQL", "", {{FirstChange, 0}}, "one|", "one|"},
    {"LIB_MSSQL", "", {{"COMMIT", 3902}, {"ROLLBACK", 3903}, {"COMMIT TRANSACTION", 3902}}, "|", "|"},
    // Only the outermost COMMIT commits; a ROLLBACK ends every level.
    {"LIB_MSSQL", "", {{"BEGIN TRAN", 0}, {"BEGIN TRAN", 0}, {FirstChange, 0}, {"COMMIT TRAN", 0}}, "|", "|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRAN", 0}, {"BEGIN TRAN", 0}, {FirstChange, 0}, {"COMMIT TRAN", 0}, {"COMMIT WORK", 0}},
     "one|",
     "one|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRAN", 0}, {"BEGIN TRAN", 0}, {FirstChange, 0}, {"ROLLBACK", 0}, {"COMMIT", 3902}},
     "|",
     "|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRAN sorting", 0},
      {FirstChange, 0},
      {"ROLLBACK TRAN other", 6401},
      {"ROLLBACK TRAN sorting", 0}},
     "|",
     "|"},
    // A failed statement, planted or refused, leaves the transaction open for the caller to end.
    {"LIB_MSSQL",
     "sql:3",
     {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}, {SecondChange, 1103}, {"ROLLBACK", 0}},
     "|",
     "|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}, {"UPDATE DOCSADM.NOPE SET X = 1", 208}, {"COMMIT", 0}},
     "one|",
     "one|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN", 102},
      {"BEGIN DISTRIBUTED TRANSACTION", 102},
      {"END TRANSACTION", 102},
      {"SAVE TRANSACTION here", 1105},
      {"ROLLBACK TO here", 102},
      {"RELEASE here", 102},
      {"COMMIT 'x'", 102}},
     "|",
     "|"},
    {"LIB_SYBASE", "", {{"begin transaction", 0}, {FirstChange, 0}, {"commit tran", 0}}, "one|", "one|"},
    {"LIB_SYBASE",
     "sql:2",
     {{"BEGIN TRAN", 0}, {FirstChange, 1103}, {SecondChange, 0}, {"ROLLBACK WORK", 0}},
     "|",
     "|"},
    {"LIB_SYBASE", "", {{"COMMIT", 0}, {"ROLLBACK TRANSACTION", 0}, {FirstChange, 0}}, "one|", "one|"},
    // Oracle: the first change opens the transaction; ending the session commits it.
    {"LIB_ORACLE", "", {{FirstChange, 0}, {SecondChange, 0}, {"COMMIT", 0}}, "one|two", "one|two"},
    {"LIB_ORACLE", "", {{FirstChange, 0}, {SecondChange, 0}, {"ROLLBACK WORK;", 0}}, "|", "|"},
    {"LIB_ORACLE", "", {{FirstChange, 0}, {SecondChange, 0}}, "|", "one|two"},
    {"LIB_ORACLE", "sql:2", {{FirstChange, 0}, {SecondChange, 1103}, {"ROLLBACK", 0}}, "|", "|"},
    {"LIB_ORACLE",
     "",
     {{"COMMIT", 0},
      {"ROLLBACK", 0},
      {"BEGIN TRANSACTION", 900},
      {"COMMIT TRANSACTION", 933},
      {"SAVEPOINT here", 1105},
      {"ROLLBACK TO SAVEPOINT here", 1105},
      {"END", 900}},
     "|",
     "|"},
};

} // namespace

TEST_F(LocalSqlTest, TransactionsAreAllOrNothingAsOnTheServer)
{
    const auto committed = [this](const char *library) {
        LibraryDatabase reader(*dm->installation().library(library));
        return QStringList{reader.scalar("SELECT ABSTRACT FROM PROFILE WHERE DOCNUMBER = 100").toString(),
                           reader.scalar("SELECT ABSTRACT FROM PROFILE WHERE DOCNUMBER = 101").toString()}
            .join(u'|')
            .toStdString();
    };
    for (const TransactionCase &test : TransactionCases) {
        const QString statements = [&] {
            QStringList texts;
            for (const auto &statement : test.statements)
                texts << statement.first;
            return texts.join(" / ");
        }();
        SCOPED_TRACE(QString("%1 [%2]: %3").arg(test.library, test.faults, statements).toStdString());
        dm->database(test.library).exec("UPDATE PROFILE SET ABSTRACT = NULL");
        Installation installation = dm->installation();
        installation.faults = test.faults;
        const auto session = std::make_shared<LocalDm>(installation);
        LocalSql pass(session);
        pass.setSecurityToken("TOKEN");
        pass.setLibrary(test.library);
        for (const auto &[statement, status] : test.statements)
            EXPECT_EQ(pass.execute(statement), status)
                << statement.toStdString() << ": " << pass.errorDescription().toStdString();
        EXPECT_EQ(committed(test.library), test.whileOpen);
        pass.setLibrary("LIB_MSSQL2008");
        EXPECT_EQ(committed(test.library), test.afterEnd);
    }
}

TEST_F(LocalSqlTest, DmCallsInsideAnOpenTransactionShareItsOutcome)
{
    LibraryDatabase &db = dm->database("LIB_MSSQL");
    LocalSql &pass = sql("LIB_MSSQL");
    const auto abstracts = [&db] {
        return db.query("SELECT ABSTRACT FROM PROFILE WHERE DOCNUMBER IN (100, 101) ORDER BY DOCNUMBER");
    };
    ASSERT_EQ(pass.execute("BEGIN TRANSACTION"), 0);
    ASSERT_EQ(pass.execute(FirstChange), 0);
    {
        LibraryDatabase::Transaction kept(db);
        db.exec("UPDATE PROFILE SET ABSTRACT = 'kept' WHERE DOCNUMBER = 101");
        kept.commit();
    }
    {
        LibraryDatabase::Transaction undone(db);
        db.exec("UPDATE PROFILE SET ABSTRACT = 'undone' WHERE DOCNUMBER = 100");
    }
    EXPECT_EQ(abstracts(), QList<QVariantList>({{"one"}, {"kept"}}));
    ASSERT_EQ(pass.execute("ROLLBACK"), 0);
    EXPECT_EQ(abstracts(), QList<QVariantList>({{QVariant()}, {QVariant()}}));
}

namespace {

// A query and its answer on SQL Server, Sybase and Oracle.
struct ServerAnswer {
    const char *statement;
    int sqlServer;
    int sybase;
    int oracle;
};

// PEOPLE holds JSMITH and ADOE; PROFILE apple, Banana, cherry, Hidden, sub one, Loose and réunion.
const ServerAnswer TextComparisons[] = {
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE USER_ID = 'jsmith'", 1, 1, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE USER_ID <> 'jsmith'", 1, 1, 2},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE USER_ID IN ('jsmith', 'Adoe')", 2, 2, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE P JOIN DOCSADM.PEOPLE Q ON LOWER(P.USER_ID) = Q.USER_ID", 2, 2, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME > 'b'", 6, 6, 3},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE 'b%'", 1, 1, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE 'RÉ%'", 1, 1, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE '[ab]%'", 2, 2, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE '[^a-c]%'", 4, 4, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE 'sub_one'", 1, 1, 1},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE '%!%' ESCAPE '!'", 0, 0, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME NOT LIKE '%E%'", 2, 2, 7},
    {"SELECT COUNT(DISTINCT UPPER(USER_ID)) FROM DOCSADM.PEOPLE WHERE USER_ID LIKE '%'", 2, 2, 2},
    // Oracle's empty string is NULL.
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME != ''", 7, 7, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME <> ' '", 7, 7, 7},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE '' IS NULL", 0, 0, 2},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE 'it''s' IS NULL", 0, 0, 0},
    {"UPDATE DOCSADM.PROFILE SET ABSTRACT = '' WHERE DOCNUMBER = 100", 0, 0, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE ABSTRACT IS NULL", 6, 6, 7},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE ABSTRACT = ''", 1, 1, 0},
};

} // namespace

TEST_F(LocalSqlTest, TextComparesAsTheServerDoes)
{
    for (const ServerAnswer &test : TextComparisons) {
        EXPECT_EQ(scalar("LIB_MSSQL", test.statement).toInt(), test.sqlServer) << test.statement;
        EXPECT_EQ(scalar("LIB_SYBASE", test.statement).toInt(), test.sybase) << test.statement;
        EXPECT_EQ(scalar("LIB_ORACLE", test.statement).toInt(), test.oracle) << test.statement;
    }
    // What the DM itself writes or looks up follows the same rule.
    EXPECT_EQ(dm->database("LIB_ORACLE").scalar("SELECT ?1 IS NULL", {QString("")}).toInt(), 1);
    EXPECT_EQ(dm->database("LIB_MSSQL").scalar("SELECT ?1 IS NULL", {QString("")}).toInt(), 0);
    // Names unique on the server are unique whatever their letter case.
    failure("LIB_MSSQL", "INSERT INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (13, 'jsmith')", 2627);
    ASSERT_EQ(
        sql("LIB_ORACLE").execute("INSERT INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (13, 'jsmith')"),
        0);
}

TEST_F(LocalSqlTest, TooLongTextIsRefusedAndNeverStored)
{
    for (const QString &library : personalities) {
        LibraryDatabase &db = dm->database(library);
        db.exec("INSERT INTO FORMS (SYSTEM_ID, FORM_NAME) VALUES (1, 'F')");
        db.exec("INSERT INTO ACTIVITYLOG (SYSTEM_ID, DOCNUMBER) VALUES (1, 100)");
        db.exec("INSERT INTO QENT_SETTINGS (MASTER_KEY) VALUES ('K')");
        for (const TextColumn &column : LibraryTextColumns()) {
            SCOPED_TRACE((library + ": " + column.constraintName()).toStdString());
            const QString set = "UPDATE DOCSADM.%1 SET %2 = '%3' WHERE %2 IS NULL OR %2 <> 'x'";
            const QString description =
                failure(library, set.arg(column.table, column.column, QString(column.length + 1, u'é')),
                        isOracle(library) ? 12899 : 8152);
            if (isOracle(library))
                EXPECT_EQ(description, QString("[Oracle][ODBC][Ora]ORA-12899: value too large for column "
                                               "\"DOCSADM\".\"%1\".\"%2\" (maximum: %3)")
                                           .arg(column.table, column.column)
                                           .arg(column.length));
            else
                EXPECT_TRUE(description.endsWith("]String or binary data would be truncated."));
            EXPECT_EQ(db.scalar(QString("SELECT COUNT(*) FROM %1 WHERE length(%2) > %3")
                                    .arg(column.table, column.column)
                                    .arg(column.length))
                          .toInt(),
                      0);
            const QString fits = QString("UPDATE %1 SET %2 = ?1 WHERE rowid = (SELECT MIN(rowid) FROM %1)")
                                     .arg(column.table, column.column);
            EXPECT_NO_THROW(db.exec(fits, {QString(column.length, u'é')}));
        }
    }
}

namespace {

// A statement and what each server answers: the value of the first column, or "#" and the error number.
struct PassThroughCase {
    const char *statement;
    const char *sqlServer;
    const char *sybase;
    const char *oracle;
};

const PassThroughCase PassThroughCases[] = {
    // Refused: no DM library database runs these for this program.
    {"ATTACH DATABASE 'attached.db' AS X", "#2812", "#2812", "#900"},
    {"DETACH DATABASE DOCSADM", "#2812", "#2812", "#900"},
    {"PRAGMA writable_schema = 1", "#2812", "#2812", "#900"},
    {"VACUUM", "#2812", "#2812", "#900"},
    {"REPLACE INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (11, 'X')", "#2812", "#2812", "#900"},
    {"EXPLAIN SELECT DOCNAME FROM DOCSADM.PROFILE", "#2812", "#2812", "#900"},
    {"CREATE TABLE DOCSADM.EXTRA (A INT)", "#262", "#262", "#1031"},
    {"CREATE VIEW DOCSADM.EXTRA AS SELECT DOCNAME FROM DOCSADM.PROFILE", "#262", "#262", "#1031"},
    {"CREATE TRIGGER T AFTER DELETE ON PROFILE BEGIN DELETE FROM FOLDER; END", "#262", "#262", "#1031"},
    {"DROP TABLE DOCSADM.FOLDER", "#262", "#262", "#1031"},
    {"DROP VIEW ALL_TABLES", "#262", "#262", "#1031"},
    {"WITH X AS (SELECT USER_ID FROM DOCSADM.PEOPLE) SELECT COUNT(*) FROM X", "2", "#156", "2"},
    {"SELECT sqlite_version() FROM DOCSADM.PEOPLE", "#195", "#195", "#904"},
    {"SELECT COUNT(*) FROM sqlite_master", "#208", "#208", "#942"},
    {"SELECT COUNT(*) FROM pragma_table_info('PROFILE')", "#195", "#195", "#904"},
    {"SELECT typeof(DOCNAME) FROM DOCSADM.PROFILE", "#195", "#195", "#904"},
    {"SELECT IFNULL(ABSTRACT, 'x') FROM DOCSADM.PROFILE", "#195", "#195", "#904"},
    {"SELECT DOCNAME FROM DOCSADM.PROFILE ORDER BY DOCNAME LIMIT 1", "#102", "#102", "#933"},
    {"SELECT DOCNAME FROM DOCSADM.PROFILE WHERE DOCNAME GLOB 'a*'", "#102", "#102", "#933"},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE ABSTRACT NOTNULL", "#102", "#102", "#933"},
    {"INSERT OR REPLACE INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (11, 'X')", "#102", "#102", "#933"},
    {"DELETE FROM DOCSADM.PEOPLE WHERE USER_ID = 'ADOE' RETURNING SYSTEM_ID", "#102", "#102", "#933"},
    {"SELECT DOCNAME || '!' FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "#102", "#102", "apple!"},
    // Translated: the server's answer, never SQLite's.
    {"SELECT TOP 1 DOCNAME FROM DOCSADM.PROFILE ORDER BY DOCNAME", "apple", "apple", "#923"},
    {"SELECT DISTINCT TOP (2) DOCNUMBER FROM DOCSADM.PROFILE ORDER BY DOCNUMBER DESC", "106", "106", "#923"},
    {"SELECT COUNT(*) FROM (SELECT TOP 3 DOCNUMBER FROM DOCSADM.PROFILE) X", "3", "3", "#923"},
    {"SELECT TOP 10 PERCENT DOCNAME FROM DOCSADM.PROFILE", "#1105", "#1105", "#923"},
    {"SELECT ISNULL(ABSTRACT, 'none') FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "none", "none", "#904"},
    {"SELECT NVL(ABSTRACT, 'none') FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "#195", "#195", "none"},
    {"SELECT LEN(DOCNAME + '  ') FROM DOCSADM.PROFILE WHERE DOCNUMBER = 104", "7", "7", "#904"},
    {"SELECT LENGTH(DOCNAME) FROM DOCSADM.PROFILE WHERE DOCNUMBER = 104", "#195", "#195", "7"},
    {"SELECT SUBSTRING(DOCNAME, 2, 3) FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "ppl", "ppl", "#904"},
    {"SELECT DOCNAME + ' (copy)' FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "apple (copy)", "apple (copy)",
     "#1722"},
    {"SELECT UPPER(P.DOCNAME) + '!' FROM DOCSADM.PROFILE P WHERE DOCNUMBER = 100", "APPLE!", "APPLE!",
     "#1722"},
    {"SELECT 'n' + DOCNAME FROM DOCSADM.PROFILE WHERE DOCNUMBER = 101", "nBanana", "nBanana", "#1722"},
    {"SELECT DOCNUMBER + 1 FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "101", "101", "101"},
    {"SELECT DOCNUMBER + '1' FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "101", "101", "101"},
    {"SELECT DOCNAME + '-' + DOCNAME FROM DOCSADM.PROFILE WHERE DOCNUMBER = 102", "cherry-cherry",
     "cherry-cherry", "#1722"},
};

} // namespace

TEST_F(LocalSqlTest, PassThroughRunsOnlyWhatTheServerWouldAndAnswersAsItDoes)
{
    const std::map<QString, const char *(PassThroughCase::*)> answers = {
        {"LIB_MSSQL", &PassThroughCase::sqlServer},
        {"LIB_SYBASE", &PassThroughCase::sybase},
        {"LIB_ORACLE", &PassThroughCase::oracle}};
    const std::map<QString, QString> prefixes = {
        {"LIB_MSSQL", "[Microsoft]"}, {"LIB_SYBASE", "[Sybase]"}, {"LIB_ORACLE", "[Oracle]"}};
    const auto state = [this] {
        QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
        for (const QString &library : personalities) {
            LibraryDatabase &db = dm->database(library);
            files << library + ": " +
                         db.scalar("SELECT group_concat(name) FROM DOCSADM.sqlite_master").toString() + " " +
                         db.scalar("SELECT group_concat(USER_ID) FROM PEOPLE").toString() + " " +
                         db.scalar("SELECT COUNT(*) FROM FOLDER").toString();
        }
        return files.join('\n').toStdString();
    };
    const std::string before = state();
    for (const PassThroughCase &test : PassThroughCases) {
        for (const auto &[library, answer] : answers) {
            const QString expected = QString::fromUtf8(test.*answer);
            SCOPED_TRACE((library + ": " + test.statement).toStdString());
            if (expected.startsWith('#')) {
                const QString description = failure(library, test.statement, expected.mid(1).toInt());
                EXPECT_TRUE(description.startsWith(expected == "#1105" ? "[Korvel]" : prefixes.at(library)))
                    << description.toStdString();
            } else {
                EXPECT_EQ(scalar(library, test.statement).toString(), expected);
            }
        }
    }
    EXPECT_EQ(state(), before);
}
