#pragma once

#include "dm/dmcontext.h"

// Switches the DM session to the named library (matched case-insensitively): makes it the current
// library object, binds a fresh SQL pass-through to it, learns its engine, owner, server facts and
// Korvel settings (cached per library for the run) and updates the window's session labels. True when
// the library is current afterwards. On false the session is left on one consistent library: the
// library object, the SQL pass-through and the database owner all belong to it (the DM's current
// library after a failed switch, or none).
bool ConnectLibrary(DmContext &dm, const QString &libraryName);

// Looks the named library's database owner up in the current library's REMOTE_LIBRARIES and makes it
// the database owner when found. False when the lookup could not be made.
bool CheckSQLSettings(DmContext &dm, const QString &libraryName);

// True when the table exists in the current library's database.
bool TableExists(DmContext &dm, const QString &table);

// The warning composed when a library's database has QUOTED_IDENTIFIER off.
QString QuotedIdentifierWarning(const QString &state, const QString &databaseName,
                                const QString &libraryName);
