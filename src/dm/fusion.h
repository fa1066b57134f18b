#pragma once

#include "dm/dmcontext.h"

class DmError;

// Opens the DM session once at start-up: creates the application object, logs the user in, reads
// the libraries collection and connects to the user's current library. False when the session
// could not be opened; the reason is logged (and the cannot-start messages shown). When the DM raised
// an error, its description is also logged as an "Error:" line of its own and handed out through
// cause (left as it is otherwise), so that the front end can tell the user why. Never ends the
// program itself.
bool StartFusion(DmContext &dm, QString *cause = nullptr);

// The guard every DM-facing procedure calls with its own name before any DM work. Re-creates a
// missing application object for "ConnectLibrary" and a missing SQL pass-through for "RunSQL" (any
// letter case); every other missing piece is a failure, which is logged and answered by asking the
// user whether to end the program (Yes runs EndProgram). Once EndProgram ran, it fails at once, asking
// nothing. False means: do no DM work.
bool CheckFusion(DmContext &dm, const QString &callerName);

// How a procedure reports a runtime error it trapped: a dash line, its name followed by ":", then
// ReportError with the error's number, source and description.
void ReportTrapped(ActivityLog &log, const QString &procedureName, const DmError &error);

// The orderly end of the run: releases the DM objects, writes the end-of-run line and asks the window
// to end the program. Every step goes on past a failure. The window's own state (position, option
// boxes, target library) is the window's to save before this, so a run without a window never
// overwrites what the window saved.
void EndProgram(DmContext &dm);

// How the lost-session question of CheckFusion ends: Yes ends the program.
QString ExitNowQuestion();
