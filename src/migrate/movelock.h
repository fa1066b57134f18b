#pragma once

#include <QString>

// One move at a time per DM installation: a lock file beside the installation file names the process
// that holds it (process id, host, user, since when). A lock whose process no longer runs on this
// host is stale and is taken over; a lock of a process that runs, or of another host, is respected.
// The lock is released when the object goes or release() is called; a lock file is never left
// half-written, because it is written aside and renamed into place without replacing one.
class MoveLock {
public:
    enum class Outcome {
        Taken,     // the lock is ours
        TakenOver, // ours, after a stale lock of holder() was removed
        Held,      // holder() holds it; nothing changed
        Failed,    // the lock file cannot be written (holder() says why)
    };

    explicit MoveLock(QString fileName);
    ~MoveLock();
    MoveLock(const MoveLock &) = delete;
    MoveLock &operator=(const MoveLock &) = delete;

    Outcome acquire();
    void release();
    // Who holds or held the lock, as a user reads it: "process 4711 of user pat on host ws12 since
    // 2026-12-07 11:20:05"; after Failed, the reason.
    QString holder() const { return m_holder; }

    // The lock file of an installation file.
    static QString lockFileOf(const QString &installationFile);

private:
    bool place(const QByteArray &contents);

    QString m_fileName;
    QString m_holder;
    QByteArray m_contents; // what we wrote, while we hold the lock
};
