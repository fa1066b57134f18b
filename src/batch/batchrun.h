#pragma once

#include "batch/commandline.h"
#include "dm/run.h"

#include <QTextStream>

// Where and how a batch run was started.
struct BatchEnvironment {
    QString programPath;       // the executable
    QString settingsDirectory; // the per-user settings store, read and never written
    QString installationFile;  // the move lock lies beside it
};

// Runs one batch command (commandLine.mode is Batch) on the DM the factory makes: the start-up that
// needs no window (settings, log path, DM session, library table, universal access), then the move
// command with its checks and questions, messages on err. Ctrl+C cancels the move while it runs.
// Returns the exit code.
int RunBatch(const CommandLine &commandLine, const BatchEnvironment &environment,
             std::unique_ptr<DmFactory> factory, QTextStream &err,
             ActivityLog::Clock clock = &QDateTime::currentDateTime);
