#include "log/activitylog.h"

#include "log/logfilename.h"
#include "support/fakewindow.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Stamp = QStringLiteral("2026-03-05 02:07:09 PM");

class ActivityLogTest : public testing::Test {
protected:
    ActivityLogTest() { log.setConfiguredLogPath(dir.filePath(QStringLiteral("Korvel.LOG"))); }

    QString todaysFile() const { return dir.filePath(QStringLiteral("Korvel_20260305.LOG")); }
    QStringList lines() const { return ReadLogLines(todaysFile()); }

    QTemporaryDir dir;
    QDateTime now{QDate(2026, 3, 5), QTime(14, 7, 9)};
    FakeWindow window;
    ActivityLog log{window, [this] { return now; }};
};

} // namespace

TEST_F(ActivityLogTest, VerboseWritesPlainTextTrimmedWithCrLfAndNoStamp)
{
    log.WriteLog(QStringLiteral("  first line  "));
    log.WriteLog(QStringLiteral("second"));
    EXPECT_EQ(ReadFileBytes(todaysFile()), QByteArray("first line\r\nsecond\r\n"));
    EXPECT_EQ(log.currentLogFileName(), todaysFile());
    EXPECT_TRUE(window.logMenusEnabled);
}

TEST_F(ActivityLogTest, WithoutVerboseOnlyErrorsAndWarningsAreWrittenWithTheirOwnPrefix)
{
    window.verbose = false;
    log.WriteLog(QStringLiteral("plain text"));
    log.WriteLog(QStringLiteral("error: x"));
    log.WriteLog(QStringLiteral("Warning:   y  "));
    log.WriteLog(QStringLiteral("WARNING:z"));
    log.WriteLog(QStringLiteral("Errors are not a prefix"));
    log.WriteLog(QStringLiteral("Move: started move-library A B"));
    log.WriteLog(QStringLiteral("Moving Folder #1 is no audit line"));
    EXPECT_EQ(lines(),
              QStringList({"error: (" + Stamp + " x", "Warning: (" + Stamp + " y",
                           "WARNING: (" + Stamp + " z", "Move: (" + Stamp + " started move-library A B"}));
}

TEST_F(ActivityLogTest, ImmediateRepeatsAreDroppedButErrorsCarryTheirStamp)
{
    log.WriteLog(QStringLiteral("same"));
    log.WriteLog(QStringLiteral(" same "));
    log.WriteLog(QStringLiteral("other"));
    log.WriteLog(QStringLiteral("same"));
    log.WriteLog(QStringLiteral("Error: again"));
    log.WriteLog(QStringLiteral("Error: again"));
    EXPECT_EQ(lines(), QStringList({"same", "other", "same", "Error: (" + Stamp + " again",
                                    "Error: (" + Stamp + " again"}));
}

TEST_F(ActivityLogTest, ALineNotWrittenStillCountsAsTheLastEntry)
{
    window.verbose = false;
    log.WriteLog(QStringLiteral("quiet"));
    window.verbose = true;
    log.WriteLog(QStringLiteral("quiet"));
    log.WriteLog(QStringLiteral("loud"));
    EXPECT_EQ(lines(), QStringList({"loud"}));
}

TEST_F(ActivityLogTest, WriteLogAlwaysIgnoresTheVerboseSwitchButNotRepeats)
{
    window.verbose = false;
    log.WriteLogAlways(QStringLiteral(" SQL Error #208 encountered "));
    log.WriteLogAlways(QStringLiteral("SQL Error #208 encountered"));
    log.WriteLog(QStringLiteral("quiet"));
    EXPECT_EQ(lines(), QStringList({"SQL Error #208 encountered"}));
}

TEST_F(ActivityLogTest, BlankTextWritesNothingAndLeavesTheMenusAlone)
{
    window.logMenusEnabled = true;
    log.WriteLog(QStringLiteral("   "));
    log.WriteLog(QString());
    EXPECT_TRUE(window.logMenusEnabled);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ActivityLogTest, DeletedFileIsRecreatedAndTheMenusFollowIt)
{
    log.WriteLog(QStringLiteral("Error: one"));
    window.verbose = false;
    log.WriteLog(QStringLiteral("left out 1"));
    ASSERT_TRUE(window.logMenusEnabled);
    ASSERT_TRUE(QFile::remove(todaysFile()));

    // The menus follow the file within a quarter of a second, not at every line left out.
    log.WriteLog(QStringLiteral("left out 2"));
    EXPECT_TRUE(window.logMenusEnabled);
    now = now.addMSecs(300);
    log.WriteLog(QStringLiteral("left out 3"));
    EXPECT_FALSE(window.logMenusEnabled);

    log.WriteLog(QStringLiteral("Warning: two"));
    EXPECT_TRUE(window.logMenusEnabled);
    EXPECT_EQ(lines(), QStringList({"Warning: (" + Stamp + " two"}));
}

