#include "localdm/localfolder.h"

#include "localdm/folderitemlist.h"
#include "localdm/libraryrows.h"
#include "localdm/localdocument.h"
#include "localdm/localerror.h"
#include "localdm/localitems.h"
#include "localdm/localprofile.h"

#include <QSet>

#include <optional>

namespace {

const QString FolderNode = QStringLiteral("F");
const QString DocumentNode = QStringLiteral("D");

} // namespace

LocalFolder::LocalFolder(std::shared_ptr<LocalDocument> document, bool isPublic)
    : m_document(std::move(document)), m_public(isPublic)
{
}

QString LocalFolder::nameA() const
{
    return m_document->name();
}

void LocalFolder::setNameA(const QString &name)
{
    m_document->setName(name);
}

QString LocalFolder::nameB() const
{
    return m_document->name();
}

void LocalFolder::setNameB(const QString &name)
{
    m_document->setName(name);
}

int LocalFolder::documentNumber() const
{
    return m_document->documentNumber();
}

bool LocalFolder::isPublic() const
{
    return m_public;
}

void LocalFolder::setPublic(bool isPublic)
{
    m_public = isPublic;
}

QString LocalFolder::libraryName() const
{
    return m_document->libraryName();
}

std::shared_ptr<DmItemCollection> LocalFolder::items() const
{
    return LocalItemCollection::contents(m_document->sharedDm(), libraryName(), documentNumber(),
                                         LocalItemCollection::Contents::All);
}

std::shared_ptr<DmItemCollection> LocalFolder::subdocuments() const
{
    return LocalItemCollection::contents(m_document->sharedDm(), libraryName(), documentNumber(),
                                         LocalItemCollection::Contents::Documents);
}

std::shared_ptr<DmItemCollection> LocalFolder::subfolders() const
{
    return LocalItemCollection::contents(m_document->sharedDm(), libraryName(), documentNumber(),
                                         LocalItemCollection::Contents::Folders);
}

bool LocalFolder::save(DmSaveOption)
{
    std::optional<LocalDocument::Written> written;
    const bool saved = m_document->transact(
        FaultKind::Save, QStringLiteral("Saving"), [&](LibraryDatabase &db, qint64 typist) {
            if (m_document->isNew() || m_document->hasChanges())
                written = m_document->write(db, typist);
            const int number = written ? written->docNumber : m_document->documentNumber();
            // One look at the rows the save keeps: the profile (which another user may have deleted),
            // its FOLDER row and its ROOT_OBJECT row.
            const QVariantList rows =
                db.query(QStringLiteral("SELECT EXISTS (SELECT 1 FROM FOLDER WHERE DOCNUMBER = ?1), "
                                        "EXISTS (SELECT 1 FROM ROOT_OBJECT WHERE DOCNUMBER = ?1), "
                                        "EXISTS (SELECT 1 FROM PROFILE WHERE SYSTEM_ID = ?2)"),
                         {number, written ? written->systemId : m_document->systemId()})
                    .first();
            if (!rows[2].toInt())
                m_document->requireRow(db); // gone: this raises the DM error that says so
            const bool hasFolderRow = rows[0].toInt() != 0;
            const bool hasRootRow = rows[1].toInt() != 0;
            if (!hasFolderRow)
                db.exec(QStringLiteral("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (?1, ?2)"),
                        {db.nextNumber(QStringLiteral("FOLDER.SYSTEM_ID")), number});
            if (!m_public && hasRootRow)
                db.exec(QStringLiteral("DELETE FROM ROOT_OBJECT WHERE DOCNUMBER = ?1"), {number});
            else if (m_public && !hasRootRow)
                db.exec(QStringLiteral("INSERT INTO ROOT_OBJECT (SYSTEM_ID, DOCNUMBER, DISPLAYNAME) "
                                       "SELECT ?1, DOCNUMBER, DOCNAME FROM PROFILE WHERE DOCNUMBER = ?2"),
                        {db.nextNumber(QStringLiteral("ROOT_OBJECT.SYSTEM_ID")), number});
            writeLinks(db, number, typist);
            const bool created = written && written->created;
            LibraryRows::logActivity(
                db, number, typist, created ? LibraryRows::Activity::Created : LibraryRows::Activity::Edited,
                created ? QStringLiteral("Folder created") : QStringLiteral("Folder saved"));
        });
    if (saved) {
        if (written)
            m_document->written(*written);
        m_pending.clear();
    }
    return saved;
}

