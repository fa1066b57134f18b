#pragma once

#include "localdm/store/librarydatabase.h"

#include <QHash>

struct sqlite3;
struct sqlite3_stmt;

// A library in a SQLite file. The file is attached under the library's owner name, so "DOCSADM.PROFILE"
// works as written and unqualified table names reach the library's tables too. The connection also carries
// the stand-ins for the server's catalog (sqlitecatalog.h).
//
// Failures carry SQLite's message; a file that cannot be opened is reported with the system's reason too.
// The file lock of a write transaction keeps every other connection out of the whole library, so a folder's
// list needs no lock of its own.
class SqliteLibrary final : public LibraryDatabase {
public:
    explicit SqliteLibrary(const LibraryConfig &config);
    ~SqliteLibrary() override;

    static void create(const LibraryConfig &config, bool indexes);

    QStringList addFolderListIndexes() override;
    QStringList indexStatements() const override;
    QList<QVariantList> query(const QString &sql, const QVariantList &binds = {}) override;
    // The answer is kept on this connection until a row of those tables changes through it, a transaction
    // of it that changed one ends, its schema changes, or another connection commits to the library file;
    // checking for the last costs one statement, and none more within the same write transaction.
    QVariant lookup(const QString &sql, const QVariantList &binds = {}) override;
    QString nameKey(const QString &name) override;
    // SQLite goes on with the file it opened, wherever it went, so what a move writes and reads back would
    // no longer be the library's. A check costs one stat() of the path.
    void checkInPlace() override;
    // SQLite's integrity_check, which reads every page and compares each index with its table.
    Integrity checkIntegrity() override;
    void loseConnection() override { m_fileGone = true; }
    qint64 nextNumber(const QString &counter) override;
    bool lockFolderList(int) override { return false; }

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
    sqlite3_stmt *prepared(const QString &sql);
    StorageFailure failure() const;
    [[noreturn]] void raise(const QString &context) const;
    // Raises the error of checkInPlace() when the file was seen gone already; costs nothing.
    void refuseIfGone() const;
    void setUpCatalog();
    void watchLookupTables();
    // Whether another connection may have committed since the lookups were kept; forgets them if so.
    void checkLookups();

    static int authorize(void *self, int action, const char *name, const char *, const char *, const char *);
    static void rowChanged(void *self, int, const char *, const char *table, long long);
    static int committing(void *self);
    static void rolledBack(void *self);

    QByteArray m_ownerName;
    QString m_dataVersionSql;
    sqlite3 *m_db = nullptr;
    bool m_fileGone = false; // the file was seen moved away: this connection is done with
    QHash<QString, sqlite3_stmt *> m_statements;

    QHash<QString, QHash<QString, QVariant>> m_lookups; // answers by statement, then by bound values
    // False while a transaction of this connection has changed a looked-up table: its answers are not
    // kept, as a rollback may take them back.
    bool m_lookupsKept = true;
    qint64 m_dataVersion = -1; // "PRAGMA data_version" when the lookups were last checked
    // Counts the write transactions of this connection that ended; with m_checkedInWrite, tells whether the
    // lookups were checked inside the write transaction still open.
    quint64 m_writesEnded = 0;
    quint64 m_checkedAt = 0;
    bool m_checkedInWrite = false;
};
