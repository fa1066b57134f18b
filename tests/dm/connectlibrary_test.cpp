#include "sessionfixture.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"

#include <QFile>

#include <functional>

namespace {

class ConnectLibraryTest : public SessionFixture {
protected:
    void SetUp() override { start(); }

    QString currentName() const
    {
        return session.currentLibrary ? session.currentLibrary->name() : QString();
    }

    // The library whose REMOTE_LIBRARIES lists itself as SYSTEM_ID 0: where statements really run.
    QString libraryOfStatements()
    {
        EXPECT_TRUE(RunSQL(*dm, "SELECT LIBRARY_NAME FROM [OWNER].REMOTE_LIBRARIES WHERE SYSTEM_ID = 0"));
        const QString name = SqlColumn(session, 1).toString();
        ReleaseResults(session);
        return name;
    }
};

} // namespace

TEST_F(ConnectLibraryTest, LearnsEachLibraryOnceAndSetsItsDialect)
{
    EXPECT_EQ(connection.engineName, "MSSQL");
    EXPECT_EQ(connection.nextColumn, "[NEXT]");
    EXPECT_EQ(connection.owner, "DOCSADM");
    EXPECT_EQ(connection.serverVersion, "15.0.2000.5");
    EXPECT_EQ(connection.compatibilityLevel, "150");
    EXPECT_EQ(connection.serverLocation, "SRV_LIB_SQL");
    EXPECT_EQ(connection.databaseName, "LIB_SQL_DB");
    EXPECT_TRUE(connection.settingsTablePresent);
    EXPECT_EQ(connection.masterLibrary, "LIB_ORA");
    EXPECT_EQ(connection.profileExcludeColumn, "ABSTRACT");
    EXPECT_EQ(connection.parentFolder, 1234);
    EXPECT_EQ(connection.sqlLoginUser, "sa");
    EXPECT_EQ(connection.sqlLoginPassword, "s3cret");
    EXPECT_EQ(window.libraryName, "LIB_SQL");
    EXPECT_EQ(window.userName, "JSMITH");
    EXPECT_EQ(window.primaryGroup, "DOCS_USERS");
    EXPECT_EQ(window.checkedLibrary, "LIB_SQL");
    EXPECT_EQ(window.userNameToolTip, "JSMITH primary library is LIB_SQL");

    ASSERT_TRUE(ConnectLibrary(*dm, "lib_ora"));
    EXPECT_EQ(currentName(), "LIB_ORA");
    EXPECT_EQ(connection.engineName, "Oracle");
    EXPECT_EQ(connection.nextColumn, "\"NEXT\"");
    EXPECT_EQ(connection.owner, "ORAADM");
    EXPECT_EQ(connection.sqlLoginUser, "ORAADM");
    EXPECT_EQ(libraryOfStatements(), "LIB_ORA");
    const QStringList first = newLogLines();
    EXPECT_TRUE(first.contains("Checking SQL connection settings in LIB_SQL to LIB_ORA"));
    EXPECT_FALSE(first.contains("Identifying database owner using SQL"));
    EXPECT_TRUE(first.contains("Connected to Oracle Library Object LIB_ORA."));

    // Going back reuses what was learned: no server or settings queries, only the binding.
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
    const QStringList again = newLogLines().join(u'\n').split(u'\n');
    EXPECT_FALSE(again.join(u'\n').contains("serverproperty"));
    EXPECT_FALSE(again.join(u'\n').contains("QENT_SETTINGS"));
    EXPECT_TRUE(again.contains("set dateformat mdy"));
    EXPECT_EQ(connection.masterLibrary, "LIB_ORA");
    EXPECT_EQ(connection.owner, "DOCSADM");
}

TEST_F(ConnectLibraryTest, TheFirstConnectionAlsoAsksTheDatabaseForOwnerAndEngine)
{
    const QString startLog = logLines().join(u'\n');
    EXPECT_TRUE(startLog.contains("Identifying database owner using SQL"));
    EXPECT_TRUE(
        startLog.contains(
            "SELECT OWNER FROM DOCSADM.REMOTE_LIBRARIES WHERE UPPER(LIBRARY_NAME) = 'LIB_SQL'"));
    EXPECT_TRUE(startLog.contains("SQL Database_Engine value is 10"));
    EXPECT_TRUE(connection.firstConnectionDone);
}

