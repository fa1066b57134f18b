#include "localdm/sql/sqltranslator.h"
#include "localdm/sql/statementshape.h"

#include <gtest/gtest.h>

namespace {

LibraryConfig server(int engine, int compatibilityLevel = 150, bool quotedIdentifier = true,
                     const QString &version = "15.0.2000.5")
{
    LibraryConfig config;
    config.name = "LIB";
    config.engine = engine;
    config.compatibilityLevel = compatibilityLevel;
    config.quotedIdentifier = quotedIdentifier;
    config.productVersion = version;
    return config;
}

const LibraryConfig SqlServer = server(10);
const LibraryConfig Oracle = server(2);
const LibraryConfig Sybase = server(6);

QString sqlite(const LibraryConfig &config, const QString &statement)
{
    const SqlTranslation translation = SqlTranslator(config).translate(statement);
    EXPECT_EQ(translation.action, SqlTranslation::Action::Run) << translation.error.description.toStdString();
    return translation.sql;
}

SqlError refusal(const LibraryConfig &config, const QString &statement)
{
    const SqlTranslation translation = SqlTranslator(config).translate(statement);
    EXPECT_EQ(translation.action, SqlTranslation::Action::Refuse) << translation.sql.toStdString();
    return translation.error;
}

} // namespace

TEST(SqlTranslatorTest, PersonalityFollowsTheEngineCode)
{
    EXPECT_EQ(SqlTranslator::dialectOf(2), SqlDialect::Oracle);
    EXPECT_EQ(SqlTranslator::dialectOf(5), SqlDialect::Oracle);
    EXPECT_EQ(SqlTranslator::dialectOf(6), SqlDialect::Sybase);
    EXPECT_EQ(SqlTranslator::dialectOf(10), SqlDialect::SqlServer);
    EXPECT_EQ(SqlTranslator::dialectOf(0), SqlDialect::SqlServer);
}

TEST(SqlTranslatorTest, QueryHintIsDroppedWhereTheServerTakesItAndRefusedByOracle)
{
    for (const LibraryConfig &config : {SqlServer, Sybase}) {
        EXPECT_EQ(sqlite(config, "SELECT X FROM T WHERE A = 1 OPTION (MAXDOP 1)"),
                  "SELECT X FROM T WHERE A = 1");
        EXPECT_EQ(sqlite(config, "select x from t option(maxdop 1);"), "select x from t;");
        EXPECT_EQ(sqlite(config, "SELECT X FROM T\r\n  Option  (  MaxDop 4 )  "), "SELECT X FROM T  ");
    }
    const SqlError error = refusal(Oracle, "SELECT X FROM T OPTION (MAXDOP 1)");
    EXPECT_EQ(error.number, 933);
    EXPECT_EQ(error.description, "[Oracle][ODBC][Ora]ORA-00933: SQL command not properly ended");
}

