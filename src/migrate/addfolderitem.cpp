#include "migrate/addfolderitem.h"

#include "dm/fusion.h"
#include "dmapi/dmerror.h"
#include "migrate/foldersteps.h"
#include "migrate/movereport.h"
#include "migrate/sortfolders.h"

#include <utility>

std::shared_ptr<DmLibrary> LinkMemo::library(const DmSession &session, const QString &libraryName)
{
    const QString key = libraryName.toUpper();
    if (const auto known = m_libraries.constFind(key); known != m_libraries.cend())
        return *known;
    std::shared_ptr<DmLibrary> found = FindLibrary(session, libraryName);
    if (found)
        m_libraries.insert(key, found);
    return found;
}

bool LinkMemo::savesToRemoteLibrary(const std::shared_ptr<DmLibrary> &current)
{
    const QString name = current->name();
    if (const auto known = m_remoteSaves.constFind(name); known != m_remoteSaves.cend())
        return *known;
    const bool may = LibraryFlag(*current, QStringLiteral("User.SaveToRemoteLibrary"));
    m_remoteSaves.insert(name, may);
    return may;
}

std::shared_ptr<DmFolder> LinkMemo::openFolder(int number, const QString &libraryName) const
{
    if (m_folder && m_folder->documentNumber() == number &&
        m_folder->libraryName().compare(libraryName, Qt::CaseInsensitive) == 0)
        return m_folder;
    return nullptr;
}

bool MaySaveInto(DmContext &dm, const QString &library, LinkMemo *memo)
{
    const std::shared_ptr<DmLibrary> current = dm.session.currentLibrary;
    // Case-sensitive on purpose: a library spelled otherwise than the current one needs the right too.
    if (current->name() == library ||
        (memo ? memo->savesToRemoteLibrary(current)
              : LibraryFlag(*current, QStringLiteral("User.SaveToRemoteLibrary"))))
        return true;
    dm.log.WriteLog(QStringLiteral("Error: ") + current->userId() +
                    QStringLiteral(" does not have rights to save folders to the (remote) ") +
                    QStringLiteral("Library ") + library + QStringLiteral(" from library ") +
                    current->name());
    dm.log.WriteDashLine();
    return false;
}

namespace {

// One call of AddFolderItem after its entry checks. Each step returns false after logging why; the
// caller then leaves through the common exit.
class ItemLink {
public:
    ItemLink(DmContext &dm, int item, int parent, const QString &itemType, const QString &parentLib,
             const QString &itemLib, LinkMemo *memo)
        : m_dm(dm), m_s(dm.session), m_log(dm.log), m_item(item), m_parent(parent), m_itemType(itemType),
          m_parentLib(parentLib), m_itemLib(itemLib), m_memo(memo)
    {
    }

    bool openItemProfile()
    {
        ReleaseSharedSlots(m_s);
        if (const std::shared_ptr<DmLibrary> library = findLibrary(m_itemLib)) {
            m_log.WriteLog(QStringLiteral("Opening profile object for item #") + NumberText(m_item) +
                           QStringLiteral(" in library ") + library->name());
            m_s.sharedProfile = library->openProfile(m_item);
            m_log.WriteDashLine();
        }
        const std::shared_ptr<DmProfile> profile = m_s.sharedProfile;
        if (!profile) {
            m_log.WriteLog(QStringLiteral("Error: Unable to open child Profile object #") +
                           NumberText(m_item) + QStringLiteral(" for AddFolderItem in library ") +
                           m_parentLib);
            return false;
        }
        m_log.WriteLog(QStringLiteral("Profile object #") + NumberText(profile->documentNumber()) +
                       QStringLiteral(" opened in library ") + profile->libraryName());
        m_log.WriteDashLine();
        return true;
    }

