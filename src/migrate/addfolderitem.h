#pragma once

#include "dm/dmcontext.h"

// Whether AddFolderItem re-sorts the receiving folder after the link. A caller that links many items
// into one folder defers the sort and calls SortFolders once at the end.
enum class ParentSort { Sort, Defer };

// Puts an item (a document, or a folder when ItemType is exactly "F") of ItemLib into the folder
// ParentDocNumber of ParentLib, through the DM objects: the folder receives a reference to the item
// where it lives. Works in whatever library is current and reaches the others through the libraries
// collection; uses the session's shared folder and profile slots and leaves both empty (except when
// the session check fails or a number is 0). True when the item is in the folder at the end, newly
// added or already there; a failed sort of the folder is logged and does not fail the link.
bool AddFolderItem(DmContext &dm, int ItemDocNumber, int ParentDocNumber, const QString &ItemType,
                   const QString &ParentLib, const QString &ItemLib, ParentSort sort = ParentSort::Sort);
