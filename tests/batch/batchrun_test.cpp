#include "batch/batchrun.h"
#include "support/testbackend.h"

#include "batch/consolewindow.h"
#include "localdm/localdm.h"
#include "localdm/localdmfactory.h"
#include "localdm/sql/localsql.h"
#include "localdm/store/schema.h"
#include "localdm/store/servermovelock.h"
#include "localdm/tools/demoinstallation.h"
#include "localdm/tools/librarycheck.h"
#include "migrate/movelock.h"
#include "migrate/movereport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <csignal>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

const QStringList Libraries = {"CORPORATE", "ARCHIVE", "LEGAL"};

// A fresh demo installation (JDOE holds the folder rights in CORPORATE and ARCHIVE, none in LEGAL) and
// a batch run on it as `korvel --batch ...` makes one.
class BatchDemo {
public:
    BatchDemo() : m_file(CreateTestDemo(m_dir.path(), DemoSize::Small, "JDOE"))
    {
        QDir().mkpath(m_dir.filePath("bin"));
    }

    QString file() const { return m_file; }
    LibraryDatabase &db(const QString &library) { return dm().database(library); }
    // Faults planted here apply to the next run.
    QString faults;

    // The exit code; what the run printed is in out and err afterwards.
    int run(const QStringList &arguments, ActivityLog::Clock clock = &QDateTime::currentDateTime)
    {
        m_dm.reset();
        const CommandLine line = ParseCommandLine(QStringList{"--batch", "--dm", m_file} + arguments);
        EXPECT_EQ(line.mode, CommandLine::Mode::Batch) << line.error.toStdString();
        auto dm = std::make_shared<LocalDm>(Installation::load(m_file));
        dm->faults() = FaultPlan::parse(faults);
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return RunBatch(line,
                        {m_dir.filePath("bin/korvel"),
                         m_dir.filePath("settings"),
                         {m_file, databases(), ServerMoveLocks(Installation::load(m_file))}},
                        std::make_unique<LocalDmFactory>(dm, [dm] { return std::make_shared<LocalSql>(dm); }),
                        {outStream, errStream, {}}, std::move(clock));
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList databases() const { return Installation::load(m_file).databaseFiles(); }

    // The top-level folders of a library: those no folder of any library holds.
    QList<std::pair<int, QString>> topFolders(const QString &library)
    {
        QList<std::pair<int, QString>> folders;
        static const QRegularExpression top(R"re(^  F #(\d+) (\S+) "(.*)"$)re");
        for (const QString &line : LibraryCheck(dm()).folderTree(library))
            if (const QRegularExpressionMatch m = top.match(line); m.hasMatch())
                folders.append({m.captured(1).toInt(), m.captured(3)});
        return folders;
    }
    // The documents filed anywhere in the trees of the library's folders of that name, as
    // "LIBRARY #number".
    QSet<QString> documentsUnder(const QString &library, const QString &name)
    {
        QSet<QString> documents;
        static const QRegularExpression document(R"(^\s*D #(\d+) (\S+) )");
        for (const QVariantList &row :
             db(library).query("SELECT P.DOCNUMBER FROM PROFILE P JOIN FOLDER F ON F.DOCNUMBER = P.DOCNUMBER "
                               "WHERE P.DOCNAME = ?1",
                               {name}))
            for (const QString &line : LibraryCheck(dm()).folderTree(library, row[0].toLongLong()))
                if (const QRegularExpressionMatch m = document.match(line); m.hasMatch())
                    documents.insert(m.captured(2) + " #" + m.captured(1));
        return documents;
    }
    bool isFolder(const QString &library, int number)
    {
        return db(library).scalar("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {number}).toInt() > 0;
    }
    QStringList violations() { return LibraryCheck(dm()).violations(); }
    // The library files' contents, or on a server every row of every table, to tell that nothing changed.
    QByteArray fingerprint()
    {
        m_dm.reset();
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (TestLibrariesOnServer()) {
            for (const QString &library : Libraries)
                for (const QString &table : LibraryTableNames())
                    for (const QVariantList &row :
                         db(library).query("SELECT * FROM " + table + " ORDER BY 1"))
                        for (const QVariant &value : row)
                            hash.addData(value.toString().toUtf8() + '\t');
            m_dm.reset();
            return hash.result();
        }
        for (const QString &library : Libraries) {
            QFile file(m_dir.filePath("demo/" + library.toLower() + ".db"));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            hash.addData(file.readAll());
        }
        return hash.result();
    }
    QString settingsDirectory() const { return m_dir.filePath("settings"); }

    QString out;
    QString err;

private:
    LocalDm &dm()
    {
        if (!m_dm)
            m_dm = std::make_unique<LocalDm>(Installation::load(m_file));
        return *m_dm;
    }

    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<LocalDm> m_dm;
};

} // namespace

// Every exit code of a batch run (a usage error, 2, never reaches a run), with what the run printed
// and, where nothing may change, the libraries unchanged.
TEST(BatchRunTest, ExitCodes)
{
    struct Case {
        const char *name;
        QStringList arguments;
        std::function<void(BatchDemo &)> plant;
        int code;        // the documented number itself, so that a wrong number in the table shows
        QString printed; // part of what the run printed
        bool changes;    // whether the libraries may change
    };
    std::unique_ptr<MoveLock> otherMove;
    const QList<Case> cases = {
        {"a folder moved",
         {"--yes", "move-folder", "corporate", "1001", "Archive"},
         {},
         0,
         "Information: Folder \"Projects\" moved to library ARCHIVE\n",
         true},
        {"an empty list",
         {"--yes", "move-library", "LEGAL", "CORPORATE"},
         [](BatchDemo &d) { d.db("LEGAL").exec("DELETE FROM SECURITY WHERE ACCESSRIGHTS = 255"); },
         0,
         "Information: 0 folder(s) migrated with 0 error(s).",
         false},
        {"a folder that fails",
         {"--yes", "move-category", "ARCHIVE", "shared", "CORPORATE"},
         [](BatchDemo &d) { d.faults = "save:1"; },
         1,
         "Information: 1 folder(s) migrated with 1 error(s).",
         true},
        {"a folder whose check keeps its tree, with the reason on standard error",
         {"--yes", "move-folder", "CORPORATE", "1015", "ARCHIVE"},
         {},
         1,
         " in library ARCHIVE does not give group DOCS_USERS the rights 63 that folder #1018 in library "
         "CORPORATE gives\n",
         true},
        {"a target without rights",
         {"--yes", "move-folder", "CORPORATE", "1001", "LEGAL"},
         {},
         3,
         "Error: JDOE does not have rights to manage folders in library LEGAL",
         false},
        {"a library that is none, and the message names those there are",
         {"--yes", "move-folder", "NOPE", "1001", "ARCHIVE"},
         {},
         3,
         "Error: The library NOPE is not a library of this DM installation (its libraries: CORPORATE, "
         "ARCHIVE, LEGAL) - nothing is moved",
         false},
        {"a target that is none",
         {"--yes", "move-category", "CORPORATE", "public", "NOPE"},
         {},
         3,
         "The target library NOPE is not a library of this DM installation (its libraries: CORPORATE, ",
         false},
        {"a document, not a folder",
         {"--yes", "move-folder", "CORPORATE", "1003", "ARCHIVE"},
         {},
         3,
         "Error: Document #1003 is not a folder of library CORPORATE - nothing is moved",
         false},
        {"another move running",
         {"--yes", "move-library", "CORPORATE", "ARCHIVE"},
         [&](BatchDemo &d) {
             otherMove =
                 std::make_unique<MoveLock>(d.databases(), ServerMoveLocks(Installation::load(d.file())));
             ASSERT_EQ(otherMove->acquire(MoveLock::Mode::Exclusive, "move-folder CORPORATE 1001 ARCHIVE"),
                       MoveLock::Outcome::Taken);
         },
         3,
         "Error: Another move is running on this DM installation (process ",
         false},
        {"answered No",
         {"move-folder", "CORPORATE", "1001", "ARCHIVE"},
         {},
         4,
         "Question: Are you ready to move folder \"Projects\" to library ARCHIVE? - answered No (answer Yes "
         "with --yes, or look first with --dry-run)\n",
         false},
        {"Ctrl+C before the first folder",
         {"--yes", "move-category", "CORPORATE", "public", "ARCHIVE"},
         [](BatchDemo &) { InterruptBatch(); },
         5,
         "Information: Task Canceled - the current folder stops at its next safe point and keeps its source; "
         "run the move again to finish it.\n"
         "Information: 0 folder(s) migrated with 0 error(s). Task Canceled - 3 folder(s) not moved.",
         false},
        {"a preview",
         {"--dry-run", "move-folder", "CORPORATE", "1001", "ARCHIVE"},
         {},
         0,
         "Folder #1001 \"Projects\" of library CORPORATE to library ARCHIVE\n",
         false},
        {"a preview of a folder whose check would keep its tree",
         {"--dry-run", "move-folder", "CORPORATE", "1015", "ARCHIVE"},
         {},
         1,
         "hazard(s); nothing was changed. Verdict: 1 folder(s) would fail (exit 1).\n",
         false},
        {"a preview into a target without rights",
         {"--dry-run", "move-folder", "CORPORATE", "1001", "LEGAL"},
         {},
         3,
         "Error: JDOE does not have rights to manage folders in library LEGAL\n"
         "Warning: The library setting Unique Document Names is enabled. This will require you to have "
         "unique folder names in order to use Korvel in library LEGAL.\n"
         "Folder #1001 \"Projects\" of library CORPORATE to library LEGAL\n",
         false},
        {"a preview of a library into itself",
         {"--dry-run", "move-library", "ARCHIVE", "archive"},
         {},
         3,
         "Error: The target library ARCHIVE is the library the folders are in - choose another target "
         "library\n"
         "0 folder(s) and 0 item(s) previewed with 1 hazard(s); nothing was changed. Verdict: the move would "
         "be refused (exit 3).",
         false},
        {"no universal access",
         {"--yes", "move-folder", "CORPORATE", "1001", "ARCHIVE"},
         [](BatchDemo &d) { d.db("CORPORATE").exec("UPDATE GROUPS SET UNIV_ACCESS = 0"); },
         6,
         "Error: You are not a member of any groups with Universal Access = 255.",
         false},
        {"a library file that is not a database",
         {"--yes", "move-folder", "CORPORATE", "1001", "ARCHIVE"},
         [](BatchDemo &d) {
             QFile file(QFileInfo(d.file()).absolutePath() + "/corporate.db");
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("not a database");
         },
         6,
         "Error: Unable to start the DM",
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (TestLibrariesOnServer() && QString(c.name).startsWith("a library"))
            continue;
        BatchDemo demo;
        otherMove.reset();
        if (c.plant)
            c.plant(demo);
        const QByteArray before = demo.fingerprint();
        EXPECT_EQ(demo.run(c.arguments), c.code) << demo.err.toStdString();
        // A preview's list goes to standard output, every message to standard error.
        const QString &printed = c.arguments.contains("--dry-run") ? demo.out : demo.err;
        EXPECT_TRUE(printed.contains(c.printed)) << printed.toStdString();
        if (!c.changes) {
            EXPECT_EQ(demo.fingerprint(), before);
        } else {
            EXPECT_EQ(demo.violations(), QStringList{});
        }
        // A batch run never writes what a window saves.
        for (const QFileInfo &file : QDir(demo.settingsDirectory()).entryInfoList(QDir::Files)) {
            QFile settings(file.filePath());
            ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(settings.readAll());
            for (const char *key : {"TargetLibrary", "Screen.", "CheckLogMethod", "DisplayErrors"})
                EXPECT_FALSE(text.contains(key)) << text.toStdString();
        }
    }
}

// A category offers exactly the folders the user may open that lie in it: a public folder is no
// Shared/Personal one.
TEST(BatchRunTest, ACategoryOffersTheFoldersTheUserMayOpenAndNoPublicFolderAsShared)
{
    // Human Resources (#1023) and Old Drafts have no trustees and default rights off, Zürich Office
    // (#1032) has the row for everyone, Board Minutes and Retention Holds name only others.
    const QString other = "(SELECT MAX(SYSTEM_ID) FROM PEOPLE WHERE USER_ID <> 'JDOE')";
    struct Case {
        const char *name;
        QString library;
        const char *category;
        QString plant; // SQL run on the library first
        QStringList offered;
    };
    const QList<Case> cases = {
        {"public folders as the demo has them", "CORPORATE", "public", {},
         {"Finance", "Human Resources", "Projects"}},
        {"shared folders as the demo has them", "CORPORATE", "shared", {},
         {"Réunions d'équipe", "Scanned Mail", "Zürich Office"}},
        {"a shared folder without trustees", "ARCHIVE", "shared", {}, {"Old Drafts", "Scans"}},
        {"public folders of a library without the user's rights", "LEGAL", "public", {}, {"Litigation"}},
        {"default rights on without trustees", "CORPORATE", "public",
         "UPDATE PROFILE SET DEFAULT_RIGHTS = 1 WHERE DOCNUMBER = 1023", {"Finance", "Projects"}},
        {"default rights off with a trustee who is someone else", "CORPORATE", "public",
         "INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) SELECT SYSTEM_ID, " + other +
             ", 255 FROM PROFILE WHERE DOCNUMBER = 1023",
         {"Finance", "Projects"}},
        {"the row for everyone without rights", "CORPORATE", "shared",
         "UPDATE SECURITY SET ACCESSRIGHTS = 0 WHERE PERSONORGROUP = 0 AND THING = (SELECT SYSTEM_ID FROM "
         "PROFILE WHERE DOCNUMBER = 1032)",
         {"Réunions d'équipe", "Scanned Mail"}},
        {"the row for everyone on a public folder", "CORPORATE", "public",
         "INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) SELECT SYSTEM_ID, 0, 63 FROM PROFILE "
         "WHERE DOCNAME = 'Board Minutes'",
         {"Board Minutes", "Finance", "Human Resources", "Projects"}},
    };
    static const QRegularExpression listed(R"re(^Folder #\d+ "(.*)" of library \S+ to library)re",
                                           QRegularExpression::MultilineOption);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BatchDemo demo;
        if (!c.plant.isEmpty())
            demo.db(c.library).exec(c.plant);
        demo.run({"--dry-run", "move-category", c.library, c.category,
                  c.library == "CORPORATE" ? "ARCHIVE" : "CORPORATE"});
        QStringList offered;
        for (const QRegularExpressionMatch &m : listed.globalMatch(demo.out))
            offered << m.captured(1);
        EXPECT_EQ(offered, c.offered) << demo.out.toStdString() << demo.err.toStdString();
    }
}

// A batch move prints where its report is: the file --report names, else a new file beside the log. The
// report names the moved folder's removal.
// A library whose database does not open is reported as that, naming the library, its file and the cause,
// as the target, the source, or the current library whose failure stops the start.
TEST(BatchRunTest, ALibraryThatDoesNotOpenIsReportedWithItsFileAndTheCause)
{
    if (TestLibrariesOnServer())
        GTEST_SKIP() << "breaks library files in ways only a file can break";
    const std::pair<const char *, std::function<bool(QFile &)>> breakages[] = {
        {"No such file or directory", [](QFile &) { return true; }},
        {"Is a directory", [](QFile &file) { return QDir().mkdir(file.fileName()); }},
        {"is not a library database", [](QFile &file) { return QFile::link("/dev/null", file.fileName()); }},
        {"Too many levels of symbolic links", [](QFile &file) { return file.link(file.fileName()); }},
        {"file is not a database", [](QFile &file) {
             return file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) > 0;
         }}};
    const std::tuple<QString, QString, int> roles[] = {{"ARCHIVE", "CORPORATE", ExitRefused},
                                                       {"LEGAL", "LEGAL", ExitRefused},
                                                       {"CORPORATE", "LEGAL", ExitStartupFailed}};
    for (const auto &[cause, breakIt] : breakages)
        for (const auto &[library, source, code] : roles) {
            SCOPED_TRACE(cause + (" in " + library).toStdString());
            BatchDemo demo;
            QFile file(demo.path("demo/" + library.toLower() + ".db"));
            ASSERT_TRUE(file.remove() && breakIt(file));
            file.close();
            EXPECT_EQ(demo.run({"--yes", "move-folder", source, "1001", "ARCHIVE"}), code);
            EXPECT_TRUE(demo.err.contains("Library " + library + ": ") &&
                        demo.err.contains(file.fileName()) && demo.err.contains(cause))
                << demo.err.toStdString();
        }
}

