#include "batch/consolewindow.h"

#include "batch/commandline.h"

#include <atomic>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

std::atomic<int> interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written by a signal handler");

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

} // namespace

void InterruptBatch()
{
    if (interrupts.fetch_add(1) == 0)
        return;
#ifdef Q_OS_UNIX
    static const char message[] = "Interrupted again - ending at once\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
#endif
    std::_Exit(ExitCancelled);
}

void ForgetInterrupts()
{
    interrupts = 0;
}

ConsoleWindow::ConsoleWindow(QTextStream &err, QString target, bool confirmMoves, bool printStatus)
    : m_err(err), m_target(std::move(target)), m_confirmMoves(confirmMoves), m_printStatus(printStatus)
{
}

void ConsoleWindow::print(const QString &line)
{
    m_err << line << Qt::endl;
}

void ConsoleWindow::setStatusText(const QString &text)
{
    // A status put back after a step is not news.
    if (m_printStatus && !text.isEmpty() && text != m_status)
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
    showMessage(CancelMessage(),
                MessageIcon::Information, MessageButtons::Ok);
}

MessageAnswer ConsoleWindow::showMessage(const QString &text, MessageIcon icon, MessageButtons buttons)
{
    if (buttons == MessageButtons::Ok) {
        // Many texts name their own kind already ("Error: ...", "Warning: ..."); a second prefix
        // would only make the line harder to read.
        const bool named = text.startsWith(QStringLiteral("Error:")) || text.startsWith(QStringLiteral("Warning:"));
        print(named ? text : kindOf(icon) + QStringLiteral(": ") + text);
        return MessageAnswer::Ok;
    }
    // The one warning question of the core is the lost-session question, which asks whether to end.
    const MessageAnswer answer = icon == MessageIcon::Warning ? MessageAnswer::Yes : MessageAnswer::No;
    print(QStringLiteral("Question: ") + text + answered(answer));
    return answer;
}

MessageAnswer ConsoleWindow::confirmMove(const QString &question)
{
    const MessageAnswer answer = m_confirmMoves ? MessageAnswer::Yes : MessageAnswer::No;
    print(QStringLiteral("Question: ") + question + answered(answer));
    return answer;
}

void ConsoleWindow::offerReport(const QString &fileName)
{
    print(QStringLiteral("Report: ") + fileName);
}

QString ConsoleWindow::counter(MoveCounter which) const
{
    const auto found = m_counters.find(which);
    return found == m_counters.end() ? QString() : found->second;
}

void ConsoleWindow::showProgress(const MoveProgress &progress)
{
    if (!m_printStatus || progress.folder == m_lastFolder)
        return;
    m_lastFolder = progress.folder;
    print(QStringLiteral("Folder %1 of %2").arg(progress.folder).arg(progress.folders));
}
