#include "localdm/store/postgreslibrary.h"

#include "dmapi/dmerror.h"
#include "dmapi/sqllexer.h"
#include "localdm/store/postgrescatalog.h"
#include "localdm/store/postgresschema.h"

#include <QScopeGuard>

#include <libpq-fe.h>

#include <vector>

namespace {

constexpr int BoolOid = 16;
constexpr int Int8Oid = 20;
constexpr int Int2Oid = 21;
constexpr int Int4Oid = 23;
constexpr int Float4Oid = 700;
constexpr int Float8Oid = 701;
constexpr int NumericOid = 1700;
// Statements prepared for the DM's own texts before the oldest are freed again.
constexpr qsizetype PreparedLimit = 512;

// How long a statement waits for a lock another connection holds: $KORVEL_DM_LOCK_TIMEOUT seconds, else 10.
int lockTimeout()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("KORVEL_DM_LOCK_TIMEOUT", &ok);
    return ok && seconds > 0 ? seconds : 10;
}

void clearResult(pg_result *result)
{
    PQclear(result);
}

bool succeeded(const pg_result *result)
{
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
}

QString fieldText(const pg_result *result, int field)
{
    const char *value = PQresultErrorField(result, field);
    return value ? QString::fromUtf8(value) : QString();
}

// "?1" of the DM's statements becomes "$1"; a "?" without a number takes the next one, as in SQLite.
QString withDollarParameters(const QString &sql)
{
    SqlLexer lexer(sql);
    int next = 0;
    for (qsizetype i = 0; i < lexer.size(); ++i) {
        if (!lexer[i].isOperator(u"?"))
            continue;
        const bool numbered = i + 1 < lexer.size() && lexer[i + 1].kind == SqlTokenKind::Number;
        if (numbered) {
            next = lexer[i + 1].text.toInt();
            lexer.replace(i, QStringLiteral("$"));
        } else {
            lexer.replace(i, QStringLiteral("$%1").arg(++next));
        }
    }
    return lexer.toString();
}

// The values of a row, as SQLite would give them: whole numbers as qint64, booleans as 1 and 0.
QVariant valueOf(const pg_result *result, int row, int column)
{
    auto *r = const_cast<pg_result *>(result);
    if (PQgetisnull(r, row, column))
        return {};
    const char *text = PQgetvalue(r, row, column);
    switch (PQftype(r, column)) {
    case BoolOid:
        return QVariant(qint64(text[0] == 't' ? 1 : 0));
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
        return QVariant(QByteArray(text).toLongLong());
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
        return QVariant(QByteArray(text).toDouble());
    default:
        return QString::fromUtf8(text, PQgetlength(r, row, column));
    }
}

// The values of binds as libpq takes them: text, NULL for an invalid value.
struct BoundValues {
    explicit BoundValues(const QVariantList &binds)
    {
        texts.reserve(binds.size());
        for (const QVariant &value : binds)
            texts.push_back(value.isNull()                      ? QByteArray()
                            : value.typeId() == QMetaType::Bool ? QByteArray(value.toBool() ? "1" : "0")
                                                                : value.toString().toUtf8());
        for (qsizetype i = 0; i < binds.size(); ++i)
            pointers.push_back(binds[i].isNull() ? nullptr : texts[i].constData());
    }
    std::vector<QByteArray> texts;
    std::vector<const char *> pointers;
};

class PostgresStatement final : public StoredStatement {
public:
    PostgresStatement(pg_conn *connection, QByteArray name, int parameters, bool readOnly)
        : m_connection(connection), m_name(std::move(name)), m_parameters(parameters), m_readOnly(readOnly)
    {
    }
    ~PostgresStatement() override
    {
        // On a lost connection there is nothing left to free.
        if (PQstatus(m_connection) == CONNECTION_OK && PQtransactionStatus(m_connection) != PQTRANS_INERROR)
            PQclear(PQexec(m_connection, ("DEALLOCATE " + m_name).constData()));
    }
    int parameterCount() const override { return m_parameters; }
    bool readOnly() const override { return m_readOnly; }
    const QByteArray &name() const { return m_name; }

private:
    pg_conn *m_connection;
    QByteArray m_name;
    int m_parameters;
    bool m_readOnly;
};

} // namespace

