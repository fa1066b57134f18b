#include "migrate/movepreview.h"

#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dm/sessionguard.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/createfolder.h"
#include "migrate/foldersteps.h"
#include "migrate/movereport.h"
#include "migrate/movewalk.h"
#include "migrate/securitycopy.h"
#include "settings/leadingnumber.h"

namespace {

constexpr int FullRights = 255;

QString itemText(const QString &kind, int number, const QString &name, const QString &library)
{
    return kind + QStringLiteral(" #") + NumberText(number) + u' ' + Quoted(name) +
           QStringLiteral(" of library ") + (library.isEmpty() ? QStringLiteral("(unknown)") : library);
}

QString trusteeText(const FolderTrustee &trustee)
{
    return (trustee.group ? QStringLiteral("group ") : QStringLiteral("user ")) + trustee.id +
           QStringLiteral(" (") + NumberText(trustee.rights) + u')';
}

// A folder of the target library as the plan sees it: one that stands there (its number), or one the
// move would make (number 0), with the access the move would give it.
struct TargetFolder {
    int number = 0;
    QString name;
    std::optional<FolderAccess> access;
};

// The plan of one folder's move, from its walk: the parent chain topmost first, then the tree below
// the folder, depth first. Every line goes to lines, indented by its depth; hazards are counted.
class FolderPlan {
public:
    FolderPlan(DmContext &dm, MoveWalk &walk, QStringList &lines, int &hazards, QList<PlannedRow> &rows)
        : m_dm(dm), m_walk(walk), m_target(walk.target()), m_lines(lines), m_hazards(hazards), m_rows(rows)
    {
        for (qsizetype i = 0; i < walk.children.size(); ++i)
            m_below[walk.children[i].parentKey()] << i;
    }

    void run();

    // Whether a hazard met would make the move of the folder fail (it keeps its tree where it is).
    bool fails() const { return m_fails; }
    int items() const { return m_items; }

private:
    void chain();
    void tree(const ItemKey &folder, int made, int depth);
    void link(const ChildRow &child, int made, int depth);
    const QSet<ItemKey> &filedIn(int made);
    void removal(const ChildRow &child, int copy, int depth);
    // Makes or takes up a folder under parent (an index of m_made, -1 for the top level); returns its index.
    int place(const QString &name, int parent, bool isRoot, int source, const QString &sourceLib, int depth);
    int takeUp(int found, const QString &name, int parent, bool isRoot,
               const std::optional<FolderAccess> &source, int sourceFolder, const QString &sourceLib,
               int depth);
    // The check a move makes before it removes anything: the folder taken up must give the access its
    // source gives.
    void compare(const QString &folder, const std::optional<FolderAccess> &access,
                 const std::optional<FolderAccess> &source, int sourceFolder, const QString &sourceLib,
                 int depth);
    int existingFolder(const QString &name, int parentNumber, bool isRoot, int depth);
    void sameNamed(const QString &name, int parentNumber, int found, int depth);
    std::optional<FolderAccess> trustees(const std::optional<FolderAccess> &source, const QString &name,
                                         int depth);
    void uniqueName(const QString &name, int depth);
    void thirdLibrary(const QString &kind, const ChildRow &child, const QString &fate, int depth);
    bool opens(const ChildRow &child);
    bool known(const FolderTrustee &trustee);
    std::optional<FolderAccess> accessOf(int number, const QString &library);
    QString where(int parent, bool isRoot) const;
    int add(const TargetFolder &folder, int parent);
    QString mover() const { return m_dm.session.currentLibrary->userId(); }

    void line(int depth, const QString &text) { m_lines << QString(2 * depth, u' ') + text; }
    // "Error:" hazards always fail the folder's move; some warnings do too.
    void hazard(int depth, const QString &text, bool fails = false)
    {
        line(depth, text);
        ++m_hazards;
        m_fails = m_fails || fails || text.startsWith(QStringLiteral("Error:"));
        const bool rowMade = m_itemRow >= 0;
        QString &result = rowMade ? m_rows[m_itemRow].result : m_pending;
        result += (result.isEmpty() ? QString() : QStringLiteral("; ")) + text;
    }
    // The item the next rows and hazards are of; hazards met before it got a row make it a skipped one.
    void item(int number, const QString &name, const QString &library, ReportKind kind);
    void planned(ReportAction action, int targetNumber);
    void flush();