    // True when a folder of the same number and library already holds the item. Otherwise closes the
    // item's profile, which is needed no longer.
    bool alreadyInFolder()
    {
        const std::shared_ptr<DmProfile> profile = m_s.sharedProfile;
        const std::shared_ptr<DmItemCollection> containing = profile->containingFolders();
        if (const int count = containing->count(); count != 0) {
            m_log.WriteLog(QStringLiteral("Checking ") + NumberText(count) +
                           QStringLiteral(" parent folder(s) to determine ") +
                           QStringLiteral("whether item #") + NumberText(profile->documentNumber()) +
                           QStringLiteral(" already exists in folder #") + NumberText(m_parent));
            m_log.WriteDashLine();
            for (int i = 1; i <= count; ++i) {
                const std::shared_ptr<DmItem> folder = containing->item(i);
                if (folder->documentNumber() == m_parent &&
                    folder->libraryName().compare(m_parentLib, Qt::CaseInsensitive) == 0) {
                    m_log.WriteLog(QStringLiteral("Folder item ") + NumberText(profile->documentNumber()) +
                                   QStringLiteral(" already exists in folder #") +
                                   NumberText(folder->documentNumber()) +
                                   QStringLiteral(" in folder library ") + folder->libraryName() +
                                   QStringLiteral(" (") + folder->name() + u')');
                    return true;
                }
            }
        }
        m_log.WriteDashLine();
        m_log.WriteLog(QStringLiteral("Closing profile object #") + NumberText(profile->documentNumber()) +
                       QStringLiteral(" in library ") + profile->libraryName());
        ReleaseSharedSlots(m_s);
        m_log.WriteDashLine();
        return false;
    }

    bool openParentFolder()
    {
        m_s.sharedFolder.reset();
        if (const std::shared_ptr<DmLibrary> library = findLibrary(m_parentLib)) {
            m_log.WriteLog(QStringLiteral("Opening parent folder object #") + NumberText(m_parent) +
                           QStringLiteral(" in library ") + library->name());
            const std::shared_ptr<DmFolder> open =
                m_memo ? m_memo->openFolder(m_parent, m_parentLib) : nullptr;
            m_s.sharedFolder = open ? open : library->openFolder(m_parent);
            if (m_memo && m_s.sharedFolder)
                m_memo->keepFolder(m_s.sharedFolder);
            m_log.WriteDashLine();
        }
        const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
        if (!folder) {
            m_log.WriteLog(QStringLiteral("Error: Unable to open parent folder object #") +
                           NumberText(m_parent) + QStringLiteral(" for AddFolderItem in library ") +
                           m_parentLib);
            return false;
        }
        m_log.WriteLog(QStringLiteral("Parent folder object #") + NumberText(folder->documentNumber()) +
                       QStringLiteral(" opened for AddFolderItem in library ") + folder->libraryName());
        m_log.WriteDashLine();
        return true;
    }

