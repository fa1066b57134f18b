#include "localdm/tools/librarycheck.h"

#include "dmapi/dmerror.h"

#include <algorithm>
#include <functional>

namespace {

constexpr qint32 NoSuchFolder = 1008;

struct Item {
    qint64 systemId = 0;
    qint64 parent = 0;
    qint64 parentLibrary = 0;
    qint64 docNumber = 0;
    qint64 library = 0;
    QString displayName;
    QString nodeType;
    bool first = false;
    qint64 next = 0;
};

const QString ItemColumns = QStringLiteral(
    "SYSTEM_ID, PARENT, PARENT_LIBRARY, DOCNUMBER, LIBRARY, DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT");

QList<Item> readItems(LibraryDatabase &db, const QString &where, const QVariantList &binds = {})
{
    QList<Item> items;
    for (const QVariantList &row :
         db.query(QStringLiteral("SELECT %1 FROM FOLDER_ITEM %2 ORDER BY SYSTEM_ID").arg(ItemColumns, where),
                  binds))
        items.append({row[0].toLongLong(), row[1].toLongLong(), row[2].toLongLong(), row[3].toLongLong(),
                      row[4].toLongLong(), row[5].toString(), row[6].toString(), row[7].toString() == u"Y"_qs,
                      row[8].toLongLong()});
    return items;
}

// How a folder's ISFIRST/NEXT list runs. Each first item starts a walk; a walk stops at the end of
// the list, at a NEXT that is no item of this folder, at a NEXT back into its own path (a cycle),
// or where it joins a list walked before.
struct ListWalk {
    QList<const Item *> firsts;
    QList<const Item *> order;     // reached, in display order
    QList<const Item *> unreached; // by SYSTEM_ID
    QList<const Item *> dangling;  // NEXT is no item of this folder
    QList<const Item *> cycles;    // NEXT closes a cycle
};

ListWalk walkList(const QList<const Item *> &items)
{
    ListWalk walk;
    QHash<qint64, const Item *> byId;
    for (const Item *item : items) {
        byId.insert(item->systemId, item);
        if (item->first)
            walk.firsts << item;
    }
    QSet<qint64> reached;
    for (const Item *first : std::as_const(walk.firsts)) {
        QSet<qint64> path;
        for (const Item *item = first; item && !reached.contains(item->systemId);) {
            walk.order << item;
            reached.insert(item->systemId);
            path.insert(item->systemId);
            if (item->next == 0)
                break;
            const Item *next = byId.value(item->next);
            if (!next)
                walk.dangling << item;
            else if (path.contains(next->systemId))
                walk.cycles << item;
            item = next;
        }
    }
    for (const Item *item : items)
        if (!reached.contains(item->systemId))
            walk.unreached << item;
    return walk;
}

QString ids(const QList<const Item *> &items)
{
    QStringList list;
    for (const Item *item : items)
        list << QString::number(item->systemId);
    return list.join(QStringLiteral(", "));
}

QString treeLine(int depth, const QString &nodeType, qint64 docNumber, const QString &library,
                 const QString &name)
{
    return QString(2 * depth, u' ') +
           QStringLiteral("%1 #%2 %3 \"%4\"").arg(nodeType, QString::number(docNumber), library, name);
}

} // namespace

LibraryCheck::LibraryCheck(LocalDm &dm) : m_dm(dm) {}

const LibraryCheck::Facts *LibraryCheck::facts(const QString &library)
{
    const LibraryConfig *config = m_dm.installation().library(library);
    if (!config)
        return nullptr;
    const QString key = config->name.toUpper();
    if (m_damaged.contains(key))
        return nullptr;
    if (const auto known = m_facts.find(key); known != m_facts.end())
        return &known->second;
    if (m_unopened.contains(config->name))
        return nullptr;
    Facts facts;
    try {
        LibraryDatabase &db = m_dm.database(config->name);
        facts.name = config->name;
        for (const QVariantList &row :
             db.query(QStringLiteral("SELECT SYSTEM_ID, LIBRARY_NAME FROM REMOTE_LIBRARIES")))
            facts.remotes.insert(row[0].toLongLong(), row[1].toString());
        for (const QVariantList &row : db.query(QStringLiteral("SELECT DOCNUMBER FROM PROFILE")))
            facts.profiles.insert(row[0].toLongLong());
        for (const QVariantList &row : db.query(QStringLiteral("SELECT DOCNUMBER FROM FOLDER")))
            facts.folders.insert(row[0].toLongLong());
    } catch (const DmError &error) {
        m_unopened.insert(config->name, error.description());
        return nullptr;
    }
    return &m_facts.emplace(key, std::move(facts)).first->second;
}

