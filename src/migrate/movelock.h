#pragma once

#include "dmapi/librarylock.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

// A DM installation as a move command knows it: its file, named in the log; the database file of every
// library kept in a file, beside each of which a move lock lies; and the makers of the locks of the
// libraries that lie elsewhere (on a server). Filled by whoever loaded the installation.
struct MoveInstallation {
    QString file;
    QStringList databases;
    QList<LibraryLockMaker> serverLocks = {};
};

// One move at a time over the same library databases: an advisory lock of the operating system on a
// lock file beside each database ("corporate.db.lock" beside "corporate.db", after the database's
// symbolic links are resolved), so every installation file and every path that names the same
// databases meets the same locks. A database is one lock however many paths of the installation reach
// it (DatabaseFileIdentity); one with a second name (a hard link), whose other name would have a lock
// file of its own, is refused when the lock is taken (DatabaseFileRefusal). The system releases them when the
// process ends, however it ends; no lock is ever judged stale. A move holds them exclusively, a preview
// shared. Acquiring never waits.
//
// The lock files only ever hold the details of their exclusive holder (process, host, user, start,
// command), written for the messages of those refused; a move that ends clears them, so details found
// under a free lock name a move that was interrupted. Lock files are never removed: a removed file
// would let a second taker lock a new file of the same name. A lock file is made with the rights of
// everyone the umask allows, and only ever opened as a regular file: a symbolic link, a FIFO, a directory
// or a device at its name is refused and nothing is written through it.
//
// A library on a server has its lock there instead (LibraryLock), holding the same details; it is taken
// in the one order of the lock files, by the name of its place.
//
// Released when the object goes or release() is called.
class MoveLock {
public:
    using Mode = LibraryLock::Mode;
    enum class Outcome {
        Taken,  // every lock is ours (a shared one may have been left out: warnings())
        Held,   // holder() holds one of them; nothing is held
        Failed, // a lock file cannot be opened as one, or a server lock cannot be taken (holder() says
                // which and why); nothing is held
    };

    explicit MoveLock(const QStringList &databases, const QList<LibraryLockMaker> &serverLocks = {});
    ~MoveLock();
    MoveLock(const MoveLock &) = delete;
    MoveLock &operator=(const MoveLock &) = delete;

    // The command is written among the holder's details of an exclusive lock.
    Outcome acquire(Mode mode, const QString &command);
    void release();
    // Who holds the lock, as a user reads it: "process 4711 of user pat on host ws12 since
    // 2026-12-07 11:20:05"; after Failed, the reason, naming the lock file.
    QString holder() const { return m_holder; }
    // After Taken, the moves whose details were found under a free lock, each once, as "move-folder
    // CORPORATE 1001 ARCHIVE by pat, started 2026-12-07 11:20:05".
    QStringList interrupted() const { return m_interrupted; }
    // After a shared Taken, why lock files were left out: one that cannot be created in a directory
    // without write rights does not stop a preview, which changes nothing.
    QStringList warnings() const { return m_warnings; }

    // After Taken: empty while every lock taken is still ours; else why one is not, naming its library
    // and where it lies. A lock file holds as long as the process does; a server's lock is asked on its
    // own session, a round trip each.
    QString verify();

    // The lock file of a library database.
    static QString lockFileOf(const QString &databaseFile);

private:
    // A lock file we hold: the locked descriptor, and while our details stand in it the one they were
    // written through.
    struct Held {
        QString file;
        int fd = -1;
        int detailsFd = -1;
    };
    // A lock of the installation: a lock file, or the lock of a library on a server.
    struct Place {
        QString name; // the lock file's, or the server lock's place
        std::unique_ptr<LibraryLock> server;
        QString database = {}; // beside which the lock file lies
    };
    enum class Step { Locked, Busy, Failed, Skipped };

    Step lockOne(const QString &fileName, Mode mode, Held &held);
    Step lockServer(LibraryLock &lock, Mode mode);
    void noteInterrupted(const LibraryLock::Holder &found);
    static void writeDetails(Held &held, const QByteArray &details);

    std::vector<Place> m_places;
    QList<Held> m_held;
    QList<LibraryLock *> m_serverHeld;
    QString m_holder;
    QStringList m_interrupted;
    QStringList m_warnings;
};