    DmContext &m_dm;
    MoveWalk &m_walk;
    const QString m_target;
    QStringList &m_lines;
    int &m_hazards;
    QHash<ItemKey, QList<qsizetype>> m_below; // rows of the content tree by the folder holding them
    QList<TargetFolder> m_made;
    QHash<std::pair<int, QString>, int> m_byName; // (parent, name upper-cased) -> index of m_made
    QHash<int, QSet<ItemKey>> m_filed;            // items of the target folders that stand there, by index
    QList<PlannedRow> &m_rows;
    ReportItem m_item;
    qsizetype m_itemRow = -1; // the last row of m_item, -1 while it has none
    QString m_pending;        // its hazards before it had a row
    bool m_fails = false;
    int m_items = 0;
    QHash<QString, bool> m_known; // trustees looked up in the target
    QSet<QString> m_namesMade;    // upper-cased names of the folders the move would make
    std::optional<bool> m_uniqueNames;
};

void FolderPlan::run()
{
    line(0, itemText(QStringLiteral("Folder"), m_walk.number(), m_walk.name(), m_walk.source()) +
                QStringLiteral(" to library ") + m_target);
    chain();
    flush();
}

void FolderPlan::item(int number, const QString &name, const QString &library, ReportKind kind)
{
    flush();
    m_item = {library, number, name, kind, m_target, 0};
    m_itemRow = -1;
}

void FolderPlan::planned(ReportAction action, int targetNumber)
{
    ReportItem row = m_item;
    row.targetNumber = targetNumber;
    m_rows.append({row, action, m_pending});
    m_pending.clear();
    m_itemRow = m_rows.size() - 1;
}

void FolderPlan::flush()
{
    if (!m_pending.isEmpty())
        planned(ReportAction::Skipped, 0);
}

// Chain rows met twice (a folder reached through two parents) are planned once, as the move makes them
// once.
void FolderPlan::chain()
{
    QHash<ItemKey, int> made;
    const QList<ChainRow> &rows = m_walk.chain;
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        const ChainRow &row = rows[i];
        const ItemKey key = keyOf(row.number, row.library);
        if (made.contains(key))
            continue;
        const QString kind = i == 0 ? QStringLiteral("Folder") : QStringLiteral("Parent folder");
        line(1, itemText(kind, row.number, row.name, row.library));
        item(row.number, row.name, row.library, ReportKind::Folder);
        if (m_walk.standsForItself(row.library)) {
            line(2, QStringLiteral("Stands in library ") + m_target + QStringLiteral(" already"));
            m_made << TargetFolder{row.number, row.name, {}};
            made.insert(key, int(m_made.size()) - 1);
            continue;
        }
        const qsizetype parents =
            std::count_if(rows.cbegin(), rows.cend(), [&](const ChainRow &up) { return up.foundFrom == i; });
        if (parents > 1)
            hazard(2, QStringLiteral("Warning: It has ") + NumberText(int(parents)) +
                          QStringLiteral(" parent folders: only folder #") + NumberText(row.parent) +
                          QStringLiteral(" holds it in library ") + m_target +
                          QStringLiteral(", the others are made there without it"));
        const int parent = row.parent == 0 ? -1 : made.value(keyOf(row.parent, row.parentLib), -1);
        const int folder = place(row.name, parent, row.isRoot, row.number, row.library, 2);
        made.insert(key, folder);
        if (i > 0) {
            line(2, QStringLiteral("Stays in library ") + row.library);
            continue;
        }
        line(2, QStringLiteral("Removed from library ") + row.library +
                    QStringLiteral(" once its whole tree is in library ") + m_target);
        flush();
        planned(ReportAction::Removed, m_made[folder].number);
        tree(key, folder, 2);
    }
}

