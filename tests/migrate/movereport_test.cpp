#include "createfixture.h"
#include "previewhazards.h"
#include "reportcsv.h"

#include "migrate/movecommands.h"
#include "migrate/movereport.h"

#include <QFile>

#include <csignal>

#include <sys/resource.h>

namespace {

class ReportWorld : public CreateWorld {
public:
    ReportWorld()
    {
        startInEveryLibrary();
        window.messages.clear();
        window.target = "LIB_SYB";
    }
    using CreateFixture::doc, CreateFixture::folder, CreateFixture::folderWith, CreateFixture::violations;
    using SessionFixture::builder, SessionFixture::dir, SessionFixture::dm, SessionFixture::localDm,
        SessionFixture::newLogLines, SessionFixture::window;

    MoveOutcome move(int folder, const QString &report, const QString &faults = {})
    {
        localDm->faults() = FaultPlan::parse(faults);
        window.scriptAnswers({MessageAnswer::Yes});
        MoveCommand command(*dm, flags,
                            {dir.filePath("installation.ini"), builder.installation().databaseFiles()});
        command.setReportFile(report);
        return command.moveFolder("LIB_SQL", folder, {});
    }
    bool hasFolder(const QString &library, int number, const QString &name = {})
    {
        return builder.db(library)
                   .scalar("SELECT COUNT(*) FROM FOLDER F JOIN PROFILE P ON P.DOCNUMBER = F.DOCNUMBER WHERE "
                           "F.DOCNUMBER = ?1 AND (?2 = '' OR P.DOCNAME = ?2)",
                           {number, name})
                   .toInt() > 0;
    }
    bool files(const QString &library, int parent, const QString &itemLibrary, int item)
    {
        return builder.db(library)
                   .scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE PARENT = ?1 AND DOCNUMBER = ?2 AND "
                           "LIBRARY = ?3",
                           {parent, item, builder.remoteId(library, itemLibrary)})
                   .toInt() > 0;
    }

    // What in the libraries contradicts a row of the report, one line each. A folder linked in the target
    // is its copy there, which the report names in its creation row.
    QStringList contradictions(const QList<QStringList> &rows)
    {
        QHash<QString, int> copies;
        for (const QStringList &row : rows)
            if (row[Result] == "ok" && (row[Action] == "created" || row[Action] == "reused"))
                copies.insert(row[SourceLibrary] + row[SourceNumber], row[TargetNumber].toInt());
        QStringList wrong;
        for (const QStringList &row : rows.mid(1)) {
            const int source = row[SourceNumber].toInt();
            const int target = row[TargetNumber].toInt();
            bool holds = true;
            if (row[Result] != "ok" || row[Action] == "skipped")
                holds = row[Kind] == "document" || hasFolder(row[SourceLibrary], source);
            else if (row[Action] == "created" || row[Action] == "reused" || row[Action] == "kept")
                holds = hasFolder(row[TargetLibrary], target, row[Name]) &&
                        (row[Action] != "kept" || hasFolder(row[SourceLibrary], source));
            else if (row[Action] == "removed")
                holds = !hasFolder(row[SourceLibrary], source);
            else if (row[Kind] == "document")
                holds = files(row[TargetLibrary], target, row[SourceLibrary], source);
            else if (const int copy = copies.value(row[SourceLibrary] + row[SourceNumber]); copy != 0)
                holds = files(row[TargetLibrary], target, row[TargetLibrary], copy);
            else
                holds = files(row[TargetLibrary], target, row[SourceLibrary], source);
            if (!holds)
                wrong << row.join(u',');
        }
        return wrong;
    }

    MoveFlags flags;
};

QStringList column(const QList<QStringList> &rows, ReportColumn which)
{
    QStringList values;
    for (const QStringList &row : rows.mid(1))
        values << row.value(which);
    return values;
}

// How many rows of each action, "action:count" in the order of the actions' names.
QString tally(const QList<QStringList> &rows)
{
    QMap<QString, int> counts;
    for (const QString &action : column(rows, Action))
        ++counts[action];
    QStringList parts;
    for (auto count = counts.cbegin(); count != counts.cend(); ++count)
        parts << count.key() + ':' + QString::number(count.value());
    return parts.join(", ");
}

} // namespace