TEST(BatchRunTest, PrintsWhereTheReportIs)
{
    for (const bool named : {true, false}) {
        SCOPED_TRACE(named ? "--report" : "beside the log");
        BatchDemo demo;
        const QString file = QFileInfo(demo.file()).absolutePath() + "/moves.csv";
        EXPECT_EQ(demo.run(QStringList{"--yes", "move-folder", "CORPORATE", "1001", "ARCHIVE"} +
                           (named ? QStringList{"--report", file} : QStringList{})),
                  ExitDone)
            << demo.err.toStdString();
        static const QRegularExpression printed("^Report: (.*)$", QRegularExpression::MultilineOption);
        const QString report = printed.match(demo.err).captured(1);
        if (named)
            EXPECT_EQ(report, file);
        else
            EXPECT_EQ(QFileInfo(report).dir().entryList({"*.LOG"}).size(), 1) << report.toStdString();
        QFile csv(report);
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << report.toStdString();
        const QString text = QString::fromUtf8(csv.readAll());
        EXPECT_TRUE(text.startsWith("Source library,Source number,Name,")) << text.toStdString();
        EXPECT_TRUE(text.contains("\r\nCORPORATE,1001,Projects,folder,ARCHIVE,")) << text.toStdString();
        EXPECT_TRUE(text.contains(",removed,ok\r\n")) << text.toStdString();
    }
}