TEST(SqlTranslatorTest, QuotedNamesFollowTheServerAndItsQuotedIdentifierOption)
{
    const QString update = "UPDATE DOCSADM.FOLDER_ITEM SET %1 = 12, ISFIRST = 'Y' WHERE SYSTEM_ID = 11";
    EXPECT_EQ(sqlite(SqlServer, update.arg("[NEXT]")), update.arg("`NEXT`"));
    EXPECT_EQ(sqlite(Sybase, update.arg("[NEXT]")), update.arg("`NEXT`"));
    EXPECT_EQ(sqlite(SqlServer, update.arg("\"NEXT\"")), update.arg("`NEXT`"));
    EXPECT_EQ(sqlite(Oracle, update.arg("\"NEXT\"")), update.arg("`NEXT`"));
    EXPECT_EQ(sqlite(SqlServer, "SELECT [a]]b], [c`d] FROM T"), "SELECT `a]b`, `c``d` FROM T");

    const SqlError bracket = refusal(Oracle, update.arg("[NEXT]"));
    EXPECT_EQ(bracket.number, 936);
    EXPECT_EQ(bracket.description, "[Oracle][ODBC][Ora]ORA-00936: missing expression");

    // With QUOTED_IDENTIFIER OFF a double-quoted text is a string: fine as a value, wrong as a column.
    const LibraryConfig quotedOff = server(10, 150, false);
    EXPECT_EQ(sqlite(quotedOff, "SELECT \"it's\" FROM T"), "SELECT 'it''s' FROM T");
    const SqlError column = refusal(quotedOff, update.arg("\"NEXT\""));
    EXPECT_EQ(column.number, 102);
    EXPECT_EQ(column.description,
              "[Microsoft][ODBC SQL Server Driver][SQL Server]Incorrect syntax near 'NEXT'.");
    EXPECT_EQ(refusal(server(6, 150, false), "UPDATE T SET A = 1, \"NEXT\" = 2").description,
              "[Sybase][ODBC Driver][Adaptive Server Enterprise]Incorrect syntax near 'NEXT'.");
    EXPECT_EQ(sqlite(quotedOff, "UPDATE T SET A = COALESCE(B, 'x'), C = 'y' WHERE D = 'z'"),
              "UPDATE T SET A = COALESCE(B, 'x'), C = 'y' WHERE D = 'z'");
    EXPECT_EQ(sqlite(quotedOff, "INSERT INTO T (A, B) VALUES ('x', \"y\")"),
              "INSERT INTO T (A, B) VALUES ('x', 'y')");
    EXPECT_EQ(sqlite(quotedOff, "INSERT INTO D.T SELECT COALESCE(A, 'x') FROM U"),
              "INSERT INTO D.T SELECT COALESCE(A, 'x') FROM U");
    for (const QString &statement :
         {QString("SELECT A FROM \"T\""), QString("INSERT INTO D.T (A, \"B\") VALUES (1, 2)"),
          QString("SELECT A FROM \"DOCSADM\".T"), QString("DELETE FROM 'T'")})
        EXPECT_EQ(refusal(quotedOff, statement).number, 102) << statement.toStdString();
    EXPECT_EQ(refusal(Oracle, "SELECT A FROM 'T'").number, 903);
}

TEST(SqlTranslatorTest, CatalogNamesOfOneServerAreRefusedByTheOthers)
{
    EXPECT_EQ(refusal(Oracle, "select serverproperty('ProductVersion')").description,
              "[Oracle][ODBC][Ora]ORA-00904: \"SERVERPROPERTY\": invalid identifier");
    EXPECT_EQ(refusal(Oracle, "SELECT compatibility_level FROM sys.databases WHERE name = 'X'").number, 942);
    EXPECT_EQ(refusal(Oracle, "select count(*) from sysobjects where id = object_id('A.B')").number, 942);
    EXPECT_EQ(refusal(Oracle, "SELECT GETUTCDATE() FROM T").number, 904);
    EXPECT_EQ(refusal(SqlServer, "SELECT OWNER FROM USER_TAB_PRIVS WHERE TABLE_NAME = 'X' OPTION (MAXDOP 1)")
                  .description,
              "[Microsoft][ODBC SQL Server Driver][SQL Server]Invalid object name 'USER_TAB_PRIVS'.");
    EXPECT_EQ(refusal(Sybase, "SELECT COUNT(*) FROM ALL_TABLES").number, 208);
    EXPECT_EQ(refusal(SqlServer, "DELETE FROM T WHERE D = TO_DATE('05-MAR-26', 'DD-MON-RR')").description,
              "[Microsoft][ODBC SQL Server Driver][SQL Server]'TO_DATE' is not a recognized built-in "
              "function name.");
    EXPECT_EQ(refusal(Sybase, "SELECT SYSDATE FROM T").description,
              "[Sybase][ODBC Driver][Adaptive Server Enterprise]Invalid column name 'SYSDATE'.");

    EXPECT_EQ(sqlite(Oracle, "SELECT SYSDATE, T.SYSDATE FROM T"), "SELECT SYSDATE(), T.SYSDATE FROM T");
    EXPECT_EQ(sqlite(SqlServer, "SELECT A FROM dbo.QS_X, DBO.PROFILE, [dbo].[FOLDER], X.dbo.Y"),
              "SELECT A FROM DOCSADM.QS_X, DOCSADM.PROFILE, DOCSADM.`FOLDER`, X.dbo.Y");
    EXPECT_EQ(sqlite(Oracle, "SELECT A FROM dbo.QS_X"), "SELECT A FROM dbo.QS_X");
}

