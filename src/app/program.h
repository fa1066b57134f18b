#pragma once

#include "app/dmmain.h"
#include "app/movemenu.h"
#include "browse/folderbrowser.h"
#include "dm/exitcode.h"
#include "dm/run.h"
#include "log/fileviewer.h"

#include <memory>

class QentSplash;

// The readme that Help/View Readme opens for the program in programFolder: the installed one in the
// data folder beside the program's bin folder (so a relocated installation finds its own), else the one
// the build copies beside the program. The second when neither exists.
QString ReadmeFile(const QString &programFolder);

// Where and how the program was started.
struct ProgramEnvironment {
    // Full path of the executable; its folder is the program's folder.
    QString programPath{};
    // The command line searched for "/P": the arguments, blank-separated, without the installation
    // option and its file (a file path such as "/home/pat/..." must not count as "/P").
    QString commandLine{};
    // Directory of the per-user settings store.
    QString settingsDirectory{};
    // The DM installation the program runs on, named in the status area and the log; whether it is
    // the demo, and whether this start created it.
    QString installationFile{};
    // The database file of each of its libraries kept in a file, beside which the move locks lie, and
    // the makers of the move locks of those on a server.
    QStringList libraryDatabases{};
    QList<LibraryLockMaker> serverLocks{};
    bool demoInstallation = false;
    bool demoCreated = false;
    // What the DM in use says of its version, shown where a DM client's would be when the registry
    // knows none.
    DmClientFacts dmClient{};
};

// The running program: the run (the state every procedure shares, Run) plus the main window, the
// splash and the folder tree logic, and the connections from the window's commands to the procedures.
// The window saves its own state (position, option boxes, target library) when the program ends.
// Created once by main(); the DM factory is handed in, and the viewer that shows the log and the
// readme may be.
class Program {
public:
    Program(ProgramEnvironment environment, std::unique_ptr<DmFactory> factory,
            DMMain::MessagePresenter presenter = {},
            std::unique_ptr<FileViewer> viewer = std::make_unique<ViewerCommand>());
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // The start-up sequence, run once before the event loop: leaves the main window shown and waiting
    // for the user, or ends the program (window().programHasEnded()) after telling the user where it
    // stopped.
    void Form_Load();
    // StartupFailed once start-up has ended the program, Done otherwise.
    ExitCode exitCode() const { return m_startupFailed ? ExitStartupFailed : ExitDone; }

    // The program's end, whichever way it comes: EndProgram.
    void Form_Unload();
    void MNKorvelExit_Click();
    void MNKorvelHelp_Click();
    // Shows the splash window modally as the About box.
    void HelpAbout();

    // The log path chooser: a save dialog for the configured log path. Cancelling it is reported as
    // a runtime error and leaves the path as it was; so does, with a box, a file that is a library
    // database or one SQLite keeps beside one. A chosen file is saved as "LogFile" and takes effect
    // with the next log line.
    void ButtonLogDir_Click();
    void MNLogView_Click();
    void MNLogPurge_Click();
    // Shows the readme (ReadmeFile) in the viewer; nothing when there is none.
    void MNHelpReadme_Click();
    // The DM settings viewer, modal; the current library is the same before and after it.
    void MNQentOptions_Click();
    // Cancels the running move: acts only while a move runs and has not been cancelled yet, and says so
    // in the status line and the log without waiting for an answer.
    void Button_Cancel_Click();

    DMMain &window() { return m_window; }
    Run &run() { return m_run; }
    ActivityLog &log() { return m_log; }
    MoveFlags &moveFlags() { return m_run.moveFlags(); }
    // The program's folder, the readme path and the DM client's version and patch level (empty until
    // start-up has read them).
    QString programFolder() const;
    QString readmePath() const;
    QString dmClientVersion() const { return m_run.dmClientVersion(); }
    QString dmClientPatchLevel() const { return m_run.dmClientPatchLevel(); }

private:
    enum class StartupOutcome { Started, FusionFailed, ErrorPath };

    StartupOutcome startUp();
    void registerComponents();
    void showSplash();
    void restoreWindowPosition();
    void readCommandLineAndLogPath();
    void fillLibraries();
    void activateMainForm();
    void stopStartup(bool fusionMessageShown, const QString &cause);
    void logInstallation();
    void saveWindowState();
    void captionSplash(QentSplash &splash) const;
    void closeSplash();

    ProgramEnvironment m_environment;
    DMMain m_window;
    Run m_run;
    // What the procedures share, reached through the run.
    SavedSettings &m_settings = m_run.settings();
    DmSession &m_session = m_run.session();
    LibraryConnection &m_connection = m_run.connection();
    ActivityLog &m_log = m_run.log();
    DmContext &m_dm = m_run.dm();
    FolderBrowser m_browser;
    MoveMenu m_moveMenu;
    std::unique_ptr<FileViewer> m_viewer;
    // The splash window while start-up shows it as the status window.
    std::unique_ptr<QentSplash> m_splash;
    bool m_startupFailed = false;
    // The window values start-up has loaded; only these are saved at the end, so that a start that
    // stopped early does not overwrite saved values with the window's empty ones.
    struct {
        bool position = false;
        bool options = false;
        bool targetLibrary = false;
    } m_loaded;
};
