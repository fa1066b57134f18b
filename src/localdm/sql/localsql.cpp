#include "localdm/sql/localsql.h"

#include "dmapi/dmerror.h"
#include "localdm/sql/sqlstatementcache.h"
#include "localdm/sql/statementshape.h"

#include <cstdlib>

namespace {

const QString Source = QStringLiteral("Local DM");
constexpr qint32 NotLoggedIn = 1101;
constexpr qint32 NoLibrary = 1102;
constexpr qint32 PlantedFailure = 1103;
constexpr qint32 OutsideResult = 1106;
} // namespace

LocalSql::LocalSql(std::shared_ptr<LocalDm> dm) : m_dm(std::move(dm)) {}

LocalSql::~LocalSql()
{
    endSession();
}

void LocalSql::setSecurityToken(const QString &token)
{
    m_token = token;
}

void LocalSql::setLibrary(const QString &libraryName)
{
    LibraryDatabase &database = m_dm->database(libraryName);
    endSession();
    releaseResults();
    m_database = &database;
    m_statements = &m_dm->statementCache(database);
}

int LocalSql::databaseEngine() const
{
    return m_database ? m_database->config().engine : 0;
}

qint32 LocalSql::execute(const QString &statement)
{
    releaseResults();
    m_error = {};
    if (m_token.isEmpty())
        return fail(
            SqlTranslator::localError(NotLoggedIn, QStringLiteral("The user is not logged in to the DM: "
                                                                  "the SQL object has no security token.")));
    if (!m_database)
        return fail(
            SqlTranslator::localError(NoLibrary, QStringLiteral("No library is set for the SQL object.")));
    try {
        m_database->checkInPlace();
    } catch (const DmError &error) {
        return fail(SqlTranslator::localError(error.number(), error.description()));
    }
    if (m_dm->faults().failsNow(FaultKind::Exit))
        std::_Exit(PlantedExitCode);
    if (m_dm->faults().failsNow(FaultKind::Sql))
        return fail(
            SqlTranslator::localError(PlantedFailure, QStringLiteral("Planted failure of this SQL statement "
                                                                     "(fault plan \"sql\").")));
    const StatementShape shape(statement);
    const SqlStatementCache::Entry *entry = m_statements->reused(shape);
    const QVariantList binds = entry ? shape.values() : QVariantList();
    if (!entry)
        entry = m_statements->prepared(statement, m_error);
    if (!entry)
        return m_error.number;
    switch (entry->translation.action) {
    case SqlTranslation::Action::Refuse:
        return fail(entry->translation.error);
    case SqlTranslation::Action::Skip:
        return 0;
    case SqlTranslation::Action::Begin:
    case SqlTranslation::Action::Commit:
    case SqlTranslation::Action::Rollback:
        return control(entry->translation);
    case SqlTranslation::Action::Run:
        break;
    }

    if (translator().dialect() == SqlDialect::Oracle && m_transactions == 0 &&
        !entry->statement->readOnly()) {
        if (!transact(LibraryDatabase::Control::Begin))
            return m_error.number;
        m_transactions = 1;
    }
    StatementRows rows;
    StorageFailure failure;
    if (!m_database->run(*entry->statement, binds, rows, failure)) {
        // Some failures (a full disk, an interrupted write, a lost server) end the store's transaction, as
        // severe errors end the server's.
        if (!m_database->inTransaction())
            m_transactions = 0;
        return fail(translator().storageError(failure));
    }
    m_columns = rows.columns;
    m_values = std::move(rows.values);
    m_rowsAffected = rows.rowsAffected;
    m_row = m_values.isEmpty() ? 0 : 1;
    return 0;
}

qint32 LocalSql::control(const SqlTranslation &translation)
{
    const bool sqlServer = translator().dialect() == SqlDialect::SqlServer;
    switch (translation.action) {
    case SqlTranslation::Action::Begin:
        if (m_transactions == 0) {
            if (!transact(LibraryDatabase::Control::BeginForWriting))
                return m_error.number;
            m_transactionName = translation.name;
        }
        ++m_transactions;
        return 0;
    case SqlTranslation::Action::Commit:
        // Sybase and Oracle take a COMMIT without a transaction as having nothing to do.
        if (m_transactions == 0)
            return sqlServer ? fail(translator().serverError(
                                   3902, QStringLiteral("The COMMIT TRANSACTION request has no corresponding "
                                                        "BEGIN TRANSACTION.")))
                             : 0;
        if (m_transactions == 1 && !transact(LibraryDatabase::Control::Commit))
            return m_error.number;
        --m_transactions;
        return 0;
    default:
        break;
    }
    if (m_transactions > 0 && !translation.name.isEmpty() && translation.name != m_transactionName)
        return fail(translator().serverError(
            6401, QStringLiteral("Cannot roll back %1. No transaction or savepoint of that name was found.")
                      .arg(translation.name)));
    if (m_transactions == 0)
        return sqlServer ? fail(translator().serverError(
                               3903, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding "
                                                    "BEGIN TRANSACTION.")))
                         : 0;
    m_transactions = 0;
    return transact(LibraryDatabase::Control::Rollback) ? 0 : m_error.number;
}

bool LocalSql::transact(LibraryDatabase::Control what)
{
    StorageFailure failure;
    if (m_database->control(what, failure))
        return true;
    fail(translator().storageError(failure));
    return false;
}

void LocalSql::endSession()
{
    if (m_transactions == 0)
        return;
    m_transactions = 0;
    StorageFailure ignored;
    m_database->control(translator().dialect() == SqlDialect::Oracle ? LibraryDatabase::Control::Commit
                                                                     : LibraryDatabase::Control::Rollback,
                        ignored);
}

qint32 LocalSql::fail(const SqlError &error)
{
    m_error = error;
    return error.number;
}

int LocalSql::rowCount() const
{
    return m_columns ? int(m_values.size() / m_columns) : 0;
}

void LocalSql::setRow(int row)
{
    if (row < 1 || row > rowCount())
        throw DmError(OutsideResult, Source,
                      QStringLiteral("Row %1 is outside the result of %2 row(s)").arg(row).arg(rowCount()));
    m_row = row;
}

bool LocalSql::nextRow()
{
    if (m_row <= rowCount())
        ++m_row;
    return hasResult();
}

QVariant LocalSql::columnValue(int column) const
{
    if (column < 1 || column > m_columns)
        throw DmError(
            OutsideResult, Source,
            QStringLiteral("Column %1 is outside the result of %2 column(s)").arg(column).arg(m_columns));
    return hasResult() ? m_values[qsizetype(m_row - 1) * m_columns + column - 1] : QVariant();
}

void LocalSql::releaseResults()
{
    m_values.clear();
    m_columns = 0;
    m_row = 0;
    m_rowsAffected = 0;
}
