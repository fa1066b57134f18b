#pragma once

#include "localdm/installation.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <utility>

struct sqlite3;

// What a server's catalog offers the program's SQL, stood in for on a connection to a library in a SQLite
// file: a "sys" schema with "databases", the temporary views "sysobjects", "ALL_TABLES" and
// "USER_TAB_PRIVS", and the functions UPPER and LOWER (Unicode-aware), object_id, serverproperty,
// GETUTCDATE, SYSDATE, LEN, TO_DATE and LIKE as the claimed server matches, and the collation DMNOCASE
// (Unicode, case-insensitive) for the personalities that order names that way.

// Needed by every connection to a library file: its text columns and their indexes name the collation.
void SqliteRegisterCollation(sqlite3 *db);

// The config is read on every call of serverproperty and LIKE, so it must outlive the connection.
void SqliteRegisterCatalogFunctions(sqlite3 *db, const LibraryConfig &config);

// The statements (SQL and bound values) that make the "sys" schema and the views; run on each connection
// once the library's file is attached under its owner's name.
QList<std::pair<QString, QVariantList>> SqliteCatalogStatements(const LibraryConfig &config);
