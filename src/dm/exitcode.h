#pragma once

// How a run of the program ends, as its exit code: one table for the window and for the batch mode.
enum class ExitCode : int {
    Done = 0,
    // A folder, or any folder of a list, failed.
    FolderFailed = 1,
    UsageError = 2,
    // Refused before anything changed: rights, target equal to source, no such folder or library,
    // another move running on the installation.
    Refused = 3,
    // A question was answered No.
    AnsweredNo = 4,
    // Cancelled before the list ended.
    Cancelled = 5,
    // Start-up failed: the installation, the DM session or universal access.
    StartupFailed = 6,
};