void FolderPlan::tree(const ItemKey &folder, int made, int depth)
{
    for (const qsizetype i : m_below.value(folder)) {
        const ChildRow &child = m_walk.children[i];
        if (!child.isFolder() || m_walk.standsForItself(child.library)) {
            link(child, made, depth);
            continue;
        }
        line(depth, itemText(QStringLiteral("Folder"), child.number, child.name, child.library));
        item(child.number, child.name, child.library, ReportKind::Folder);
        ++m_items;
        if (child.repeat) {
            planned(ReportAction::Linked, m_made[made].number);
            hazard(depth + 1,
                   QStringLiteral("Warning: It is filed twice in the moved tree: made once in library ") +
                       m_target + QStringLiteral(" and linked in both places"));
            continue;
        }
        thirdLibrary(QStringLiteral("Folder"), child,
                     QStringLiteral("it is made in library ") + m_target +
                         QStringLiteral(" and removed from ") + child.library,
                     depth + 1);
        const int placed = place(child.name, made, false, child.number, child.library, depth + 1);
        removal(child, m_made[placed].number, depth + 1);
        tree(child.key(), placed, depth + 1);
    }
}

// An item that a folder standing in the target holds already is left as it is.
void FolderPlan::link(const ChildRow &child, int made, int depth)
{
    const QString kind = child.isFolder() ? QStringLiteral("Folder") : QStringLiteral("Document");
    const bool already = filedIn(made).contains(child.key());
    line(depth, (already ? QStringLiteral("Linked already: ") : QStringLiteral("Link ")) +
                    itemText(kind.toLower(), child.number, child.name, child.library));
    item(child.number, child.name, child.library,
         child.isFolder() ? ReportKind::Folder : ReportKind::Document);
    ++m_items;
    planned(already ? ReportAction::AlreadyLinked : ReportAction::Linked, m_made[made].number);
    thirdLibrary(kind, child, QStringLiteral("it stays there and is linked from library ") + m_target,
                 depth + 1);
    if (!opens(child))
        hazard(depth + 1,
               QStringLiteral("Warning: It cannot be opened: it would not be linked, and the folders "
                              "of the tree would stay in library ") +
                   m_walk.source(),
               true);
}

const QSet<ItemKey> &FolderPlan::filedIn(int made)
{
    auto found = m_filed.find(made);
    if (found != m_filed.end())
        return *found;
    QSet<ItemKey> items;
    if (const int number = m_made[made].number; number != 0)
        if (const std::optional<SqlRows> rows = m_walk.contentsOf(number, m_target))
            for (qsizetype r = 0; r < rows->size(); ++r)
                items.insert(keyOf(leadingInt32(rows->value(r, 1).toString()), rows->value(r, 2).toString()));
    return *m_filed.insert(made, items);
}

void FolderPlan::thirdLibrary(const QString &kind, const ChildRow &child, const QString &fate, int depth)
{
    if (sameLibrary(child.library, m_walk.source()) || m_walk.standsForItself(child.library))
        return;
    hazard(depth, QStringLiteral("Warning: ") + kind + QStringLiteral(" #") + NumberText(child.number) +
                      QStringLiteral(" lives in a third library, ") + child.library + QStringLiteral(": ") +
                      fate);
}

// The move opens each item it links through the DM; one that does not open is not linked.
bool FolderPlan::opens(const ChildRow &child)
{
    try {
        const std::shared_ptr<DmLibrary> library = FindLibrary(m_dm.session, child.library);
        if (!library)
            return false;
        return child.isFolder() ? library->openFolderItem(child.number) != nullptr
                                : library->openProfileItem(child.number) != nullptr;
    } catch (const DmError &) {
        return false;
    }
}

void FolderPlan::removal(const ChildRow &child, int copy, int depth)
{
    flush();
    planned(m_walk.kept.contains(child.key()) ? ReportAction::Kept : ReportAction::Removed, copy);
    if (!m_walk.kept.contains(child.key()))
        line(depth, QStringLiteral("Removed from library ") + child.library);
    else if (m_walk.kept.contains(child.parentKey()))
        line(depth, QStringLiteral("Stays in library ") + child.library +
                        QStringLiteral(" with the folder above it"));
    else
        hazard(depth,
               QStringLiteral("Warning: It is also filed outside the moved tree: it stays in library ") +
                   child.library + QStringLiteral(" as well"));
}

