#include "migrate/convertfolder.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/createfolder.h"
#include "migrate/deletefolder.h"
#include "migrate/foldersteps.h"
#include "migrate/sortfolders.h"
#include "settings/leadingnumber.h"

#include <QSet>

#include <optional>

namespace {

// Document numbers are per library: an item is named by its number and its library, whose name is
// compared ignoring case.
using ItemKey = std::pair<int, QString>;

ItemKey keyOf(int number, const QString &library)
{
    return {number, library.toUpper()};
}

bool sameLibrary(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString equalsLine()
{
    return QString(60, u'=');
}

// A folder of the parent chain: the selected folder first, then every parent found, in any library.
struct ChainRow {
    int parent = 0; // the first parent found, 0 for a top-level folder
    QString parentLib;
    int number = 0;
    QString name;
    QString library;
    int newParent = 0;
    bool isRoot = false;
    int foundFrom = -1; // the row this one is a parent of
    int made = 0;       // its number in the target library once made
};

// An item of the content tree, breadth-first.
struct ChildRow {
    int parent = 0;
    QString parentLib;
    int number = 0;
    QString name;
    QString type;
    QString library;
    int newParent = 0;
    bool repeat = false; // a subfolder filed a second time inside the tree: walked, made and removed once
    bool done = false;   // linked or made in the target

    bool isFolder() const { return type == u"F"; }
    ItemKey key() const { return keyOf(number, library); }
    ItemKey parentKey() const { return keyOf(parent, parentLib); }
};

struct ParentRow {
    int number = 0;
    QString library;
    QString name;
};

// One call of ConvertFolder after its entry checks. Each pass returns false once the move of the folder
// is over; m_result then says how it ended.
class FolderConversion {
public:
    FolderConversion(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib,
                     const ConvertProgress &progress)
        : m_dm(dm), m_s(dm.session), m_log(dm.log), m_number(docNumber), m_source(sourceLib),
          m_target(targetLib), m_progress(progress)
    {
    }

    bool run();

private:
    bool checkTarget();
    bool identify();
    bool walkParents();
    bool walkChildren();
    bool containsItself(const ItemKey &folder);
    bool findOutsideParents();
    bool recreateChain();
    bool recreateChildren();
    bool removeSources();
    void leave();

    std::optional<QList<ParentRow>> parentsOf(int number, const QString &library);
    std::optional<SqlRows> contentsOf(int folder, const QString &library);
    bool connectForWalk(const QString &library, const QString &purpose);
    bool walkFailed(const QString &what, const QString &library, const SqlRows &rows);
    bool cycle(int number, const QString &name, const QString &library, const QString &through);
    bool standsForItself(const QString &library) const { return sameLibrary(library, m_target); }
    void handDown(int number, const QString &library, int made);
    bool linkInto(int item, int parent, const QString &type, const QString &itemLib);
    bool newParentKnown(int newParent, int number, const QString &name);
    void toSort(int folder);
    void sortLinked();
    bool remove(int number, const QString &library);
    bool holdsOnlyMovedItems(int number, const QString &library);
    bool refuse(const QString &line);
    void reportProgress();

    DmContext &m_dm;
    DmSession &m_s;
    ActivityLog &m_log;
    const int m_number;
    QString m_source;
    QString m_target;
    const ConvertProgress &m_progress;

    QString m_entryLibrary;
    QString m_entryStatus;
    MousePointer m_entryPointer = MousePointer::Default;
    QString m_name;
    QList<ChainRow> m_chain;
    QList<ChildRow> m_children;
    // The folders of the moved tree that are walked, made and removed: the selected one and its
    // subfolders outside the target library.
    QSet<ItemKey> m_tree;
    QSet<ItemKey> m_kept;
    QSet<ItemKey> m_open, m_closed; // folders of the tree being searched for a cycle, and those done
    QSet<ItemKey> m_moved;          // linked or made in the target
    QList<int> m_toSort;            // target folders that received links, in the order of their first link
    QSet<int> m_sortPending;        // the same folders, to look up
    LinkMemo m_links;               // what every link of this move learns once
    int m_processed = 0;
    bool m_failedItems = false;
    bool m_writing = false;  // the target has been written to
    bool m_removing = false; // the removal of the sources has begun
    bool m_result = false;
};

bool FolderConversion::run()
{
    m_entryPointer = m_dm.window.mousePointer();
    m_entryStatus = m_dm.window.statusText();
    m_entryLibrary = m_s.currentLibrary->name();
    try {
        m_result = checkTarget() && identify() && walkParents() && walkChildren() && findOutsideParents() &&
                   recreateChain() && recreateChildren() && removeSources();
    } catch (const DmError &error) {
        m_log.WriteDashLine();
        m_log.WriteLog(QStringLiteral("ConvertFolder:"));
        m_log.ReportError(error.number(), error.source(), error.description());
        m_result = false;
    }
    leave();
    return m_result;
}

bool FolderConversion::refuse(const QString &line)
{
    m_log.WriteLog(line);
    m_log.WriteDashLine();
    return false;
}

// Moving a folder into its own library would find the folder itself standing there and delete it; an
// empty or unknown target would mean whichever library the walks touched last.
bool FolderConversion::checkTarget()
{
    const QString folder = QStringLiteral("folder #") + NumberText(m_number);
    if (m_number == 0)
        return refuse(QStringLiteral(
            "Error: Folder Document Number is not identified - cannot continue with this folder"));
    if (m_target.trimmed().isEmpty())
        return refuse(QStringLiteral("Error: No target library is given for ") + folder +
                      QStringLiteral(" - cannot continue with this folder"));
    const std::shared_ptr<DmLibrary> target = FindLibrary(m_s, m_target);
    if (!target)
        return refuse(
            QStringLiteral("Error: Target library ") + m_target +
            QStringLiteral(" is not a library of this DM installation - cannot continue with this folder"));
    m_target = target->name();
    if (sameLibrary(m_source, m_target))
        return refuse(QStringLiteral("Error: Folder #") + NumberText(m_number) +
                      QStringLiteral(" is in library ") + m_source +
                      QStringLiteral(" already - it cannot be moved into its own library"));
    return true;
}

bool FolderConversion::identify()
{
    if (!ConnectLibrary(m_dm, m_source))
        return false;
    m_source = m_s.currentLibrary->name();
    m_dm.window.setMousePointer(MousePointer::Hourglass);
    m_log.ShowStatus(QStringLiteral("Moving Folder #") + NumberText(m_number) + QStringLiteral(" from ") +
                     m_source + QStringLiteral(" to ") + m_target);
    m_log.WriteLog(equalsLine());
    m_s.saveOption = m_dm.window.displayErrors() ? 2 : 3;

    m_log.ShowStatus(QStringLiteral("Identifying the selected folder information for document #") +
                     NumberText(m_number) + QStringLiteral(" in library ") + m_source);
    m_log.WriteDashLine();
    const SqlRows name =
        QueryRows(m_dm, QStringLiteral("SELECT PR.DOCNAME FROM [OWNER].PROFILE PR WHERE PR.DOCNUMBER = ") +
                            NumberText(m_number));
    if (name.failed())
        return walkFailed(QStringLiteral("the name of folder #") + NumberText(m_number), m_source, name);
    const SqlRows folder =
        QueryRows(m_dm, QStringLiteral("SELECT COUNT(*) FROM [OWNER].FOLDER WHERE DOCNUMBER = ") +
                            NumberText(m_number));
    if (folder.failed())
        return walkFailed(QStringLiteral("folder #") + NumberText(m_number), m_source, folder);
    if (name.isEmpty() || leadingInt32(folder.value(0, 1).toString()) == 0)
        return refuse(QStringLiteral("Error: Document #") + NumberText(m_number) +
                      QStringLiteral(" is not a folder of library ") + m_source +
                      QStringLiteral(" - cannot continue with this folder"));
    m_name = name.value(0, 1).toString();
    m_chain.append({0, {}, m_number, m_name, m_source});
    m_tree.insert(keyOf(m_number, m_source));
    return true;
}

bool FolderConversion::walkFailed(const QString &what, const QString &library, const SqlRows &rows)
{
    return refuse(QStringLiteral("Error: Unable to read ") + what + QStringLiteral(" in library ") + library +
                  QStringLiteral(": SQL error ") + rows.errorText() +
                  QStringLiteral(" - cannot continue with this folder"));
}

bool FolderConversion::connectForWalk(const QString &library, const QString &purpose)
{
    if (!library.isEmpty() && ConnectLibrary(m_dm, library))
        return true;
    return refuse(QStringLiteral("Error: Unable to connect to library ") + library +
                  QStringLiteral(" to look for ") + purpose +
                  QStringLiteral(" - cannot continue with this folder"));
}

// Rows of a folder are kept in the library of the folder that holds them, so the parents of an item
// are searched in every library, its own first, and only rows naming an item of its own library count.
std::optional<QList<ParentRow>> FolderConversion::parentsOf(int number, const QString &library)
{
    QStringList libraries{library};
    const int count = m_s.libraries ? m_s.libraries->count() : 0;
    for (int i = 1; i <= count; ++i)
        if (const std::shared_ptr<DmLibrary> other = m_s.libraries->item(i);
            other && !sameLibrary(other->name(), library))
            libraries << other->name();
    const QString what = QStringLiteral("the parents of folder #") + NumberText(number);
    QList<ParentRow> parents;
    for (const QString &in : std::as_const(libraries)) {
        if (!connectForWalk(in, what))
            return std::nullopt;
        const SqlRows rows = QueryRows(
            m_dm, QStringLiteral(
                      "SELECT DISTINCT FI.PARENT, RL.LIBRARY_NAME, P.DOCNAME FROM [OWNER].FOLDER_ITEM FI "
                      "LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.PARENT_LIBRARY "
                      "LEFT OUTER JOIN [OWNER].PROFILE P  ON P.DOCNUMBER = FI.PARENT "
                      "LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES IL ON IL.SYSTEM_ID = FI.LIBRARY "
                      "WHERE FI.DOCNUMBER = ") +
                      NumberText(number) + QStringLiteral(" AND UPPER(IL.LIBRARY_NAME) = '") +
                      SqlEscape(library.toUpper()) + QStringLiteral("' ORDER BY FI.PARENT"));
        if (rows.failed()) {
            walkFailed(what, in, rows);
            return std::nullopt;
        }
        for (qsizetype r = 0; r < rows.size(); ++r) {
            const QString parentLib = rows.value(r, 2).toString();
            parents.append({leadingInt32(rows.value(r, 1).toString()), parentLib.isEmpty() ? in : parentLib,
                            rows.value(r, 3).toString()});
        }
    }
    return parents;
}

bool FolderConversion::cycle(int number, const QString &name, const QString &library, const QString &through)
{
    return refuse(QStringLiteral("Error: Folder #") + NumberText(number) + u' ' + Quoted(name) +
                  QStringLiteral(" in library ") + library + QStringLiteral(" contains itself through ") +
                  through + QStringLiteral(" - cannot continue with this folder"));
}

// A row of the target library is not walked further up: it is used as it stands.
bool FolderConversion::walkParents()
{
    for (int i = 0; i < m_chain.size(); ++i) {
        const ChainRow row = m_chain[i];
        if (standsForItself(row.library))
            continue;
        m_log.ShowStatus(QStringLiteral("Identifying parents for folder #") + NumberText(row.number) + u' ' +
                         Quoted(row.name) + QStringLiteral(" in library ") + row.library);
        m_log.WriteDashLine();
        const std::optional<QList<ParentRow>> parents = parentsOf(row.number, row.library);
        if (!parents)
            return false;
        QList<ParentRow> found;
        for (const ParentRow &parent : *parents)
            if (parent.number != 0)
                found << parent;
        if (!found.isEmpty()) {
            if (found.size() > 1) {
                m_log.WriteLog(QStringLiteral("Warning: There are ") + NumberText(int(found.size())) +
                               QStringLiteral(" parent folders for this item - will only use the first one"));
                m_log.WriteDashLine();
            }
            m_chain[i].parent = found.first().number;
            m_chain[i].parentLib = found.first().library;
        }
        for (const ParentRow &parent : std::as_const(found)) {
            for (int on = i; on >= 0; on = m_chain[on].foundFrom)
                if (keyOf(parent.number, parent.library) == keyOf(m_chain[on].number, m_chain[on].library))
                    return cycle(parent.number, parent.name, parent.library,
                                 QStringLiteral("its subfolder #") + NumberText(row.number) +
                                     QStringLiteral(" in library ") + row.library);
            m_log.WriteLog(QStringLiteral("Found parent folder #") + NumberText(parent.number) + u' ' +
                           Quoted(parent.name) + QStringLiteral(" in library ") + parent.library);
            m_chain.append({0, {}, parent.number, parent.name, parent.library, 0, false, i});
        }
        m_log.WriteDashLine();
        if (found.isEmpty()) {
            if (!connectForWalk(row.library,
                                QStringLiteral("the root status of folder #") + NumberText(row.number)))
                return false;
            const SqlRows root = QueryRows(
                m_dm, QStringLiteral("SELECT COUNT(*) FROM [OWNER].ROOT_OBJECT WHERE DOCNUMBER = ") +
                          NumberText(row.number));
            if (root.failed())
                return walkFailed(QStringLiteral("the root status of folder #") + NumberText(row.number),
                                  row.library, root);
            m_chain[i].isRoot = leadingInt32(root.value(0, 1).toString()) != 0;
        }
    }
    return true;
}

std::optional<SqlRows> FolderConversion::contentsOf(int folder, const QString &library)
{
    const QString what = QStringLiteral("the contents of folder #") + NumberText(folder);
    if (!connectForWalk(library, what))
        return std::nullopt;
    const SqlRows rows = QueryRows(
        m_dm,
        QStringLiteral("SELECT DISTINCT FI.DOCNUMBER, RL.LIBRARY_NAME, FI.DISPLAYNAME, FI.NODE_TYPE FROM "
                       "[OWNER].FOLDER_ITEM FI "
                       "LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY "
                       "LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES PL ON PL.SYSTEM_ID = FI.PARENT_LIBRARY "
                       "WHERE FI.PARENT = ") +
            NumberText(folder) + QStringLiteral(" AND UPPER(PL.LIBRARY_NAME) = '") +
            SqlEscape(library.toUpper()) + QStringLiteral("' ORDER BY FI.DISPLAYNAME"));
    if (!rows.failed())
        return rows;
    walkFailed(what, library, rows);
    return std::nullopt;
}

// A subfolder's contents are searched in the library it lives in. A subfolder met a second time is
// walked once only.
bool FolderConversion::walkChildren()
{
    for (int i = -1; i < m_children.size(); ++i) {
        const int folder = i < 0 ? m_number : m_children[i].number;
        const QString library = i < 0 ? m_source : m_children[i].library;
        if (i >= 0 && (!m_children[i].isFolder() || m_children[i].repeat || standsForItself(library)))
            continue;
        m_log.ShowStatus(QStringLiteral("Identifying children for folder #") + NumberText(folder) +
                         QStringLiteral(" in library ") + library);
        m_log.WriteDashLine();
        const std::optional<SqlRows> rows = contentsOf(folder, library);
        if (!rows)
            return false;
        for (qsizetype r = 0; r < rows->size(); ++r) {
            ChildRow child{folder,
                           library,
                           leadingInt32(rows->value(r, 1).toString()),
                           rows->value(r, 3).toString(),
                           rows->value(r, 4).toString(),
                           rows->value(r, 2).toString()};
            if (child.number == 0 || child.key() == keyOf(folder, library))
                continue;
            if (child.isFolder() && !standsForItself(child.library)) {
                child.repeat = m_tree.contains(child.key());
                m_tree.insert(child.key());
            }
            m_log.WriteLog(QStringLiteral("Found child item #") + NumberText(child.number) + u' ' +
                           Quoted(child.name) + QStringLiteral(" in library ") + child.library);
            m_children.append(child);
        }
        m_log.WriteDashLine();
    }
    return !containsItself(keyOf(m_number, m_source));
}

// A folder met again below itself, through any number of levels, is a cycle. One met again elsewhere
// in the tree is only filed twice; its second row is not walked, so a cycle may hide behind it.
bool FolderConversion::containsItself(const ItemKey &folder)
{
    m_open.insert(folder);
    for (const ChildRow &child : std::as_const(m_children)) {
        if (child.parentKey() != folder || !child.isFolder() || standsForItself(child.library) ||
            m_closed.contains(child.key()))
            continue;
        if (m_open.contains(child.key())) {
            cycle(child.number, child.name, child.library,
                  QStringLiteral("folder #") + NumberText(child.parent) + QStringLiteral(" in library ") +
                      child.parentLib);
            return true;
        }
        if (containsItself(child.key()))
            return true;
    }
    m_open.remove(folder);
    m_closed.insert(folder);
    return false;
}

// A subfolder that a folder outside the moved tree also holds stays where it is, with everything
// below it; it is made in the target all the same and loses only its links inside the tree.
bool FolderConversion::findOutsideParents()
{
    for (const ChildRow &child : std::as_const(m_children)) {
        if (!child.isFolder() || child.repeat || standsForItself(child.library))
            continue;
        const std::optional<QList<ParentRow>> parents = parentsOf(child.number, child.library);
        if (!parents)
            return false;
        for (const ParentRow &parent : *parents) {
            if (parent.number == 0 || m_tree.contains(keyOf(parent.number, parent.library)))
                continue;
            m_log.WriteLog(QStringLiteral("Warning: Folder #") + NumberText(child.number) + u' ' +
                           Quoted(child.name) + QStringLiteral(" in library ") + child.library +
                           QStringLiteral(" is also filed in folder #") + NumberText(parent.number) + u' ' +
                           Quoted(parent.name) + QStringLiteral(" in library ") + parent.library +
                           QStringLiteral(" - it is kept there"));
            m_kept.insert(child.key());
            break;
        }
    }
    for (bool grown = true; grown;) {
        grown = false;
        for (const ChildRow &child : std::as_const(m_children))
            if (child.isFolder() && m_kept.contains(child.parentKey()) && !m_kept.contains(child.key())) {
                m_kept.insert(child.key());
                grown = true;
            }
    }
    return true;
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
    if (!ConnectLibrary(m_dm, m_entryLibrary))
        return refuse(QStringLiteral("Error: Unable to connect to library ") + m_entryLibrary +
                      QStringLiteral(" to move folder #") + NumberText(m_number) +
                      QStringLiteral(" from it - cannot continue with this folder"));
    m_log.ShowStatus(QStringLiteral("Processing ") + NumberText(int(m_chain.size())) +
                     QStringLiteral(" parent folder(s)"));
    m_log.WriteDashLine();
    m_writing = true;
    QHash<ItemKey, int> made;
    for (int i = int(m_chain.size()) - 1; i >= 0; --i) {
        const ChainRow row = m_chain[i];
        const ItemKey key = keyOf(row.number, row.library);
        int number = made.value(key);
        if (number == 0 && standsForItself(row.library)) {
            number = row.number;
        } else if (number == 0) {
            if (row.parent != 0 && !newParentKnown(row.newParent, row.number, row.name))
                return false;
            number = CreateFolder(m_dm, row.name, row.newParent, row.isRoot, m_target, row.number,
                                  row.library, ParentSort::Defer);
            if (number != 0 && row.newParent != 0)
                toSort(row.newParent);
            if (number == 0)
                return refuse(QStringLiteral("Error: Unable to create this folder - cannot continue."));
        }
        made.insert(key, number);
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
    m_moved.insert(keyOf(m_number, m_source));
    return true;
}

bool FolderConversion::linkInto(int item, int parent, const QString &type, const QString &itemLib)
{
    const bool linked =
        AddFolderItem(m_dm, item, parent, type, m_target, itemLib, ParentSort::Defer, &m_links);
    if (linked)
        toSort(parent);
    return linked;
}

void FolderConversion::toSort(int folder)
{
    if (!m_sortPending.contains(folder)) {
        m_sortPending.insert(folder);
        m_toSort << folder;
    }
}

// A failed link does not stop the others; it only keeps the sources from being removed.
bool FolderConversion::recreateChildren()
{
    m_log.ShowStatus(QStringLiteral("Processing ") + NumberText(int(m_children.size())) +
                     QStringLiteral(" child item(s)"));
    m_log.WriteDashLine();
    reportProgress();
    QHash<ItemKey, int> made;
    for (ChildRow &child : m_children) {
        if (!newParentKnown(child.newParent, child.number, child.name))
            return false;
        if (!child.isFolder() || standsForItself(child.library)) {
            child.done = linkInto(child.number, child.newParent, child.type, child.library);
        } else if (child.repeat) {
            child.done = linkInto(made.value(child.key()), child.newParent, QStringLiteral("F"), m_target);
        } else {
            const int number = CreateFolder(m_dm, child.name, child.newParent, false, m_target, child.number,
                                            child.library, ParentSort::Defer);
            if (number == 0)
                return refuse(QStringLiteral("Error: Unable to create this folder - cannot continue."));
            toSort(child.newParent);
            child.done = true;
            made.insert(child.key(), number);
            handDown(child.number, child.library, number);
            m_log.WriteDashLine();
        }
        if (child.done)
            m_moved.insert(child.key());
        else
            m_failedItems = true;
        ++m_processed;
        reportProgress();
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

// The last guard: whatever the walks missed (an item filed meanwhile) keeps its folder in place.
bool FolderConversion::holdsOnlyMovedItems(int number, const QString &library)
{
    const std::optional<SqlRows> rows = contentsOf(number, library);
    if (!rows)
        return false;
    int left = 0;
    for (qsizetype r = 0; r < rows->size(); ++r) {
        const int item = leadingInt32(rows->value(r, 1).toString());
        if (item != 0 && !m_moved.contains(keyOf(item, rows->value(r, 2).toString())))
            ++left;
    }
    if (left == 0)
        return true;
    return refuse(QStringLiteral("Error: Folder #") + NumberText(number) + QStringLiteral(" in library ") +
                  library + QStringLiteral(" still holds ") + NumberText(left) +
                  QStringLiteral(" item(s) not moved to library ") + m_target +
                  QStringLiteral(" - it is not removed"));
}

bool FolderConversion::remove(int number, const QString &library)
{
    if (holdsOnlyMovedItems(number, library) && DeleteFolder(m_dm, number, library))
        return true;
    m_log.WriteLog(QStringLiteral("Unable to remove folder ") + NumberText(number) +
                   QStringLiteral(" in library ") + library + QStringLiteral(" - cannot continue."));
    return false;
}

bool FolderConversion::removeSources()
{
    m_removing = true;
    QSet<ItemKey> removed;
    for (auto child = m_children.crbegin(); child != m_children.crend(); ++child) {
        if (!child->isFolder() || standsForItself(child->library) || m_kept.contains(child->key()) ||
            removed.contains(child->key()))
            continue;
        if (!remove(child->number, child->library))
            return false;
        removed.insert(child->key());
    }
    if (!remove(m_number, m_source))
        return false;
    RaiseCounter(m_dm.window, MoveCounter::Added);
    m_log.WriteLog(QStringLiteral("Finished processing ") + NumberText(m_number) +
                   QStringLiteral(" in library ") + m_s.currentLibrary->name());
    m_log.WriteLog(equalsLine());
    RaiseCounter(m_dm.window, MoveCounter::Read);
    m_log.WriteLog(QStringLiteral("Folder #") + NumberText(m_number) + u' ' + Quoted(m_name) +
                   QStringLiteral(" successfully moved from library ") + m_source +
                   QStringLiteral(" to library ") + m_target);
    return true;
}


void FolderConversion::reportProgress()
{
    if (m_progress)
        m_progress(m_processed, int(m_children.size()));
}

// Every path ends here: folders that received links are sorted also when the move stopped early, and a
// move that stopped while writing to the target says how many items it left out.
void FolderConversion::leave()
{
    try {
        sortLinked();
        if (!m_result && m_writing && !m_removing) {
            const auto unlinked = std::count_if(m_children.cbegin(), m_children.cend(),
                                                [](const ChildRow &child) { return !child.done; });
            m_log.WriteLog(QStringLiteral("Error: ") + NumberText(int(unlinked)) + QStringLiteral(" of ") +
                           NumberText(int(m_children.size())) + QStringLiteral(" item(s) of folder #") +
                           NumberText(m_number) + u' ' + Quoted(m_name) +
                           QStringLiteral(" were not linked in library ") + m_target +
                           QStringLiteral(" - nothing of it is removed from library ") + m_source);
        }
        m_log.WriteLog(equalsLine());
        ReleaseSharedSlots(m_s);
        ConnectLibrary(m_dm, m_entryLibrary);
    } catch (const DmError &) {
        // The leave step goes on past every failure: the window must get its pointer and status back.
    }
    m_dm.window.setMousePointer(m_entryPointer);
    m_dm.window.setStatusText(m_entryStatus);
    m_dm.window.processEvents();
}

} // namespace

bool ConvertFolder(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib,
                   const ConvertProgress &progress)
{
    if (!FolderStepMayStart(dm, QStringLiteral("ConvertFolder")))
        return false;
    return FolderConversion(dm, docNumber, sourceLib, targetLib, progress).run();
}
