// The start-up sequence of the program (Program::Form_Load and its steps).

#include "app/program.h"

#include "app/qentsplash.h"
#include "dmapi/dmerror.h"
#include "log/logfilename.h"
#include "settings/product.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The smallest height of the main window, in twips.
constexpr int MinimumHeightTwips = 5760;

// A message that stops the start, with the DM's description of the cause on a line of its own.
QString withCause(const QString &message, const QString &cause)
{
    return cause.isEmpty() ? message : message + u'\n' + cause;
}

} // namespace

void Program::Form_Load()
{
    StartupOutcome outcome = StartupOutcome::ErrorPath;
    qint32 number = 0;
    QString source;
    QString description;
    try {
        outcome = startUp();
    } catch (const DmError &error) {
        number = error.number();
        source = error.source();
        description = error.description();
    }
    if (outcome == StartupOutcome::Started)
        return;
    m_startupFailed = true;
    if (outcome == StartupOutcome::ErrorPath) {
        m_log.WriteDashLine();
        m_log.WriteLog(QStringLiteral("Form_Load:"));
        m_log.ReportError(number, source, description);
        m_log.ReportCause(description);
    }
    stopStartup(outcome == StartupOutcome::FusionFailed, description);
}

Program::StartupOutcome Program::startUp()
{
    m_log.setStatusWindow(nullptr);
    m_window.setWindowTitle(ApplicationTitle());
    m_settings.savePath(QDir::toNativeSeparators(m_environment.programPath));
    registerComponents();

    m_window.setMousePointer(MousePointer::Hourglass);
    m_window.setEnabled(false);
    m_window.processEvents();
    m_run.readRegistryFacts(m_environment.dmClient);
    m_window.setInstallation(m_environment.installationFile, m_environment.demoInstallation);
    showSplash();
    restoreWindowPosition();
    m_loaded.position = true;
    readCommandLineAndLogPath();

    m_log.ShowStatus(QStringLiteral("Retrieving basic configuration settings"));
    m_window.setVerboseLogging(m_settings.checkLogMethod() != 0);
    m_window.setDisplayErrors(m_settings.displayErrors() != 0);
    m_loaded.options = true;

    m_log.ShowStatus(QStringLiteral("Connecting to OpenText eDOCS ") + m_run.dmClientVersion() +
                     QStringLiteral(" patch ") + m_run.dmClientPatchLevel());
    m_window.setMousePointer(MousePointer::Hourglass);
    m_window.processEvents();
    m_run.writeStartLine();
    logInstallation();

    if (!m_run.startSession()) {
        const StatusWindow *status = m_log.statusWindow() ? m_log.statusWindow() : &m_window;
        m_window.showMessage(StartFailureMessage(m_run, status->statusText()), MessageIcon::Critical);
        return StartupOutcome::FusionFailed;
    }

    m_window.folderTree().clear();
    m_log.ShowStatus(QStringLiteral("Gathering information for folder selections"));
    fillLibraries();
    m_loaded.targetLibrary = true;
    if (!m_run.hasUniversalAccess())
        return StartupOutcome::ErrorPath;
    activateMainForm();
    return StartupOutcome::Started;
}

void Program::registerComponents()
{
    // Nothing needs registering on this platform; the markers record the one-time steps as done, as
    // the other tools that share them expect.
    if (!m_settings.qentRegisterApiDone())
        m_settings.saveQentRegisterApiDone();
    if (!m_settings.qentRegisterQentClassesDone())
        m_settings.saveQentRegisterQentClassesDone();
}

void Program::showSplash()
{
    m_window.hide();
    m_window.processEvents();
    m_splash = std::make_unique<QentSplash>(&m_window);
    m_log.setStatusWindow(m_splash.get());
    // Boxes shown while the splash is up belong to it, so that the window system keeps them above it.
    m_window.setMessageParent(m_splash.get());
    captionSplash(*m_splash);
    m_splash->centreOnScreen();
    m_splash->show();
    m_splash->repaint();
    m_splash->setStatusText(QStringLiteral("One moment..."));
    m_window.processEvents();
}

