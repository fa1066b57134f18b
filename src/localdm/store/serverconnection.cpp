#include "localdm/store/serverconnection.h"

#include "dmapi/dmerror.h"
#include "dmapi/shellword.h"
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

// libpq's reason why it cannot read a connection string quotes the string, or the part of it it stopped
// at, which may be a password. The one-character parts it quotes first (the '=' it looked for) are kept;
// from the first longer quoted part to the last quote, as a value may hold quotes itself, all is left out.
QString withoutValues(const QString &message)
{
    qsizetype open = message.indexOf(u'"');
    while (open >= 0) {
        const qsizetype close = message.indexOf(u'"', open + 1);
        if (close < 0 || close - open > 2)
            break;
        open = message.indexOf(u'"', close + 1);
    }
    if (open < 0)
        return message.trimmed();
    const qsizetype last = message.lastIndexOf(u'"');
    return (message.left(open) + QStringLiteral("\"...\"") +
            (last > open ? message.mid(last + 1) : QString()))
        .trimmed();
}

// The options of a connection string libpq can read; null otherwise, with libpq's reason in error.
ConninfoOptions parseConnection(const QString &connection, QString *error = nullptr)
{
    char *message = nullptr;
    ConninfoOptions options(PQconninfoParse(connection.toUtf8().constData(), &message));
    if (!options && error)
        *error = message ? withoutValues(QString::fromUtf8(message)) : QStringLiteral("out of memory");
    PQfreemem(message);
    return options;
}

// Korvel's own sessions wait idle for as long as a move runs (the move lock's above all), and the
// pass-through doubles quotes in its literals, so no backslash may act as an escape; a setting a server
// lacks (idle_session_timeout before PostgreSQL 14) is left out. One round trip.
QString settleSession(pg_conn *connection)
{
    PGresult *result =
        PQexec(connection,
               "SELECT set_config(name, CASE name WHEN 'standard_conforming_strings' THEN 'on' ELSE '0' END, "
               "false) FROM pg_catalog.pg_settings WHERE name IN ('idle_session_timeout', "
               "'idle_in_transaction_session_timeout', 'standard_conforming_strings')");
    QString fault;
    if (PQresultStatus(result) != PGRES_TUPLES_OK)
        fault = ServerMessageLine(PQerrorMessage(connection));
    else if (qstrcmp(PQparameterStatus(connection, "standard_conforming_strings"), "on") != 0)
        fault = QStringLiteral("the server keeps standard_conforming_strings off, so a backslash in a "
                               "quoted text would be an escape");
    PQclear(result);
    return fault;
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

ServerConnection ConnectToServer(const LibraryConfig &config, const QString &maintenanceDatabase,
                                 const QString &application)
{
    const QByteArray conninfo = config.connection.toUtf8();
    const QByteArray database = maintenanceDatabase.toUtf8();
    const QByteArray applicationName = application.toUtf8();
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
    std::array<const char *, 9> values = {
        "10", "30", "10", "3", applicationName.constData(), conninfo.constData(), nullptr, nullptr, nullptr};
    if (!maintenanceDatabase.isEmpty()) {
        keywords[6] = "dbname";
        values[6] = database.constData();
    }
    ServerConnection connection(PQconnectdbParams(keywords.data(), values.data(), 1));
    if (!connection)
        throw StoreError(
            QStringLiteral("Library %1: out of memory opening a server connection").arg(config.name));
    if (PQstatus(connection.get()) != CONNECTION_OK) {
        // The server's own reasons name no password; libpq's reason for a string it cannot read quotes it.
        QString reason;
        if (parseConnection(config.connection, &reason))
            reason = ServerMessageLine(PQerrorMessage(connection.get()));
        throw StoreError(
            QStringLiteral("Library %1: cannot connect to the server: %2 - check that the server "
                           "is running and that the installation file's Connection= of library "
                           "%3 leads to it")
                .arg(ServerLibraryName(config, connection.get()), reason, config.name));
    }
    // The server's notices and warnings (an ANALYZE that skips a table this role does not own, a DROP
    // ... IF EXISTS that found nothing) would reach the user's terminal raw, in the middle of our lines;
    // what matters to the user fails the statement and is reported with it.
    PQsetNoticeProcessor(
        connection.get(), [](void *, const char *) {}, nullptr);
    if (const QString fault = settleSession(connection.get()); !fault.isEmpty())
        throw StoreError(QStringLiteral("Library %1: the server session cannot be set up: %2")
                             .arg(ServerLibraryName(config, connection.get()), fault));
    return connection;
}

QString ServerMessageLine(const char *message)
{
    QStringList lines = QString::fromUtf8(message).split(u'\n');
    for (QString &line : lines)
        line = line.simplified();
    lines.removeAll(QString());
    return lines.join(QStringLiteral(" - "));
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
        if ((qstrcmp(option->keyword, "password") == 0 || qstrcmp(option->keyword, "sslpassword") == 0) &&
            option->val)
            return QStringLiteral("names a password (%1): give it in libpq's password file, service file or "
                                  "environment instead")
                .arg(QString::fromUtf8(option->keyword));
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
                                  ServerMessageLine(PQerrorMessage(server.get()))));
}

bool ServerLibraryExists(const LibraryConfig &config)
{
    const ServerConnection server = ConnectToServer(config, QStringLiteral("postgres"));
    const QByteArray database = ServerDatabaseOf(config.connection).toUtf8();
    const char *value = database.constData();
    PGresult *result = PQexecParams(server.get(), "SELECT 1 FROM pg_database WHERE datname = $1", 1, nullptr,
                                    &value, nullptr, nullptr, 0);
    const bool answered = PQresultStatus(result) == PGRES_TUPLES_OK;
    const bool exists = answered && PQntuples(result) > 0;
    PQclear(result);
    if (!answered)
        throw StoreError(QStringLiteral("Library %1: cannot look for its database: %2")
                             .arg(ServerLibraryName(config, server.get()),
                                  QString::fromUtf8(PQerrorMessage(server.get())).trimmed()));
    return exists;
}

QString DropDatabaseCommand(const LibraryConfig &config)
{
    static const QList<std::pair<const char *, QString>> switches = {
        {"host", QStringLiteral("-h")}, {"port", QStringLiteral("-p")}, {"user", QStringLiteral("-U")}};
    QStringList words{QStringLiteral("dropdb")};
    if (const ConninfoOptions options = parseConnection(config.connection))
        for (const auto &[keyword, flag] : switches)
            for (const PQconninfoOption *option = options.get(); option->keyword; ++option)
                if (qstrcmp(option->keyword, keyword) == 0 && option->val && *option->val)
                    words << flag << ShellWord(QString::fromUtf8(option->val));
    words << ShellWord(ServerDatabaseOf(config.connection));
    return words.join(u' ');
}

QString ServerDatabasePlace(const QString &connection, const QString &library)
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
    // A connection string libpq cannot read fails when it is used; until then its library stands for it.
    if (!named)
        return QStringLiteral("postgresql:library ") + library;
    read(named);
    return QStringLiteral("postgresql://%1:%2/%3")
        .arg(QString::fromUtf8(values.value("host")), QString::fromUtf8(values.value("port")),
             QString::fromUtf8(values.value("dbname", values.value("user"))));
}
