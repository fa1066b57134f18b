#pragma once

#include <QStringList>

// The SQL dialect a library database speaks: SQLite's for a library file, PostgreSQL's for a library on a
// server.
enum class SqlTarget { Sqlite, PostgreSql };

// The statements that create the tables of a library database in the given schema: SQLite's attached
// database, or on PostgreSQL the schema of the library's owner in lower case, which they create, with the
// citext extension that case-insensitive text needs there; integers are bigint there, and keys are named
// "TABLE(COLUMN, ...)". Besides the DM's own tables the list holds the local DM's
// tables for user rights (DM_RIGHTS: a right held by a group), library parameters (DM_PARAMETERS) and number
// counters (DM_COUNTERS). caseInsensitive: text columns compare without regard to letter case (collation
// DMNOCASE), as SQL Server and Sybase libraries are installed; otherwise byte by byte, as on Oracle. Without
// indexes, the tables get no index but those of their keys and unique columns: see LibraryIndexStatements().
QStringList LibrarySchemaStatements(const QString &schema, bool caseInsensitive, bool indexes = true,
                                    SqlTarget target = SqlTarget::Sqlite);

// The library tables' other indexes, the folder list indexes among them; each statement does nothing where
// its index exists already. A library filled in bulk runs them after its rows are in, within the same
// transaction: an index built once from all rows costs less than one kept up row by row.
QStringList LibraryIndexStatements(const QString &schema, SqlTarget target = SqlTarget::Sqlite);

// The indexes that find a folder's list ends and an item's predecessor without reading the folder:
// FOLDER_ITEM by (NEXT, PARENT) and the first row of each folder. NEXT leads so that a query of a whole
// folder never reads it through this index, in an order that changes with every relink: rows that sort
// alike come back in the same order each time. Made with every new library; a library made without
// them works the same, reading whole folders instead. Each statement does nothing where its index
// exists already.
QStringList FolderListIndexStatements(const QString &schema, SqlTarget target = SqlTarget::Sqlite);

// A text column of a DM table and the most characters it holds. Each is checked by a constraint named
// "TABLE.COLUMN", so a longer value is refused and never stored.
struct TextColumn {
    QString table;
    QString column;
    int length;
    QString constraintName() const { return table + u'.' + column; }
};

// Every length-checked text column of the library tables, with the lengths a DM library gives them.
const QList<TextColumn> &LibraryTextColumns();
// The column of a length constraint, by its name; null for another name.
const TextColumn *LibraryTextColumn(const QString &constraint);

// Names of the DM tables, as DOCSTABLE lists them.
QStringList LibraryTableNames();
