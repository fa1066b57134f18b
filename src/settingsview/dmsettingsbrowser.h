#pragma once

#include "dm/dmcontext.h"

#include <QStringList>

// The three status panels of the DM settings viewer.
struct SessionPanels {
    // The library that the application object reports: the user's default library.
    QString library;
    // The user's login id and primary group in the current library.
    QString userId;
    QString primaryGroup;
};

// The DM work behind the DM settings viewer, kept apart from its widgets: the libraries, the
// property names and values, and the library switching the viewer does while it is open. Choosing a
// library makes it the program's current library (through ConnectLibrary) until restoreLibrary()
// reconnects the library that was current at load. A DM call that fails leaves its value empty and
// the next step goes on. The context is borrowed and must outlive the browser.
class DmSettingsBrowser {
public:
    explicit DmSettingsBrowser(DmContext &dm) : m_dm(dm) {}

    // Remembers the current library and reads the names of the libraries and of the current
    // library's properties. Without a current library it shows "Library object not set - cannot
    // continue" and returns false, leaving everything empty.
    bool load();

    QString rememberedLibrary() const { return m_rememberedLibrary; }
    // In the order of the libraries collection and of the property collection read at load.
    QStringList libraryNames() const { return m_libraryNames; }
    QStringList propertyNames() const { return m_propertyNames; }

    // Empty when there is no current library.
    QString currentLibraryName() const;
    SessionPanels panels() const;
    // The current library's database engine: its code and, when known, its name ("2 (Oracle)").
    QString engineText() const;
    // The named property of the current library as text ("True" or "False" for a flag); empty when
    // the current library has no such property or it cannot be read.
    QString propertyText(const QString &name) const;

    // Connects the named library with the wait pointer up; returns false, doing nothing, when it is
    // current already (exact name). A failed switch is reported by ConnectLibrary; the session stays
    // on whatever library is current afterwards.
    bool switchLibrary(const QString &libraryName);
    // Reconnects the library remembered at load, if any, and forgets it: a second call does nothing.
    void restoreLibrary();

private:
    DmContext &m_dm;
    QString m_rememberedLibrary;
    QStringList m_libraryNames;
    QStringList m_propertyNames;
};
