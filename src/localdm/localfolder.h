#pragma once

#include "dmapi/dmapi.h"

#include <QList>

class LibraryDatabase;
class LocalDocument;

// A DM folder: a PROFILE row whose application is FOLDER plus a FOLDER row, public when it has a
// ROOT_OBJECT row. Also the object handed to another folder's add call as a FolderItem. Shares its
// state with its profile view (asProfile), so a profile save followed by a folder save creates one
// profile.
//
// Items added are checked at once and written at the next save; a failed save keeps them for the
// next attempt. Each save, add and delete call counts on the planted faults of its kind; a planted
// one returns false with a DM error and changes nothing.
class LocalFolder : public DmFolder, public DmFolderItem {
public:
    LocalFolder(std::shared_ptr<LocalDocument> document, bool isPublic);

    QString nameA() const override;
    void setNameA(const QString &name) override;
    QString nameB() const override;
    void setNameB(const QString &name) override;
    int documentNumber() const override;
    bool isPublic() const override;
    void setPublic(bool isPublic) override;
    QString libraryName() const override;
    std::shared_ptr<DmItemCollection> items() const override;
    std::shared_ptr<DmItemCollection> subdocuments() const override;
    std::shared_ptr<DmItemCollection> subfolders() const override;
    // Writes, in one transaction of the folder's library: the profile when it is new or has changed
    // columns, the FOLDER row when missing, the ROOT_OBJECT row (added when public, removed when
    // not), a FOLDER_ITEM row at the end of the display list for every item added since the last
    // save, and ACTIVITYLOG rows.
    bool save(DmSaveOption option) override;
    // Refused (false) for an item that does not exist in its library, whose library the folder's
    // REMOTE_LIBRARIES does not list, that the folder holds already, or, for a subfolder, that is
    // the folder itself or contains it at any depth.
    bool addDocument(const DmProfileItem &document) override;
    bool addSubfolder(const DmFolderItem &folder) override;
    // Refused while the folder holds items or any folder of any library holds it; otherwise removes
    // its PROFILE, FOLDER, SECURITY and ROOT_OBJECT rows in one transaction and logs the deletion.
    bool deleteFolder(DmSaveOption option) override;
    qint32 errorNumber() const override;
    QString errorDescription() const override;
    std::shared_ptr<DmProfile> asProfile() override;

private:
    struct PendingLink {
        int docNumber;
        QString libraryName;
        QString displayName;
        QString nodeType;
    };

    bool add(int docNumber, const QString &libraryName, const QString &nodeType);
    PendingLink checkedLink(int docNumber, const QString &libraryName, const QString &nodeType) const;
    void refuseCycle(int docNumber, const QString &itemLibrary) const;
    void writeLinks(LibraryDatabase &db, int folder, qint64 typist) const;

    std::shared_ptr<LocalDocument> m_document;
    bool m_public;
    QList<PendingLink> m_pending;
};
