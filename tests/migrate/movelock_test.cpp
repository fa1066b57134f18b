#include "migrate/movelock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

// What can stand at a lock's name, and what the next move meets there: never a wait, never a write
// through anything but a regular file, never a lock taken over.
TEST(MoveLockTest, WhatStandsAtTheLockName)
{
    struct Case {
        const char *name;
        std::function<void(const QString &lock, const QString &dir)> plant;
        MoveLock::Mode mode;
        MoveLock::Outcome outcome;
        QString said; // part of holder(), or the interrupted move after Taken
    };
    const QString self = QString::number(QCoreApplication::applicationPid());
    std::unique_ptr<MoveLock> other;
    const QString database = "lib.db";
    const auto holdOther = [&](MoveLock::Mode mode) {
        return [&, mode](const QString &, const QString &dir) {
            other = std::make_unique<MoveLock>(QStringList{dir + "/" + database});
            ASSERT_EQ(other->acquire(mode, "move-library LIB LIB2"), MoveLock::Outcome::Taken);
        };
    };
    const bool root = geteuid() == 0; // root reads a file of mode 000
    const QList<Case> cases = {
        {"nothing", {}, MoveLock::Mode::Exclusive, MoveLock::Outcome::Taken, {}},
        {"a symbolic link to a file",
         [](const QString &lock, const QString &dir) { QFile::link(dir + "/victim", lock); },
         MoveLock::Mode::Exclusive, MoveLock::Outcome::Failed,
         "lib.db.lock is a symbolic link, not a regular file"},
        {"a dangling symbolic link",
         [](const QString &lock, const QString &dir) { QFile::link(dir + "/planted", lock); },
         MoveLock::Mode::Shared, MoveLock::Outcome::Failed,
         "lib.db.lock is a symbolic link, not a regular file"},
        {"a FIFO",
         [](const QString &lock, const QString &) { ASSERT_EQ(mkfifo(QFile::encodeName(lock), 0666), 0); },
         MoveLock::Mode::Exclusive, MoveLock::Outcome::Failed, "lib.db.lock is a FIFO, not a regular file"},
        {"a directory", [](const QString &lock, const QString &) { QDir().mkpath(lock); },
         MoveLock::Mode::Exclusive, MoveLock::Outcome::Failed,
         "lib.db.lock is a directory, not a regular file"},
        {"another user's file we cannot read",
         [](const QString &lock, const QString &) {
             QFile file(lock);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.setPermissions({});
         },
         MoveLock::Mode::Exclusive, root ? MoveLock::Outcome::Taken : MoveLock::Outcome::Failed,
         root ? QString() : "lib.db.lock cannot be opened: Permission denied"},
        {"the details of a move that ended unfinished",
         [](const QString &lock, const QString &) {
             QFile file(lock);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("2000000000\nws12\npat\n2026-12-07 10:00:00\nmove-folder CORPORATE 1001 ARCHIVE\n");
         },
         MoveLock::Mode::Shared, MoveLock::Outcome::Taken,
         "move-folder CORPORATE 1001 ARCHIVE by pat, started 2026-12-07 10:00:00"},
        {"a running move", holdOther(MoveLock::Mode::Exclusive), MoveLock::Mode::Shared,
         MoveLock::Outcome::Held, "process " + self + " of user "},
        {"a running preview", holdOther(MoveLock::Mode::Shared), MoveLock::Mode::Exclusive,
         MoveLock::Outcome::Held, "a preview of a move, which only reads"},
        {"another preview",
         holdOther(MoveLock::Mode::Shared),
         MoveLock::Mode::Shared,
         MoveLock::Outcome::Taken,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString lock = dir.filePath(database + ".lock");
        QFile victim(dir.filePath("victim"));
        ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
        victim.write("kept");
        victim.close();
        if (c.plant)
            c.plant(lock, dir.path());
        // The same database named through a symbolic link to its folder meets the same lock.
        ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("linked")));
        MoveLock lock1({dir.filePath("linked/" + database), dir.filePath(database)});
        EXPECT_EQ(lock1.acquire(c.mode, "move-folder LIB 7 LIB2"), c.outcome);
        const QString said =
            c.outcome == MoveLock::Outcome::Taken ? lock1.interrupted().join('|') : lock1.holder();
        EXPECT_EQ(said.isEmpty(), c.said.isEmpty()) << said.toStdString();
        EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
        EXPECT_EQ(contents(dir.filePath("victim")), "kept");
        EXPECT_FALSE(QFile::exists(dir.filePath("planted")));
        if (c.outcome == MoveLock::Outcome::Taken && c.mode == MoveLock::Mode::Exclusive) {
            MoveLock second({QDir::cleanPath(dir.filePath(database))});
            EXPECT_EQ(second.acquire(MoveLock::Mode::Shared, "preview"), MoveLock::Outcome::Held);
            EXPECT_TRUE(second.holder().startsWith("process " + self + " of user "))
                << second.holder().toStdString();
            lock1.release();
            // A move that ends clears its details, so the next one finds no interrupted move.
            EXPECT_EQ(contents(lock), "");
        }
        if (!c.plant) {
            // Made for everyone the umask lets in, so that one user's lock file never shuts out another.
            const mode_t mask = umask(0);
            umask(mask);
            struct stat made {};
            ASSERT_EQ(stat(QFile::encodeName(lock), &made), 0);
            EXPECT_EQ(made.st_mode & 0777, 0666 & ~mask);
        }
        other.reset();
    }
}