    bool addItem()
    {
        const std::shared_ptr<DmLibrary> library = findLibrary(m_itemLib);
        if (!library)
            throw DmError(ObjectNotSetError, QStringLiteral("AddFolderItem"),
                          QStringLiteral("Object variable or With block variable not set"));
        const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
        // Case-sensitive on purpose: only "F" marks a folder; any other type is linked as a document.
        const bool isFolder = m_itemType == QStringLiteral("F");
        const QString kind = isFolder ? QStringLiteral("FolderItem") : QStringLiteral("ProfileItem");
        m_log.WriteLog(QStringLiteral("Setting ") + kind + QStringLiteral(" object for ") +
                       (isFolder ? QStringLiteral("folder #") : QStringLiteral("document #")) +
                       NumberText(m_item) + QStringLiteral(" in library ") + library->name());
        int number = 0;
        QString itemLibrary;
        std::shared_ptr<DmProfileItem> document;
        std::shared_ptr<DmFolderItem> subfolder;
        if (isFolder && (subfolder = library->openFolderItem(m_item))) {
            number = subfolder->documentNumber();
            itemLibrary = subfolder->libraryName();
        } else if (!isFolder && (document = library->openProfileItem(m_item))) {
            number = document->documentNumber();
            itemLibrary = document->libraryName();
        }
        m_log.WriteDashLine();
        if (!document && !subfolder) {
            m_log.WriteLog(QStringLiteral("Error: ") + kind + QStringLiteral(" object not open!"));
            m_log.WriteDashLine();
            return false;
        }

        const QString into = QStringLiteral(" to folder #") + NumberText(folder->documentNumber()) +
                             QStringLiteral(" in library ") + folder->libraryName();
        m_log.WriteLog(
            (isFolder ? QStringLiteral("Adding subfolder #") : QStringLiteral("Adding document #")) +
            NumberText(number) + QStringLiteral(" in library ") + itemLibrary + into);
        const bool added = isFolder ? folder->addSubfolder(*subfolder) : folder->addDocument(*document);
        m_log.WriteDashLine();
        if (added) {
            m_log.WriteLog((isFolder ? QStringLiteral("Subfolder #") : QStringLiteral("Document #")) +
                           NumberText(number) + QStringLiteral(" in library ") + itemLibrary +
                           QStringLiteral(" added to folder ") + NumberText(folder->documentNumber()) +
                           QStringLiteral(" in library ") + folder->libraryName());
            m_log.WriteDashLine();
            return true;
        }
        logFolderError(folder);
        m_log.WriteLog((isFolder ? QStringLiteral("Error: Unable to add folder #")
                                 : QStringLiteral("Error: Unable to add document #")) +
                       NumberText(number) + QStringLiteral(" to folder #") +
                       NumberText(folder->documentNumber()) + QStringLiteral(" (") + folder->nameA() + u')');
        return false;
    }

    bool saveFolder()
    {
        const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
        m_log.WriteLog(QStringLiteral("Saving profile object for folder #") +
                       NumberText(folder->documentNumber()) + QStringLiteral(" \"") + folder->nameA() +
                       QStringLiteral("\" in library ") + folder->libraryName());
        const bool saved = folder->save(m_s.saveOption);
        m_log.WriteDashLine();
        // A folder whose save failed may hold changes that were never written: it is opened afresh.
        if (m_memo && !saved)
            m_memo->forgetFolder();
        if (!saved) {
            logFolderError(folder);
            m_log.WriteLog(
                QStringLiteral("Warning: Attempt to save folder object did not return valid response"));
            m_log.WriteDashLine();
            return false;
        }
        m_log.WriteLog(QStringLiteral("Folder object saved to #") + NumberText(folder->documentNumber()) +
                       QStringLiteral(" in library ") + folder->libraryName());
        m_log.WriteDashLine();
        m_s.sharedFolder.reset();
        return true;
    }

    void sortParent()
    {
        if (!SortFolders(m_dm, m_parent, m_parentLib)) {
            m_log.WriteLog(QStringLiteral("Error: Unable to sort the parent folder ") + m_parentLib);
            m_log.WriteDashLine();
        }
    }

    void logAdded() { LogAdded(m_log, m_item, m_parent); }

    static void LogAdded(ActivityLog &log, int item, int parent)
    {
        log.WriteLog(QStringLiteral("Folder Item #") + NumberText(item) +
                     QStringLiteral(" successfully added to folder #") + NumberText(parent) + u'.');
    }

private:
    std::shared_ptr<DmLibrary> findLibrary(const QString &name)
    {
        return m_memo ? m_memo->library(m_s, name) : FindLibrary(m_s, name);
    }

    void logFolderError(const std::shared_ptr<DmFolder> &folder)
    {
        if (const qint32 number = folder->errorNumber(); number != 0)
            m_log.WriteLog(DmErrorLine(number, folder->errorDescription()));
    }

    DmContext &m_dm;
    DmSession &m_s;
    ActivityLog &m_log;
    int m_item;
    int m_parent;
    QString m_itemType;
    QString m_parentLib;
    QString m_itemLib;
    LinkMemo *m_memo;
};

void trapped(ActivityLog &log, const DmError &error)
{
    ReportTrapped(log, QStringLiteral("AddFolderItem"), error);
    log.WriteLog(QStringLiteral("Error: Adding Folder Item to folder"));
}

} // namespace