TEST_F(ConnectLibraryTest, BlankAndCurrentNamesChangeNothing)
{
    EXPECT_FALSE(ConnectLibrary(*dm, "   "));
    EXPECT_EQ(newLogLines(),
              QStringList({"Warning: (2026-03-05 02:07:09 PM Library name is blank - cannot change "
                           "connection",
                           QString(70, u'-')}));
    EXPECT_EQ(currentName(), "LIB_SQL");
    const auto sql = session.sql;
    EXPECT_TRUE(ConnectLibrary(*dm, "Lib_Sql"));
    EXPECT_TRUE(newLogLines().isEmpty());
    EXPECT_EQ(session.sql, sql);
}

TEST_F(ConnectLibraryTest, AnUnknownNameLeavesTheCurrentLibraryInPlace)
{
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    newLogLines();
    EXPECT_FALSE(ConnectLibrary(*dm, "NOWHERE"));
    const QStringList lines = newLogLines();
    EXPECT_TRUE(
        lines.contains("Warning: (2026-03-05 02:07:09 PM Unable to define library NOWHERE in requisite "
                       "Library Array"));
    // Listed nowhere, its owner is unknown: the switch stops before it changes anything.
    EXPECT_TRUE(lines.contains("Error: (2026-03-05 02:07:09 PM The library you are attempting to connect to "
                               "(NOWHERE) is not properly configured in the REMOTE_LIBRARIES table in your "
                               "current library (LIB_ORA)"));
    EXPECT_FALSE(lines.join(u'\n').contains("Connecting to library NOWHERE"));
    EXPECT_EQ(currentName(), "LIB_ORA");
    EXPECT_EQ(connection.owner, "ORAADM");
    EXPECT_EQ(session.sql.library(), "LIB_ORA");
    EXPECT_EQ(libraryOfStatements(), "LIB_ORA");
}

TEST_F(ConnectLibraryTest, WithoutACurrentLibraryAnUnknownNameIsALibrariesProblem)
{
    session.currentLibrary.reset();
    window.showErrors = true;
    EXPECT_FALSE(ConnectLibrary(*dm, "NOWHERE"));
    const QString lines = newLogLines().join(u'\n');
    EXPECT_TRUE(lines.contains("Unable to set LIB object - cannot continue"));
    EXPECT_TRUE(
        lines.contains("Error: (2026-03-05 02:07:09 PM The LIBS object is not set.\nThis indicates a "
                       "problem with how Korvel Skerrow for OpenText eDOCS accesses the DM API on your "
                       "computer"));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(currentName(), "LIB_SQL");
}

TEST_F(ConnectLibraryTest, AFailureAfterTheSwitchLeavesOneConsistentLibrary)
{
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    // LIB_SYB's database goes away: its library object is found, but it cannot be activated.
    QFile::remove(builder.installation().library("LIB_SYB")->databaseFile);
    newLogLines();
    EXPECT_FALSE(ConnectLibrary(*dm, "LIB_SYB"));
    const QString lines = newLogLines().join(u'\n');
    EXPECT_TRUE(lines.contains("ConnectLibrary:"));
    EXPECT_TRUE(lines.contains("library object set to LIB_ORA"));
    EXPECT_EQ(currentName(), "LIB_ORA");
    EXPECT_EQ(session.sql.library(), "LIB_ORA");
    EXPECT_EQ(connection.owner, "ORAADM");
    EXPECT_EQ(connection.engineName, "Oracle");
    EXPECT_EQ(libraryOfStatements(), "LIB_ORA");
    // The failed library is tried again, not taken for connected.
    EXPECT_FALSE(ConnectLibrary(*dm, "LIB_SYB"));
}

TEST_F(ConnectLibraryTest, TheUniqueNamesWarningComesOncePerLibraryAndAgainWhenReEnabled)
{
    const QString warning =
        "Warning: The library setting Unique Document Names is enabled. This will require you "
        "to have unique folder names in order to use Korvel in library LIB_ORA.";
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, warning);
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(settings.uniqueNameWarningSeen("LIB_ORA"));

    builder.setParameter("LIB_ORA", "DOCSParms.UniqueDocNames", "0");
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    EXPECT_FALSE(settings.uniqueNameWarningSeen("LIB_ORA"));
    builder.setParameter("LIB_ORA", "DOCSParms.UniqueDocNames", "1");
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[1].text, warning);
}

