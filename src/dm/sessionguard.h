#pragma once

#include "dm/dmcontext.h"

// What a procedure saves of the session on entry and puts back on every path out: the library current
// on entry and, when asked, the window's status text and mouse pointer. Each is put back once, never
// throwing: a procedure whose log depends on when the library comes back calls restoreLibrary() at that
// point, and the destructor puts back whatever is left, the library before the window. A library that
// cannot tell its name on entry is not switched back to. Borrows the DM context, which must outlive it.
class SessionGuard {
public:
    enum class Window { Keep, Restore };

    explicit SessionGuard(DmContext &dm, Window window = Window::Keep);
    ~SessionGuard();
    SessionGuard(const SessionGuard &) = delete;
    SessionGuard &operator=(const SessionGuard &) = delete;

    // The library current on entry; empty when there was none.
    const QString &library() const { return m_library; }

    void restoreLibrary();
    void restoreWindow();
    void restore()
    {
        restoreLibrary();
        restoreWindow();
    }

private:
    DmContext &m_dm;
    QString m_library;
    QString m_status;
    MousePointer m_pointer = MousePointer::Default;
    bool m_libraryPending = true;
    bool m_windowPending;
};
