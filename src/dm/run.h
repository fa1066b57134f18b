#pragma once

#include "dm/dmcontext.h"
#include "dm/moveflags.h"
#include "settings/qentclass.h"
#include "settings/settingsstore.h"

#include <QList>

#include <memory>

// The DM client's version and patch level, as the start line, the splash and About show them.
struct DmClientFacts {
    QString version;
    QString patchLevel;
};

// One run of Korvel, with a window or without: owns the state every procedure shares for the run
// (saved settings, DM session, library connection, activity log, move flags and the DM context that
// hands them out) and offers the start-up steps that need no window, as calls a front end makes in
// the order they are declared. The window seam is borrowed and must outlive the run; failures of the
// DM raise DmError to the front end, which ends the run its own way.
class Run {
public:
    Run(const QString &settingsDirectory, std::unique_ptr<DmFactory> factory, WindowSeam &window,
        ActivityLog::Clock clock = &QDateTime::currentDateTime);
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    DmContext &dm() { return m_dm; }
    SavedSettings &settings() { return m_settings; }
    ActivityLog &log() { return m_log; }
    DmSession &session() { return m_session; }
    LibraryConnection &connection() { return m_connection; }
    MoveFlags &moveFlags() { return m_moveFlags; }

    // The DM client's version and patch level from the registry, each from its first key, else the
    // fallback key. When the registry holds no version (no DM client installed, as with the local
    // DM), both are the fallback's: what the DM in use says of itself.
    void readRegistryFacts(const DmClientFacts &fallback = {});
    QString dmClientVersion() const { return m_dmClientVersion; }
    QString dmClientPatchLevel() const { return m_dmClientPatchLevel; }

    // Makes the saved log path (default: the product's log in defaultFolder) the log's path, before
    // any line is written, and returns it. A saved path that names a library database or a file SQLite
    // keeps beside one (LogPathRefusal) gives way to the default, with a "Warning:" line; the saved
    // setting is left as it is.
    QString openLog(const QString &defaultFolder, const QStringList &libraryDatabases);
    // The start-of-run line and its equals line.
    void writeStartLine();

    // Opens the DM session and connects to the user's current library; false when it did not start
    // (the reason is logged, and when the DM gave one it is kept as startFailureCause()).
    bool startSession();
    QString startFailureCause() const { return m_startFailureCause; }

    struct Library {
        QString name;
        QString userId;
        bool primary = false;
    };
    // The libraries collection in its order. Raises DmError when an entry is missing.
    QList<Library> libraries() const;
    QString currentLibraryName() const;
    // The saved target library, else the current library's master library, else the current library.
    QString targetLibrary();

    // Whether the user belongs to a group with universal access in the current library; a user who
    // does not is told so. A refused or unsent query raises DmError with the SQL error, so that it is
    // never read as "no access" or as access.
    bool hasUniversalAccess();

    // Ends the session and the run (EndProgram); the front end saves its own state first.
    void end();

private:
    std::unique_ptr<DmFactory> m_factory;
    SettingsStore m_store;
    SavedSettings m_settings;
    DmSession m_session;
    LibraryConnection m_connection;
    ActivityLog m_log;
    DmContext m_dm;
    MoveFlags m_moveFlags;
    QentClass m_registry;
    QString m_dmClientVersion;
    QString m_dmClientPatchLevel;
    QString m_startFailureCause;
};

// The message of a start that failed at the step the status line names, the DM's description of the
// cause (when it gave one) on a line of its own.
QString StartFailureMessage(const Run &run, const QString &status);
