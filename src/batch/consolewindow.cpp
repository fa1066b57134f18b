#include "batch/consolewindow.h"

#include "batch/commandline.h"
#include "dm/fusion.h"
#include "log/activitylog.h"
#include "migrate/movereport.h"

#include <atomic>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A failure as one line, by which a box repeating a failure the console printed already is known.
QString oneLine(const QString &text)
{
    return FailureLines(text).join(QStringLiteral(" - "));
}

// The report's path has a line of its own ("Report: "), which scripts read; the summary need not say it.
QString withoutReportSentence(const QString &text)
{
    const QString sentence = ReportSentence(QString());
    QStringList lines = text.split(u'\n');
    lines.removeIf([&sentence](const QString &line) { return line.startsWith(sentence); });
    return lines.join(u'\n');
}

std::atomic<int> interrupts{0};
// Whether a live progress line stands unfinished, so that the interrupt's word starts a line of its own.
std::atomic<bool> liveLine{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "read and written by a signal handler");

// Between two lines of a long folder on a terminal, and of a folder on a log file.
constexpr qint64 LiveLineMs = 200;
constexpr qint64 PlainLineMs = 60 * 1000;

QString kindOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QStringLiteral("Error");
    case MessageIcon::Warning:
        return QStringLiteral("Warning");
    case MessageIcon::Question:
        return QStringLiteral("Question");
    case MessageIcon::Information:
    case MessageIcon::None:
        break;
    }
    return QStringLiteral("Information");
}

QString answered(MessageAnswer answer)
{
    return answer == MessageAnswer::Yes ? QStringLiteral(" - answered Yes")
                                        : QStringLiteral(" - answered No");
}

#ifdef Q_OS_UNIX
void writeError(const char *text, size_t size)
{
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, size);
}
#endif

} // namespace

void InterruptBatch()
{
#ifdef Q_OS_UNIX
    if (liveLine.load())
        writeError("\n", 1);
#endif
    if (interrupts.fetch_add(1) == 0) {
#ifdef Q_OS_UNIX
        static const char acknowledged[] =
            "cancelling: the current folder stops at its next safe point; Ctrl+C again ends at once\n";
        writeError(acknowledged, sizeof acknowledged - 1);
#endif
        return;
    }
#ifdef Q_OS_UNIX
    static const char message[] = "Interrupted again - ending at once\n";
    writeError(message, sizeof message - 1);
#endif
    std::_Exit(ExitCancelled);
}

void ForgetInterrupts()
{
    interrupts = 0;
}

ConsoleWindow::ConsoleWindow(QTextStream &out, QTextStream &err, ConsoleSetup setup)
    : m_out(out), m_err(err), m_setup(std::move(setup))
{
}

void ConsoleWindow::endLiveLine()
{
    if (!liveLine.exchange(false))
        return;
    m_err << '\n';
    m_err.flush();
}

void ConsoleWindow::print(const QString &line)
{
    endLiveLine();
    m_err << line << Qt::endl;
}

void ConsoleWindow::setStatusText(const QString &text)
{
    // A status put back after a step is not news.
    if (m_setup.printStatus && !text.isEmpty() && text != m_status)
        print(text);
    m_status = text;
}

void ConsoleWindow::processEvents()
{
    if (!m_flags || interrupts.load() <= m_interruptsSeen || !m_flags->moveRunning ||
        m_flags->cancelRequested)
        return;
    m_interruptsSeen = interrupts.load();
    m_flags->moveRunning = false;
    m_flags->cancelRequested = true;
    showMessage(CancelMessage(), MessageIcon::Information, MessageButtons::Ok);
}

// A cause the log keeps on a second line stays on a line of its own, indented under the failure.
void ConsoleWindow::showLogFailure(bool error, const QString &text)
{
    const QString kind = error ? QStringLiteral("Error: ") : QStringLiteral("Warning: ");
    m_failuresShown.insert(kind + oneLine(text));
    print(kind + FailureLines(text).join(QStringLiteral("\n  ")));
}

