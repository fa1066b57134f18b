#include "migrate/deletefolder.h"

#include "dmapi/dmerror.h"
#include "migrate/addfolderitem.h"
#include "migrate/foldersteps.h"

#include <functional>

namespace {

// One call of DeleteFolder after its entry checks. Every step returns false after logging
// why, and the removal stops there.
class FolderRemoval {
public:
    FolderRemoval(DmContext &dm, const QString &libraryName)
        : m_dm(dm), m_s(dm.session), m_log(dm.log), m_libraryName(libraryName)
    {
    }

    // Runs one step; a runtime error counts as its failure, logged with the DM's number and
    // description, and the failure is named by failureText.
    bool attempt(const std::function<bool()> &step, const QString &failureText)
    {
        bool done = false;
        try {
            done = step();
        } catch (const DmError &error) {
            m_log.WriteLog(DmErrorLine(error.number(), error.description()));
        }
        if (!done)
            m_log.WriteLog(QStringLiteral("Error: ") + failureText);
        return done;
    }

    bool clearContents()
    {
        const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
        const QString from = QStringLiteral(" from folder #") + NumberText(folder->documentNumber()) + u' ' +
                             Quoted(folder->nameA()) + QStringLiteral(" in library ") + folder->libraryName();
        clear(*folder->subdocuments(), QStringLiteral("Clearing subdocument #"), from);
        clear(*folder->subfolders(), QStringLiteral("Clearing subproject #"), from);
        return true;
    }

    bool saveFolder()
    {
        const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
        m_log.WriteLog(QStringLiteral("Saving folder #") + NumberText(folder->documentNumber()) +
                       QStringLiteral(" in library ") + folder->libraryName());
        const bool saved = folder->save(m_s.saveOption);
        m_log.WriteDashLine();
        return saved || !logObjectError(folder->errorNumber(), folder->errorDescription());
    }

    bool openProfile()
    {
        const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
        m_log.WriteLog(QStringLiteral("Setting profile object for folder #") +
                       NumberText(folder->documentNumber()) + QStringLiteral(" in library ") +
                       folder->libraryName());
        m_s.sharedProfile = folder->asProfile();
        m_log.WriteDashLine();
        return m_s.sharedProfile != nullptr;
    }

    // Remembers every parent before its link is cut, so that a later failure can file the folder back.
    bool clearParents()
    {
        const std::shared_ptr<DmProfile> profile = m_s.sharedProfile;
        const std::shared_ptr<DmItemCollection> parents = profile->containingFolders();
        const int count = parents->count();
        for (int i = 1; i <= count; ++i) {
            const std::shared_ptr<DmItem> parent = parents->item(i);
            m_parents.append({parent->documentNumber(), parent->libraryName()});
        }
        clear(*parents, QStringLiteral("Clearing parent folder #"),
              QStringLiteral(" from profile #") + NumberText(profile->documentNumber()) + u' ' +
                  Quoted(profile->name()) + QStringLiteral(" in library ") + profile->libraryName());
        return true;
    }

    bool saveProfile()
    {
        const std::shared_ptr<DmProfile> profile = m_s.sharedProfile;
        m_log.WriteLog(QStringLiteral("Saving profile #") + NumberText(profile->documentNumber()) +
                       QStringLiteral(" in library ") + profile->libraryName());
        const bool saved = profile->save(m_s.saveOption);
        m_log.WriteDashLine();
        if (!saved && logObjectError(profile->errorNumber(), profile->errorDescription()))
            return false;
        profile->close();
        m_s.sharedProfile.reset();
        return true;
    }

    bool deleteFolder()
    {
        const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
        m_log.WriteLog(QStringLiteral("Deleting folder #") + NumberText(folder->documentNumber()) +
                       QStringLiteral(" from library ") + folder->libraryName());
        const bool deleted = folder->deleteFolder(m_s.saveOption);
        m_log.WriteDashLine();
        if (!deleted && logObjectError(folder->errorNumber(), folder->errorDescription()))
            return false;
        m_s.sharedFolder.reset();
        return true;
    }

