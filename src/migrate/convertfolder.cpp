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

// One call of ConvertFolder after its entry checks: the walk, then the writing passes. Each pass returns
// false once the move of the folder is over; m_result then says how it ended.
class FolderConversion {
public:
    FolderConversion(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib,
                     const FolderWatch &watch)
        : m_dm(dm), m_s(dm.session), m_log(dm.log), m_entry(dm, SessionGuard::Window::Restore),
          m_walk(dm, docNumber, sourceLib, targetLib), m_watch(watch)
    {
        m_walk.setStop(watch.stop);
    }

    bool run();

private:
    bool recreateChain();
    bool recreateChildren();
    bool removeSources();
    void leave();

    void handDown(int number, const QString &library, int made);
    int create(const QString &name, int newParent, bool isRoot, int number, const QString &library);
    bool linkInto(const ChildRow &child, int item, const QString &itemLib);
    bool newParentKnown(int newParent, int number, const QString &name);
    int twinOf(const ChildRow &child);
    void toSort(int folder);
    void sortLinked();
    bool remove(int number, const QString &library, const QString &name);
    bool removeFolder(int number, const QString &library, const QString &name);
    bool verifyNewTree();
    bool readTree(const QString &library, const QList<ItemKey> &folders, QHash<ItemKey, TreeFolder> &into);
    int compareFolder(const ItemKey &source, const TreeFolder &old, const TreeFolder &made);
    bool knownInTarget(const FolderTrustee &trustee);
    QString spelled(const QString &library) const;
    bool refuse(const QString &line) { return m_walk.refuse(line); }
    bool standsForItself(const QString &library) const { return m_walk.standsForItself(library); }
    void reportProgress(MovePhase phase, int done, int total, double share);
    double linkCost(const ChildRow &child) const;
    QString stopReason() const;
    ReportItem reportItem(const QString &library, int number, const QString &name, bool folder,
                          int target) const;
    void reportUnprocessed();
    void reportLeftInPlace();

    DmContext &m_dm;
    DmSession &m_s;
    ActivityLog &m_log;
    SessionGuard m_entry;
    MoveWalk m_walk;
    const int m_number = m_walk.number();
    const QString &m_source = m_walk.source();
    const QString &m_target = m_walk.target();
    const QString &m_name = m_walk.name();
    QList<ChainRow> &m_chain = m_walk.chain;
    QList<ChildRow> &m_children = m_walk.children;
    const FolderWatch &m_watch;

    QHash<ItemKey, int> m_made; // where each folder of the chain and the tree stands in the target
    QList<int> m_toSort;        // target folders that received links, in the order of their first link
    QSet<int> m_sortPending;    // the same folders, to look up
    LinkMemo m_links;           // what every link of this move learns once
    int m_processed = 0;
    int m_checked = 0; // folders read back for the check, of m_checkTotal
    int m_checkTotal = 0;
    // What the report needs besides the walk's rows.
    const ReportStep m_reportFrom{m_dm.report};
    QSet<ItemKey> m_createRows; // folders whose creation has a row
    // The subfolders made in the target, by (new parent, name upper-cased): where a case twin goes.
    QHash<std::pair<int, QString>, const ChildRow *> m_madeByName;
    QSet<ItemKey> m_removalRows; // folders whose removal has a row
    int m_childRows = 0;         // the children, in order, that have a row
    bool m_failedItems = false;
    bool m_writing = false;   // the target has been written to
    bool m_verifying = false; // every item is in the target; the new tree is being compared
    bool m_removing = false;  // the removal of the sources has begun
    bool m_result = false;
};

bool FolderConversion::run()
{
    reportProgress(MovePhase::Walking, 0, 0, 0);
    try {
        m_result = m_walk.walk() && recreateChain() && recreateChildren() && removeSources();
    } catch (const DmError &error) {
        ReportTrapped(m_log, QStringLiteral("ConvertFolder"), error);
        m_result = false;
    }
    leave();
    return m_result;
}

void FolderConversion::handDown(int number, const QString &library, int made)
{
    const ItemKey folder = keyOf(number, library);
    for (ChildRow &child : m_children)
        if (child.parentKey() == folder) {
            m_log.WriteLog(QStringLiteral("Child item #") + NumberText(child.number) + u' ' +
                           Quoted(child.name) + QStringLiteral(" will have parent folder #") +
                           NumberText(made));
            child.newParent = made;
        }
}

bool FolderConversion::newParentKnown(int newParent, int number, const QString &name)
{
    if (newParent != 0)
        return true;
    return refuse(QStringLiteral("Error: The new parent of item #") + NumberText(number) + u' ' +
                  Quoted(name) + QStringLiteral(" is not known in library ") + m_target +
                  QStringLiteral(" - cannot continue."));
}

