#include "moveworld.h"
#include "previewhazards.h"
#include "reportcsv.h"
#include "support/testbackend.h"

#include "dm/fusion.h"
#include "localdm/tools/demoinstallation.h"
#include "localdm/tools/librarycheck.h"
#include "migrate/movereport.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// What the preview of a move planned against what the move then did.
struct Agreement {
    MovePreview::Verdict verdict;
    MoveOutcome outcome;
    // One line per item, in a report's words, whose actions differ; empty when they agree.
    QStringList differences;
};

// A report's rows by item. An item may have several rows (a folder made and then removed). Each row is
// also kept with its target number where it has one: the preview knows the folders it would take up or
// file into, not the numbers of those it would make.
struct ItemRows {
    QString name;
    QStringList actions;
    QStringList numbered;
};
QMap<QString, ItemRows> rowsByItem(const QString &fileName, QStringList &differences)
{
    const QList<QStringList> rows = ReadReportCsv(fileName);
    if (rows.isEmpty())
        differences << fileName + " is missing or not a report";
    QMap<QString, ItemRows> items;
    for (const QStringList &row : rows.mid(1)) {
        ItemRows &item = items[row[SourceLibrary].toUpper() + " #" + row[SourceNumber] + ' ' + row[Kind]];
        item.name = row[Name];
        item.actions << row[Action];
        item.numbered << row[Action] + (row[TargetNumber].isEmpty() ? "" : " #" + row[TargetNumber]);
    }
    for (ItemRows &item : items) {
        item.actions.sort();
        item.numbered.sort();
    }
    return items;
}

// Items whose actions differ, or where the plan names a target number that the move did not use.
QStringList compareRows(const QString &planFile, const QString &doneFile)
{
    QStringList differences;
    const QMap<QString, ItemRows> planned = rowsByItem(planFile, differences);
    const QMap<QString, ItemRows> done = rowsByItem(doneFile, differences);
    QStringList keys = planned.keys() + done.keys();
    keys.removeDuplicates();
    keys.sort();
    for (const QString &key : keys) {
        const ItemRows plan = planned.value(key), did = done.value(key);
        const bool elsewhere =
            std::any_of(plan.numbered.cbegin(), plan.numbered.cend(), [&](const QString &row) {
                return row.contains(u'#') && !did.numbered.contains(row);
            });
        if (plan.actions != did.actions || elsewhere)
            differences << QString("%1 \"%2\": planned [%3], done [%4]")
                               .arg(key, plan.name.isEmpty() ? did.name : plan.name, plan.numbered.join(", "),
                                    did.numbered.join(", "));
    }
    return differences;
}

// Previews the move and writes its plan to plan.csv in dir, then moves the folder for real with its
// report in done.csv. A move the preview refuses is not confirmed, so that a move command that does
// not refuse it asks an unscripted question.
Agreement planAndMove(DmContext &dm, FakeWindow &window, const MoveInstallation &installation,
                      const QString &dir, const PreviewMove &move)
{
    window.target = move.target;
    MoveFlags flags;
    MovePreview preview(dm);
    MoveCommand(dm, flags, installation, &preview).moveFolder(move.source, move.folder, {});
    {
        MoveReport plan(dm.log, dir + "/plan.csv", {});
        preview.writeRows(plan);
    }
    const MovePreview::Verdict verdict = preview.verdict();
    if (verdict != MovePreview::Verdict::Refused)
        window.scriptAnswers({MessageAnswer::Yes});
    MoveCommand command(dm, flags, installation);
    command.setReportFile(dir + "/done.csv");
    const MoveOutcome outcome = command.moveFolder(move.source, move.folder, {});
    return {verdict, outcome,
            verdict == MovePreview::Verdict::Refused ? QStringList()
                                                     : compareRows(dir + "/plan.csv", dir + "/done.csv")};
}

MoveOutcome outcomeOf(MovePreview::Verdict verdict)
{
    switch (verdict) {
    case MovePreview::Verdict::Clean:
        break;
    case MovePreview::Verdict::Fails:
        return MoveOutcome::Failed;
    case MovePreview::Verdict::Refused:
        return MoveOutcome::Refused;
    }
    return MoveOutcome::Done;
}

void expectAgreement(const Agreement &agreement)
{
    EXPECT_EQ(agreement.outcome, outcomeOf(agreement.verdict));
    EXPECT_TRUE(agreement.differences.isEmpty()) << "item, planned action, done action:\n"
                                                 << agreement.differences.join(u'\n').toStdString();
}

