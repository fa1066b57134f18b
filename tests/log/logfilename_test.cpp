#include "log/logfilename.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

TEST(DatedLogFileName, PutsTheDateBeforeTheExtensionOfTheFileNameOnly)
{
    const QDate date(2026, 3, 5);
    const std::pair<const char *, const char *> cases[] = {
        {"C:\\Logs\\Korvel.LOG", "C:\\Logs\\Korvel_20260305.LOG"},
        {"D:\\Log.Dir\\Run", "D:\\Log.Dir\\Run_20260305.txt"},
        {"D:\\Logs\\Run", "D:\\Logs\\Run_20260305.txt"},
        {"", "_20260305.txt"},
        {"/var/log.d/run.2.log", "/var/log.d/run.2_20260305.log"},
        {"/var/log.d/run", "/var/log.d/run_20260305.txt"},
        {"korvel.", "korvel_20260305."},
        {"D:\\Log.Dir/Run", "D:\\Log.Dir/Run_20260305.txt"},
    };
    for (const auto &[configured, expected] : cases)
        EXPECT_EQ(DatedLogFileName(QString::fromUtf8(configured), date), QString::fromUtf8(expected)) << configured;
}

TEST(LogTimeStamp, UsesTheTwelveHourClockWithTheLocaleDesignator)
{
    const QDate day(2026, 3, 5);
    EXPECT_EQ(LogTimeStamp(QDateTime(day, QTime(14, 7, 9))), "2026-03-05 02:07:09 PM");
    EXPECT_EQ(LogTimeStamp(QDateTime(day, QTime(0, 5, 0))), "2026-03-05 12:05:00 AM");
    EXPECT_EQ(LogTimeStamp(QDateTime(day, QTime(12, 0, 0))), "2026-03-05 12:00:00 PM");
    EXPECT_EQ(LogTimeStamp(QDateTime(day, QTime(9, 30, 59))), "2026-03-05 09:30:59 AM");
}

// The log goes nowhere SQLite keeps a library's file, whether that file is there yet or not, and however
// the folder or the file is reached.
TEST(LogPathRefusal, RefusesEveryNameSqliteUsesBesideALibrary)
{
    QTemporaryDir dir;
    const QString lib = dir.filePath("lib.db");
    QFile(lib).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("linked")));
    ASSERT_EQ(::link(QFile::encodeName(lib), QFile::encodeName(dir.filePath("copy.bin"))), 0);
    const std::pair<const char *, const char *> cases[] = {
        {"lib.db", "the library database"}, {"lib.db-wal", "the write-ahead log"},
        {"linked/lib.db-shm", "the shared-memory index"}, {"lib.db-journal", "the rollback journal"},
        {"copy.bin", "the library database"}, {"lib.db.lock", ""}, {"lib.db-wal2", ""}, {"other.db-wal", ""}};
    for (const auto &[name, refusal] : cases) {
        const QString said = LogPathRefusal(dir.filePath(name), {lib}, QDate(2026, 3, 5));
        EXPECT_EQ(said.isEmpty(), !*refusal) << name;
        EXPECT_TRUE(!*refusal || (said.startsWith(QString("it is ") + refusal) && said.endsWith(" " + lib)))
            << name;
    }
}