const LibraryCheck::Facts *LibraryCheck::itemLibrary(const Facts &in, qint64 remoteId)
{
    const auto remote = in.remotes.find(remoteId);
    return remote == in.remotes.end() ? nullptr : facts(*remote);
}

QStringList LibraryCheck::violations()
{
    // Every store checks its database before any library's rows are read, so that no fact is taken from
    // a damaged one.
    QStringList lines;
    m_unchecked.clear();
    for (const LibraryConfig &library : m_dm.installation().libraries) {
        LibraryDatabase::Integrity integrity;
        try {
            integrity = m_dm.database(library.name).checkIntegrity();
        } catch (const DmError &) {
            continue; // a library that does not open is reported by facts()
        }
        if (!integrity.unchecked.isEmpty())
            m_unchecked << QStringLiteral("%1: not checked: %2").arg(library.name, integrity.unchecked);
        if (integrity.problem.isEmpty())
            continue;
        m_damaged.insert(library.name.toUpper());
        lines << QStringLiteral("%1: database: damaged: %2").arg(library.name, integrity.problem);
    }
    for (const LibraryConfig &library : m_dm.installation().libraries)
        if (facts(library.name))
            lines << violations(library.name);
    return unopened() + lines;
}

// Tarjan's strongly connected components over the folders held as 'F' items, across libraries: a folder
// in a component of several, or holding itself, contains itself.
QStringList LibraryCheck::folderCycles(const Facts &library)
{
    using Node = std::pair<QString, qint64>;
    if (!m_subfolders) {
        m_subfolders.emplace();
        for (const LibraryConfig &config : m_dm.installation().libraries) {
            const Facts *holder = facts(config.name);
            if (!holder)
                continue;
            for (const QVariantList &row : m_dm.database(config.name)
                                               .query(QStringLiteral("SELECT PARENT, LIBRARY, DOCNUMBER FROM "
                                                                     "FOLDER_ITEM WHERE NODE_TYPE = 'F'"))) {
                if (const Facts *itemHolder = itemLibrary(*holder, row[1].toLongLong()))
                    (*m_subfolders)[{holder->name, row[0].toLongLong()}]
                        << Node{itemHolder->name, row[2].toLongLong()};
            }
        }
    }
    QHash<Node, int> index;
    QHash<Node, int> low;
    QList<Node> stack;
    QSet<Node> onStack;
    QSet<qint64> cyclic;
    const std::function<void(const Node &)> visit = [&](const Node &node) {
        const int number = int(index.size());
        index.insert(node, number);
        low.insert(node, number);
        stack << node;
        onStack.insert(node);
        bool holdsItself = false;
        for (const Node &child : m_subfolders->value(node)) {
            holdsItself |= child == node;
            if (!index.contains(child)) {
                visit(child);
                low[node] = std::min(low[node], low[child]);
            } else if (onStack.contains(child)) {
                low[node] = std::min(low[node], index[child]);
            }
        }
        if (low[node] != index[node])
            return;
        QList<Node> component;
        do {
            component << stack.takeLast();
            onStack.remove(component.last());
        } while (component.last() != node);
        if (component.size() > 1 || holdsItself)
            for (const Node &member : component)
                if (member.first == library.name)
                    cyclic.insert(member.second);
    };
    QList<qint64> folders(library.folders.begin(), library.folders.end());
    std::sort(folders.begin(), folders.end());
    for (const qint64 folder : folders)
        if (!index.contains({library.name, folder}))
            visit({library.name, folder});
    QStringList lines;
    for (const qint64 folder : folders)
        if (cyclic.contains(folder))
            lines << QStringLiteral("%1: FOLDER_ITEM: folder #%2 contains itself, directly or through other "
                                    "folders")
                         .arg(library.name)
                         .arg(folder);
    return lines;
}

