#pragma once

#include "dm/dmsession.h"
#include "dm/libraryconnection.h"
#include "dm/windowseam.h"
#include "dmapi/dmapi.h"
#include "log/activitylog.h"
#include "settings/savedsettings.h"

#include <QStringList>

class MoveReport;

// What the DM-facing procedures share for the run, created once by the application and handed to
// each of them. Every member is borrowed and outlives the procedures' calls.
struct DmContext {
    DmFactory &factory;
    DmSession &session;
    LibraryConnection &connection;
    ActivityLog &log;
    WindowSeam &window;
    SavedSettings &settings;
    // The report of the move command that runs, if one is kept; null otherwise.
    MoveReport *report = nullptr;
    // While a preview runs: where the library connection puts the warnings it would otherwise show in a
    // box, none of them recorded as shown; null otherwise.
    QStringList *previewWarnings = nullptr;
};
