#include "createfixture.h"
#include "support/testbackend.h"

#include "dm/connectlibrary.h"
#include "localdm/store/servermovelock.h"
#include "migrate/movecommands.h"
#include "migrate/movelock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <functional>

namespace {

// The session of CreateFixture, started in every library and back in LIB_SQL, with the move flags
// and the lock file of a move command.
class CommandWorld : public CreateWorld {
public:
    CommandWorld()
    {
        startInEveryLibrary();
        // What the first connections told the user is behind the test.
        window.messages.clear();
        window.target = "LIB_SYB";
    }
    using CreateFixture::folderWith, CreateFixture::foldersNamed, CreateFixture::violations;
    using SessionFixture::builder, SessionFixture::dm, SessionFixture::session, SessionFixture::window;

    MoveCommand command() { return MoveCommand(*dm, flags, {installation(), databases(), serverLocks()}); }
    QString installation() const { return dir.filePath("installation.ini"); }
    QStringList databases() { return builder.installation().databaseFiles(); }
    QList<LibraryLockMaker> serverLocks() { return ServerMoveLocks(builder.installation()); }
    // No command holds the locks, and none left its details in them.
    bool locksFree()
    {
        MoveLock probe(databases(), serverLocks());
        return probe.acquire(MoveLock::Mode::Exclusive, "probe") == MoveLock::Outcome::Taken &&
               probe.interrupted().isEmpty();
    }
    QString current() const { return session.currentLibrary->name(); }
    QStringList lines() { return newLogLines(); }
    int folderCount(const QString &library)
    {
        return builder.db(library).scalar("SELECT COUNT(*) FROM FOLDER").toInt();
    }
    // A folder of the library with one document.
    int folder(const QString &library, const QString &name)
    {
        const int made = builder.addFolder(library, name);
        builder.link(library, made, library, builder.addDocument(library, name + " letter"));
        return made;
    }
    // The user holds all rights on the folder directly, as the library command's list asks.
    void own(const QString &library, int folder)
    {
        const qint64 user =
            builder.db(library).scalar("SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = 'JSMITH'").toLongLong();
        builder.addTrustee(library, folder, user, 255);
    }
    void revoke(const QString &library, const QString &right)
    {
        builder.db(library).exec("DELETE FROM DM_RIGHTS WHERE RIGHT_NAME = ?1", {right});
    }
    // What a click on Cancel does once the counter has come to the number given.
    void cancelAfter(MoveCounter counter, int count)
    {
        window.onEvents = [this, counter, count] {
            if (window.counter(counter) == QString::number(count) && flags.moveRunning &&
                !flags.cancelRequested) {
                flags.moveRunning = false;
                flags.cancelRequested = true;
            }
        };
    }
    QStringList texts() const
    {
        QStringList shown;
        for (const FakeWindow::Message &message : window.messages)
            shown << message.text;
        return shown;
    }

    MoveFlags flags;
    std::unique_ptr<MoveLock> otherMove;
};

using Command = std::function<MoveOutcome(MoveCommand &, const QString &source, int folder)>;

const Command oneFolder = [](MoveCommand &c, const QString &source, int folder) {
    return c.moveFolder(source, folder, "X");
};
const Command category = [](MoveCommand &c, const QString &source, int folder) {
    return c.moveFolders(source, "Shared/Personal", {{"X", folder}});
};
const Command library = [](MoveCommand &c, const QString &source, int) { return c.moveLibrary(source); };
const QList<Command> everyCommand = {oneFolder, category, library};

} // namespace

