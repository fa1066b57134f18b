#include "localdm/sql/sqlstatementcache.h"

#include "dmapi/sqllexer.h"
#include "localdm/sql/statementshape.h"

#include <sqlite3.h>

namespace {

constexpr qint32 SeveralStatements = 1104;
// Statements the program sends are built from a few dozen templates, which their shapes share; what is
// translated text by text takes an entry per text, so each cache is emptied now and then rather than
// grown without bound.
constexpr qsizetype CacheSize = 256;

bool onlyBlanks(const QString &text)
{
    const SqlLexer lexer(text);
    return lexer.next(-1) < 0;
}

} // namespace

SqlStatementCache::SqlStatementCache(sqlite3 *db, const LibraryConfig &config)
    : m_db(db), m_translator(config)
{
}

SqlStatementCache::~SqlStatementCache()
{
    clear(m_texts);
    clear(m_shapes);
}

const SqlStatementCache::Entry *SqlStatementCache::prepared(const QString &statement, SqlError &error)
{
    const auto cached = m_texts.constFind(statement);
    if (cached != m_texts.constEnd())
        return &*cached;
    Entry entry{m_translator.translate(statement), nullptr};
    if (entry.translation.action == SqlTranslation::Action::Run) {
        const QByteArray sql = entry.translation.sql.toUtf8();
        const char *tail = nullptr;
        if (sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                               &entry.statement, &tail) != SQLITE_OK) {
            // Not cached: the statement may well prepare later, once the table it names exists.
            error = m_translator.sqliteError(sqlite3_extended_errcode(m_db),
                                             QString::fromUtf8(sqlite3_errmsg(m_db)));
            return nullptr;
        }
        const QString rest = QString::fromUtf8(tail, sql.constData() + sql.size() - tail);
        if (!onlyBlanks(rest)) {
            sqlite3_finalize(entry.statement);
            entry.statement = nullptr;
            entry.translation = {
                SqlTranslation::Action::Refuse,
                {},
                SqlTranslator::localError(SeveralStatements,
                                          QStringLiteral("The SQL object runs one statement at a "
                                                         "time; text follows the first: %1")
                                              .arg(rest.trimmed())),
                {}};
        } else if (!entry.statement) {
            entry.translation.action = SqlTranslation::Action::Skip; // nothing but comments
        }
    }
    if (m_texts.size() >= CacheSize)
        clear(m_texts);
    return &*m_texts.insert(statement, entry);
}

const SqlStatementCache::Entry *SqlStatementCache::reused(const StatementShape &shape)
{
    const QVariantList &values = shape.values();
    if (values.isEmpty())
        return nullptr;
    auto found = m_shapes.constFind(shape.key());
    if (found == m_shapes.constEnd()) {
        Entry entry{{SqlTranslation::Action::Run, {}, {}, {}}, nullptr};
        if (const std::optional<QString> sql = shape.translate(m_translator)) {
            const QByteArray text = sql->toUtf8();
            const char *tail = nullptr;
            // Whatever keeps the shape from preparing (a text standing for a name, a table that does not
            // exist yet, more than one statement) has each text translated and prepared as written, which
            // reports it as it always did.
            if (sqlite3_prepare_v3(m_db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT,
                                   &entry.statement, &tail) != SQLITE_OK ||
                !entry.statement ||
                !onlyBlanks(QString::fromUtf8(tail, text.constData() + text.size() - tail)) ||
                sqlite3_bind_parameter_count(entry.statement) != values.size()) {
                sqlite3_finalize(entry.statement);
                entry.statement = nullptr;
            }
            entry.translation.sql = *sql;
        }
        if (m_shapes.size() >= CacheSize)
            clear(m_shapes);
        found = m_shapes.insert(shape.key(), entry);
    }
    sqlite3_stmt *statement = found->statement;
    if (!statement)
        return nullptr;
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values[i];
        QByteArray text;
        if (value.typeId() == QMetaType::QString)
            text = value.toString().toUtf8();
        // A value SQLite will not take as a parameter (too long) is refused as written as well, in the
        // words the translation as written gives.
        if ((value.typeId() == QMetaType::QString
                 ? sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT)
                 : sqlite3_bind_int64(statement, i + 1, value.toLongLong())) != SQLITE_OK)
            return nullptr;
    }
    return &*found;
}

void SqlStatementCache::clear(QHash<QString, Entry> &cache)
{
    for (const Entry &entry : std::as_const(cache))
        sqlite3_finalize(entry.statement);
    cache.clear();
}