int FolderPlan::add(const TargetFolder &folder, int parent)
{
    m_made << folder;
    const int index = int(m_made.size()) - 1;
    m_byName.insert({parent, folder.name.toUpper()}, index);
    return index;
}

QString FolderPlan::where(int parent, bool isRoot) const
{
    if (parent < 0)
        return QStringLiteral("at the top level of library ") + m_target +
               (isRoot ? QStringLiteral(", public") : QStringLiteral(", private"));
    const TargetFolder &folder = m_made[parent];
    if (folder.number == 0)
        return QStringLiteral("in the new folder ") + Quoted(folder.name);
    return QStringLiteral("in folder #") + NumberText(folder.number) + u' ' + Quoted(folder.name) +
           QStringLiteral(" of library ") + m_target;
}

int FolderPlan::place(const QString &name, int parent, bool isRoot, int source, const QString &sourceLib,
                      int depth)
{
    const std::optional<FolderAccess> sourceAccess = accessOf(source, sourceLib);
    // A folder of the same name that this move makes first is found where the second would go.
    if (const auto twin = m_byName.constFind({parent, name.toUpper()}); twin != m_byName.cend()) {
        const TargetFolder made = m_made[*twin];
        if (made.name != name)
            hazard(depth,
                   QStringLiteral("Warning: Its name and that of ") + Quoted(made.name) +
                       QStringLiteral(" differ only in letter case: they become one folder in library ") +
                       m_target);
        if (made.number == 0) {
            line(depth, QStringLiteral("Taken up: the new folder ") + Quoted(made.name) + u' ' +
                            where(parent, isRoot));
            planned(ReportAction::Reused, 0);
            compare(QStringLiteral("the new folder ") + Quoted(made.name), made.access, sourceAccess, source,
                    sourceLib, depth);
            return *twin;
        }
        return takeUp(made.number, name, parent, isRoot, sourceAccess, source, sourceLib, depth);
    }
    // Under a folder the move would make, nothing stands yet to be taken up.
    const bool parentStands = parent < 0 || m_made[parent].number != 0;
    const int parentNumber = parent < 0 ? 0 : m_made[parent].number;
    const int found = parentStands ? existingFolder(name, parentNumber, isRoot, depth) : 0;
    int placed = 0;
    if (found != 0) {
        placed = takeUp(found, name, parent, isRoot, sourceAccess, source, sourceLib, depth);
    } else {
        line(depth, QStringLiteral("Made as folder ") + Quoted(name) + u' ' + where(parent, isRoot));
        planned(ReportAction::Created, 0);
        placed = add({0, name, {}}, parent);
    }
    if (parentStands)
        sameNamed(name, parentNumber, found, depth);
    if (found == 0) {
        uniqueName(name, depth);
        m_made[placed].access = trustees(sourceAccess, name, depth);
    }
    return placed;
}

int FolderPlan::takeUp(int found, const QString &name, int parent, bool isRoot,
                       const std::optional<FolderAccess> &source, int sourceFolder, const QString &sourceLib,
                       int depth)
{
    const QString folder = QStringLiteral("folder #") + NumberText(found) + u' ' + Quoted(name);
    const QString takenUp = QStringLiteral("Taken up: ") + folder + u' ' + where(parent, isRoot);
    std::optional<FolderAccess> existing;
    if (ConnectLibrary(m_dm, m_target))
        existing = ReadFolderAccess(m_dm, found);
    if (!existing || !source) {
        hazard(depth,
               QStringLiteral("Error: The access of ") + folder + QStringLiteral(" of library ") + m_target +
                   QStringLiteral(" cannot be compared with its source's - the move of this folder stops "
                                  "there"));
    } else if (AccessWider(*existing, *source, mover()) &&
               !HalfMadeFolders(m_dm, QStringLiteral("PR.DOCNUMBER = ") + NumberText(found)).isEmpty()) {
        line(depth, QStringLiteral("Made anew: ") + folder + u' ' + where(parent, isRoot) +
                        QStringLiteral(", left half-made by an earlier run, is removed first"));
        planned(ReportAction::Created, 0);
        return add({0, name, trustees(source, name, depth)}, parent);
    } else if (AccessWider(*existing, *source, mover())) {
        hazard(depth,
               QStringLiteral("Error: A ") + folder + QStringLiteral(" stands in library ") + m_target +
                   QStringLiteral(" and gives wider access than its source, so it is not taken up - the "
                                  "move of this folder stops there"));
    } else if (existing->isRestrictedTo(mover()) && !source->isRestrictedTo(mover()) &&
               MadeByThisProgram(m_dm, found)) {
        line(depth, takenUp + QStringLiteral(", whose trustees are copied again"));
        planned(ReportAction::Reused, found);
        existing = trustees(source, name, depth);
    } else {
        line(depth, takenUp + QStringLiteral(", whose trustees stay as they are"));
        planned(ReportAction::Reused, found);
        compare(folder, existing, source, sourceFolder, sourceLib, depth);
    }
    return add({found, name, existing}, parent);
}