TEST_F(ActivityLogTest, EachLineGoesToTheFileOfItsDayAndOfTheCurrentPath)
{
    log.WriteLog(QStringLiteral("before midnight"));
    now = QDateTime(QDate(2026, 3, 6), QTime(0, 0, 1));
    log.WriteLog(QStringLiteral("after midnight"));
    EXPECT_EQ(lines(), QStringList({"before midnight"}));
    EXPECT_EQ(ReadLogLines(dir.filePath(QStringLiteral("Korvel_20260306.LOG"))),
              QStringList({"after midnight"}));

    log.setConfiguredLogPath(dir.filePath(QStringLiteral("Log.Dir/Run")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Log.Dir")));
    log.WriteLog(QStringLiteral("moved"));
    EXPECT_EQ(ReadLogLines(dir.filePath(QStringLiteral("Log.Dir/Run_20260306.txt"))), QStringList({"moved"}));
}

TEST_F(ActivityLogTest, ANewLogPathMovesTheCurrentFileAndTheMenusAtOnce)
{
    log.WriteLog(QStringLiteral("Error: in the old file"));
    ASSERT_TRUE(window.logMenusEnabled);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("other")));
    const QString other = dir.filePath(QStringLiteral("other/Run_20260305.log"));

    // A path whose file does not exist yet, one whose file does, and the old one again.
    log.setConfiguredLogPath(dir.filePath(QStringLiteral("other/Run.log")));
    EXPECT_EQ(log.currentLogFileName(), other);
    EXPECT_FALSE(window.logMenusEnabled);
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    log.setConfiguredLogPath(dir.filePath(QStringLiteral("other/Run.log")));
    EXPECT_TRUE(window.logMenusEnabled);
    log.setConfiguredLogPath(dir.filePath(QStringLiteral("Korvel.LOG")));
    EXPECT_EQ(log.currentLogFileName(), todaysFile());
    EXPECT_TRUE(window.logMenusEnabled);
}

TEST_F(ActivityLogTest, ACauseIsAnErrorLineOfItsOwnWhateverTheVerboseSwitch)
{
    window.verbose = false;
    log.ReportCause(QStringLiteral("library LEGAL: database file legal.db not found"));
    log.ReportCause(QStringLiteral("  "));
    EXPECT_EQ(lines(),
              QStringList({"Error: (" + Stamp + " library LEGAL: database file legal.db not found"}));
}

TEST_F(ActivityLogTest, TextWithLineBreaksIsWrittenAsItIs)
{
    log.WriteLog(QStringLiteral("Error: first\r\nsecond"));
    EXPECT_EQ(lines(), QStringList({"Error: (" + Stamp + " first", "second"}));
}

TEST_F(ActivityLogTest, AnUnwritableLogLosesTheLineQuietly)
{
    log.setConfiguredLogPath(dir.filePath(QStringLiteral("missing/dir/Korvel.LOG")));
    window.logMenusEnabled = true;
    log.WriteLog(QStringLiteral("Error: lost"));
    EXPECT_FALSE(window.logMenusEnabled);
    log.setConfiguredLogPath(dir.filePath(QStringLiteral("Korvel.LOG")));
    log.WriteLog(QStringLiteral("run goes on"));
    EXPECT_EQ(lines(), QStringList({"run goes on"}));
}

TEST_F(ActivityLogTest, ReportErrorWritesNumberSourceAndDescription)
{
    log.ReportError(91, QStringLiteral("S"), QStringLiteral("D"));
    log.ReportError(0, QStringLiteral("ignored"), QStringLiteral("ignored"));
    log.ReportError(qint32(0x80010105u), QStringLiteral("DM API"), QStringLiteral("Server interface failed"));
    const QString equals(60, u'=');
    EXPECT_EQ(lines(), QStringList({"Error: (" + Stamp + " #91 was generated by S", "D", equals,
                                    "Error: (" + Stamp + " An unknown error occurred during this task!",
                                    equals, "Error: (" + Stamp + " #-2147417851 was generated by DM API",
                                    "Server interface failed", equals}));
}

TEST_F(ActivityLogTest, ReportErrorWithoutVerboseKeepsTheErrorAndDropsTheSeparator)
{
    window.verbose = false;
    log.ReportError(5, QStringLiteral("Src"), QStringLiteral("Invalid call"));
    EXPECT_EQ(lines(), QStringList({"Error: (" + Stamp + " #5 was generated by Src", "Invalid call"}));
}

TEST_F(ActivityLogTest, ShowStatusLogsAndShowsInTheStatusWindow)
{
    log.ShowStatus(QStringLiteral("  on the main window "));
    EXPECT_EQ(window.statusText(), "on the main window");
    EXPECT_EQ(window.eventRounds, 1);

    FakeStatusWindow splash;
    log.setStatusWindow(&splash);
    log.ShowStatus(QStringLiteral("on the splash"));
    log.ShowStatus(QStringLiteral("   "));
    EXPECT_EQ(splash.text, "on the splash");
    EXPECT_EQ(window.statusText(), "on the main window");
    EXPECT_EQ(window.eventRounds, 2);
    EXPECT_EQ(lines(), QStringList({"on the main window", "on the splash"}));

    window.verbose = false;
    log.ShowStatus(QStringLiteral("shown, not logged"));
    EXPECT_EQ(splash.text, "shown, not logged");
    EXPECT_EQ(lines().size(), 2);
}
