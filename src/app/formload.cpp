// The start-up sequence of the program (Program::Form_Load and its steps).

#include "app/program.h"

#include "app/qentsplash.h"
#include "dm/errornumbers.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dmapi/dmerror.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace {

const QString PowerDocsKey = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\PowerDOCS\\");
const QString ExtensionsKey =
    QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\Hummingbird DM Extensions API\\");

// The smallest height of the main window, in twips.
constexpr int MinimumHeightTwips = 5760;

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
    if (outcome == StartupOutcome::ErrorPath) {
        m_log.WriteDashLine();
        m_log.WriteLog(QStringLiteral("Form_Load:"));
        m_log.ReportError(number, source, description);
    }
    stopStartup(outcome == StartupOutcome::FusionFailed);
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
    readDmClientVersion();
    m_connection.owner = QStringLiteral("DOCSADM");
    showSplash();
    restoreWindowPosition();
    readCommandLineAndLogPath();

    m_log.ShowStatus(QStringLiteral("Retrieving basic configuration settings"));
    m_window.setVerboseLogging(m_settings.checkLogMethod() != 0);
    m_window.setDisplayErrors(m_settings.displayErrors() != 0);

    m_log.ShowStatus(QStringLiteral("Connecting to OpenText eDOCS ") + m_dmClientVersion +
                     QStringLiteral(" patch ") + m_dmClientPatchLevel);
    m_window.setMousePointer(MousePointer::Hourglass);
    m_window.processEvents();
    const QDateTime now = m_log.now();
    m_log.WriteLog(ProductName() + QStringLiteral(" Build ") + QString::number(BuildNumber()) +
                   QStringLiteral(" (") + BuildDate() + QStringLiteral(") ") +
                   QStringLiteral("initiating startup on ") +
                   QLocale().toString(now.date(), QLocale::LongFormat) + QStringLiteral(" at ") +
                   QLocale().toString(now.time(), QLocale::LongFormat) + QStringLiteral(" using DM ") +
                   m_dmClientVersion + QStringLiteral(" patch ") + m_dmClientPatchLevel);
    m_log.WriteEqualsLine();

    if (!StartFusion(m_dm)) {
        const StatusWindow *status = m_log.statusWindow() ? m_log.statusWindow() : &m_window;
        m_window.showMessage(QStringLiteral("Error: Unable to start the DM ") + m_dmClientVersion +
                                 QStringLiteral(" (patch ") + m_dmClientPatchLevel +
                                 QStringLiteral(") application (") + status->statusText() +
                                 QStringLiteral(") - I will end the program now"),
                             MessageIcon::Critical);
        return StartupOutcome::FusionFailed;
    }

    m_window.folderTree().clear();
    m_log.ShowStatus(QStringLiteral("Gathering information for folder selections"));
    fillLibraries();
    if (!hasUniversalAccess())
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

void Program::readDmClientVersion()
{
    const auto read = [this](const QString &value) {
        const QString first = m_registry.GetRegistryValue(PowerDocsKey + value).toString();
        return first.isEmpty() ? m_registry.GetRegistryValue(ExtensionsKey + value).toString() : first;
    };
    m_dmClientVersion = read(QStringLiteral("CurrentVersion"));
    m_dmClientPatchLevel = read(QStringLiteral("PatchLevel"));
}

void Program::showSplash()
{
    m_window.hide();
    m_window.processEvents();
    m_splash = std::make_unique<QentSplash>(&m_window);
    m_log.setStatusWindow(m_splash.get());
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

QString Program::defaultLogFolder() const
{
    const QString folder = programFolder();
    if (QFileInfo(folder).isWritable())
        return folder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/korvel");
}

void Program::readCommandLineAndLogPath()
{
    // The log path is read before the first logged line, so that no line goes to a file derived
    // from an empty path.
    const QString logPath = m_settings.logFile(defaultLogFolder());
    m_log.setConfiguredLogPath(logPath);
    m_log.ShowStatus(QStringLiteral("Getting Command Line Parameters"));
    const QString commandLine = m_environment.commandLine.trimmed().toUpper();
    m_window.setLogDirToolTip(logPath);
    if (commandLine.contains(QStringLiteral("/P")) && QFileInfo::exists(logPath))
        QFile::remove(logPath);
}

void Program::fillLibraries()
{
    const QString current = m_session.currentLibrary->name();
    QString target = m_settings.targetLibrary(QString());
    const int count = m_session.libraries->count();
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<DmLibrary> library = m_session.libraries->item(i);
        if (!library)
            throw DmError(ObjectNotSetError, QStringLiteral("Form_Load"),
                          QStringLiteral("Library ") + QString::number(i) + QStringLiteral(" of ") +
                              QString::number(count) + QStringLiteral(" is not set"));
        const QString name = library->name();
        if (library->isPrimary())
            m_window.setUserNameToolTip(library->userId() + QStringLiteral(" primary library is ") + name);
        m_window.addTargetLibrary(name);
        m_window.setLibraryMenuEntry(i - 1, name, name == current);
        m_browser.AddLibraryNodes(name);
    }
    if (target.isEmpty())
        target = m_connection.masterLibrary;
    if (target.isEmpty())
        target = current;
    m_window.selectTargetLibrary(target);
}

bool Program::hasUniversalAccess()
{
    const QString userId = m_session.currentLibrary->userId();
    m_log.ShowStatus(QStringLiteral("Verifying rights for ") + userId);
    RunSQL(m_dm, QStringLiteral("SELECT COUNT(*) FROM ") + QStringLiteral("[OWNER]") + QStringLiteral(".") +
                     QStringLiteral("PEOPLEGROUPS PG WHERE PEOPLE_SYSTEM_ID = ") +
                     QStringLiteral("(SELECT SYSTEM_ID FROM ") + QStringLiteral("[OWNER]") +
                     QStringLiteral(".") + QStringLiteral("PEOPLE WHERE USER_ID = '") + SqlEscape(userId) +
                     QStringLiteral("') AND GROUPS_SYSTEM_ID IN ") +
                     QStringLiteral("(SELECT SYSTEM_ID FROM ") + QStringLiteral("[OWNER]") +
                     QStringLiteral(".") + QStringLiteral("GROUPS WHERE UNIV_ACCESS = 255)"));
    const qint32 groups = leadingInt32(SqlColumn(m_session, 1).toString());
    ReleaseResults(m_session);
    if (groups != 0)
        return true;
    m_window.showMessage(
        QStringLiteral("Error: You are not a member of any groups with Universal Access = 255. ") +
            QStringLiteral("This is a requirement for running ") + ProductName(),
        MessageIcon::Warning);
    return false;
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

void Program::stopStartup(bool fusionMessageShown)
{
    m_log.WriteDashLine();
    const StatusWindow *status = m_log.statusWindow() ? m_log.statusWindow() : &m_window;
    QString stage = status->statusText();
    if (stage.isEmpty())
        stage = QStringLiteral("Starting ") + ProductName();
    if (!fusionMessageShown)
        m_window.showMessage(ProductName() + QStringLiteral(" stopped at point where the program was ") +
                                 stage,
                             MessageIcon::Critical);
    closeSplash();
    Form_Unload();
}
