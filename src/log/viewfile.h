#pragma once

#include "log/fileviewer.h"
#include "log/logwindow.h"

// Opens a file in the viewer. An empty name does nothing; a name with nothing behind it is answered
// with the information message "<name> not found". While the viewer starts, the status line says
// "Loading <name>" and the wait pointer shows. When no viewer starts, a warning names the file and the
// viewers tried.
void ViewFile(FileCommandWindow &window, FileViewer &viewer, const QString &fileName);

// Starts the viewer on a file with the status line showing statusText and the wait pointer up;
// afterwards the status line shows what it showed before and the pointer is the default one, and a
// warning says so when no viewer started.
void StartViewer(FileCommandWindow &window, FileViewer &viewer, const QString &fileName,
                 const QString &statusText);
