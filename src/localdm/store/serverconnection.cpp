#include "localdm/store/serverconnection.h"

#include "dmapi/dmerror.h"
#include "localdm/store/librarydatabase.h"

#include <QMap>

#include <libpq-fe.h>

#include <array>
#include <memory>

namespace {

struct ConninfoFree {
    void operator()(PQconninfoOption *options) const { PQconninfoFree(options); }
};
using ConninfoOptions = std::unique_ptr<PQconninfoOption, ConninfoFree>;

// The options of a connection string libpq can read; null otherwise, with libpq's reason in error.
ConninfoOptions parseConnection(const QString &connection, QString *error = nullptr)
{
    char *message = nullptr;
    ConninfoOptions options(PQconninfoParse(connection.toUtf8().constData(), &message));
    if (!options && error)
        *error = message ? QString::fromUtf8(message).trimmed() : QStringLiteral("out of memory");
    PQfreemem(message);
    return options;
}

// A value as libpq reads it back in a keyword=value string.
QString quotedValue(const char *value)
{
    QString text = QString::fromUtf8(value);
    text.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + text + u'\'';
}

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
        throw StoreError(
            QStringLiteral("Library %1: out of memory opening a server connection").arg(config.name));
    if (PQstatus(connection.get()) != CONNECTION_OK)
        throw StoreError(QStringLiteral("Library %1: cannot connect to the server: %2")
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

QString ConnectionStringFault(const QString &connection)
{
    QString error;
    const ConninfoOptions options = parseConnection(connection, &error);
    if (!options)
        return QStringLiteral("is not a connection string libpq can read: %1").arg(error);
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option)
        if (qstrcmp(option->keyword, "password") == 0 && option->val)
            return QStringLiteral("names a password: give it in libpq's password file, service file or "
                                  "environment instead");
    return {};
}

QString ConnectionWithDatabase(const QString &connection, const QString &database)
{
    QStringList parts;
    if (const ConninfoOptions options = parseConnection(connection))
        for (const PQconninfoOption *option = options.get(); option->keyword; ++option)
            if (option->val && qstrcmp(option->keyword, "dbname") != 0)
                parts << QString::fromUtf8(option->keyword) + u'=' + quotedValue(option->val);
    parts << QStringLiteral("dbname=") + quotedValue(database.toUtf8().constData());
    return parts.join(u' ');
}

QString ServerDatabaseOf(const QString &connection)
{
    if (const ConninfoOptions options = parseConnection(connection))
        for (const PQconninfoOption *option = options.get(); option->keyword; ++option)
            if (qstrcmp(option->keyword, "dbname") == 0 && option->val)
                return QString::fromUtf8(option->val);
    return {};
}

void DropServerLibrary(const LibraryConfig &config)
{
    const ServerConnection server = ConnectToServer(config, QStringLiteral("postgres"));
    // "does not exist, skipping" is what IF EXISTS is for, not news for the user's terminal.
    PQsetNoticeProcessor(
        server.get(), [](void *, const char *) {}, nullptr);
    const QByteArray database = ServerDatabaseOf(config.connection).toUtf8();
    if (database.isEmpty())
        return;
    char *identifier = PQescapeIdentifier(server.get(), database.constData(), size_t(database.size()));
    const QByteArray statement = "DROP DATABASE IF EXISTS " + QByteArray(identifier);
    PQfreemem(identifier);
    PGresult *result = PQexec(server.get(), statement.constData());
    const bool dropped = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    if (!dropped)
        throw StoreError(QStringLiteral("Library %1: cannot drop its database: %2")
                             .arg(ServerLibraryName(config, server.get()),
                                  QString::fromUtf8(PQerrorMessage(server.get())).trimmed()));
}

QString ServerDatabasePlace(const QString &connection)
{
    QMap<QByteArray, QByteArray> values;
    const auto read = [&values](PQconninfoOption *options) {
        for (PQconninfoOption *option = options; option && option->keyword; ++option)
            if (option->val && *option->val)
                values[option->keyword] = option->val;
        PQconninfoFree(options);
    };
    read(PQconndefaults());
    char *error = nullptr;
    PQconninfoOption *named = PQconninfoParse(connection.toUtf8().constData(), &error);
    PQfreemem(error);
    // A connection string libpq cannot read fails when it is taken; until then it names its own place.
    if (!named)
        return QStringLiteral("postgresql:") + connection;
    read(named);
    return QStringLiteral("postgresql://%1:%2/%3")
        .arg(QString::fromUtf8(values.value("host")), QString::fromUtf8(values.value("port")),
             QString::fromUtf8(values.value("dbname", values.value("user"))));
}