PostgresLibrary::PostgresLibrary(const LibraryConfig &config)
    : LibraryDatabase(config), m_connection(ConnectToServer(config))
{
    m_name = ServerLibraryName(config, m_connection.get());
    PQsetClientEncoding(m_connection.get(), "UTF8");
    QList<std::pair<QString, QString>> settings = PostgresSessionSettings(config);
    settings << std::pair(QStringLiteral("search_path"), PostgresSearchPath(config))
             << std::pair(QStringLiteral("lock_timeout"), QStringLiteral("%1s").arg(lockTimeout()));
    if (config.readOnly)
        settings << std::pair(QStringLiteral("default_transaction_read_only"), QStringLiteral("on"));
    settle(settings);
    if (scalar(QStringLiteral("SELECT to_regclass('profile') IS NOT NULL")).toInt() == 0)
        throw StoreError(QStringLiteral("Library %1: not a library database (no PROFILE table)").arg(m_name));
}

PostgresLibrary::~PostgresLibrary() = default;

void PostgresLibrary::create(const LibraryConfig &config, bool indexes)
{
    const QString database = ServerDatabaseOf(config.connection);
    ServerConnection server = ConnectToServer(config, QStringLiteral("postgres"));
    const QString name = QStringLiteral("%1 (host %2, database %3)")
                             .arg(config.name, QString::fromUtf8(PQhost(server.get())), database);
    const auto run = [&name](pg_conn *connection, const QByteArray &statement, const QByteArray &value = {}) {
        const char *parameter = value.constData();
        const Result result(value.isNull() ? PQexec(connection, statement.constData())
                                           : PQexecParams(connection, statement.constData(), 1, nullptr,
                                                          &parameter, nullptr, nullptr, 0),
                            clearResult);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw StoreError(QStringLiteral("Library %1: cannot create the library: %2")
                                 .arg(name, ServerMessageLine(PQresultErrorMessage(result.get()))));
        return PQntuples(result.get());
    };
    if (database.isEmpty())
        throw StoreError(
            QStringLiteral("Library %1: the connection string names no database (dbname=)").arg(name));
    if (run(server.get(), "SELECT 1 FROM pg_database WHERE datname = $1", database.toUtf8()) > 0)
        throw StoreError(QStringLiteral("Library %1: the database exists already").arg(name));
    run(server.get(), PostgresCreateDatabaseStatement(database).toUtf8());
    try {
        ServerConnection library = ConnectToServer(config);
        QStringList statements = PostgresLibraryStatements(config, indexes);
        statements.prepend(QStringLiteral("BEGIN"));
        statements << QStringLiteral("COMMIT");
        for (const QString &statement : std::as_const(statements))
            run(library.get(), statement.toUtf8());
    } catch (const DmError &) {
        // Nothing half-made is left under the library's name; the failure to report is the first one.
        try {
            DropServerLibrary(config);
        } catch (const DmError &) {
        }
        throw;
    }
}

QStringList PostgresLibrary::addFolderListIndexes()
{
    const QString names =
        QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname = current_schema()");
    QStringList before;
    for (const QVariantList &row : query(names))
        before << row[0].toString();
    Transaction transaction(*this);
    for (const QString &statement : PostgresFolderListIndexStatements(m_config))
        exec(statement);
    transaction.commit();
    QStringList added;
    for (const QVariantList &row : query(names))
        if (!before.contains(row[0].toString()))
            added << row[0].toString();
    return added;
}

QStringList PostgresLibrary::indexStatements() const
{
    return PostgresIndexStatements(m_config);
}

