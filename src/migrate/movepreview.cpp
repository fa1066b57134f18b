#include "migrate/movepreview.h"

#include "dm/fusion.h"
#include "dm/sessionguard.h"
#include "dmapi/dmerror.h"
#include "migrate/foldersteps.h"
#include "migrate/moveplan.h"
#include "migrate/movereport.h"
#include "migrate/movewalk.h"

namespace {

QString trusteeText(const FolderTrustee &trustee)
{
    return (trustee.group ? QStringLiteral("group ") : QStringLiteral("user ")) + trustee.id +
           QStringLiteral(" (") + NumberText(trustee.rights) + u')';
}

// The plan of one folder's move as the preview lists it: the parent chain topmost first, then the tree
// below the folder, depth first, each line indented by its depth; and as the report's rows.
class PlanPrinter {
public:
    PlanPrinter(const MovePlan &plan, QStringList &lines, int &hazards, QList<PlannedRow> &rows)
        : m_plan(plan), m_walk(plan.walk()), m_target(m_walk.target()), m_lines(lines), m_hazards(hazards),
          m_rows(rows)
    {
        for (qsizetype i = 0; i < plan.children().size(); ++i) {
            m_below[plan.children()[i].into] << i;
            if (m_stop > plan.selected() && plan.children()[i].folder == m_stop &&
                plan.children()[i].action == ChildAction::Place)
                m_stopChild = i;
        }
    }

    void run();

private:
    void tree(int folder, int depth);
    void placing(int index, int depth);
    void link(const ChildRow &child, const PlannedChild &planned, int depth);
    void fate(const PlannedFolder &folder, int index, int depth);
    QString where(int parent, bool isRoot) const;
    QString hazards(const QList<PlanHazard> &hazards, PlanHazard::About about, int depth);
    // A skipped row without a hazard of its own is a removal the failure of the move would leave undone.
    void row(const QString &library, int number, const QString &name, ReportKind kind, ReportAction action,
             int target, const QString &result)
    {
        if (!m_quiet)
            m_rows.append({{library, number, name, kind, m_target, target},
                           action,
                           action == ReportAction::Skipped && result.isEmpty() ? failureText() : result});
    }
    const QString &failureText();
    // An item the move would not come to has one row, skipped; its lines are listed all the same.
    void reach(bool unreached, const QString &library, int number, const QString &name, ReportKind kind)
    {
        m_quiet = false;
        if (unreached)
            row(library, number, name, kind, ReportAction::Skipped, 0,
                QStringLiteral("the move of the folder would stop before it"));
        m_quiet = unreached;
    }
    void line(int depth, const QString &text) { m_lines << QString(2 * depth, u' ') + text; }

