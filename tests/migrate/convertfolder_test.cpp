#include "createfixture.h"
#include "support/testbackend.h"

#include "localdm/tools/librarycheck.h"
#include "migrate/convertfolder.h"
#include "migrate/sortfolders.h"

#include <QFile>
#include <QRegularExpression>

#include <functional>

#include <unistd.h>

namespace {

// One installation per case: the session of CreateFixture, started in every library.
class ConvertWorld : public CreateWorld {
public:
    // Failures planted are counted from the start of the session.
    explicit ConvertWorld(const QString &faults = {})
    {
        plant(faults);
        startInEveryLibrary();
    }
    using CreateFixture::accessOf, CreateFixture::doc, CreateFixture::folder, CreateFixture::folderWith,
        CreateFixture::foldersNamed, CreateFixture::problems, CreateFixture::violations;
    using SessionFixture::builder, SessionFixture::dm, SessionFixture::session, SessionFixture::window;

    // The tree below a folder as the library check shows it, on one line: document numbers left out, a
    // ">" for each level below the folder and " | " between nodes.
    QString tree(const QString &library, int folder)
    {
        QStringList lines = LibraryCheck(*localDm).folderTree(library, folder);
        for (QString &line : lines) {
            const qsizetype indent = line.size() - line.trimmed().size();
            line = QString(indent / 2, u'>') + line.trimmed().remove(QRegularExpression(" #\\d+"));
        }
        return lines.join(" | ");
    }
    bool exists(const QString &library, int folder)
    {
        return builder.db(library)
                   .scalar("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {folder})
                   .toInt() > 0;
    }
    int folderCount(const QString &library)
    {
        return builder.db(library).scalar("SELECT COUNT(*) FROM FOLDER").toInt();
    }
    bool filedAnywhere(const QString &library, int document)
    {
        for (const QString in : {"LIB_SQL", "LIB_ORA", "LIB_SYB"})
            if (builder.db(in)
                    .scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE DOCNUMBER = ?1 AND LIBRARY = ?2",
                            {document, builder.remoteId(in, library)})
                    .toInt() > 0)
                return true;
        return false;
    }
    QStringList lines() { return newLogLines(); }
    void plantNow(const QString &faults) { localDm->faults() = FaultPlan::parse(faults); }
    // A session of its own on the same files, as the next run of the program has.
    void restart()
    {
        session = {};
        connection = {};
        plant({});
        startInEveryLibrary();
    }
};

// What a case moves, and where the test finds what it made.
struct Move {
    int folder = 0;
    QString name;     // of the moved folder
    QString top = {}; // the folder that heads the expected tree in the target; by default the moved one
    QString target = "LIB_SYB";
    QString source = "LIB_SQL";
    std::function<void(const FolderStep &)> progress = {}; // called as the move goes
    std::function<bool()> stop = {};                       // asked at each safe point
};

struct Case {
    const char *name;
    std::function<Move(ConvertWorld &)> plant;
    bool moved;
    // The target tree under the new top folder; empty when nothing may be made there.
    QString tree;
    // Each must be part of an "Error:" or "Warning:" line; none is there when this is empty.
    QStringList problems;
    // Target folders sorted: each once.
    int sorts = 0;
    std::function<void(ConvertWorld &, const Move &)> more = {};
    // Whether the source keeps its documents when the move fails: a removal that fails half-way has
    // already cut them from the folder (they are linked in the target by then).
    bool documentsKept = true;
};

// The rows of a folder in the order its list links them, and in the order a full rewrite links them: by
// display name as the database returns them.
std::pair<QList<qint64>, QList<qint64>> listedAndRewritten(LibraryDatabase &db, int folder)
{
    QList<qint64> rewritten;
    for (const QVariantList &row : db.query(
             "SELECT SYSTEM_ID FROM FOLDER_ITEM WHERE PARENT = ?1 ORDER BY DISPLAYNAME, SYSTEM_ID", {folder}))
        rewritten << row[0].toLongLong();
    QHash<qint64, qint64> next;
    qint64 at = 0;
    for (const QVariantList &row :
         db.query("SELECT SYSTEM_ID, ISFIRST, NEXT FROM FOLDER_ITEM WHERE PARENT = ?1", {folder})) {
        next.insert(row[0].toLongLong(), row[2].toLongLong());
        if (row[1] == "Y")
            at = row[0].toLongLong();
    }
    QList<qint64> listed;
    for (; at != 0 && listed.size() <= rewritten.size(); at = next.value(at))
        listed << at;
    return {listed, rewritten};
}

// Lines of a tree or of texts, one per line of the text.
QStringList shape(const char *text)
{
    return QString::fromUtf8(text).split(u'\n');
}

} // namespace