QByteArray PostgresLibrary::preparedName(const QString &sql, const QVariantList &binds, bool guard)
{
    if (const auto found = m_prepared.constFind(sql); found != m_prepared.cend())
        return *found;
    if (m_prepared.size() >= PreparedLimit) {
        for (const QByteArray &name : std::as_const(m_prepared))
            PQclear(PQexec(m_connection.get(), ("DEALLOCATE " + name).constData()));
        m_prepared.clear();
    }
    const QByteArray name = "dm" + QByteArray::number(++m_statementCount);
    // Whole numbers are sent as bigint, so a value used twice in a statement is of one type wherever it
    // stands; text is left for the server to type by where it stands, so it compares as its column does.
    std::vector<unsigned int> types;
    for (const QVariant &value : binds) {
        const int type = value.typeId();
        types.push_back(type == QMetaType::Double ? Float8Oid
                        : type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
                                type == QMetaType::ULongLong || type == QMetaType::Bool
                            ? Int8Oid
                            : 0);
    }
    const Result result = alone(guard, [&] {
        return PQprepare(m_connection.get(), name.constData(), withDollarParameters(sql).toUtf8().constData(),
                         int(types.size()), types.data());
    });
    if (!succeeded(result.get()))
        raise(result.get(), sql);
    m_prepared.insert(sql, name);
    return name;
}

pg_result *PostgresLibrary::execute(const QByteArray &name, const QVariantList &binds)
{
    QVariantList values;
    values.reserve(binds.size());
    for (const QVariant &value : binds)
        values << bindable(value);
    const BoundValues bound(values);
    return PQexecPrepared(m_connection.get(), name.constData(), int(values.size()), bound.pointers.data(),
                          nullptr, nullptr, 0);
}

QList<QVariantList> PostgresLibrary::query(const QString &sql, const QVariantList &binds)
{
    checkInPlace();
    // A DM call's own transaction is undone whole when a statement fails; a statement outside one, inside a
    // transaction the pass-through holds open, must not spoil that.
    const bool guard = m_work == 0 && inTransaction();
    const QByteArray name = preparedName(sql, binds, guard);
    const Result result = alone(guard, [&] { return execute(name, binds); });
    if (!succeeded(result.get()))
        raise(result.get(), sql);
    noteWritten(result.get());
    QList<QVariantList> rows;
    const int count = PQntuples(result.get());
    const int columns = PQnfields(result.get());
    rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row << valueOf(result.get(), r, c);
        rows << row;
    }
    return rows;
}

PostgresLibrary::Result PostgresLibrary::alone(bool guard, const std::function<pg_result *()> &call)
{
    if (guard)
        PQclear(PQexec(m_connection.get(), "SAVEPOINT dm_statement"));
    Result result(call(), clearResult);
    if (guard) {
        noteLost();
        if (!m_lost)
            PQclear(PQexec(m_connection.get(), succeeded(result.get())
                                                   ? "RELEASE dm_statement"
                                                   : "ROLLBACK TO dm_statement; RELEASE dm_statement"));
    }
    return result;
}

void PostgresLibrary::noteWritten(const pg_result *result)
{
    auto *r = const_cast<pg_result *>(result);
    if (qstrncmp(PQcmdStatus(r), "INSERT", 6) == 0)
        m_inserted += QByteArray(PQcmdTuples(r)).toLongLong();
    if (!inTransaction())
        analyzeWhenGrown();
}

void PostgresLibrary::analyzeWhenGrown()
{
    // A statement prepared while a table was small keeps the plan of a small table (a full scan) until the
    // table's statistics change; a move that fills a folder of thousands would then read the whole folder
    // for every link. Analysing whenever this connection's inserts have doubled keeps the plans apt, at a
    // cost that grows with the logarithm of the move. Other writers' rows are the server's autovacuum's.
    if (m_inserted < m_analyzeAt)
        return;
    m_analyzeAt = 2 * m_inserted;
    PQclear(PQexec(m_connection.get(), "ANALYZE"));
}

// Every setting in one round trip, the values as parameters: an installation file's text is never SQL.
void PostgresLibrary::settle(const QList<std::pair<QString, QString>> &settings)
{
    QStringList calls;
    QVariantList values;
    for (const auto &[name, value] : settings) {
        calls << QStringLiteral("set_config($%1, $%2, false)").arg(values.size() + 1).arg(values.size() + 2);
        values << name << value;
    }
    const QString statement = QStringLiteral("SELECT ") + calls.join(QStringLiteral(", "));
    const BoundValues bound(values);
    const Result result(PQexecParams(m_connection.get(), statement.toUtf8().constData(), int(values.size()),
                                     nullptr, bound.pointers.data(), nullptr, nullptr, 0),
                        clearResult);
    if (!succeeded(result.get()))
        raise(result.get(), statement);
}

