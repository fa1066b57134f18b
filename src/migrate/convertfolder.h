#pragma once

#include "dm/dmcontext.h"

#include <functional>

// How far the move of one folder has come: its phase and, while linking, the items of the tree processed
// so far out of how many; while checking and removing, the folders read or removed out of how many. The
// share weighs what the phase has done by what it costs (making a folder costs many links), from 0 to 1.
struct FolderStep {
    MovePhase phase = MovePhase::Walking;
    int done = 0;
    int total = 0;
    double share = 0;
};

// How a move command follows and steers the move of one folder; either part may be left empty.
struct FolderWatch {
    std::function<void(const FolderStep &step)> progress;
    // Asked at each safe point (between the folders the walk reads, between items, before the check and
    // before any removal); true stops the move of the folder there, its source kept whole.
    std::function<bool()> stop;
    // Asked before each folder of the tree is made or linked into, before the check and before the
    // removal: empty while the move may go on, else the "Error:" line that ends the move of the folder
    // there, its source kept whole (the move lock is no longer held).
    std::function<QString()> lockLost = {};
    // Told, once the folder's plan is made and only when it foresees a failure, why the move of the folder
    // would fail (MovePlan::failureCause): the cause a failure's own symptom may not show.
    std::function<void(const QString &cause)> foreseen = {};
};

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
// outside the moved tree stays in its library under that outside parent. A stop asked for at a safe
// point ends the move like a failure (false, the source whole, what was made left for the next run to
// take up) but with no "Error:" line; its report rows are skipped as cancelled. Reconnects to the library
// current on entry and leaves the session's shared slots empty.
bool ConvertFolder(DmContext &dm, int docNumber, const QString &sourceLib, const QString &targetLib,
                   const FolderWatch &watch = {});
