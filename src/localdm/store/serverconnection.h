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
// silent, so a dropped network fails a call instead of hanging it. Throws DmError naming the library,
// host and database, never a password.
ServerConnection ConnectToServer(const LibraryConfig &config, const QString &maintenanceDatabase = {});

// How messages name a library on a server: "CORPORATE (host /run/postgresql, database dm_corporate)".
QString ServerLibraryName(const LibraryConfig &config, const pg_conn *connection);