const LibraryCheck::Facts &LibraryCheck::openedFacts(const QString &library)
{
    m_dm.database(library); // raises DmError for a library of no installation or one that cannot be opened
    const Facts *opened = facts(library);
    if (!opened)
        throw DmError(1002, QStringLiteral("Local DM"),
                      m_unopened.value(m_dm.installation().library(library)->name));
    return *opened;
}

QStringList LibraryCheck::violations(const QString &libraryName)
{
    const Facts *library = &openedFacts(libraryName);
    LibraryDatabase &db = m_dm.database(libraryName);
    QStringList lines;
    auto report = [&](const QString &table, const QString &text) {
        lines << QStringLiteral("%1: %2: %3").arg(library->name, table, text);
    };

    // REMOTE_LIBRARIES: the library itself as 0, and every library of the installation, no other.
    const QString self = library->remotes.value(0);
    if (!library->remotes.contains(0))
        report(u"REMOTE_LIBRARIES"_qs, u"no row with SYSTEM_ID 0 for the library itself"_qs);
    else if (self.compare(library->name, Qt::CaseInsensitive) != 0)
        report(u"REMOTE_LIBRARIES"_qs,
               QStringLiteral("SYSTEM_ID 0 names %1, not the library itself").arg(self));
    for (const LibraryConfig &other : m_dm.installation().libraries) {
        const auto listed =
            std::find_if(library->remotes.cbegin(), library->remotes.cend(), [&](const QString &name) {
                return name.compare(other.name, Qt::CaseInsensitive) == 0;
            });
        if (listed == library->remotes.cend())
            report(u"REMOTE_LIBRARIES"_qs,
                   QStringLiteral("library %1 of the installation is missing").arg(other.name));
    }
    for (auto remote = library->remotes.cbegin(); remote != library->remotes.cend(); ++remote)
        if (!m_dm.installation().library(remote.value()))
            report(QStringLiteral("REMOTE_LIBRARIES SYSTEM_ID %1").arg(remote.key()),
                   QStringLiteral("library %1 is not part of the installation").arg(remote.value()));

    // A folder is a FOLDER-application profile together with its FOLDER row.
    const QString folderProfiles =
        QStringLiteral("SELECT P.SYSTEM_ID, P.DOCNUMBER FROM PROFILE P JOIN APPS A "
                       "ON A.SYSTEM_ID = P.APPLICATION WHERE A.APPLICATION = 'FOLDER'");
    QSet<qint64> folderProfileNumbers;
    for (const QVariantList &row : db.query(folderProfiles + QStringLiteral(" ORDER BY P.SYSTEM_ID"))) {
        folderProfileNumbers.insert(row[1].toLongLong());
        if (!library->folders.contains(row[1].toLongLong()))
            report(QStringLiteral("PROFILE SYSTEM_ID %1").arg(row[0].toLongLong()),
                   QStringLiteral("folder #%1 has no FOLDER row").arg(row[1].toLongLong()));
    }
    for (const QVariantList &row :
         db.query(QStringLiteral("SELECT SYSTEM_ID, DOCNUMBER FROM FOLDER ORDER BY SYSTEM_ID")))
        if (!folderProfileNumbers.contains(row[1].toLongLong()))
            report(QStringLiteral("FOLDER SYSTEM_ID %1").arg(row[0].toLongLong()),
                   QStringLiteral("#%1 has no folder PROFILE").arg(row[1].toLongLong()));

    for (const QVariantList &row : db.query(QStringLiteral(
             "SELECT S.THING, COUNT(*) FROM SECURITY S WHERE NOT EXISTS (SELECT 1 FROM PROFILE P "
             "WHERE P.SYSTEM_ID = S.THING) GROUP BY S.THING ORDER BY S.THING")))
        report(u"SECURITY"_qs, QStringLiteral("THING %1 is no PROFILE SYSTEM_ID (%2 row(s))")
                                   .arg(row[0].toLongLong())
                                   .arg(row[1].toLongLong()));
    // A trustee must name one person or one group; 0 is open access.
    for (const QVariantList &row : db.query(QStringLiteral(
             "SELECT S.PERSONORGROUP, COUNT(*) FROM SECURITY S WHERE S.PERSONORGROUP <> 0 AND NOT "
             "EXISTS (SELECT 1 FROM PEOPLE P WHERE P.SYSTEM_ID = S.PERSONORGROUP) AND NOT EXISTS "
             "(SELECT 1 FROM GROUPS G WHERE G.SYSTEM_ID = S.PERSONORGROUP) "
             "GROUP BY S.PERSONORGROUP ORDER BY S.PERSONORGROUP")))
        report(u"SECURITY"_qs, QStringLiteral("PERSONORGROUP %1 is no PEOPLE or GROUPS SYSTEM_ID (%2 row(s))")
                                   .arg(row[0].toLongLong())
                                   .arg(row[1].toLongLong()));
    for (const QVariantList &row :
         db.query(QStringLiteral("SELECT P.SYSTEM_ID, P.USER_ID, G.GROUP_ID FROM PEOPLE P JOIN GROUPS G "
                                 "ON G.SYSTEM_ID = P.SYSTEM_ID ORDER BY P.SYSTEM_ID")))
        report(QStringLiteral("PEOPLE SYSTEM_ID %1").arg(row[0].toLongLong()),
               QStringLiteral("%1 shares the SYSTEM_ID with group %2")
                   .arg(row[1].toString(), row[2].toString()));

    // Each FOLDER_ITEM on its own.
    const QList<Item> items = readItems(db, {});
    QHash<qint64, const Item *> itemsById;
    std::map<qint64, QList<const Item *>> itemsByFolder;
    for (const Item &item : items) {
        itemsById.insert(item.systemId, &item);
        itemsByFolder[item.parent] << &item;
        const QString table = QStringLiteral("FOLDER_ITEM SYSTEM_ID %1").arg(item.systemId);
        if (!library->folders.contains(item.parent))
            report(table, QStringLiteral("PARENT #%1 is no folder of this library").arg(item.parent));
        if (!library->remotes.contains(item.parentLibrary))
            report(table,
                   QStringLiteral("PARENT_LIBRARY %1 is not in REMOTE_LIBRARIES").arg(item.parentLibrary));
        else if (item.parentLibrary != 0)
            report(table, QStringLiteral("PARENT_LIBRARY %1 names %2, not the library itself")
                              .arg(item.parentLibrary)
                              .arg(library->remotes.value(item.parentLibrary)));
        if (item.nodeType != u"F"_qs && item.nodeType != u"D"_qs)
            report(table, QStringLiteral("NODE_TYPE '%1' is neither 'F' nor 'D'").arg(item.nodeType));
        if (!library->remotes.contains(item.library)) {
            report(table, QStringLiteral("LIBRARY %1 is not in REMOTE_LIBRARIES").arg(item.library));
            continue;
        }
        // A library outside the installation is reported with REMOTE_LIBRARIES above.
        const Facts *holder = itemLibrary(*library, item.library);
        if (!holder)
            continue;
        if (!holder->profiles.contains(item.docNumber))
            report(table, QStringLiteral("DOCNUMBER %1 is no PROFILE of library %2")
                              .arg(item.docNumber)
                              .arg(holder->name));
        else if (item.nodeType == u"F"_qs && !holder->folders.contains(item.docNumber))
            report(table, QStringLiteral("NODE_TYPE 'F', but #%1 is no folder of library %2")
                              .arg(item.docNumber)
                              .arg(holder->name));
    }

    // Each folder's display order list.
    for (const auto &[folder, folderItems] : itemsByFolder) {
        const QString table = QStringLiteral("FOLDER_ITEM of folder #%1").arg(folder);
        const ListWalk walk = walkList(folderItems);
        if (walk.firsts.isEmpty()) {
            report(table,
                   QStringLiteral("no first item (ISFIRST = 'Y') among %1 item(s)").arg(folderItems.size()));
            continue;
        }
        if (walk.firsts.size() > 1)
            report(table, QStringLiteral("%1 first items (SYSTEM_ID %2)")
                              .arg(walk.firsts.size())
                              .arg(ids(walk.firsts)));
        for (const Item *item : walk.cycles)
            report(table, QStringLiteral("SYSTEM_ID %1 has NEXT %2, which closes a cycle")
                              .arg(item->systemId)
                              .arg(item->next));
        for (const Item *item : walk.dangling) {
            const Item *target = itemsById.value(item->next);
            report(table, target ? QStringLiteral("SYSTEM_ID %1 has NEXT %2, an item of folder #%3")
                                       .arg(item->systemId)
                                       .arg(item->next)
                                       .arg(target->parent)
                                 : QStringLiteral("SYSTEM_ID %1 has NEXT %2, which is no FOLDER_ITEM row")
                                       .arg(item->systemId)
                                       .arg(item->next));
        }
        if (!walk.unreached.isEmpty())
            report(table,
                   QStringLiteral("SYSTEM_ID %1 not reached from the first item").arg(ids(walk.unreached)));
    }
    return lines + folderCycles(*library);
}

