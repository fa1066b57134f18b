#pragma once

#include "dm/moveflags.h"
#include "dm/windowseam.h"

#include <QTextStream>

#include <map>

// The window seam of an unattended run: messages go to standard error with their kind ("Error",
// "Warning", "Information", "Question"), status texts only when asked for. A move confirmation is
// answered as the command line says; any other question gets the answer that stops work safely (the
// lost-session question: end the run; anything else: No) and is printed with it. There are no boxes
// to show, so Display Errors is off; nothing of a window's saved state exists to be written.
class ConsoleWindow : public WindowSeam {
public:
    ConsoleWindow(QTextStream &err, QString target, bool confirmMoves, bool printStatus);

    void setVerboseLogging(bool on) { m_verbose = on; }
    // The flags a pending interrupt cancels; borrowed, they must outlive this window.
    void watchMoves(MoveFlags &flags) { m_flags = &flags; }
    bool programEnded() const { return m_ended; }

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
    QString targetLibrary() const override { return m_target; }
    MessageAnswer confirmMove(const QString &question) override;
    void setMoveRunning(bool) override {}
    void showProgress(const MoveProgress &progress) override;
    void hideProgress() override {}
    void offerReport(const QString &fileName) override;
    void showPreview(const QString &text) override { print(text); }
    quintptr windowHandle() const override { return 0; }
    QPoint windowPositionTwips() const override { return {}; }
    void endProgram() override { m_ended = true; }

private:
    void print(const QString &line);

    QTextStream &m_err;
    QString m_target;
    bool m_confirmMoves;
    bool m_printStatus;
    bool m_verbose = false;
    bool m_ended = false;
    QString m_status;
    MousePointer m_pointer = MousePointer::Default;
    std::map<MoveCounter, QString> m_counters;
    MoveFlags *m_flags = nullptr;
    int m_interruptsSeen = 0;
    int m_lastFolder = 0;
};

// What Ctrl+C does in a batch run: the first one asks the running move to cancel after its current
// folder (or the next move to stop before its first, when none runs yet); a second one ends the
// process at once with the exit code of a cancel. Safe to call from a signal handler.
void InterruptBatch();
// Forgets the interrupts of a run that has ended.
void ForgetInterrupts();
