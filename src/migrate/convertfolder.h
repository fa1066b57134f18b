#pragma once

#include "dm/dmcontext.h"

#include <functional>

// Told how many items of the moved tree have been processed so far, out of how many.
using ConvertProgress = std::function<void(int done, int total)>;

// Moves the folder docNumber of sourceLib into targetLib: recreates its parent chain (topmost first,
// across libraries) and its whole content tree there, links every document of the tree into the new
// folders, sorts each folder that received links once, and then removes the old folder and its old
// subfolders from their libraries. True only when the whole move, removal included, succeeded; the
// move counters "Added" and "Read" are raised then.
//
// What a failure leaves behind: nothing at all when the folder is refused or its walks fail (a target
// that is empty, unknown or the source library itself, a number that is no folder, a query that fails,
// a library that cannot be connected, a cycle). A failure while creating or linking leaves what was
// made in the target and removes nothing of the source. Nothing is removed either unless the source tree,
// read again, and the new tree, read back from the DM, agree: every item of each source folder is held by
// its new folder, and each new folder gives the access of its source (a trustee the target does not know
// aside) and never more; each difference is an "Error:" line. Sibling folders whose names differ only in
// letter case become one folder in the target. A folder or row that already lives in the
// target stands for itself and is never created, copied or removed; a subfolder that is also filed
// outside the moved tree stays in its library under that outside parent. Reconnects to the library
// current on entry and leaves the session's shared slots empty.
bool ConvertFolder(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib,
                   const ConvertProgress &progress = {});