    const MovePlan &m_plan;
    const MoveWalk &m_walk;
    const QString m_target;
    QStringList &m_lines;
    int &m_hazards;
    QList<PlannedRow> &m_rows;
    QHash<int, QList<qsizetype>> m_below; // the tree's rows by the plan's folder receiving them
    // Where the move would end, and what it would not come to: the rows of a report are those of the
    // steps it would take.
    const int m_stop = m_plan.stopsAt();
    const bool m_fails = m_plan.fails();
    qsizetype m_stopChild = -1;
    bool m_quiet = false;
    QString m_failureText; // found at the first row that needs it: a large tree has many such rows
    bool unreachedFolder(int folder) const
    {
        return m_stop >= 0 && folder > m_stop && folder <= m_plan.selected();
    }
    bool unreachedChild(qsizetype child) const
    {
        return (m_stop >= 0 && m_stop <= m_plan.selected()) || (m_stopChild >= 0 && child > m_stopChild);
    }
    // A move that fails leaves every folder it made in the target and removes none.
    ReportAction removal() const { return m_fails ? ReportAction::Skipped : ReportAction::Removed; }
};

void PlanPrinter::run()
{
    line(0, ItemText(QStringLiteral("Folder"), m_walk.number(), m_walk.name(), m_walk.source()) +
                QStringLiteral(" to library ") + m_target);
    const int selected = m_plan.selected();
    for (int i = 0; i <= selected; ++i) {
        const PlannedFolder &folder = m_plan.folders()[i];
        line(1, ItemText(i == selected ? QStringLiteral("Folder") : QStringLiteral("Parent folder"),
                         folder.number, folder.name, folder.library));
        if (folder.decision == FolderDecision::Stands) {
            line(2, QStringLiteral("Stands in library ") + m_target + QStringLiteral(" already"));
            continue;
        }
        reach(unreachedFolder(i), folder.library, folder.number, folder.name, ReportKind::Folder);
        placing(i, 2);
        if (i == m_stop)
            continue;
        if (i < selected) {
            line(2, QStringLiteral("Stays in library ") + folder.library);
            continue;
        }
        line(2, m_fails ? QStringLiteral("Kept whole in library ") + folder.library +
                              QStringLiteral(", as the move of its tree would fail")
                        : QStringLiteral("Removed from library ") + folder.library +
                              QStringLiteral(" once its whole tree is in library ") + m_target);
        row(folder.library, folder.number, folder.name, ReportKind::Folder, removal(),
            m_plan.standingNumber(i), {});
        tree(i, 2);
    }
}

// Where the move would fail: the first folder, in the order they are placed, or else the first item of
// the tree, that has a hazard failing it.
const QString &PlanPrinter::failureText()
{
    if (!m_failureText.isEmpty())
        return m_failureText;
    const auto failing = [](const QList<PlanHazard> &hazards) {
        return std::any_of(hazards.cbegin(), hazards.cend(), [](const PlanHazard &h) { return h.fails; });
    };
    QString at;
    for (const PlannedFolder &folder : m_plan.folders())
        if (at.isEmpty() && failing(folder.hazards))
            at = ItemText(QStringLiteral("folder"), folder.number, folder.name, folder.library);
    for (qsizetype i = 0; at.isEmpty() && i < m_plan.children().size(); ++i)
        if (const ChildRow &child = m_walk.children()[i]; failing(m_plan.children()[i].hazards))
            at = ItemText(child.isFolder() ? QStringLiteral("folder") : QStringLiteral("document"),
                          child.number, child.name, child.library);
    m_failureText = QStringLiteral("not removed: the move would fail at ") + at +
                    QStringLiteral(", which keeps the whole tree where it is");
    return m_failureText;
}

void PlanPrinter::tree(int folder, int depth)
{
    for (const qsizetype i : m_below.value(folder)) {
        const ChildRow &child = m_walk.children()[i];
        const PlannedChild &planned = m_plan.children()[i];
        reach(unreachedChild(i), child.library, child.number, child.name,
              child.isFolder() ? ReportKind::Folder : ReportKind::Document);
        if (planned.action == ChildAction::Link || planned.action == ChildAction::AlreadyLinked) {
            link(child, planned, depth);
            continue;
        }
        line(depth, ItemText(QStringLiteral("Folder"), child.number, child.name, child.library));
        if (planned.action == ChildAction::LinkCopy) {
            row(child.library, child.number, child.name, ReportKind::Folder, planned.reported(),
                m_plan.standingNumber(folder),
                hazards(planned.hazards, PlanHazard::About::Placing, depth + 1));
            continue;
        }
        placing(planned.folder, depth + 1);
        if (planned.folder != m_stop)
            fate(m_plan.folders()[planned.folder], planned.folder, depth + 1);
        tree(planned.folder, depth + 1);
    }
}

void PlanPrinter::link(const ChildRow &child, const PlannedChild &planned, int depth)
{
    const QString kind = child.isFolder() ? QStringLiteral("folder") : QStringLiteral("document");
    const bool already = planned.action == ChildAction::AlreadyLinked;
    line(depth, (already ? QStringLiteral("Linked already: ") : QStringLiteral("Link ")) +
                    ItemText(kind, child.number, child.name, child.library));
    row(child.library, child.number, child.name, child.isFolder() ? ReportKind::Folder : ReportKind::Document,
        planned.reported(), m_plan.standingNumber(planned.into),
        hazards(planned.hazards, PlanHazard::About::Placing, depth + 1));
}

void PlanPrinter::placing(int index, int depth)
{
    const PlannedFolder &folder = m_plan.folders()[index];
    const QString place = where(folder.parent, folder.isRoot);
    const int standing = m_plan.standingNumber(index);
    const QString found = QStringLiteral("folder #") + NumberText(standing) + u' ' + Quoted(folder.name);
    switch (folder.decision) {
    case FolderDecision::Make:
        line(depth, QStringLiteral("Made as folder ") + Quoted(folder.name) + u' ' + place);
        break;
    case FolderDecision::MakeAnew:
        line(depth, QStringLiteral("Made anew: folder #") + NumberText(folder.found) + u' ' +
                        Quoted(folder.name) + u' ' + place +
                        QStringLiteral(", left half-made by an earlier run, is removed first"));
        break;
    case FolderDecision::TakeUp:
    case FolderDecision::JoinTwin:
        if (standing == 0)
            line(depth, QStringLiteral("Taken up: the new folder ") +
                            Quoted(m_plan.folders()[folder.twin].name) + u' ' + place);
        else
            line(depth, QStringLiteral("Taken up: ") + found + u' ' + place +
                            (folder.choice == TakeUpChoice::TakeUpAndCopy
                                 ? QStringLiteral(", whose trustees are copied again")
                                 : QStringLiteral(", whose trustees stay as they are")));
        break;
    case FolderDecision::Stands:
    case FolderDecision::Refuse:
        break;
    }
    QString result = hazards(folder.hazards, PlanHazard::About::Placing, depth);
    const QString trustees = hazards(folder.hazards, PlanHazard::About::Trustees, depth);
    result += (result.isEmpty() || trustees.isEmpty() ? QString() : QStringLiteral("; ")) + trustees;
    if (folder.trustees && folder.trustees->open) {
        line(depth, QStringLiteral("Access: open to everyone, as its source"));
    } else if (folder.trustees && !folder.trustees->restricted()) {
        QStringList copied;
        for (const FolderTrustee &trustee : folder.trustees->copied)
            copied << trusteeText(trustee);
        line(depth, QStringLiteral("Trustees to copy: ") + copied.join(QStringLiteral(", ")));
    }
    row(folder.library, folder.number, folder.name, ReportKind::Folder, *folder.placing(), standing, result);
}

void PlanPrinter::fate(const PlannedFolder &folder, int index, int depth)
{
    // A move that fails removes nothing: each folder stays with the folder above it.
    if (folder.fate == FolderFate::Removed && !m_fails)
        line(depth, QStringLiteral("Removed from library ") + folder.library);
    else if (folder.fate == FolderFate::Removed ||
             std::none_of(folder.hazards.cbegin(), folder.hazards.cend(),
                          [](const PlanHazard &h) { return h.about == PlanHazard::About::Fate; }))
        line(depth, QStringLiteral("Stays in library ") + folder.library +
                        QStringLiteral(" with the folder above it"));
    row(folder.library, folder.number, folder.name, ReportKind::Folder,
        folder.fate == FolderFate::Kept ? ReportAction::Kept : removal(), m_plan.standingNumber(index),
        hazards(folder.hazards, PlanHazard::About::Fate, depth));
}

// Lists the hazards of one kind, counts them and gives them as a row's result.
QString PlanPrinter::hazards(const QList<PlanHazard> &hazards, PlanHazard::About about, int depth)
{
    QStringList texts;
    for (const PlanHazard &hazard : hazards)
        if (hazard.about == about) {
            line(depth, hazard.text);
            texts << hazard.text;
            ++m_hazards;
        }
    return texts.join(QStringLiteral("; "));
}

QString PlanPrinter::where(int parent, bool isRoot) const
{
    if (parent < 0)
        return QStringLiteral("at the top level of library ") + m_target +
               (isRoot ? QStringLiteral(", public") : QStringLiteral(", private"));
    const QString name = Quoted(m_plan.folders()[m_plan.sharedWith(parent)].name);
    const int standing = m_plan.standingNumber(parent);
    if (standing == 0)
        return QStringLiteral("in the new folder ") + name;
    return QStringLiteral("in folder #") + NumberText(standing) + u' ' + name +
           QStringLiteral(" of library ") + m_target;
}

} // namespace

