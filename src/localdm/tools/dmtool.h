#pragma once

#include <QStringList>
#include <QTextStream>

// The command-line tool of the local DM, korvel-dm: runs the subcommand that the arguments (those
// after the program name) name, writing results to out and failures to err. Returns the process's
// exit code: 0 when done, 1 when the work failed (a DM error, or violations found by check), 2 for
// bad arguments, which also print the usage.
int RunDmTool(const QStringList &arguments, QTextStream &out, QTextStream &err);
