#pragma once

#include "dmapi/dmapi.h"

#include <functional>

class LocalDm;

// Creates the local DM's top-level objects over one installation. The SQL pass-through is a LocalSql
// unless a function to make it is given (tests wrap the pass-through to script what a real server can
// do and the local one does not, such as a slow statement).
//
// Failures planted in the installation's FaultPlan act on the objects made here. Every call of a
// kind counts, whether it fails for another reason or not:
// - open:   a library's openProfile, openFolder, openProfileItem, openFolderItem and newFolder
//           return null;
// - save:   a profile's or folder's save returns false with DM error 2001 and writes nothing;
// - add:    a folder's addDocument and addSubfolder return false with DM error 2001;
// - remove: an item collection's remove raises DmError 2001 and marks nothing;
// - delete: a folder's deleteFolder returns false with DM error 2001 and deletes nothing.
class LocalDmFactory : public DmFactory {
public:
    explicit LocalDmFactory(std::shared_ptr<LocalDm> dm, std::function<std::shared_ptr<DmSql>()> makeSql = {});

    std::shared_ptr<DmApplication> createApplication() override;
    std::shared_ptr<DmSql> createSql() override;
    std::shared_ptr<DmBrowser> createBrowser() override;
    std::shared_ptr<DmBrowserCompanion> createBrowserCompanion() override;
    std::shared_ptr<DmCommand> createCommand() override;

private:
    std::shared_ptr<LocalDm> m_dm;
    std::function<std::shared_ptr<DmSql>()> m_makeSql;
};