void FolderPlan::compare(const QString &folder, const std::optional<FolderAccess> &access,
                         const std::optional<FolderAccess> &source, int sourceFolder,
                         const QString &sourceLib, int depth)
{
    if (!access || !source)
        return;
    const QString sourceText =
        QStringLiteral("folder #") + NumberText(sourceFolder) + QStringLiteral(" of library ") + sourceLib;
    for (const QString &difference : AccessDifferences(*access, *source, mover(), sourceText,
                                                       [this](const FolderTrustee &t) { return known(t); }))
        hazard(depth, QStringLiteral("Error: ") + folder.front().toUpper() + folder.mid(1) + u' ' +
                          difference +
                          QStringLiteral(" - the check before removal keeps the whole tree where it is"));
}

// The folder CreateFolder would take up: 0 when there is none.
int FolderPlan::existingFolder(const QString &name, int parentNumber, bool isRoot, int depth)
{
    const int found = parentNumber != 0 ? SubfolderNamed(m_dm, name, parentNumber, m_target).value_or(0) : 0;
    if (found != 0 || !ConnectLibrary(m_dm, m_target))
        return found;
    const SqlRows rows = FoldersNamed(m_dm, name, parentNumber, isRoot, m_target);
    if (rows.failed())
        hazard(depth, QStringLiteral("Error: Library ") + m_target +
                          QStringLiteral(" cannot be searched for a folder of this name: SQL error ") +
                          rows.errorText());
    return leadingInt32(rows.value(0, 1).toString());
}

// Same-named folders the move does not take up: under a parent it makes another beside them; at the top
// level another, or it takes up only the first.
void FolderPlan::sameNamed(const QString &name, int parentNumber, int found, int depth)
{
    QList<int> others;
    if (parentNumber != 0) {
        if (const std::optional<SqlRows> rows = m_walk.contentsOf(parentNumber, m_target))
            for (qsizetype r = 0; r < rows->size(); ++r)
                // Case-sensitive on purpose, as the walk reads the node type.
                if (rows->value(r, 4).toString() == u"F" &&
                    rows->value(r, 3).toString().compare(name, Qt::CaseInsensitive) == 0)
                    others << leadingInt32(rows->value(r, 1).toString());
    } else if (ConnectLibrary(m_dm, m_target)) {
        const SqlRows rows = QueryRows(
            m_dm,
            QStringLiteral("SELECT F.DOCNUMBER FROM [OWNER].FOLDER F, [OWNER].PROFILE P WHERE "
                           "F.DOCNUMBER = P.DOCNUMBER AND UPPER(P.DOCNAME) = '") +
                SqlSafe(name.toUpper()) +
                QStringLiteral("' AND F.DOCNUMBER NOT IN (SELECT FI.DOCNUMBER FROM [OWNER].FOLDER_ITEM FI "
                               "WHERE FI.LIBRARY = 0) ORDER BY F.DOCNUMBER"));
        for (qsizetype r = 0; r < rows.size(); ++r)
            others << leadingInt32(rows.value(r, 1).toString());
    }
    for (const int other : std::as_const(others))
        if (other != found && other != 0)
            hazard(depth, QStringLiteral("Warning: Folder #") + NumberText(other) +
                              QStringLiteral(" of the same name stands there in library ") + m_target +
                              QStringLiteral(" and is not taken up"));
}

