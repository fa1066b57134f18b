#include "migrate/convertfolder.h"

#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dm/sessionguard.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/createfolder.h"
#include "migrate/deletefolder.h"
#include "migrate/foldersteps.h"
#include "migrate/moveplan.h"
#include "migrate/movereport.h"
#include "migrate/movewalk.h"
#include "migrate/securitycopy.h"
#include "migrate/sortfolders.h"
#include "settings/leadingnumber.h"

#include <QSet>

#include <optional>

namespace {

// A folder as the DM holds it when the move is checked: its items and its access.
struct TreeFolder {
    QSet<ItemKey> items;
    std::optional<FolderAccess> access;
};

// How far the move of one folder has come.
enum class Stage {
    Reading,  // nothing is written yet
    Writing,  // the target is being written to: folders made, items linked
    Checking, // every item is in the target; the new tree is being compared with its source
    Removing, // the removal of the sources has begun
};

// One call of ConvertFolder after its entry checks: the walk and the plan, then the writing passes, which
// carry the plan out. Each pass returns false once the move of the folder is over; m_result then says how
// it ended.
class FolderConversion {
public:
    FolderConversion(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib,
                     const FolderWatch &watch)
        : m_dm(dm), m_s(dm.session), m_log(dm.log), m_keeping(m_s),
          m_entry(dm, SessionGuard::Window::Restore), m_walk(dm, docNumber, sourceLib, targetLib),
          m_watch(watch)
    {
        m_walk.setStop(watch.stop);
    }

    bool run();

private:
    bool plan();
    bool recreateChain();
    bool recreateChildren();
    bool removeSources();
    void leave();

    const MovePlan &thePlan() const { return *m_plan; }
    void handDown(int folder, int made);
    int create(int folder, int newParent);
    int newParentOf(int folder, int number, const QString &name);
    bool lockHeld();
    bool linkInto(qsizetype child, int item, const QString &itemLib);
    void saveLinks();
    int joinTwin(const ChildRow &child, const PlannedFolder &folder);
    void toSort(int folder);
    void sortLinked();
    bool libraryLost();
    bool stepFailed(const QString &line);
    bool remove(int number, const QString &library, const QString &name);
    bool removeFolder(int number, const QString &library, const QString &name);
    int newNumberOf(const ItemKey &key) const;
    bool verifyNewTree();
    bool readTree(const QString &library, const QList<ItemKey> &folders, QHash<ItemKey, TreeFolder> &into);
    int compareFolder(const ItemKey &source, const TreeFolder &old, const TreeFolder &made);
    bool knownInTarget(const FolderTrustee &trustee);
    QString spelled(const QString &library) const;
    bool refuse(const QString &line) { return m_walk.refuse(line); }
    bool standsForItself(const QString &library) const { return m_walk.standsForItself(library); }
    void reportProgress(MovePhase phase, int done, int total, double share);
    double linkCost(qsizetype child) const;
    QString stopReason() const;
    ReportItem reportItem(const QString &library, int number, const QString &name, bool folder,
                          int target) const;
    void reportUnprocessed();
    void reportLeftInPlace();

    DmContext &m_dm;
    DmSession &m_s;
    ActivityLog &m_log;
    // The folder's steps switch between its libraries many times; a move command keeps the pass-throughs
    // for all its folders, a conversion called alone for its own steps.
    PassThroughKeeping m_keeping;
    SessionGuard m_entry;
    MoveWalk m_walk;
    const int m_number = m_walk.number();
    const QString &m_source = m_walk.source();
    const QString &m_target = m_walk.target();
    const QString &m_name = m_walk.name();
    const FolderWatch &m_watch;
    std::optional<const MovePlan> m_plan;
    // The libraries the plan reads or writes, asked before each step whether they are still there.
    QList<std::shared_ptr<DmLibrary>> m_libraries;
    bool m_lost = false; // one of them was lost: nothing more is sent to any library for this folder