TEST(SqlTranslatorTest, TryCastNeedsSqlServer2012AtLevel110)
{
    const QString statement = "SELECT TRY_CAST(CHAR_VAL AS INT) FROM T";
    EXPECT_EQ(sqlite(server(10, 110, true, "11.0.2100.60"), statement),
              "SELECT CAST(CHAR_VAL AS INT) FROM T");
    const QString notBuiltIn = "[Microsoft][ODBC SQL Server Driver][SQL Server]'TRY_CAST' is not a "
                               "recognized built-in function name.";
    EXPECT_EQ(refusal(server(10, 100, true, "11.0.2100.60"), statement).description, notBuiltIn);
    EXPECT_EQ(refusal(server(10, 150, true, "10.50.1600.1"), statement).description, notBuiltIn);
    EXPECT_EQ(refusal(Sybase, statement).number, 195);
    EXPECT_EQ(refusal(Oracle, statement).number, 904);
}

TEST(SqlTranslatorTest, SqlServerAndSybaseOrderNamesWithoutRegardToCase)
{
    EXPECT_EQ(sqlite(SqlServer, "SELECT A FROM T ORDER BY A OPTION (MAXDOP 1)"),
              "SELECT A FROM T ORDER BY A COLLATE DMNOCASE");
    EXPECT_EQ(sqlite(Sybase, "SELECT A FROM T ORDER BY UPPER(A) DESC, T.B asc, C COLLATE BINARY, 2"),
              "SELECT A FROM T ORDER BY UPPER(A) COLLATE DMNOCASE DESC, T.B COLLATE DMNOCASE asc, C COLLATE "
              "BINARY, "
              "2 COLLATE DMNOCASE");
    EXPECT_EQ(
        sqlite(SqlServer, "SELECT A FROM (SELECT TOP 5 A FROM T ORDER BY A) X ORDER BY A"),
        "SELECT A FROM (SELECT  A FROM T ORDER BY A COLLATE DMNOCASE LIMIT 5) X ORDER BY A COLLATE DMNOCASE");
    EXPECT_EQ(sqlite(Oracle, "SELECT A FROM T ORDER BY A"), "SELECT A FROM T ORDER BY A");
}

