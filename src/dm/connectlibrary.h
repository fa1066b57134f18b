#pragma once

#include "dm/dmcontext.h"

// Switches the DM session to the named library (matched case-insensitively): makes it the current
// library object, binds a fresh SQL pass-through to it, learns its engine, owner, server facts and
// Korvel settings (cached per library for the run) and updates the window's session labels. True when
// the library is current afterwards. On false everything the run believes (library object, made active
// again in the DM, pass-through, owner, dialect, server facts, labels and menu check) names the library
// that was current before the call; only when the DM will not have that one back does the run follow
// the DM's current library, consistently. A library that the current library's REMOTE_LIBRARIES does
// not list is refused before anything changes.
bool ConnectLibrary(DmContext &dm, const QString &libraryName);

enum class OwnerLookup { NotMade, Listed, NotListed };

// Looks the named library's database owner up in the current library's REMOTE_LIBRARIES (names
// compared upper-cased) and makes it the database owner when found. NotMade when the lookup could not
// be made; NotListed, with an "Error:" line, when the table has no row for the library.
OwnerLookup CheckSQLSettings(DmContext &dm, const QString &libraryName);

// True when the table exists in the current library's database.
bool TableExists(DmContext &dm, const QString &table);

// The warning composed when a library's database has QUOTED_IDENTIFIER off.
QString QuotedIdentifierWarning(const QString &state, const QString &databaseName,
                                const QString &libraryName);
