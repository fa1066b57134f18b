#include "localdm/sql/statementshape.h"

#include "dmapi/sqllexer.h"

// Why a statement run through its shape gives what the statement translated as written gives:
//
// - The translator reads a literal's kind and position, and its value in a few places only: Oracle's ''
//   (NULL), the texts that Oracle's "+" must read as numbers, the date order of SET DATEFORMAT, TOP n and
//   MAXDOP n, and the literals it quotes in a refusal. Texts of fewer than two characters and the numbers
//   of TOP and MAXDOP stay in the key; a text marker is no number, so Oracle's "+" refuses the marked
//   statement; and any marked statement that is not run as one SQLite statement is translated as written.
// - The marked translation is taken only when every marker comes out untouched, once, in the order of the
//   text, and no token of the output could be read by SQLite as a parameter of its own: each literal then
//   stands in the output where the translation of the statement as written has it, and nothing else of
//   the output depends on it.
// - SQLite reads a parameter as it reads the literal (same value and type, no affinity, binary collation),
//   except where a literal is syntax: a number in ORDER BY or GROUP BY is a column position, so literals
//   there stay in the key; a text that names a table, column, alias, collation or type and a number in a
//   type's length cannot be a parameter, so the statement does not prepare and its shape is translated
//   as written (SqlStatementCache). A literal glued to a word or a dot ("N'x'", "x'41'", "1e", "T.5") stays
//   in the key, as its meaning is not the literal's alone.
// - On PostgreSQL a parameter is "$n" and reads as the literal would, its type taken from where it stands
//   (text where nothing says, as for the literal), except a LIKE pattern, whose sets and backslashes the
//   translation rewrites: one that holds either stays in the key; and a literal before IS, where nothing
//   gives the parameter a type, stays there too.
// - The planner sees a parameter where it saw a value, which only a partial index cares about: FOLDER_ITEM's
//   index of first rows holds ISFIRST = 'Y', and one-character flags stay in the key.

namespace {

// Markers the program's statements never hold; a statement that holds one is translated as written.
constexpr QStringView TextMarker = u"KORVEL_LITERAL_";
constexpr QStringView NumberMarker = u"918273645";

bool separates(const SqlLexer &lexer, qsizetype index)
{
    if (index < 0 || index >= lexer.size())
        return true;
    const SqlToken &token = lexer[index];
    return token.isBlank() || (token.kind == SqlTokenKind::Operator && !token.isOperator(u"."));
}

bool isWordAt(const SqlLexer &lexer, qsizetype index, QStringView word)
{
    return index >= 0 && lexer[index].isWord(word);
}

// The value a parameter gives for the literal at index; nothing when the literal stays in the key.
std::optional<QVariant> parameterValue(const SqlLexer &lexer, qsizetype index)
{
    const SqlToken &token = lexer[index];
    if ((token.kind != SqlTokenKind::String && token.kind != SqlTokenKind::Number) ||
        !separates(lexer, index - 1) || !separates(lexer, index + 1))
        return std::nullopt;
    // PostgreSQL finds no type for a parameter in "$1 IS NULL".
    if (isWordAt(lexer, lexer.next(index), u"IS"))
        return std::nullopt;
    if (token.kind == SqlTokenKind::String) {
        QString value = token.unquoted();
        if (value.size() < 2 || value.contains(QChar(0)))
            return std::nullopt;
        // On PostgreSQL a LIKE pattern's sets and backslashes are translated where it is written.
        if (isWordAt(lexer, lexer.previous(index), u"LIKE") &&
            (value.contains(u'[') || value.contains(u'\\')))
            return std::nullopt;
        return QVariant(std::move(value));
    }
    qsizetype before = lexer.previous(index);
    if (before >= 0 && lexer[before].isOperator(u"("))
        before = lexer.previous(before);
    if (isWordAt(lexer, before, u"TOP") || isWordAt(lexer, before, u"MAXDOP"))
        return std::nullopt;
    bool number = false;
    const qint64 value = token.text.toLongLong(&number); // no hex, decimals or exponents
    return number ? std::optional<QVariant>(value) : std::nullopt;
}

// The literal a marker in a translation stands for; -1 for any other token.
qsizetype markerIndex(const SqlToken &token)
{
    QStringView text = token.text;
    if (token.kind == SqlTokenKind::String && text.size() > TextMarker.size() + 2 &&
        text.mid(1).startsWith(TextMarker))
        text = text.mid(1 + TextMarker.size()).chopped(1);
    else if (token.kind == SqlTokenKind::Number && text.startsWith(NumberMarker))
        text = text.mid(NumberMarker.size());
    else
        return -1;
    bool ok = false;
    const qsizetype index = text.toLongLong(&ok);
    return ok ? index : -1;
}

// What SQLite may read as a parameter: "?", "?5", ":name", "$name", and "@name" or "#name" also where the
// lexer reads them inside a word ("A@B" is A and the parameter @B to SQLite).
bool isParameterLike(const SqlToken &token)
{
    if (token.kind == SqlTokenKind::Operator)
        return token.isOperator(u"?") || token.isOperator(u":") || token.isOperator(u"$");
    return token.kind == SqlTokenKind::Word && (token.text.contains(u'@') || token.text.contains(u'#'));
}

} // namespace

StatementShape::StatementShape(const QString &statement)
{
    if (statement.contains(TextMarker) || statement.contains(NumberMarker)) {
        m_key = statement;
        return;
    }
    const SqlLexer lexer(statement);
    if (lexer.hasUnterminated()) {
        m_key = statement;
        return;
    }
    m_key.reserve(statement.size() + 16);
    int orderDepth = -1; // the depth of the ORDER BY or GROUP BY list being read; -1 outside one
    for (qsizetype i = 0; i < lexer.size(); ++i) {
        const SqlToken &token = lexer[i];
        if (orderDepth >= 0 && token.depth < orderDepth)
            orderDepth = -1;
        if (orderDepth < 0 && (token.isWord(u"ORDER") || token.isWord(u"GROUP")) &&
            isWordAt(lexer, lexer.next(i), u"BY"))
            orderDepth = token.depth;
        const std::optional<QVariant> value = orderDepth < 0 ? parameterValue(lexer, i) : std::nullopt;
        if (!value) {
            m_key += token.text;
            continue;
        }
        const bool text = token.kind == SqlTokenKind::String;
        if (text)
            m_key += u'\'';
        m_key += text ? TextMarker : NumberMarker;
        m_key += QString::number(m_values.size());
        if (text)
            m_key += u'\'';
        m_values << *value;
    }
}

std::optional<QString> StatementShape::translate(const SqlTranslator &translator) const
{
    if (m_values.isEmpty())
        return std::nullopt;
    const SqlTranslation translation = translator.translate(m_key);
    if (translation.action != SqlTranslation::Action::Run)
        return std::nullopt;
    SqlLexer output(translation.sql);
    qsizetype expected = 0;
    for (qsizetype i = 0; i < output.size(); ++i) {
        const SqlToken &token = output[i];
        if (isParameterLike(token))
            return std::nullopt;
        const qsizetype index = markerIndex(token);
        if (index < 0)
            continue;
        if (index != expected || index >= m_values.size() ||
            (token.kind == SqlTokenKind::String) != (m_values[index].typeId() == QMetaType::QString))
            return std::nullopt;
        output.replace(i, (translator.target() == SqlTarget::PostgreSql ? u'$' : u'?') +
                              QString::number(index + 1));
        ++expected;
    }
    if (expected != m_values.size())
        return std::nullopt;
    return output.toString();
}