// Every top-level folder of every library of the demo into every other library. The demo's user holds
// no folder rights in LEGAL; they are granted here, so that moves into LEGAL run too.
QList<PreviewMove> demoMoves(const Installation &demo)
{
    LocalDm dm(demo);
    dm.database("LEGAL").exec("INSERT INTO DM_RIGHTS (GROUPS_SYSTEM_ID, RIGHT_NAME) SELECT G.SYSTEM_ID, "
                              "R.RIGHT_NAME FROM DM_RIGHTS R, GROUPS G WHERE G.GROUP_ID = 'FOLDER_ADMINS'");
    static const QRegularExpression top(R"(^  F #(\d+) )");
    QList<PreviewMove> moves;
    for (const LibraryConfig &source : demo.libraries)
        for (const QString &line : LibraryCheck(dm).folderTree(source.name))
            if (const QRegularExpressionMatch m = top.match(line); m.hasMatch())
                for (const LibraryConfig &target : demo.libraries)
                    if (target.name != source.name)
                        moves.append({source.name, m.captured(1).toInt(), target.name});
    return moves;
}

// Folders of those names under parent, each restricted to JSMITH and holding a document of its own.
void fileFolders(PreviewWorld &w, const QString &library, int parent, const QStringList &names)
{
    for (const QString &name : names) {
        const int folder = w.folder(library, name, JsmithOnly);
        w.file(library, folder, w.document(library, name.trimmed() + " memo " + QString::number(parent)));
        w.file(library, parent, folder);
    }
}

} // namespace

// The demo that `korvel-dm init-demo` makes: each move, on a fresh copy, does what its preview planned.
// The demo is small enough for the whole matrix. CORPORATE's "Finance" fails on purpose: its subfolders
// "Budget" and "BUDGET" give different access, so the check before removal keeps the tree.
TEST(PlanAgreementTest, DemoMoves)
{
    QTemporaryDir dir;
    const Installation demo = Installation::load(CreateTestDemo(dir.path(), DemoSize::Small, "JDOE"));
    const QList<PreviewMove> moves = demoMoves(demo);
    ASSERT_FALSE(moves.isEmpty());
    for (const PreviewMove &move : moves) {
        SCOPED_TRACE(
            QString("#%1 of %2 into %3").arg(move.folder).arg(move.source, move.target).toStdString());
        const WorldCopy copy(demo);
        CopySession run(copy.installation(), copy.path());
        expectAgreement(planAndMove(run.dm, run.window,
                                    {copy.installation().fileName, copy.installation().databaseFiles()},
                                    copy.path(), move));
    }
}

// The preview's hazards whose move runs, and sibling folders whose names differ only in letter case or
// trailing blanks, which become one folder in the target.
TEST(PlanAgreementTest, HazardsAndCaseTwins)
{
    QList<std::pair<QString, std::function<PreviewMove(PreviewWorld &)>>> cases;
    for (const PreviewHazard &hazard : PreviewHazards())
        if (hazard.outcome != MoveOutcome::Refused)
            cases.append({hazard.name, hazard.plant});
    cases += {
        {"twins \"Finance\" and \"finance \"",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A", JsmithOnly);
             fileFolders(w, "LIB_SQL", a, {"Finance", "finance "});
             return PreviewMove{"LIB_SQL", a};
         }},
        {"twins \"Finance\" and \"FINANCE\"",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A", JsmithOnly);
             fileFolders(w, "LIB_SQL", a, {"Finance", "FINANCE"});
             return PreviewMove{"LIB_SQL", a};
         }},
        {"twins \"Finance\" and \"finance \" under a folder taken up that holds \"FINANCE\" and \"finance\"",
         [](PreviewWorld &w) {
             fileFolders(w, "LIB_SYB", w.folder("LIB_SYB", "A", JsmithOnly, true), {"FINANCE", "finance"});
             const int a = w.folder("LIB_SQL", "A", JsmithOnly, true);
             fileFolders(w, "LIB_SQL", a, {"Finance", "finance "});
             return PreviewMove{"LIB_SQL", a};
         }},
        {"\"Finance\" into a library whose top level holds \"FINANCE\" and \"finance \"",
         [](PreviewWorld &w) {
             w.folder("LIB_SYB", "FINANCE", JsmithOnly, true);
             w.folder("LIB_SYB", "finance ", JsmithOnly, true);
             const int finance = w.folder("LIB_SQL", "Finance", JsmithOnly, true);
             w.file("LIB_SQL", finance, w.document("LIB_SQL", "Ledger"));
             return PreviewMove{"LIB_SQL", finance};
         }},
    };
    for (const auto &[name, plant] : cases) {
        SCOPED_TRACE(name.toStdString());
        PreviewWorld w;
        const PreviewMove move = plant(w);
        expectAgreement(planAndMove(
            *w.dm, w.window, {w.dir.filePath("installation.ini"), w.builder.installation().databaseFiles()},
            w.dir.path(), move));
    }
}