QStringList LibraryCheck::folderTree(const QString &libraryName, qint64 docNumber)
{
    const Facts *library = &openedFacts(libraryName);
    LibraryDatabase &db = m_dm.database(libraryName);
    QStringList lines;
    QSet<std::pair<QString, qint64>> path;
    const QString docName = QStringLiteral("SELECT DOCNAME FROM PROFILE WHERE DOCNUMBER = ?1");
    if (docNumber != 0) {
        if (!library->folders.contains(docNumber))
            throw DmError(NoSuchFolder, QStringLiteral("Local DM"),
                          QStringLiteral("Library %1 has no folder #%2")
                              .arg(library->name, QString::number(docNumber)));
        lines << treeLine(0, u"F"_qs, docNumber, library->name, db.scalar(docName, {docNumber}).toString());
        appendChildren(lines, *library, docNumber, 1, path);
        return lines;
    }

    lines << QStringLiteral("Public");
    QSet<qint64> roots;
    for (const QVariantList &row : db.query(QStringLiteral(
             "SELECT DOCNUMBER, DISPLAYNAME FROM ROOT_OBJECT ORDER BY DISPLAYNAME, DOCNUMBER"))) {
        const qint64 root = row[0].toLongLong();
        roots.insert(root);
        lines << treeLine(1, u"F"_qs, root, library->name, row[1].toString());
        appendChildren(lines, *library, root, 2, path);
    }

    // A folder is shared or personal when it is not public and no folder of any library holds it.
    QSet<qint64> held;
    for (const LibraryConfig &config : m_dm.installation().libraries) {
        const Facts *holder = facts(config.name);
        if (!holder)
            continue;
        for (const QVariantList &row :
             m_dm.database(config.name)
                 .query(QStringLiteral("SELECT DISTINCT LIBRARY, DOCNUMBER FROM FOLDER_ITEM"))) {
            const Facts *named = itemLibrary(*holder, row[0].toLongLong());
            if (named == library)
                held.insert(row[1].toLongLong());
        }
    }
    lines << QStringLiteral("Shared/Personal");
    for (const QVariantList &row :
         db.query(QStringLiteral("SELECT F.DOCNUMBER, P.DOCNAME FROM FOLDER F LEFT JOIN PROFILE P "
                                 "ON P.DOCNUMBER = F.DOCNUMBER ORDER BY P.DOCNAME, F.DOCNUMBER"))) {
        const qint64 folder = row[0].toLongLong();
        if (roots.contains(folder) || held.contains(folder))
            continue;
        lines << treeLine(1, u"F"_qs, folder, library->name, row[1].toString());
        appendChildren(lines, *library, folder, 2, path);
    }
    return lines;
}