TEST(SqlTranslatorTest, OldOuterJoinsBecomeLeftJoins)
{
    const QString oracle =
        "SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM DOCSADM.SECURITY S, "
        "DOCSADM.PEOPLE P, DOCSADM.GROUPS G, DOCSADM.PROFILE R WHERE (P.SYSTEM_ID (+) = "
        "S.PERSONORGROUP AND G.SYSTEM_ID (+) = S.PERSONORGROUP AND S.THING = R.SYSTEM_ID) AND "
        "R.DOCNUMBER = 100";
    const QString ansi =
        "SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM DOCSADM.SECURITY S, "
        "DOCSADM.PROFILE R LEFT JOIN DOCSADM.PEOPLE P ON P.SYSTEM_ID = S.PERSONORGROUP LEFT JOIN "
        "DOCSADM.GROUPS G ON G.SYSTEM_ID = S.PERSONORGROUP WHERE (1 = 1 AND 1 = 1 AND S.THING = "
        "R.SYSTEM_ID) AND R.DOCNUMBER = 100";
    EXPECT_EQ(sqlite(Oracle, oracle), ansi);
    QString transact = oracle;
    transact.replace(" (+) = ", " =* ");
    EXPECT_EQ(sqlite(Sybase, transact + " OPTION (MAXDOP 1)"), ansi);
    EXPECT_EQ(sqlite(server(10, 80), transact + " OPTION (MAXDOP 1)"), ansi);

    // The marked column may stand on either side; *= keeps its left side.
    EXPECT_EQ(sqlite(Oracle, "SELECT A.X FROM A, B WHERE A.K = B.K (+)"),
              "SELECT A.X FROM A LEFT JOIN B ON A.K = B.K WHERE 1 = 1");
    EXPECT_EQ(sqlite(Sybase, "SELECT A.X FROM DOCSADM.A AS A, [B] WHERE A.K *= [B].[K] ORDER BY A.X"),
              "SELECT A.X FROM DOCSADM.A AS A LEFT JOIN `B` ON A.K = `B`.`K` WHERE 1 = 1 ORDER BY A.X "
              "COLLATE DMNOCASE");

    const SqlError level = refusal(SqlServer, transact + " OPTION (MAXDOP 1)");
    EXPECT_EQ(level.number, 4147);
    EXPECT_EQ(
        level.description,
        "[Microsoft][ODBC SQL Server Driver][SQL Server]The query uses non-ANSI outer join operators (\"*=\" "
        "or "
        "\"=*\"). To run this query without modifying it, please set the compatibility level for current "
        "database to 80, using the SET COMPATIBILITY_LEVEL option of ALTER DATABASE. It is strongly "
        "recommended "
        "to rewrite the query using ANSI outer join operators (LEFT OUTER JOIN, RIGHT OUTER JOIN). In the "
        "future "
        "versions of SQL Server, non-ANSI join operators will not be supported even in "
        "backward-compatibility "
        "modes.");
    EXPECT_EQ(refusal(Oracle, transact).number, 936);
    EXPECT_EQ(refusal(SqlServer, oracle).description,
              "[Microsoft][ODBC SQL Server Driver][SQL Server]Incorrect syntax near ')'.");
}

TEST(SqlTranslatorTest, OuterJoinsWhoseMeaningIsUncertainAreRefused)
{
    const QStringList unsafe = {
        "SELECT A.X FROM A, B WHERE A.K = B.K (+) OR A.Y = 1",           // OR
        "SELECT A.X FROM A, B WHERE NOT (A.K = B.K (+))",                // NOT
        "SELECT A.X FROM A, B WHERE A.K = B.K (+) AND B.Y = 1",          // optional table filtered
        "SELECT A.X FROM A, B, C WHERE A.K = B.K (+) AND B.J = C.J (+)", // chained
        "SELECT A.X FROM A, B WHERE K = B.K (+)",                        // unqualified column
        "SELECT A.X FROM A, B WHERE A.K = B.K (+) + 1",                  // part of an expression
        "SELECT A.X FROM A, B WHERE A.K = C.K (+)",                      // not in the FROM list
        "SELECT A.X FROM A JOIN B ON A.K = B.K, C WHERE A.K = C.K (+)",  // not a plain list
        "SELECT A.X FROM A, B WHERE A.Y IN (SELECT A.K FROM A, B WHERE A.K = B.K (+))", // subquery
        "UPDATE A SET X = 1 WHERE A.K = B.K (+)",                                       // not a query
        "SELECT A.X FROM A, B WHERE A.K = B.K (+) UNION SELECT 1 FROM C",               // compound
        "SELECT A.X FROM A, A WHERE A.K = A.K (+)",                                     // a table twice
    };
    for (const QString &statement : unsafe) {
        const SqlError error = refusal(Oracle, statement);
        EXPECT_EQ(error.number, UntranslatableSqlError) << statement.toStdString();
        EXPECT_TRUE(
            error.description.startsWith("[Korvel][Local DM]The local DM cannot rewrite the outer joins"))
            << error.description.toStdString();
    }
    EXPECT_EQ(refusal(Sybase, "SELECT A.X FROM A, B WHERE A.K *= B.K AND B.Y = 1").number,
              UntranslatableSqlError);
}

TEST(SqlTranslatorTest, DateFormatSettingIsAcceptedWithoutEffect)
{
    EXPECT_EQ(SqlTranslator(SqlServer).translate("set dateformat mdy").action, SqlTranslation::Action::Skip);
    EXPECT_EQ(SqlTranslator(Sybase).translate("SET DATEFORMAT dmy;").action, SqlTranslation::Action::Skip);
    EXPECT_EQ(refusal(SqlServer, "set dateformat xyz").number, 2741);
    EXPECT_EQ(refusal(Oracle, "set dateformat mdy").description,
              "[Oracle][ODBC][Ora]ORA-00922: missing or invalid option");
}