MovePreview::MovePreview(DmContext &dm) : m_dm(dm)
{
    m_dm.previewWarnings = &m_warnings;
}

MovePreview::~MovePreview()
{
    m_dm.previewWarnings = nullptr;
}

void MovePreview::refused(const QString &line)
{
    takeWarnings();
    m_lines << line;
    ++m_hazards;
    m_refused = true;
}

void MovePreview::cancelled(int left)
{
    m_lines << QStringLiteral("Preview canceled - ") + NumberText(left) +
                   QStringLiteral(" folder(s) not previewed.");
}

void MovePreview::takeWarnings()
{
    for (const QString &warning : std::as_const(m_warnings)) {
        if (m_warningsListed.contains(warning))
            continue;
        m_warningsListed.insert(warning);
        m_lines << warning;
        ++m_hazards;
    }
    m_warnings.clear();
}

void MovePreview::folder(int docNumber, const QString &sourceLib, const QString &targetLib)
{
    SessionGuard entry(m_dm, SessionGuard::Window::Restore);
    takeWarnings();
    ++m_folders;
    bool fails = true;
    const auto failed = [&](const QString &text) {
        m_lines << QStringLiteral("  ") + text;
        ++m_hazards;
        m_rows.append({{sourceLib, docNumber, QString(), ReportKind::Folder, targetLib, 0},
                       ReportAction::Skipped,
                       text});
    };
    try {
        MoveWalk walk(m_dm, docNumber, sourceLib, targetLib);
        if (walk.walk()) {
            const MovePlan plan(m_dm, walk, PlanReading::Everything);
            PlanPrinter(plan, m_lines, m_hazards, m_rows).run();
            fails = plan.fails();
            m_items += int(plan.children().size());
        } else {
            m_lines << QStringLiteral("Folder #") + NumberText(docNumber) + QStringLiteral(" of library ") +
                           sourceLib;
            failed(walk.refusal());
        }
    } catch (const DmError &error) {
        ReportTrapped(m_dm.log, QStringLiteral("MovePreview"), error);
        failed(QStringLiteral("Error: The preview of folder #") + NumberText(docNumber) +
               QStringLiteral(" stopped: ") + error.description());
    }
    if (fails)
        ++m_failing;
    ReleaseSharedSlots(m_dm.session);
    // What reconnecting warns of belongs to this folder's lines.
    entry.restoreLibrary();
    takeWarnings();
}

