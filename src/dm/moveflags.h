#pragma once

#include <QString>

// Whether a move is running and whether the user has asked to cancel it, for the whole run. Owned
// by the program and handed to the move commands and the Cancel button: Cancel acts only while a
// move is running and not yet cancelled, and a cancel takes effect at the
// running folder's next safe point (between items, and always before any removal).
struct MoveFlags {
    bool moveRunning = false;
    bool cancelRequested = false;
};

// What the Cancel button says when it takes effect, in the window and in batch mode alike.
inline QString CancelMessage()
{
    return QStringLiteral(
        "Task Canceled - the current folder stops at its next safe point and keeps its source; "
        "run the move again to finish it.");
}
