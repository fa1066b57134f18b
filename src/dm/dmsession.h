#pragma once

#include "dm/passthrough.h"
#include "dmapi/dmapi.h"
#include "dmapi/enginecode.h"

#include <memory>

// The DM session of the run: the DM objects every DM-facing procedure goes through. Procedures
// never keep copies of them, so a re-creation by CheckFusion is seen by every later call. Created
// empty by the application; StartFusion fills it, ConnectLibrary switches the library and the SQL
// pass-through, EndProgram empties it.
struct DmSession {
    std::shared_ptr<DmApplication> application;
    QString securityToken;
    std::shared_ptr<DmLibraries> libraries;
    std::shared_ptr<DmLibrary> currentLibrary;
    PassThrough sql;
    // While a PassThroughKeeping lives: the pass-throughs of libraries switched away from and the
    // libraries' unique-names setting, by upper-case library name.
    bool keepSql = false;
    QHash<QString, PassThrough> keptSql;
    QHash<QString, bool> keptUniqueNames;
    std::shared_ptr<DmBrowserCompanion> browserCompanion;

    // Slots the folder procedures fill and empty again within one call; a profile is closed before
    // its slot is emptied.
    std::shared_ptr<DmFolder> sharedFolder;
    std::shared_ptr<DmProfile> sharedProfile;
    // Passed to every DM save and delete of a move.
    DmSaveOption saveOption = 2;
    // Set by EndProgram: the session is over for the rest of the run, and nothing opens it again behind
    // the user's answer.
    bool ended = false;
};
