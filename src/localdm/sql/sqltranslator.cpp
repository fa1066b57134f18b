#include "localdm/sql/sqltranslator.h"

#include "dmapi/sqllexer.h"
#include "localdm/sql/outerjoinrewriter.h"
#include "localdm/sql/serverwords.h"
#include "localdm/store/librarydatabase.h"
#include "localdm/store/schema.h"

#include <QRegularExpression>

#include <array>

namespace {

using namespace ServerWords;

const QString NoCaseCollation = QStringLiteral(" COLLATE DMNOCASE");

// An identifier quoted so that it can never be taken for a string. PostgreSQL folds the library's
// unquoted names to lower case, and the servers' quoted names match them without regard to case.
QString quotedIdentifier(const QString &name, SqlTarget target)
{
    QString quoted = name;
    if (target == SqlTarget::PostgreSql)
        return u'"' + quoted.toLower().replace(u'"', QStringLiteral("\"\"")) + u'"';
    return u'`' + quoted.replace(u'`', QStringLiteral("``")) + u'`';
}

// "P.FOO" as Oracle names it in its messages: "P"."FOO".
QString oracleName(const QString &name)
{
    QStringList parts = name.split(u'.');
    for (QString &part : parts)
        part = u'"' + part.toUpper() + u'"';
    return parts.join(u'.');
}

// "15.0.2000.5" reads as 15, as the DM reads a server version.
int leadingNumber(const QString &text)
{
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit())
        ++digits;
    return QStringView(text).left(digits).toInt();
}

// One statement on its way through the translator. Each step returns false once the statement is
// refused; the error then says why.
class StatementTranslation {
public:
    StatementTranslation(const SqlTranslator &translator, const LibraryConfig &config, bool knowsTryCast,
                         const QString &statement)
        : m_translator(translator), m_config(config), m_oracle(translator.dialect() == SqlDialect::Oracle),
          m_server(translator.target() == SqlTarget::PostgreSql), m_knowsTryCast(knowsTryCast),
          m_lexer(statement)
    {
    }

    SqlTranslation result();

private:
    bool refuse(qint32 number, const QString &message);
    bool checkTerminated();
    bool checkSetDateFormat();
    bool checkTransactionControl();
    bool checkStatementKind();
    bool checkSqliteOnly(qsizetype index);
    bool knowsFunction(const Function &function) const
    {
        switch (m_translator.dialect()) {
        case SqlDialect::Oracle:
            return function.oracle;
        case SqlDialect::Sybase:
            return function.sybase;
        case SqlDialect::SqlServer:
            break;
        }
        return function.sqlServer;
    }
    bool isTextOperand(qsizetype index, bool left) const;
    bool isCharType(qsizetype index) const;
    bool translatePlus(qsizetype index);
    bool translateTop();
    bool translateTokens();
    bool translateWord(qsizetype index);
    bool translateTryCast(qsizetype index);
    bool translateLike(qsizetype index);
    bool dropQueryHint();
    bool rewriteOuterJoins();
    bool checkStringsAreValues();
    void orderCaseInsensitively();
    void orderTiesAsStored();

    bool isOperatorAt(qsizetype index, QStringView op) const
    {
        return index >= 0 && m_lexer[index].isOperator(op);
    }
    bool isWordAt(qsizetype index, QStringView word) const
    {
        return index >= 0 && m_lexer[index].isWord(word);
    }
    // The ")" that closes the "(" at open; -1 where the text ends first.
    qsizetype closing(qsizetype open) const
    {
        qsizetype close = m_lexer.next(open);
        while (close >= 0 && !(isOperatorAt(close, u")") && m_lexer[close].depth == m_lexer[open].depth))
            close = m_lexer.next(close);
        return close;
    }
    // A string literal, also one written in double quotes while QUOTED_IDENTIFIER is OFF.
    bool isString(const SqlToken &token) const
    {
        return token.kind == SqlTokenKind::String ||
               (token.kind == SqlTokenKind::QuotedIdentifier && !m_oracle && !m_config.quotedIdentifier);
    }

    const SqlTranslator &m_translator;
    const LibraryConfig &m_config;
    const bool m_oracle;
    const bool m_server;
    const bool m_knowsTryCast;
    SqlLexer m_lexer;
    SqlError m_error;
    bool m_skip = false;
    bool m_outerJoins = false;
    SqlTranslation::Action m_control = SqlTranslation::Action::Run;
    QString m_transactionName;
};

SqlTranslation StatementTranslation::result()
{
    if (!checkTerminated() || !checkSetDateFormat() || !checkTransactionControl() || !checkStatementKind())
        return {SqlTranslation::Action::Refuse, {}, m_error, {}};
    if (m_control != SqlTranslation::Action::Run)
        return {m_control, {}, {}, m_transactionName};
    if (m_skip || m_lexer.next(-1) < 0)
        return {SqlTranslation::Action::Skip, {}, {}, {}};
    if (!translateTokens() || !dropQueryHint() || !rewriteOuterJoins() || !checkStringsAreValues())
        return {SqlTranslation::Action::Refuse, {}, m_error, {}};
    if (!m_oracle)
        orderCaseInsensitively();
    if (m_server)
        orderTiesAsStored();
    if (!translateTop())
        return {SqlTranslation::Action::Refuse, {}, m_error, {}};
    return {SqlTranslation::Action::Run, m_lexer.toString(), {}, {}};
}

bool StatementTranslation::refuse(qint32 number, const QString &message)
{
    m_error = m_translator.serverError(number, message);
    return false;
}

bool StatementTranslation::checkTerminated()
{
    if (!m_lexer.hasUnterminated())
        return true;
    const auto open = std::find_if(m_lexer.tokens().begin(), m_lexer.tokens().end(),
                                   [](const SqlToken &token) { return token.unterminated; });
    switch (open->kind) {
    case SqlTokenKind::Comment:
        return m_oracle ? refuse(1742, QStringLiteral("comment not properly terminated"))
                        : refuse(113, QStringLiteral("Missing end comment mark '*/'."));
    case SqlTokenKind::QuotedIdentifier:
        if (m_oracle)
            return refuse(1740, QStringLiteral("missing double quote in identifier"));
        break;
    case SqlTokenKind::BracketIdentifier:
        if (m_oracle)
            return refuse(936, QStringLiteral("missing expression"));
        break;
    default:
        if (m_oracle)
            return refuse(1756, QStringLiteral("quoted string not properly terminated"));
    }
    return refuse(
        105,
        QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(open->unquoted()));
}

