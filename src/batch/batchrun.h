#pragma once

#include "batch/commandline.h"
#include "batch/consolewindow.h"
#include "dm/run.h"
#include "migrate/movelock.h"

#include <QTextStream>

// Where and how a batch run was started.
struct BatchEnvironment {
    QString programPath;           // the executable
    QString settingsDirectory;     // the per-user settings store, read and never written
    MoveInstallation installation; // the move locks lie beside its library databases
    DmClientFacts dmClient{};      // what the DM in use says of itself, when the registry names no DM client
};

// The streams of a batch run and what of a terminal they have (the console's target, --yes and
// --verbose come from the command line).
struct BatchConsole {
    QTextStream &out; // a preview's list
    QTextStream &err; // every message, the log's "Error:" and "Warning:" lines, the progress
    ConsoleSetup terminal;
};

// Runs one batch command (commandLine.mode is Batch) on the DM the factory makes: the start-up that
// needs no window (settings, log path, DM session, library table, universal access), then the move
// command with its checks and questions. A --report file that may not be written is refused first, with
// nothing read or changed. Ctrl+C, SIGTERM and SIGHUP cancel the move while it runs. Returns the exit
// code; a preview's is the one its verdict foresees.
int RunBatch(const CommandLine &commandLine, const BatchEnvironment &environment,
             std::unique_ptr<DmFactory> factory, BatchConsole console,
             ActivityLog::Clock clock = &QDateTime::currentDateTime);
