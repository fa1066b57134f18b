#include "sessionfixture.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"

namespace {

class RunSqlTest : public SessionFixture {
protected:
    void SetUp() override { start(); }

    // Runs the statement in the library and returns the text the pass-through was handed.
    QString sentIn(const QString &library, const QString &statement)
    {
        EXPECT_TRUE(ConnectLibrary(*dm, library));
        EXPECT_TRUE(RunSQL(*dm, statement)) << statement.toStdString();
        return sent().isEmpty() ? QString() : sent().last();
    }
};

} // namespace

TEST_F(RunSqlTest, EngineRewritesApplyOutsideLiteralsOnly)
{
    const QString query = "SELECT DOCNAME FROM [OWNER].PROFILE WHERE DOCNAME <> 'In <> Out'";
    EXPECT_EQ(sentIn("LIB_ORA", query), "SELECT DOCNAME FROM ORAADM.PROFILE WHERE DOCNAME != 'In <> Out'");
    EXPECT_EQ(sentIn("LIB_SQL", query),
              "SELECT DOCNAME FROM DOCSADM.PROFILE WHERE DOCNAME <> 'In <> Out' OPTION (MAXDOP 1)");

    EXPECT_EQ(
        sentIn("LIB_ORA", "UPDATE [OWNER].PROFILE SET ABSTRACT = '''' WHERE ABSTRACT != '' AND "
                          "KEYWORDS = 'GETUTCDATE()' AND LAST_EDIT_DATE < GETUTCDATE()"),
        "UPDATE ORAADM.PROFILE SET ABSTRACT = '' WHERE ABSTRACT != ' ' AND KEYWORDS = 'GETUTCDATE()' AND "
        "LAST_EDIT_DATE < SYSDATE");
    // Without blanks on both sides the one-quote literal is not the pattern.
    EXPECT_EQ(sentIn("LIB_ORA", "UPDATE [OWNER].PROFILE SET KEYWORDS = 'a' WHERE ABSTRACT = ''''"),
              "UPDATE ORAADM.PROFILE SET KEYWORDS = 'a' WHERE ABSTRACT = ''''");

    EXPECT_EQ(
        sentIn("LIB_SQL", "UPDATE [OWNER].PROFILE SET LAST_EDIT_DATE = SYSDATE WHERE KEYWORDS = 'SYSDATE'"),
        "UPDATE DOCSADM.PROFILE SET LAST_EDIT_DATE = GETUTCDATE() WHERE KEYWORDS = 'SYSDATE'");
    // TRY_CAST survives only on a server of version 11 and level 110 or more.
    const QString cast =
        "SELECT TRY_CAST(DOCNUMBER AS VARCHAR(10)) FROM [OWNER].PROFILE WHERE KEYWORDS = 'TRY_CAST'";
    EXPECT_EQ(sentIn("LIB_SQL", cast), "SELECT TRY_CAST(DOCNUMBER AS VARCHAR(10)) FROM DOCSADM.PROFILE WHERE "
                                       "KEYWORDS = 'TRY_CAST' OPTION (MAXDOP 1)");
    EXPECT_EQ(sentIn("LIB_SYB", cast), "SELECT CAST(DOCNUMBER AS VARCHAR(10)) FROM SYBADM.PROFILE WHERE "
                                       "KEYWORDS = 'TRY_CAST' OPTION (MAXDOP 1)");
}

TEST_F(RunSqlTest, OwnerPlaceholdersAndTheMaxdopSuffix)
{
    EXPECT_EQ(sentIn("LIB_ORA", "SELECT * FROM [owner].QS_QUEUE"), "SELECT * FROM dbo.QS_QUEUE");
    EXPECT_EQ(sentIn("LIB_ORA", "SELECT * FROM [Owner].qs_queue"), "SELECT * FROM ORAADM.qs_queue");
    EXPECT_EQ(
        sentIn("LIB_SQL", "UPDATE [OWNER].PROFILE SET ABSTRACT = '{owner} and [OWNER]' WHERE {OWNER} = 1"),
        "UPDATE DOCSADM.PROFILE SET ABSTRACT = '[OWNER] and [OWNER]' WHERE [OWNER] = 1");
    EXPECT_EQ(sentIn("LIB_SQL", "SELECT INTO X FROM [OWNER].PROFILE"), "SELECT INTO X FROM DOCSADM.PROFILE");
    EXPECT_EQ(sentIn("LIB_SQL", "select docname from [OWNER].profile"),
              "select docname from DOCSADM.profile OPTION (MAXDOP 1)");
    EXPECT_EQ(sentIn("LIB_SQL", "SELECT DOCNAME FROM [OWNER].PROFILE WHERE DOCNAME = '"),
              "SELECT DOCNAME FROM DOCSADM.PROFILE WHERE DOCNAME = '' OPTION (MAXDOP 1)");
    // A balanced statement that only ends like an opened literal keeps its text.
    EXPECT_EQ(sentIn("LIB_SQL", "UPDATE [OWNER].PROFILE SET ABSTRACT = 'a ='"),
              "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'a ='");
}