// Trees of folders and documents moved from one library into another, and every kind of folder that is
// refused or kept: the tree made in the target, what is left in the source, the problems logged, the
// sorts, the counters and the library check.
TEST(ConvertFolderTest, MovesTheTreeOrLeavesTheSourceWhole)
{
    // Folder "X" with two documents; a stop is asked for once the phase has come so far.
    const auto cancelled = [](MovePhase phase, int at) {
        return [phase, at](ConvertWorld &w) {
            Move move{w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1"), w.doc("LIB_SQL", "x2")}), "X"};
            auto reached = std::make_shared<bool>(phase == MovePhase::Walking);
            move.progress = [phase, at, reached](const FolderStep &step) {
                *reached = *reached || (step.phase == phase && step.done == at);
            };
            move.stop = [reached] { return *reached; };
            return move;
        };
    };
    const auto again = [](ConvertWorld &w, const Move &move) {
        EXPECT_TRUE(ConvertFolder(*w.dm, move.folder, move.source, move.target));
        EXPECT_EQ(w.tree("LIB_SYB", w.foldersNamed("LIB_SYB", "X").last()),
                  R"(F LIB_SYB "X" | >D LIB_SQL "x1" | >D LIB_SQL "x2")");
    };
    const auto toTarget = [](const QString &target) {
        return [target](ConvertWorld &w) {
            return Move{w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")}), "X", {}, target};
        };
    };
    const QList<Case> cases = {
        {"a public folder with two levels of subfolders and documents",
         [](ConvertWorld &w) {
             const int deep = w.folder("LIB_SQL", "Deep", {w.doc("LIB_SQL", "d")});
             const int sub = w.folder("LIB_SQL", "Sub", {w.doc("LIB_SQL", "c"), {"LIB_SQL", deep}});
             const int top = w.folderWith("LIB_SQL", "Top", {1, {{"U:MDOE", 127}, {"G:LEGAL", 63}}}, true);
             for (const auto &[library, item] :
                  {w.doc("LIB_SQL", "b"), std::pair<QString, int>{"LIB_SQL", sub}, w.doc("LIB_SQL", "a")})
                 w.builder.link("LIB_SQL", top, library, item);
             return Move{top, "Top"};
         },
         true,
         R"(F LIB_SYB "Top" | >D LIB_SQL "a" | >D LIB_SQL "b" | >F LIB_SYB "Sub")"
         R"( | >>D LIB_SQL "c" | >>F LIB_SYB "Deep" | >>>D LIB_SQL "d")",
         {},
         3,
         [](ConvertWorld &w, const Move &) {
             EXPECT_EQ(w.folderCount("LIB_SQL"), 0);
             const int made = w.foldersNamed("LIB_SYB", "Top").value(0);
             EXPECT_EQ(w.accessOf("LIB_SYB", made),
                       (CreateFixture::Access{1, {{"U:MDOE", 127}, {"G:LEGAL", 63}}}));
             EXPECT_EQ(w.builder.db("LIB_SYB").scalar("SELECT COUNT(*) FROM ROOT_OBJECT WHERE DOCNUMBER = ?1",
                                                      {made}),
                       1);
         }},
        {"a folder three levels deep",
         [](ConvertWorld &w) {
             const int x = w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")});
             w.folder("LIB_SQL", "A", {{"LIB_SQL", w.folder("LIB_SQL", "B", {{"LIB_SQL", x}})}});
             return Move{x, "X", "A"};
         },
         true,
         R"(F LIB_SYB "A" | >F LIB_SYB "B" | >>F LIB_SYB "X" | >>>D LIB_SQL "x1")",
         {},
         3,
         [](ConvertWorld &w, const Move &) {
             EXPECT_EQ(w.tree("LIB_SQL", w.foldersNamed("LIB_SQL", "A").value(0)),
                       R"(F LIB_SQL "A" | >F LIB_SQL "B")");
         }},
        {"a folder with two parents",
         [](ConvertWorld &w) {
             const int x = w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")});
             w.folder("LIB_SQL", "P1", {{"LIB_SQL", x}});
             w.folder("LIB_SQL", "P2", {{"LIB_SQL", x}});
             return Move{x, "X", "P1"};
         },
         true, R"(F LIB_SYB "P1" | >F LIB_SYB "X" | >>D LIB_SQL "x1")",
         shape("There are 2 parent folders for this item - will only use the first one"), 2,
         [](ConvertWorld &w, const Move &) {
             EXPECT_EQ(w.tree("LIB_SYB", w.foldersNamed("LIB_SYB", "P2").value(0)), R"(F LIB_SYB "P2")");
         }},
        {"documents and a subfolder of a third library",
         [](ConvertWorld &w) {
             const int sub = w.folder("LIB_ORA", "S", {w.doc("LIB_SQL", "s1"), w.doc("LIB_ORA", "o2")});
             return Move{w.folder("LIB_SQL", "X", {{"LIB_ORA", sub}, w.doc("LIB_ORA", "o1")}), "X"};
         },
         true,
         R"(F LIB_SYB "X" | >D LIB_ORA "o1" | >F LIB_SYB "S" | >>D LIB_ORA "o2")"
         R"( | >>D LIB_SQL "s1")",
         {},
         2,
         [](ConvertWorld &w, const Move &) { EXPECT_EQ(w.folderCount("LIB_ORA"), 0); }},
        {"names with an apostrophe and with accented letters",
         [](ConvertWorld &w) {
             const int sub = w.folder("LIB_SQL", "Élodie Ärzte", {w.doc("LIB_SQL", "Überweisung")});
             return Move{w.folder("LIB_SQL", "O'Brien's Akten", {{"LIB_SQL", sub}}), "O'Brien's Akten"};
         },
         true,
         R"(F LIB_SYB "O'Brien's Akten" | >F LIB_SYB "Élodie Ärzte")"
         R"( | >>D LIB_SQL "Überweisung")",
         {},
         2},
        {"a second move of a same-named folder",
         [](ConvertWorld &w) {
             const int first = w.folder("LIB_SQL", "Same", {w.doc("LIB_SQL", "f1")});
             const int second = w.folder("LIB_SQL", "Same", {w.doc("LIB_SQL", "f2")});
             EXPECT_TRUE(ConvertFolder(*w.dm, first, "LIB_SQL", "LIB_SYB"));
             w.lines();
             w.window.counters.clear();
             return Move{second, "Same"};
         },
         true,
         R"(F LIB_SYB "Same" | >D LIB_SQL "f1" | >D LIB_SQL "f2")",
         {},
         1,
         [](ConvertWorld &w, const Move &) { EXPECT_EQ(w.foldersNamed("LIB_SYB", "Same").size(), 1); }},
        {"a folder filed twice inside the tree",
         [](ConvertWorld &w) {
             const std::pair<QString, int> twice{"LIB_SQL",
                                                 w.folder("LIB_SQL", "S", {w.doc("LIB_SQL", "s1")})};
             const int a = w.folder("LIB_SQL", "A", {twice});
             const int b = w.folder("LIB_SQL", "B", {twice});
             return Move{w.folder("LIB_SQL", "X", {{"LIB_SQL", b}, {"LIB_SQL", a}}), "X"};
         },
         true,
         R"(F LIB_SYB "X" | >F LIB_SYB "A" | >>F LIB_SYB "S" | >>>D LIB_SQL "s1")"
         R"( | >F LIB_SYB "B" | >>F LIB_SYB "S" | >>>D LIB_SQL "s1")",
         {},
         4,
         [](ConvertWorld &w, const Move &) {
             EXPECT_EQ(w.foldersNamed("LIB_SYB", "S").size(), 1);
             EXPECT_EQ(w.folderCount("LIB_SQL"), 0);
         }},
        {"a parent and a subfolder that live in the target already",
         [](ConvertWorld &w) {
             const std::pair<QString, int> theirs{"LIB_SYB",
                                                  w.folder("LIB_SYB", "Theirs", {w.doc("LIB_SYB", "t1")})};
             const int x = w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1"), theirs});
             w.folder("LIB_SYB", "Their parent", {{"LIB_SQL", x}});
             return Move{x, "X", "Their parent"};
         },
         true,
         R"(F LIB_SYB "Their parent" | >F LIB_SYB "X" | >>F LIB_SYB "Theirs" | >>>D LIB_SYB "t1")"
         R"( | >>D LIB_SQL "x1")",
         {},
         2,
         [](ConvertWorld &w, const Move &) {
             EXPECT_EQ(w.foldersNamed("LIB_SYB", "Their parent").size(), 1);
             EXPECT_EQ(w.foldersNamed("LIB_SYB", "Theirs").size(), 1);
         }},
        {"document numbers that collide across libraries",
         [](ConvertWorld &w) {
             const int x = w.folder("LIB_SQL", "X");
             int twin = 0;
             while (twin < x)
                 twin = w.builder.addDocument("LIB_ORA", "Twin of X");
             EXPECT_EQ(twin, x);
             w.builder.link("LIB_SQL", x, "LIB_ORA", twin);
             w.folder("LIB_SQL", "Holds the twin", {{"LIB_ORA", twin}});
             return Move{x, "X"};
         },
         true,
         R"(F LIB_SYB "X" | >D LIB_ORA "Twin of X")",
         {},
         1,
         [](ConvertWorld &w, const Move &) {
             EXPECT_TRUE(w.foldersNamed("LIB_SYB", "Holds the twin").isEmpty());
         }},
        {"a subfolder also filed outside the moved folder",
         [](ConvertWorld &w) {
             const int sub = w.folder("LIB_SQL", "S", {w.doc("LIB_SQL", "s1")});
             w.folder("LIB_SQL", "Outside", {{"LIB_SQL", sub}});
             return Move{w.folder("LIB_SQL", "X", {{"LIB_SQL", sub}}), "X"};
         },
         true, R"(F LIB_SYB "X" | >F LIB_SYB "S" | >>D LIB_SQL "s1")", shape(R"(is also filed in folder #
"Outside" in library LIB_SQL - it is kept there)"),
         2,
         [](ConvertWorld &w, const Move &) {
             EXPECT_EQ(w.tree("LIB_SQL", w.foldersNamed("LIB_SQL", "Outside").value(0)),
                       R"(F LIB_SQL "Outside" | >F LIB_SQL "S" | >>D LIB_SQL "s1")");
         }},
        {"the source library as target, in other letter case",
         toTarget("lib_sql"),
         false,
         {},
         shape("it cannot be moved into its own library")},
        {"no target", toTarget(" "), false, {}, shape("No target library is given")},
        {"a target that is no library",
         toTarget("LIB_NONE"),
         false,
         {},
         shape("Target library LIB_NONE is not a library of this DM installation")},
        {"a document instead of a folder",
         [](ConvertWorld &w) {
             return Move{w.doc("LIB_SQL", "Just a document").second, "Just a document"};
         },
         false,
         {},
         shape("is not a folder of library LIB_SQL")},
        {"a folder inside its own subfolder",
         [](ConvertWorld &w) {
             const int x = w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")});
             w.builder.link("LIB_SQL", x, "LIB_SQL", w.folder("LIB_SQL", "P", {{"LIB_SQL", x}}));
             return Move{x, "X"};
         },
         false,
         {},
         shape("contains itself through")},
        {"a cycle between two subfolders, each also filed in the moved folder",
         [](ConvertWorld &w) {
             const int a = w.folder("LIB_ORA", "A");
             const int b = w.folder("LIB_ORA", "B", {{"LIB_ORA", a}});
             w.builder.link("LIB_ORA", a, "LIB_ORA", b);
             return Move{w.folder("LIB_SQL", "X", {{"LIB_ORA", a}, {"LIB_ORA", b}}), "X"};
         },
         false,
         {},
         shape("contains itself through")},
        {"a subfolder of a library that cannot be connected",
         [](ConvertWorld &w) {
             const int x = w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")});
             LibraryDatabase &db = w.builder.db("LIB_SQL");
             db.exec("INSERT INTO REMOTE_LIBRARIES (SYSTEM_ID, LIBRARY_NAME) VALUES (99, 'LIB_GONE')");
             db.exec(
                 "INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, PARENT_LIBRARY, DOCNUMBER, LIBRARY, "
                 "DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT) VALUES (9901, ?1, 0, 1001, 99, 'Gone', 'F', 'N', 0)",
                 {x});
             return Move{x, "X"};
         },
         false,
         {},
         shape("Unable to connect to library LIB_GONE")},
        {"a document that cannot be linked",
         [](ConvertWorld &w) {
             const Move move{w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1"), w.doc("LIB_SQL", "x2")}), "X"};
             w.plantNow("add:1");
             return move;
         },
         false, R"(F LIB_SYB "X" | >D LIB_SQL "x2")",
         shape("Unable to add document #\n1 of 2 item(s) of folder #"), 1},
        {"a subfolder that cannot be made",
         [](ConvertWorld &w) {
             const int blank = w.folder("LIB_SQL", "  ", {w.doc("LIB_SQL", "b1")});
             return Move{w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1"), {"LIB_SQL", blank}}), "X"};
         },
         false, R"(F LIB_SYB "X")",
         shape("Unable to create this folder - cannot continue.\n3 of 3 item(s) of folder #")},
        {"a subfolder whose removal fails",
         [](ConvertWorld &w) {
             const int sub = w.folder("LIB_SQL", "S", {w.doc("LIB_SQL", "s1")});
             const Move move{w.folder("LIB_SQL", "X", {{"LIB_SQL", sub}}), "X"};
             w.plantNow("delete:1");
             return move;
         },
         false,
         R"(F LIB_SYB "X" | >F LIB_SYB "S" | >>D LIB_SQL "s1")",
         shape("Unable to delete folder #"),
         2,
         {},
         false},
        {"a document filed into the folder while it moves",
         [](ConvertWorld &w) {
             Move move{w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")}), "X"};
             move.progress = [&w, folder = move.folder](const FolderStep &step) {
                 if (step.phase == MovePhase::Linking && step.done == 0)
                     w.builder.link("LIB_SQL", folder, "LIB_SQL", w.builder.addDocument("LIB_SQL", "late"));
             };
             return move;
         },
         false, R"(F LIB_SYB "X" | >D LIB_SQL "x1")",
         shape("of library LIB_SQL that folder #1002 in library LIB_SQL holds\n"
               "differs from its source in 1 place(s) - nothing of it is removed from library LIB_SQL"),
         1},
        {"sibling folders whose names differ only in letter case, with the same access",
         [](ConvertWorld &w) {
             const int lower = w.folder("LIB_SQL", "Budget", {w.doc("LIB_SQL", "b1")});
             const int upper = w.folder("LIB_SQL", "BUDGET", {w.doc("LIB_SQL", "b2")});
             return Move{w.folder("LIB_SQL", "X", {{"LIB_SQL", lower}, {"LIB_SQL", upper}}), "X"};
         },
         true, R"(F LIB_SYB "X" | >F LIB_SYB "Budget" | >>D LIB_SQL "b1" | >>D LIB_SQL "b2")",
         shape("\"BUDGET\" in library LIB_SQL becomes one with folder #"), 2},
        {"sibling folders whose names differ only in letter case, one restricted",
         [](ConvertWorld &w) {
             const int lower = w.folderWith("LIB_SQL", "Budget", {1, {{"U:MDOE", 127}}});
             w.builder.link("LIB_SQL", lower, "LIB_SQL", w.doc("LIB_SQL", "b1").second);
             const int upper = w.folder("LIB_SQL", "BUDGET", {w.doc("LIB_SQL", "b2")});
             return Move{w.folder("LIB_SQL", "X", {{"LIB_SQL", lower}, {"LIB_SQL", upper}}), "X"};
         },
         false, R"(F LIB_SYB "X" | >F LIB_SYB "Budget" | >>D LIB_SQL "b1" | >>D LIB_SQL "b2")",
         shape("is not open to every user as folder #"), 2},
        {"the new folder closed to others before the sources are removed",
         [](ConvertWorld &w) {
             Move move{w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")}), "X"};
             move.progress = [&w](const FolderStep &step) {
                 if (step.phase == MovePhase::Linking && step.done == step.total)
                     w.builder.db("LIB_SYB").exec(
                         "UPDATE PROFILE SET DEFAULT_RIGHTS = 1 WHERE DOCNAME = 'X'");
             };
             return move;
         },
         false, R"(F LIB_SYB "X" | >D LIB_SQL "x1")",
         shape("is not open to every user as folder #1002 in library LIB_SQL is"), 1},
        // Changes made once every item is linked, which only the check before removal can see.
        {"the new folder taken out of its new parent before the sources are removed",
         [](ConvertWorld &w) {
             const int x = w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")});
             w.folder("LIB_SQL", "P", {{"LIB_SQL", x}});
             Move move{x, "X", "P"};
             move.progress = [&w](const FolderStep &step) {
                 // The target's only folder item: the new X, alone in the new P.
                 if (step.phase == MovePhase::Linking && step.done == step.total)
                     w.builder.db("LIB_SYB").exec("DELETE FROM FOLDER_ITEM WHERE NODE_TYPE = 'F'");
             };
             return move;
         },
         false, R"(F LIB_SYB "P")", shape("is not filed in its new parent folder #"), 2},
        {"a document of another library with the folder's own number filed into it while it moves",
         [](ConvertWorld &w) {
             Move move{w.folder("LIB_SQL", "X", {w.doc("LIB_SQL", "x1")}), "X"};
             int twin = 0;
             while (twin < move.folder)
                 twin = w.builder.addDocument("LIB_ORA", "Twin of X");
             move.progress = [&w, folder = move.folder, twin](const FolderStep &step) {
                 if (step.phase == MovePhase::Linking && step.done == step.total)
                     w.builder.link("LIB_SQL", folder, "LIB_ORA", twin);
             };
             return move;
         },
         false, R"(F LIB_SYB "X" | >D LIB_SQL "x1")",
         shape("does not hold item #1002 of library LIB_ORA that folder #1002 in library LIB_SQL holds"), 1},
        {"a trustee the new folder lost, whose lookup in the target fails",
         [](ConvertWorld &w) {
             Move move{w.folderWith("LIB_SQL", "X", {1, {{"U:MDOE", 127}, {"G:LEGAL", 63}}}), "X"};
             move.progress = [&w](const FolderStep &step) {
                 if (step.phase == MovePhase::Linking && step.done == step.total)
                     w.builder.db("LIB_SYB").exec("DELETE FROM SECURITY WHERE PERSONORGROUP = "
                                                  "(SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = 'MDOE')");
                 // Every folder is read: the next statement is the lookup of the trustee the copy lacks.
                 if (step.phase == MovePhase::Checking && step.done == step.total)
                     w.plantNow("sql:1");
             };
             return move;
         },
         false, R"(F LIB_SYB "X")",
         shape("Unable to look up user MDOE in library LIB_SYB\ndoes not give user MDOE the rights 127")},
        // Another user changes the place of a subfolder between the plan and its creation.
        {"a folder of the subfolder's name made in its new place after the plan",
         [](ConvertWorld &w) {
             const int sub = w.folder("LIB_SQL", "Sub", {w.doc("LIB_SQL", "s1")});
             Move move{w.folder("LIB_SQL", "X", {{"LIB_SQL", sub}}), "X"};
             move.progress = [&w](const FolderStep &step) {
                 if (step.phase == MovePhase::Linking && step.done == 0)
                     w.builder.link("LIB_SYB", w.foldersNamed("LIB_SYB", "X").last(), "LIB_SYB",
                                    w.folder("LIB_SYB", "Sub"));
             };
             return move;
         },
         false, R"(F LIB_SYB "X" | >F LIB_SYB "Sub")",
         shape("is not as the move found it: folder #1002 of its name stands there now")},
        {"the subfolder the plan takes up renamed after the plan",
         [](ConvertWorld &w) {
             const CreateFixture::Access access{1, {{"U:MDOE", 127}}};
             const int sub = w.folderWith("LIB_SQL", "Sub", access);
             const int x = w.folderWith("LIB_SQL", "X", access, true);
             w.builder.link("LIB_SQL", x, "LIB_SQL", sub);
             const int standing = w.folderWith("LIB_SYB", "Sub", access);
             w.builder.link("LIB_SYB", w.folderWith("LIB_SYB", "X", access, true), "LIB_SYB", standing);
             Move move{x, "X"};
             move.progress = [&w, standing](const FolderStep &step) {
                 if (step.phase == MovePhase::Linking && step.done == 0) {
                     w.builder.db("LIB_SYB").exec("UPDATE PROFILE SET DOCNAME = 'Other' WHERE DOCNUMBER = ?1",
                                                  {standing});
                     w.builder.db("LIB_SYB").exec(
                         "UPDATE FOLDER_ITEM SET DISPLAYNAME = 'Other' WHERE DOCNUMBER = ?1", {standing});
                 }
             };
             return move;
         },
         false, R"(F LIB_SYB "X" | >F LIB_SYB "Other")",
         shape("is not as the move found it: folder #1001 of its name, which the move was to take up, is "
               "gone")},
        // A cancel is no failure: no "Error:" line, the source whole, and the same move run again finishes.
        {"cancelled while the tree is walked", cancelled(MovePhase::Walking, 0), false, "", {}, 0, again},
        {"cancelled between items",
         cancelled(MovePhase::Linking, 1),
         false,
         R"(F LIB_SYB "X" | >D LIB_SQL "x1")",
         {},
         1,
         again},
        {"cancelled after the check, before any removal",
         cancelled(MovePhase::Checking, 2),
         false,
         R"(F LIB_SYB "X" | >D LIB_SQL "x1" | >D LIB_SQL "x2")",
         {},
         1,
         again},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ConvertWorld w;
        const Move move = c.plant(w);
        const QStringList sourceBefore = w.exists(move.source, move.folder)
                                             ? w.tree(move.source, move.folder).split(" | ")
                                             : QStringList();
        const int targetFolders = w.folderCount("LIB_SYB");
        const QStringList planted = w.violations();
        w.lines();
        QList<FolderStep> steps; // of the linking
        FolderWatch watch{[&](const FolderStep &step) {
                              if (step.phase == MovePhase::Linking)
                                  steps.append(step);
                              if (move.progress)
                                  move.progress(step);
                          },
                          move.stop};
        const bool moved = ConvertFolder(*w.dm, move.folder, move.source, move.target, watch);
        const QStringList log = w.lines();

        EXPECT_EQ(moved, c.moved);
        const QStringList problems = w.problems(log);
        for (const QString &expected : c.problems)
            EXPECT_TRUE(std::any_of(problems.cbegin(), problems.cend(),
                                    [&](const QString &line) { return line.contains(expected); }))
                << expected.toStdString() << " not among:\n"
                << problems.join('\n').toStdString();
        if (c.problems.isEmpty()) {
            EXPECT_EQ(problems, QStringList());
        }
        const QList<int> made = w.foldersNamed("LIB_SYB", move.top.isEmpty() ? move.name : move.top);
        if (c.tree.isEmpty()) {
            EXPECT_EQ(w.folderCount("LIB_SYB"), targetFolders);
        } else {
            ASSERT_FALSE(made.isEmpty());
            EXPECT_EQ(w.tree("LIB_SYB", made.last()), c.tree);
        }
        if (moved) {
            EXPECT_FALSE(w.exists(move.source, move.folder));
            EXPECT_EQ(w.window.counter(MoveCounter::Added), "1");
            EXPECT_EQ(w.window.counter(MoveCounter::Read), "1");
            ASSERT_FALSE(steps.isEmpty());
            EXPECT_EQ(steps.last().done, steps.last().total);
            EXPECT_DOUBLE_EQ(steps.last().share, steps.last().total > 0 ? 1 : 0);
        } else {
            // Nothing of the source is removed: every line of its tree is still there.
            const QStringList sourceAfter = w.exists(move.source, move.folder)
                                                ? w.tree(move.source, move.folder).split(" | ")
                                                : QStringList();
            for (const QString &line : sourceBefore)
                if (c.documentsKept || QString(line).remove(u'>').startsWith("F ")) {
                    EXPECT_TRUE(sourceAfter.contains(line)) << line.toStdString();
                }
            EXPECT_EQ(w.window.counter(MoveCounter::Added), "");
        }
        EXPECT_EQ(log.count(QStringLiteral("Preparing to sort folders in library LIB_SYB")), c.sorts);
        if (c.more)
            c.more(w, move);
        EXPECT_FALSE(w.session.sharedFolder || w.session.sharedProfile);
        EXPECT_EQ(w.session.currentLibrary->name(), "LIB_SQL");
        EXPECT_EQ(w.window.pointer, MousePointer::Default);
        EXPECT_EQ(w.violations(), planted);
    }
}

// A library's file deleted (kept under a second name), or renamed away with other bytes written in its
// place, once the linking is done: the folder fails naming the library and the file, its source is kept,
// and with the file back the check passes and the move run again in a new session ends.
TEST(ConvertFolderTest, ALibraryFileGoneDuringTheMoveFailsTheFolderUntilItIsBack)
{
    if (TestLibrariesOnServer())
        GTEST_SKIP() << "deletes and replaces a library's file under an open connection";
    for (const auto &[library, replaced] :
         {std::pair{"LIB_ORA", false}, {"LIB_ORA", true}, {"LIB_SYB", false}, {"LIB_SYB", true}}) {
        SCOPED_TRACE(std::string(library) + (replaced ? " replaced" : " deleted"));
        ConvertWorld w;
        const int x = w.folder("LIB_ORA", "X", {w.doc("LIB_ORA", "x1"), w.doc("LIB_ORA", "x2")});
        const QString source = w.tree("LIB_ORA", x);
        const QString file = w.builder.installation().library(library)->databaseFile, away = file + ".away";
        QFile garbage(file);
        const auto vanish = [&](const FolderStep &step) {
            if (step.phase != MovePhase::Linking || step.done != step.total)
                return;
            ASSERT_TRUE(replaced ? QFile::rename(file, away) && garbage.open(QIODevice::WriteOnly) &&
                                       garbage.write(QByteArray(8192, 'x')) > 0
                                 : ::link(qPrintable(file), qPrintable(away)) == 0 && QFile::remove(file));
        };
        EXPECT_FALSE(ConvertFolder(*w.dm, x, "LIB_ORA", "LIB_SYB", {vanish, {}}));
        const QString log = w.lines().join('\n');
        EXPECT_TRUE(
            log.contains(QString("Library %1: database file %2 was moved, deleted or replaced while open")
                             .arg(library, file)))
            << log.toStdString();

        garbage.close();
        QFile::remove(file);
        ASSERT_TRUE(QFile::rename(away, file));
        w.restart();
        EXPECT_EQ(w.tree("LIB_ORA", x), source);
        EXPECT_EQ(w.violations(), QStringList());
        EXPECT_TRUE(ConvertFolder(*w.dm, x, "LIB_ORA", "LIB_SYB"));
        EXPECT_EQ(w.tree("LIB_SYB", w.foldersNamed("LIB_SYB", "X").last()),
                  R"(F LIB_SYB "X" | >D LIB_ORA "x1" | >D LIB_ORA "x2")");
        EXPECT_FALSE(w.exists("LIB_ORA", x));
    }
}

namespace {

// Folder "Moved" of LIB_SQL, under a parent of its own library, holding a document of LIB_ORA and a
// LIB_ORA subfolder with a LIB_SQL document; moved into LIB_SYB with a failure planted or none.
class SweepMove : public ConvertWorld {
public:
    explicit SweepMove(const QString &faults) : ConvertWorld(faults)
    {
        m_documents = {doc("LIB_ORA", "Offer"), doc("LIB_SQL", "Reply")};
        m_folder = folder("LIB_SQL", "Moved",
                          {m_documents[0], {"LIB_ORA", folder("LIB_ORA", "Letters", {m_documents[1]})}});
        folder("LIB_SQL", "Cabinet", {{"LIB_SQL", m_folder}});
        lines();
    }

    qint64 calls(FaultKind kind) { return localDm->faults().calls(kind); }
    bool move() { return ConvertFolder(*dm, m_folder, "LIB_SQL", "LIB_SYB"); }

    // What every run must keep, whatever failed.
    void check(bool moved)
    {
        const QStringList log = lines();
        EXPECT_NE(exists("LIB_SQL", m_folder), moved);
        if (!moved) {
            EXPECT_FALSE(problems(log).isEmpty()) << "the failure went unreported";
        }
        if (!log.contains("Processing 2 parent folder(s)")) {
            EXPECT_EQ(folderCount("LIB_SYB"), 0) << "the target was written before the walks were done";
        }
        for (const auto &[library, document] : m_documents)
            EXPECT_TRUE(filedAnywhere(library, document))
                << "document #" << document << " of " << library.toStdString();
        EXPECT_FALSE(session.sharedFolder || session.sharedProfile);
        EXPECT_EQ(session.currentLibrary->name(), "LIB_SQL");
        EXPECT_EQ(violations(), QStringList());
    }

private:
    QList<std::pair<QString, int>> m_documents;
    int m_folder = 0;
};

} // namespace

// A failure planted at each DM call and each statement of a clean move never loses a document from
// every folder, never removes the folder of a failed move, never writes to the target before the
// walks are done, and is always reported.
TEST(ConvertFolderSweep, NoPlantedFailureLosesADocumentOrTheSource)
{
    std::map<FaultKind, std::pair<qint64, qint64>> span;
    {
        SweepMove clean({});
        for (const FaultKind kind : FailingFaultKinds)
            span[kind].first = clean.calls(kind);
        ASSERT_TRUE(clean.move());
        for (const FaultKind kind : FailingFaultKinds)
            span[kind].second = clean.calls(kind);
    }
    int failed = 0;
    for (const FaultKind kind : FailingFaultKinds) {
        EXPECT_GT(span[kind].second, span[kind].first) << FaultKindName(kind).toStdString();
        for (qint64 call = span[kind].first + 1; call <= span[kind].second; ++call) {
            const QString faults = FaultAt(kind, call);
            SCOPED_TRACE(faults.toStdString());
            SweepMove run(faults);
            const bool moved = run.move();
            failed += moved ? 0 : 1;
            run.check(moved);
        }
    }
    EXPECT_GT(failed, 0);
}

// A folder of a few hundred documents filed in scrambled order, under names that some libraries sort
// alike (letter case) and names that every library sorts alike (repeats), moved into each library.
TEST(ConvertFolderTest, AMovedFolderIsLinkedAsAFullRewriteLeavesItAndASecondSortWritesNothing)
{
    for (const QString target : {"LIB_SQL", "LIB_ORA", "LIB_SYB"}) {
        SCOPED_TRACE(target.toStdString());
        ConvertWorld w;
        // Linked in the order the source lists them, which the target sorts otherwise.
        const QString source = target == "LIB_ORA" ? "LIB_SQL" : "LIB_ORA";
        QList<std::pair<QString, int>> items;
        for (int i = 0; i < 240; ++i)
            items << w.doc(source,
                           QString(i % 3 ? "Report %1" : "report %1").arg(i * 37 % 100, 3, 10, QChar('0')));
        const int folder = w.folder(source, "Reports", items);
        ASSERT_TRUE(ConvertFolder(*w.dm, folder, source, target)) << w.lines().join('\n').toStdString();
        EXPECT_TRUE(w.lines().contains("Folder needed sorting"));
        const QList<int> moved = w.foldersNamed(target, "Reports");
        ASSERT_EQ(moved.size(), 1);

        LibraryDatabase &db = w.builder.db(target);
        const auto stored = [&] {
            return db.query(
                "SELECT SYSTEM_ID, ISFIRST, NEXT FROM FOLDER_ITEM WHERE PARENT = ?1 ORDER BY SYSTEM_ID",
                {moved[0]});
        };
        const auto [linked, expected] = listedAndRewritten(db, moved[0]);
        ASSERT_EQ(expected.size(), 240);
        EXPECT_EQ(linked, expected);
        EXPECT_EQ(w.violations(), QStringList());

        const QList<QVariantList> before = stored();
        ASSERT_TRUE(SortFolders(*w.dm, moved[0], target));
        const QStringList lines = w.lines();
        EXPECT_TRUE(lines.contains("Folder was already sorted"));
        EXPECT_FALSE(lines.contains("Folder needed sorting"));
        EXPECT_EQ(w.problems(lines), QStringList());
        for (const QString &line : lines)
            EXPECT_FALSE(line.startsWith("UPDATE ")) << line.toStdString();
        EXPECT_EQ(stored(), before);
    }
}

// The links into a folder are saved in batches: a batch whose save fails leaves none of its items linked and
// the source whole, and the next run links them and leaves the folder as a full rewrite sorts it.
TEST(ConvertFolderTest, ABatchWhoseSaveFailsLinksNoneOfItsItemsAndTheRerunFinishes)
{
    ConvertWorld w;
    QList<std::pair<QString, int>> items;
    for (int i = 0; i < 1100; ++i)
        items << w.doc("LIB_SQL", QString("Scan %1").arg(i * 389 % 1100, 4, 10, QChar('0')));
    const int folder = w.folder("LIB_SQL", "Scans", items);
    // Planted once 600 items are linked: the next save, the second batch's, fails.
    bool planted = false;
    const FolderWatch watch{[&](const FolderStep &step) {
                                if (step.phase == MovePhase::Linking && step.done == 600 && !planted) {
                                    planted = true;
                                    w.plantNow("save:1");
                                }
                            },
                            {}};
    EXPECT_FALSE(ConvertFolder(*w.dm, folder, "LIB_SQL", "LIB_ORA", watch));
    const QStringList lines = w.lines();
    EXPECT_EQ(lines.filter(QRegularExpression("^Folder Item #\\d+ successfully added")).size(), 600);
    EXPECT_TRUE(lines.contains(QRegularExpression("^Error: \\(.* 500 of 1100 item\\(s\\) of folder #\\d+ "
                                                  "\"Scans\" were not linked in library LIB_ORA .*")))
        << lines.join('\n').toStdString();
    const QList<int> made = w.foldersNamed("LIB_ORA", "Scans");
    ASSERT_EQ(made.size(), 1);
    LibraryDatabase &db = w.builder.db("LIB_ORA");
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE PARENT = ?1", {made[0]}).toInt(), 600);
    EXPECT_EQ(w.builder.db("LIB_SQL")
                  .scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE PARENT = ?1", {folder})
                  .toInt(),
              1100);
    EXPECT_EQ(w.violations(), QStringList());

    w.restart();
    ASSERT_TRUE(ConvertFolder(*w.dm, folder, "LIB_SQL", "LIB_ORA")) << w.lines().join('\n').toStdString();
    EXPECT_EQ(w.foldersNamed("LIB_ORA", "Scans"), made);
    const auto [linked, expected] = listedAndRewritten(db, made[0]);
    EXPECT_EQ(expected.size(), 1100);
    EXPECT_EQ(linked, expected);
    EXPECT_FALSE(w.exists("LIB_SQL", folder));
    EXPECT_EQ(w.violations(), QStringList());
}

// A deep chain is walked, planned and made level by level; the ctest timeout guards it against a walk that
// grows with the square of its depth.
TEST(ConvertFolderTest, TheDeepestFolderOfALongChainMovesWithItsWholeChain)
{
    ConvertWorld w;
    const int levels = 300;
    int deepest = w.folder("LIB_SQL", "Level 0");
    for (int level = 1; level < levels; ++level) {
        const int below = w.folder("LIB_SQL", QString("Level %1").arg(level));
        w.builder.link("LIB_SQL", deepest, "LIB_SQL", below);
        deepest = below;
    }
    w.builder.link("LIB_SQL", deepest, "LIB_SQL", w.doc("LIB_SQL", "Letter").second);
    ASSERT_TRUE(ConvertFolder(*w.dm, deepest, "LIB_SQL", "LIB_SYB"))
        << w.problems(w.lines()).join('\n').toStdString();
    const QStringList made = w.tree("LIB_SYB", w.foldersNamed("LIB_SYB", "Level 0").value(0)).split(" | ");
    ASSERT_EQ(made.size(), levels + 1);
    EXPECT_EQ(made.last(), QString(levels, '>') + R"(D LIB_SQL "Letter")");
    EXPECT_EQ(w.folderCount("LIB_SQL"), levels - 1);
    EXPECT_EQ(w.violations(), QStringList());
}