void PostgresLibrary::command(const char *statement)
{
    const Result result(PQexec(m_connection.get(), statement), clearResult);
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        raise(result.get(), QString::fromUtf8(statement));
}

void PostgresLibrary::noteLost()
{
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        m_lost = true;
}

void PostgresLibrary::checkInPlace()
{
    noteLost();
    if (m_lost)
        throw StoreError(
            QStringLiteral("Library %1: the connection to the server was lost - nothing more is read "
                           "from the library or written to it until the program is started again")
                .arg(m_name));
}

LibraryDatabase::Integrity PostgresLibrary::checkIntegrity()
{
    checkInPlace();
    // The extension is added for the check alone, in a transaction that is rolled back, so the library's
    // database is left as it was; one its administrator added is used as it is. amcheck's functions are
    // found through the search path, wherever the extension lives, so no name is spliced into SQL.
    const auto run = [this](const char *statement) {
        return Result(PQexecParams(m_connection.get(), statement, 0, nullptr, nullptr, nullptr, nullptr, 0),
                      clearResult);
    };
    // The server's errors of damaged data (class XX) are the library's fault; any other failure, such as
    // no right to run amcheck's functions, leaves the check undone. A connection lost on the way is neither.
    const auto failed = [this](const pg_result *result, const QString &why) -> Integrity {
        checkInPlace();
        const StorageFailure failure = failureOf(result);
        if (failure.sqlstate.startsWith("XX"))
            return {failure.message, {}};
        return {{}, QStringLiteral("tables and indexes (%1%2)").arg(why, failure.message)};
    };
    const bool nested = inTransaction();
    command(nested ? "SAVEPOINT dm_integrity" : "BEGIN");
    const auto rollBack = qScopeGuard([this, nested] {
        if (PQstatus(m_connection.get()) == CONNECTION_OK)
            PQclear(PQexec(m_connection.get(),
                           nested ? "ROLLBACK TO dm_integrity; RELEASE dm_integrity" : "ROLLBACK"));
        noteLost();
    });
    const Result added = run("CREATE EXTENSION IF NOT EXISTS amcheck");
    if (!succeeded(added.get()))
        return failed(added.get(), QStringLiteral("the amcheck extension cannot be had: "));
    const Result found = run("SELECT set_config('search_path', current_setting('search_path') || ', ' || "
                             "quote_ident(n.nspname), true) FROM pg_extension e JOIN pg_namespace n ON "
                             "n.oid = e.extnamespace WHERE e.extname = 'amcheck'");
    if (!succeeded(found.get()))
        return failed(found.get(), {});
    const Result tables = run(
        "SELECT format('table %I, block %s, offset %s: %s', c.relname, v.blkno, v.offnum, v.msg) "
        "FROM pg_class c CROSS JOIN LATERAL verify_heapam(c.oid) v WHERE c.relnamespace = "
        "current_schema()::regnamespace AND c.relkind = 'r' ORDER BY c.relname, v.blkno, v.offnum LIMIT 1");
    if (!succeeded(tables.get()))
        return failed(tables.get(), {});
    if (PQntuples(tables.get()) > 0)
        return {QString::fromUtf8(PQgetvalue(tables.get(), 0, 0)), {}};
    // bt_index_check raises the first fault it finds, naming the index.
    const Result indexes =
        run("SELECT bt_index_check(c.oid, true) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid JOIN "
            "pg_am a ON a.oid = c.relam WHERE c.relnamespace = current_schema()::regnamespace AND a.amname = "
            "'btree' AND i.indisvalid AND i.indisready ORDER BY c.relname");
    if (!succeeded(indexes.get()))
        return failed(indexes.get(), {});
    return {};
}

void PostgresLibrary::loseConnection()
{
    PQclear(PQexec(m_connection.get(), "SELECT pg_terminate_backend(pg_backend_pid())"));
    // The server's goodbye may wait in the socket; the next call reads it.
    PQclear(PQexec(m_connection.get(), "SELECT 1"));
    noteLost();
}

