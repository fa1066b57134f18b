#pragma once

// The program's exit codes, one table for the window and the batch mode.
enum ExitCode : int {
    ExitDone = 0,          // done, an empty list included
    ExitFailed = 1,        // a folder, or any folder of a list, failed
    ExitUsage = 2,         // usage error
    ExitRefused = 3,       // refused before anything changed
    ExitDeclined = 4,      // a question was answered No
    ExitCancelled = 5,     // cancelled before the list ended
    ExitStartupFailed = 6, // start-up failed: installation, DM session, universal access
};
