#pragma once

#include "localdm/installation.h"

#include <memory>

struct pg_conn;

struct ServerConnectionClose {
    void operator()(pg_conn *connection) const;
};
using ServerConnection = std::unique_ptr<pg_conn, ServerConnectionClose>;

// Opens a connection to the database of a library on a server, or, given maintenanceDatabase, to that
// database of the same server (to create or drop the library's own). Waits at most ten seconds for the
// server unless the connection string says otherwise, and asks the system to notice a peer that went
// silent, so a dropped network fails a call instead of hanging it. The session is exempt from the
// server's idle limits and reads quoted text as the standard has it (no backslash escapes); a server
// that will not is refused. The server's notices are not shown. application names the session in the
// server's pg_stat_activity. Throws DmError naming the library, host and database, libpq's reason and
// what to check (the server, the library's Connection=), never the connection string's values.
ServerConnection ConnectToServer(const LibraryConfig &config, const QString &maintenanceDatabase = {},
                                 const QString &application = QStringLiteral("korvel"));

// libpq's own text as one line of ours, so that a log entry stays one line: its lines (the later ones
// indented with a tab, "\tIs the server running ...?") trimmed and joined by " - ".
QString ServerMessageLine(const char *message);

// How messages name a library on a server: "CORPORATE (host /run/postgresql, database dm_corporate)".
QString ServerLibraryName(const LibraryConfig &config, const pg_conn *connection);

// Why libpq cannot take a library's connection string, as the end of a sentence ("is not ...", "names a
// password ..."), quoting none of its values; empty when it can. A password (password, sslpassword) is
// refused: it would sit in a file others read.
QString ConnectionStringFault(const QString &connection);

// The connection string with its database replaced by database, in keyword='value' form; what else it
// names (host, port, user, service, options) is kept.
QString ConnectionWithDatabase(const QString &connection, const QString &database);

// Drops the database of a library on a server, if it exists, through the server's postgres database:
// undoes a creation that failed half way. Nobody may be connected to it. Throws DmError naming the
// library and the server's reason.
void DropServerLibrary(const LibraryConfig &config);

// Whether the database of a library on a server exists, asked through the server's postgres database.
// Throws DmError naming the library and the server's reason.
bool ServerLibraryExists(const LibraryConfig &config);

// The dropdb command that drops the database of a library on a server, with the host, port and user its
// connection string names (libpq's defaults and environment fill in the rest, as for Korvel itself).
QString DropDatabaseCommand(const LibraryConfig &config);

// The database a connection string names (its dbname); empty when it names none or cannot be read.
QString ServerDatabaseOf(const QString &connection);

// Where a connection string leads, with libpq's defaults filled in, as "postgresql://HOST:PORT/DATABASE":
// two strings that give one text reach one database. A string libpq cannot read is named by its library,
// as the string may hold what no message shows.
QString ServerDatabasePlace(const QString &connection, const QString &library);