// What the security copy would give the new folder: its source's trustees that the target knows, open
// access for an open source, or the user running the move alone when no trustee is known there.
std::optional<FolderAccess> FolderPlan::trustees(const std::optional<FolderAccess> &source,
                                                 const QString &name, int depth)
{
    FolderAccess given;
    given.defaultRights = 1;
    const FolderTrustee moverAlone{mover(), false, FullRights};
    if (!source) {
        hazard(depth,
               QStringLiteral("Warning: The trustees of its source cannot be read: the folder would be "
                              "restricted to ") +
                   mover());
        given.trustees << moverAlone;
        return given;
    }
    if (source->isOpen()) {
        line(depth, QStringLiteral("Access: open to everyone, as its source"));
        return source;
    }
    QStringList copied;
    for (const FolderTrustee &trustee : source->trustees) {
        if (known(trustee)) {
            copied << trusteeText(trustee);
            given.trustees << trustee;
            continue;
        }
        hazard(depth, QStringLiteral("Warning: ") +
                          (trustee.group ? QStringLiteral("Group ") : QStringLiteral("User ")) + trustee.id +
                          QStringLiteral(" is not known in library ") + m_target +
                          QStringLiteral(" and would have no access to ") + Quoted(name) +
                          QStringLiteral(" there"));
    }
    if (copied.isEmpty()) {
        hazard(depth, QStringLiteral("Warning: No trustee of its source is known in library ") + m_target +
                          QStringLiteral(": the folder would be restricted to ") + mover());
        given.trustees << moverAlone;
    } else {
        line(depth, QStringLiteral("Trustees to copy: ") + copied.join(QStringLiteral(", ")));
    }
    return given;
}

// Looked up by id as the security copy inserts them.
bool FolderPlan::known(const FolderTrustee &trustee)
{
    const QString key = (trustee.group ? u'G' : u'U') + trustee.id;
    if (const auto found = m_known.constFind(key); found != m_known.cend())
        return *found;
    const bool isKnown = ConnectLibrary(m_dm, m_target) && TrusteeKnown(m_dm, trustee).value_or(false);
    m_known.insert(key, isKnown);
    return isKnown;
}

void FolderPlan::uniqueName(const QString &name, int depth)
{
    if (!m_uniqueNames) {
        m_uniqueNames = false;
        try {
            const std::shared_ptr<DmLibrary> library = FindLibrary(m_dm.session, m_target);
            m_uniqueNames = library && LibraryFlag(*library, QStringLiteral("DOCSParms.UniqueDocNames"));
        } catch (const DmError &) {
            // A library that does not say is taken as allowing repeated names.
        }
    }
    const QString upper = name.toUpper();
    bool taken = m_namesMade.contains(upper);
    m_namesMade.insert(upper);
    if (!*m_uniqueNames)
        return;
    if (!taken && ConnectLibrary(m_dm, m_target))
        taken = leadingInt32(QueryRows(m_dm, QStringLiteral("SELECT COUNT(*) FROM [OWNER].PROFILE WHERE "
                                                            "UPPER(DOCNAME) = '") +
                                                 SqlSafe(upper) + u'\'')
                                 .value(0, 1)
                                 .toString()) > 0;
    if (taken)
        hazard(depth,
               QStringLiteral("Warning: Library ") + m_target +
                   QStringLiteral(" requires unique document names and holds this name already: the folder "
                                  "cannot be saved there"),
               true);
}

std::optional<FolderAccess> FolderPlan::accessOf(int number, const QString &library)
{
    if (!ConnectLibrary(m_dm, library))
        return std::nullopt;
    return ReadFolderAccess(m_dm, number);
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
            FolderPlan plan(m_dm, walk, m_lines, m_hazards, m_rows);
            plan.run();
            fails = plan.fails();
            m_items += plan.items();
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
    m_dm.window.showPreview(list);
}

void MovePreview::writeRows(MoveReport &report) const
{
    for (const PlannedRow &row : m_rows)
        report.write(row.item, row.action, row.result);
}
