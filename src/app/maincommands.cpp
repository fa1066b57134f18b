// The main window's commands besides the moves, the tree and the program's start and end: the log
// path chooser, viewing and purging the log, the readme, the DM settings viewer and Cancel.

#include "app/program.h"

#include "app/errornumbers.h"
#include "log/logfilename.h"
#include "log/purgefile.h"
#include "log/viewfile.h"
#include "settingsview/qentoptions.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

void Program::ButtonLogDir_Click()
{
    QFileDialog dialog(&m_window, QStringLiteral("Select location for log file:"));
    dialog.setObjectName(QStringLiteral("CommDlg"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Lines are appended to the chosen file, so choosing an existing one overwrites nothing.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QStringLiteral("LOG"));
    dialog.setNameFilter(QStringLiteral("Log files (*.log)"));
    const QString saved = m_settings.logFileOr(QString());
    dialog.setDirectory(saved.isEmpty() ? DefaultLogFolder() : QFileInfo(saved).absolutePath());
    dialog.selectFile(m_settings.logFileOr(m_log.configuredLogPath()));
    if (dialog.exec() != QDialog::Accepted) {
        m_log.ReportError(DialogCancelledError, QStringLiteral("CommDlg"),
                          QStringLiteral("The log file dialog was cancelled"));
        return;
    }
    const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().value(0));
    if (chosen.isEmpty())
        return;
    if (const QString refusal = LogPathRefusal(chosen, m_environment.libraryDatabases, m_log.now().date());
        !refusal.isEmpty()) {
        m_window.showMessage(QStringLiteral("The log cannot be written to ") + chosen + QStringLiteral(": ") +
                                 refusal + QStringLiteral(". The log path stays ") +
                                 m_log.configuredLogPath() + u'.',
                             MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    m_log.setConfiguredLogPath(chosen);
    m_settings.saveLogFile(chosen);
    m_window.setLogDirToolTip(chosen);
}

void Program::MNLogView_Click()
{
    ViewFile(m_window, *m_viewer, m_log.currentLogFileName());
}

void Program::MNLogPurge_Click()
{
    PurgeFile(m_window, m_log, m_log.currentLogFileName());
}

void Program::MNHelpReadme_Click()
{
    const QString readme = readmePath();
    if (!QFileInfo::exists(readme))
        return;
    StartViewer(m_window, *m_viewer, readme,
                QStringLiteral("Viewing File ") + readme + QStringLiteral(" using Notepad"));
}

void Program::MNQentOptions_Click()
{
    m_window.setMousePointer(MousePointer::Hourglass);
    m_window.processEvents();
    QentOptions viewer(m_dm, &m_window);
    viewer.exec();
    m_window.setMousePointer(MousePointer::Default);
}

void Program::Button_Cancel_Click()
{
    if (!moveFlags().moveRunning || moveFlags().cancelRequested)
        return;
    m_window.setStatusColor(QColor(0x00, 0x00, 0xC0));
    moveFlags().moveRunning = false;
    moveFlags().cancelRequested = true;
    // Said, not asked: the move goes on to its next safe point without waiting for the user.
    m_log.ShowStatus(CancelMessage());
}
