#include "localdm/store/serverconnection.h"

#include "dmapi/dmerror.h"

#include <libpq-fe.h>

#include <array>

namespace {

const QString Source = QStringLiteral("Local DM");
constexpr qint32 DatabaseError = 1002;

} // namespace

void ServerConnectionClose::operator()(pg_conn *connection) const
{
    PQfinish(connection);
}

ServerConnection ConnectToServer(const LibraryConfig &config, const QString &maintenanceDatabase)
{
    const QByteArray conninfo = config.connection.toUtf8();
    const QByteArray database = maintenanceDatabase.toUtf8();
    // Later keywords win, and the connection string expands in place: the defaults come before it, the
    // maintenance database after it.
    std::array<const char *, 9> keywords = {"connect_timeout",
                                            "keepalives_idle",
                                            "keepalives_interval",
                                            "keepalives_count",
                                            "application_name",
                                            "dbname",
                                            nullptr,
                                            nullptr,
                                            nullptr};
    std::array<const char *, 9> values = {"10",    "30",    "10",   "3", "korvel", conninfo.constData(),
                                          nullptr, nullptr, nullptr};
    if (!maintenanceDatabase.isEmpty()) {
        keywords[6] = "dbname";
        values[6] = database.constData();
    }
    ServerConnection connection(PQconnectdbParams(keywords.data(), values.data(), 1));
    if (!connection)
        throw DmError(
            DatabaseError, Source,
            QStringLiteral("Library %1: out of memory opening a server connection").arg(config.name));
    if (PQstatus(connection.get()) != CONNECTION_OK)
        throw DmError(DatabaseError, Source,
                      QStringLiteral("Library %1: cannot connect to the server: %2")
                          .arg(ServerLibraryName(config, connection.get()),
                               QString::fromUtf8(PQerrorMessage(connection.get())).trimmed()));
    return connection;
}

QString ServerLibraryName(const LibraryConfig &config, const pg_conn *connection)
{
    const auto text = [](const char *value) {
        return value && *value ? QString::fromUtf8(value) : QString();
    };
    auto *conn = const_cast<pg_conn *>(connection);
    return QStringLiteral("%1 (host %2, database %3)")
        .arg(config.name, text(PQhost(conn)).isEmpty() ? QStringLiteral("default") : text(PQhost(conn)),
             text(PQdb(conn)));
}
