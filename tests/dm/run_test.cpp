#include "installationbuilder.h"

#include "dm/connectlibrary.h"
#include "dm/run.h"
#include "dmapi/dmerror.h"
#include "localdm/localdmfactory.h"
#include "support/fakewindow.h"
#include "support/testenvironment.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// This binary links no QtWidgets: a run starts, connects and ends without a window program.

namespace {

class RunTest : public testing::Test {
protected:
    RunTest()
    {
        for (const QString library : {"LIB_A", "LIB_B", "LIB_C"}) {
            builder.addUser(library, QStringLiteral("JSMITH"), QStringLiteral("DOCS_USERS"));
            builder.db(library).exec(QStringLiteral("UPDATE GROUPS SET UNIV_ACCESS = 255"));
        }
    }

    std::unique_ptr<::Run> makeRun()
    {
        auto run = std::make_unique<::Run>(dir.filePath(QStringLiteral("settings")),
                                           std::make_unique<LocalDmFactory>(builder.dm()), window,
                                           [this] { return now; });
        run->readRegistryFacts();
        run->openLog(dir.path(), {});
        run->writeStartLine();
        return run;
    }

    QStringList logLines(::Run &run) const { return ReadLogLines(run.log().currentLogFileName()); }

    QTemporaryDir dir;
    InstallationBuilder builder{dir.path(), "JSMITH", InstallationBuilder::oneLibraryPerEngine()};
    FakeWindow window;
    QDateTime now{QDate(2026, 3, 5), QTime(14, 7, 9)};
};

} // namespace

TEST_F(RunTest, StartsConnectsEveryLibraryOfEachEngineAndEnds)
{
    const auto run = makeRun();
    ASSERT_TRUE(run->startSession()) << logLines(*run).join(u'\n').toStdString();
    EXPECT_EQ(run->currentLibraryName(), "LIB_A");
    QStringList names;
    for (const ::Run::Library &library : run->libraries())
        names << library.name + (library.primary ? "*" : "");
    EXPECT_EQ(names, QStringList({"LIB_A*", "LIB_B", "LIB_C"}));
    EXPECT_EQ(run->targetLibrary(), "LIB_A");
    EXPECT_TRUE(run->hasUniversalAccess());

    const std::pair<QString, QString> engines[] = {
        {"LIB_B", "Oracle"}, {"LIB_C", "Sybase"}, {"LIB_A", "MSSQL"}, {"lib_b", "Oracle"}};
    for (const auto &[library, engine] : engines) {
        ASSERT_TRUE(ConnectLibrary(run->dm(), library)) << library.toStdString();
        EXPECT_EQ(run->currentLibraryName(), library.toUpper());
        EXPECT_EQ(run->session().sql.library(), library.toUpper());
        EXPECT_EQ(run->connection().engineName, engine);
        EXPECT_EQ(window.libraryName, library.toUpper());
    }

    run->end();
    EXPECT_EQ(window.endings, 1);
    EXPECT_FALSE(run->session().application || run->session().currentLibrary || run->session().sql);
    EXPECT_EQ(logLines(*run).last(), QString(70, u'='));
    // Ending the run leaves the window's state to the window.
    EXPECT_EQ(run->settings().screenTop(-1), -1);
    EXPECT_EQ(run->settings().targetLibrary("none saved"), "none saved");
}

TEST_F(RunTest, UniversalAccessIsGrantedDeniedOrAnErrorNeverAGuess)
{
    struct Case {
        const char *name;
        const char *change;
        bool granted;
        bool raises;
    };
    const Case cases[] = {
        {"member of a universal group", "", true, false},
        {"no universal group", "UPDATE GROUPS SET UNIV_ACCESS = 0", false, false},
        {"refused query", "ALTER TABLE GROUPS RENAME COLUMN UNIV_ACCESS TO ACCESS_LEVEL", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        window.messages.clear();
        if (*c.change)
            builder.db("LIB_A").exec(c.change);
        const auto run = makeRun();
        ASSERT_TRUE(run->startSession());
        bool raised = false;
        bool granted = false;
        try {
            granted = run->hasUniversalAccess();
        } catch (const DmError &error) {
            raised = true;
            EXPECT_NE(error.number(), 0);
            EXPECT_TRUE(error.description().contains("UNIV_ACCESS")) << error.description().toStdString();
        }
        EXPECT_EQ(granted, c.granted);
        EXPECT_EQ(raised, c.raises);
        // Only a user who really is without access is told so.
        EXPECT_EQ(window.messages.size(), c.granted || c.raises ? 0u : 1u);
        if (c.raises)
            builder.db("LIB_A").exec("ALTER TABLE GROUPS RENAME COLUMN ACCESS_LEVEL TO UNIV_ACCESS");
        builder.db("LIB_A").exec("UPDATE GROUPS SET UNIV_ACCESS = 255");
    }
}

TEST_F(RunTest, TheDmInUseStandsInForADmClientTheRegistryDoesNotKnow)
{
    struct Case {
        const char *name;
        QByteArray registry; // values under the first key; none: no registry file
        QString version;
        QString patchLevel;
    };
    const DmClientFacts local{"local 1.2", "3"};
    const Case cases[] = {
        {"no registry", {}, "local 1.2", "3"},
        {"a client with its patch level", "CurrentVersion=9.0\r\nPatchLevel=4\r\n", "9.0", "4"},
        {"a client without a patch level", "CurrentVersion=9.0\r\n", "9.0", ""},
        {"a patch level without its client", "PatchLevel=4\r\n", "local 1.2", "3"},
    };
    const QString registry = dir.filePath("registry.ini");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(registry);
        if (!c.registry.isEmpty()) {
            QFile file(registry);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("[HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\PowerDOCS]\r\n" + c.registry);
        }
        qputenv("KORVEL_REGISTRY", registry.toUtf8());
        ::Run run(dir.filePath("settings"), std::make_unique<LocalDmFactory>(builder.dm()), window);
        run.readRegistryFacts(local);
        EXPECT_EQ(run.dmClientVersion(), c.version);
        EXPECT_EQ(run.dmClientPatchLevel(), c.patchLevel);
    }
    qunsetenv("KORVEL_REGISTRY");
}

// A saved log path where SQLite keeps a library's file gives way to the default for this run, with a
// warning in the log it goes to; the saved setting is the user's to change.
TEST_F(RunTest, ASavedLogPathOnALibraryFileGivesWayToTheDefault)
{
    const auto run = makeRun();
    const QStringList databases = builder.installation().databaseFiles();
    for (const QString suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString saved = databases.last() + suffix;
        run->settings().saveLogFile(saved);
        EXPECT_EQ(run->openLog(dir.path(), databases), SavedSettings::defaultLogFile(dir.path()));
        EXPECT_EQ(logLines(*run).filter("The saved log path " + saved + " is not used").size(), 1);
        EXPECT_EQ(run->settings().logFileOr({}), saved);
    }
}
