#pragma once

#include "localdm/installation.h"

#include <QStringList>

// Everything that lays out a new, empty library database on PostgreSQL, in the order to run.
QStringList PostgresLibraryStatements(const LibraryConfig &config, bool indexes);
// The library's indexes, and its folder list indexes alone, each made only when missing.
QStringList PostgresIndexStatements(const LibraryConfig &config);
QStringList PostgresFolderListIndexStatements(const LibraryConfig &config);
// The search path of a connection to the library: its owner's schema first.
QString PostgresSearchPath(const LibraryConfig &config);
