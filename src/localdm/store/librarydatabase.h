#pragma once

#include "localdm/installation.h"

#include <QList>
#include <QVariant>

#include <memory>
#include <utility>

class DmError;

// A failure of a library's store as the DM raises it: number 1002, source "Local DM".
DmError StoreError(const QString &description);

// A statement of the SQL pass-through prepared on a library's connection; it belongs to that connection
// and goes before it.
class StoredStatement {
public:
    virtual ~StoredStatement() = default;
    virtual int parameterCount() const = 0;
    virtual bool readOnly() const = 0;
};

// A failure as the store reported it, for the pass-through to put in the words of the library's server.
struct StorageFailure {
    // The kind of constraint a SQLite statement broke: a key, a CHECK (the length checks) or NOT NULL.
    enum class Broken { Nothing, Key, Check, NotNull };
    Broken broken = Broken::Nothing;
    QByteArray sqlstate; // PostgreSQL's SQLSTATE; empty for SQLite
    QString message;
    QString constraint; // the constraint a PostgreSQL statement broke, if any
};

// The rows and the count of changed rows of one pass-through statement.
struct StatementRows {
    int columns = 0;
    QVariantList values; // row after row
    qint64 rowsAffected = 0;
};

// One open connection to a library's database, as the DM server holds it: the store of the local DM.
// Two stores stand behind it: SQLite, a file on the administrator's disk (the default), and PostgreSQL,
// a database on a server that other connections write to at the same time. The DM objects write their
// statements once, with parameters ?1, ?2, ..., in SQL both run; the store answers the catalog questions
// of the pass-through (see SqlTranslator) and keeps what a server keeps by itself: counters no two
// connections share, a lock on a folder's item list while it changes, a bounded wait for locks.
//
// Every failure raises DmError naming the library (and for a server library its host and database).
// Owned by one thread; not copyable.
class LibraryDatabase {
public:
    // Opens the library's existing database.
    static std::unique_ptr<LibraryDatabase> open(const LibraryConfig &config);
    // Creates a new, empty library database with every DM table; fails when it exists. Without indexes the
    // tables lack those of LibraryIndexStatements(), which whoever fills the library then runs.
    static void create(const LibraryConfig &config, bool indexes = true);

    virtual ~LibraryDatabase() = default;
    LibraryDatabase(const LibraryDatabase &) = delete;
    LibraryDatabase &operator=(const LibraryDatabase &) = delete;

    const LibraryConfig &config() const { return m_config; }

    // Adds the folder list indexes (FolderListIndexStatements) that the library lacks, in one transaction,
    // and returns the names of those it added. Opening a library never adds them.
    virtual QStringList addFolderListIndexes() = 0;
    // Every index of LibraryIndexStatements() in this store's words, each made only when missing.
    virtual QStringList indexStatements() const = 0;

    // Runs one statement with values bound to ?1, ?2, ...; returns the rows of a query. On Oracle an empty
    // text is bound as NULL, as Oracle keeps it.
    virtual QList<QVariantList> query(const QString &sql, const QVariantList &binds = {}) = 0;
    void exec(const QString &sql, const QVariantList &binds = {}) { query(sql, binds); }
    // First column of the first row; invalid when there is no row.
    QVariant scalar(const QString &sql, const QVariantList &binds = {});
    // scalar() of a query that reads only tables whose rows seldom change: PEOPLE, REMOTE_LIBRARIES, APPS
    // and DM_PARAMETERS. A store may keep the answer as long as it knows the rows unchanged.
    virtual QVariant lookup(const QString &sql, const QVariantList &binds = {}) = 0;

    // Raises DmError once the library is no longer where it was opened: its file moved, deleted or
    // replaced, or the connection to its server lost; and for every statement after that. Made where a
    // change could land in the wrong place: before a write outside a transaction, when a transaction
    // begins and before it commits; the SQL pass-through checks before each of its statements.
    virtual void checkInPlace() = 0;

    // The store's own check of the library's database: its pages, and its indexes against their tables.
    // problem is the first fault found, empty when none; unchecked names what this store could not check
    // and why, empty when nothing was left out. The library is left as it was.
    struct Integrity {
        QString problem;
        QString unchecked;
    };
    virtual Integrity checkIntegrity() = 0;

    // The library is lost from here on, as a planted fault has it: a server library's session is ended on
    // the server, a file library is taken for a file moved away.
    virtual void loseConnection() = 0;

    // The key under which UPPER(a) = UPPER(b) holds in this library's SQL: equal keys exactly when the
    // library's own functions and comparison take two names for one.
    virtual QString nameKey(const QString &name) = 0;

    // The next value of a number counter named "TABLE.COLUMN" ("PROFILE.DOCNUMBER"). Numbers are never
    // handed out twice, also after the rows that held them were deleted, also to two connections at once.
    virtual qint64 nextNumber(const QString &counter) = 0;

    // Keeps other connections from changing the item list of a folder until the transaction ends (and waits
    // for one that is changing it, within a bounded time: raises DmError naming the folder after that).
    // True when the lock was taken just now, so that what was read of the list before may have changed.
    virtual bool lockFolderList(int folder) = 0;

    // The SQL pass-through's statements: prepared once, run many times, failures reported as the store
    // reported them. rest is what follows the first statement of the text.
    virtual std::unique_ptr<StoredStatement> prepare(const QString &sql, QString &rest,
                                                     StorageFailure &failure) = 0;
    virtual bool run(StoredStatement &statement, const QVariantList &binds, StatementRows &rows,
                     StorageFailure &failure) = 0;
    enum class Control { Begin, BeginForWriting, Commit, Rollback };
    virtual bool control(Control what, StorageFailure &failure) = 0;
    virtual bool inTransaction() const = 0;

    // All-or-nothing work: commits when commit() is called, rolls back otherwise. Inside a transaction the
    // SQL pass-through holds open, the work becomes a savepoint of it, kept or undone with that transaction.
    class Transaction {
    public:
        explicit Transaction(LibraryDatabase &db);
        ~Transaction();
        void commit();

    private:
        LibraryDatabase &m_db;
        const bool m_nested;
        bool m_done = false;
    };

protected:
    explicit LibraryDatabase(const LibraryConfig &config) : m_config(config) {}

    // Raises the DM's error for a value too long for its column when the broken constraint is a column's
    // length check.
    void refuseIfTooLong(const QString &constraint) const;

    // The table and column of a counter nextNumber() takes: a number column (SYSTEM_ID, DOCNUMBER) of a
    // DM table, and nothing else, as both are written into the counter's SQL. Raises DmError otherwise.
    std::pair<QString, QString> counterColumn(const QString &counter) const;

    // The value a bind stands for in this library.
    QVariant bindable(const QVariant &value) const;

    // A DM call's transaction (nested: a savepoint of the pass-through's).
    virtual void beginWork(bool nested) = 0;
    virtual void commitWork(bool nested) = 0;
    virtual void rollbackWork(bool nested) noexcept = 0;

    LibraryConfig m_config;
};