bool AddFolderItem(DmContext &dm, int ItemDocNumber, int ParentDocNumber, const QString &ItemType,
                   const QString &ParentLib, const QString &ItemLib, ParentSort sort)
{
    if (!FolderStepMayStart(dm, QStringLiteral("AddFolderItem")))
        return false;
    ActivityLog &log = dm.log;
    if (ItemDocNumber == 0 || ParentDocNumber == 0)
        return false;

    bool result = false;
    try {
        ItemLink link(dm, ItemDocNumber, ParentDocNumber, ItemType, ParentLib, ItemLib, nullptr);
        if (MaySaveInto(dm, ParentLib) && link.openItemProfile()) {
            if (link.alreadyInFolder()) {
                result = true;
            } else if (link.openParentFolder() && link.addItem() && link.saveFolder()) {
                if (sort == ParentSort::Sort)
                    link.sortParent();
                link.logAdded();
                result = true;
            }
        }
    } catch (const DmError &error) {
        trapped(log, error);
        result = false;
    }
    ReleaseSharedSlots(dm.session);
    log.WriteDashLine();
    return result;
}

LinkBatch::Outcome LinkBatch::add(int item, int parent, const QString &itemType, const QString &parentLib,
                                  const QString &itemLib)
{
    if (!FolderStepMayStart(m_dm, QStringLiteral("AddFolderItem")))
        return Outcome::Failed;
    if (item == 0 || parent == 0)
        return Outcome::Failed;
    Q_ASSERT(m_pending.isEmpty() || (parent == m_parent && parentLib == m_parentLib));
    ActivityLog &log = m_dm.log;
    Outcome outcome = Outcome::Failed;
    try {
        ItemLink link(m_dm, item, parent, itemType, parentLib, itemLib, &m_memo);
        std::pair<int, QString> key{item, itemLib.toUpper()};
        if (MaySaveInto(m_dm, parentLib, &m_memo) && link.openItemProfile()) {
            if (link.alreadyInFolder()) {
                outcome = Outcome::AlreadyThere;
            } else if (m_pending.contains(key)) {
                // The DM would refuse a second add of the item before the save.
                log.WriteLog(QStringLiteral("Folder item ") + NumberText(item) +
                             QStringLiteral(" is already being added to folder #") + NumberText(parent) +
                             QStringLiteral(" in folder library ") + parentLib);
                outcome = Outcome::AlreadyPending;
            } else if (link.openParentFolder() && link.addItem()) {
                m_parent = parent;
                m_parentLib = parentLib;
                m_pending << std::move(key);
                outcome = Outcome::Pending;
            }
        }
    } catch (const DmError &error) {
        trapped(log, error);
        outcome = Outcome::Failed;
    }
    ReleaseSharedSlots(m_dm.session);
    log.WriteDashLine();
    return outcome;
}

bool LinkBatch::save()
{
    if (m_pending.isEmpty())
        return true;
    const QList<std::pair<int, QString>> pending = std::exchange(m_pending, {});
    // A session lost meanwhile, which the user chose to end, gets no more writes.
    if (!FolderStepMayStart(m_dm, QStringLiteral("AddFolderItem"))) {
        m_memo.forgetFolder();
        return false;
    }
    ActivityLog &log = m_dm.log;
    bool saved = false;
    try {
        ItemLink link(m_dm, 0, m_parent, QString(), m_parentLib, QString(), &m_memo);
        // The pending items live in the folder object the memo keeps open; a link that failed after
        // them may have left the shared slot empty.
        m_dm.session.sharedFolder = m_memo.openFolder(m_parent, m_parentLib);
        if (m_dm.session.sharedFolder)
            saved = link.saveFolder();
        else
            log.WriteLog(QStringLiteral("Error: Folder object no longer open!"));
    } catch (const DmError &error) {
        trapped(log, error);
        m_memo.forgetFolder();
    }
    if (saved)
        for (const auto &[item, library] : pending)
            ItemLink::LogAdded(log, item, m_parent);
    ReleaseSharedSlots(m_dm.session);
    log.WriteDashLine();
    return saved;
}
