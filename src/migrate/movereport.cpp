#include "migrate/movereport.h"

#include "log/activitylog.h"
#include "log/libraryfiles.h"
#include "log/logfilename.h"
#include "migrate/foldersteps.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString actionText(ReportAction action)
{
    switch (action) {
    case ReportAction::Created:
        return QStringLiteral("created");
    case ReportAction::Reused:
        return QStringLiteral("reused");
    case ReportAction::Linked:
        return QStringLiteral("linked");
    case ReportAction::AlreadyLinked:
        return QStringLiteral("already linked");
    case ReportAction::Removed:
        return QStringLiteral("removed");
    case ReportAction::Kept:
        return QStringLiteral("kept");
    case ReportAction::Skipped:
        break;
    }
    return QStringLiteral("skipped");
}

QString numberField(int number)
{
    return number == 0 ? QString() : NumberText(number);
}

// A logged failure as a result column shows it: without its "Error:" or "Warning:", on one line.
QString failureText(const QString &text)
{
    return FailureLines(text).join(QStringLiteral(" - "));
}

} // namespace

MoveReport::MoveReport(ActivityLog &log, const QString &fileName, const QStringList &libraryDatabases)
    : m_log(log), m_fileName(fileName), m_file(fileName)
{
    m_listener = m_log.addFailureListener([this](bool error, const QString &text) { heard(error, text); });
    if (const QString failure = open(libraryDatabases); !failure.isEmpty()) {
        m_log.WriteLog(QStringLiteral("Warning: Unable to write the move report ") + fileName +
                       QStringLiteral(": ") + failure);
        return;
    }
    writeLine(MoveReportHeader());
}

MoveReport::~MoveReport()
{
    m_log.removeFailureListener(m_listener);
}

// Unbuffered: every row goes to the system as it is written. A symbolic link planted under the report's
// name is not followed, and nothing but a plain file is written to (opening a FIFO never waits).
QString MoveReport::open(const QStringList &libraryDatabases)
{
    if (const QString refusal = LibraryFileRefusal(m_fileName, libraryDatabases); !refusal.isEmpty())
        return refusal;
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(m_fileName).constData(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::ftruncate(fd, 0) != 0 ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return QStringLiteral("not a plain file");
    }
    if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return m_file.errorString();
    }
    return {};
#else
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
               ? QString()
               : m_file.errorString();
#endif
}

void MoveReport::write(const ReportItem &item, ReportAction action, const QString &result)
{
    if (result == u"ok") {
        ++m_succeeded[action];
        if ((action == ReportAction::Created || action == ReportAction::Reused) && item.targetNumber != 0)
            m_placed.insert(item.targetNumber);
    }
    if (!m_file.isOpen())
        return;
    const QStringList fields{
        item.sourceLibrary,
        numberField(item.sourceNumber),
        item.name,
        item.kind == ReportKind::Folder ? QStringLiteral("folder") : QStringLiteral("document"),
        item.targetLibrary,
        numberField(item.targetNumber),
        actionText(action),
        result};
    QStringList quoted;
    for (const QString &field : fields)
        quoted << CsvField(field);
    writeLine(quoted.join(u','));
}

void MoveReport::writeLine(const QString &line)
{
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    // A full disk first takes part of a row without a word; only the write of the rest says why.
    qint64 written = 0;
    for (qint64 part = 0; written < bytes.size(); written += part)
        if ((part = m_file.write(bytes.constData() + written, bytes.size() - written)) <= 0)
            break;
    if (written == bytes.size())
        return;
    const QString reason = m_file.errorString();
    m_file.close();
    m_log.WriteLog(QStringLiteral("Warning: Unable to write the move report ") + m_fileName +
                   QStringLiteral(": ") + reason + QStringLiteral(" - it ends here"));
}

void MoveReport::heard(bool error, const QString &text)
{
    m_failures.append({error, failureText(text)});
}

