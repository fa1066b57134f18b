#pragma once

#include "dmapi/dmapi.h"
#include "localdm/localdm.h"
#include "localdm/sql/sqlstatementcache.h"

#include <QList>
#include <QVariant>

#include <memory>

// The SQL pass-through of the local DM: runs one statement at a time, written for the engine its library
// claims, on that library's connection (see SqlTranslator), and keeps the whole result until the
// next execute or release. Failures of a statement are reported as a server would (non-zero status, error
// number and driver-style description, readable until the next execute); only misuse of the object itself
// (unknown library, reading outside the result) raises DmError.
//
// Transactions are those of the claimed server: BEGIN TRANSACTION opens one on SQL Server and Sybase (nested
// ones only count, as the servers' transaction count does) until COMMIT or ROLLBACK; on Oracle the first
// change opens one implicitly and COMMIT or ROLLBACK ends it. Other statements commit one by one. The
// session ends when the object is bound to another library or destroyed: an open transaction is then
// rolled back on SQL Server and Sybase and committed on Oracle, as each server ends a session that
// disconnects. DM calls on the same library while a transaction is open become part of it.
//
// Translations and prepared statements are those of the bound library's SqlStatementCache, which every
// SQL object of the installation bound to that library shares.
class LocalSql : public DmSql {
public:
    explicit LocalSql(std::shared_ptr<LocalDm> dm);
    ~LocalSql() override;
    LocalSql(const LocalSql &) = delete;
    LocalSql &operator=(const LocalSql &) = delete;

    void setSecurityToken(const QString &token) override;
    // Throws DmError for a library that is not part of the installation or cannot be opened.
    void setLibrary(const QString &libraryName) override;
    int databaseEngine() const override;
    qint32 execute(const QString &statement) override;
    qint32 errorNumber() const override { return m_error.number; }
    QString errorDescription() const override { return m_error.description; }
    qint64 rowsAffected() const override { return m_rowsAffected; }
    bool hasResult() const override { return m_row >= 1 && m_row <= rowCount(); }
    int rowCount() const override;
    int columnCount() const override { return m_columns; }
    // Throws DmError for a row outside 1 to rowCount().
    void setRow(int row) override;
    bool nextRow() override;
    // Throws DmError for a column outside the statement's result columns.
    QVariant columnValue(int column) const override;
    void releaseResults() override;

private:
    qint32 fail(const SqlError &error);
    qint32 control(const SqlTranslation &translation);
    // Runs a transaction statement on the connection; false when the store refused it (m_error says why).
    bool transact(LibraryDatabase::Control what);
    void endSession();
    const SqlTranslator &translator() const { return m_statements->translator(); }

    std::shared_ptr<LocalDm> m_dm;
    QString m_token;
    LibraryDatabase *m_database = nullptr;
    SqlStatementCache *m_statements = nullptr; // the bound library's, owned by m_dm

    SqlError m_error;
    QVariantList m_values; // the result, row after row
    int m_columns = 0;
    int m_row = 0;
    qint64 m_rowsAffected = 0;
    int m_transactions = 0;    // the server's transaction count
    QString m_transactionName; // of the outermost transaction
};
