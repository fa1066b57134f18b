#pragma once

#include "dmapi/librarylock.h"
#include "localdm/installation.h"
#include "localdm/store/serverconnection.h"

#include <QList>

// The move lock of a library on a server: a session-level advisory lock in the library's own database
// under the key MoveLockKey, on a connection of its own held while the lock is. The server frees it when
// that session ends, however the process ends; no lock is ever judged stale. The exclusive holder leaves
// its details in the table korvel_move_lock of the database's public schema (made when missing, for
// every role to read and write, as a lock file is), and clears them when it releases the lock.
class ServerMoveLock : public LibraryLock {
public:
    // "KorvelMv" in ASCII; the same on every server and in every library database.
    static constexpr qint64 MoveLockKey = 0x4B6F7276656C4D76;

    explicit ServerMoveLock(LibraryConfig config);
    ~ServerMoveLock() override;
    ServerMoveLock(const ServerMoveLock &) = delete;
    ServerMoveLock &operator=(const ServerMoveLock &) = delete;

    // The server and database that the connection string, else libpq's defaults, name:
    // "postgresql://host:port/database".
    QString place() const override { return m_place; }
    Taking take(Mode mode) override;
    void leave(const Holder &holder) override;
    QString lost() override;
    void release() override;

    // How the lock's session names itself in the server's pg_stat_activity.
    static constexpr QStringView ApplicationName = u"korvel move lock";

private:
    Holder readHolder() const;

    LibraryConfig m_config;
    QString m_place;
    ServerConnection m_connection;
    bool m_left = false;
};

// The makers of the move locks of the installation's libraries on a server.
QList<LibraryLockMaker> ServerMoveLocks(const Installation &installation);
