#pragma once

#include "log/logwindow.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

// The activity log: the dated text log that is the only durable record of a run, the status line
// and the reports of trapped errors. Lines starting "Error:" or "Warning:" (any case), and the "Move:"
// lines that record each move command for an audit, are always written, with a time stamp after the
// prefix; other lines only while Verbose Logging is ticked. Each line is appended with the file
// opened and closed around it, so the file is complete at every moment and may be viewed or
// deleted while the program runs. None of the routines ever throws into its caller: a line that
// cannot be written is lost silently.
//
// Owned by the application for the whole run; the window seam is borrowed and must outlive it.
class ActivityLog {
public:
    using Clock = std::function<QDateTime()>;

    explicit ActivityLog(LogWindow &mainWindow, Clock clock = &QDateTime::currentDateTime);

    // The log path as configured (saved setting "LogFile" or the log path chooser); the next
    // written line goes to the file derived from it.
    QString configuredLogPath() const { return m_configuredLogPath; }
    // The current log file name and the log menus follow the new path at once, so that View Log and
    // Purge Log act on the file the next line goes to.
    void setConfiguredLogPath(const QString &path);

    // Full name of today's log file, derived again when the day or the configured path changes; empty
    // until a line is written or a path is set.
    QString currentLogFileName() const { return m_currentLogFileName; }

    // The window whose status label ShowStatus writes to; null means the main window.
    StatusWindow *statusWindow() const { return m_statusWindow; }
    void setStatusWindow(StatusWindow *window) { m_statusWindow = window; }

    void WriteLog(const QString &text);
    // Writes the line as WriteLog does, but also while Verbose Logging is off: for plain lines that
    // must leave a trace however the log is set.
    void WriteLogAlways(const QString &text);
    void ReportError(qint32 number, const QString &source, const QString &description);
    // The cause of a failure as one "Error:" line of its own, beside the report of ReportError, for
    // readers who search the log for "Error:" lines. Nothing for an empty description.
    void ReportCause(const QString &description);
    void ShowStatus(const QString &text);
    void SetLogMenus();

    // Told every "Error:" and "Warning:" text as it is logged, written to the file or not, so that a record
    // kept beside the log can name the causes of failures, and a console can show them: whether it is an
    // error, and the text after its prefix. Listeners are told in the order they were added; the id that
    // adding returns removes one again.
    using FailureListener = std::function<void(bool error, const QString &text)>;
    int addFailureListener(FailureListener listener);
    void removeFailureListener(int id);

    // The log's clock: the time procedures put into their texts.
    QDateTime now() const { return m_clock(); }

    // A log entry of 70 "-" characters and one of 70 "=" characters.
    void WriteDashLine();
    void WriteEqualsLine();

private:
    void writeLine(const QString &text, bool always);
    void setCurrentLogFileName(const QString &fileName);

    LogWindow &m_mainWindow;
    Clock m_clock;
    StatusWindow *m_statusWindow = nullptr;
    QString m_configuredLogPath;
    QString m_currentLogFileName;
    // Spares reading the name again at each look; without caching, every look still asks the file system.
    QFileInfo m_currentLogFile;
    // By the log's clock: when the menus last followed the file for a line not written.
    QDateTime m_menusLooked;
    QDate m_nameDate; // the day and configured path that m_currentLogFileName was derived from
    QString m_namePath;
    QString m_lastLogEntry;
    std::vector<std::pair<int, FailureListener>> m_failureListeners;
    int m_lastListenerId = 0;
};

// The lines of a failure the log told its listeners, trimmed and without the empty ones: the DM's
// description of an error follows its number on a line of its own.
QStringList FailureLines(const QString &text);