MovePreview::Verdict MovePreview::verdict() const
{
    if (m_refused)
        return Verdict::Refused;
    return m_failing > 0 ? Verdict::Fails : Verdict::Clean;
}

QString MovePreview::text() const
{
    QString verdictText;
    switch (verdict()) {
    case Verdict::Clean:
        verdictText = QStringLiteral("the move would go through (exit 0).");
        break;
    case Verdict::Fails:
        verdictText = NumberText(m_failing) + QStringLiteral(" folder(s) would fail (exit 1).");
        break;
    case Verdict::Refused:
        verdictText = QStringLiteral("the move would be refused (exit 3).");
        break;
    }
    return m_lines.join(u'\n') + (m_lines.isEmpty() ? QString() : QStringLiteral("\n")) +
           NumberText(m_folders) + QStringLiteral(" folder(s) and ") + NumberText(m_items) +
           QStringLiteral(" item(s) previewed with ") + NumberText(m_hazards) +
           QStringLiteral(" hazard(s); nothing was changed. Verdict: ") + verdictText;
}

void MovePreview::publish()
{
    takeWarnings();
    ActivityLog &log = m_dm.log;
    const QString list = text();
    log.WriteDashLine();
    log.WriteLogAlways(QStringLiteral("Preview"));
    for (const QString &line : list.split(u'\n'))
        log.WriteLogAlways(line);
    log.WriteDashLine();
    m_dm.window.showPreview(list, verdict() != Verdict::Refused);
}

void MovePreview::writeRows(MoveReport &report) const
{
    for (const PlannedRow &row : m_rows)
        report.write(row.item, row.action, row.result);
}