void Program::restoreWindowPosition()
{
    const QSize screen = m_window.screenSizeTwips();
    const QSize size = m_window.sizeTwips();
    const int centredLeft = screen.width() / 2 - size.width() / 2;
    const int centredTop = screen.height() / 2 - size.height() / 2;
    int left = m_settings.screenLeft(centredLeft);
    int top = m_settings.screenTop(centredTop);
    if (top >= screen.height() || top < 0)
        top = centredTop;
    if (left >= screen.width() || left < 0)
        left = centredLeft;
    m_window.setWindowState(Qt::WindowNoState);
    m_window.moveToTwips({left, top});
    if (size.height() < MinimumHeightTwips)
        m_window.setHeightTwips(MinimumHeightTwips);
}

void Program::readCommandLineAndLogPath()
{
    // The log path is read before the first logged line, so that no line goes to a file derived
    // from an empty path.
    const QString logPath = m_run.openLog(DefaultLogFolder(), m_environment.libraryDatabases);
    m_log.ShowStatus(QStringLiteral("Getting Command Line Parameters"));
    const QString commandLine = m_environment.commandLine.trimmed().toUpper();
    m_window.setLogDirToolTip(logPath);
    if (commandLine.contains(QStringLiteral("/P")) && QFileInfo::exists(logPath))
        QFile::remove(logPath);
}

void Program::fillLibraries()
{
    const QString current = m_run.currentLibraryName();
    const QList<Run::Library> libraries = m_run.libraries();
    for (qsizetype i = 0; i < libraries.size(); ++i) {
        const Run::Library &library = libraries[i];
        if (library.primary)
            m_window.setUserNameToolTip(library.userId + QStringLiteral(" primary library is ") +
                                        library.name);
        m_window.addTargetLibrary(library.name);
        m_window.setLibraryMenuEntry(int(i), library.name, library.name == current);
        m_browser.AddLibraryNodes(library.name);
    }
    m_window.selectTargetLibrary(m_run.targetLibrary());
}

void Program::activateMainForm()
{
    m_log.ShowStatus(QStringLiteral("Activating the main form"));
    closeSplash();
    if (!QFileInfo::exists(readmePath()))
        m_window.setReadmeEntryVisible(false);
    m_window.show();
    m_window.setEnabled(true);
    m_window.activateWindow();
    m_window.setFocus();

    if (m_session.libraries->count() == 1) {
        m_window.showMessage(
            QStringLiteral("I'm letting you start ") + ProductName() +
                QStringLiteral(", but you can't do anything because you only have one library!"),
            MessageIcon::Warning);
        m_window.setTreeEnabled(false);
    }

    m_window.processEvents();
    m_window.setStatusText(QStringLiteral("Waiting for user input"));
    m_window.setMousePointer(MousePointer::Default);
    m_window.processEvents();
}

void Program::logInstallation()
{
    const QString &file = m_environment.installationFile;
    if (file.isEmpty())
        return;
    m_log.WriteLog(QStringLiteral("DM installation ") + QDir::toNativeSeparators(file) +
                   (m_environment.demoInstallation ? QStringLiteral(" (demo)") : QString()));
    if (m_environment.demoCreated)
        m_log.ShowStatus(QStringLiteral("Demo installation created in ") +
                         QDir::toNativeSeparators(QFileInfo(file).absolutePath()));
}

void Program::stopStartup(bool fusionMessageShown, const QString &cause)
{
    m_log.WriteDashLine();
    const StatusWindow *status = m_log.statusWindow() ? m_log.statusWindow() : &m_window;
    QString stage = status->statusText();
    if (stage.isEmpty())
        stage = QStringLiteral("Starting ") + ProductName();
    if (!fusionMessageShown)
        m_window.showMessage(
            withCause(ProductName() + QStringLiteral(" stopped at point where the program was ") + stage,
                      cause),
            MessageIcon::Critical);
    closeSplash();
    Form_Unload();
}