// "set dateformat mdy": the session setting the DM sends to every SQL Server and Sybase library. SQLite
// keeps dates as ISO text, which reads the same in every date format, so it is skipped.
bool StatementTranslation::checkSetDateFormat()
{
    const qsizetype set = m_lexer.next(-1);
    const qsizetype option = set < 0 ? -1 : m_lexer.next(set);
    if (!isWordAt(set, u"SET") || !isWordAt(option, u"DATEFORMAT"))
        return true;
    if (m_oracle)
        return refuse(922, QStringLiteral("missing or invalid option"));
    const qsizetype value = m_lexer.next(option);
    qsizetype end = value < 0 ? -1 : m_lexer.next(value);
    if (isOperatorAt(end, u";"))
        end = m_lexer.next(end);
    if (value < 0 || end >= 0)
        return refuse(102, QStringLiteral("Incorrect syntax near '%1'.")
                               .arg(end >= 0 ? m_lexer[end].text : m_lexer[option].text));
    QString order = m_lexer[value].unquoted().toLower();
    std::sort(order.begin(), order.end());
    if (order != QStringLiteral("dmy"))
        return refuse(
            2741,
            QStringLiteral("SET DATEFORMAT date order '%1' is invalid.").arg(m_lexer[value].unquoted()));
    m_skip = true;
    return true;
}

// Transaction statements as each server writes them: on SQL Server and Sybase "BEGIN TRAN[SACTION] [name]",
// "COMMIT [TRAN[SACTION] [name] | WORK]" and the same for ROLLBACK; on Oracle, which opens a transaction
// by itself, "COMMIT [WORK]" and "ROLLBACK [WORK]". SQLite's own forms (BEGIN alone, END, RELEASE) and
// savepoints never reach the connection: they would end or nest its transaction behind the pass-through.
bool StatementTranslation::checkTransactionControl()
{
    using Action = SqlTranslation::Action;
    const qsizetype verb = m_lexer.next(-1);
    if (verb < 0)
        return true;
    QList<qsizetype> rest;
    for (qsizetype i = m_lexer.next(verb); i >= 0; i = m_lexer.next(i))
        rest << i;
    if (!rest.isEmpty() && isOperatorAt(rest.last(), u";"))
        rest.removeLast();
    const SqlToken &first = m_lexer[verb];
    const auto nearWord = [&](qsizetype index) {
        return refuse(102, QStringLiteral("Incorrect syntax near '%1'.").arg(m_lexer[index].text));
    };
    const auto isName = [&](qsizetype index) {
        const SqlTokenKind kind = m_lexer[index].kind;
        return kind == SqlTokenKind::Word || kind == SqlTokenKind::BracketIdentifier ||
               (kind == SqlTokenKind::QuotedIdentifier && !isString(m_lexer[index]));
    };
    const auto isTran = [&](qsizetype index) {
        return isWordAt(index, u"TRAN") || isWordAt(index, u"TRANSACTION");
    };

    const bool savepoint =
        m_oracle ? first.isWord(u"SAVEPOINT") ||
                       (first.isWord(u"ROLLBACK") && !rest.isEmpty() && isWordAt(rest.first(), u"TO"))
                 : first.isWord(u"SAVE") && !rest.isEmpty() && isTran(rest.first());
    if (savepoint) {
        m_error = SqlTranslator::localError(
            UntranslatableSqlError,
            QStringLiteral("The local DM keeps no savepoints: %1").arg(m_lexer.text().trimmed()));
        return false;
    }
    if (first.isWord(u"BEGIN")) {
        if (m_oracle)
            return refuse(900, QStringLiteral("invalid SQL statement"));
        if (rest.isEmpty() || !isTran(rest.first()))
            return nearWord(rest.isEmpty() ? verb : rest.first());
        if (rest.size() > 2 || (rest.size() == 2 && !isName(rest[1])))
            return nearWord(rest[qMin(rest.size() - 1, qsizetype(2))]);
        m_control = Action::Begin;
        m_transactionName = rest.size() == 2 ? m_lexer[rest[1]].unquoted() : QString();
        return true;
    }
    if (first.isWord(u"COMMIT") || first.isWord(u"ROLLBACK")) {
        const Action action = first.isWord(u"COMMIT") ? Action::Commit : Action::Rollback;
        if (m_oracle) {
            if (rest.size() > 1 || (rest.size() == 1 && !isWordAt(rest.first(), u"WORK")))
                return refuse(933, QStringLiteral("SQL command not properly ended"));
        } else if (!rest.isEmpty()) {
            const bool work = isWordAt(rest.first(), u"WORK");
            if (!work && !isTran(rest.first()))
                return nearWord(rest.first());
            if (rest.size() > 2 || (rest.size() == 2 && (work || !isName(rest[1]))))
                return nearWord(rest[1]);
            if (rest.size() == 2)
                m_transactionName = m_lexer[rest[1]].unquoted();
        }
        m_control = action;
        return true;
    }
    if (first.isWord(u"END") || first.isWord(u"RELEASE") || first.isWord(u"SAVEPOINT") ||
        first.isWord(u"SAVE"))
        return m_oracle ? refuse(900, QStringLiteral("invalid SQL statement")) : nearWord(verb);
    return true;
}

bool StatementTranslation::checkStatementKind()
{
    const qsizetype verb = m_lexer.next(-1);
    if (verb < 0 || m_skip)
        return true;
    const SqlToken &first = m_lexer[verb];
    if (first.isOperator(u"("))
        return true; // a query in parentheses
    for (const Accepted &accepted : AcceptedStatements) {
        if (!first.isWord(accepted.word))
            continue;
        const bool taken = m_oracle                                       ? accepted.oracle
                           : m_translator.dialect() == SqlDialect::Sybase ? accepted.sybase
                                                                          : accepted.sqlServer;
        if (taken)
            return true;
        if (m_oracle)
            return first.isWord(u"SET") ? refuse(922, QStringLiteral("missing or invalid option"))
                                        : refuse(900, QStringLiteral("invalid SQL statement"));
        return refuse(
            156,
            QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(first.text.toString().toUpper()));
    }
    if (first.isOneOfWords(DefinitionWords)) {
        if (m_oracle)
            return refuse(1031, QStringLiteral("insufficient privileges"));
        const qsizetype object = m_lexer.next(verb);
        const QString what =
            object < 0 ? first.text.toString().toUpper()
                       : first.text.toString().toUpper() + u' ' + m_lexer[object].text.toString().toUpper();
        return refuse(
            262, QStringLiteral("%1 permission denied in database '%2'.").arg(what, m_config.databaseName));
    }
    if (m_oracle)
        return refuse(900, QStringLiteral("invalid SQL statement"));
    // A word the server does not know as a statement is taken for a stored procedure's name.
    if (m_translator.dialect() == SqlDialect::Sybase)
        return refuse(2812,
                      QStringLiteral("Stored procedure '%1' not found. Specify owner.objectname or use "
                                     "sp_help to check whether the object exists (sp_help may produce lots "
                                     "of output).")
                          .arg(first.text));
    return refuse(2812, QStringLiteral("Could not find stored procedure '%1'.").arg(first.text));
}

