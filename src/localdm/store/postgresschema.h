#pragma once

#include "localdm/installation.h"

#include <QStringList>

// The first key of the advisory lock of a folder's item list ("KF"); the second is the folder's number.
inline constexpr int PostgresFolderListLockClass = 0x4b46;

// Everything that lays out a new, empty library database on PostgreSQL, in the order to run.
QStringList PostgresLibraryStatements(const LibraryConfig &config, bool indexes);
// The library's indexes, and its folder list indexes alone, each made only when missing.
QStringList PostgresIndexStatements(const LibraryConfig &config);
QStringList PostgresFolderListIndexStatements(const LibraryConfig &config);
// The search path of a connection to the library: its owner's schema first, then the catalog (sys),
// then public, where citext lives.
QString PostgresSearchPath(const LibraryConfig &config);
