#pragma once

#include "dm/moveflags.h"
#include "dm/windowseam.h"

#include <QDateTime>
#include <QSet>
#include <QTextStream>

#include <functional>
#include <map>
#include <optional>

// What the console knows of the shell it runs in.
struct ConsoleSetup {
    QString target;
    bool confirmMoves = false; // --yes: the move confirmation is answered Yes
    bool printStatus = false;  // --verbose: status texts are printed
    // Standard error is a terminal: the progress is one line rewritten in place.
    bool progressLine = false;
    // Standard input is a terminal: reads the answer to the move confirmation (nothing at its end or
    // on an interrupt). Null when it is not, and the confirmation is answered No.
    std::function<std::optional<QString>()> ask;
    std::function<QDateTime()> clock = &QDateTime::currentDateTime;
};

// The window seam of an unattended run: messages go to standard error with their kind ("Error",
// "Warning", "Information", "Question"), status texts only when asked for, and a preview's list to
// standard output. A move confirmation is answered as the command line says, or asked on the terminal;
// any other question gets the answer that stops work safely (the lost-session question: end the run;
// anything else: No) and is printed with it. There are no boxes to show, so Display Errors is off;
// nothing of a window's saved state exists to be written.
class ConsoleWindow : public WindowSeam {
public:
    ConsoleWindow(QTextStream &out, QTextStream &err, ConsoleSetup setup);

    void setVerboseLogging(bool on) { m_verbose = on; }
    // The flags a pending interrupt cancels; borrowed, they must outlive this window.
    void watchMoves(MoveFlags &flags) { m_flags = &flags; }
    bool programEnded() const { return m_ended; }
    // An "Error:" or "Warning:" line of the log, as the log's failure listener hears it: printed, and
    // not printed again when a message repeats it.
    void showLogFailure(bool error, const QString &text);

    QString statusText() const override { return m_status; }
    void setStatusText(const QString &text) override;
    bool verboseLogging() const override { return m_verbose; }
    void setLogMenusEnabled(bool) override {}
    // Where an interrupt takes effect: as the Cancel button would, once a move runs.
    void processEvents() override;
    MessageAnswer showMessage(const QString &text, MessageIcon icon, MessageButtons buttons) override;
    MousePointer mousePointer() const override { return m_pointer; }
    void setMousePointer(MousePointer pointer) override { m_pointer = pointer; }
    bool displayErrors() const override { return false; }
    void setUserName(const QString &) override {}
    void setUserNameToolTip(const QString &) override {}
    void setPrimaryGroup(const QString &) override {}
    void setLibraryName(const QString &) override {}
    void checkLibraryMenuEntry(const QString &) override {}
    QString counter(MoveCounter which) const override;
    void setCounter(MoveCounter which, const QString &text) override { m_counters[which] = text; }
    QString targetLibrary() const override { return m_setup.target; }
    MessageAnswer confirmMove(const QString &question) override;
    void setMoveRunning(bool) override {}
    void showProgress(const MoveProgress &progress) override;
    void hideProgress() override;
    void offerReport(const QString &fileName) override;
    void showPreview(const QString &text, bool movable) override;
    // The end of a run: the log file it wrote, a full path.
    void showLogFile(const QString &fileName);
    quintptr windowHandle() const override { return 0; }
    QPoint windowPositionTwips() const override { return {}; }
    void endProgram() override { m_ended = true; }

private:
    void print(const QString &line);
    void endLiveLine();
    QString progressText(const MoveProgress &progress, const QDateTime &now) const;

    QTextStream &m_out;
    QTextStream &m_err;
    ConsoleSetup m_setup;
    bool m_verbose = false;
    bool m_ended = false;
    QString m_status;
    MousePointer m_pointer = MousePointer::Default;
    std::map<MoveCounter, QString> m_counters;
    MoveFlags *m_flags = nullptr;
    int m_interruptsSeen = 0;
    QSet<QString> m_failuresShown;
    // The progress of the running command: when it began, and what was shown last and when.
    QDateTime m_started;
    QDateTime m_shownAt;
    MoveProgress m_shown;
};

// What Ctrl+C (or SIGTERM, SIGHUP) does in a batch run: the first one says at once on standard error
// that the move is cancelling and asks the running move to cancel at its next safe point (or the next
// move to stop before its first folder, when none runs yet); a second one ends the process at once
// with the exit code of a cancel. Safe to call from a signal handler.
void InterruptBatch();
// Forgets the interrupts of a run that has ended.
void ForgetInterrupts();