// Every refusal comes before any question, leaves every library and the window as they were, writes
// its "Error:" line, and frees the lock and the move flags; the commands it applies to are each run.
TEST(MoveCommandTest, RefusesBeforeAnyQuestion)
{
    struct Refusal {
        const char *name;
        std::function<void(CommandWorld &)> plant;
        QString source;
        QString target;
        std::function<int(CommandWorld &, int)> number; // the number moved, from the folder planted
        QString message; // the start of the warning; %1 stands for the number moved
        QList<Command> commands;
    };
    const auto same = [](CommandWorld &, int folder) { return folder; };
    const QList<Refusal> refusals = {
        {"no target", {}, "LIB_SQL", "", same, "Error: No target library is chosen", everyCommand},
        {"a target that is no library",
         {},
         "LIB_SQL",
         "LIB_NONE",
         same,
         "Error: The target library LIB_NONE is not a library of this DM installation",
         everyCommand},
        {"the source library itself, in other letters",
         {},
         "LIB_SQL",
         "lib_sql",
         same,
         "Error: The target library LIB_SQL is the library the folders are in",
         everyCommand},
        {"a source that is no library",
         {},
         "LIB_NONE",
         "LIB_SYB",
         same,
         "Error: The library LIB_NONE is not a library of this DM installation",
         everyCommand},
        {"no right to manage folders in the target",
         [](CommandWorld &w) { w.revoke("LIB_SYB", "User.ManageRootFolders"); }, "LIB_SQL", "LIB_SYB", same,
         "Error: JSMITH does not have rights to manage folders in library LIB_SYB", everyCommand},
        {"no right to create folders in the target",
         [](CommandWorld &w) { w.revoke("LIB_SYB", "User.CreateFolder"); }, "LIB_SQL", "lib_syb", same,
         "Error: JSMITH does not have rights to manage folders in library LIB_SYB", everyCommand},
        {"no right to save to other libraries",
         [](CommandWorld &w) { w.revoke("LIB_SQL", "User.SaveToRemoteLibrary"); }, "LIB_SQL", "LIB_SYB", same,
         "Error: JSMITH does not have rights to save folders to Remote libraries", everyCommand},
        {"another move holds the lock",
         [](CommandWorld &w) {
             w.otherMove = std::make_unique<MoveLock>(w.databases(), w.serverLocks());
             ASSERT_EQ(w.otherMove->acquire(MoveLock::Mode::Exclusive, "move-library LIB_ORA LIB_SYB"),
                       MoveLock::Outcome::Taken);
         },
         "LIB_SQL", "LIB_SYB", same,
         "Error: Another move is running on this DM installation (process " +
             QString::number(QCoreApplication::applicationPid()) + " of user ",
         everyCommand},
        {"a document, not a folder",
         {},
         "LIB_SQL",
         "LIB_SYB",
         [](CommandWorld &w, int) { return w.builder.addDocument("LIB_SQL", "Memo"); },
         "Error: Document #%1 is not a folder of library LIB_SQL",
         {oneFolder}},
        {"a folder of another library only",
         {},
         "lib_sql",
         "LIB_SYB",
         [](CommandWorld &w, int) {
             int made = 0;
             for (int i = 0; i < 4; ++i)
                 made = w.builder.addFolder("LIB_ORA", "Elsewhere");
             return made;
         },
         "Error: Document #%1 is not a folder of library LIB_SQL",
         {oneFolder}},
        {"no folder number",
         {},
         "LIB_SQL",
         "LIB_SYB",
         [](CommandWorld &, int) { return 0; },
         "Error: Folder Document # not identified for X",
         {oneFolder}},
    };
    for (const Refusal &refusal : refusals) {
        for (qsizetype c = 0; c < refusal.commands.size(); ++c) {
            SCOPED_TRACE(std::string(refusal.name) + ", command " + std::to_string(c));
            CommandWorld w;
            const int x = w.folder("LIB_SQL", "X");
            w.own("LIB_SQL", x);
            if (refusal.plant)
                refusal.plant(w);
            w.window.target = refusal.target;
            const int number = refusal.number(w, x);
            const int before = w.folderCount("LIB_SQL") + w.folderCount("LIB_SYB") + w.folderCount("LIB_ORA");
            MoveCommand command = w.command();
            const QString message =
                refusal.message.contains("%1") ? refusal.message.arg(number) : refusal.message;
            EXPECT_EQ(refusal.commands[c](command, refusal.source, number), MoveOutcome::Refused);
            ASSERT_EQ(w.window.messages.size(), 1u) << w.texts().join('\n').toStdString();
            EXPECT_EQ(w.window.messages[0].icon, MessageIcon::Warning);
            EXPECT_TRUE(w.window.messages[0].text.startsWith(message)) << w.texts()[0].toStdString();
            EXPECT_EQ(w.folderCount("LIB_SQL") + w.folderCount("LIB_SYB") + w.folderCount("LIB_ORA"), before);
            const QString logged = w.window.messages[0].text.mid(QString("Error: ").size());
            const QStringList lines = w.lines();
            EXPECT_TRUE(std::any_of(lines.cbegin(), lines.cend(), [&](const QString &line) {
                return line.startsWith("Error: (") && line.endsWith(logged);
            }));
            // One audit line says which command was refused and why.
            const QStringList audit = lines.filter(QRegularExpression("^Move: "));
            ASSERT_EQ(audit.size(), 1) << audit.join('\n').toStdString();
            EXPECT_TRUE(audit[0].contains(" refused move-")) << audit[0].toStdString();
            EXPECT_TRUE(audit[0].endsWith(": " + QString(logged).replace('\n', " - ")))
                << audit[0].toStdString();
            EXPECT_EQ(w.locksFree(), w.otherMove == nullptr);
            EXPECT_FALSE(w.flags.moveRunning);
            EXPECT_EQ(w.current(), "LIB_SQL");
            EXPECT_EQ(w.window.pointer, MousePointer::Default);
        }
    }
}

