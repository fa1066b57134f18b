#include "localdm/store/servermovelock.h"

#include "dmapi/dmerror.h"

#include <QThread>

#include <libpq-fe.h>

#include <array>

namespace {

struct ResultClear {
    void operator()(PGresult *result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

const QByteArray Key = QByteArray::number(ServerMoveLock::MoveLockKey);

// In the simple protocol, which runs several statements of one text as one transaction.
Result run(pg_conn *connection, const QByteArray &statements)
{
    return Result(PQexec(connection, statements.constData()));
}

bool succeeded(const Result &result)
{
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    return status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
}

// The one boolean a statement answers; false when it fails.
bool isTrue(pg_conn *connection, const QByteArray &statement)
{
    const Result result = run(connection, statement);
    return succeeded(result) && PQntuples(result.get()) == 1 && PQgetvalue(result.get(), 0, 0)[0] == 't';
}

bool tableExists(pg_conn *connection)
{
    return isTrue(connection, "SELECT to_regclass('public.korvel_move_lock') IS NOT NULL");
}

} // namespace

ServerMoveLock::ServerMoveLock(LibraryConfig config)
    : m_config(std::move(config)), m_place(ServerDatabasePlace(m_config.connection, m_config.name))
{
}

ServerMoveLock::~ServerMoveLock()
{
    release();
}

LibraryLock::Taking ServerMoveLock::take(Mode mode)
{
    release();
    try {
        m_connection = ConnectToServer(m_config, {}, ApplicationName.toString());
    } catch (const DmError &error) {
        return {.said = error.description()};
    }
    pg_conn *connection = m_connection.get();
    const QString name = ServerLibraryName(m_config, connection);
    const Result locked = run(connection, (mode == Mode::Exclusive ? "SELECT pg_try_advisory_lock("
                                                                   : "SELECT pg_try_advisory_lock_shared(") +
                                              Key + ')');
    if (!succeeded(locked)) {
        const QString reason = ServerMessageLine(PQerrorMessage(connection));
        release();
        return {.said = QStringLiteral("Library %1: the move lock cannot be taken: %2").arg(name, reason)};
    }
    if (PQgetvalue(locked.get(), 0, 0)[0] == 't')
        return {.outcome = Taking::Outcome::Locked, .holder = readHolder()};
    // A shared lock given to a refused exclusive taker shows that only previews hold it.
    Taking busy = {.outcome = Taking::Outcome::Busy, .said = name};
    busy.sharedOnly =
        mode == Mode::Exclusive && isTrue(connection, "SELECT pg_try_advisory_lock_shared(" + Key + ')');
    // The holder writes its details just after it took the lock: one refused in between waits a moment
    // for them, so that the refusal can name who holds it.
    for (int tries = 0; !busy.sharedOnly && tries < 10 && (busy.holder = readHolder()).process == 0; ++tries)
        QThread::msleep(100);
    release();
    return busy;
}

// A database where no move ever left its details has no table to read, and a preview makes none.
LibraryLock::Holder ServerMoveLock::readHolder() const
{
    if (!tableExists(m_connection.get()))
        return {};
    const Result result = run(m_connection.get(),
                              "SELECT process, host, user_name, since, command FROM public.korvel_move_lock");
    if (!succeeded(result) || PQntuples(result.get()) == 0)
        return {};
    const auto field = [&result](int column) {
        return QString::fromUtf8(PQgetvalue(result.get(), 0, column));
    };
    return {field(0).toLongLong(), field(1), field(2), field(3), field(4)};
}

void ServerMoveLock::leave(const Holder &holder)
{
    pg_conn *connection = m_connection.get();
    if (!connection)
        return;
    // A role that may not create the table leaves no details, and no error in the server's log; the lock
    // holds all the same.
    if (!tableExists(connection) &&
        (!isTrue(connection, "SELECT has_schema_privilege('public', 'CREATE')") ||
         !succeeded(run(connection,
                        "CREATE TABLE public.korvel_move_lock (process bigint NOT NULL, host text NOT NULL, "
                        "user_name text NOT NULL, since text NOT NULL, command text NOT NULL); "
                        "GRANT SELECT, INSERT, DELETE ON public.korvel_move_lock TO PUBLIC"))))
        return;
    const std::array<QByteArray, 5> values = {QByteArray::number(holder.process), holder.host.toUtf8(),
                                              holder.user.toUtf8(), holder.since.toUtf8(),
                                              holder.command.toUtf8()};
    const std::array<const char *, 5> parameters = {values[0].constData(), values[1].constData(),
                                                    values[2].constData(), values[3].constData(),
                                                    values[4].constData()};
    // Replaced in one statement, so that a reader never finds the table empty between.
    const Result written(
        PQexecParams(connection,
                     "WITH gone AS (DELETE FROM public.korvel_move_lock) "
                     "INSERT INTO public.korvel_move_lock VALUES ($1::bigint, $2, $3, $4, $5)",
                     int(parameters.size()), nullptr, parameters.data(), nullptr, nullptr, 0));
    m_left = succeeded(written);
}

// The server ends the lock with its session only: a session that answers still holds it.
QString ServerMoveLock::lost()
{
    pg_conn *connection = m_connection.get();
    if (connection && PQstatus(connection) == CONNECTION_OK && succeeded(run(connection, "SELECT 1")))
        return {};
    const QString reason =
        connection ? ServerMessageLine(PQerrorMessage(connection)) : QStringLiteral("it is not held");
    return QStringLiteral("Library %1: the move lock was lost: %2")
        .arg(connection ? ServerLibraryName(m_config, connection) : m_config.name, reason);
}

void ServerMoveLock::release()
{
    // Unlocked before the session ends, as the server may end it after the next taker has come. Details
    // left uncleared (the connection was lost) make the next move name this one as interrupted, which
    // is harmless.
    if (m_connection)
        run(m_connection.get(), m_left
                                    ? "DELETE FROM public.korvel_move_lock; SELECT pg_advisory_unlock_all()"
                                    : "SELECT pg_advisory_unlock_all()");
    m_left = false;
    m_connection.reset();
}

QList<LibraryLockMaker> ServerMoveLocks(const Installation &installation)
{
    QList<LibraryLockMaker> makers;
    for (const LibraryConfig &library : installation.libraries)
        if (library.onServer())
            makers << [library] { return std::make_unique<ServerMoveLock>(library); };
    return makers;
}