// SQLite's own syntax in a statement of an accepted kind.
bool StatementTranslation::checkSqliteOnly(qsizetype index)
{
    const SqlToken &token = m_lexer[index];
    const qsizetype previous = m_lexer.previous(index);
    const bool sqliteOnly =
        token.isOneOfWords(SqliteOnlyWords) ||
        (token.isWord(u"ISNULL") && !isOperatorAt(m_lexer.next(index), u"(")) ||
        (token.isWord(u"CONFLICT") && isWordAt(previous, u"ON")) ||
        (token.isWord(u"OR") && isWordAt(previous, u"INSERT")) || (token.isOperator(u"||") && !m_oracle) ||
        // PostgreSQL's own: ILIKE, SIMILAR TO and "::" casts.
        (m_server && (token.isWord(u"ILIKE") || token.isWord(u"SIMILAR") || token.isOperator(u":")));
    if (!sqliteOnly)
        return true;
    if (m_oracle)
        return refuse(933, QStringLiteral("SQL command not properly ended"));
    return refuse(102, QStringLiteral("Incorrect syntax near '%1'.")
                           .arg(token.isOperator(u"||") ? QStringLiteral("|") : token.text.toString()));
}

// Whether the operand of a "+" that ends at index (the left one) or starts there (the right one) is text:
// a string, a text column of the library tables, however qualified, or a call of a function that returns
// text, CHAR(n) and a CAST to a text type among them.
bool StatementTranslation::isTextOperand(qsizetype index, bool left) const
{
    if (index < 0)
        return false;
    const auto isName = [this](qsizetype at) {
        const SqlToken &token = m_lexer[at];
        return token.kind == SqlTokenKind::Word || token.kind == SqlTokenKind::BracketIdentifier ||
               (token.kind == SqlTokenKind::QuotedIdentifier && !isString(token));
    };
    if (isString(m_lexer[index]))
        return true;
    qsizetype open = -1;
    if (left && isOperatorAt(index, u")")) {
        open = index;
        while (open >= 0 && !(isOperatorAt(open, u"(") && m_lexer[open].depth == m_lexer[index].depth))
            open = m_lexer.previous(open);
    } else if (!left && isName(index)) {
        // P.DOCNAME stands for its column.
        while (isOperatorAt(m_lexer.next(index), u".") && m_lexer.next(m_lexer.next(index)) >= 0 &&
               isName(m_lexer.next(m_lexer.next(index))))
            index = m_lexer.next(m_lexer.next(index));
        if (isOperatorAt(m_lexer.next(index), u"("))
            open = m_lexer.next(index);
    }
    if (open < 0) {
        if (!isName(index))
            return false;
        const QString name = m_lexer[index].unquoted();
        return std::any_of(
            LibraryTextColumns().begin(), LibraryTextColumns().end(),
            [&](const TextColumn &column) { return column.column.compare(name, Qt::CaseInsensitive) == 0; });
    }
    static const std::array<QStringView, 10> TextFunctions = {u"UPPER",     u"LOWER",   u"LTRIM",  u"RTRIM",
                                                              u"SUBSTRING", u"REPLACE", u"ISNULL", u"STR",
                                                              u"CONVERT",   u"CHAR"};
    const qsizetype name = m_lexer.previous(open);
    if (name < 0)
        return false;
    if (m_lexer[name].isWord(u"CAST")) {
        static const std::array<QStringView, 5> TextTypes = {u"CHAR", u"VARCHAR", u"NCHAR", u"NVARCHAR",
                                                             u"TEXT"};
        const qsizetype close = closing(open);
        for (qsizetype i = m_lexer.next(open); i >= 0 && i != close; i = m_lexer.next(i))
            if (m_lexer[i].depth == m_lexer[open].depth + 1 && m_lexer[i].isWord(u"AS")) {
                const qsizetype type = m_lexer.next(i);
                return type >= 0 && m_lexer[type].isOneOfWords(TextTypes);
            }
        return false;
    }
    return m_lexer[name].isOneOfWords(TextFunctions) && !isCharType(name);
}

// Whether CHAR at index names the type, as in CAST(x AS CHAR(10)) and CONVERT(CHAR(10), x), rather than
// the function that makes a character of its code.
bool StatementTranslation::isCharType(qsizetype index) const
{
    if (!m_lexer[index].isWord(u"CHAR"))
        return false;
    const qsizetype previous = m_lexer.previous(index);
    return isWordAt(previous, u"AS") ||
           (isOperatorAt(previous, u"(") && isWordAt(m_lexer.previous(previous), u"CONVERT"));
}

// SQL Server and Sybase join two texts with "+", which SQLite reads as a sum ('a' + 'b' is 0). Oracle reads
// it as a sum always and refuses a text that is not a number.
bool StatementTranslation::translatePlus(qsizetype index)
{
    const qsizetype left = m_lexer.previous(index);
    const qsizetype right = m_lexer.next(index);
    const bool binary =
        left >= 0 && (m_lexer[left].kind != SqlTokenKind::Operator || m_lexer[left].isOperator(u")"));
    if (!binary)
        return true;
    // Text with a number is a sum on SQL Server too: the text is converted.
    if (!m_oracle) {
        if (isTextOperand(left, true) && isTextOperand(right, false))
            m_lexer.replace(index, QStringLiteral("||"));
        return true;
    }
    bool number = false;
    for (const qsizetype side : {left, right})
        if (side >= 0 && m_lexer[side].kind == SqlTokenKind::String) {
            m_lexer[side].unquoted().trimmed().toDouble(&number);
            if (!number)
                return refuse(1722, QStringLiteral("invalid number"));
        }
    return true;
}

// "SELECT [DISTINCT] TOP n ..." of SQL Server and Sybase becomes "SELECT ... LIMIT n".
bool StatementTranslation::translateTop()
{
    for (qsizetype top = 0; top < m_lexer.size(); ++top) {
        if (!m_lexer[top].isWord(u"TOP"))
            continue;
        qsizetype select = m_lexer.previous(top);
        if (isWordAt(select, u"DISTINCT") || isWordAt(select, u"ALL"))
            select = m_lexer.previous(select);
        if (m_oracle)
            return refuse(923, QStringLiteral("FROM keyword not found where expected"));
        const auto untranslatable = [&](const QString &why) {
            m_error = SqlTranslator::localError(UntranslatableSqlError,
                                                QStringLiteral("The local DM cannot run TOP %1.").arg(why));
            return false;
        };
        if (!isWordAt(select, u"SELECT"))
            return untranslatable(QStringLiteral("outside a query"));
        const int depth = m_lexer[top].depth;
        qsizetype count = m_lexer.next(top);
        qsizetype last = count;
        if (isOperatorAt(count, u"(")) {
            count = m_lexer.next(count);
            last = m_lexer.next(count);
            if (!isOperatorAt(last, u")"))
                return untranslatable(QStringLiteral("of anything but a number"));
        }
        if (count < 0 || m_lexer[count].kind != SqlTokenKind::Number)
            return untranslatable(QStringLiteral("of anything but a number"));
        if (isWordAt(m_lexer.next(last), u"PERCENT") || isWordAt(m_lexer.next(last), u"WITH"))
            return untranslatable(QStringLiteral("PERCENT or WITH TIES"));
        // The query's last token: the end of the text or of the parentheses around it.
        qsizetype end = -1;
        for (qsizetype i = m_lexer.next(last); i >= 0 && m_lexer[i].depth >= depth; i = m_lexer.next(i)) {
            if (m_lexer[i].depth == depth &&
                (m_lexer[i].isWord(u"UNION") || m_lexer[i].isWord(u"INTERSECT") ||
                 m_lexer[i].isWord(u"EXCEPT")))
                return untranslatable(QStringLiteral("in a compound query"));
            if (m_lexer[i].depth == depth && m_lexer[i].isOperator(u")"))
                break;
            if (!m_lexer.currentText(i).isEmpty() && !m_lexer[i].isOperator(u";"))
                end = i;
        }
        if (end < 0)
            return untranslatable(QStringLiteral("without a query after it"));
        m_lexer.replace(end, m_lexer.currentText(end).toString() + QStringLiteral(" LIMIT ") +
                                 m_lexer[count].text.toString());
        for (qsizetype i = top; i <= last; ++i)
            m_lexer.replace(i, QString());
    }
    return true;
}

