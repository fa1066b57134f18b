#pragma once

#include "dm/exitcode.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <optional>

// What the command line asks for. Every argument starting with "--" must be an option this program
// knows. The rest is free-form text searched for the switches "/P", "/RV" and "/XR"; in batch mode
// the arguments that do not start with "/" are the command and its operands instead.
struct CommandLine {
    enum class Mode { Window, Batch, Help, Version, UsageError };
    enum class Command { None, MoveFolder, MoveCategory, MoveLibrary };

    Mode mode = Mode::Window;
    QString error;        // what is wrong, for UsageError
    QString installation; // --dm FILE; empty when not given
    QString freeForm;     // the free-form text, blank-separated

    // Batch mode.
    Command command = Command::None;
    QString library;
    int docNumber = 0;           // move-folder
    bool sharedCategory = false; // move-category: shared, else public
    QString target;
    bool yes = false;
    bool dryRun = false;
    bool verbose = false;
    std::optional<bool> logVerbose;
    QString reportFile; // --report FILE; empty: a new file beside the log
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const QStringList &arguments);

// The usage lines, and the whole help with options, exit codes and where the readme is (readmeFile; the
// help says when it is missing).
QString UsageLines();
QString HelpText(const QString &readmeFile);

// Why the window cannot start in this environment (no display server to show it on), as one line; empty
// when it can. A platform that needs no display (QT_QPA_PLATFORM=offscreen) always can.
QString MissingDisplay(const QProcessEnvironment &environment);