// A chain folder met twice (a folder reached through two parents) is made once.
bool FolderConversion::recreateChain()
{
    // The walks leave whichever library they searched last current; the writes run from the library the
    // move started in, whose rights the move commands checked.
    if (!ConnectLibrary(m_dm, m_entry.library()))
        return refuse(QStringLiteral("Error: Unable to connect to library ") + m_entry.library() +
                      QStringLiteral(" to move folder #") + NumberText(m_number) +
                      QStringLiteral(" from it - cannot continue with this folder"));
    m_log.ShowStatus(QStringLiteral("Processing ") + NumberText(int(m_chain.size())) +
                     QStringLiteral(" parent folder(s)"));
    m_log.WriteDashLine();
    m_writing = true;
    for (int i = int(m_chain.size()) - 1; i >= 0; --i) {
        const ChainRow row = m_chain[i];
        const ItemKey key = keyOf(row.number, row.library);
        int number = m_made.value(key);
        if (number == 0 && standsForItself(row.library)) {
            number = row.number;
        } else if (number == 0) {
            if (row.parent != 0 && !newParentKnown(row.newParent, row.number, row.name))
                return false;
            number = create(row.name, row.newParent, row.isRoot, row.number, row.library);
            if (number != 0 && row.newParent != 0)
                toSort(row.newParent);
            if (number == 0)
                return refuse(QStringLiteral("Error: Unable to create this folder - cannot continue."));
        }
        m_made.insert(key, number);
        for (int below = i - 1; i > 0 && below >= 0; --below)
            if (keyOf(m_chain[below].parent, m_chain[below].parentLib) == key) {
                m_log.WriteLog(QStringLiteral("Parent item #") + NumberText(m_chain[below].number) + u' ' +
                               Quoted(m_chain[below].name) + QStringLiteral(" will have parent folder #") +
                               NumberText(number));
                m_chain[below].newParent = number;
            }
        handDown(row.number, row.library, number);
        m_log.WriteDashLine();
    }
    return true;
}

// Made, or found standing in its place; either way the report gets the row.
int FolderConversion::create(const QString &name, int newParent, bool isRoot, int number,
                             const QString &library)
{
    const ReportStep step(m_dm.report);
    const int made =
        CreateFolder(m_dm, name, newParent, isRoot, m_target, number, library, ParentSort::Defer);
    step.write(reportItem(library, number, name, true, made),
               step.noted(ReportAction::Reused) ? ReportAction::Reused : ReportAction::Created, made != 0);
    m_createRows.insert(keyOf(number, library));
    return made;
}