bool StatementTranslation::translateTokens()
{
    for (qsizetype i = 0; i < m_lexer.size(); ++i) {
        const SqlToken &token = m_lexer[i];
        switch (token.kind) {
        case SqlTokenKind::BracketIdentifier:
            if (m_oracle)
                return refuse(936, QStringLiteral("missing expression"));
            m_lexer.replace(i, quotedIdentifier(token.unquoted(), m_translator.target()));
            break;
        case SqlTokenKind::QuotedIdentifier:
            // With QUOTED_IDENTIFIER OFF, SQL Server and Sybase read "text" as a string, as here.
            m_lexer.replace(i, isString(token) ? SqlQuotedLiteral(token.unquoted())
                                               : quotedIdentifier(token.unquoted(), m_translator.target()));
            break;
        case SqlTokenKind::String:
            // Oracle has no empty string: '' is NULL, so "X != ''" is never true. Beside "||", which
            // skips NULLs on Oracle and not on SQLite, it stays empty to keep the concatenation's value.
            if (m_oracle && token.unquoted().isEmpty() && !isOperatorAt(m_lexer.previous(i), u"||") &&
                !isOperatorAt(m_lexer.next(i), u"||"))
                m_lexer.replace(i, QStringLiteral("NULL"));
            break;
        case SqlTokenKind::Word:
            if (!checkSqliteOnly(i) || !translateWord(i))
                return false;
            if (m_server && token.isWord(u"LIKE") && !translateLike(i))
                return false;
            break;
        case SqlTokenKind::Number:
            // PostgreSQL 15 reads "0xf" as 0 named xf.
            if (m_server && token.text.size() > 2 && (token.text[1] == u'x' || token.text[1] == u'X')) {
                bool ok = false;
                const qint64 value = token.text.mid(2).toLongLong(&ok, 16);
                if (ok)
                    m_lexer.replace(i, QString::number(value));
            }
            break;
        case SqlTokenKind::Operator:
            if (!checkSqliteOnly(i) || (token.isOperator(u"+") && !translatePlus(i)))
                return false;
            if (token.isOperator(u"=*") || token.isOperator(u"*=")) {
                if (m_oracle)
                    return refuse(936, QStringLiteral("missing expression"));
                if (m_translator.dialect() == SqlDialect::SqlServer && m_config.compatibilityLevel > 80)
                    return refuse(4147, NonAnsiJoinMessage);
                m_outerJoins = true;
            } else if (token.isOperator(u"(") && isOperatorAt(m_lexer.next(i), u"+") &&
                       isOperatorAt(m_lexer.next(m_lexer.next(i)), u")")) {
                if (!m_oracle)
                    return refuse(102, QStringLiteral("Incorrect syntax near ')'."));
                m_outerJoins = true;
            }
            break;
        default:
            break;
        }
        // SQL Server and Sybase reach the library's tables through the dbo schema as well.
        const bool name = token.kind == SqlTokenKind::Word || token.kind == SqlTokenKind::BracketIdentifier ||
                          (token.kind == SqlTokenKind::QuotedIdentifier && !isString(token));
        if (!m_oracle && name && isOperatorAt(m_lexer.next(i), u".") &&
            !isOperatorAt(m_lexer.previous(i), u".") &&
            token.unquoted().compare(u"dbo", Qt::CaseInsensitive) == 0)
            m_lexer.replace(i, m_config.owner);
    }
    return true;
}

// Catalog objects and functions that only some servers have. The connection offers them all, so the
// personality refuses those its server does not know, with that server's words.
bool StatementTranslation::translateWord(qsizetype index)
{
    const SqlToken &token = m_lexer[index];
    if (isOperatorAt(m_lexer.previous(index), u"."))
        return true; // a column or table name after its qualifier
    const qsizetype next = m_lexer.next(index);
    const auto oracleInvalid = [&] {
        return oracleName(token.text.toString()) + QStringLiteral(": invalid identifier");
    };
    const auto notBuiltIn = [&] {
        return QStringLiteral("'%1' is not a recognized built-in function name.").arg(token.text);
    };

    // SQLite's own functions, catalog tables and table-valued pragmas, and PostgreSQL's, with the functions
    // that read and change its session settings.
    if (token.text.startsWith(u"sqlite_", Qt::CaseInsensitive) ||
        token.text.startsWith(u"pragma_", Qt::CaseInsensitive) ||
        (m_server &&
         (token.text.startsWith(u"pg_", Qt::CaseInsensitive) || token.isWord(u"information_schema") ||
          token.isWord(u"current_setting") || token.isWord(u"set_config")))) {
        if (isOperatorAt(next, u"("))
            return m_oracle ? refuse(904, oracleInvalid()) : refuse(195, notBuiltIn());
        return m_oracle ? refuse(942, QStringLiteral("table or view does not exist"))
                        : refuse(208, QStringLiteral("Invalid object name '%1'.").arg(token.text));
    }
    if (isOperatorAt(next, u".")) {
        if (m_oracle && token.isWord(u"sys") && isWordAt(m_lexer.next(next), u"databases"))
            return refuse(942, QStringLiteral("table or view does not exist"));
        return true;
    }
    if (isOperatorAt(next, u"(")) {
        if (token.isWord(u"serverproperty") || token.isWord(u"object_id") || token.isWord(u"GETUTCDATE"))
            return !m_oracle || refuse(904, oracleInvalid());
        if (token.isWord(u"TO_DATE")) {
            if (!m_oracle)
                return refuse(195, notBuiltIn());
            // pg_catalog's own TO_DATE comes first in every search path.
            if (m_server)
                m_lexer.replace(index, QStringLiteral("DM_TO_DATE"));
            return true;
        }
        if (token.isWord(u"SYSDATE"))
            return m_oracle ? refuse(936, QStringLiteral("missing expression")) : refuse(195, notBuiltIn());
        // Oracle's is CHR; PostgreSQL reads CHAR(n) as a type only.
        if (token.isWord(u"CHAR") && !isCharType(index)) {
            if (m_oracle)
                return refuse(904, oracleInvalid());
            if (m_server)
                m_lexer.replace(index, QStringLiteral("CHR"));
            return true;
        }
        for (const Function &function : Functions) {
            if (!token.isWord(function.name))
                continue;
            if (!knowsFunction(function))
                return m_oracle ? refuse(904, oracleInvalid()) : refuse(195, notBuiltIn());
            if (token.isWord(u"ISNULL") || token.isWord(u"NVL"))
                m_lexer.replace(index, QStringLiteral("COALESCE"));
            else if (token.isWord(u"SUBSTRING"))
                m_lexer.replace(index, QStringLiteral("SUBSTR"));
        }
        // PostgreSQL's text functions return text, which compares with case, where the library's citext
        // did not; on SQL Server and Sybase their result compares as the column did.
        static const std::array<QStringView, 6> TextResults = {u"UPPER", u"LOWER",     u"LTRIM",
                                                               u"RTRIM", u"SUBSTRING", u"REPLACE"};
        if (m_server && !m_oracle && token.isOneOfWords(TextResults)) {
            const qsizetype close = closing(next);
            if (close >= 0)
                m_lexer.replace(close, m_lexer.currentText(close).toString() + QStringLiteral("::citext"));
        }
        if (token.isWord(u"TRY_CAST")) {
            if (m_oracle)
                return refuse(904, oracleInvalid());
            if (!m_knowsTryCast)
                return refuse(195, notBuiltIn());
            return translateTryCast(index);
        }
        return true;
    }
    if (token.isWord(u"SYSDATE")) {
        if (!m_oracle)
            return refuse(207, QStringLiteral("Invalid column name '%1'.").arg(token.text));
        m_lexer.replace(index, QStringLiteral("SYSDATE()"));
    } else if (token.isWord(u"sysobjects")) {
        if (m_oracle)
            return refuse(942, QStringLiteral("table or view does not exist"));
    } else if (token.isWord(u"ALL_TABLES") || token.isWord(u"USER_TAB_PRIVS")) {
        if (!m_oracle)
            return refuse(208, QStringLiteral("Invalid object name '%1'.").arg(token.text));
    }
    return true;
}

