#include "localdm/localitems.h"

#include "localdm/folderitemlist.h"
#include "localdm/localdm.h"
#include "localdm/localerror.h"

#include <QSet>

std::shared_ptr<LocalItemCollection> LocalItemCollection::contents(std::shared_ptr<LocalDm> dm,
                                                                   const QString &libraryName, int folder,
                                                                   Contents which)
{
    QList<LocalItemEntry> entries;
    if (folder != 0) {
        LibraryDatabase &db = dm->database(libraryName);
        for (const FolderItemRow &row : FolderItemList::rows(db, folder)) {
            const bool isFolder = row.nodeType == QStringLiteral("F");
            if (which == Contents::All || isFolder == (which == Contents::Folders))
                entries << LocalItemEntry{row.docNumber, row.displayName, row.libraryName, db.config().name,
                                          row.systemId};
        }
    }
    return std::make_shared<LocalItemCollection>(std::move(dm), std::move(entries));
}

QList<LocalItemEntry> LocalItemCollection::containingEntries(LocalDm &dm, const QString &libraryName,
                                                             int docNumber)
{
    QList<LocalItemEntry> entries;
    if (docNumber == 0)
        return entries;
    // A library that does not list the profile's library holds nothing of it: the subquery finds no id.
    for (const LibraryConfig &library : dm.installation().libraries) {
        LibraryDatabase &db = dm.database(library.name);
        for (const QVariantList &row :
             db.query(QStringLiteral(
                          "SELECT FI.SYSTEM_ID, FI.PARENT, PR.DOCNAME FROM FOLDER_ITEM FI "
                          "LEFT JOIN PROFILE PR ON PR.DOCNUMBER = FI.PARENT WHERE FI.DOCNUMBER = ?1 AND "
                          "FI.LIBRARY = (SELECT MIN(SYSTEM_ID) FROM REMOTE_LIBRARIES "
                          "WHERE UPPER(LIBRARY_NAME) = UPPER(?2)) ORDER BY FI.SYSTEM_ID"),
                      {docNumber, libraryName}))
            entries << LocalItemEntry{row[1].toInt(), row[2].toString(), library.name, library.name,
                                      row[0].toLongLong()};
    }
    return entries;
}

std::shared_ptr<LocalItemCollection>
LocalItemCollection::containing(std::shared_ptr<LocalDm> dm, const QString &libraryName, int docNumber)
{
    QList<LocalItemEntry> entries = containingEntries(*dm, libraryName, docNumber);
    return std::make_shared<LocalItemCollection>(std::move(dm), std::move(entries));
}

LocalItemCollection::LocalItemCollection(std::shared_ptr<LocalDm> dm, QList<LocalItemEntry> entries)
    : m_dm(std::move(dm)), m_entries(std::move(entries)), m_marked(m_entries.size(), false)
{
}

int LocalItemCollection::count() const
{
    return int(m_entries.size());
}

void LocalItemCollection::checkIndex(int index) const
{
    if (index < 1 || index > count())
        throw LocalDmError(
            LocalError::BadIndex,
            QStringLiteral("There is no item %1 in a collection of %2").arg(index).arg(count()));
}

std::shared_ptr<DmItem> LocalItemCollection::item(int index) const
{
    checkIndex(index);
    return std::make_shared<LocalItem>(m_entries[index - 1]);
}

void LocalItemCollection::remove(int index)
{
    checkIndex(index);
    const LocalItemEntry &entry = m_entries[index - 1];
    if (m_dm->faults().failsNow(FaultKind::Remove))
        throw LocalDmError(
            LocalError::PlantedFault,
            QStringLiteral("Removing item #%1 of library %2 (folder item %3 in library %4) failed: a "
                           "fault was planted at this call")
                .arg(entry.docNumber)
                .arg(entry.libraryName)
                .arg(entry.rowId)
                .arg(entry.rowLibrary));
    m_marked[index - 1] = true;
}

void LocalItemCollection::finish()
{
    QStringList libraries;
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (m_marked[i] && !libraries.contains(m_entries[i].rowLibrary))
            libraries << m_entries[i].rowLibrary;
    for (const QString &library : std::as_const(libraries)) {
        QList<qint64> rows;
        for (qsizetype i = 0; i < m_entries.size(); ++i)
            if (m_marked[i] && m_entries[i].rowLibrary == library)
                rows << m_entries[i].rowId;
        LibraryDatabase &db = m_dm->database(library);
        LibraryDatabase::Transaction transaction(db);
        FolderItemList::unlink(db, rows);
        transaction.commit();
        for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
            if (m_marked[i] && m_entries[i].rowLibrary == library) {
                m_entries.removeAt(i);
                m_marked.removeAt(i);
            }
        }
    }
}
