#include "migrate/movewalk.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "migrate/foldersteps.h"
#include "settings/leadingnumber.h"

ItemKey keyOf(int number, const QString &library)
{
    return {number, library.toUpper()};
}

bool sameLibrary(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString EqualsLine()
{
    return QString(60, u'=');
}

MoveWalk::MoveWalk(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib)
    : m_dm(dm), m_s(dm.session), m_log(dm.log), m_number(docNumber), m_source(sourceLib), m_target(targetLib)
{
}

bool MoveWalk::walk()
{
    return checkTarget() && identify() && walkParents() && walkChildren() && findOutsideParents();
}

bool MoveWalk::stopAsked()
{
    if (!m_stopped && m_stop && m_stop()) {
        m_stopped = true;
        m_log.WriteLog(QStringLiteral("The move of folder #") + NumberText(m_number) +
                       QStringLiteral(" stops here at the user's request - its source is kept"));
        m_log.WriteDashLine();
    }
    return m_stopped;
}

bool MoveWalk::refuse(const QString &line)
{
    m_refusal = line;
    m_log.WriteLog(line);
    m_log.WriteDashLine();
    return false;
}

// Moving a folder into its own library would find the folder itself standing there and delete it; an
// empty or unknown target would mean whichever library the walks touched last.
bool MoveWalk::checkTarget()
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
        return refuse(QStringLiteral("Error: Target library ") + UnknownLibraryText(m_s, m_target) +
                      QStringLiteral(" - cannot continue with this folder"));
    m_target = target->name();
    if (sameLibrary(m_source, m_target))
        return refuse(QStringLiteral("Error: Folder #") + NumberText(m_number) +
                      QStringLiteral(" is in library ") + m_source +
                      QStringLiteral(" already - it cannot be moved into its own library"));
    return true;
}

bool MoveWalk::identify()
{
    if (!ConnectLibrary(m_dm, m_source))
        return false;
    m_source = m_s.currentLibrary->name();
    m_dm.window.setMousePointer(MousePointer::Hourglass);
    m_log.ShowStatus(QStringLiteral("Moving Folder #") + NumberText(m_number) + QStringLiteral(" from ") +
                     m_source + QStringLiteral(" to ") + m_target);
    m_log.WriteLog(EqualsLine());
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
    m_chainKeys.insert(keyOf(m_number, m_source));
    m_tree.insert(keyOf(m_number, m_source));
    return true;
}

bool MoveWalk::walkFailed(const QString &what, const QString &library, const SqlRows &rows)
{
    return refuse(QStringLiteral("Error: Unable to read ") + what + QStringLiteral(" in library ") + library +
                  QStringLiteral(": SQL error ") + rows.errorText() +
                  QStringLiteral(" - cannot continue with this folder"));
}

bool MoveWalk::connectForWalk(const QString &library, const QString &purpose)
{
    if (!library.isEmpty() && ConnectLibrary(m_dm, library))
        return true;
    return refuse(QStringLiteral("Error: Unable to connect to library ") + library +
                  QStringLiteral(" to look for ") + purpose +
                  QStringLiteral(" - cannot continue with this folder"));
}

// Rows of a folder are kept in the library of the folder that holds them, so the parents of an item
// are searched in every library, its own first, and only rows naming an item of its own library count.
std::optional<QList<ParentRow>> MoveWalk::parentsOf(int number, const QString &library)
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

bool MoveWalk::cycle(int number, const QString &name, const QString &library, const QString &through)
{
    return refuse(QStringLiteral("Error: Folder #") + NumberText(number) + u' ' + Quoted(name) +
                  QStringLiteral(" in library ") + library + QStringLiteral(" contains itself through ") +
                  through + QStringLiteral(" - cannot continue with this folder"));
}

// A row of the target library is not walked further up: it is used as it stands.
bool MoveWalk::walkParents()
{
    for (int i = 0; i < m_chain.size(); ++i) {
        const ChainRow row = m_chain[i];
        if (standsForItself(row.library))
            continue;
        if (stopAsked())
            return false;
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
            // Only a parent met before can close a cycle: a long chain is walked in linear time.
            const ItemKey key = keyOf(parent.number, parent.library);
            if (m_chainKeys.contains(key))
                for (int on = i; on >= 0; on = m_chain[on].foundFrom)
                    if (key == m_chain[on].key())
                        return cycle(parent.number, parent.name, parent.library,
                                     QStringLiteral("its subfolder #") + NumberText(row.number) +
                                         QStringLiteral(" in library ") + row.library);
            m_chainKeys.insert(key);
            m_log.WriteLog(QStringLiteral("Found parent folder #") + NumberText(parent.number) + u' ' +
                           Quoted(parent.name) + QStringLiteral(" in library ") + parent.library);
            m_chain.append({0, {}, parent.number, parent.name, parent.library, false, i});
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

std::optional<QList<FolderEntry>> MoveWalk::contentsOf(int folder, const QString &library)
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
    if (rows.failed()) {
        walkFailed(what, library, rows);
        return std::nullopt;
    }
    QList<FolderEntry> entries;
    for (qsizetype r = 0; r < rows.size(); ++r)
        entries.append({leadingInt32(rows.value(r, 1).toString()), rows.value(r, 2).toString(),
                        rows.value(r, 3).toString(), rows.value(r, 4).toString()});
    return entries;
}

// A subfolder's contents are searched in the library it lives in. A subfolder met a second time is
// walked once only.
bool MoveWalk::walkChildren()
{
    for (int i = -1; i < m_children.size(); ++i) {
        const int folder = i < 0 ? m_number : m_children[i].number;
        const QString library = i < 0 ? m_source : m_children[i].library;
        if (i >= 0 && (!m_children[i].isFolder() || m_children[i].repeat || standsForItself(library)))
            continue;
        if (stopAsked())
            return false;
        m_log.ShowStatus(QStringLiteral("Identifying children for folder #") + NumberText(folder) +
                         QStringLiteral(" in library ") + library);
        m_log.WriteDashLine();
        const std::optional<QList<FolderEntry>> entries = contentsOf(folder, library);
        if (!entries)
            return false;
        for (const FolderEntry &entry : *entries) {
            ChildRow child{folder, library, entry.number, entry.name, entry.type, entry.library};
            if (child.number == 0)
                continue;
            if (child.key() == keyOf(folder, library))
                return cycle(child.number, child.name, child.library, QStringLiteral("a link to itself"));
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
    for (qsizetype i = 0; i < m_children.size(); ++i) {
        const ChildRow &child = m_children[i];
        if (child.isFolder() && !standsForItself(child.library))
            m_subfoldersOf[child.parentKey()] << i;
    }
    const bool looped = containsItself(keyOf(m_number, m_source));
    m_subfoldersOf.clear();
    return !looped;
}

// A folder met again below itself, through any number of levels, is a cycle. One met again elsewhere
// in the tree is only filed twice; its second row is not walked, so a cycle may hide behind it.
bool MoveWalk::containsItself(const ItemKey &folder)
{
    m_open.insert(folder);
    for (const qsizetype i : m_subfoldersOf.value(folder)) {
        const ChildRow &child = m_children[i];
        if (m_closed.contains(child.key()))
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
bool MoveWalk::findOutsideParents()
{
    for (const ChildRow &child : std::as_const(m_children)) {
        if (!child.isFolder() || child.repeat || standsForItself(child.library))
            continue;
        if (stopAsked())
            return false;
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
