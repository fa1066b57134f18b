#pragma once

#include "dm/dmcontext.h"
#include "dm/sqlrows.h"

#include <QList>
#include <QSet>

#include <functional>

#include <optional>

// Document numbers are per library: an item is named by its number and its library, whose name is
// compared ignoring case.
using ItemKey = std::pair<int, QString>;

ItemKey keyOf(int number, const QString &library);

bool sameLibrary(const QString &a, const QString &b);

// A folder of the parent chain: the selected folder first, then every parent found, in any library.
struct ChainRow {
    int parent = 0; // the first parent found, 0 for a top-level folder
    QString parentLib;
    int number = 0;
    QString name;
    QString library;
    bool isRoot = false;
    int foundFrom = -1; // the row this one is a parent of

    ItemKey key() const { return keyOf(number, library); }
    ItemKey parentKey() const { return keyOf(parent, parentLib); }
};

// A row of a folder: an item it holds, with the library the item lives in.
struct FolderEntry {
    int number = 0;
    QString library;
    QString name;
    QString type;

    // Case-sensitive on purpose: only "F" marks a subfolder; any other node type is an item to link.
    bool isFolder() const { return type == u"F"; }
    ItemKey key() const { return keyOf(number, library); }
};

// An item of the content tree, breadth-first.
struct ChildRow {
    int parent = 0;
    QString parentLib;
    int number = 0;
    QString name;
    QString type;
    QString library;
    bool repeat = false; // a subfolder filed a second time inside the tree: walked, made and removed once

    // Case-sensitive on purpose: only "F" marks a subfolder; any other node type is an item to link.
    bool isFolder() const { return type == u"F"; }
    ItemKey key() const { return keyOf(number, library); }
    ItemKey parentKey() const { return keyOf(parent, parentLib); }
};

struct ParentRow {
    int number = 0;
    QString library;
    QString name;
};

// What a move of one folder reads before it writes anything: the folder itself, its parent chain up to
// a top-level folder (across libraries) and its whole content tree, with the subfolders that a folder
// outside the tree also holds. Reads only; every refusal is an "Error:" line and a dash line.
class MoveWalk {
public:
    MoveWalk(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib);

    // The target check, the folder's identity, its parents, its children, its subfolders filed outside
    // the tree. False when the folder cannot be moved; the reason is logged.
    bool walk();

    // Asked before each folder the walk reads; true ends the walk there, without an "Error:" line.
    void setStop(std::function<bool()> stop) { m_stop = std::move(stop); }
    // The walk, or a pass after it, ended because a stop was asked for.
    bool stopped() const { return m_stopped; }
    // Asks the stop check; once it says stop, the move is over and stays so.
    bool stopAsked();

    bool refuse(const QString &line);
    // The last line refuse() logged: why the walk, or a pass after it, gave up.
    const QString &refusal() const { return m_refusal; }
    // A row of the target library is used as it stands: never walked, created, copied or removed.
    bool standsForItself(const QString &library) const { return sameLibrary(library, m_target); }
    // The parents of an item found in every library, its own first; nullopt after a logged failure.
    std::optional<QList<ParentRow>> parentsOf(int number, const QString &library);
    // The rows of a folder in its own library, by display name; nullopt after a logged failure.
    std::optional<QList<FolderEntry>> contentsOf(int folder, const QString &library);

    int number() const { return m_number; }
    // The libraries and the folder's name as the DM spells them, once the walk has found them.
    const QString &source() const { return m_source; }
    const QString &target() const { return m_target; }
    const QString &name() const { return m_name; }

    const QList<ChainRow> &chain() const { return m_chain; }
    const QList<ChildRow> &children() const { return m_children; }
    // Subfolders also filed outside the tree, with everything below them: they stay in their library.
    const QSet<ItemKey> &kept() const { return m_kept; }

private:
    bool checkTarget();
    bool identify();
    bool walkParents();
    bool walkChildren();
    bool containsItself(const ItemKey &folder);
    bool findOutsideParents();
    bool connectForWalk(const QString &library, const QString &purpose);
    bool walkFailed(const QString &what, const QString &library, const SqlRows &rows);
    bool cycle(int number, const QString &name, const QString &library, const QString &through);

    DmContext &m_dm;
    DmSession &m_s;
    ActivityLog &m_log;
    const int m_number;
    QString m_source;
    QString m_target;
    QString m_name;
    QString m_refusal;
    QList<ChainRow> m_chain;
    QList<ChildRow> m_children;
    // The folders of the moved tree that are walked, made and removed: the selected one and its
    // subfolders outside the target library.
    QSet<ItemKey> m_tree;
    QSet<ItemKey> m_kept;
    QSet<ItemKey> m_chainKeys; // every folder the chain holds
    std::function<bool()> m_stop;
    bool m_stopped = false;
    QSet<ItemKey> m_open, m_closed; // folders of the tree being searched for a cycle, and those done
    QHash<ItemKey, QList<qsizetype>> m_subfoldersOf; // the subfolder rows by their parent, for that search
};

// The line of equals signs that frames the move of one folder in the log.
QString EqualsLine();
