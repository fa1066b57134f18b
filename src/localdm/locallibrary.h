#pragma once

#include "dmapi/dmapi.h"

class LocalDm;
class LocalFolder;
class LocalProfile;

// One library of the local DM installation as the DM session sees it. Its database is opened on
// first use and shared through LocalDm. The user is the installation's login user.
//
// The open calls and newFolder() count as "open" calls on the planted faults: a planted one
// returns null, as does an open of a document number the library does not have (a folder needs
// its PROFILE and its FOLDER row) or of a library whose database cannot be reached.
class LocalLibrary : public DmLibrary {
public:
    LocalLibrary(std::shared_ptr<LocalDm> dm, QString name);

    bool isPrimary() const override;
    QString name() const override;
    QString userId() const override;
    // GROUP_ID of the user's PEOPLE.PRIMARY_GROUP; empty when none. Raises DmError when the library
    // cannot be reached.
    QString userPrimaryGroup() const override;
    // Raises DmError when the library cannot be reached.
    std::shared_ptr<DmProperties> properties() const override;
    std::shared_ptr<DmProfile> openProfile(int documentNumber) override;
    std::shared_ptr<DmFolder> newFolder() override;
    std::shared_ptr<DmFolder> openFolder(int documentNumber) override;
    std::shared_ptr<DmProfileItem> openProfileItem(int documentNumber) override;
    std::shared_ptr<DmFolderItem> openFolderItem(int documentNumber) override;
    // Raises the DmError of LocalDm::database() when the library's database cannot be opened.
    void open() override;
    // Makes this library the application's current library; raises DmError when its database cannot
    // be opened, leaving the current library as it was.
    void activate() override;
    QString lostCause() override;
    QString nameKey(const QString &name) override;

private:
    std::shared_ptr<LocalProfile> openLocalProfile(int documentNumber);
    std::shared_ptr<LocalFolder> openLocalFolder(int documentNumber);

    std::shared_ptr<LocalDm> m_dm;
    QString m_name;
};