MessageAnswer ConsoleWindow::showMessage(const QString &text, MessageIcon icon, MessageButtons buttons)
{
    if (buttons == MessageButtons::Ok) {
        // Many texts name their own kind already ("Error: ...", "Warning: ..."); a second prefix
        // would only make the line harder to read.
        const bool named =
            text.startsWith(QStringLiteral("Error:")) || text.startsWith(QStringLiteral("Warning:"));
        if (named && m_failuresShown.remove(oneLine(text)))
            return MessageAnswer::Ok;
        const QString shown = withoutReportSentence(text);
        print(named ? shown : kindOf(icon) + QStringLiteral(": ") + shown);
        return MessageAnswer::Ok;
    }
    // Answered by what is asked: the lost-session question asks whether to end, and ending is the
    // only safe way on without a session; every other question (purging a file) is answered No.
    const MessageAnswer answer = text.endsWith(ExitNowQuestion()) ? MessageAnswer::Yes : MessageAnswer::No;
    print(QStringLiteral("Question: ") + text + answered(answer));
    return answer;
}

MessageAnswer ConsoleWindow::confirmMove(const QString &question)
{
    if (m_setup.confirmMoves) {
        print(QStringLiteral("Question: ") + question + answered(MessageAnswer::Yes));
        return MessageAnswer::Yes;
    }
    if (!m_setup.ask) {
        print(QStringLiteral("Question: ") + question + answered(MessageAnswer::No) +
              QStringLiteral(" (answer Yes with --yes, or look first with --dry-run)"));
        return MessageAnswer::No;
    }
    endLiveLine();
    m_err << QStringLiteral("Question: ") << question << QStringLiteral(" [y/N] ");
    m_err.flush();
    const std::optional<QString> reply = m_setup.ask();
    if (!reply)
        m_err << Qt::endl;
    const QString word = reply.value_or(QString()).trimmed().toLower();
    return word == u"y" || word == u"yes" ? MessageAnswer::Yes : MessageAnswer::No;
}

void ConsoleWindow::offerReport(const QString &fileName)
{
    print(QStringLiteral("Report: ") + fileName);
}

void ConsoleWindow::showLogFile(const QString &fileName)
{
    print(QStringLiteral("Log: ") + fileName);
}

void ConsoleWindow::showPreview(const QString &text, bool)
{
    endLiveLine();
    m_out << text << Qt::endl;
}

QString ConsoleWindow::counter(MoveCounter which) const
{
    const auto found = m_counters.find(which);
    return found == m_counters.end() ? QString() : found->second;
}

QString ConsoleWindow::progressText(const MoveProgress &progress, const QDateTime &now) const
{
    QStringList parts{QStringLiteral("Folder %1 of %2").arg(progress.folder).arg(progress.folders),
                      QString::number(progress.itemsDone) + QStringLiteral(" item(s) done")};
    if (const qint64 ms = m_started.msecsTo(now); ms >= 1000)
        parts << QString::number(double(progress.itemsDone) * 1000 / double(ms), 'f', 1) +
                     QStringLiteral(" item(s)/s");
    if (const QString left = TimeLeftText(progress.secondsLeft); !left.isEmpty())
        parts << left;
    parts << MovePhaseText(progress.phase);
    return parts.join(QStringLiteral(" - "));
}

// On a terminal one line is rewritten in place, often enough to follow and never at every item; on a
// file, a line per folder and one a minute inside a long folder, which a log reader can still take in.
void ConsoleWindow::showProgress(const MoveProgress &progress)
{
    const QDateTime now = m_setup.clock();
    if (!m_started.isValid())
        m_started = now;
    const bool news = progress.folder != m_shown.folder || progress.folders != m_shown.folders;
    const qint64 since = m_shownAt.isValid() ? m_shownAt.msecsTo(now) : PlainLineMs;
    if (m_setup.progressLine) {
        if (!news && progress.phase == m_shown.phase && since < LiveLineMs)
            return;
        m_err << '\r' << progressText(progress, now) << "\x1b[K";
        m_err.flush();
        liveLine = true;
    } else {
        if (!news && since < PlainLineMs)
            return;
        print(progressText(progress, now));
    }
    m_shown = progress;
    m_shownAt = now;
}

void ConsoleWindow::hideProgress()
{
    endLiveLine();
    m_started = m_shownAt = QDateTime();
    m_shown = {};
}