// Only the server knows its case mapping (its locale's, which may map a letter otherwise than Qt does, as
// with the dotted capital I), so the key is its own: UPPER's result, which on a SQL Server or Sybase library
// is citext and so compares as its lower-case form.
QString PostgresLibrary::nameKey(const QString &name)
{
    if (const auto known = m_nameKeys.constFind(name); known != m_nameKeys.cend())
        return *known;
    const QString key = scalar(m_config.oracle() ? QStringLiteral("SELECT upper(CAST(?1 AS text))")
                                                 : QStringLiteral("SELECT lower(upper(CAST(?1 AS text)))"),
                               {name})
                            .toString();
    m_nameKeys.insert(name, key);
    return key;
}

qint64 PostgresLibrary::nextNumber(const QString &counter)
{
    const auto [table, column] = counterColumn(counter);
    // The counter's row stays locked until the transaction ends, so two connections never take the same
    // number; a counter starts above every number already in use, and never falls below one in use, so rows
    // made by other means cannot collide.
    return scalar(QStringLiteral(
                      "INSERT INTO DM_COUNTERS (NAME, VALUE) VALUES (?1, (SELECT COALESCE(MAX(%1), 0) + 1 "
                      "FROM %2)) ON CONFLICT (NAME) DO UPDATE SET VALUE = GREATEST(DM_COUNTERS.VALUE + "
                      "1, excluded.VALUE) RETURNING VALUE")
                      .arg(column, table),
                  {counter})
        .toLongLong();
}

bool PostgresLibrary::lockFolderList(int folder)
{
    // Held to the end of the transaction: a batch of links into one folder asks the server once.
    if (!inTransaction())
        m_lockedFolders.clear();
    else if (m_lockedFolders.contains(folder))
        return false;
    try {
        exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1, CAST(?1 AS integer))")
                 .arg(PostgresFolderListLockClass),
             {folder});
    } catch (const DmError &error) {
        if (!error.description().contains(QStringLiteral("55P03")))
            throw;
        throw StoreError(QStringLiteral("Library %1: the item list of folder %2 is being changed by another "
                                        "connection; gave up waiting for it after %3 seconds")
                             .arg(m_name)
                             .arg(folder)
                             .arg(lockTimeout()));
    }
    if (inTransaction())
        m_lockedFolders.insert(folder);
    return true;
}

StorageFailure PostgresLibrary::failureOf(const pg_result *result) const
{
    StorageFailure failure;
    failure.sqlstate = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    failure.message = fieldText(result, PG_DIAG_MESSAGE_PRIMARY);
    failure.constraint = fieldText(result, PG_DIAG_CONSTRAINT_NAME);
    if (failure.message.isEmpty())
        failure.message = ServerMessageLine(PQerrorMessage(m_connection.get()));
    if (failure.sqlstate.isEmpty())
        failure.sqlstate = "08006"; // no answer at all: the connection failed
    return failure;
}

// Whoever reads of a lost server through the pass-through must learn which one it was; the store's own
// errors name the library already.
StorageFailure PostgresLibrary::passThroughFailureOf(const pg_result *result) const
{
    StorageFailure failure = failureOf(result);
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        failure.message += QStringLiteral(" - library %1").arg(m_name);
    return failure;
}

void PostgresLibrary::raise(const pg_result *result, const QString &context)
{
    noteLost();
    const StorageFailure failure = failureOf(result);
    if (m_lost)
        throw StoreError(QStringLiteral("Library %1: the connection to the server was lost (%2) in: %3")
                             .arg(m_name, failure.message, context));
    if (failure.sqlstate == "23514")
        refuseIfTooLong(failure.constraint);
    throw StoreError(QStringLiteral("Library %1: %2 (SQLSTATE %3) in: %4")
                         .arg(m_name, failure.message, QString::fromLatin1(failure.sqlstate), context));
}

