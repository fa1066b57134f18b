#include "sessionfixture.h"

#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "settings/product.h"

namespace {

class FusionTest : public SessionFixture {};

} // namespace

TEST_F(FusionTest, StartFusionOpensTheSessionOnTheCurrentLibrary)
{
    ASSERT_TRUE(StartFusion(*dm));
    EXPECT_TRUE(session.application && session.libraries && session.currentLibrary && session.sql &&
                session.browserCompanion);
    EXPECT_FALSE(session.securityToken.isEmpty());
    EXPECT_EQ(session.currentLibrary->name(), "LIB_SQL");
    EXPECT_EQ(window.statusHistory.first(), "Starting DM Browser Object");
    EXPECT_EQ(window.statusHistory.last(), "Fusion started with connection to LIB_SQL");
    EXPECT_TRUE(window.statusHistory.contains("Connecting to current library LIB_SQL"));
    EXPECT_EQ(window.pointer, MousePointer::Default);
}

TEST_F(FusionTest, StartFusionFailsWhenTheUserCannotLogIn)
{
    builder.db("LIB_SQL").exec("DELETE FROM PEOPLE");
    EXPECT_FALSE(StartFusion(*dm));
    const QString message = "Error: Unable to set Fusion Security Token - cannot start " + ProductName();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, message);
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_FALSE(session.application);
    const QStringList lines = logLines();
    EXPECT_TRUE(lines.contains("StartFusion:"));
    EXPECT_TRUE(lines.contains("Error: (2026-03-05 02:07:09 PM An unknown error occurred during this task!"));
}

TEST_F(FusionTest, StartFusionFailsQuietlyWhenTheLibraryRefusesTheConnection)
{
    builder.db("LIB_SQL").exec("DELETE FROM REMOTE_LIBRARIES");
    const QString databaseFile = builder.installation().library("LIB_SQL")->databaseFile;
    QFile::remove(databaseFile);
    QString cause;
    EXPECT_FALSE(StartFusion(*dm, &cause));
    const QStringList lines = logLines();
    EXPECT_TRUE(lines.contains("StartFusion:"));
    // The DM's own words, handed out and in an "Error:" line of their own.
    EXPECT_TRUE(cause.contains("LIB_SQL") && cause.contains(databaseFile)) << cause.toStdString();
    EXPECT_TRUE(lines.contains("Error: (2026-03-05 02:07:09 PM " + cause)) << lines.join('\n').toStdString();
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(FusionTest, CheckFusionReportsEachMissingPieceAndAsksToExit)
{
    start();
    window.scriptAnswers({MessageAnswer::No, MessageAnswer::No, MessageAnswer::No});
    const auto application = session.application;

    session.application.reset();
    EXPECT_FALSE(CheckFusion(*dm, "GetFolders"));
    EXPECT_EQ(window.statusHistory.last(), "Error: Fusion object is not set for GetFolders");
    session.application = application;

    session.libraries.reset();
    EXPECT_TRUE(CheckFusion(*dm, "SortFolders"));
    EXPECT_TRUE(session.libraries);

    builder.db("LIB_SQL").exec("DELETE FROM PEOPLE");
    EXPECT_FALSE(CheckFusion(*dm, "DeleteFolder"));
    EXPECT_EQ(window.statusHistory.last(), "Error: Fusion object security token is blank for DeleteFolder");

    const QString lines = logLines().join(u'\n');
    EXPECT_TRUE(lines.contains("Error: (2026-03-05 02:07:09 PM CheckFusion failed on GetFolders on Thursday, "
                               "March 5, 2026 at 02:07:09 PM"));
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_TRUE(window.messages[0].text.endsWith("\r\n\r\nDo you want to exit " + ProductName() + " now?"));
    EXPECT_EQ(window.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(window.endings, 0);
    EXPECT_EQ(session.application, application);
}

TEST_F(FusionTest, OnlyConnectLibraryAndRunSqlRecreateWhatIsMissing)
{
    start();
    session.application.reset();
    EXPECT_TRUE(CheckFusion(*dm, "connectLIBRARY"));
    EXPECT_TRUE(session.application);
    EXPECT_EQ(window.statusHistory.last(), "Logging in to the DM Server for connectLIBRARY");

    session.sql.reset();
    EXPECT_TRUE(CheckFusion(*dm, "runsql"));
    EXPECT_TRUE(session.sql);
    EXPECT_TRUE(logLines().contains("Setting pSQL library to LIB_SQL for runsql"));
    newLogLines();
    EXPECT_TRUE(CheckFusion(*dm, "RunSQL"));
    EXPECT_TRUE(newLogLines().isEmpty());

    session.sql.reset();
    window.scriptAnswers({MessageAnswer::No});
    EXPECT_TRUE(CheckFusion(*dm, "CreateFolder"));
    EXPECT_FALSE(session.sql);
}

TEST_F(FusionTest, YesToTheExitQuestionEndsTheProgramLeavingWhatTheWindowSaved)
{
    start();
    settings.saveScreenLeft(100);
    settings.saveScreenTop(200);
    settings.saveCheckLogMethod(0);
    settings.saveTargetLibrary("LIB_SYB");
    settings.saveDisplayErrors(1);
    window.position = QPoint(2880, 1440);
    window.verbose = true;
    window.showErrors = false;
    window.target = "LIB_ORA";
    session.application.reset();
    window.scriptAnswers({MessageAnswer::Yes});
    EXPECT_FALSE(CheckFusion(*dm, "ConvertFolder"));
    EXPECT_EQ(window.endings, 1);
    // The window's own state is the window's to save: a run without one never overwrites it.
    EXPECT_EQ(settings.screenLeft(0), 100);
    EXPECT_EQ(settings.screenTop(0), 200);
    EXPECT_EQ(settings.checkLogMethod(), 0);
    EXPECT_EQ(settings.displayErrors(), 1);
    EXPECT_EQ(settings.targetLibrary({}), "LIB_SYB");
    EXPECT_FALSE(session.libraries || session.currentLibrary || session.sql);
    const QStringList lines = logLines();
    EXPECT_EQ(lines.last(), QString(70, u'='));
    EXPECT_TRUE(lines[lines.size() - 2].startsWith(ProductName() + " Build " +
                                                   QString::number(BuildNumber()) + " (" + BuildDate() +
                                                   ") Ended on Thursday, March 5, 2026 at "));

    // The procedures still on their way out ask nothing more, and nothing opens the session again.
    for (const QString caller : {"ConnectLibrary", "RunSQL", "ConvertFolder"})
        EXPECT_FALSE(CheckFusion(*dm, caller));
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_FALSE(session.application);
}