// Where to look next: the report's path once, the log's path last, and for a number that is not a folder
// the command that lists the folders and what the log of earlier runs says of the number.
TEST(BatchRunTest, SaysWhereToLookNext)
{
    const auto day = [] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); };
    const QString tree =
        "  korvel-dm tree --dm %1 CORPORATE lists the folders of the library; the log shows ";
    // A run before (or none), the run, and a line it prints once.
    const QList<std::tuple<QString, QString, QString>> cases = {
        {"", "--yes --report %2 move-folder CORPORATE 1015 ARCHIVE", "Report: %2"},
        {"", "--dry-run --report %2 move-folder CORPORATE 1001 ARCHIVE", "Report: %2"},
        {"", "--yes move-folder CORPORATE 1017 ARCHIVE",
         tree + "no move of folder #1017 from library CORPORATE."},
        {"--yes move-folder CORPORATE 1001 ARCHIVE", "--yes move-folder corporate 1001 ARCHIVE",
         tree + "folder #1001 moved to library ARCHIVE on 2026-03-05."},
    };
    for (const auto &[before, arguments, line] : cases) {
        SCOPED_TRACE(arguments.toStdString());
        BatchDemo demo;
        // The hint reads every day's log; the logs other tests of this process wrote today must not count.
        const QByteArray data = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", demo.path("data").toUtf8());
        const auto restore = qScopeGuard([&data] { qputenv("XDG_DATA_HOME", data); });
        const QString report = demo.path("r.csv");
        if (!before.isEmpty())
            demo.run(before.split(' '), day);
        demo.run(QString(arguments).replace("%2", report).split(' '), day);
        const QStringList lines = demo.err.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.count(QString(line).replace("%1", demo.file()).replace("%2", report)), 1)
            << demo.err.toStdString();
        EXPECT_EQ(demo.err.count(report), line.contains("%2") ? 1 : 0) << demo.err.toStdString();
        ASSERT_TRUE(lines.last().startsWith("Log: ")) << demo.err.toStdString();
        EXPECT_TRUE(lines.last().endsWith("_20260305.LOG") && QFileInfo(lines.last().mid(5)).isFile());
    }
}

