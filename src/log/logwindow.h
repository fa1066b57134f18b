#pragma once

#include <QString>

// A window with a status label: the splash window during start-up, the main window afterwards.
class StatusWindow {
public:
    virtual ~StatusWindow() = default;
    virtual QString statusText() const = 0;
    virtual void setStatusText(const QString &text) = 0;
};

// What the activity log needs of the main window: its status label, the Verbose Logging box and the
// log menu entries, and a moment for the window to repaint after a status line.
class LogWindow : public StatusWindow {
public:
    virtual bool verboseLogging() const = 0;
    // "View Log" and "Purge Log" of the File menu.
    virtual void setLogMenusEnabled(bool enabled) = 0;
    // Lets the window system deliver pending events (repaints, a click on Cancel) before returning.
    virtual void processEvents() = 0;
};

enum class MessageIcon { None, Critical, Question, Warning, Information };
// OkOpenReport: a move's closing box, whose second button opens the move's report (OpenReport).
enum class MessageButtons { Ok, YesNo, OkOpenReport };
enum class MessageAnswer { Ok, Yes, No, OpenReport };
enum class MousePointer { Default, Hourglass };

// What viewing and purging a file need besides: a message box and the wait pointer.
class FileCommandWindow : public LogWindow {
public:
    // A modal message box carrying the application title; blocks until it is answered.
    virtual MessageAnswer showMessage(const QString &text, MessageIcon icon,
                                      MessageButtons buttons = MessageButtons::Ok) = 0;
    virtual MousePointer mousePointer() const = 0;
    virtual void setMousePointer(MousePointer pointer) = 0;
};