void LibraryCheck::appendChildren(QStringList &lines, const Facts &library, qint64 folder, int depth,
                                  QSet<std::pair<QString, qint64>> &path)
{
    const std::pair<QString, qint64> key{library.name, folder};
    path.insert(key);
    const QList<Item> items =
        readItems(m_dm.database(library.name), QStringLiteral("WHERE PARENT = ?1"), {folder});
    QList<const Item *> pointers;
    for (const Item &item : items)
        pointers << &item;
    const ListWalk walk = walkList(pointers);
    auto append = [&](const Item *item, const QString &mark) {
        const Facts *holder = itemLibrary(library, item->library);
        const QString holderName = holder ? holder->name : QStringLiteral("?%1").arg(item->library);
        const bool cycle = holder && path.contains({holder->name, item->docNumber});
        lines << treeLine(depth, item->nodeType, item->docNumber, holderName, item->displayName) + mark +
                     (cycle ? QStringLiteral(" (cycle)") : QString());
        if (item->nodeType == u"F"_qs && holder && !cycle)
            appendChildren(lines, *holder, item->docNumber, depth + 1, path);
    };
    for (const Item *item : walk.order)
        append(item, {});
    for (const Item *item : walk.unreached)
        append(item, QStringLiteral(" (not in the list)"));
    path.remove(key);
}
