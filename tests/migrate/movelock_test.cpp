#include "migrate/movelock.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// What a lock file found beside the installation means for the next move.
TEST(MoveLockTest, TakesFreeAndStaleLocksAndRespectsLiveOnes)
{
    struct Case {
        const char *name;
        QByteArray found; // the lock file found; none when empty
        MoveLock::Outcome outcome;
        QString holder; // the start of holder()
    };
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QList<Case> cases = {
        {"no lock", {}, MoveLock::Outcome::Taken, {}},
        {"a live process of this host", self + '\n' + host + "\npat\n2026-12-07 10:00:00\n",
         MoveLock::Outcome::Held,
         "process " + self + " of user pat on host " + host + " since 2026-12-07 10:00:00"},
        {"a process of this host that has ended", "2000000000\n" + host + "\npat\n2026-12-07 10:00:00\n",
         MoveLock::Outcome::TakenOver, "process 2000000000 of user pat on host"},
        {"a process of another host", "2000000000\nelsewhere-" + host + "\npat\n2026-12-07 10:00:00\n",
         MoveLock::Outcome::Held, "process 2000000000 of user pat on host elsewhere-"},
        {"a lock file without a process", "\n", MoveLock::Outcome::TakenOver, "process 0 of user (unknown)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString file = MoveLock::lockFileOf(dir.filePath("installation.ini"));
        if (!c.found.isEmpty()) {
            QFile planted(file);
            ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
            planted.write(c.found);
        }
        {
            MoveLock lock(file);
            EXPECT_EQ(lock.acquire(), c.outcome);
            EXPECT_TRUE(lock.holder().startsWith(c.holder)) << lock.holder().toStdString();
            if (c.outcome != MoveLock::Outcome::Held) {
                // A second move of this very process is refused too, naming it.
                MoveLock second(file);
                EXPECT_EQ(second.acquire(), MoveLock::Outcome::Held);
                EXPECT_TRUE(second.holder().startsWith("process " + self + " of user "));
            }
        }
        // A lock is removed by its holder only; someone else's stays.
        EXPECT_EQ(QFile::exists(file), c.outcome == MoveLock::Outcome::Held);
        EXPECT_EQ(dir.path() + "/installation.ini.lock", file);
    }
}