// On a fresh demo, every top-level folder of every library moves to each other library where the user
// holds the folder rights, with every document of its tree filed in the new tree and nothing left
// for the library check; the library without the rights refuses each with nothing changed.
TEST(BatchRunTest, EveryDemoFolderMovesWhereTheUserHoldsTheRights)
{
    std::map<QString, QList<std::pair<int, QString>>> folders;
    {
        BatchDemo demo;
        for (const QString &library : Libraries)
            folders[library] = demo.topFolders(library);
        ASSERT_GE(folders["CORPORATE"].size(), 8);
        ASSERT_GE(folders["LEGAL"].size(), 3);
    }
    int moves = 0;
    qsizetype documentsFollowed = 0;
    for (const QString &source : Libraries) {
        for (const auto &[number, name] : folders[source]) {
            for (const QString &target : Libraries) {
                if (target == source)
                    continue;
                SCOPED_TRACE((name + " of " + source + " to " + target).toStdString());
                BatchDemo demo;
                const QSet<QString> documents = demo.documentsUnder(source, name);
                const QByteArray before = demo.fingerprint();
                const int code =
                    demo.run({"--yes", "move-folder", source, QString::number(number), target.toLower()});
                if (target == "LEGAL") {
                    EXPECT_EQ(code, ExitRefused) << demo.err.toStdString();
                    EXPECT_EQ(demo.fingerprint(), before);
                    continue;
                }
                EXPECT_TRUE(demo.documentsUnder(target, name).contains(documents));
                EXPECT_EQ(demo.violations(), QStringList{});
                // Its case twins "Budget" and "BUDGET" become one folder in the target, which cannot give
                // both their different access: the check before removal keeps the source.
                if (name == "Finance") {
                    EXPECT_EQ(code, ExitFailed) << demo.err.toStdString();
                    EXPECT_TRUE(demo.isFolder(source, number));
                    EXPECT_EQ(demo.documentsUnder(source, name), documents);
                    continue;
                }
                ++moves;
                EXPECT_EQ(code, ExitDone) << demo.err.toStdString();
                EXPECT_FALSE(demo.isFolder(source, number));
                documentsFollowed += documents.size();
            }
        }
    }
    EXPECT_GE(moves, 15);
    EXPECT_GE(documentsFollowed, 30);
}

