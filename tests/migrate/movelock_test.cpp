#include "migrate/movelock.h"

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

void write(const QString &fileName, const QByteArray &text, QFile::Permissions permissions)
{
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.setPermissions(permissions);
}

} // namespace

// What can stand at a lock's name, and what the next move meets there: never a wait, never a write
// through anything but a regular file, never a lock taken over. The database is named through a symbolic
// link to its folder too, which must meet the same lock.
TEST(MoveLockTest, WhatStandsAtTheLockName)
{
    using enum MoveLock::Outcome;
    using Mode = MoveLock::Mode;
    struct Case {
        const char *name;
        std::function<void(const QString &lock, const QString &dir)> plant;
        Mode mode;
        MoveLock::Outcome outcome;
        QString said; // part of holder(), or of the interrupted moves after Taken
    };
    std::unique_ptr<MoveLock> other;
    const auto holdOther = [&](Mode mode) {
        return [&, mode](const QString &, const QString &dir) {
            other = std::make_unique<MoveLock>(QStringList{dir + "/lib.db"});
            ASSERT_EQ(other->acquire(mode, "move-library LIB LIB2"), Taken);
        };
    };
    const bool root = geteuid() == 0; // root reads a file of mode 000
    const QList<Case> cases = {
        {"nothing", {}, Mode::Exclusive, Taken, {}},
        {"a symbolic link to a file",
         [](const QString &lock, const QString &dir) { QFile::link(dir + "/victim", lock); }, Mode::Exclusive,
         Failed, "lib.db.lock is a symbolic link, not a regular file"},
        {"a dangling symbolic link",
         [](const QString &lock, const QString &dir) { QFile::link(dir + "/planted", lock); }, Mode::Shared,
         Failed, "lib.db.lock is a symbolic link, not a regular file"},
        {"a FIFO",
         [](const QString &lock, const QString &) { ASSERT_EQ(mkfifo(QFile::encodeName(lock), 0666), 0); },
         Mode::Exclusive, Failed, "lib.db.lock is a FIFO, not a regular file"},
        {"a directory", [](const QString &lock, const QString &) { QDir().mkpath(lock); }, Mode::Exclusive,
         Failed, "lib.db.lock is a directory, not a regular file"},
        {"another user's file we cannot read",
         [](const QString &lock, const QString &) { write(lock, {}, {}); }, Mode::Exclusive,
         root ? Taken : Failed, root ? QString() : "lib.db.lock cannot be opened: Permission denied"},
        {"the details of a move that ended unfinished",
         [](const QString &lock, const QString &) {
             write(lock, "2000000000\nws12\npat\n2026-12-07 10:00:00\nmove-folder CORPORATE 1001 ARCHIVE\n",
                   QFile::ReadOwner | QFile::WriteOwner);
         },
         Mode::Shared, Taken, "move-folder CORPORATE 1001 ARCHIVE by pat, started 2026-12-07 10:00:00"},
        {"a second name of the database, linked since it was loaded",
         [](const QString &, const QString &dir) {
             write(dir + "/lib.db", {}, QFile::ReadOwner | QFile::WriteOwner);
             ASSERT_EQ(link(QFile::encodeName(dir + "/lib.db"), QFile::encodeName(dir + "/copy.db")), 0);
         },
         Mode::Shared, Failed, "lib.db has 2 names (hard links)"},
        {"a running preview", holdOther(Mode::Shared), Mode::Exclusive, Held,
         "a preview of a move, which only reads"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString lock = dir.filePath("lib.db.lock");
        write(dir.filePath("victim"), "kept", QFile::ReadOwner | QFile::WriteOwner);
        if (c.plant)
            c.plant(lock, dir.path());
        ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("linked")));
        MoveLock lock1({dir.filePath("linked/lib.db"), dir.filePath("lib.db")});
        EXPECT_EQ(lock1.acquire(c.mode, "move-folder LIB 7 LIB2"), c.outcome);
        const QString said = c.outcome == Taken ? lock1.interrupted().join('|') : lock1.holder();
        EXPECT_EQ(said.isEmpty(), c.said.isEmpty()) << said.toStdString();
        EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
        EXPECT_EQ(contents(dir.filePath("victim")), "kept");
        EXPECT_FALSE(QFile::exists(dir.filePath("planted")));
        if (c.outcome == Taken && c.mode == Mode::Exclusive) {
            lock1.release();
            EXPECT_EQ(contents(lock), ""); // a move that ends clears its details
        }
        if (!c.plant) { // made for all the umask lets in: one user's lock file never shuts out another
            const mode_t mask = umask(0);
            umask(mask);
            struct stat made {};
            ASSERT_EQ(stat(QFile::encodeName(lock), &made), 0);
            EXPECT_EQ(made.st_mode & 0777, 0666 & ~mask);
        }
        other.reset();
    }
}