TEST_F(RunSqlTest, OutcomesAreLoggedAndReadableAfterwards)
{
    const int folder = builder.addFolder("LIB_SQL", "Budget");
    newLogLines();
    ASSERT_TRUE(RunSQL(*dm, "UPDATE [OWNER].PROFILE SET ABSTRACT = 'x' WHERE DOCNUMBER = " +
                                QString::number(folder)));
    EXPECT_EQ(
        newLogLines(),
        QStringList({"Executing MSSQL SQL Instruction on LIB_SQL",
                     "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'x' WHERE DOCNUMBER = " + QString::number(folder),
                     "SQL Instruction Executed Successfully on LIB_SQL with 1 row(s) processed.",
                     QString(70, u'-')}));

    ASSERT_TRUE(RunSQL(*dm, "UPDATE [OWNER].PROFILE SET ABSTRACT = 'x' WHERE DOCNUMBER = 0"));
    EXPECT_EQ(newLogLines().at(2),
              "SQL Instruction Executed with nothing added or changed in library LIB_SQL");

    ASSERT_TRUE(RunSQL(*dm, "SELECT COUNT(*) FROM [OWNER].PROFILE"));
    const QStringList counted = newLogLines();
    EXPECT_EQ(counted.at(2), "SQL Instruction Executed Successfully on LIB_SQL with 1 row(s) returned.");
    EXPECT_EQ(counted.at(3), "SQL Results: 1");
    EXPECT_EQ(SqlColumn(session, 1).toInt(), 1);

    // A refused statement is still submitted; its error stays readable for the caller.
    ASSERT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].NO_SUCH_TABLE"));
    EXPECT_EQ(newLogLines().at(2),
              "SQL Error #208 (Invalid object name 'DOCSADM.NO_SUCH_TABLE'.) encountered in "
              "library LIB_SQL");
    EXPECT_EQ(session.sql->errorNumber(), 208);
    EXPECT_EQ(session.sql->rowCount(), 0);
    EXPECT_FALSE(SqlColumn(session, 1).isValid());
}

TEST_F(RunSqlTest, ASqlErrorLeavesATraceAlsoWithoutVerboseLogging)
{
    window.verbose = false;
    newLogLines();
    ASSERT_TRUE(RunSQL(*dm, "DELETE FROM [OWNER].NO_SUCH_TABLE"));
    EXPECT_EQ(newLogLines(),
              QStringList({"SQL Error #208 (Invalid object name 'DOCSADM.NO_SUCH_TABLE'.) encountered "
                           "in library LIB_SQL"}));
}

TEST_F(RunSqlTest, DriverPrefixesAreCleanedButQuotedBracketsKept)
{
    lastSql->forcedStatus = 1;
    lastSql->forcedNumber = 207;
    const std::pair<QString, QString> cases[] = {
        {"[Microsoft][ODBC SQL Server Driver][SQL Server]Invalid object name 'X'.",
         "Invalid object name 'X'."},
        {"  [Microsoft] [ODBC] [Server]  Deadlock victim  ", "Deadlock victim"},
        {"Invalid column name '[A]B'.", "Invalid column name '[A]B'."},
        {"[Sybase] 'quoted [name]' is missing", "'quoted [name]' is missing"},
        {"[only][prefixes]", ""},
    };
    for (const auto &[raw, cleaned] : cases) {
        lastSql->forcedDescription = raw;
        newLogLines();
        ASSERT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
        EXPECT_EQ(newLogLines().at(2), "SQL Error #207" +
                                           (cleaned.isEmpty() ? QString() : " (" + cleaned + ")") +
                                           " encountered in library LIB_SQL")
            << raw.toStdString();
    }
}

TEST_F(RunSqlTest, ErrorNumbersZeroAndNineCountAsSuccess)
{
    lastSql->forcedStatus = 1;
    for (const qint32 number : {0, 9}) {
        lastSql->forcedNumber = number;
        newLogLines();
        ASSERT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
        EXPECT_EQ(newLogLines().at(2), "SQL Instruction Executed Successfully on LIB_SQL.");
    }
}

