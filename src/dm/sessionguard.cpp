#include "dm/sessionguard.h"

#include "dm/connectlibrary.h"
#include "dmapi/dmerror.h"

SessionGuard::SessionGuard(DmContext &dm, Window window)
    : m_dm(dm), m_windowPending(window == Window::Restore)
{
    if (m_windowPending) {
        m_pointer = dm.window.mousePointer();
        m_status = dm.window.statusText();
    }
    try {
        if (dm.session.currentLibrary) {
            m_library = dm.session.currentLibrary->name();
            m_libraryObject = dm.session.currentLibrary;
        }
    } catch (const DmError &) {
        // Nothing to switch back to: the procedure ends in whichever library it reaches.
    }
}

void SessionGuard::restoreLibrary()
{
    if (!m_libraryPending)
        return;
    m_libraryPending = false;
    try {
        // A library lost since entry fails every call: switching back would only add failures to the log.
        if (!m_library.isEmpty() && m_libraryObject->lostCause().isEmpty())
            ConnectLibrary(m_dm, m_library);
    } catch (const DmError &) {
        // ConnectLibrary leaves the session consistent in whichever library it ends in.
    }
}

void SessionGuard::restore()
{
    restoreLibrary();
    if (!m_windowPending)
        return;
    m_windowPending = false;
    m_dm.window.setMousePointer(m_pointer);
    m_dm.window.setStatusText(m_status);
}