TEST(SqlTranslatorTest, UnbalancedQuotesAreRefusedAsTheServerWould)
{
    EXPECT_EQ(
        refusal(SqlServer, "SELECT X FROM T WHERE NAME = 'O''Brien").description,
        "[Microsoft][ODBC SQL Server Driver][SQL Server]Unclosed quotation mark after the character string "
        "'O'Brien'.");
    EXPECT_EQ(refusal(Oracle, "SELECT X FROM T WHERE NAME = 'open").number, 1756);
    EXPECT_EQ(refusal(Oracle, "SELECT \"X FROM T").number, 1740);
    EXPECT_EQ(refusal(Sybase, "SELECT X FROM T /* open").number, 113);
}

TEST(SqlTranslatorTest, SqliteFailuresReadAsServerErrors)
{
    const SqlTranslator sqlServer(SqlServer);
    const SqlTranslator oracle(Oracle);
    const SqlTranslator sybase(Sybase);
    EXPECT_EQ(
        sqlServer.sqliteError(StorageFailure::Broken::Nothing, "no such table: DOCSADM.NOPE").description,
        "[Microsoft][ODBC SQL Server Driver][SQL Server]Invalid object name 'DOCSADM.NOPE'.");
    EXPECT_EQ(sqlServer.sqliteError(StorageFailure::Broken::Nothing, "no such table: DOCSADM.NOPE").number,
              208);
    EXPECT_EQ(oracle.sqliteError(StorageFailure::Broken::Nothing, "no such table: DOCSADM.NOPE").description,
              "[Oracle][ODBC][Ora]ORA-00942: table or view does not exist");
    EXPECT_EQ(sybase.sqliteError(StorageFailure::Broken::Nothing, "no such column: P.nope").description,
              "[Sybase][ODBC Driver][Adaptive Server Enterprise]Invalid column name 'nope'.");
    EXPECT_EQ(oracle.sqliteError(StorageFailure::Broken::Nothing, "no such column: P.nope").description,
              "[Oracle][ODBC][Ora]ORA-00904: \"P\".\"NOPE\": invalid identifier");
    EXPECT_EQ(
        sqlServer.sqliteError(StorageFailure::Broken::Nothing, "near \"FORM\": syntax error").description,
        "[Microsoft][ODBC SQL Server Driver][SQL Server]Incorrect syntax near 'FORM'.");
    EXPECT_EQ(oracle.sqliteError(StorageFailure::Broken::Nothing, "near \"FORM\": syntax error").number, 933);
    EXPECT_EQ(oracle.sqliteError(StorageFailure::Broken::Nothing, "incomplete input").number, 936);

    const SqlError duplicate =
        sqlServer.sqliteError(StorageFailure::Broken::Key, "UNIQUE constraint failed: PROFILE.DOCNUMBER");
    EXPECT_EQ(duplicate.number, 2627);
    EXPECT_EQ(duplicate.description, "[Microsoft][ODBC SQL Server Driver][SQL Server]Violation of UNIQUE KEY "
                                     "constraint 'PROFILE.DOCNUMBER'. Cannot insert duplicate key in object "
                                     "'DOCSADM.PROFILE'.");
    EXPECT_EQ(oracle.sqliteError(StorageFailure::Broken::Key, "UNIQUE constraint failed: PROFILE.SYSTEM_ID")
                  .description,
              "[Oracle][ODBC][Ora]ORA-00001: unique constraint (DOCSADM.PROFILE.SYSTEM_ID) violated");
    EXPECT_EQ(
        oracle.sqliteError(StorageFailure::Broken::NotNull, "NOT NULL constraint failed: FOLDER.DOCNUMBER")
            .number,
        1400);

    const SqlError other = sybase.sqliteError(StorageFailure::Broken::Nothing, "database is locked");
    EXPECT_NE(other.number, 0);
    EXPECT_EQ(other.description, "[Sybase][ODBC Driver][Adaptive Server Enterprise]database is locked");
}