// The child is named in the report as the walk found it, also when the item linked is its copy.
bool FolderConversion::linkInto(const ChildRow &child, int item, const QString &itemLib)
{
    const ReportStep step(m_dm.report);
    const bool linked = AddFolderItem(m_dm, item, child.newParent, child.type, m_target, itemLib,
                                      ParentSort::Defer, &m_links);
    step.write(reportItem(child.library, child.number, child.name, child.isFolder(), child.newParent),
               step.noted(ReportAction::AlreadyLinked) ? ReportAction::AlreadyLinked : ReportAction::Linked,
               linked);
    m_childRows = m_processed + 1;
    if (linked)
        toSort(child.newParent);
    return linked;
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
int FolderConversion::twinOf(const ChildRow &child)
{
    const ChildRow *sibling = m_madeByName.value({child.newParent, child.name.trimmed().toUpper()});
    if (!sibling)
        return 0;
    const int twin = m_made.value(sibling->key());
    m_log.WriteLog(QStringLiteral("Warning: Folder #") + NumberText(child.number) + u' ' +
                   Quoted(child.name) + QStringLiteral(" in library ") + child.library +
                   QStringLiteral(" becomes one with folder #") + NumberText(twin) + u' ' +
                   Quoted(sibling->name) + QStringLiteral(" in library ") + m_target +
                   QStringLiteral(": their names differ only in letter case"));
    ReportStep(m_dm.report)
        .write(reportItem(child.library, child.number, child.name, true, twin), ReportAction::Reused, true);
    m_createRows.insert(child.key());
    return twin;
}

// A failed link does not stop the others; it only keeps the sources from being removed.
bool FolderConversion::recreateChildren()
{
    m_log.ShowStatus(QStringLiteral("Processing ") + NumberText(int(m_children.size())) +
                     QStringLiteral(" child item(s)"));
    m_log.WriteDashLine();
    double cost = 0;
    for (const ChildRow &child : std::as_const(m_children))
        cost += linkCost(child);
    double done = 0;
    reportProgress(MovePhase::Linking, 0, int(m_children.size()), 0);
    for (ChildRow &child : m_children) {
        if (m_walk.stopAsked())
            return false;
        if (!newParentKnown(child.newParent, child.number, child.name))
            return false;
        if (!child.isFolder() || standsForItself(child.library)) {
            child.done = linkInto(child, child.number, child.library);
        } else if (child.repeat) {
            child.done = linkInto(child, m_made.value(child.key()), m_target);
        } else {
            const int twin = twinOf(child);
            const int number =
                twin != 0 ? twin : create(child.name, child.newParent, false, child.number, child.library);
            m_childRows = m_processed + 1;
            if (number == 0)
                return refuse(QStringLiteral("Error: Unable to create this folder - cannot continue."));
            if (twin == 0) {
                toSort(child.newParent);
                m_madeByName.insert({child.newParent, child.name.trimmed().toUpper()}, &child);
            }
            child.done = true;
            m_made.insert(child.key(), number);
            handDown(child.number, child.library, number);
            m_log.WriteDashLine();
        }
        if (!child.done)
            m_failedItems = true;
        ++m_processed;
        done += linkCost(child);
        reportProgress(MovePhase::Linking, m_processed, int(m_children.size()), done / cost);
    }
    sortLinked();
    return !m_failedItems;
}

void FolderConversion::sortLinked()
{
    for (const int folder : std::as_const(m_toSort))
        if (!SortFolders(m_dm, folder, m_target)) {
            m_log.WriteLog(QStringLiteral("Error: Unable to sort the parent folder ") + m_target);
            m_log.WriteDashLine();
        }
    m_toSort.clear();
    m_sortPending.clear();
}

// The source tree is read again and the new tree read back, both from the DM, so that an item filed in
// a source folder after the walk, a link the DM did not keep or a copy of access that did not land
// keeps every source folder in place.
bool FolderConversion::verifyNewTree()
{
    m_verifying = true;
    const int moved = m_made.value(keyOf(m_number, m_source));
    m_log.ShowStatus(QStringLiteral("Verifying folder #") + NumberText(moved) +
                     QStringLiteral(" and its subfolders in library ") + m_target);
    m_log.WriteDashLine();
    QHash<QString, QList<ItemKey>> byLibrary; // the source folders, by their library
    QList<ItemKey> made;                      // the new folders, as keys of the target
    QList<ItemKey> sources;
    for (const ChildRow &child : std::as_const(m_children))
        if (child.isFolder() && !child.repeat && !standsForItself(child.library))
            sources << child.key();
    sources.prepend(keyOf(m_number, m_source));
    for (const ItemKey &source : std::as_const(sources)) {
        byLibrary[source.second] << source;
        made << keyOf(m_made.value(source), m_target);
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
            compareFolder(source, old.value(source), now.value(keyOf(m_made.value(source), m_target)));
    const ChainRow &selected = m_chain.first();
    if (selected.newParent != 0) {
        const std::optional<SqlRows> rows = m_walk.contentsOf(selected.newParent, m_target);
        if (!rows)
            return false;
        bool filed = false;
        for (qsizetype r = 0; r < rows->size() && !filed; ++r)
            filed = leadingInt32(rows->value(r, 1).toString()) == moved &&
                    sameLibrary(rows->value(r, 2).toString(), m_target);
        if (!filed) {
            m_log.WriteLog(QStringLiteral("Error: Folder #") + NumberText(moved) +
                           QStringLiteral(" is not filed in its new parent folder #") +
                           NumberText(selected.newParent) + QStringLiteral(" in library ") + m_target);
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
        const std::optional<SqlRows> rows = m_walk.contentsOf(folder.first, library);
        if (!rows)
            return false;
        TreeFolder &read = into[folder];
        for (qsizetype r = 0; r < rows->size(); ++r)
            if (const int item = leadingInt32(rows->value(r, 1).toString()); item != 0)
                read.items.insert(keyOf(item, rows->value(r, 2).toString()));
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
    const int number = m_made.value(source);
    const QString folder =
        QStringLiteral("Error: Folder #") + NumberText(number) + QStringLiteral(" in library ") + m_target;
    const QString from = QStringLiteral("folder #") + NumberText(source.first) +
                         QStringLiteral(" in library ") + spelled(source.second);
    int differences = 0;
    for (const ItemKey &item : old.items) {
        if (item == source)
            continue;
        const int newNumber = m_made.value(item);
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
    if (ConnectLibrary(m_dm, library) && removeFolder(number, library, name))
        return true;
    m_log.WriteLog(QStringLiteral("Unable to remove folder ") + NumberText(number) +
                   QStringLiteral(" in library ") + library + QStringLiteral(" - cannot continue."));
    return false;
}

bool FolderConversion::removeFolder(int number, const QString &library, const QString &name)
{
    const ReportStep step(m_dm.report);
    const bool removed = DeleteFolder(m_dm, number, library);
    const ItemKey key = keyOf(number, library);
    step.write(reportItem(library, number, name, true, m_made.value(key)), ReportAction::Removed, removed);
    m_removalRows.insert(key);
    return removed;
}

// A stop is honoured before the check and after it, never once the first source folder is gone: a
// removal half done would leave the user a source tree that is neither whole nor moved.
bool FolderConversion::removeSources()
{
    if (m_walk.stopAsked() || !verifyNewTree() || m_walk.stopAsked())
        return false;
    m_removing = true;
    QList<const ChildRow *> toRemove;
    QSet<ItemKey> removed;
    for (auto child = m_children.crbegin(); child != m_children.crend(); ++child)
        if (child->isFolder() && !standsForItself(child->library) && !m_walk.kept.contains(child->key()) &&
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
double FolderConversion::linkCost(const ChildRow &child) const
{
    return child.isFolder() && !child.repeat && !standsForItself(child.library) ? 15 : 1;
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

// What a stopped move did not come to, in the order the move takes it, with the reason it stopped.
void FolderConversion::reportUnprocessed()
{
    if (!m_dm.report || m_result)
        return;
    const QString reason = stopReason();
    if (!m_writing) {
        m_dm.report->write(reportItem(m_source, m_number, m_name, true, 0), ReportAction::Skipped, reason);
        return;
    }
    QSet<ItemKey> seen;
    for (auto row = m_chain.crbegin(); row != m_chain.crend(); ++row) {
        const ItemKey key = keyOf(row->number, row->library);
        if (standsForItself(row->library) || m_createRows.contains(key) || seen.contains(key))
            continue;
        seen.insert(key);
        m_dm.report->write(reportItem(row->library, row->number, row->name, true, 0), ReportAction::Skipped,
                           reason);
    }
    for (qsizetype i = m_childRows; i < m_children.size(); ++i) {
        const ChildRow &child = m_children[i];
        m_dm.report->write(reportItem(child.library, child.number, child.name, child.isFolder(), 0),
                           ReportAction::Skipped, reason);
    }
}

// The folders of the tree that are still in their library once they have a copy in the target: kept on
// purpose, or left because the move stopped before their removal.
void FolderConversion::reportLeftInPlace()
{
    if (!m_dm.report || !m_writing)
        return;
    const QString reason = stopReason();
    QSet<ItemKey> seen;
    const auto left = [&](const QString &library, int number, const QString &name) {
        const ItemKey key = keyOf(number, library);
        if (standsForItself(library) || !m_made.contains(key) || seen.contains(key))
            return;
        seen.insert(key);
        const ReportItem item = reportItem(library, number, name, true, m_made.value(key));
        if (m_walk.kept.contains(key))
            m_dm.report->write(item, ReportAction::Kept, QStringLiteral("ok"));
        else if (!m_result && !m_removalRows.contains(key))
            m_dm.report->write(item, ReportAction::Skipped, reason);
    };
    for (auto child = m_children.crbegin(); child != m_children.crend(); ++child)
        if (child->isFolder())
            left(child->library, child->number, child->name);
    left(m_source, m_number, m_name);
}

// Every path ends here: folders that received links are sorted also when the move stopped early, and a
// move that stopped while writing to the target says how many items it left out.
void FolderConversion::leave()
{
    try {
        reportUnprocessed();
        sortLinked();
        const auto unlinked = std::count_if(m_children.cbegin(), m_children.cend(),
                                            [](const ChildRow &child) { return !child.done; });
        if (!m_result && m_walk.stopped())
            m_log.WriteLog(QStringLiteral("Folder #") + NumberText(m_number) + u' ' + Quoted(m_name) +
                           QStringLiteral(" was not moved: cancelled with ") + NumberText(int(unlinked)) +
                           QStringLiteral(" of ") + NumberText(int(m_children.size())) +
                           QStringLiteral(" item(s) not linked in library ") + m_target +
                           QStringLiteral(" - its source in library ") + m_source +
                           QStringLiteral(" is kept whole; run the move again to finish it"));
        else if (!m_result && m_writing && !m_verifying)
            m_log.WriteLog(QStringLiteral("Error: ") + NumberText(int(unlinked)) + QStringLiteral(" of ") +
                           NumberText(int(m_children.size())) + QStringLiteral(" item(s) of folder #") +
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
