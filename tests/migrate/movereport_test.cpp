#include "createfixture.h"

#include "migrate/movecommands.h"
#include "migrate/movereport.h"

#include <QFile>

namespace {

// The rows of a CSV file as RFC 4180 reads them: fields split at commas outside quotes, quoted fields
// with their doubled quotes undone, records ended by CRLF outside quotes. A bare LF or CR outside quotes,
// or a quote inside an unquoted field, makes the whole file unreadable (empty).
QList<QStringList> readCsv(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    const auto at = [&](qsizetype i) { return i < text.size() ? text[i] : QChar(); };
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && at(i + 1) == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            wasQuoted = false;
        } else if (c == u'\r' && at(i + 1) == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            wasQuoted = false;
            ++i;
        } else if (c == u'"' || c == u'\r' || c == u'\n' || wasQuoted) {
            return {};
        } else {
            field += c;
        }
    }
    return quoted || !row.isEmpty() || !field.isEmpty() ? QList<QStringList>{} : rows;
}

enum Column { SourceLibrary, SourceNumber, Name, Kind, TargetLibrary, TargetNumber, Action, Result };

class ReportWorld : public CreateWorld {
public:
    ReportWorld()
    {
        startInEveryLibrary();
        window.messages.clear();
        window.target = "LIB_SYB";
    }
    using CreateFixture::folderWith, CreateFixture::violations;
    using SessionFixture::builder, SessionFixture::dir, SessionFixture::dm, SessionFixture::localDm,
        SessionFixture::newLogLines, SessionFixture::window;

    int folder(const QString &library, const QString &name, const QList<std::pair<QString, int>> &items)
    {
        const int made = builder.addFolder(library, name);
        for (const auto &[itemLibrary, item] : items)
            builder.link(library, made, itemLibrary, item);
        return made;
    }
    std::pair<QString, int> doc(const QString &library, const QString &name)
    {
        return {library, builder.addDocument(library, name)};
    }
    MoveOutcome move(int folder, const QString &report, const QString &faults = {})
    {
        localDm->faults() = FaultPlan::parse(faults);
        window.scriptAnswers({MessageAnswer::Yes});
        MoveCommand command(*dm, flags, dir.filePath("installation.ini.lock"));
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

QStringList column(const QList<QStringList> &rows, Column which)
{
    QStringList values;
    for (const QStringList &row : rows.mid(1))
        values << row.value(which);
    return values;
}

} // namespace

// A move that fails one link and its second run: each report's rows agree with the libraries, name every
// item of the tree, and show the failure with the DM's error number and text.
TEST(MoveReportTest, RowsMatchTheLibrariesAfterAFailedMoveAndItsSecondRun)
{
    ReportWorld w;
    const auto kept = w.folder("LIB_SQL", "Kept", {w.doc("LIB_SQL", "k")});
    w.folder("LIB_SQL", "Other", {{"LIB_SQL", kept}});
    const int sub = w.folder("LIB_SQL", "Sub", {w.doc("LIB_SQL", "c"), {"LIB_SQL", kept}});
    const int top = w.folder(
        "LIB_SQL", "Top",
        {w.doc("LIB_SQL", "a"), w.doc("LIB_SQL", "b, \"quoted\""), w.doc("LIB_ORA", "o1"), {"LIB_SQL", sub}});
    const QStringList tree = {"Top", "a", "b, \"quoted\"", "o1", "Sub", "c", "Kept", "k"};

    const QString first = w.dir.filePath("first.csv");
    EXPECT_EQ(w.move(top, first, "add:1"), MoveOutcome::Failed);
    const QList<QStringList> failed = readCsv(first);
    ASSERT_GT(failed.size(), 1);
    EXPECT_EQ(failed[0], QStringList({"Source library", "Source number", "Name", "Kind", "Target library",
                                      "Target number", "Action", "Result"}));
    EXPECT_EQ(w.contradictions(failed), QStringList());
    const QStringList names = column(failed, Name);
    for (const QString &name : tree)
        EXPECT_TRUE(names.contains(name)) << name.toStdString();
    const qsizetype a = names.indexOf("a");
    EXPECT_EQ(failed[a + 1][Action], "linked");
    EXPECT_TRUE(failed[a + 1][Result].startsWith("(2001) - ")) << failed[a + 1][Result].toStdString();
    EXPECT_TRUE(failed[a + 1][Result].contains("a fault was planted")) << failed[a + 1][Result].toStdString();
    EXPECT_EQ(column(failed, Action).count("skipped"), 2); // Top and Sub stay for want of "a"
    EXPECT_EQ(column(failed, Action).count("kept"), 1);
    EXPECT_EQ(column(failed, Action).count("removed"), 0);
    EXPECT_EQ(w.window.reportsOffered, QStringList({first}));

    const QString second = w.dir.filePath("second.csv");
    EXPECT_EQ(w.move(top, second), MoveOutcome::Done);
    const QList<QStringList> done = readCsv(second);
    EXPECT_EQ(w.contradictions(done), QStringList());
    const QStringList actions = column(done, Action);
    for (const QString &action : QStringList{"reused", "already linked", "linked", "removed", "kept"})
        EXPECT_TRUE(actions.contains(action)) << action.toStdString();
    EXPECT_EQ(column(done, Result).count("ok"), done.size() - 1);
    EXPECT_EQ(actions.count("removed"), 2);
    EXPECT_EQ(w.violations(), QStringList());
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
        MoveReport report(log, file);
        for (const auto &c : cases) {
            EXPECT_EQ(CsvField(c.name), c.field) << c.name.toStdString();
            report.write({"LIB_SQL", 7, c.name, ReportKind::Document, "LIB_SYB", 9}, ReportAction::Linked,
                         "ok");
        }
    }
    const QList<QStringList> rows = readCsv(file);
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