// The list commands: what they ask, how many they move, what they report and count, which rows they
// tell the tree about, and that a cancel stops them before the next folder. Every case ends with the
// flags, the progress, the lock and the current library as they were and nothing for the library
// check to find.
TEST(MoveCommandTest, ListCommandsCountAndReport)
{
    struct Case {
        const char *name;
        // Plants the folders and returns the command to run.
        std::function<std::function<MoveOutcome(MoveCommand &, const MoveCommand::RowMoved &)>(
            CommandWorld &)>
            plant;
        MessageAnswer answer;
        MoveOutcome outcome;
        QStringList texts; // the question, then the summary
        QList<qsizetype> moved;
        std::map<MoveCounter, QString> counters; // from stale ones of an earlier command
        QStringList audit;                       // part of each "Move:" line of the log
        std::function<void(CommandWorld &, const QStringList &log)> more = {};
    };
    const QString started = "started move-category LIB_SQL shared LIB_SYB by JSMITH, installation ";
    const QString ended = "ended move-category LIB_SQL shared LIB_SYB: ";
    const auto category = [](const QStringList &names) {
        return [names](CommandWorld &w) {
            QList<MoveListRow> rows;
            for (const QString &name : names)
                rows.append({name, name == "Memo"   ? w.builder.addDocument("LIB_SQL", name)
                                   : name.isEmpty() ? 0
                                                    : w.folder("LIB_SQL", name)});
            return [rows](MoveCommand &c, const MoveCommand::RowMoved &moved) {
                return c.moveFolders("lib_sql", "Shared/Personal", rows, moved);
            };
        };
    };
    const QList<Case> cases = {
        {"a category with a folder that fails and a row without number",
         category({"A", "Memo", "", "B"}),
         MessageAnswer::Yes,
         MoveOutcome::Failed,
         {"Are you ready to move 4 Shared/Personal folder(s) to library LIB_SYB?",
          "2 folder(s) migrated with 1 error(s).\n\nFirst reason: Document #1003 is not a folder of library "
          "LIB_SQL - "
          "cannot continue with this folder\n\nThe folder that failed is kept whole in library LIB_SQL. "
          "Library "
          "LIB_SYB holds nothing new of it. Running the same move again finishes it once the cause is "
          "mended."},
         {0, 3},
         {{MoveCounter::Total, "4"},
          {MoveCounter::Read, "2"},
          {MoveCounter::Added, "2"},
          {MoveCounter::Errors, "1"}},
         {started, ended + "failed - 2 moved, 1 error(s); report "},
         [](CommandWorld &w, const QStringList &) {
             QList<int> positions;
             for (const MoveProgress &p : w.window.progress) {
                 EXPECT_EQ(p.folders, 4);
                 if (positions.isEmpty() || positions.last() != p.folder)
                     positions << p.folder;
             }
             EXPECT_EQ(positions, (QList<int>{1, 2, 4}));
             EXPECT_EQ(w.foldersNamed("LIB_SQL", "A"), QList<int>{});
             EXPECT_EQ(w.foldersNamed("LIB_SYB", "B").size(), 1);
         }},
        {"subfolders whose names differ only in letter case: the plan's cause, then the symptom",
         [](CommandWorld &w) {
             const int x = w.folder("LIB_SQL", "X");
             w.builder.link("LIB_SQL", x, "LIB_SQL",
                            w.folderWith("LIB_SQL", "Budget", {1, {{"U:MDOE", 127}}}));
             w.builder.link("LIB_SQL", x, "LIB_SQL", w.folder("LIB_SQL", "BUDGET"));
             return [x](MoveCommand &c, const MoveCommand::RowMoved &) {
                 return c.moveFolders("LIB_SQL", "Shared/Personal", {{"X", x}});
             };
         },
         MessageAnswer::Yes,
         MoveOutcome::Failed,
         {"Are you ready to move 1 Shared/Personal folder(s) to library LIB_SYB?",
          "0 folder(s) migrated with 1 error(s).\n\nFirst reason: Folder #1004 \"BUDGET\" of library "
          "LIB_SQL: Its name and that of \"Budget\" differ only in letter case: they become one folder in "
          "library LIB_SYB\nWhat failed: Folder #1002 in library LIB_SYB is not open to every user as "
          "folder #1004 in library LIB_SQL is\n\nThe folder that failed is kept whole in library LIB_SQL. "
          "Library LIB_SYB now holds 2 folder(s) of its new tree, made or taken up by this move. Running "
          "the same move again finishes it once the cause is mended."},
         {},
         {{MoveCounter::Total, "1"},
          {MoveCounter::Read, "0"},
          {MoveCounter::Added, "0"},
          {MoveCounter::Errors, "1"}},
         {started, ended + "failed - 0 moved, 1 error(s); report "}},
        {"cancel while the second folder is linked",
         [category](CommandWorld &w) {
             w.window.onEvents = [&w] {
                 w.flags.cancelRequested |= w.window.counter(MoveCounter::Added) == "1" &&
                                            w.window.progress.back().phase == MovePhase::Linking;
             };
             return category({"A", "B", "C"})(w);
         },
         MessageAnswer::Yes,
         MoveOutcome::Cancelled,
         {"Are you ready to move 3 Shared/Personal folder(s) to library LIB_SYB?",
          "1 folder(s) migrated with 0 error(s). Task Canceled - 2 folder(s) not moved.\n\nEach folder not "
          "moved is kept whole in library LIB_SQL. Library LIB_SYB now holds 1 folder(s) of its new tree, "
          "made or taken up by this move. Running the same move again finishes it."},
         {0},
         {{MoveCounter::Total, "3"},
          {MoveCounter::Read, "1"},
          {MoveCounter::Added, "1"},
          {MoveCounter::Errors, "0"}},
         {started, ended + "cancelled - 1 moved, 0 error(s), 2 not moved; report "},
         [](CommandWorld &w, const QStringList &) {
             EXPECT_EQ(w.foldersNamed("LIB_SQL", "B").size(), 1);
             EXPECT_EQ(w.foldersNamed("LIB_SQL", "C").size(), 1);
             EXPECT_EQ(w.foldersNamed("LIB_SYB", "B").size(), 1);
         }},
        {"cancel after a folder failed: the list failed",
         [category](CommandWorld &w) {
             w.cancelAfter(MoveCounter::Errors, 1);
             return category({"Memo", "A"})(w);
         },
         MessageAnswer::Yes,
         MoveOutcome::Failed,
         {"Are you ready to move 2 Shared/Personal folder(s) to library LIB_SYB?",
          "0 folder(s) migrated with 1 error(s). Task Canceled - 1 folder(s) not moved.\n\nFirst reason: "
          "Document "
          "#1001 is not a folder of library LIB_SQL - cannot continue with this folder\n\nEach folder that "
          "failed or was not moved "
          "is kept whole in library LIB_SQL. Library LIB_SYB holds nothing new of it. Running the same move "
          "again "
          "finishes it once the cause is mended."},
         {},
         {{MoveCounter::Total, "2"},
          {MoveCounter::Read, "0"},
          {MoveCounter::Added, "0"},
          {MoveCounter::Errors, "1"}},
         {started, ended + "failed - 0 moved, 1 error(s), 1 not moved; report "}},
        {"a session the user ended after the first folder",
         [category](CommandWorld &w) {
             w.window.onEvents = [&w] {
                 if (w.window.counter(MoveCounter::Added) == "1")
                     w.session.application.reset();
             };
             return category({"A", "B"})(w);
         },
         MessageAnswer::Yes,
         MoveOutcome::Cancelled,
         {"Are you ready to move 2 Shared/Personal folder(s) to library LIB_SYB?",
          "1 folder(s) migrated with 0 error(s). Task Canceled - 1 folder(s) not moved.\n\nThe folder not "
          "moved "
          "is kept whole in library LIB_SQL. Library LIB_SYB holds nothing new of it. Running the same move "
          "again finishes it."},
         {0},
         {{MoveCounter::Total, "2"},
          {MoveCounter::Read, "1"},
          {MoveCounter::Added, "1"},
          {MoveCounter::Errors, "0"}},
         {started, ended + "cancelled - 1 moved, 0 error(s), 1 not moved; report "},
         // Nothing opened a new session to reconnect.
         [](CommandWorld &w, const QStringList &) { EXPECT_FALSE(w.session.application); }},
        {"answered No",
         category({"A"}),
         MessageAnswer::No,
         MoveOutcome::Declined,
         {"Are you ready to move 1 Shared/Personal folder(s) to library LIB_SYB?"},
         {},
         {{MoveCounter::Read, "7"}},
         {},
         [](CommandWorld &w, const QStringList &) { EXPECT_EQ(w.foldersNamed("LIB_SQL", "A").size(), 1); }},
        {"an empty category",
         category({}),
         MessageAnswer::Yes,
         MoveOutcome::Done,
         {"Are you ready to move 0 Shared/Personal folder(s) to library LIB_SYB?",
          "0 folder(s) migrated with 0 error(s)."},
         {},
         {{MoveCounter::Total, "0"},
          {MoveCounter::Read, "0"},
          {MoveCounter::Added, "0"},
          {MoveCounter::Errors, "0"}},
         {started, ended + "done - 0 moved, 0 error(s); report "}},
        {"the library command reads its list in its own library and moves it last first",
         [](CommandWorld &w) {
             // LIB_SQL, the current library, holds folders of the same numbers that the user owns too.
             for (const QString name : {"Sql one", "Sql two", "Sql three"})
                 w.own("LIB_SQL", w.folder("LIB_SQL", name));
             const int alpha = w.folder("LIB_ORA", "Alpha");
             const int beta = w.folder("LIB_ORA", "Beta");
             const int inside = w.folder("LIB_ORA", "Inside");
             w.builder.link("LIB_ORA", alpha, "LIB_ORA", inside);
             // LIB_SQL's item of Beta's number filed in LIB_ORA does not make Beta anyone's item.
             w.builder.link("LIB_ORA", w.folder("LIB_ORA", "Not owned"), "LIB_SQL", beta);
             for (const int folder : {alpha, beta, inside})
                 w.own("LIB_ORA", folder);
             return [](MoveCommand &c, const MoveCommand::RowMoved &) { return c.moveLibrary("LIB_ORA"); };
         },
         MessageAnswer::Yes,
         MoveOutcome::Done,
         {"Are you ready to move 2 folder(s) from library LIB_ORA to library LIB_SYB?",
          "2 folder(s) migrated with 0 error(s)."},
         {},
         {{MoveCounter::Total, "2"},
          {MoveCounter::Read, "2"},
          {MoveCounter::Added, "2"},
          {MoveCounter::Errors, "0"}},
         {"started move-library LIB_ORA LIB_SYB by JSMITH, installation ",
          "ended move-library LIB_ORA LIB_SYB: done - 2 moved, 0 error(s); report "},
         [](CommandWorld &w, const QStringList &log) {
             QStringList moved;
             for (const QString &line : log)
                 if (line.contains("successfully moved from library"))
                     moved << line.section('"', 1, 1);
             // Last first of the list as read; a server reads a list without ORDER BY in an order of its own.
             if (!TestLibrariesOnServer()) {
                 EXPECT_EQ(moved, (QStringList{"Beta", "Alpha"}));
             }
             EXPECT_EQ(QSet<QString>(moved.cbegin(), moved.cend()), (QSet<QString>{"Alpha", "Beta"}));
             EXPECT_EQ(w.folderCount("LIB_SQL"), 3);
             EXPECT_EQ(w.foldersNamed("LIB_ORA", "Not owned").size(), 1);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CommandWorld w;
        const auto run = c.plant(w);
        w.window.scriptAnswers({c.answer});
        QList<qsizetype> moved;
        w.window.setCounter(MoveCounter::Read, "7");
        MoveCommand command = w.command();
        EXPECT_EQ(run(command, [&](qsizetype row) { moved << row; }), c.outcome);
        // The report's path is a temporary one; its line follows every failure.
        QStringList texts = w.texts();
        for (QString &text : texts)
            if (const qsizetype report = text.indexOf("\nThe report of this move lists"); report >= 0)
                text.truncate(report);
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(moved, c.moved);
        EXPECT_EQ(w.window.counters, c.counters);
        const QStringList log = w.lines();
        const QStringList audit = log.filter(QRegularExpression("^Move: "));
        ASSERT_EQ(audit.size(), c.audit.size()) << audit.join('\n').toStdString();
        for (qsizetype i = 0; i < audit.size(); ++i)
            EXPECT_TRUE(audit[i].contains(c.audit[i])) << audit[i].toStdString();
        if (!audit.isEmpty()) {
            EXPECT_TRUE(audit[0].contains(QDir::toNativeSeparators(w.installation()) + ", "))
                << audit[0].toStdString();
        }
        if (c.more)
            c.more(w, log);
        EXPECT_EQ(w.window.moveRunning, (std::vector<bool>{true, false}));
        EXPECT_EQ(w.window.progressHidden, 1);
        EXPECT_FALSE(w.flags.moveRunning);
        EXPECT_TRUE(w.locksFree());
        EXPECT_EQ(w.current(), "LIB_SQL");
        EXPECT_EQ(w.violations(), QStringList{});
    }
}

// A move whose server lock went with its session stops at the next safe point (before a folder is made, a
// link, the removal): source whole, an "Error:" naming library and server; the next run finishes it.
TEST(MoveCommandTest, AMoveThatLostItsServerLockStopsThereAndTheNextRunFinishesIt)
{
    if (!TestLibrariesOnServer())
        GTEST_SKIP() << "a lock file is held as long as the process is";
    for (const MovePhase phase : {MovePhase::Walking, MovePhase::Linking, MovePhase::Checking}) {
        SCOPED_TRACE(int(phase));
        CommandWorld w;
        const QList<MoveListRow> rows = {{"A", w.folder("LIB_SQL", "A")}, {"B", w.folder("LIB_SQL", "B")}};
        w.builder.link("LIB_SQL", rows[0].docNumber, "LIB_SQL", w.folder("LIB_SQL", "Inside"));
        const int folders = w.folderCount("LIB_SQL");
        w.window.onEvents = [&w, phase, ended = false]() mutable {
            if (!ended && w.flags.moveRunning && !w.window.progress.empty() &&
                w.window.progress.back().phase == phase)
                ended = w.builder.db("LIB_SYB")
                            .scalar("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                    "WHERE application_name = ?1 AND datname = current_database()",
                                    {ServerMoveLock::ApplicationName.toString()})
                            .toBool();
        };
        w.window.scriptAnswers({MessageAnswer::Yes, MessageAnswer::Yes});
        EXPECT_EQ(w.command().moveFolders("LIB_SQL", "Shared/Personal", rows, {}), MoveOutcome::Failed);
        EXPECT_TRUE(w.lines()
                        .filter(QRegularExpression("^Error: "))
                        .value(0)
                        .contains(QRegularExpression(
                            "Library LIB_SYB \\(host .*, database .*\\): the move lock was lost: ")));
        EXPECT_EQ(w.folderCount("LIB_SQL"), folders);
        EXPECT_EQ(w.violations(), QStringList{});
        EXPECT_EQ(w.command().moveFolders("LIB_SQL", "Shared/Personal", rows, {}), MoveOutcome::Done);
        for (const QString name : {"A", "B", "Inside"})
            EXPECT_EQ(w.foldersNamed("LIB_SYB", name).size(), 1);
        EXPECT_EQ(w.violations(), QStringList{});
    }
}