    // What carrying out the plan has come to, by the plan's folders and the walk's children.
    Stage m_stage = Stage::Reading;
    QList<int> m_numbers; // each folder's number in the target once placed, else 0
    QList<bool> m_linked; // the children linked or placed in the target
    // What each folder of the plan receives: the children, and the folders of the chain below it.
    QHash<int, QList<qsizetype>> m_childrenOf;
    QHash<int, QList<int>> m_chainBelow;
    qsizetype m_childRows = 0;   // the children, in order, that have a row
    int m_chainRows = 0;         // the folders of the chain, in order, that have a row
    QSet<ItemKey> m_removalRows; // folders whose removal has a row
    QList<int> m_toSort;         // target folders that received links, in the order of their first link
    QSet<int> m_sortPending;     // the same folders, to look up
    int m_checkedInto = 0;       // the folder linked into when the lock was last checked
    qsizetype m_sinceCheck = 0;  // links since then
    LinkMemo m_links;            // what every link of this move learns once
    LinkBatch m_batch{m_dm, m_links};
    // The rows of the links since the last save, in order: each waits for the save of its batch, so
    // that no row claims a link the DM has not written, and the report keeps the plan's order.
    struct LinkRow {
        qsizetype child;
        ReportAction action;
        std::optional<bool> linked; // known at once: the link failed, or the item was there before
        QString result;
    };
    QList<LinkRow> m_linkRows;
    int m_checked = 0; // folders read back for the check, of m_checkTotal
    int m_checkTotal = 0;
    const ReportStep m_reportFrom{m_dm.report};
    bool m_result = false;
};

bool FolderConversion::run()
{
    reportProgress(MovePhase::Walking, 0, 0, 0);
    try {
        m_result = m_walk.walk() && plan() && recreateChain() && recreateChildren() && removeSources();
    } catch (const DmError &error) {
        ReportTrapped(m_log, QStringLiteral("ConvertFolder"), error);
        m_result = false;
    }
    leave();
    return m_result;
}

// The plan reads only what its decisions need; the hazards a preview lists besides are met, and logged,
// by the steps themselves.
bool FolderConversion::plan()
{
    if (m_walk.stopAsked())
        return false;
    m_plan.emplace(m_dm, m_walk, PlanReading::Decisions);
    if (m_watch.foreseen)
        if (const QString cause = thePlan().failureCause(); !cause.isEmpty())
            m_watch.foreseen(cause);
    m_numbers = QList<int>(thePlan().folders().size(), 0);
    m_linked = QList<bool>(thePlan().children().size(), false);
    for (qsizetype i = 0; i < thePlan().children().size(); ++i)
        m_childrenOf[thePlan().children()[i].into] << i;
    for (int i = 0; i <= thePlan().selected(); ++i)
        m_chainBelow[thePlan().folders()[i].parent] << i;
    QSet<QString> libraries{m_target.toUpper(), m_source.toUpper()};
    for (const ChainRow &row : m_walk.chain())
        libraries.insert(row.library.toUpper());
    for (const ChildRow &row : m_walk.children())
        libraries.insert(row.library.toUpper());
    for (const QString &library : std::as_const(libraries))
        if (std::shared_ptr<DmLibrary> found = FindLibrary(m_s, library))
            m_libraries << std::move(found);
    return true;
}

// A lost library fails every later call, and each failure would add its lines (a tree of a thousand
// folders to sort gave thousands): once one is lost, the folder fails with this one line and the move sends
// no more work to any library for it.
bool FolderConversion::libraryLost()
{
    if (m_lost)
        return true;
    for (const std::shared_ptr<DmLibrary> &library : std::as_const(m_libraries)) {
        const QString cause = library->lostCause();
        if (cause.isEmpty())
            continue;
        m_lost = true;
        refuse(LostLibraryLine(QStringLiteral("The move of folder #") + NumberText(m_number) + u' ' +
                                   Quoted(m_name) + QStringLiteral(" stops"),
                               cause));
        return true;
    }
    return false;
}

// A step that failed ends the folder: with its own line, unless a lost library is the cause.
bool FolderConversion::stepFailed(const QString &line)
{
    if (!libraryLost())
        refuse(line);
    return false;
}

void FolderConversion::handDown(int folder, int made)
{
    const QList<ChildRow> &children = m_walk.children();
    for (const qsizetype i : m_childrenOf.value(folder))
        m_log.WriteLog(QStringLiteral("Child item #") + NumberText(children[i].number) + u' ' +
                       Quoted(children[i].name) + QStringLiteral(" will have parent folder #") +
                       NumberText(made));
}

// The number of the new folder that the plan's folder goes into: 0 at the top level, and after an
// "Error:" line when that folder has none.
int FolderConversion::newParentOf(int folder, int number, const QString &name)
{
    if (folder < 0)
        return 0;
    if (const int made = m_numbers[folder]; made != 0)
        return made;
    refuse(QStringLiteral("Error: The new parent of item #") + NumberText(number) + u' ' + Quoted(name) +
           QStringLiteral(" is not known in library ") + m_target + QStringLiteral(" - cannot continue."));
    return -1;
}

bool FolderConversion::recreateChain()
{
    // The walks leave whichever library they searched last current; the writes run from the library the
    // move started in, whose rights the move commands checked.
    if (!ConnectLibrary(m_dm, m_entry.library()))
        return refuse(QStringLiteral("Error: Unable to connect to library ") + m_entry.library() +
                      QStringLiteral(" to move folder #") + NumberText(m_number) +
                      QStringLiteral(" from it - cannot continue with this folder"));
    m_log.ShowStatus(QStringLiteral("Processing ") + NumberText(int(m_walk.chain().size())) +
                     QStringLiteral(" parent folder(s)"));
    m_log.WriteDashLine();
    m_stage = Stage::Writing;
    const QList<PlannedFolder> &folders = thePlan().folders();
    for (int i = 0; i <= thePlan().selected(); ++i) {
        if (libraryLost())
            return false;
        const PlannedFolder &folder = folders[i];
        int number = folder.number;
        if (folder.decision != FolderDecision::Stands) {
            const int newParent = newParentOf(folder.parent, folder.number, folder.name);
            if (newParent < 0 || !lockHeld())
                return false;
            number = create(i, newParent);
            m_chainRows = i + 1;
            if (number == 0)
                return stepFailed(QStringLiteral("Error: Unable to create this folder - cannot continue."));
            if (newParent != 0)
                toSort(newParent);
        }
        m_numbers[i] = number;
        for (const int below : m_chainBelow.value(i))
            m_log.WriteLog(QStringLiteral("Parent item #") + NumberText(folders[below].number) + u' ' +
                           Quoted(folders[below].name) + QStringLiteral(" will have parent folder #") +
                           NumberText(number));
        handDown(i, number);
        m_log.WriteDashLine();
    }
    return true;
}

// Made, taken up or refused as the plan decided, the creation checking that the decision still holds;
// the report gets the plan's row with its outcome.
int FolderConversion::create(int folder, int newParent)
{
    const PlannedFolder &planned = thePlan().folders()[folder];
    const PlannedCreation expected{planned.found != 0 || planned.twin < 0 ? planned.found
                                                                          : m_numbers[planned.twin],
                                   planned.choice, planned.leftovers, planned.sourceAccess};
    const ReportStep step(m_dm.report);
    const int made = CreateFolder(m_dm, planned.name, newParent, planned.isRoot, m_target, planned.number,
                                  planned.library, ParentSort::Defer, &expected);
    step.write(reportItem(planned.library, planned.number, planned.name, true, made), *planned.placing(),
               made != 0);
    return made;
}

// A folder is saved once for this many links: a save costs a transaction, while a failed one costs the
// links of its batch, which the next run makes again.
constexpr qsizetype LinksPerSave = 500;

// Asked where the move is whole so far: a lost lock lets another move in beside this one, so the move of
// the folder ends there, as a failure that the next run finishes.
bool FolderConversion::lockHeld()
{
    if (!m_watch.lockLost)
        return true;
    const QString lost = m_watch.lockLost();
    return lost.isEmpty() || refuse(lost);
}

// The child is named in the report as the walk found it, also when the item linked is its copy. The lock
// is checked before the first link into each folder, and again once a save's worth of links later (a
// folder of thousands is linked for a while). False when it is lost.
bool FolderConversion::linkInto(qsizetype child, int item, const QString &itemLib)
{
    const ChildRow &row = m_walk.children()[child];
    const PlannedChild &planned = thePlan().children()[child];
    const int into = m_numbers[planned.into];
    if (m_batch.folder() != into)
        saveLinks();
    if (into != m_checkedInto || m_sinceCheck >= LinksPerSave) {
        if (!lockHeld())
            return false;
        m_checkedInto = into;
        m_sinceCheck = 0;
    }
    ++m_sinceCheck;
    const ReportStep step(m_dm.report);
    switch (m_batch.add(item, into, row.type, m_target, itemLib)) {
    case LinkBatch::Outcome::Failed:
        m_linkRows << LinkRow{child, planned.reported(), false, step.result(false)};
        break;
    case LinkBatch::Outcome::AlreadyThere:
        m_linkRows << LinkRow{child, ReportAction::AlreadyLinked, true, step.result(true)};
        break;
    case LinkBatch::Outcome::Pending:
        m_linkRows << LinkRow{child, planned.reported(), std::nullopt, {}};
        break;
    case LinkBatch::Outcome::AlreadyPending:
        m_linkRows << LinkRow{child, ReportAction::AlreadyLinked, std::nullopt, {}};
        break;
    }
    if (m_batch.pending() == 0 || m_batch.pending() >= LinksPerSave)
        saveLinks();
    return true;
}

// Saves the batch of links and gives each of its children its outcome and its row.
void FolderConversion::saveLinks()
{
    const ReportStep step(m_dm.report);
    const bool saved = m_batch.save();
    const QString savedResult = step.result(saved);
    const QList<ChildRow> &children = m_walk.children();
    for (const LinkRow &link : std::as_const(m_linkRows)) {
        const ChildRow &row = children[link.child];
        const int into = m_numbers[thePlan().children()[link.child].into];
        const bool linked = link.linked.value_or(saved);
        if (m_dm.report)
            m_dm.report->write(reportItem(row.library, row.number, row.name, row.isFolder(), into),
                               link.action, link.linked ? link.result : savedResult);
        m_linked[link.child] = linked;
        m_childRows = link.child + 1;
        if (linked)
            toSort(into);
    }
    m_linkRows.clear();
}

void FolderConversion::toSort(int folder)
{
    if (!m_sortPending.contains(folder)) {
        m_sortPending.insert(folder);
        m_toSort << folder;
    }
}

// The DM finds an existing folder by its name ignoring case, so sibling folders whose names differ only
// in letter case become one folder in the target. The second is not handed to CreateFolder: it would take
// the folder the first one made for a leftover of an earlier run and copy its own access over the first
// one's. Its items go into the first one's folder, and the check before removal compares that folder's
// access with each of them.
int FolderConversion::joinTwin(const ChildRow &child, const PlannedFolder &folder)
{
    const int twin = m_numbers[folder.twin];
    m_log.WriteLog(QStringLiteral("Warning: Folder #") + NumberText(child.number) + u' ' +
                   Quoted(child.name) + QStringLiteral(" in library ") + child.library +
                   QStringLiteral(" becomes one with folder #") + NumberText(twin) + u' ' +
                   Quoted(thePlan().folders()[folder.twin].name) + QStringLiteral(" in library ") + m_target +
                   QStringLiteral(": their names differ only in letter case"));
    ReportStep(m_dm.report)
        .write(reportItem(child.library, child.number, child.name, true, twin), ReportAction::Reused, true);
    return twin;
}

// A failed link does not stop the others; it only keeps the sources from being removed.
bool FolderConversion::recreateChildren()
{
    const QList<ChildRow> &children = m_walk.children();
    m_log.ShowStatus(QStringLiteral("Processing ") + NumberText(int(children.size())) +
                     QStringLiteral(" child item(s)"));
    m_log.WriteDashLine();
    double cost = 0;
    for (qsizetype i = 0; i < children.size(); ++i)
        cost += linkCost(i);
    double done = 0;
    reportProgress(MovePhase::Linking, 0, int(children.size()), 0);
    for (qsizetype i = 0; i < children.size(); ++i) {
        const ChildRow &child = children[i];
        const PlannedChild &planned = thePlan().children()[i];
        if (m_walk.stopAsked() || libraryLost())
            return false;
        if (newParentOf(planned.into, child.number, child.name) <= 0)
            return false;
        switch (planned.action) {
        case ChildAction::Link:
        case ChildAction::AlreadyLinked:
            if (!linkInto(i, child.number, child.library))
                return false;
            break;
        case ChildAction::LinkCopy:
            if (!linkInto(i, m_numbers[planned.folder], m_target))
                return false;
            break;
        case ChildAction::Place: {
            // The new folder is filed into its parent by a save of its own, after the links before it.
            saveLinks();
            if (!lockHeld())
                return false;
            const PlannedFolder &folder = thePlan().folders()[planned.folder];
            const int newParent = m_numbers[planned.into];
            const bool twin = folder.decision == FolderDecision::JoinTwin;
            const int number = twin ? joinTwin(child, folder) : create(planned.folder, newParent);
            m_childRows = i + 1;
            if (number == 0)
                return stepFailed(QStringLiteral("Error: Unable to create this folder - cannot continue."));
            if (!twin)
                toSort(newParent);
            m_linked[i] = true;
            m_numbers[planned.folder] = number;
            handDown(planned.folder, number);
            m_log.WriteDashLine();
            break;
        }
        }
        done += linkCost(i);
        reportProgress(MovePhase::Linking, int(i + 1), int(children.size()), done / cost);
    }
    saveLinks();
    sortLinked();
    return !m_linked.contains(false);
}

void FolderConversion::sortLinked()
{
    for (const int folder : std::as_const(m_toSort)) {
        if (libraryLost())
            break;
        if (!SortFolders(m_dm, folder, m_target)) {
            m_log.WriteLog(QStringLiteral("Error: Unable to sort the parent folder ") + m_target);
            m_log.WriteDashLine();
        }
    }
    m_toSort.clear();
    m_sortPending.clear();
}

// Where a folder of the tree stands in the target; 0 for an item that is linked as it is.
int FolderConversion::newNumberOf(const ItemKey &key) const
{
    const int folder = thePlan().folderOf(key);
    return folder < 0 ? 0 : m_numbers[folder];
}

// The source tree is read again and the new tree read back, both from the DM, so that an item filed in
// a source folder after the walk, a link the DM did not keep or a copy of access that did not land
// keeps every source folder in place.
bool FolderConversion::verifyNewTree()
{
    m_stage = Stage::Checking;
    const int selected = thePlan().selected();
    const int moved = m_numbers[selected];
    m_log.ShowStatus(QStringLiteral("Verifying folder #") + NumberText(moved) +
                     QStringLiteral(" and its subfolders in library ") + m_target);
    m_log.WriteDashLine();
    QHash<QString, QList<ItemKey>> byLibrary; // the source folders, by their library
    QList<ItemKey> made;                      // the new folders, as keys of the target
    QList<ItemKey> sources;
    for (int i = selected; i < thePlan().folders().size(); ++i) {
        const ItemKey source = thePlan().folders()[i].key();
        sources << source;
        byLibrary[source.second] << source;
        made << keyOf(m_numbers[i], m_target);
    }
    QHash<ItemKey, TreeFolder> old, now;
    m_checkTotal = int(sources.size() + made.size());
    m_checked = 0;
    for (auto library = byLibrary.cbegin(); library != byLibrary.cend(); ++library)
        if (!readTree(library.key(), library.value(), old))
            return false;
    if (!readTree(m_target, made, now))
        return false;

    int differences = 0;
    for (const ItemKey &source : std::as_const(sources))
        differences +=
            compareFolder(source, old.value(source), now.value(keyOf(newNumberOf(source), m_target)));
    if (const int parent = thePlan().folders()[selected].parent; parent >= 0) {
        const std::optional<QList<FolderEntry>> entries = m_walk.contentsOf(m_numbers[parent], m_target);
        if (!entries)
            return false;
        const bool filed = std::any_of(entries->cbegin(), entries->cend(), [&](const FolderEntry &entry) {
            return entry.number == moved && sameLibrary(entry.library, m_target);
        });
        if (!filed) {
            m_log.WriteLog(QStringLiteral("Error: Folder #") + NumberText(moved) +
                           QStringLiteral(" is not filed in its new parent folder #") +
                           NumberText(m_numbers[parent]) + QStringLiteral(" in library ") + m_target);
            ++differences;
        }
    }
    if (differences == 0)
        return true;
    return refuse(QStringLiteral("Error: The new tree of folder #") + NumberText(m_number) + u' ' +
                  Quoted(m_name) + QStringLiteral(" in library ") + m_target +
                  QStringLiteral(" differs from its source in ") + NumberText(differences) +
                  QStringLiteral(" place(s) - nothing of it is removed from library ") + m_source);
}

// Reads the items and the access of the given folders of one library, connecting it once.
bool FolderConversion::readTree(const QString &library, const QList<ItemKey> &folders,
                                QHash<ItemKey, TreeFolder> &into)
{
    for (const ItemKey &folder : folders) {
        if (libraryLost())
            return false;
        const std::optional<QList<FolderEntry>> entries = m_walk.contentsOf(folder.first, library);
        if (!entries)
            return false;
        TreeFolder &read = into[folder];
        for (const FolderEntry &entry : *entries)
            if (entry.number != 0)
                read.items.insert(entry.key());
        read.access = ReadFolderAccess(m_dm, folder.first);
        if (!read.access)
            return refuse(QStringLiteral("Error: Unable to compare the access of folder #") +
                          NumberText(folder.first) + QStringLiteral(" in library ") + library +
                          QStringLiteral(" - nothing is removed"));
        ++m_checked;
        reportProgress(MovePhase::Checking, m_checked, m_checkTotal, double(m_checked) / m_checkTotal);
    }
    return true;
}

// Each difference is one "Error:" line: an item of the source folder that its new folder does not hold
// (a subfolder stands there by its new number), access wider than the source's, or a trustee of the
// source that the target library knows but the new folder lacks or holds with other rights.
int FolderConversion::compareFolder(const ItemKey &source, const TreeFolder &old, const TreeFolder &made)
{
    const int number = newNumberOf(source);
    const QString folder =
        QStringLiteral("Error: Folder #") + NumberText(number) + QStringLiteral(" in library ") + m_target;
    const QString from = QStringLiteral("folder #") + NumberText(source.first) +
                         QStringLiteral(" in library ") + spelled(source.second);
    int differences = 0;
    for (const ItemKey &item : old.items) {
        if (item == source)
            continue;
        const int newNumber = newNumberOf(item);
        const ItemKey expected = newNumber != 0 ? keyOf(newNumber, m_target) : item;
        if (made.items.contains(expected))
            continue;
        m_log.WriteLog(folder + QStringLiteral(" does not hold item #") + NumberText(item.first) +
                       QStringLiteral(" of library ") + spelled(item.second) + QStringLiteral(" that ") +
                       from + QStringLiteral(" holds"));
        ++differences;
    }
    const QString mover = m_s.currentLibrary ? m_s.currentLibrary->userId() : QString();
    for (const QString &difference :
         AccessDifferences(*made.access, *old.access, mover, from,
                           [this](const FolderTrustee &trustee) { return knownInTarget(trustee); })) {
        m_log.WriteLog(folder + u' ' + difference);
        ++differences;
    }
    return differences;
}

// The library's name as the DM spells it, for a key that holds it upper-cased.
QString FolderConversion::spelled(const QString &library) const
{
    const std::shared_ptr<DmLibrary> found = FindLibrary(m_s, library);
    return found ? found->name() : library;
}

// A trustee that the target does not know was left out by the copy with a warning: not a difference.
// One that cannot be looked up may be a trustee the copy lost, so it counts as known, and its absence
// as a difference that keeps the source. Only asked for trustees the new folder lacks, so a clean move
// asks nothing.
bool FolderConversion::knownInTarget(const FolderTrustee &trustee)
{
    if (ConnectLibrary(m_dm, m_target))
        if (const std::optional<bool> known = TrusteeKnown(m_dm, trustee))
            return *known;
    m_log.WriteLog(QStringLiteral("Error: Unable to look up ") +
                   (trustee.group ? QStringLiteral("group ") : QStringLiteral("user ")) + trustee.id +
                   QStringLiteral(" in library ") + m_target +
                   QStringLiteral(" - it counts as a trustee that the new folder lacks"));
    return true;
}

// Each folder is removed with its own library current, so the log names it and the move ends in the
// library it removed from last.
bool FolderConversion::remove(int number, const QString &library, const QString &name)
{
    if (libraryLost())
        return false;
    if (ConnectLibrary(m_dm, library) && removeFolder(number, library, name))
        return true;
    if (!libraryLost())
        m_log.WriteLog(QStringLiteral("Unable to remove folder ") + NumberText(number) +
                       QStringLiteral(" in library ") + library + QStringLiteral(" - cannot continue."));
    return false;
}

bool FolderConversion::removeFolder(int number, const QString &library, const QString &name)
{
    const ReportStep step(m_dm.report);
    const bool removed = DeleteFolder(m_dm, number, library);
    const ItemKey key = keyOf(number, library);
    step.write(reportItem(library, number, name, true, newNumberOf(key)), ReportAction::Removed, removed);
    m_removalRows.insert(key);
    return removed;
}

// A stop is honoured before the check and after it, never once the first source folder is gone: a
// removal half done would leave the user a source tree that is neither whole nor moved.
bool FolderConversion::removeSources()
{
    if (m_walk.stopAsked() || !lockHeld() || !verifyNewTree() || m_walk.stopAsked() || !lockHeld())
        return false;
    m_stage = Stage::Removing;
    // Deepest first, each folder once, by the last of its rows when it is filed twice.
    QList<const ChildRow *> toRemove;
    QSet<ItemKey> removed;
    const QList<ChildRow> &children = m_walk.children();
    for (auto child = children.crbegin(); child != children.crend(); ++child)
        if (child->isFolder() && !standsForItself(child->library) && !m_walk.kept().contains(child->key()) &&
            !removed.contains(child->key())) {
            toRemove << &*child;
            removed.insert(child->key());
        }
    const int total = int(toRemove.size()) + 1;
    reportProgress(MovePhase::Removing, 0, total, 0);
    for (qsizetype i = 0; i < toRemove.size(); ++i) {
        if (!remove(toRemove[i]->number, toRemove[i]->library, toRemove[i]->name))
            return false;
        reportProgress(MovePhase::Removing, int(i + 1), total, double(i + 1) / total);
    }
    if (!remove(m_number, m_source, m_name))
        return false;
    reportProgress(MovePhase::Removing, total, total, 1);
    RaiseCounter(m_dm.window, MoveCounter::Added);
    m_log.WriteLog(QStringLiteral("Finished processing ") + NumberText(m_number) +
                   QStringLiteral(" in library ") + m_s.currentLibrary->name());
    m_log.WriteLog(EqualsLine());
    RaiseCounter(m_dm.window, MoveCounter::Read);
    m_log.WriteLog(QStringLiteral("Folder #") + NumberText(m_number) + u' ' + Quoted(m_name) +
                   QStringLiteral(" successfully moved from library ") + m_source +
                   QStringLiteral(" to library ") + m_target);
    return true;
}

void FolderConversion::reportProgress(MovePhase phase, int done, int total, double share)
{
    if (m_watch.progress)
        m_watch.progress({phase, done, total, share});
}

// What linking the item costs, in links: making a folder (its profile, its security, its link) takes
// about as long as fifteen links of documents, so a tree of many folders is not promised too soon.
double FolderConversion::linkCost(qsizetype child) const
{
    return thePlan().children()[child].action == ChildAction::Place ? 15 : 1;
}

// Why the rows of what the move did not come to were skipped.
QString FolderConversion::stopReason() const
{
    if (m_walk.stopped())
        return QStringLiteral("cancelled by the user before it");
    return m_reportFrom.lastFailureOr(QStringLiteral("the move stopped before it"));
}

ReportItem FolderConversion::reportItem(const QString &library, int number, const QString &name, bool folder,
                                        int target) const
{
    return {library, number, name, folder ? ReportKind::Folder : ReportKind::Document, m_target, target};
}

// What a stopped move did not come to, in the order the plan takes it, with the reason it stopped.
void FolderConversion::reportUnprocessed()
{
    if (!m_dm.report || m_result)
        return;
    const QString reason = stopReason();
    if (m_stage == Stage::Reading) {
        m_dm.report->write(reportItem(m_source, m_number, m_name, true, 0), ReportAction::Skipped, reason);
        return;
    }
    for (int i = m_chainRows; i <= thePlan().selected(); ++i) {
        const PlannedFolder &folder = thePlan().folders()[i];
        if (folder.decision != FolderDecision::Stands)
            m_dm.report->write(reportItem(folder.library, folder.number, folder.name, true, 0),
                               ReportAction::Skipped, reason);
    }
    const QList<ChildRow> &children = m_walk.children();
    for (qsizetype i = m_childRows; i < children.size(); ++i) {
        const ChildRow &child = children[i];
        m_dm.report->write(reportItem(child.library, child.number, child.name, child.isFolder(), 0),
                           ReportAction::Skipped, reason);
    }
}

// The folders of the tree that are still in their library once they have a copy in the target: kept on
// purpose, or left because the move stopped before their removal.
void FolderConversion::reportLeftInPlace()
{
    if (!m_dm.report || m_stage == Stage::Reading)
        return;
    const QString reason = stopReason();
    const QList<PlannedFolder> &folders = thePlan().folders();
    for (int i = int(folders.size()) - 1; i >= thePlan().selected(); --i) {
        const PlannedFolder &folder = folders[i];
        const ItemKey key = folder.key();
        if (m_numbers[i] == 0)
            continue;
        const ReportItem item = reportItem(folder.library, folder.number, folder.name, true, m_numbers[i]);
        if (folder.fate == FolderFate::Kept)
            m_dm.report->write(item, ReportAction::Kept, QStringLiteral("ok"));
        else if (!m_result && !m_removalRows.contains(key))
            m_dm.report->write(item, ReportAction::Skipped, reason);
    }
}

// Every path ends here: folders that received links are sorted also when the move stopped early, and a
// move that stopped while writing to the target says how many items it left out.
void FolderConversion::leave()
{
    try {
        if (!libraryLost())
            saveLinks();
        reportUnprocessed();
        sortLinked();
        const qsizetype items = m_walk.children().size();
        const auto unlinked = items - m_linked.count(true);
        if (!m_result && m_walk.stopped())
            m_log.WriteLog(QStringLiteral("Folder #") + NumberText(m_number) + u' ' + Quoted(m_name) +
                           QStringLiteral(" was not moved: cancelled with ") + NumberText(int(unlinked)) +
                           QStringLiteral(" of ") + NumberText(int(items)) +
                           QStringLiteral(" item(s) not linked in library ") + m_target +
                           QStringLiteral(" - its source in library ") + m_source +
                           QStringLiteral(" is kept whole; run the move again to finish it"));
        else if (!m_result && m_stage == Stage::Writing && !m_lost)
            m_log.WriteLog(QStringLiteral("Error: ") + NumberText(int(unlinked)) + QStringLiteral(" of ") +
                           NumberText(int(items)) + QStringLiteral(" item(s) of folder #") +
                           NumberText(m_number) + u' ' + Quoted(m_name) +
                           QStringLiteral(" were not linked in library ") + m_target +
                           QStringLiteral(" - nothing of it is removed from library ") + m_source);
        reportLeftInPlace();
        m_log.WriteLog(EqualsLine());
        ReleaseSharedSlots(m_s);
    } catch (const DmError &) {
        // The leave step goes on past every failure: the session and the window must get their state back.
    }
    m_entry.restore();
    m_dm.window.processEvents();
}

} // namespace

bool ConvertFolder(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib,
                   const FolderWatch &watch)
{
    if (!FolderStepMayStart(dm, QStringLiteral("ConvertFolder")))
        return false;
    return FolderConversion(dm, docNumber, sourceLib, targetLib, watch).run();
}