// The activity log of a library records its own documents: an item of another library gets no row
// here, where its number may well be one of this library's documents.
void LocalFolder::writeLinks(LibraryDatabase &db, int folder, qint64 typist) const
{
    for (const PendingLink &link : m_pending) {
        const qint64 library = LibraryRows::requireRemoteLibraryId(db, link.libraryName);
        FolderItemList::append(db, folder, link.docNumber, library, link.displayName, link.nodeType);
        if (library == 0)
            LibraryRows::logActivity(db, link.docNumber, typist, LibraryRows::Activity::Linked,
                                     QStringLiteral("Added to folder #%1").arg(folder));
    }
}

bool LocalFolder::addDocument(const DmProfileItem &document)
{
    return add(document.documentNumber(), document.libraryName(), DocumentNode);
}

bool LocalFolder::addSubfolder(const DmFolderItem &folder)
{
    return add(folder.documentNumber(), folder.libraryName(), FolderNode);
}

bool LocalFolder::add(int docNumber, const QString &libraryName, const QString &nodeType)
{
    std::optional<PendingLink> link;
    const QString call =
        QStringLiteral("Adding %1 #%2 of library %3 to")
            .arg(nodeType == FolderNode ? QStringLiteral("subfolder") : QStringLiteral("document"))
            .arg(docNumber)
            .arg(libraryName);
    const bool added = m_document->attempt(FaultKind::Add, call,
                                           [&] { link = checkedLink(docNumber, libraryName, nodeType); });
    if (added)
        m_pending << *link;
    return added;
}

LocalFolder::PendingLink LocalFolder::checkedLink(int docNumber, const QString &libraryName,
                                                  const QString &nodeType) const
{
    LocalDm &dm = m_document->dm();
    const LibraryConfig *library = dm.installation().library(libraryName);
    if (!library)
        throw LocalDmError(LocalError::NoSuchLibrary,
                           QStringLiteral("Library %1 is not part of the DM installation").arg(libraryName));
    LibraryDatabase &itemDb = dm.database(library->name);
    const QList<QVariantList> found = itemDb.query(
        QStringLiteral("SELECT P.DOCNAME, EXISTS (SELECT 1 FROM FOLDER F WHERE F.DOCNUMBER = P.DOCNUMBER) "
                       "FROM PROFILE P WHERE P.DOCNUMBER = ?1"),
        {docNumber});
    if (found.isEmpty())
        throw LocalDmError(
            LocalError::NoSuchDocument,
            QStringLiteral("Document #%1 does not exist in library %2").arg(docNumber).arg(library->name));
    if (nodeType == FolderNode && !found.first().at(1).toInt())
        throw LocalDmError(
            LocalError::NoSuchDocument,
            QStringLiteral("Document #%1 of library %2 is not a folder").arg(docNumber).arg(library->name));

    // The id under which the folder's library lists the item's, and how many rows of the folder already
    // name the item under it: looked up by the item's number, which few rows share; "+" keeps SQLite from
    // reading the whole folder through the PARENT index instead.
    const QVariantList listed =
        m_document->database()
            .query(QStringLiteral("SELECT L.ID, (SELECT COUNT(*) FROM FOLDER_ITEM WHERE +PARENT = ?1 AND "
                                  "DOCNUMBER = ?2 AND LIBRARY = L.ID) FROM (SELECT MIN(SYSTEM_ID) AS ID FROM "
                                  "REMOTE_LIBRARIES WHERE UPPER(LIBRARY_NAME) = UPPER(?3)) L"),
                   {documentNumber(), docNumber, library->name})
            .first();
    if (!listed[0].isValid())
        LibraryRows::refuseUnlisted(m_document->database(), library->name);
    const bool pending = std::any_of(m_pending.cbegin(), m_pending.cend(), [&](const PendingLink &link) {
        return link.docNumber == docNumber && link.libraryName == library->name;
    });
    if (pending || (!m_document->isNew() && listed[1].toInt()))
        throw LocalDmError(LocalError::AlreadyInFolder,
                           QStringLiteral("Document #%1 of library %2 is already in %3")
                               .arg(docNumber)
                               .arg(library->name, m_document->describe()));
    if (nodeType == FolderNode)
        refuseCycle(docNumber, library->name);
    return {docNumber, library->name, found.first().first().toString(), nodeType};
}

