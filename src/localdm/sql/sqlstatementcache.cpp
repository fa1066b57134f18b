#include "localdm/sql/sqlstatementcache.h"

#include "dmapi/sqllexer.h"
#include "localdm/sql/statementshape.h"
#include "localdm/store/librarydatabase.h"

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

SqlStatementCache::SqlStatementCache(LibraryDatabase &db) : m_db(db), m_translator(db.config()) {}

const SqlStatementCache::Entry *SqlStatementCache::prepared(const QString &statement, SqlError &error)
{
    const auto cached = m_texts.constFind(statement);
    if (cached != m_texts.constEnd())
        return &*cached;
    Entry entry{m_translator.translate(statement), nullptr};
    if (entry.translation.action == SqlTranslation::Action::Run) {
        QString rest;
        StorageFailure failure;
        entry.statement = m_db.prepare(entry.translation.sql, rest, failure);
        if (!entry.statement && !failure.message.isEmpty()) {
            // Not cached: the statement may well prepare later, once the table it names exists.
            error = m_translator.storageError(failure);
            return nullptr;
        }
        if (!onlyBlanks(rest)) {
            entry.statement.reset();
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
        m_texts.clear();
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
            QString rest;
            StorageFailure failure;
            // Whatever keeps the shape from preparing (a text standing for a name, a table that does not
            // exist yet, more than one statement) has each text translated and prepared as written, which
            // reports it as it always did.
            entry.statement = m_db.prepare(*sql, rest, failure);
            if (entry.statement && (!onlyBlanks(rest) || entry.statement->parameterCount() != values.size()))
                entry.statement.reset();
            entry.translation.sql = *sql;
        }
        if (m_shapes.size() >= CacheSize)
            m_shapes.clear();
        found = m_shapes.insert(shape.key(), entry);
    }
    return found->statement ? &*found : nullptr;
}