TEST(SqlTranslatorTest, LibrariesOnAServerGetPostgreSql)
{
    const auto onServer = [](LibraryConfig config) {
        config.connection = "host=db";
        return config;
    };
    const LibraryConfig sqlServer = onServer(server(10, 110, true, "11.0.2100.60"));
    const LibraryConfig oracle = onServer(Oracle);
    const LibraryConfig sybase = onServer(server(6));
    const struct {
        const LibraryConfig &config;
        QString statement;
        QString postgres;
    } cases[] = {
        {sqlServer, "UPDATE DOCSADM.FOLDER_ITEM SET [NEXT] = 1, \"Isfirst\" = 'N' WHERE SYSTEM_ID = 11",
         "UPDATE DOCSADM.FOLDER_ITEM SET \"next\" = 1, \"isfirst\" = 'N' WHERE SYSTEM_ID = 11"},
        {sqlServer, "SELECT TOP 2 A FROM dbo.T ORDER BY A DESC, 2 OPTION (MAXDOP 1)",
         "SELECT  A FROM DOCSADM.T ORDER BY A DESC NULLS LAST, 2 NULLS FIRST LIMIT 2"},
        {oracle, "SELECT A FROM T ORDER BY A DESC", "SELECT A FROM T ORDER BY A DESC"},
        {sybase,
         "SELECT DOCNAME + 'x' FROM T WHERE A LIKE 'b%' AND B NOT LIKE 'C:\\x' AND C LIKE '|' ESCAPE '|'",
         "SELECT DOCNAME || 'x' FROM T WHERE A ILIKE 'b%' AND B NOT ILIKE 'C:\\\\x' AND C ILIKE '|' ESCAPE "
         "'|'"},
        {sqlServer, "SELECT A FROM T WHERE A LIKE '[a-c]x.[^_9]%!%' ESCAPE '!'",
         "SELECT A FROM T WHERE A SIMILAR TO '[a-cA-C][xX]\\.[^\\_9]%\\%'"},
        {oracle, "SELECT A FROM T WHERE A LIKE '[a]%' AND B = TO_DATE('05-MAR-26', 'DD-MON-RR') AND C <> ''",
         "SELECT A FROM T WHERE A LIKE '[a]%' AND B = DM_TO_DATE('05-MAR-26', 'DD-MON-RR') AND C <> NULL"},
        {sqlServer, "SELECT TRY_CAST(V AS INT), TRY_CAST(W AS DATE) FROM T WHERE LOWER(A) = B",
         "SELECT DM_TRY_INT(V), CAST(W AS DATE) FROM T WHERE LOWER(A)::citext = B"},
        {sqlServer, "select count(*) from sysobjects where id = object_id('D.T') and sysstat & 0xf = 3",
         "select count(*) from sysobjects where id = object_id('D.T') and sysstat & 15 = 3"},
        {oracle, "SELECT A.X FROM A, B, C WHERE A.K = B.K (+) AND A.J = C.J",
         "SELECT A.X FROM A CROSS JOIN C LEFT JOIN B ON A.K = B.K WHERE 1 = 1 AND A.J = C.J"},
    };
    for (const auto &entry : cases)
        EXPECT_EQ(sqlite(entry.config, entry.statement), entry.postgres) << entry.statement.toStdString();
    EXPECT_EQ(refusal(sybase, "SELECT TRY_CAST(V AS INT) FROM T").number, 195);
    EXPECT_EQ(refusal(sqlServer, "SELECT A::int FROM T").number, 102);
    EXPECT_EQ(sqlite(sqlServer, "SELECT ~A FROM T"), "SELECT ~A FROM T");
    EXPECT_EQ(refusal(oracle, "SELECT A FROM T WHERE A ILIKE 'x'").number, 933);
    EXPECT_EQ(refusal(sqlServer, "SELECT set_config('search_path', 'public', false)").number, 195);
    EXPECT_EQ(refusal(oracle, "SELECT COUNT(*) FROM pg_catalog.pg_tables").number, 942);
    EXPECT_EQ(StatementShape("SELECT A FROM T WHERE B = 'xy' AND C = 12 AND D LIKE '[ab]%' OR 'zz' IS NULL")
                  .translate(SqlTranslator(sqlServer)),
              "SELECT A FROM T WHERE B = $1 AND C = $2 AND D SIMILAR TO '[aAbB]%' OR 'zz' IS NULL");
}