// A preview of every top-level folder of the demo into each other library changes no library file, and
// its lists name what the demo plants: the folder of two parents, the documents of other libraries, the
// sibling folders whose names differ in letter case and the library where the user lacks the rights.
TEST(BatchRunTest, EveryDemoFolderPreviewsWithNothingChanged)
{
    BatchDemo demo;
    std::map<QString, QList<std::pair<int, QString>>> folders;
    for (const QString &library : Libraries)
        folders[library] = demo.topFolders(library);
    const QByteArray before = demo.fingerprint();
    QString lists;
    int previews = 0;
    for (const QString &source : Libraries)
        for (const auto &[number, name] : folders[source])
            for (const QString &target : Libraries) {
                if (target == source)
                    continue;
                SCOPED_TRACE((name + " of " + source + " to " + target).toStdString());
                const int code =
                    demo.run({"--dry-run", "move-folder", source, QString::number(number), target});
                // The case twins of "Finance" would keep its tree (see above).
                EXPECT_EQ(code, target == "LEGAL"   ? ExitRefused
                                : name == "Finance" ? ExitFailed
                                                    : ExitDone)
                    << demo.out.toStdString();
                EXPECT_TRUE(demo.out.contains("; nothing was changed.")) << demo.out.toStdString();
                lists += demo.out;
                ++previews;
            }
    EXPECT_EQ(demo.fingerprint(), before);
    EXPECT_GE(previews, 30);
    for (const QString planted :
         {"Folder #1013 \"Shared Templates\" of library CORPORATE\n      Made as folder",
          "Warning: It is also filed outside the moved tree: it stays in library CORPORATE as well",
          "Warning: Document #1011 lives in a third library, LEGAL: it stays there and is linked from "
          "library ARCHIVE",
          "Warning: Document #1500 lives in a third library, ARCHIVE: it stays there and is linked from "
          "library "
          "CORPORATE",
          "differ only in letter case: they become one folder in library ARCHIVE",
          "Error: JDOE does not have rights to manage folders in library LEGAL"})
        EXPECT_TRUE(lists.contains(planted)) << planted.toStdString();
}

