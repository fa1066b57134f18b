#include "migrate/movelock.h"

#include "dmapi/databasefile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The locks are flock() locks, not fcntl() ones: an fcntl lock belongs to the process and is dropped
// unseen when any descriptor of the file closes, and an fcntl write lock (OFD locks included) needs a
// descriptor opened for writing, which another user's lock file may not give. A flock lock belongs to
// its open file and is taken through a read-only descriptor. Where the system emulates flock with
// byte-range locks (NFS) a read-only descriptor is refused (EBADF), and the file is opened for writing.

namespace {

// Never through a symbolic link, never kept by a child process, and never waiting: a FIFO opens at once
// and is refused by what it is.
constexpr int OpenFlags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
// As many times a lock file replaced under us is opened again before the lock gives up.
constexpr int Attempts = 3;

using Holder = LibraryLock::Holder;

Holder parse(const QByteArray &contents)
{
    const QList<QByteArray> lines = contents.split('\n');
    return {lines.value(0).trimmed().toLongLong(), QString::fromUtf8(lines.value(1).trimmed()),
            QString::fromUtf8(lines.value(2).trimmed()), QString::fromUtf8(lines.value(3).trimmed()),
            QString::fromUtf8(lines.value(4).trimmed())};
}

QByteArray readDetails(int fd)
{
    QByteArray contents(4096, Qt::Uninitialized);
    const ssize_t read = ::pread(fd, contents.data(), contents.size(), 0);
    contents.truncate(read > 0 ? qsizetype(read) : 0);
    return contents;
}

QString orUnknown(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(unknown)") : text;
}

// A service or a container often sets none of the variables; the account still has a name.
QString userName()
{
    for (const char *variable : {"USER", "USERNAME", "LOGNAME"})
        if (const QString name = qEnvironmentVariable(variable).trimmed(); !name.isEmpty())
            return name;
    const struct passwd *account = ::getpwuid(::geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}

QString theLockFile(const QString &fileName)
{
    return QStringLiteral("the lock file ") + QDir::toNativeSeparators(fileName);
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

QString notRegular(const QString &fileName, mode_t mode)
{
    return theLockFile(fileName) + QStringLiteral(" is ") + kindOf(mode) +
           QStringLiteral(", not a regular file");
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Only a move leaves its details; when every holder's lock is shared, the holders are previews.
QString heldByPreviews()
{
    return QStringLiteral("a preview of a move, which only reads");
}

// Who holds the lock at place, by the details found there.
QString heldBy(const Holder &details, const QString &place)
{
    if (details.process <= 0)
        return QStringLiteral("a move that has not yet named itself in ") + place;
    return QStringLiteral("process ") + QString::number(details.process) + QStringLiteral(" of user ") +
           orUnknown(details.user) + QStringLiteral(" on host ") + orUnknown(details.host) +
           QStringLiteral(" since ") + orUnknown(details.since);
}

// Who holds the lock of fd that a lock of that mode was refused.
QString heldBy(int fd, MoveLock::Mode mode, const QString &fileName)
{
    if (mode == MoveLock::Mode::Exclusive && ::flock(fd, LOCK_SH | LOCK_NB) == 0)
        return heldByPreviews();
    return heldBy(parse(readDetails(fd)), QDir::toNativeSeparators(fileName));
}

} // namespace

// Taken in the order of their names, with the server locks by their places, so that of moves started
// together over the same databases the one that gets the first lock meets no other on the rest.
MoveLock::MoveLock(const QStringList &databases, const QList<LibraryLockMaker> &serverLocks)
{
    // Two paths of one database would be two open files of one lock file, which meet each other.
    QStringList identities;
    for (const QString &database : databases) {
        const QString identity = DatabaseFileIdentity(database);
        if (identities.contains(identity))
            continue;
        identities << identity;
        m_places.push_back({lockFileOf(database), nullptr, database});
    }
    for (const LibraryLockMaker &make : serverLocks) {
        std::unique_ptr<LibraryLock> lock = make();
        const QString name = lock->place();
        if (std::none_of(m_places.begin(), m_places.end(), [&](const Place &p) { return p.name == name; }))
            m_places.push_back({name, std::move(lock)});
    }
    std::sort(m_places.begin(), m_places.end(),
              [](const Place &a, const Place &b) { return a.name < b.name; });
}

MoveLock::~MoveLock()
{
    release();
}

QString MoveLock::lockFileOf(const QString &databaseFile)
{
    const QFileInfo database(databaseFile);
    QString real = database.canonicalFilePath();
    if (real.isEmpty()) {
        // A database that is missing is reported by the DM; its lock still lies where it would be.
        const QString folder = database.absoluteDir().canonicalPath();
        real = folder.isEmpty() ? database.absoluteFilePath() : folder + u'/' + database.fileName();
    }
    return real + QStringLiteral(".lock");
}

MoveLock::Step MoveLock::lockOne(const QString &fileName, Mode mode, Held &held)
{
    const QByteArray path = QFile::encodeName(fileName);
    const int operation = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        int fd = ::open(path.constData(), O_RDONLY | O_CREAT | OpenFlags, 0666);
        if (fd < 0) {
            const int error = errno;
            struct stat found {};
            const bool exists = ::lstat(path.constData(), &found) == 0;
            if (exists && !S_ISREG(found.st_mode)) {
                m_holder = notRegular(fileName, found.st_mode);
                return Step::Failed;
            }
            if (!exists && mode == Mode::Shared && (error == EACCES || error == EROFS)) {
                m_warnings << theLockFile(fileName) + QStringLiteral(" cannot be created: ") +
                                  errorText(error);
                return Step::Skipped;
            }
            m_holder = theLockFile(fileName) + QStringLiteral(" cannot be opened: ") + errorText(error);
            return Step::Failed;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            m_holder = notRegular(fileName, opened.st_mode);
            return Step::Failed;
        }
        int locked = ::flock(fd, operation);
        if (locked != 0 && errno == EBADF) {
            const int writable = ::open(path.constData(), O_RDWR | OpenFlags);
            const int error = errno;
            ::close(fd);
            if (writable < 0) {
                m_holder = theLockFile(fileName) +
                           QStringLiteral(
                               " cannot be opened for writing, which its file system needs to lock it: ") +
                           errorText(error);
                return Step::Failed;
            }
            fd = writable;
            struct stat reopened {};
            if (::fstat(fd, &reopened) != 0 || !sameFile(reopened, opened)) {
                ::close(fd);
                continue;
            }
            locked = ::flock(fd, operation);
        }
        if (locked != 0) {
            const int error = errno;
            m_holder = error == EWOULDBLOCK
                           ? heldBy(fd, mode, fileName)
                           : theLockFile(fileName) + QStringLiteral(" cannot be locked: ") + errorText(error);
            ::close(fd);
            return error == EWOULDBLOCK ? Step::Busy : Step::Failed;
        }
        // A lock file removed or replaced since it was opened is not the one the next taker meets.
        struct stat current {};
        if (::lstat(path.constData(), &current) != 0 || !sameFile(current, opened)) {
            ::close(fd);
            continue;
        }
        held = {fileName, fd, -1};
        return Step::Locked;
    }
    m_holder = theLockFile(fileName) + QStringLiteral(" is replaced by another file each time it is locked");
    return Step::Failed;
}

MoveLock::Step MoveLock::lockServer(LibraryLock &lock, Mode mode)
{
    const LibraryLock::Taking taking = lock.take(mode);
    switch (taking.outcome) {
    case LibraryLock::Taking::Outcome::Locked:
        m_serverHeld.append(&lock);
        noteInterrupted(taking.holder);
        return Step::Locked;
    case LibraryLock::Taking::Outcome::Busy:
        m_holder = taking.sharedOnly ? heldByPreviews() : heldBy(taking.holder, taking.said);
        return Step::Busy;
    case LibraryLock::Taking::Outcome::Failed:
        break;
    }
    m_holder = taking.said;
    return Step::Failed;
}

// Details under a lock that was free were left by a move whose process ended before it cleared them.
void MoveLock::noteInterrupted(const Holder &found)
{
    const QString move = orUnknown(found.command) + QStringLiteral(" by ") + orUnknown(found.user) +
                         QStringLiteral(", started ") + orUnknown(found.since);
    if (found.process > 0 && !m_interrupted.contains(move))
        m_interrupted << move;
}

// The details are for messages only: a lock file another user made without write rights for us keeps
// none, and the lock holds all the same.
void MoveLock::writeDetails(Held &held, const QByteArray &details)
{
    const int fd = ::open(QFile::encodeName(held.file).constData(), O_WRONLY | OpenFlags);
    struct stat written {};
    struct stat locked {};
    // Written over the old text and cut after, so that a reader never finds the file empty between.
    if (fd >= 0 && ::fstat(fd, &written) == 0 && ::fstat(held.fd, &locked) == 0 &&
        sameFile(written, locked) && ::pwrite(fd, details.constData(), details.size(), 0) == details.size() &&
        ::ftruncate(fd, details.size()) == 0) {
        held.detailsFd = fd;
        return;
    }
    if (fd >= 0)
        ::close(fd);
}

MoveLock::Outcome MoveLock::acquire(Mode mode, const QString &command)
{
    release();
    m_holder.clear();
    m_interrupted.clear();
    m_warnings.clear();
    for (const Place &place : m_places) {
        Held held;
        Step step = place.server ? lockServer(*place.server, mode) : lockOne(place.name, mode, held);
        // A name linked since the installation was loaded is seen here, under the lock, so that a move
        // through that name meets the refusal too.
        if (step == Step::Locked && !place.server) {
            m_held.append(held);
            if (const QString refusal = DatabaseFileRefusal(place.database); !refusal.isEmpty()) {
                m_holder = refusal;
                step = Step::Failed;
            }
        }
        switch (step) {
        case Step::Locked:
            if (!place.server)
                noteInterrupted(parse(readDetails(held.fd)));
            break;
        case Step::Skipped:
            break;
        case Step::Busy:
        case Step::Failed:
            release();
            m_interrupted.clear();
            return step == Step::Busy ? Outcome::Held : Outcome::Failed;
        }
    }
    if (mode == Mode::Exclusive) {
        const Holder ours = {QCoreApplication::applicationPid(), QSysInfo::machineHostName(), userName(),
                             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                             command};
        const QByteArray details = QByteArray::number(ours.process) + '\n' + ours.host.toUtf8() + '\n' +
                                   ours.user.toUtf8() + '\n' + ours.since.toUtf8() + '\n' +
                                   ours.command.toUtf8() + '\n';
        for (Held &held : m_held)
            writeDetails(held, details);
        for (LibraryLock *lock : std::as_const(m_serverHeld))
            lock->leave(ours);
    }
    return Outcome::Taken;
}

QString MoveLock::verify()
{
    for (LibraryLock *lock : std::as_const(m_serverHeld))
        if (QString lost = lock->lost(); !lost.isEmpty())
            return lost;
    return {};
}

void MoveLock::release()
{
    for (const Held &held : std::as_const(m_held)) {
        if (held.detailsFd >= 0) {
            // A file left uncleared makes the next move name this one as interrupted, which is harmless.
            [[maybe_unused]] const int cleared = ::ftruncate(held.detailsFd, 0);
            ::close(held.detailsFd);
        }
        ::close(held.fd);
    }
    m_held.clear();
    for (LibraryLock *lock : std::as_const(m_serverHeld))
        lock->release();
    m_serverHeld.clear();
}
