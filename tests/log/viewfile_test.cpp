#include "log/activitylog.h"
#include "log/purgefile.h"
#include "log/viewfile.h"
#include "support/fakewindow.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Records the files it is asked to show and what the window showed while it started.
class RecordingViewer : public FileViewer {
public:
    explicit RecordingViewer(const FakeWindow &window) : m_window(window) {}

    ViewerStart open(const QString &fileName) override
    {
        opened << fileName;
        statusWhileStarting = m_window.statusText();
        pointerWhileStarting = m_window.pointer;
        return {starts, starts ? QString() : QStringLiteral("xdg-open (not found)")};
    }

    bool starts = true;
    QStringList opened;
    QString statusWhileStarting;
    MousePointer pointerWhileStarting = MousePointer::Default;

private:
    const FakeWindow &m_window;
};

class LogFileCommandTest : public testing::Test {
protected:
    LogFileCommandTest()
    {
        log.setConfiguredLogPath(dir.filePath(QStringLiteral("Korvel.LOG")));
        window.setStatusText(QStringLiteral("Ready"));
    }

    QString logFile() const { return dir.filePath(QStringLiteral("Korvel_20260305.LOG")); }

    QTemporaryDir dir;
    FakeWindow window;
    QDateTime now{QDate(2026, 3, 5), QTime(14, 7, 9)};
    ActivityLog log{window, [this] { return now; }};
    RecordingViewer viewer{window};
};

} // namespace

TEST_F(LogFileCommandTest, ViewWithoutANameDoesNothingAndAMissingFileIsReported)
{
    ViewFile(window, viewer, QString());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.eventRounds, 0);

    const QString missing = dir.filePath(QStringLiteral("gone.LOG"));
    ViewFile(window, viewer, missing);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, missing + " not found");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(viewer.opened.isEmpty());
    EXPECT_EQ(window.statusText(), "Ready");
}

TEST_F(LogFileCommandTest, ViewStartsTheViewerWithTheFileAndRestoresTheWindow)
{
    log.WriteLog(QStringLiteral("Error: something to look at"));
    viewer.starts = false; // a viewer that cannot start is said to the user, with what was tried
    for (int round = 0; round < 2; ++round) {
        ViewFile(window, viewer, log.currentLogFileName());
        EXPECT_EQ(viewer.statusWhileStarting, "Loading " + logFile());
        EXPECT_EQ(viewer.pointerWhileStarting, MousePointer::Hourglass);
        EXPECT_EQ(window.statusText(), "Ready");
        EXPECT_EQ(window.pointer, MousePointer::Default);
        viewer.starts = true;
    }
    EXPECT_EQ(viewer.opened, QStringList({logFile(), logFile()}));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "No viewer could be started to show " + logFile() +
                                           ".\nTried: xdg-open (not found).\nSet KORVEL_VIEWER to a program "
                                           "that shows text files, or open the file yourself.");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Warning);
    // Viewing does not log: the status text is only shown.
    EXPECT_EQ(ReadLogLines(logFile()).size(), 1);
}

TEST(ViewerCommandTest, TheEnvironmentNamesTheViewers)
{
    using Candidate = ViewerCommand::Candidate;
    QProcessEnvironment environment;
    environment.insert("VISUAL", "  ");
    EXPECT_EQ(ViewerCommand(environment).candidates("/tmp/a b.LOG").value(2),
              Candidate({"xdg-open", {"xdg-open", "/tmp/a b.LOG"}}));
    environment.insert("VISUAL", "gedit --new-window");
    environment.insert("KORVEL_VIEWER", "\"/opt/my viewer/view\" -r");
    EXPECT_EQ(ViewerCommand(environment).candidates("f"),
              QList<Candidate>({{"$KORVEL_VIEWER", {"/opt/my viewer/view", "-r", "f"}},
                                {"$VISUAL", {"gedit", "--new-window", "f"}},
                                {"xdg-open", {"xdg-open", "f"}}}));
}

// Each viewer is tried in turn, on the environment's own PATH.
TEST(ViewerCommandTest, AViewerThatCannotStartIsReportedToTheCallerWithWhatWasTried)
{
    QTemporaryDir dir;
    QFile broken(dir.filePath("broken")); // executable, but nothing the system can run
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("\x01 not a program") > 0);
    broken.close();
    broken.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    QProcessEnvironment environment;
    environment.insert("KORVEL_VIEWER", dir.filePath("no-such-viewer"));
    environment.insert("VISUAL", broken.fileName() + " -x");
    environment.insert("PATH", dir.path());
    const ViewerStart start = ViewerCommand(environment).open(dir.filePath("Korvel.LOG"));
    EXPECT_FALSE(start.started);
    EXPECT_EQ(start.tried, "$KORVEL_VIEWER \"" + dir.filePath("no-such-viewer") +
                               "\" (not found), $VISUAL \"" + broken.fileName() +
                               " -x\" (could not be started), xdg-open (not found)");
}

TEST_F(LogFileCommandTest, PurgeAnsweredYesDeletesAndTheNextLineStartsTheFileAgain)
{
    log.WriteLog(QStringLiteral("first run"));
    ASSERT_TRUE(QFile::exists(logFile()));

    window.scriptAnswers({MessageAnswer::Yes});
    PurgeFile(window, log, log.currentLogFileName());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "Are you sure you want to purge the file " + logFile() + "?");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(window.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_FALSE(QFile::exists(logFile()));
    EXPECT_FALSE(window.logMenusEnabled);

    log.WriteLog(QStringLiteral("after the purge"));
    EXPECT_EQ(ReadLogLines(logFile()), QStringList({"after the purge"}));
    EXPECT_TRUE(window.logMenusEnabled);
}

TEST_F(LogFileCommandTest, PurgeAnsweredNoLeavesTheFileAlone)
{
    log.WriteLog(QStringLiteral("keep me"));
    const QByteArray before = ReadFileBytes(logFile());
    window.scriptAnswers({MessageAnswer::No});
    PurgeFile(window, log, log.currentLogFileName());
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(ReadFileBytes(logFile()), before);
}

TEST_F(LogFileCommandTest, PurgeOfNothingAsksNothing)
{
    const QString missing = dir.filePath(QStringLiteral("gone.LOG"));
    PurgeFile(window, log, missing);
    PurgeFile(window, log, QString());
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0].text, missing + " does not exist");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(window.messages[1].text, " does not exist");
}

TEST_F(LogFileCommandTest, APurgeThatCannotDeleteIsLoggedAndShown)
{
    // A non-empty directory under the file's name: no user, root included, can unlink it.
    const QString blocked = dir.filePath(QStringLiteral("Blocked.LOG"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Blocked.LOG/inside")));
    log.WriteLog(QStringLiteral("before"));

    window.scriptAnswers({MessageAnswer::Yes});
    PurgeFile(window, log, blocked);
    EXPECT_TRUE(QFileInfo::exists(blocked));
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[1].text, "File " + blocked + " has NOT been removed.");
    EXPECT_EQ(window.messages[1].icon, MessageIcon::Warning);

    const QStringList lines = ReadLogLines(logFile());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1], "Error: (2026-03-05 02:07:09 PM #" + QString::number(QFileDevice::RemoveError) +
                            " was generated by PurgeFile");
    EXPECT_FALSE(lines[2].isEmpty());
    EXPECT_EQ(lines[3], QString(60, u'='));
}