// SQLite has no TRY_CAST; its CAST never fails, which is as close as it gets. PostgreSQL's CAST fails on a
// value it cannot convert, so a conversion to an integer, the one the program asks for, becomes DM_TRY_INT,
// NULL where the server's TRY_CAST is NULL.
bool StatementTranslation::translateTryCast(qsizetype index)
{
    const qsizetype open = m_lexer.next(index);
    const qsizetype close = closing(open);
    qsizetype as = -1;
    for (qsizetype i = m_lexer.next(open); i >= 0 && i < close; i = m_lexer.next(i))
        if (m_lexer[i].depth == m_lexer[open].depth + 1 && m_lexer[i].isWord(u"AS"))
            as = i;
    static const std::array<QStringView, 5> IntegerTypes = {u"INT", u"INTEGER", u"BIGINT", u"SMALLINT",
                                                            u"TINYINT"};
    const qsizetype type = as < 0 ? -1 : m_lexer.next(as);
    if (!m_server || type < 0 || !m_lexer[type].isOneOfWords(IntegerTypes) || m_lexer.next(type) != close) {
        m_lexer.replace(index, QStringLiteral("CAST"));
        return true;
    }
    m_lexer.replace(index, QStringLiteral("DM_TRY_INT"));
    for (qsizetype i = m_lexer.previous(as) + 1; i < close; ++i)
        m_lexer.replace(i, QString());
    return true;
}

// LIKE on PostgreSQL. SQL Server and Sybase compare without regard to case, also where an operand is not a
// library column (citext), so their LIKE is ILIKE, and a pattern with a set ("[a-c]", "[^x]") becomes the
// SIMILAR TO pattern that matches the same texts. Neither server takes a backslash for an escape character
// unless told, which PostgreSQL's LIKE does.
bool StatementTranslation::translateLike(qsizetype index)
{
    const qsizetype pattern = m_lexer.next(index);
    const bool literal = pattern >= 0 && m_lexer[pattern].kind == SqlTokenKind::String;
    const qsizetype escapeWord = literal ? m_lexer.next(pattern) : -1;
    const qsizetype escape = isWordAt(escapeWord, u"ESCAPE") ? m_lexer.next(escapeWord) : -1;
    const QString text = literal ? m_lexer[pattern].unquoted() : QString();
    const qsizetype open = text.indexOf(u'[');
    const bool sets = !m_oracle && open >= 0 && text.indexOf(u']', open + 2) > 0;
    if (!sets) {
        if (!m_oracle)
            m_lexer.replace(index, QStringLiteral("ILIKE"));
        if (literal && escape < 0 && text.contains(u'\\'))
            m_lexer.replace(pattern, SqlQuotedLiteral(QString(text).replace(u'\\', QStringLiteral("\\\\"))));
        return true;
    }
    QChar escapeCharacter;
    if (escape >= 0) {
        const QString given = m_lexer[escape].unquoted();
        if (m_lexer[escape].kind != SqlTokenKind::String || given.size() != 1)
            return refuse(506, QStringLiteral("The invalid escape character \"%1\" was specified in a LIKE "
                                              "predicate.")
                                   .arg(given));
        escapeCharacter = given[0];
        for (qsizetype i = pattern + 1; i <= escape; ++i)
            m_lexer.replace(i, QString());
    }
    // One character as it stands, in either letter case.
    const auto character = [](QChar c, bool inSet) {
        const QString cases = c.toLower() == c.toUpper() ? QString(c) : QString(c.toLower()) + c.toUpper();
        if (c.isLetterOrNumber())
            return cases.size() > 1 && !inSet ? u'[' + cases + u']' : cases;
        return u'\\' + cases;
    };
    QString similar;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const qsizetype close = c == u'[' ? text.indexOf(u']', i + 2) : -1;
        if (c == escapeCharacter && i + 1 < text.size()) {
            similar += character(text[++i], false);
        } else if (c == u'%' || c == u'_') {
            similar += c;
        } else if (close > 0) {
            QStringView set = QStringView(text).mid(i + 1, close - i - 1);
            similar += u'[';
            if (set.startsWith(u'^')) {
                similar += u'^';
                set = set.mid(1);
            }
            for (qsizetype k = 0; k < set.size(); ++k) {
                if (k + 2 < set.size() && set[k + 1] == u'-') {
                    const QChar low = set[k];
                    const QChar high = set[k + 2];
                    if (low.isLetter() && high.isLetter())
                        similar += QString(low.toLower()) + u'-' + high.toLower() + low.toUpper() + u'-' +
                                   high.toUpper();
                    else
                        similar += character(low, true) + u'-' + character(high, true);
                    k += 2;
                } else {
                    similar += character(set[k], true);
                }
            }
            similar += u']';
            i = close;
        } else {
            similar += character(c, false);
        }
    }
    m_lexer.replace(index, QStringLiteral("SIMILAR TO"));
    m_lexer.replace(pattern, SqlQuotedLiteral(similar));
    return true;
}