// A --report file that may not be written is refused before the lock or any question, naming the path,
// with every library unchanged; a report this program wrote is replaced, so that the same command runs
// again.
TEST(BatchRunTest, RefusesAReportFileThatMayNotBeWritten)
{
    struct Case {
        const char *name;
        std::function<QString(BatchDemo &)> plant; // the report's path
        QString refusal;                           // empty: the move goes on
    };
    const auto made = [](const QString &path, const QByteArray &text) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        return path;
    };
    const QList<Case> cases = {
        {"a directory that does not exist", [](BatchDemo &d) { return d.path("missing/r.csv"); },
         "does not exist"},
        {"a directory", [](BatchDemo &d) { return d.path("bin"); }, "it is a directory"},
        {"a FIFO",
         [](BatchDemo &d) {
             EXPECT_EQ(mkfifo(QFile::encodeName(d.path("fifo")).constData(), 0600), 0);
             return d.path("fifo");
         },
         "not a plain file"},
        {"a device", [](BatchDemo &) { return QString("/dev/null"); }, "not a plain file"},
        {"a symbolic link to a report",
         [](BatchDemo &d) {
             QFile report(d.path("old.csv"));
             EXPECT_TRUE(report.open(QIODevice::WriteOnly));
             report.write(MoveReportHeader().toUtf8() + "\r\n");
             report.close();
             EXPECT_TRUE(QFile::link(d.path("old.csv"), d.path("link.csv")));
             return d.path("link.csv");
         },
         "symbolic link"},
        {"a library database",
         [](BatchDemo &d) { return QFileInfo(d.file()).absolutePath() + "/corporate.db"; },
         "it is the library database"},
        {"a library's log", [](BatchDemo &d) { return d.path("demo/archive.db-wal"); }, "write-ahead"},
        {"a library's index", [](BatchDemo &d) { return d.path("demo/archive.db-shm"); }, "shared-memory"},
        {"a library's journal", [](BatchDemo &d) { return d.path("demo/corporate.db-journal"); }, "rollback"},
        {"a report of an earlier move",
         [](BatchDemo &d) {
             QFile report(d.path("old.csv"));
             EXPECT_TRUE(report.open(QIODevice::WriteOnly));
             report.write(MoveReportHeader().toUtf8() + "\r\nLEGAL,7,Old,folder,ARCHIVE,,removed,ok\r\n");
             return d.path("old.csv");
         },
         {}},
        {"an empty file made beforehand", [&](BatchDemo &d) { return made(d.path("made.csv"), ""); }, {}},
        {"a file that is not a report", [&](BatchDemo &d) { return made(d.path("notes.csv"), "\n"); },
         "is not a"},
        {"a library's journal, empty",
         [&](BatchDemo &d) { return made(d.path("demo/corporate.db-journal"), ""); }, "rollback"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (TestLibrariesOnServer() && QString(c.name).startsWith("a library"))
            continue;
        BatchDemo demo;
        const QString report = c.plant(demo);
        const QByteArray before = demo.fingerprint();
        const int code =
            demo.run({"--yes", "--report", report, "move-folder", "CORPORATE", "1001", "ARCHIVE"});
        if (c.refusal.isEmpty()) {
            EXPECT_EQ(code, ExitDone) << demo.err.toStdString();
            QFile written(report);
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(written.readAll());
            EXPECT_TRUE(text.contains("\r\nCORPORATE,1001,Projects,folder,ARCHIVE,")) << text.toStdString();
            EXPECT_FALSE(text.contains("LEGAL,7,Old")) << text.toStdString();
            continue;
        }
        EXPECT_EQ(code, 2); // the documented usage error
        EXPECT_TRUE(demo.err.startsWith("korvel: --report " + report + ": ")) << demo.err.toStdString();
        EXPECT_TRUE(demo.err.contains(c.refusal)) << demo.err.toStdString();
        EXPECT_EQ(demo.fingerprint(), before);
        for (const QString &database : demo.databases())
            EXPECT_FALSE(QFileInfo::exists(MoveLock::lockFileOf(database)));
    }
}

