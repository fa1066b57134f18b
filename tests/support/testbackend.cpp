#include "support/testbackend.h"

#include "localdm/store/serverconnection.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <libpq-fe.h>

#include <atomic>
#include <stdexcept>

namespace {

const char *const BackendVariable = "KORVEL_TEST_BACKEND";
const char *const ServerVariable = "KORVEL_TEST_POSTGRESQL";

QString databaseName(const QString &library)
{
    static const QRegularExpression unsafe(QStringLiteral("[^a-z0-9_]"));
    return UniqueTestDatabasePrefix() + u'_' + library.toLower().replace(unsafe, QStringLiteral("_"));
}

// The dbname a connection string names.
QString databaseOf(const QString &connection)
{
    QString database;
    PQconninfoOption *options = PQconninfoParse(connection.toUtf8().constData(), nullptr);
    for (const PQconninfoOption *option = options; option && option->keyword; ++option)
        if (qstrcmp(option->keyword, "dbname") == 0 && option->val)
            database = QString::fromUtf8(option->val);
    PQconninfoFree(options);
    return database;
}

// A name as a double-quoted SQL identifier.
QString quotedName(QString name)
{
    return u'"' + name.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

bool TestLibrariesOnServer()
{
    const QString backend = qEnvironmentVariable(BackendVariable).trimmed().toLower();
    if (backend.isEmpty() || backend == QStringLiteral("sqlite"))
        return false;
    if (backend != QStringLiteral("postgresql"))
        throw std::runtime_error(QStringLiteral("%1=%2 is no back end the tests know: sqlite or postgresql")
                                     .arg(QString::fromUtf8(BackendVariable), backend)
                                     .toStdString());
    return true;
}

QString TestServerConnection()
{
    const QString connection = qEnvironmentVariable(ServerVariable).trimmed();
    if (connection.isEmpty())
        throw std::runtime_error(
            QStringLiteral("%1=postgresql asks for libraries on a PostgreSQL server, but "
                           "%2 names none: run the tests through scripts/test, or set "
                           "%2 to a base connection string such as "
                           "\"host=/tmp/pg port=5432 user=postgres\"")
                .arg(QString::fromUtf8(BackendVariable), QString::fromUtf8(ServerVariable))
                .toStdString());
    return connection;
}

namespace {

// Drops, when the process that made them ends, every database of the test server whose name starts with
// that process's "kt_<pid>_": a run makes hundreds, each a full copy of the server's template. A death
// test's child, which ends with a copy of this object, leaves them to its parent.
class ProcessDatabases {
public:
    ProcessDatabases() : m_owner(QCoreApplication::applicationPid()) {}
    ~ProcessDatabases()
    {
        if (QCoreApplication::applicationPid() != m_owner || !TestLibrariesOnServer())
            return;
        const QByteArray conninfo = (TestServerConnection() + QStringLiteral(" dbname=postgres")).toUtf8();
        PGconn *server = PQconnectdb(conninfo.constData());
        const QByteArray names = "SELECT datname FROM pg_database WHERE left(datname, " +
                                 QByteArray::number(prefix().size()) + ") = '" + prefix() + "'";
        PGresult *made = PQexec(server, names.constData());
        for (int row = 0; row < PQntuples(made); ++row)
            PQclear(PQexec(server, ("DROP DATABASE IF EXISTS " +
                                    quotedName(PQgetvalue(made, row, 0)).toUtf8() + " WITH (FORCE)")
                                       .constData()));
        PQclear(made);
        PQfinish(server);
    }

    static QByteArray prefix()
    {
        return "kt_" + QByteArray::number(QCoreApplication::applicationPid()) + '_';
    }

private:
    const qint64 m_owner;
};

} // namespace

QString UniqueTestDatabasePrefix()
{
    static ProcessDatabases dropAtExit;
    static std::atomic<int> next = 0;
    return QString::fromLatin1(ProcessDatabases::prefix()) + QString::number(++next);
}

void PlaceTestLibrary(LibraryConfig &config)
{
    if (!TestLibrariesOnServer())
        return;
    config.connection = TestServerConnection() + QStringLiteral(" dbname=") + databaseName(config.name);
    config.databaseFile.clear();
}

int SweepStride()
{
    return TestLibrariesOnServer() ? 5 : 1;
}

QString CreateTestDemo(const QString &parent, DemoSize size, const QString &user)
{
    if (!TestLibrariesOnServer())
        return CreateDemoInstallation(parent + QStringLiteral("/demo"), size, user);
    return CreateDemoInstallation(parent + u'/' + UniqueTestDatabasePrefix(), size, user,
                                  TestServerConnection());
}

LibraryConfig CopyTestLibrary(const LibraryConfig &library)
{
    const ServerConnection server = ConnectToServer(library, QStringLiteral("postgres"));
    LibraryConfig copy = library;
    const QString database = databaseName(library.name);
    copy.connection = ConnectionWithDatabase(library.connection, database);
    const QString statement = QStringLiteral("CREATE DATABASE %1 TEMPLATE %2")
                                  .arg(quotedName(database), quotedName(databaseOf(library.connection)));
    PGresult *result = PQexec(server.get(), statement.toUtf8().constData());
    const bool made = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    if (!made)
        throw std::runtime_error(
            QStringLiteral("Cannot copy library %1 on the test server: %2")
                .arg(library.name, QString::fromUtf8(PQerrorMessage(server.get())).trimmed())
                .toStdString());
    return copy;
}