// " OPTION (MAXDOP 1)", which the program's SQL runner appends to every query for SQL Server and Sybase.
bool StatementTranslation::dropQueryHint()
{
    qsizetype close = m_lexer.previous(m_lexer.size());
    if (isOperatorAt(close, u";"))
        close = m_lexer.previous(close);
    const qsizetype degree = close < 0 ? -1 : m_lexer.previous(close);
    const qsizetype maxdop = degree < 0 ? -1 : m_lexer.previous(degree);
    const qsizetype open = maxdop < 0 ? -1 : m_lexer.previous(maxdop);
    const qsizetype option = open < 0 ? -1 : m_lexer.previous(open);
    if (!isOperatorAt(close, u")") || degree < 0 || m_lexer[degree].kind != SqlTokenKind::Number ||
        !isWordAt(maxdop, u"MAXDOP") || !isOperatorAt(open, u"(") || !isWordAt(option, u"OPTION") ||
        m_lexer[option].depth != 0)
        return true;
    if (m_oracle)
        return refuse(933, QStringLiteral("SQL command not properly ended"));
    for (qsizetype i = m_lexer.previous(option) + 1; i <= close; ++i)
        m_lexer.replace(i, QString());
    return true;
}

bool StatementTranslation::rewriteOuterJoins()
{
    if (!m_outerJoins)
        return true;
    OuterJoinRewriter rewriter(
        m_lexer, m_oracle ? OuterJoinRewriter::Style::Oracle : OuterJoinRewriter::Style::TransactSql,
        m_translator.target());
    const QString reason = rewriter.rewrite();
    if (reason.isEmpty())
        return true;
    m_error = SqlTranslator::localError(UntranslatableSqlError,
                                        QStringLiteral("The local DM cannot rewrite the outer joins of this "
                                                       "query safely: %1.")
                                            .arg(reason));
    return false;
}

// SQLite takes a string for a name where only a name can stand ("UPDATE T SET 'NEXT' = 5", "FROM 'T'");
// every server refuses that, also for a double-quoted text while QUOTED_IDENTIFIER is OFF.
bool StatementTranslation::checkStringsAreValues()
{
    const qsizetype first = m_lexer.next(-1);
    const bool update = isWordAt(first, u"UPDATE");
    // An INSERT's column list: the parentheses right after the table name.
    qsizetype columnsOpen = -1;
    qsizetype columnsClose = -1;
    if (isWordAt(first, u"INSERT")) {
        qsizetype name = m_lexer.next(first);
        if (isWordAt(name, u"INTO"))
            name = m_lexer.next(name);
        while (name >= 0 && isOperatorAt(m_lexer.next(name), u"."))
            name = m_lexer.next(m_lexer.next(name));
        const qsizetype open = name < 0 ? -1 : m_lexer.next(name);
        if (isOperatorAt(open, u"(")) {
            columnsOpen = open;
            columnsClose = m_lexer.next(open);
            while (columnsClose >= 0 &&
                   !(isOperatorAt(columnsClose, u")") && m_lexer[columnsClose].depth == 0))
                columnsClose = m_lexer.next(columnsClose);
            if (columnsClose < 0)
                columnsClose = m_lexer.size();
        }
    }
    bool inSet = false;
    for (qsizetype i = first; i >= 0; i = m_lexer.next(i)) {
        const SqlToken &token = m_lexer[i];
        const qsizetype previous = m_lexer.previous(i);
        if (token.depth == 0 && token.isWord(u"SET"))
            inSet = update;
        else if (token.depth == 0 && (token.isWord(u"WHERE") || token.isWord(u"FROM")))
            inSet = false;
        if (!isString(token))
            continue;
        const bool table = isWordAt(previous, u"FROM") || isWordAt(previous, u"JOIN") ||
                           isWordAt(previous, u"INTO") || isWordAt(previous, u"UPDATE") ||
                           isOperatorAt(previous, u".") || isOperatorAt(m_lexer.next(i), u".");
        const bool column =
            (inSet && token.depth == 0 && (isWordAt(previous, u"SET") || isOperatorAt(previous, u","))) ||
            (columnsOpen >= 0 && i > columnsOpen && i < columnsClose && token.depth == 1);
        if (!table && !column)
            continue;
        if (!m_oracle)
            return refuse(102, QStringLiteral("Incorrect syntax near '%1'.").arg(token.unquoted()));
        return table ? refuse(903, QStringLiteral("invalid table name"))
                     : refuse(904, QStringLiteral("\"%1\": invalid identifier").arg(token.unquoted()));
    }
    return true;
}