    // Files the folder back into every folder it was cut from; AddFolderItem leaves alone a link
    // that was never cut.
    void fileBack(int docNumber)
    {
        if (m_parents.isEmpty())
            return;
        ReleaseSharedSlots(m_s);
        m_log.WriteLog(QStringLiteral("Warning: Filing folder #") + NumberText(docNumber) +
                       QStringLiteral(" in library ") + m_libraryName + QStringLiteral(" back into ") +
                       NumberText(int(m_parents.size())) + QStringLiteral(" folder(s) it was removed from"));
        for (const auto &[parent, parentLibrary] : std::as_const(m_parents))
            if (!AddFolderItem(m_dm, docNumber, parent, QStringLiteral("F"), parentLibrary, m_libraryName))
                m_log.WriteLog(QStringLiteral("Error: Unable to file folder #") + NumberText(docNumber) +
                               QStringLiteral(" in library ") + m_libraryName +
                               QStringLiteral(" back into folder #") + NumberText(parent) +
                               QStringLiteral(" in library ") + parentLibrary);
    }

private:
    void clear(DmItemCollection &items, const QString &prefix, const QString &from)
    {
        const int count = items.count();
        if (count == 0)
            return;
        for (int position = count; position >= 1; --position) {
            const std::shared_ptr<DmItem> item = items.item(position);
            m_log.WriteLog(prefix + NumberText(item->documentNumber()) + u' ' + Quoted(item->name()) +
                           QStringLiteral(" in library ") + item->libraryName() + from);
            items.remove(position);
            m_log.WriteDashLine();
        }
        items.finish();
    }

    // A false save or delete with the DM's error number 0 counts as done, as the DM conventions have it.
    bool logObjectError(qint32 number, const QString &description)
    {
        if (number == 0)
            return false;
        m_log.WriteLog(DmErrorLine(number, description));
        return true;
    }

    DmContext &m_dm;
    DmSession &m_s;
    ActivityLog &m_log;
    QString m_libraryName;
    QList<std::pair<int, QString>> m_parents;
};

} // namespace

bool DeleteFolder(DmContext &dm, int docNumber, const QString &libraryName)
{
    if (!FolderStepMayStart(dm, QStringLiteral("DeleteFolder")))
        return false;
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;
    if (libraryName.isEmpty() || docNumber == 0)
        return false;

    const QString folderText =
        QStringLiteral("folder #") + NumberText(docNumber) + QStringLiteral(" in library ") + libraryName;
    log.ShowStatus(QStringLiteral("Removing folder #") + NumberText(docNumber) +
                   QStringLiteral(" from library ") + libraryName);
    log.WriteDashLine();
    FolderRemoval removal(dm, libraryName);
    // A folder left in the slot by an earlier call must never be taken for this one.
    ReleaseSharedSlots(s);
    const bool opened = removal.attempt(
        [&] {
            if (const std::shared_ptr<DmLibrary> library = FindLibrary(s, libraryName)) {
                log.WriteLog(QStringLiteral("Opening folder object #") + NumberText(docNumber) +
                             QStringLiteral(" in library ") + libraryName);
                s.sharedFolder = library->openFolder(docNumber);
                log.WriteDashLine();
            }
            return s.sharedFolder != nullptr;
        },
        QStringLiteral("Unable to open folder object #") + NumberText(docNumber) +
            QStringLiteral(" in library ") + libraryName);

    bool result = false;
    if (opened &&
        removal.attempt([&] { return removal.clearContents(); },
                        QStringLiteral("Unable to clear the contents of ") + folderText) &&
        removal.attempt([&] { return removal.saveFolder(); },
                        QStringLiteral("Unable to save ") + folderText) &&
        removal.attempt([&] { return removal.openProfile(); },
                        QStringLiteral("Unable to open profile object #") + NumberText(docNumber) +
                            QStringLiteral(" in library ") + libraryName)) {
        const bool cut =
            removal.attempt([&] { return removal.clearParents(); },
                            QStringLiteral("Unable to clear the parent folders of ") + folderText);
        // A profile that cannot be saved once its parents are cut still goes on to the delete: what fails
        // the save (a full disk, a lost connection) may well fail filing it back too, and the folder,
        // empty and in no folder, is best gone as the removal meant.
        if (cut)
            removal.attempt([&] { return removal.saveProfile(); },
                            QStringLiteral("Unable to save the profile of ") + folderText);
        result = cut && removal.attempt([&] { return removal.deleteFolder(); },
                                        QStringLiteral("Unable to delete folder #") + NumberText(docNumber) +
                                            QStringLiteral(" from library ") + libraryName);
        if (!result)
            removal.fileBack(docNumber);
    }
    ReleaseSharedSlots(s);
    log.WriteDashLine();
    return result;
}
