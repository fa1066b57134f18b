#pragma once

#include "localdm/faultplan.h"
#include "localdm/installation.h"
#include "localdm/store/librarydatabase.h"
#include "localdm/sql/sqlstatementcache.h"

#include <map>
#include <memory>

// The local DM's own version and patch level (those of the program it is built with), for the
// texts that show a DM client's when no DM client is installed.
QString LocalDmVersion();
QString LocalDmPatchLevel();

// What the objects of one local DM installation share: the installation, one open database per
// library (opened on first use and kept) with the pass-through's statements on it, and the planted faults.
// Created once per run and held by every object it hands out, so it lives as long as any of them.
class LocalDm {
public:
    // Reads the planted faults from the installation and $KORVEL_DM_FAULTS; throws DmError for bad ones.
    explicit LocalDm(Installation installation);

    const Installation &installation() const { return m_installation; }

    // The open database of a library (name compared case-insensitively). Throws DmError for a
    // library that is not in the installation or whose database cannot be opened.
    LibraryDatabase &database(const QString &libraryName);
    // Why the library's open database is no longer where it was opened; empty while it is, and for a
    // library not opened yet.
    QString lostCause(const QString &libraryName);

    // The pass-through's translations and prepared statements on an open database of this installation.
    SqlStatementCache &statementCache(LibraryDatabase &database);

    FaultPlan &faults() { return m_faults; }

    // The library the session works in: the installation's current library until a library is
    // activated.
    QString currentLibrary() const { return m_currentLibrary; }
    void setCurrentLibrary(const QString &libraryName) { m_currentLibrary = libraryName; }

private:
    Installation m_installation;
    std::map<QString, std::unique_ptr<LibraryDatabase>> m_databases;
    // Declared after the databases, so that the statements are finalized before the connections close.
    std::map<LibraryDatabase *, std::unique_ptr<SqlStatementCache>> m_statementCaches;
    FaultPlan m_faults;
    QString m_currentLibrary;
};
