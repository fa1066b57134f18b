#include "localsqlfixture.h"

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
        db.exec("INSERT INTO ACTIVITYLOG (SYSTEM_ID, DOCNUMBER, TYPIST, START_DATE) VALUES (1, 100, 11, ?1), "
                "(2, 100, 11, ?2), (3, 100, 12, ?1), (4, 101, 11, ?1)",
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
