#pragma once

#include "dm/dmcontext.h"

// Rewrites the display order of a folder's contents (the ISFIRST/NEXT list of its FOLDER_ITEM rows)
// so that the items follow each other by display name, as the library's database orders them; with
// parentDocNumber 0, of every folder of the library that has a first item. Works by SQL in the named
// library and reconnects to the library that was current on entry.
//
// Each folder's rewrite is all or nothing: it runs as one transaction and any statement that fails
// rolls it back, leaving that folder's list as it was, logs an "Error:" line and ends the call. True
// only when at least one folder was found and every folder found was processed.
bool SortFolders(DmContext &dm, int parentDocNumber, const QString &libraryName);