// A move with a failure planted, then the same move again: each report's rows agree with the libraries,
// name every item of the tree, and show the failure with the DM's error number and text where it struck.
TEST(MoveReportTest, RowsMatchTheLibrariesWhateverFailedAndAfterTheSecondRun)
{
    const struct {
        const char *name;
        QString faults;
        MoveOutcome outcome;
        QString tally;
        QString failed; // the start of the one failed row: its name and result
        QString again;  // the tally of the second run
    } cases[] = {
        {"a clean move", {}, MoveOutcome::Done, "created:3, kept:1, linked:5, removed:2", {}, {}},
        {"a link that fails", "add:1", MoveOutcome::Failed, "created:3, kept:1, linked:5, skipped:2",
         "a: (2001) - Adding document #", "already linked:4, kept:1, linked:1, removed:2, reused:3"},
        {"a folder that cannot be made", "save:1", MoveOutcome::Failed, "created:1, skipped:7",
         "Top: Unable to save profile object for folder \"Top\" - Saving the new folder",
         "created:3, kept:1, linked:5, removed:2"},
        // The removal cut the contents of "Sub" before it failed; they are filed in the target already.
        {"a removal that fails", "delete:1", MoveOutcome::Failed,
         "created:3, kept:1, linked:5, removed:1, skipped:1", "Sub: (2001) - ",
         "already linked:3, removed:2, reused:2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ReportWorld w;
        const auto kept = w.folder("LIB_SQL", "Kept", {w.doc("LIB_SQL", "k")});
        w.folder("LIB_SQL", "Other", {{"LIB_SQL", kept}});
        const int sub = w.folder("LIB_SQL", "Sub", {w.doc("LIB_SQL", "c"), {"LIB_SQL", kept}});
        const int top = w.folder("LIB_SQL", "Top",
                                 {w.doc("LIB_SQL", "a"),
                                  w.doc("LIB_SQL", "b, \"quoted\""),
                                  w.doc("LIB_ORA", "o1"),
                                  {"LIB_SQL", sub}});

        const QString first = w.dir.filePath("first.csv");
        EXPECT_EQ(w.move(top, first, c.faults), c.outcome);
        const QList<QStringList> rows = ReadReportCsv(first);
        ASSERT_GT(rows.size(), 1);
        EXPECT_EQ(rows[0], QStringList({"Source library", "Source number", "Name", "Kind", "Target library",
                                        "Target number", "Action", "Result"}));
        EXPECT_EQ(w.contradictions(rows), QStringList());
        EXPECT_EQ(tally(rows), c.tally);
        const QStringList names = column(rows, Name);
        for (const char *name : {"Top", "a", "b, \"quoted\"", "o1", "Sub", "c", "Kept", "k"})
            EXPECT_TRUE(names.contains(name)) << name;
        QStringList failures;
        for (const QStringList &row : rows.mid(1))
            if (row[Action] != "skipped" && row[Result] != "ok")
                failures << row[Name] + ": " + row[Result];
        if (c.failed.isEmpty()) {
            EXPECT_EQ(failures, QStringList());
        } else {
            ASSERT_EQ(failures.size(), 1) << failures.join('\n').toStdString();
            EXPECT_TRUE(failures[0].startsWith(c.failed)) << failures[0].toStdString();
        }
        EXPECT_EQ(w.window.reportsOffered, QStringList({first}));

        if (c.outcome == MoveOutcome::Done)
            continue;
        const QString second = w.dir.filePath("second.csv");
        EXPECT_EQ(w.move(top, second), MoveOutcome::Done);
        const QList<QStringList> again = ReadReportCsv(second);
        EXPECT_EQ(w.contradictions(again), QStringList());
        EXPECT_EQ(column(again, Result).count("ok"), again.size() - 1);
        EXPECT_EQ(tally(again), c.again);
        EXPECT_EQ(w.violations(), QStringList());
    }
}

// Names as a DM may hold them go into the file as RFC 4180 has them and come back unchanged, in UTF-8.
TEST(MoveReportTest, QuotesNamesAsRfc4180Has)
{
    const struct {
        QString name;
        QString field;
    } cases[] = {
        {"Plain", "Plain"},
        {"Smith, John", "\"Smith, John\""},
        {"The \"Big\" Case", "\"The \"\"Big\"\" Case\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"line\nfeed", "\"line\nfeed\""},
        {"Überweisung Ärzte – 東京", "Überweisung Ärzte – 東京"},
        {"", ""},
        {" padded ", " padded "},
    };
    QTemporaryDir dir;
    FakeWindow window;
    ActivityLog log(window);
    const QString file = dir.filePath("quoted.csv");
    {
        MoveReport report(log, file, {});
        for (const auto &c : cases) {
            EXPECT_EQ(CsvField(c.name), c.field) << c.name.toStdString();
            report.write({"LIB_SQL", 7, c.name, ReportKind::Document, "LIB_SYB", 9}, ReportAction::Linked,
                         "ok");
        }
    }
    const QList<QStringList> rows = ReadReportCsv(file);
    ASSERT_EQ(rows.size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(rows[i + 1],
                  QStringList({"LIB_SQL", "7", cases[i].name, "document", "LIB_SYB", "9", "linked", "ok"}));
}

// The report lies beside the dated log, named with the time of the move, and never overwrites another.
TEST(MoveReportTest, IsNamedBesideTheLog)
{
    QTemporaryDir dir;
    const QDateTime at(QDate(2026, 3, 5), QTime(14, 7, 9));
    const QString logs = dir.path();
    const struct {
        QString configured;
        QStringList existing;
        QString expected;
    } cases[] = {
        {logs + "/Korvel.LOG", {}, logs + "/Korvel_20260305_140709.csv"},
        {logs + "/Run", {}, logs + "/Run_20260305_140709.csv"},
        {logs + "/Two.log", {"Two_20260305_140709.csv"}, logs + "/Two_20260305_140709-2.csv"},
        {logs + "/Three.log",
         {"Three_20260305_140709.csv", "Three_20260305_140709-2.csv"},
         logs + "/Three_20260305_140709-3.csv"},
    };
    for (const auto &c : cases) {
        for (const QString &name : c.existing) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        EXPECT_EQ(MoveReportFileName(c.configured, at), c.expected);
    }
}

// A report that cannot be written is a warning in the log; the move is none the worse for it.
TEST(MoveReportTest, AReportThatCannotBeWrittenOnlyWarns)
{
    ReportWorld w;
    const int top = w.folder("LIB_SQL", "Top", {w.doc("LIB_SQL", "a")});
    const QString nowhere = w.dir.filePath("missing/report.csv");
    EXPECT_EQ(w.move(top, nowhere), MoveOutcome::Done);
    EXPECT_FALSE(QFile::exists(nowhere));
    EXPECT_EQ(w.window.reportsOffered, QStringList());
    const QStringList warnings = w.newLogLines().filter("Warning: (");
    ASSERT_EQ(warnings.filter("Unable to write the move report " + nowhere).size(), 1)
        << warnings.join("\n").toStdString();
}

// A file that fills up part way through a row says why, in the system's words, as a full disk does.
TEST(MoveReportTest, AFileThatFillsUpSaysWhy)
{
    QTemporaryDir dir;
    FakeWindow window;
    ActivityLog log(window);
    log.setConfiguredLogPath(dir.filePath("k.LOG"));
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const rlimit small = {4096, unlimited.rlim_max};
    {
        MoveReport report(log, dir.filePath("full.csv"), {});
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        report.write({"LIB_SQL", 7, QString(5000, u'x'), ReportKind::Folder, {}, 0}, ReportAction::Created, "ok");
        setrlimit(RLIMIT_FSIZE, &unlimited);
    }
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(ReadLogLines(log.currentLogFileName()).filter("full.csv: File too large - it ends").size(), 1);
}

// The plan of each hazard as a preview reports it: every skipped row says why.
TEST(MoveReportTest, APreviewSaysWhyEachRowIsSkipped)
{
    for (const PreviewHazard &c : PreviewHazards()) {
        SCOPED_TRACE(c.name);
        PreviewWorld w;
        const PreviewMove move = c.plant(w);
        w.preview(move.source, move.folder, move.target, w.dir.filePath("plan.csv"));
        for (const QStringList &row : ReadReportCsv(w.dir.filePath("plan.csv")).mid(1))
            EXPECT_FALSE(row[Action] == "skipped" && row[Result].isEmpty()) << row.join(',').toStdString();
    }
}