// A folder may not become its own subfolder, directly or through the folders that hold it in any
// library: the tree would have no top, and moving or deleting it would never end. The folders above
// this one and those below the new item are searched a step at a time each, so that whichever search
// ends first decides: a new, empty subfolder at the foot of a deep chain costs one step, and so does a
// big tree filed into a top-level folder.
void LocalFolder::refuseCycle(int docNumber, const QString &itemLibrary) const
{
    const auto refuse = [&] {
        throw LocalDmError(
            LocalError::FolderCycle,
            QStringLiteral("Folder #%1 of library %2 cannot be added to %3: it is that folder or holds it")
                .arg(docNumber)
                .arg(itemLibrary, m_document->describe()));
    };
    if (m_document->isNew())
        return;
    using Key = std::pair<QString, int>;
    LocalDm &dm = m_document->dm();
    const Key self = {libraryName().toUpper(), documentNumber()};
    const Key item = {itemLibrary.toUpper(), docNumber};
    if (self == item)
        refuse();
    struct Search {
        QList<std::pair<QString, int>> pending;
        QSet<Key> seen;
    };
    Search up{{{libraryName(), documentNumber()}}, {self}};
    Search down{{{itemLibrary, docNumber}}, {item}};
    const auto reach = [](Search &search, const QString &library, int number) {
        if (!search.seen.contains({library.toUpper(), number})) {
            search.seen.insert({library.toUpper(), number});
            search.pending << std::pair<QString, int>{library, number};
        }
    };
    while (!up.pending.isEmpty() && !down.pending.isEmpty()) {
        const auto [above, number] = up.pending.takeFirst();
        for (const LocalItemEntry &parent : LocalItemCollection::containingEntries(dm, above, number))
            reach(up, parent.rowLibrary, parent.docNumber);
        const auto [below, folder] = down.pending.takeFirst();
        const LibraryConfig *config = dm.installation().library(below);
        if (config)
            for (const QVariantList &row :
                 dm.database(config->name)
                     .query(QStringLiteral("SELECT FI.DOCNUMBER, RL.LIBRARY_NAME FROM FOLDER_ITEM FI "
                                           "LEFT JOIN REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY "
                                           "WHERE FI.PARENT = ?1 AND FI.NODE_TYPE = 'F'"),
                            {folder}))
                reach(down, row[1].toString(), row[0].toInt());
        if (up.seen.contains(item) || down.seen.contains(self))
            refuse();
    }
}

bool LocalFolder::deleteFolder(DmSaveOption)
{
    const bool deleted = m_document->transact(
        FaultKind::Delete, QStringLiteral("Deleting"), [&](LibraryDatabase &db, qint64 typist) {
            m_document->requireRow(db);
            const int number = documentNumber();
            const int items =
                db.scalar(QStringLiteral("SELECT COUNT(*) FROM FOLDER_ITEM WHERE PARENT = ?1"), {number})
                    .toInt();
            if (items)
                throw LocalDmError(LocalError::FolderNotEmpty,
                                   QStringLiteral("Folder #%1 in library %2 still holds %3 item(s)")
                                       .arg(number)
                                       .arg(libraryName())
                                       .arg(items));
            const QList<LocalItemEntry> parents =
                LocalItemCollection::containingEntries(m_document->dm(), libraryName(), number);
            if (!parents.isEmpty())
                throw LocalDmError(
                    LocalError::FolderContained,
                    QStringLiteral("Folder #%1 in library %2 is still held by %3 folder(s), among them "
                                   "folder #%4 in library %5")
                        .arg(number)
                        .arg(libraryName())
                        .arg(parents.size())
                        .arg(parents.first().docNumber)
                        .arg(parents.first().rowLibrary));
            db.exec(QStringLiteral("DELETE FROM SECURITY WHERE THING = ?1"), {m_document->systemId()});
            db.exec(QStringLiteral("DELETE FROM ROOT_OBJECT WHERE DOCNUMBER = ?1"), {number});
            db.exec(QStringLiteral("DELETE FROM FOLDER WHERE DOCNUMBER = ?1"), {number});
            db.exec(QStringLiteral("DELETE FROM PROFILE WHERE SYSTEM_ID = ?1"), {m_document->systemId()});
            LibraryRows::logActivity(db, number, typist, LibraryRows::Activity::Deleted,
                                     QStringLiteral("Folder deleted"));
        });
    if (deleted)
        m_pending.clear();
    return deleted;
}

qint32 LocalFolder::errorNumber() const
{
    return m_document->errorNumber();
}

QString LocalFolder::errorDescription() const
{
    return m_document->errorDescription();
}

std::shared_ptr<DmProfile> LocalFolder::asProfile()
{
    return std::make_shared<LocalProfile>(m_document);
}
