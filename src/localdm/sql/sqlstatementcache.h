#pragma once

#include "localdm/sql/sqltranslator.h"

#include <QHash>
#include <QString>

#include <memory>

class LibraryDatabase;
class StoredStatement;
class StatementShape;

// The translations of the pass-through statements of one library and their prepared statements on its
// connection, shared by every SQL object bound to the library: the program makes a new SQL object each
// time it connects to a library, and a large move connects thousands of times. One entry serves all the
// statements that differ only in their literal values (see StatementShape), which are bound to it as
// parameters; other statements take one entry per text. Each kind of entry is emptied when it reaches
// its bound. Objects that take turns share an entry's statement.
//
// Owned by the LocalDm beside the library's connection and destroyed before it, which finalizes the
// statements.
class SqlStatementCache {
public:
    struct Entry {
        SqlTranslation translation;
        std::shared_ptr<StoredStatement> statement;
    };

    explicit SqlStatementCache(LibraryDatabase &db);
    SqlStatementCache(const SqlStatementCache &) = delete;
    SqlStatementCache &operator=(const SqlStatementCache &) = delete;

    const SqlTranslator &translator() const { return m_translator; }
    // The translation of a statement as written, prepared when it runs; null when preparing failed (error
    // says why).
    const Entry *prepared(const QString &statement, SqlError &error);
    // The prepared statement of a shape, to be run with the shape's values; null when the statements of
    // this shape are translated one by one.
    const Entry *reused(const StatementShape &shape);

private:
    LibraryDatabase &m_db;
    SqlTranslator m_translator;
    QHash<QString, Entry> m_texts;  // by statement text
    QHash<QString, Entry> m_shapes; // by shape key; no statement where each text is translated
};
