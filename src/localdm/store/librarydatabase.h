#pragma once

#include "localdm/installation.h"

#include <QHash>
#include <QList>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// One open connection to a library's SQLite database, as the DM server holds it. The library file
// is attached under the library's owner name, so "DOCSADM.PROFILE" works as written and unqualified
// table names reach the library's tables too. The connection also carries what the server catalog
// offers the program's SQL: a "sys" schema with "databases", the temporary views "sysobjects",
// "ALL_TABLES" and "USER_TAB_PRIVS", and the functions UPPER and LOWER (Unicode-aware),
// object_id, serverproperty, GETUTCDATE, SYSDATE and TO_DATE, and the collation DMNOCASE
// (Unicode, case-insensitive) for the personalities that order names that way.
//
// Every failure raises DmError with SQLite's message; a file that cannot be opened is reported with the
// system's reason too. Owned by one thread; not copyable.
class LibraryDatabase {
public:
    // Opens the library's existing database file.
    explicit LibraryDatabase(const LibraryConfig &config);
    ~LibraryDatabase();
    LibraryDatabase(const LibraryDatabase &) = delete;
    LibraryDatabase &operator=(const LibraryDatabase &) = delete;

    // Creates a new, empty library database file with every DM table; fails when the file exists.
    // Without indexes the tables lack those of LibraryIndexStatements(), which whoever fills the library
    // then runs.
    static void create(const LibraryConfig &config, bool indexes = true);

    // Adds the folder list indexes (FolderListIndexStatements) that the library file lacks, in one
    // transaction, and returns the names of those it added. Opening a library never adds them.
    QStringList addFolderListIndexes();

    const LibraryConfig &config() const { return m_config; }
    sqlite3 *handle() const { return m_db; }

    // Runs one statement with values bound to ?1, ?2, ...; returns the rows of a query.
    QList<QVariantList> query(const QString &sql, const QVariantList &binds = {});
    void exec(const QString &sql, const QVariantList &binds = {});
    // First column of the first row; invalid when there is no row.
    QVariant scalar(const QString &sql, const QVariantList &binds = {});
    // scalar() of a query that reads only tables whose rows seldom change: PEOPLE, REMOTE_LIBRARIES, APPS
    // and DM_PARAMETERS. The answer is kept on this
    // connection until a row of those tables changes through it, a transaction of it that changed one ends,
    // its schema changes, or another connection commits to the library file; checking for the last costs
    // one statement, and none more within the same write transaction.
    QVariant lookup(const QString &sql, const QVariantList &binds = {});
    qint64 lastInsertRowId() const;

    // Raises DmError, naming the library and its file, once that file was moved, deleted or replaced
    // under this connection, and for every statement after that: SQLite goes on with the file it opened,
    // wherever it went, so what a move writes and reads back would no longer be the library's. A check
    // costs one stat() of the path, so it is made where a change could land in the wrong file: before a
    // write outside a transaction, when a transaction begins and before it commits; the SQL pass-through
    // checks before each of its statements, so every read of a move's check is checked.
    void checkFileInPlace();

    // The next value of a number counter named "TABLE.COLUMN" ("PROFILE.DOCNUMBER"). Numbers are
    // never handed out twice, also after the rows that held them were deleted.
    qint64 nextNumber(const QString &counter);

    // All-or-nothing work: commits when commit() is called, rolls back otherwise.
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

    // Converts one column of a stepped statement to a QVariant (NULL becomes an invalid QVariant).
    static QVariant columnValue(sqlite3_stmt *statement, int column);
    static void bindValue(sqlite3_stmt *statement, int index, const QVariant &value);

    [[noreturn]] void raise(const QString &context) const;

private:
    sqlite3_stmt *prepared(const QString &sql);
    // Raises the error of checkFileInPlace() when the file was seen gone already; costs nothing.
    void refuseIfGone() const;
    void setUpCatalog();
    void watchLookupTables();
    // Whether another connection may have committed since the lookups were kept; forgets them if so.
    void checkLookups();

    static int authorize(void *self, int action, const char *name, const char *, const char *, const char *);
    static void rowChanged(void *self, int, const char *, const char *table, long long);
    static int committing(void *self);
    static void rolledBack(void *self);

    LibraryConfig m_config;
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