// A preview with --report writes its plan in the report's columns: the planned action, and the hazard
// where one was met.
TEST(BatchRunTest, APreviewReportsItsPlan)
{
    BatchDemo demo;
    const QString report = demo.path("plan.csv");
    EXPECT_EQ(demo.run({"--dry-run", "--report", report, "move-folder", "CORPORATE", "1015", "ARCHIVE"}),
              ExitFailed)
        << demo.err.toStdString();
    QFile written(report);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(written.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 4);
    EXPECT_EQ(rows[0], MoveReportHeader());
    EXPECT_TRUE(rows.contains("CORPORATE,1015,Finance,folder,ARCHIVE,,created,"))
        << rows.join('\n').toStdString();
    EXPECT_EQ(rows.filter(QRegularExpression(
                              ",folder,ARCHIVE,,reused,\".*Error: The new folder \"\"Budget\"\" does "
                              "not give group DOCS_USERS the rights 63 "))
                  .size(),
              1)
        << rows.join('\n').toStdString();
    EXPECT_FALSE(rows.filter(",document,ARCHIVE,,linked,").isEmpty()) << rows.join('\n').toStdString();
    EXPECT_TRUE(demo.err.contains("Report: " + report)) << demo.err.toStdString();
}

// SIGINT, SIGTERM and SIGHUP each cancel the move: the signal is acknowledged on standard error at once and
// the move stops at its next safe point, here before its first folder.
TEST(BatchRunTest, ASignalCancelsTheMove)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        BatchDemo demo;
        const QByteArray before = demo.fingerprint();
        // The handler writes to the process's own standard error, which is caught in a file meanwhile.
        QTemporaryFile caught;
        ASSERT_TRUE(caught.open());
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        dup2(caught.handle(), STDERR_FILENO);
        bool raised = false;
        const int code = demo.run({"--yes", "move-category", "CORPORATE", "public", "ARCHIVE"}, [&] {
            if (!std::exchange(raised, true))
                std::raise(signal);
            return QDateTime::currentDateTime();
        });
        dup2(saved, STDERR_FILENO);
        close(saved);
        EXPECT_EQ(code, 5) << demo.err.toStdString();
        EXPECT_TRUE(demo.err.contains(CancelMessage())) << demo.err.toStdString();
        QFile acknowledged(caught.fileName());
        ASSERT_TRUE(acknowledged.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(acknowledged.readAll()),
                  "cancelling: the current folder stops at its next safe point; Ctrl+C again ends at once\n");
        EXPECT_EQ(demo.fingerprint(), before);
    }
}

