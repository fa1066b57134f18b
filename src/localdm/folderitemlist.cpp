#include "localdm/folderitemlist.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace {

struct Order {
    QList<FolderItemRow> chain;
    QList<FolderItemRow> rest;
};

Order order(LibraryDatabase &db, int parent)
{
    QList<FolderItemRow> all;
    for (const QVariantList &row :
         db.query(QStringLiteral(
                      "SELECT FI.SYSTEM_ID, FI.DOCNUMBER, RL.LIBRARY_NAME, FI.DISPLAYNAME, FI.NODE_TYPE, "
                      "FI.ISFIRST, FI.NEXT FROM FOLDER_ITEM FI LEFT JOIN REMOTE_LIBRARIES RL "
                      "ON RL.SYSTEM_ID = FI.LIBRARY WHERE FI.PARENT = ?1 ORDER BY FI.SYSTEM_ID"),
                  {parent}))
        all << FolderItemRow{row[0].toLongLong(), row[1].toInt(),    row[2].toString(),
                             row[3].toString(),   row[4].toString(), row[5].toString() == QStringLiteral("Y"),
                             row[6].toLongLong()};

    QHash<qint64, qsizetype> position;
    for (qsizetype i = 0; i < all.size(); ++i)
        position.insert(all[i].systemId, i);
    QSet<qint64> reached;
    Order result;
    const auto first =
        std::find_if(all.cbegin(), all.cend(), [](const FolderItemRow &row) { return row.isFirst; });
    for (qsizetype at = first == all.cend() ? -1 : first - all.cbegin(); at >= 0;) {
        const FolderItemRow &row = all[at];
        reached.insert(row.systemId);
        result.chain << row;
        const auto next = position.constFind(row.next);
        at = row.next != 0 && next != position.cend() && !reached.contains(row.next) ? *next : -1;
    }
    for (const FolderItemRow &row : std::as_const(all))
        if (!reached.contains(row.systemId))
            result.rest << row;
    return result;
}

} // namespace

namespace FolderItemList {

QList<FolderItemRow> rows(LibraryDatabase &db, int parent)
{
    Order found = order(db, parent);
    return found.chain + found.rest;
}

qint64 append(LibraryDatabase &db, int parent, int docNumber, qint64 library, const QString &displayName,
              const QString &nodeType)
{
    db.lockFolderList(parent);
    // A sound list has one first row and one row that ends it, both found by index; any other count
    // means damage, and only the walk knows where the sound part of the list ends.
    const QVariantList found =
        db.query(QStringLiteral(
                     "SELECT (SELECT COUNT(*) FROM (SELECT 1 FROM FOLDER_ITEM WHERE PARENT = ?1 AND "
                     "ISFIRST = 'Y' LIMIT 2) AS F), (SELECT COUNT(*) FROM (SELECT 1 FROM FOLDER_ITEM "
                     "WHERE PARENT = ?1 AND NEXT = 0 LIMIT 2) AS E), (SELECT SYSTEM_ID FROM FOLDER_ITEM "
                     "WHERE PARENT = ?1 AND NEXT = 0 LIMIT 1), EXISTS (SELECT 1 FROM FOLDER_ITEM "
                     "WHERE PARENT = ?1)"),
                 {parent})
            .first();
    const int firsts = found[0].toInt();
    const int ends = found[1].toInt();
    std::optional<qint64> last;
    bool first = !found[3].toBool();
    if (firsts == 1 && ends == 1) {
        last = found[2].toLongLong();
    } else if (!first) {
        const Order walked = order(db, parent);
        if (!walked.chain.isEmpty())
            last = walked.chain.last().systemId;
        else if (ends > 0)
            // No first row: a new one would put itself before every row the folder has. The new row
            // follows the end of the list instead, and the rows are listed by SYSTEM_ID as before.
            last = found[2].toLongLong();
    }
    const qint64 id = db.nextNumber(QStringLiteral("FOLDER_ITEM.SYSTEM_ID"));
    db.exec(
        QStringLiteral("INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, PARENT_LIBRARY, DOCNUMBER, LIBRARY, "
                       "DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT) VALUES (?1, ?2, 0, ?3, ?4, ?5, ?6, ?7, 0)"),
        {id, parent, docNumber, library, displayName, nodeType,
         first ? QStringLiteral("Y") : QStringLiteral("N")});
    if (last)
        db.exec(QStringLiteral("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2"), {id, *last});
    return id;
}

void unlink(LibraryDatabase &db, const QList<qint64> &systemIds)
{
    // A first row's successor becomes the first. When that successor is itself unlinked further on, the
    // mark only passes on: it is carried here, with the folder it belongs to, instead of being written
    // and deleted again.
    QSet<qint64> pending(systemIds.cbegin(), systemIds.cend());
    QHash<qint64, qint64> firstOf; // row id -> folder in which it became the first
    QSet<qint64> locked;           // folders whose list this transaction holds
    for (const qint64 systemId : systemIds) {
        pending.remove(systemId);
        const QString select =
            QStringLiteral("SELECT PARENT, ISFIRST, NEXT FROM FOLDER_ITEM WHERE SYSTEM_ID = ?1");
        QList<QVariantList> found = db.query(select, {systemId});
        if (found.isEmpty())
            continue;
        const qint64 parent = found[0][0].toLongLong();
        if (!locked.contains(parent)) {
            locked.insert(parent);
            // Read again under a lock just taken: another connection may have changed the row meanwhile.
            if (db.lockFolderList(int(parent))) {
                found = db.query(select, {systemId});
                if (found.isEmpty())
                    continue;
            }
        }
        const qint64 next = found[0][2].toLongLong();
        const bool first =
            found[0][1].toString() == QStringLiteral("Y") || firstOf.value(systemId, -1) == parent;
        db.exec(QStringLiteral("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE PARENT = ?2 AND NEXT = ?3"),
                {next, parent, systemId});
        if (first && next != 0 && pending.contains(next))
            firstOf.insert(next, parent);
        else if (first && next != 0)
            db.exec(
                QStringLiteral("UPDATE FOLDER_ITEM SET ISFIRST = 'Y' WHERE SYSTEM_ID = ?1 AND PARENT = ?2"),
                {next, parent});
        db.exec(QStringLiteral("DELETE FROM FOLDER_ITEM WHERE SYSTEM_ID = ?1"), {systemId});
    }
}

} // namespace FolderItemList
