#pragma once

#include <QString>

// A text as one word of a POSIX shell's command line, for commands a message tells the user to run: as
// it is when the shell takes it so, else between single quotes.
QString ShellWord(const QString &text);
