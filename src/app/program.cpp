#include "app/program.h"

#include "app/qentsplash.h"
#include "log/viewfile.h"
#include "settings/product.h"

#include <QDir>
#include <QFileInfo>

QString ReadmeFile(const QString &programFolder)
{
    const QString name = QStringLiteral("/Korvel_Skerrow_Readme.txt");
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/" KORVEL_DATA_FROM_BIN) + name);
    return QDir::toNativeSeparators(QFileInfo::exists(installed) ? installed : programFolder + name);
}

Program::Program(ProgramEnvironment environment, std::unique_ptr<DmFactory> factory,
                 DMMain::MessagePresenter presenter, std::unique_ptr<FileViewer> viewer)
    : m_environment(std::move(environment)), m_window(std::move(presenter)),
      m_run(m_environment.settingsDirectory, std::move(factory), m_window),
      m_browser(m_dm, m_window.folderTree()),
      m_moveMenu(
          m_dm, m_run.moveFlags(), m_browser, m_window.folderTree(),
          [this] { return m_window.selectedNode(); },
          MoveInstallation{m_environment.installationFile, m_environment.libraryDatabases,
                           m_environment.serverLocks}),
      m_viewer(std::move(viewer))
{
    QObject::connect(&m_window, &DMMain::programEnded, &m_window, [this] { saveWindowState(); });
    QObject::connect(&m_window, &DMMain::exitChosen, &m_window, [this] { MNKorvelExit_Click(); });
    QObject::connect(&m_window, &DMMain::unloadRequested, &m_window, [this] { Form_Unload(); });
    QObject::connect(&m_window, &DMMain::aboutChosen, &m_window, [this] { MNKorvelHelp_Click(); });
    QObject::connect(&m_window, &DMMain::nodeExpanded, &m_window,
                     [this](TreeNode node) { m_browser.TVRootFolder_Expand(node); });
    QObject::connect(&m_window, &DMMain::nodeClicked, &m_window,
                     [this](TreeNode node) { m_browser.TVRootFolder_NodeClick(node); });
    QObject::connect(&m_window, &DMMain::refreshChosen, &m_window,
                     [this](TreeNode node) { m_browser.MNRefresh_Click(node); });
    QObject::connect(&m_window, &DMMain::libraryChosen, &m_window,
                     [this](const QString &caption) { m_browser.MNLibList_Click(caption); });
    QObject::connect(&m_window, &DMMain::logDirClicked, &m_window, [this] { ButtonLogDir_Click(); });
    QObject::connect(&m_window, &DMMain::logViewChosen, &m_window, [this] { MNLogView_Click(); });
    QObject::connect(&m_window, &DMMain::logPurgeChosen, &m_window, [this] { MNLogPurge_Click(); });
    QObject::connect(&m_window, &DMMain::readmeChosen, &m_window, [this] { MNHelpReadme_Click(); });
    QObject::connect(&m_window, &DMMain::settingsViewerChosen, &m_window, [this] { MNQentOptions_Click(); });
    QObject::connect(&m_window, &DMMain::reportOpenChosen, &m_window,
                     [this](const QString &fileName) { ViewFile(m_window, *m_viewer, fileName); });
    QObject::connect(&m_window, &DMMain::cancelClicked, &m_window, [this] { Button_Cancel_Click(); });
    QObject::connect(&m_window, &DMMain::convertFolderChosen, &m_window,
                     [this] { m_moveMenu.MNConvertFolder_Click(); });
    QObject::connect(&m_window, &DMMain::convertAllFoldersChosen, &m_window,
                     [this] { m_moveMenu.MNConvertAllFolders_Click(); });
    QObject::connect(&m_window, &DMMain::convertLibraryChosen, &m_window,
                     [this] { m_moveMenu.MNConvertLibrary_Click(); });
    QObject::connect(&m_window, &DMMain::previewMoveChosen, &m_window,
                     [this] { m_moveMenu.MNPreviewMove_Click(); });
}

Program::~Program() = default;

QString Program::programFolder() const
{
    return QFileInfo(m_environment.programPath).absolutePath();
}

QString Program::readmePath() const
{
    return ReadmeFile(programFolder());
}

void Program::Form_Unload()
{
    m_run.end();
}

void Program::saveWindowState()
{
    if (m_loaded.position) {
        const QPoint position = m_window.windowPositionTwips();
        m_settings.saveScreenTop(position.y());
        m_settings.saveScreenLeft(position.x());
    }
    if (m_loaded.options) {
        m_settings.saveCheckLogMethod(m_window.verboseLogging() ? 1 : 0);
        m_settings.saveDisplayErrors(m_window.displayErrors() ? 1 : 0);
    }
    if (m_loaded.targetLibrary)
        m_settings.saveTargetLibrary(m_window.targetLibrary());
}

void Program::MNKorvelExit_Click()
{
    Form_Unload();
}

void Program::MNKorvelHelp_Click()
{
    HelpAbout();
}

void Program::captionSplash(QentSplash &splash) const
{
    QString version = m_run.dmClientVersion();
    if (!m_run.dmClientPatchLevel().isEmpty())
        version += QStringLiteral(" patch ") + m_run.dmClientPatchLevel();
    splash.setProductCaption(splash.productCaption() + QStringLiteral("\r\n(DM ") + version + u')');
    splash.setVersionCaption(QStringLiteral("Build ") + QString::number(BuildNumber()) +
                             QStringLiteral(" - ") + BuildDate());
}

void Program::HelpAbout()
{
    m_window.setMousePointer(MousePointer::Hourglass);
    m_window.processEvents();
    QentSplash splash(&m_window);
    captionSplash(splash);
    splash.setStatusText(QStringLiteral("Press any key to continue"));
    m_window.setMousePointer(MousePointer::Default);
    m_window.processEvents();
    splash.centreOnScreen();
    splash.exec();
}

void Program::closeSplash()
{
    m_log.setStatusWindow(nullptr);
    m_window.setMessageParent(nullptr);
    m_splash.reset();
}
