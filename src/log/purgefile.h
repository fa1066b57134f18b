#pragma once

#include "log/activitylog.h"
#include "log/logwindow.h"

// Deletes a file after the user has answered Yes to "Are you sure you want to purge the file
// <name>?". A missing file is answered with "<name> does not exist". A deletion that fails is
// reported in the log (the failure's number, "PurgeFile" and its description) and, since the user
// asked for it, also shown: "File <name> has NOT been removed." Afterwards the log menus follow
// whether the current log file still exists.
void PurgeFile(FileCommandWindow &window, ActivityLog &log, const QString &fileName);
