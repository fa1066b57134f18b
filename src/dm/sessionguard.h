#pragma once

#include "dm/dmcontext.h"

// Saves the library current on entry and, when asked, the window's status text and pointer, and puts
// them back once, the library first, never throwing: where a procedure's log depends on the moment, at
// its call of restoreLibrary() or restore(), else on destruction. A library that cannot tell its name on
// entry, or that was lost since, is not switched back to. Borrows the DM context, which must outlive it.
class SessionGuard {
public:
    enum class Window { Keep, Restore };

    explicit SessionGuard(DmContext &dm, Window window = Window::Keep);
    ~SessionGuard() { restore(); }
    SessionGuard(const SessionGuard &) = delete;
    SessionGuard &operator=(const SessionGuard &) = delete;

    // The library current on entry; empty when there was none.
    const QString &library() const { return m_library; }

    void restoreLibrary();
    void restore();

private:
    DmContext &m_dm;
    QString m_library;
    std::shared_ptr<DmLibrary> m_libraryObject;
    QString m_status;
    MousePointer m_pointer = MousePointer::Default;
    bool m_libraryPending = true;
    bool m_windowPending;
};