TEST_F(ConnectLibraryTest, QuotedIdentifierOffIsWarnedOncePerRun)
{
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SYB"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SYB"));
    const QString lines = logLines().join(u'\n');
    EXPECT_TRUE(lines.contains("Quoted Identifier for database LIB_SYB_DB is \"OFF\""));
    EXPECT_TRUE(lines.contains("Quoted Identifier for database LIB_SQL_DB is \"ON\""));
    EXPECT_EQ(lines.count("Warning: The SQL option 'QUOTED_IDENTIFIER'") +
                  lines.count("Warning: (2026-03-05 02:07:09 PM The SQL option 'QUOTED_IDENTIFIER'"),
              1);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, QuotedIdentifierWarning("OFF", "LIB_SYB_DB", "LIB_SYB"));
    EXPECT_TRUE(window.messages[0].text.endsWith("ALTER DATABASE LIB_SYB_DB SET QUOTED_IDENTIFIER ON"));
}

TEST_F(ConnectLibraryTest, TableExistsAsksEachEngineItsOwnWay)
{
    EXPECT_TRUE(TableExists(*dm, "QENT_SETTINGS"));
    EXPECT_FALSE(TableExists(*dm, "NEEDS_FOLDERING"));
    EXPECT_TRUE(sent().last().contains("object_id('DOCSADM.NEEDS_FOLDERING')"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    EXPECT_TRUE(TableExists(*dm, "QENT_SETTINGS"));
    EXPECT_EQ(sent().last(), "SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = 'QENT_SETTINGS'");
    // An engine the pass-through does not know is asked through the DM's own table list.
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
    session.sql.setEngineCode(UnknownEngine);
    EXPECT_TRUE(TableExists(*dm, "qent_settings"));
    EXPECT_EQ(sent().last(),
              "SELECT COUNT(*) FROM DOCSADM.DOCSTABLE WHERE UPPER(TABLE_NAME) = 'QENT_SETTINGS' "
              "OPTION (MAXDOP 1)");
    EXPECT_FALSE(TableExists(*dm, "O'Hara"));
}

TEST_F(ConnectLibraryTest, AFailedSwitchPutsEverythingBackOnThePreviousLibrary)
{
    struct Case {
        const char *name;
        std::function<void()> breakIt;
        std::function<void()> mendIt;
    };
    // The first case runs before LIB_ORA was ever connected: its settings are not cached yet.
    const Case cases[] = {
        {"settings read refused after the labels",
         [&] { builder.db("LIB_ORA").exec("ALTER TABLE QENT_SETTINGS RENAME COLUMN INT_VAL TO INT_VALUE"); },
         [&] { builder.db("LIB_ORA").exec("ALTER TABLE QENT_SETTINGS RENAME COLUMN INT_VALUE TO INT_VAL"); }},
        {"library parameters gone after the labels",
         [&] { builder.db("LIB_ORA").exec("ALTER TABLE DM_PARAMETERS RENAME TO DM_PARAMETERS_AWAY"); },
         [&] { builder.db("LIB_ORA").exec("ALTER TABLE DM_PARAMETERS_AWAY RENAME TO DM_PARAMETERS"); }},
    };
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SYB"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.breakIt();
        newLogLines();
        EXPECT_FALSE(ConnectLibrary(*dm, "LIB_ORA"));
        const QStringList failure = newLogLines();
        EXPECT_TRUE(failure.contains("ConnectLibrary:"));
        EXPECT_TRUE(failure.contains("Error: (2026-03-05 02:07:09 PM Unable to set library object to LIB_ORA - "
                                     "library object set to LIB_SYB"));
        // The restore tail ends with its equals line; nothing follows it.
        EXPECT_EQ(failure.last(), QString(70, u'='));
        EXPECT_FALSE(failure.mid(failure.indexOf("ConnectLibrary:")).join(u'\n').contains("Setting pSQL"));

        // Everything the run believes names the library of before, which the DM has current again.
        EXPECT_EQ(currentName(), "LIB_SYB");
        EXPECT_EQ(session.application->currentLibrary()->name(), "LIB_SYB");
        EXPECT_EQ(window.libraryName, "LIB_SYB");
        EXPECT_EQ(window.checkedLibrary, "LIB_SYB");
        EXPECT_EQ(session.sql.library(), "LIB_SYB");
        EXPECT_EQ(session.sql.engineCode(), SybaseEngine);
        EXPECT_EQ(connection.owner, "SYBADM");
        EXPECT_EQ(connection.engineName, "Sybase");
        EXPECT_EQ(connection.nextColumn, "[NEXT]");
        EXPECT_EQ(connection.serverVersion, "10.50.1600.1");
        EXPECT_EQ(connection.compatibilityLevel, "100");
        EXPECT_EQ(connection.databaseName, "LIB_SYB_DB");
        EXPECT_EQ(libraryOfStatements(), "LIB_SYB");
        newLogLines();
        EXPECT_TRUE(ConnectLibrary(*dm, "LIB_SYB"));
        EXPECT_TRUE(newLogLines().isEmpty());

        // The next switch to the failed library, and away from it, does its full work.
        c.mendIt();
        ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
        const QStringList to = newLogLines();
        EXPECT_TRUE(to.contains("Connecting to library LIB_ORA"));
        EXPECT_TRUE(to.contains("Connected to Oracle Library Object LIB_ORA."));
        EXPECT_EQ(window.libraryName, "LIB_ORA");
        EXPECT_EQ(connection.owner, "ORAADM");
        EXPECT_EQ(libraryOfStatements(), "LIB_ORA");
        ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SYB"));
        EXPECT_TRUE(newLogLines().contains("Connected to Sybase Library Object LIB_SYB."));
        EXPECT_EQ(window.libraryName, "LIB_SYB");
    }
}

TEST_F(ConnectLibraryTest, RemoteLibraryRowsAreFoundInAnyLetterCaseOnEveryEngine)
{
    // Each step switches from a library whose REMOTE_LIBRARIES spells the target in mixed case.
    const struct {
        const char *from;
        const char *to;
        const char *owner;
    } steps[] = {{"LIB_SQL", "LIB_SYB", "SYBADM"}, {"LIB_SYB", "LIB_ORA", "ORAADM"}, {"LIB_ORA", "LIB_SQL", "DOCSADM"}};
    for (const auto &step : steps) {
        builder.db(step.from).exec(QStringLiteral("UPDATE REMOTE_LIBRARIES SET LIBRARY_NAME = 'Lib_' || '") +
                                   QString(step.to).mid(4).toLower() + QStringLiteral("' WHERE LIBRARY_NAME = '") +
                                   step.to + QStringLiteral("'"));
    }
    for (const auto &step : steps) {
        SCOPED_TRACE(step.to);
        ASSERT_TRUE(ConnectLibrary(*dm, step.from));
        newLogLines();
        ASSERT_TRUE(ConnectLibrary(*dm, step.to));
        EXPECT_EQ(connection.owner, step.owner);
        EXPECT_FALSE(newLogLines().join(u'\n').contains("not properly configured"));
    }
}

// Within a command each library keeps its pass-through: a switch back takes it up again without a
// statement, unless its session held a transaction, which the switch away ends as a released object does.
TEST_F(ConnectLibraryTest, ACommandKeepsEachLibrarysPassThroughUnlessATransactionIsOpen)
{
    std::optional<PassThroughKeeping> keeping(session);
    const std::weak_ptr<ScriptedSql> sqlServer = lastSql;
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    const std::shared_ptr<ScriptedSql> oracle = lastSql;
    const qsizetype sentBefore = sqlServer.lock()->sent.size();
    for (const char *library : {"LIB_SQL", "LIB_ORA", "LIB_SQL"}) {
        SCOPED_TRACE(library);
        newLogLines();
        ASSERT_TRUE(ConnectLibrary(*dm, library));
        EXPECT_EQ(lastSql, oracle); // no object was created
        EXPECT_EQ(session.sql.object(), QString(library) == "LIB_SQL" ? sqlServer.lock() : oracle);
        EXPECT_TRUE(newLogLines().contains(QStringLiteral("Setting pSQL library to ") + library));
    }
    EXPECT_EQ(sqlServer.lock()->sent.size(), sentBefore);
    EXPECT_EQ(libraryOfStatements(), "LIB_SQL");

    // An insert inside a transaction left open: the switch away ends the session, which rolls it back.
    ASSERT_TRUE(RunSQL(*dm, "BEGIN TRANSACTION"));
    ASSERT_TRUE(RunSQL(*dm, "INSERT INTO [OWNER].QENT_SETTINGS (MASTER_KEY) VALUES ('OPEN')"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_ORA"));
    ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
    EXPECT_TRUE(sqlServer.expired());
    EXPECT_EQ(lastSql->sent.value(0), "set dateformat mdy");
    ASSERT_TRUE(RunSQL(*dm, "SELECT COUNT(*) FROM [OWNER].QENT_SETTINGS WHERE MASTER_KEY = 'OPEN'"));
    EXPECT_EQ(SqlColumn(session, 1).toInt(), 0);

    keeping.reset();
    EXPECT_TRUE(session.keptSql.isEmpty());
}
