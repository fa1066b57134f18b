#pragma once

#include <QString>

// Whether a move is running and whether the user has asked to cancel it, for the whole run. Owned
// by the program and handed to the move commands and the Cancel button: Cancel acts only while a
// move is running and not yet cancelled, and a cancel takes effect between folders.
struct MoveFlags {
    bool moveRunning = false;
    bool cancelRequested = false;
};

// What the Cancel button says when it takes effect, in the window and in batch mode alike.
inline QString CancelMessage()
{
    return QStringLiteral("Task Canceled - the current Folder (if any) will complete first.");
}