QString MoveReport::failureSince(qsizetype mark, bool last) const
{
    QString error, warning;
    for (qsizetype i = mark; i < m_failures.size(); ++i) {
        QString &kept = m_failures[i].error ? error : warning;
        if (last || kept.isEmpty())
            kept = m_failures[i].text;
        if (!last && !error.isEmpty())
            break;
    }
    return error.isEmpty() ? warning : error;
}

ReportStep::ReportStep(MoveReport *report) : m_report(report)
{
    if (m_report)
        m_mark = m_report->mark();
}

void ReportStep::write(const ReportItem &item, ReportAction action, bool done) const
{
    if (m_report)
        m_report->write(item, action, result(done));
}

QString ReportStep::result(bool done) const
{
    if (done || !m_report)
        return QStringLiteral("ok");
    const QString failure = m_report->failureSince(m_mark, false);
    return failure.isEmpty() ? QStringLiteral("failed") : failure;
}

QString ReportStep::lastFailureOr(const QString &otherwise) const
{
    const QString failure = m_report ? m_report->failureSince(m_mark, true) : QString();
    return failure.isEmpty() ? otherwise : failure;
}

ReportedMove::ReportedMove(DmContext &dm, const QString &fileName, const QStringList &libraryDatabases)
    : m_dm(dm),
      m_report(dm.log,
               fileName.isEmpty() ? MoveReportFileName(dm.log.configuredLogPath(), dm.log.now()) : fileName,
               libraryDatabases)
{
    m_dm.report = &m_report;
}

ReportedMove::~ReportedMove()
{
    m_dm.report = nullptr;
    if (m_report.isWritten())
        m_dm.window.offerReport(QFileInfo(m_report.fileName()).absoluteFilePath());
}

QString MoveReportHeader()
{
    return QStringLiteral(
        "Source library,Source number,Name,Kind,Target library,Target number,Action,Result");
}

QString ReportSentence(const QString &fileName)
{
    return QStringLiteral("The report of this move lists every item and what became of it: ") + fileName;
}

QString ReportFileRefusal(const QString &fileName, const QStringList &libraryDatabases)
{
    if (const QString refusal = LibraryFileRefusal(fileName, libraryDatabases); !refusal.isEmpty())
        return refusal;
    const QFileInfo file(fileName);
    if (file.isSymLink())
        return QStringLiteral("it is a symbolic link");
    if (file.isDir())
        return QStringLiteral("it is a directory");
    if (file.exists()) {
        if (!file.isFile())
            return QStringLiteral("it is not a plain file (a FIFO, a device or a socket)");
        // Only a report of this program is replaced, so that the same command can run again; an empty
        // file (one made beforehand with mktemp or touch) holds nothing to lose.
        if (file.size() > 0) {
            QFile existing(fileName);
            if (!existing.open(QIODevice::ReadOnly))
                return QStringLiteral("it cannot be read: ") + existing.errorString();
            if (QString::fromUtf8(existing.readLine(4096)).trimmed() != MoveReportHeader())
                return QStringLiteral("it exists and is not a move report; choose another name");
        }
        return file.isWritable() ? QString() : QStringLiteral("it cannot be written");
    }
    const QFileInfo directory(file.absolutePath());
    if (!directory.isDir())
        return QStringLiteral("its directory ") + directory.filePath() + QStringLiteral(" does not exist");
    if (!directory.isWritable())
        return QStringLiteral("it cannot be created in ") + directory.filePath();
    return {};
}

QString CsvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString MoveReportFileName(const QString &configuredLogPath, const QDateTime &moveTime)
{
    const QString log = DatedLogFileName(configuredLogPath, moveTime.date());
    const QString stem =
        log.left(log.lastIndexOf(u'.')) + u'_' + moveTime.time().toString(QStringLiteral("hhmmss"));
    QString name = stem + QStringLiteral(".csv");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + u'-' + QString::number(n) + QStringLiteral(".csv");
    return name;
}