TEST_F(RunSqlTest, TheServerInterfaceMessageIsShownOncePerUser)
{
    lastSql->forcedStatus = qint32(0x80010105u);
    lastSql->forcedNumber = -1;
    window.verbose = false;
    newLogLines();
    ASSERT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
    ASSERT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
    const QStringList lines = newLogLines();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0],
              "Error: (2026-03-05 02:07:09 PM Cannot load the DOCSFusion Server Interface. The DOCSFusion "
              "server may not be started.");
    EXPECT_EQ(lines[2], "C:\\Program Files (x86)\\Open Text\\DM API\\PCDSERVERIFPS.DLL");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(settings.registerApiWarningShown());
}

TEST_F(RunSqlTest, SlowStatementsAreNoted)
{
    lastSql->delaySeconds = 1;
    newLogLines();
    ASSERT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
    EXPECT_FALSE(newLogLines().join(u'\n').contains("Note:"));
    lastSql->delaySeconds = 3;
    ASSERT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
    const QStringList lines = newLogLines();
    EXPECT_EQ(
        lines.mid(lines.size() - 3),
        QStringList({QString(70, u'-'), "Note: Execution took 3 second(s) to complete", QString(70, u'-')}));
}

TEST_F(RunSqlTest, ARuntimeErrorIsReportedWithTheLastComposedMessage)
{
    lastSql->failReadingRows = true;
    newLogLines();
    EXPECT_FALSE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
    const QStringList lines = newLogLines();
    EXPECT_TRUE(lines.contains("Error: (2026-03-05 02:07:09 PM #13 was generated by PCDClient.PCDSQL"))
        << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.contains("Type mismatch (Executing MSSQL SQL Instruction on LIB_SQL)"));
}

TEST_F(RunSqlTest, NothingIsSubmittedWithoutTextOrPassThrough)
{
    EXPECT_FALSE(RunSQL(*dm, QString()));
    // A lost pass-through is made again for the runner by the session check.
    session.sql.reset();
    EXPECT_TRUE(RunSQL(*dm, "SELECT DOCNAME FROM [OWNER].PROFILE"));
    EXPECT_TRUE(logLines().contains("Setting pSQL library to LIB_SQL for RunSQL"));
}

TEST(SqlSafe, KeepsEveryCharacterButQuotesAndLineBreaks)
{
    EXPECT_EQ(SqlSafe("  O'Brien\r\nNotes  "), "O''Brien  Notes");
    EXPECT_EQ(SqlSafe("Réunions ¾ déjà vu"), "Réunions ¾ déjà vu");
    EXPECT_EQ(SqlSafe("   "), "");
    EXPECT_EQ(SqlSafe("line\nbreak\r"), "line break");
    EXPECT_EQ(SqlEscape(" it's "), " it''s ");
}

TEST_F(RunSqlTest, QueryRowsTellsARefusedQueryFromAnEmptyOne)
{
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    const int first = builder.addFolder("LIB_ORA", "Alpha");
    const int second = builder.addFolder("LIB_ORA", "Beta");
    const SqlRows found = QueryRows(*dm, "SELECT DOCNUMBER, DOCNAME FROM [OWNER].PROFILE WHERE DOCNUMBER IN (" +
                                             QString::number(first) + ", " + QString::number(second) +
                                             ") ORDER BY DOCNAME");
    ASSERT_FALSE(found.failed());
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found.value(0, 1).toInt(), first);
    EXPECT_EQ(found.value(1, 2).toString(), "Beta");
    EXPECT_FALSE(found.value(2, 1).isValid());
    EXPECT_FALSE(found.value(0, 3).isValid());

    const SqlRows none = QueryRows(*dm, "SELECT DOCNUMBER FROM [OWNER].PROFILE WHERE DOCNUMBER = -1");
    EXPECT_FALSE(none.failed());
    EXPECT_TRUE(none.isEmpty());

    const SqlRows refused = QueryRows(*dm, "SELECT NO_SUCH_COLUMN FROM [OWNER].PROFILE");
    EXPECT_TRUE(refused.failed());
    EXPECT_NE(refused.errorNumber, 0);
    EXPECT_TRUE(refused.errorText().contains("NO_SUCH_COLUMN")) << refused.errorText().toStdString();

    // The two numbers the runner logs as success are no failure here either.
    lastSql->forcedStatus = 1;
    lastSql->forcedNumber = 9;
    EXPECT_FALSE(QueryRows(*dm, "UPDATE [OWNER].PROFILE SET ABSTRACT = 'x' WHERE DOCNUMBER = -1").failed());
}
