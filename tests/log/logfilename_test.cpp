#include "log/logfilename.h"

#include <QDateTime>

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
