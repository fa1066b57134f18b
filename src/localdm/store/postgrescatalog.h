#pragma once

#include "localdm/installation.h"

#include <QStringList>

#include <utility>

// The catalog a library on a PostgreSQL server offers the pass-through, as LibraryDatabase offers it on
// SQLite: sys.databases, the views sysobjects, ALL_TABLES and USER_TAB_PRIVS over the library's tables, and
// the functions object_id, serverproperty, GETUTCDATE, SYSDATE, LEN, INSTR, DM_TO_DATE (Oracle's TO_DATE,
// renamed as pg_catalog has its own) and DM_TRY_INT (TRY_CAST to an integer). All live in the schema
// "sys"; the facts of the installation file (database name, compatibility level, product version) are
// session settings, so one catalog serves every installation that names the library.

// The schema of the library's tables: the owner's name in lower case, as unquoted names reach it.
QString PostgresSchemaName(const LibraryConfig &config);

// Creates the library's database, run on the server's maintenance database. Its locale orders text by
// code point, as the servers' binary (Oracle) and case-insensitive sort orders do, whatever the server's
// default, and lets upper() and citext fold every letter, not only ASCII ones.
QString PostgresCreateDatabaseStatement(const QString &database);

// Creates the catalog in the library database; run after LibrarySchemaStatements() when the library is
// created. Each statement replaces what it makes, so running them again brings an older catalog up to date.
QStringList PostgresCatalogStatements(const LibraryConfig &config);

// The installation's facts about the library that the catalog reads, as settings of the session (name and
// value); a new session sets them first, as values, never as SQL text.
QList<std::pair<QString, QString>> PostgresSessionSettings(const LibraryConfig &config);
