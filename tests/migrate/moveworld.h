#pragma once

#include "createfixture.h"

#include "localdm/installation.h"

#include <QTemporaryDir>

#include <memory>

// A move's installation built once, and runs of the move on copies of its database files: a session of
// its own per run, with failures planted or none, over a copy that a later run may take up again.
class MoveWorld : public CreateWorld {
public:
    MoveWorld();
    using CreateFixture::Access, CreateFixture::accessOf, CreateFixture::folderWith;
    using SessionFixture::builder;

    int folder(const QString &library, const QString &name, const Access &access,
               const QList<std::pair<QString, int>> &items = {}, bool isPublic = false);
    std::pair<QString, int> doc(const QString &library, const QString &name);

    // What the sweep checks, recorded once the tree is planted.
    void plantedTree(int moved);
    int moved() const { return m_moved; }
    const QList<std::pair<QString, int>> &documents() const { return m_documents; }
    const QList<std::pair<QString, int>> &sourceFolders() const { return m_sourceFolders; }
    // The access of every folder of the source libraries, by name: what a folder of that name made in the
    // target may give at most.
    const QMap<QString, Access> &sourceAccess() const { return m_sourceAccess; }
    const QSet<std::pair<QString, int>> &topLevel() const { return m_topLevel; }
    const Installation &installation() { return builder.installation(); }

private:
    int m_moved = 0;
    QList<std::pair<QString, int>> m_documents;     // filed anywhere in the tree
    QList<std::pair<QString, int>> m_sourceFolders; // the moved folder and every folder below it
    QMap<QString, Access> m_sourceAccess;
    QSet<std::pair<QString, int>> m_topLevel;
};

// A copy of the world's database files in a folder of its own; of its databases on the test server, made
// from them as templates, so nobody may be connected to those while it is made.
class WorldCopy {
public:
    explicit WorldCopy(const Installation &built);
    const Installation &installation() const { return m_installation; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    Installation m_installation;
};

// A DM session of its own on an installation, its settings and log in home, started as the program
// starts it.
struct CopySession {
    CopySession(const Installation &installation, const QString &home);

    FakeWindow window;
    ActivityLog log{window, [] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); }};
    SettingsStore store;
    SavedSettings settings{store};
    std::shared_ptr<LocalDm> localDm;
    LocalDmFactory factory;
    DmSession session;
    LibraryConnection connection;
    DmContext dm{factory, session, connection, log, window, settings};
};

// One session on a copy, started in every library, that moves the world's folder into LIB_SYB.
class MoveRun {
public:
    MoveRun(const WorldCopy &copy, const QString &faults);

    bool move(int folder);
    // Answers the questions of a run that meets a runtime error (whether to end the program) with No.
    void answerEveryQuestionNo();
    qint64 calls(FaultKind kind) { return m_run.localDm->faults().calls(kind); }
    QStringList logLines() const;
    QStringList violations();
    // The libraries as a move leaves them, one sorted line per fact: per library, each folder by the
    // paths of names that lead to it, with DEFAULT_RIGHTS, its ROOT_OBJECT row and its trustees; each
    // folder item by its folder's paths and the item's (library, number), a folder item by its paths.
    // Numbers of folders made by a move do not show; activity-log rows are left out.
    QStringList state();

    // The invariants every run keeps, whatever failed: every document of the tree still filed
    // somewhere, every folder of the tree that is left still filed unless it was top-level, no folder of
    // the target more open than its source, and the library check clean. Each broken one is a line.
    QStringList brokenInvariants(MoveWorld &world);

private:
    LibraryDatabase &db(const QString &library) { return m_run.localDm->database(library); }
    bool filedAnywhere(const std::pair<QString, int> &item);

    // Inside the copy's folder, so that it goes with the copy also when the run ends the process.
    QTemporaryDir m_home;
    CopySession m_run;
};

// The one library that a move of the sweeps goes to, and those it reads.
inline const QStringList Libraries = {"LIB_SQL", "LIB_ORA", "LIB_SYB"};
inline const QString Target = "LIB_SYB";