// Twenty moves of one folder started together, through three paths to the same databases (the
// installation file, the same file through a symbolic link to its folder, and a second installation file
// naming the databases through that link): one moves the folder, every other exits 3, and the target
// holds one copy.
TEST(BatchRunTest, TwentyMovesAtOnceMoveOnce)
{
    BatchDemo demo;
    ASSERT_TRUE(QFile::link(QFileInfo(demo.file()).absolutePath(), demo.path("linked")));
    const QString linked = demo.path("linked/installation.ini");
    QDir().mkpath(demo.path("second"));
    Installation::load(linked).save(demo.path("second/installation.ini"));
    const QStringList files = {demo.file(), linked, demo.path("second/installation.ini")};
    const auto projects = [&demo] {
        return demo.db("ARCHIVE")
            .scalar("SELECT COUNT(*) FROM PROFILE P JOIN FOLDER F ON F.DOCNUMBER = P.DOCNUMBER "
                    "WHERE P.DOCNAME = 'Projects'")
            .toInt();
    };
    const int before = projects();
    std::vector<std::unique_ptr<QProcess>> moves;
    for (int i = 0; i < 20; ++i) {
        moves.push_back(std::make_unique<QProcess>());
        moves.back()->start(KORVEL_PROGRAM, {"--batch", "--dm", files[i % files.size()], "--yes",
                                             "--log-quiet", "move-folder", "CORPORATE", "1001", "ARCHIVE"});
    }
    QList<int> codes;
    for (const std::unique_ptr<QProcess> &move : moves) {
        ASSERT_TRUE(move->waitForFinished(300000));
        codes << move->exitCode();
        if (move->exitCode() != ExitDone) {
            EXPECT_EQ(move->exitCode(), ExitRefused) << move->readAllStandardError().toStdString();
        }
    }
    EXPECT_EQ(codes.count(ExitDone), 1);
    EXPECT_EQ(projects(), before + 1);
    EXPECT_EQ(demo.violations(), QStringList{});
}
