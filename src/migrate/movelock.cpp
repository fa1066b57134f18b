#include "migrate/movelock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <signal.h>
#endif

namespace {

struct LockInfo {
    qint64 pid = 0;
    QString host;
    QString user;
    QString since;
};

LockInfo parse(const QByteArray &contents)
{
    const QList<QByteArray> lines = contents.split('\n');
    LockInfo info;
    info.pid = lines.value(0).trimmed().toLongLong();
    info.host = QString::fromUtf8(lines.value(1).trimmed());
    info.user = QString::fromUtf8(lines.value(2).trimmed());
    info.since = QString::fromUtf8(lines.value(3).trimmed());
    return info;
}

QString describe(const LockInfo &info)
{
    return QStringLiteral("process ") + QString::number(info.pid) + QStringLiteral(" of user ") +
           (info.user.isEmpty() ? QStringLiteral("(unknown)") : info.user) + QStringLiteral(" on host ") +
           info.host + QStringLiteral(" since ") + info.since;
}

QString userName()
{
    for (const char *variable : {"USER", "USERNAME", "LOGNAME"})
        if (const QString name = qEnvironmentVariable(variable).trimmed(); !name.isEmpty())
            return name;
    return {};
}

// Only a process of this host can be looked for; elsewhere the lock is taken as alive.
bool stale(const LockInfo &info)
{
    if (info.pid <= 0)
        return true;
    if (info.host != QSysInfo::machineHostName())
        return false;
#ifdef Q_OS_UNIX
    return ::kill(pid_t(info.pid), 0) != 0 && errno == ESRCH;
#else
    return false;
#endif
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

MoveLock::MoveLock(QString fileName) : m_fileName(std::move(fileName)) {}

MoveLock::~MoveLock()
{
    release();
}

QString MoveLock::lockFileOf(const QString &installationFile)
{
    return installationFile + QStringLiteral(".lock");
}

bool MoveLock::place(const QByteArray &contents)
{
    const QString aside =
        m_fileName + QStringLiteral(".") + QString::number(QCoreApplication::applicationPid());
    QFile file(aside);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size()) {
        m_holder = QStringLiteral("the lock file ") + aside + QStringLiteral(" cannot be written: ") +
                   file.errorString();
        file.remove();
        return false;
    }
    file.close();
    // rename() never replaces an existing file: of two processes, one gets the lock.
    if (QFile::rename(aside, m_fileName)) {
        m_contents = contents;
        return true;
    }
    QFile::remove(aside);
    return false;
}

MoveLock::Outcome MoveLock::acquire()
{
    LockInfo mine{QCoreApplication::applicationPid(), QSysInfo::machineHostName(), userName(),
                  QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))};
    const QByteArray contents = QByteArray::number(mine.pid) + '\n' + mine.host.toUtf8() + '\n' +
                                mine.user.toUtf8() + '\n' + mine.since.toUtf8() + '\n';
    if (place(contents))
        return Outcome::Taken;
    if (!QFile::exists(m_fileName))
        return Outcome::Failed;
    const QByteArray found = readAll(m_fileName);
    const LockInfo holder = parse(found);
    m_holder = describe(holder);
    if (!stale(holder))
        return Outcome::Held;
    // Removed only when it is still the stale lock just read, not one placed since by another taker.
    if (readAll(m_fileName) == found && QFile::remove(m_fileName) && place(contents))
        return Outcome::TakenOver;
    if (!QFile::exists(m_fileName))
        return Outcome::Failed;
    m_holder = describe(parse(readAll(m_fileName)));
    return Outcome::Held;
}

void MoveLock::release()
{
    if (m_contents.isEmpty())
        return;
    if (readAll(m_fileName) == m_contents)
        QFile::remove(m_fileName);
    m_contents.clear();
}