TEST(SqlTranslatorTest, PostgreSqlFailuresReadAsServerErrors)
{
    const SqlTranslator sqlServer(SqlServer);
    const SqlTranslator oracle(Oracle);
    const struct {
        const SqlTranslator &translator;
        QByteArray sqlstate;
        QString message;
        QString constraint;
        QString expected;
    } cases[] = {
        {sqlServer,
         "42P01",
         "relation \"docsadm.nope\" does not exist",
         {},
         "[Microsoft][ODBC SQL Server Driver][SQL Server]Invalid object name 'DOCSADM.NOPE'."},
        {oracle,
         "42703",
         "column pr.nope does not exist",
         {},
         "[Oracle][ODBC][Ora]ORA-00904: \"PR\".\"NOPE\": invalid identifier"},
        {sqlServer,
         "42601",
         "syntax error at or near \"DOCSADM\"",
         {},
         "[Microsoft][ODBC SQL Server Driver][SQL Server]Incorrect syntax near 'DOCSADM'."},
        {oracle,
         "42601",
         "syntax error at end of input",
         {},
         "[Oracle][ODBC][Ora]ORA-00936: missing expression"},
        {sqlServer, "23505", "duplicate key value violates unique constraint", "PROFILE(DOCNUMBER)",
         "[Microsoft][ODBC SQL Server Driver][SQL Server]Violation of UNIQUE KEY constraint "
         "'PROFILE.DOCNUMBER'. "
         "Cannot insert duplicate key in object 'DOCSADM.PROFILE'."},
        {oracle, "23505", "duplicate key", "PEOPLEGROUPS(PEOPLE_SYSTEM_ID, GROUPS_SYSTEM_ID)",
         "[Oracle][ODBC][Ora]ORA-00001: unique constraint (DOCSADM.PEOPLEGROUPS.PEOPLE_SYSTEM_ID, "
         "PEOPLEGROUPS.GROUPS_SYSTEM_ID) violated"},
        {oracle, "23514", "check", "PROFILE.DOCNAME",
         "[Oracle][ODBC][Ora]ORA-12899: value too large for column \"DOCSADM\".\"PROFILE\".\"DOCNAME\" "
         "(maximum: 240)"},
        {sqlServer, "23514", "check", "FOLDER.PATH",
         "[Microsoft][ODBC SQL Server Driver][SQL Server]String or binary data would be truncated."},
        {oracle,
         "23502",
         "null value in column \"docnumber\" of relation \"folder\" violates not-null constraint",
         {},
         "[Oracle][ODBC][Ora]ORA-01400: cannot insert NULL into (\"DOCSADM\".\"FOLDER\".\"DOCNUMBER\")"},
        {sqlServer,
         "55P03",
         "canceling statement due to lock timeout",
         {},
         "[Microsoft][ODBC SQL Server Driver][SQL Server]Lock request time out period exceeded."},
        {oracle,
         "40P01",
         "deadlock detected",
         {},
         "[Oracle][ODBC][Ora]ORA-00060: deadlock detected while waiting for resource"},
        {oracle,
         "57P01",
         "terminating connection due to administrator command",
         {},
         "[Oracle][ODBC][Ora]ORA-03113: end-of-file on communication channel"},
        {oracle,
         "P0001",
         "ORA-01821: date format not recognized",
         {},
         "[Oracle][ODBC][Ora]ORA-20000: ORA-01821: date format not recognized"},
    };
    for (const auto &entry : cases)
        EXPECT_EQ(entry.translator.postgresError(entry.sqlstate, entry.message, entry.constraint).description,
                  entry.expected)
            << entry.sqlstate.toStdString();
}