std::unique_ptr<StoredStatement> PostgresLibrary::prepare(const QString &sql, QString &rest,
                                                          StorageFailure &failure)
{
    const SqlLexer lexer(sql);
    qsizetype end = 0;
    for (; end < lexer.size() && !(lexer[end].isOperator(u";") && lexer[end].depth == 0); ++end) {
    }
    rest = end < lexer.size() ? sql.mid(lexer[end].offset + 1) : QString();
    const qsizetype first = lexer.next(-1);
    if (first < 0 || first >= end)
        return nullptr; // nothing but comments
    const QString statement = end < lexer.size() ? sql.left(lexer[end].offset) : sql;
    if (m_lost || PQstatus(m_connection.get()) != CONNECTION_OK) {
        m_lost = true;
        failure = {{}, "08006", QStringLiteral("the connection to the server was lost (%1)").arg(m_name), {}};
        return nullptr;
    }
    const QByteArray name = "pt" + QByteArray::number(++m_statementCount);
    const Result prepared = alone(inTransaction(), [&] {
        return PQprepare(m_connection.get(), name.constData(), statement.toUtf8().constData(), 0, nullptr);
    });
    if (!succeeded(prepared.get())) {
        failure = passThroughFailureOf(prepared.get());
        noteLost();
        return nullptr;
    }
    const Result described(PQdescribePrepared(m_connection.get(), name.constData()), clearResult);
    const bool readOnly = lexer[first].isWord(u"SELECT") || lexer[first].isWord(u"VALUES");
    return std::make_unique<PostgresStatement>(m_connection.get(), name, PQnparams(described.get()),
                                               readOnly);
}

bool PostgresLibrary::run(StoredStatement &stored, const QVariantList &binds, StatementRows &rows,
                          StorageFailure &failure)
{
    const auto &statement = static_cast<PostgresStatement &>(stored);
    const Result result = alone(inTransaction(), [&] { return execute(statement.name(), binds); });
    const ExecStatusType status = PQresultStatus(result.get());
    if (!succeeded(result.get())) {
        failure = passThroughFailureOf(result.get());
        noteLost();
        return false;
    }
    rows.columns = PQnfields(result.get());
    const int count = PQntuples(result.get());
    rows.values.reserve(qsizetype(count) * rows.columns);
    for (int r = 0; r < count; ++r)
        for (int c = 0; c < rows.columns; ++c)
            rows.values.append(valueOf(result.get(), r, c));
    rows.rowsAffected = status == PGRES_COMMAND_OK ? QByteArray(PQcmdTuples(result.get())).toLongLong() : 0;
    noteWritten(result.get());
    return true;
}

bool PostgresLibrary::control(Control what, StorageFailure &failure)
{
    const char *statement = what == Control::Begin || what == Control::BeginForWriting ? "BEGIN"
                            : what == Control::Commit                                  ? "COMMIT"
                                                                                       : "ROLLBACK";
    if (what == Control::Commit || what == Control::Rollback)
        m_lockedFolders.clear();
    const Result result(PQexec(m_connection.get(), statement), clearResult);
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK &&
        !(what == Control::Commit && qstrcmp(PQcmdStatus(result.get()), "ROLLBACK") == 0))
        return true;
    failure = passThroughFailureOf(result.get());
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK)
        failure = {{}, "40000", QStringLiteral("the transaction was rolled back instead of committed"), {}};
    noteLost();
    return false;
}

bool PostgresLibrary::inTransaction() const
{
    const PGTransactionStatusType status = PQtransactionStatus(m_connection.get());
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

void PostgresLibrary::beginWork(bool nested)
{
    checkInPlace();
    command(nested ? "SAVEPOINT dm_call" : "BEGIN");
    ++m_work;
}

void PostgresLibrary::commitWork(bool nested)
{
    checkInPlace();
    if (nested) {
        command("RELEASE dm_call");
    } else {
        m_lockedFolders.clear();
        const Result result(PQexec(m_connection.get(), "COMMIT"), clearResult);
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
            raise(result.get(), QStringLiteral("COMMIT"));
        // PostgreSQL answers COMMIT of a failed transaction with a rollback, and no error.
        if (qstrcmp(PQcmdStatus(result.get()), "ROLLBACK") == 0)
            throw StoreError(
                QStringLiteral("Library %1: a statement of the transaction failed, so it was rolled "
                               "back instead of committed")
                    .arg(m_name));
        analyzeWhenGrown();
    }
    --m_work;
}

void PostgresLibrary::rollbackWork(bool nested) noexcept
{
    --m_work;
    m_lockedFolders.clear(); // a rolled back savepoint gives its locks back too
    if (PQstatus(m_connection.get()) == CONNECTION_OK)
        PQclear(PQexec(m_connection.get(), nested ? "ROLLBACK TO dm_call; RELEASE dm_call" : "ROLLBACK"));
}
