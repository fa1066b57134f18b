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
// Every failure raises DmError with SQLite's message. Owned by one thread; not copyable.
class LibraryDatabase {
public:
    // Opens the library's existing database file.
    explicit LibraryDatabase(const LibraryConfig &config);
    ~LibraryDatabase();
    LibraryDatabase(const LibraryDatabase &) = delete;
    LibraryDatabase &operator=(const LibraryDatabase &) = delete;

    // Creates a new, empty library database file with every DM table; fails when the file exists.
    static void create(const LibraryConfig &config);

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
    qint64 lastInsertRowId() const;

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
    void setUpCatalog();

    LibraryConfig m_config;
    sqlite3 *m_db = nullptr;
    QHash<QString, sqlite3_stmt *> m_statements;
};
