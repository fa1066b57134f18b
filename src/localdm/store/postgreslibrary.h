#pragma once

#include "localdm/store/librarydatabase.h"
#include "localdm/store/serverconnection.h"

#include <QHash>
#include <QSet>

#include <functional>

struct pg_result;

// A library in its own database on a PostgreSQL server, which the DM's users and other administrators
// write to at the same time. Statements are prepared once per connection and sent with their values apart
// from their text. The DM's own statements are written with ?1, ?2, ... and run here as $1, $2, ...
//
// What a SQLite file gave for free is done here: a counter is taken with one statement that locks its row,
// so no two connections share a number; a folder's item list is changed under a transaction-level advisory
// lock of that folder; every lock is waited for within a bounded time (lock_timeout). A statement that
// fails inside a transaction the pass-through holds is undone alone, as SQL Server and Oracle undo it,
// instead of spoiling the transaction as PostgreSQL would. Once the connection is lost every statement is
// refused, naming the library and its server; the program does not reconnect behind a move's back.
class PostgresLibrary final : public LibraryDatabase {
public:
    explicit PostgresLibrary(const LibraryConfig &config);
    ~PostgresLibrary() override;

    // Creates the library's database (CREATE DATABASE on the server's "postgres" database) and lays it out;
    // a database of that name is refused, and one left half-made by a failure is dropped.
    static void create(const LibraryConfig &config, bool indexes);

    QStringList addFolderListIndexes() override;
    QStringList indexStatements() const override;
    QList<QVariantList> query(const QString &sql, const QVariantList &binds = {}) override;
    // Other connections change those tables at any time and say nothing of it: asked every time.
    QString nameKey(const QString &name) override;
    QVariant lookup(const QString &sql, const QVariantList &binds = {}) override
    {
        return scalar(sql, binds);
    }
    void checkInPlace() override;
    // amcheck's checks of the library's tables (verify_heapam) and of its B-tree indexes against them
    // (bt_index_check with heapallindexed); unchecked says so where the extension cannot be had.
    Integrity checkIntegrity() override;
    void loseConnection() override;
    qint64 nextNumber(const QString &counter) override;
    bool lockFolderList(int folder) override;

    std::unique_ptr<StoredStatement> prepare(const QString &sql, QString &rest,
                                             StorageFailure &failure) override;
    bool run(StoredStatement &statement, const QVariantList &binds, StatementRows &rows,
             StorageFailure &failure) override;
    bool control(Control what, StorageFailure &failure) override;
    bool inTransaction() const override;

protected:
    void beginWork(bool nested) override;
    void commitWork(bool nested) override;
    void rollbackWork(bool nested) noexcept override;

private:
    using Result = std::unique_ptr<pg_result, void (*)(pg_result *)>;

    // The name of the statement prepared for a DM statement's text, preparing it on first use.
    QByteArray preparedName(const QString &sql, const QVariantList &binds, bool guard);
    pg_result *execute(const QByteArray &name, const QVariantList &binds);
    // Makes a call that may fail; guarded, inside a transaction, a failure is undone alone, as the library's
    // server undoes a failed statement, instead of spoiling the transaction as PostgreSQL would.
    Result alone(bool guard, const std::function<pg_result *()> &call);
    // Runs a statement without values (transaction control); raises DmError when it fails.
    void command(const char *statement);
    void settle(const QList<std::pair<QString, QString>> &settings);
    StorageFailure failureOf(const pg_result *result) const;
    StorageFailure passThroughFailureOf(const pg_result *result) const;
    [[noreturn]] void raise(const pg_result *result, const QString &context);
    // Counts the rows a statement inserted; outside a transaction, analyzes the library once they doubled.
    void noteWritten(const pg_result *result);
    void analyzeWhenGrown();
    // Notes a lost connection, which ends every use of this one.
    void noteLost();

    ServerConnection m_connection;
    QString m_name; // "CORPORATE (host ..., database ...)"
    bool m_lost = false;
    QHash<QString, QByteArray> m_prepared; // DM statement text -> prepared statement name
    quint64 m_statementCount = 0;
    int m_work = 0;            // DM calls' transactions open
    QSet<int> m_lockedFolders; // folder lists this transaction holds
    QHash<QString, QString> m_nameKeys; // nameKey()s asked of the server, which answers each name alike
    qint64 m_inserted = 0;     // rows this connection inserted
    qint64 m_analyzeAt = 100;  // the count of them at which the library is analysed next
};