// SQL Server and Sybase libraries are installed with a case-insensitive sort order, so their ORDER BY
// puts "apple" before "Banana"; SQLite compares bytes unless told otherwise. On PostgreSQL the library's
// text is citext, which sorts so already, but NULLs sort last in ascending order there, and first on
// SQL Server and Sybase (as on SQLite; Oracle sorts them as PostgreSQL does).
void StatementTranslation::orderCaseInsensitively()
{
    for (qsizetype order = 0; order < m_lexer.size(); ++order) {
        const qsizetype by = m_lexer.next(order);
        if (!m_lexer[order].isWord(u"ORDER") || !isWordAt(by, u"BY"))
            continue;
        const int depth = m_lexer[order].depth;
        qsizetype termEnd = -1;
        qsizetype direction = -1;
        bool collated = false;
        const auto finishTerm = [&] {
            if (m_server && termEnd >= 0) {
                const qsizetype last = std::max(termEnd, direction);
                const bool descending = direction >= 0 && m_lexer[direction].isWord(u"DESC");
                m_lexer.replace(
                    last, m_lexer.currentText(last).toString() +
                              (descending ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST")));
            } else if (termEnd >= 0 && !collated) {
                m_lexer.replace(termEnd, m_lexer.currentText(termEnd).toString() + NoCaseCollation);
            }
            termEnd = -1;
            direction = -1;
            collated = false;
        };
        for (qsizetype i = m_lexer.next(by); i >= 0; i = m_lexer.next(i)) {
            const SqlToken &token = m_lexer[i];
            if (token.depth < depth)
                break;
            if (token.depth == depth) {
                if (token.isOperator(u",")) {
                    finishTerm();
                    continue;
                }
                if (token.isOperator(u";") || token.isOneOfWords(OrderByEnds))
                    break;
                if (token.isWord(u"COLLATE"))
                    collated = true;
                if (token.isWord(u"ASC") || token.isWord(u"DESC")) {
                    direction = i;
                    continue;
                }
            }
            termEnd = i;
        }
        finishTerm();
    }
}

// Rows that ORDER BY ranks alike come from SQLite in the order of their SYSTEM_ID, the key its tables are
// stored by; PostgreSQL gives them in any order, and may change it from one run to the next, so that a sort
// by display name would find case twins out of order every time. A query of one table keyed by SYSTEM_ID
// has its order completed with that key.
void StatementTranslation::orderTiesAsStored()
{
    static constexpr std::array<QStringView, 10> KeyedTables = {
        u"APPS",   u"FORMS",       u"GROUPS",           u"PEOPLE",      u"PROFILE",
        u"FOLDER", u"FOLDER_ITEM", u"REMOTE_LIBRARIES", u"ROOT_OBJECT", u"ACTIVITYLOG"};
    const qsizetype first = m_lexer.next(-1);
    if (first < 0 || !m_lexer[first].isWord(u"SELECT"))
        return;
    qsizetype from = -1;
    qsizetype order = -1;
    qsizetype end = -1; // the last token of the ORDER BY list
    for (qsizetype i = first; i >= 0; i = m_lexer.next(i)) {
        const SqlToken &token = m_lexer[i];
        if (token.depth > 0)
            continue;
        if (token.isWord(u"DISTINCT") || token.isWord(u"GROUP") || token.isWord(u"JOIN") ||
            (from >= 0 && order < 0 && token.isOperator(u",")) || (order >= 0 && token.isOperator(u";")))
            return;
        if (token.isWord(u"FROM") && from < 0)
            from = i;
        else if (token.isWord(u"ORDER") && isWordAt(m_lexer.next(i), u"BY"))
            order = i;
        else if (order >= 0 && token.isOneOfWords(OrderByEnds))
            break;
        else if (order >= 0)
            end = i;
    }
    if (from < 0 || order < 0 || end < 0)
        return;
    // The table's name, after its owner if one is written.
    qsizetype table = m_lexer.next(from);
    if (isOperatorAt(m_lexer.next(table), u"."))
        table = m_lexer.next(m_lexer.next(table));
    if (table < 0 || !m_lexer[table].isOneOfWords(KeyedTables))
        return;
    m_lexer.replace(end, m_lexer.currentText(end).toString() + QStringLiteral(", SYSTEM_ID"));
}

} // namespace

SqlTranslator::SqlTranslator(const LibraryConfig &config)
    : m_config(config), m_dialect(dialectOf(config.engine)),
      m_target(config.onServer() ? SqlTarget::PostgreSql : SqlTarget::Sqlite),
      m_knowsTryCast(m_dialect == SqlDialect::SqlServer && leadingNumber(config.productVersion) >= 11 &&
                     config.compatibilityLevel >= 110)
{
}

SqlDialect SqlTranslator::dialectOf(int engine)
{
    if (IsOracle(engine))
        return SqlDialect::Oracle;
    return IsSybase(engine) ? SqlDialect::Sybase : SqlDialect::SqlServer;
}

SqlTranslation SqlTranslator::translate(const QString &statement) const
{
    return StatementTranslation(*this, m_config, m_knowsTryCast, statement).result();
}

SqlError SqlTranslator::localError(qint32 number, const QString &message)
{
    return {number, QStringLiteral("[Korvel][Local DM]") + message};
}

SqlError SqlTranslator::serverError(qint32 number, const QString &message) const
{
    switch (m_dialect) {
    case SqlDialect::Oracle:
        return {number,
                QStringLiteral("[Oracle][ODBC][Ora]ORA-%1: %2").arg(number, 5, 10, QChar(u'0')).arg(message)};
    case SqlDialect::Sybase:
        return {number, QStringLiteral("[Sybase][ODBC Driver][Adaptive Server Enterprise]") + message};
    case SqlDialect::SqlServer:
        break;
    }
    return {number, QStringLiteral("[Microsoft][ODBC SQL Server Driver][SQL Server]") + message};
}

namespace {

// The server errors of the faults a library database reports, in whichever words it reports them.
class ServerFaults {
public:
    ServerFaults(const SqlTranslator &translator, const QString &owner)
        : m_translator(translator), m_owner(owner), m_oracle(translator.dialect() == SqlDialect::Oracle)
    {
    }

    SqlError noTable(const QString &table) const
    {
        return m_oracle ? error(942, QStringLiteral("table or view does not exist"))
                        : error(208, QStringLiteral("Invalid object name '%1'.").arg(table));
    }
    // "P.nope" or "nope".
    SqlError noColumn(const QString &column) const
    {
        return m_oracle
                   ? error(904, oracleName(column) + QStringLiteral(": invalid identifier"))
                   : error(207, QStringLiteral("Invalid column name '%1'.").arg(column.section(u'.', -1)));
    }
    SqlError noFunction(const QString &function) const
    {
        return m_oracle
                   ? error(904, oracleName(function) + QStringLiteral(": invalid identifier"))
                   : error(195,
                           QStringLiteral("'%1' is not a recognized built-in function name.").arg(function));
    }
    SqlError ambiguous(const QString &column) const
    {
        return m_oracle
                   ? error(918, QStringLiteral("column ambiguously defined"))
                   : error(209, QStringLiteral("Ambiguous column name '%1'.").arg(column.section(u'.', -1)));
    }
    SqlError syntaxNear(const QString &where) const
    {
        return m_oracle ? error(933, QStringLiteral("SQL command not properly ended"))
                        : error(102, QStringLiteral("Incorrect syntax near '%1'.").arg(where));
    }
    SqlError syntaxAtEnd() const
    {
        return m_oracle ? error(936, QStringLiteral("missing expression"))
                        : error(102, QStringLiteral("Incorrect syntax near the end of the statement."));
    }
    // "PROFILE.DOCNUMBER", or "T.A, T.B" for a key of two columns.
    SqlError duplicate(const QString &columns) const
    {
        return m_oracle ? error(1, QStringLiteral("unique constraint (%1.%2) violated").arg(m_owner, columns))
                        : error(2627, QStringLiteral("Violation of UNIQUE KEY constraint '%1'. Cannot insert "
                                                     "duplicate key in object '%2'.")
                                          .arg(columns, m_owner + u'.' + columns.section(u'.', 0, 0)));
    }
    SqlError tooLong(const TextColumn &column) const
    {
        return m_oracle ? error(12899, QStringLiteral("value too large for column %1 (maximum: %2)")
                                           .arg(oracleName(m_owner + u'.' + column.constraintName()))
                                           .arg(column.length))
                        : error(8152, QStringLiteral("String or binary data would be truncated."));
    }
    // "FOLDER.DOCNUMBER".
    SqlError notNull(const QString &column) const
    {
        return m_oracle
                   ? error(1400, QStringLiteral("cannot insert NULL into (%1)")
                                     .arg(oracleName(m_owner + u'.' + column)))
                   : error(515,
                           QStringLiteral("Cannot insert the value NULL into column '%1', table '%2'; "
                                          "column does not allow nulls.")
                               .arg(column.section(u'.', -1), m_owner + u'.' + column.section(u'.', 0, 0)));
    }
    SqlError other(const QString &message) const { return error(m_oracle ? 20000 : 50000, message); }

    SqlError error(qint32 number, const QString &message) const
    {
        return m_translator.serverError(number, message);
    }
    bool oracle() const { return m_oracle; }

private:
    const SqlTranslator &m_translator;
    const QString &m_owner;
    const bool m_oracle;
};

} // namespace

SqlError SqlTranslator::sqliteError(StorageFailure::Broken broken, const QString &message) const
{
    const ServerFaults faults(*this, m_config.owner);
    const auto subject = [&](QLatin1StringView prefix) {
        return message.startsWith(prefix) ? message.mid(prefix.size()) : QString();
    };
    if (const QString table = subject(QLatin1StringView("no such table: ")); !table.isEmpty())
        return faults.noTable(table);
    if (const QString column = subject(QLatin1StringView("no such column: ")); !column.isEmpty())
        return faults.noColumn(column);
    if (const QString function = subject(QLatin1StringView("no such function: ")); !function.isEmpty())
        return faults.noFunction(function);
    if (const QString column = subject(QLatin1StringView("ambiguous column name: ")); !column.isEmpty())
        return faults.ambiguous(column);
    if (message.endsWith(QLatin1StringView(": syntax error")) ||
        message.startsWith(QLatin1StringView("unrecognized token: "))) {
        static const QRegularExpression near(QStringLiteral("^(?:near|unrecognized token:) \"(.*)\""));
        return faults.syntaxNear(near.match(message).captured(1));
    }
    if (message == QLatin1StringView("incomplete input"))
        return faults.syntaxAtEnd();
    // "UNIQUE constraint failed: PROFILE.DOCNUMBER"
    const QString columns = message.section(QStringLiteral(": "), 1);
    if (broken == StorageFailure::Broken::Key)
        return faults.duplicate(columns);
    if (const TextColumn *column =
            broken == StorageFailure::Broken::Check ? LibraryTextColumn(columns) : nullptr)
        return faults.tooLong(*column);
    if (broken == StorageFailure::Broken::NotNull)
        return faults.notNull(columns);
    return faults.other(message);
}

SqlError SqlTranslator::postgresError(const QByteArray &sqlstate, const QString &message,
                                      const QString &constraint) const
{
    const ServerFaults faults(*this, m_config.owner);
    const bool oracle = faults.oracle();
    // PostgreSQL quotes the names its messages are about: 'relation "docsadm.nope" does not exist'. It
    // has folded them to lower case; the program writes them in upper case, as the server repeats them.
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    QStringList names;
    for (const QRegularExpressionMatch &match : quoted.globalMatch(message))
        names << match.captured(1).toUpper();
    const QString name = names.value(0);
    if (sqlstate == "42P01")
        return faults.noTable(name);
    if (sqlstate == "42703") {
        // A qualified column is named unquoted: "column p.nope does not exist".
        static const QRegularExpression unquoted(QStringLiteral("^column (\\S+) does not exist"));
        return faults.noColumn(name.isEmpty() ? unquoted.match(message).captured(1).toUpper() : name);
    }
    if (sqlstate == "42883") {
        static const QRegularExpression function(QStringLiteral("function ([^(\\s]+)\\("));
        return faults.noFunction(function.match(message).captured(1).section(u'.', -1).toUpper());
    }
    if (sqlstate == "42702")
        return faults.ambiguous(name);
    if (sqlstate == "42601")
        return name.isEmpty() ? faults.syntaxAtEnd() : faults.syntaxNear(name);
    // The library's keys and length checks are named as SQLite names them (LibrarySchemaStatements).
    if (sqlstate == "23505") {
        // A key "T(A, B)" is what SQLite calls "T.A, T.B".
        const QString table = constraint.section(u'(', 0, 0);
        QStringList columns = constraint.section(u'(', 1)
                                  .chopped(constraint.endsWith(u')') ? 1 : 0)
                                  .split(QStringLiteral(", "));
        for (QString &column : columns)
            column.prepend(table + u'.');
        return faults.duplicate(constraint.contains(u'(') ? columns.join(QStringLiteral(", ")) : constraint);
    }
    if (const TextColumn *column = sqlstate == "23514" ? LibraryTextColumn(constraint) : nullptr)
        return faults.tooLong(*column);
    // 'null value in column "docnumber" of relation "folder" violates not-null constraint'
    if (sqlstate == "23502" && names.size() >= 2)
        return faults.notNull(names[1] + u'.' + names[0]);
    // 'invalid input syntax for type bigint: "abc"'
    if (sqlstate == "22P02") {
        static const QRegularExpression type(QStringLiteral("type (\\w+)"));
        return oracle
                   ? faults.error(1722, QStringLiteral("invalid number"))
                   : faults.error(245, QStringLiteral("Conversion failed when converting the varchar value "
                                                      "'%1' to data type %2.")
                                           .arg(name, type.match(message).captured(1)));
    }
    if (sqlstate == "22012")
        return oracle ? faults.error(1476, QStringLiteral("divisor is equal to zero"))
                      : faults.error(8134, QStringLiteral("Divide by zero error encountered."));
    if (sqlstate == "55P03")
        switch (m_dialect) {
        case SqlDialect::Oracle:
            return faults.error(30006, QStringLiteral("resource busy; acquire with WAIT timeout expired"));
        case SqlDialect::Sybase:
            return faults.error(12205, QStringLiteral("Could not acquire a lock within the specified wait "
                                                      "period."));
        case SqlDialect::SqlServer:
            return faults.error(1222, QStringLiteral("Lock request time out period exceeded."));
        }
    if (sqlstate == "40P01" || sqlstate == "40001")
        switch (m_dialect) {
        case SqlDialect::Oracle:
            return sqlstate == "40P01"
                       ? faults.error(60, QStringLiteral("deadlock detected while waiting for resource"))
                       : faults.error(8177, QStringLiteral("can't serialize access for this transaction"));
        case SqlDialect::Sybase:
            return faults.error(1205, QStringLiteral("Your server command encountered a deadlock situation. "
                                                     "Please re-run your command."));
        case SqlDialect::SqlServer:
            return faults.error(1205,
                                QStringLiteral("Transaction was deadlocked on lock resources with another "
                                               "process and has been chosen as the deadlock victim. "
                                               "Rerun the transaction."));
        }
    if (sqlstate == "57P01" || sqlstate.startsWith("08"))
        return oracle ? faults.error(3113, QStringLiteral("end-of-file on communication channel"))
                      : faults.error(10054, QStringLiteral("Communication link failure: %1").arg(message));
    return faults.other(message);
}

SqlError SqlTranslator::storageError(const StorageFailure &failure) const
{
    if (failure.sqlstate.isEmpty())
        return sqliteError(failure.broken, failure.message);
    return postgresError(failure.sqlstate, failure.message, failure.constraint);
}
