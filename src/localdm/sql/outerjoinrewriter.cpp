#include "localdm/sql/outerjoinrewriter.h"

#include <QStringList>

#include <array>

namespace {

// Words that end the WHERE clause of a query.
const std::array<QStringView, 8> ClauseEnds = {u"GROUP",     u"HAVING", u"ORDER", u"UNION",
                                               u"INTERSECT", u"EXCEPT", u"MINUS", u"OPTION"};
const std::array<QStringView, 4> CompoundOperators = {u"UNION", u"INTERSECT", u"EXCEPT", u"MINUS"};

} // namespace

OuterJoinRewriter::OuterJoinRewriter(SqlLexer &lexer, Style style, SqlTarget target)
    : m_lexer(lexer), m_style(style), m_target(target)
{
}

bool OuterJoinRewriter::isName(qsizetype index) const
{
    if (index < 0)
        return false;
    const SqlTokenKind kind = m_lexer[index].kind;
    return kind == SqlTokenKind::Word || kind == SqlTokenKind::BracketIdentifier ||
           kind == SqlTokenKind::QuotedIdentifier;
}

bool OuterJoinRewriter::isDot(qsizetype index) const
{
    return index >= 0 && m_lexer[index].isOperator(u".");
}

bool OuterJoinRewriter::isWordAt(qsizetype index, QStringView word) const
{
    return index >= 0 && m_lexer[index].isWord(word);
}

bool OuterJoinRewriter::isMarker(qsizetype index) const
{
    if (index < 0)
        return false;
    if (m_style == Style::TransactSql)
        return m_lexer[index].isOperator(u"=*") || m_lexer[index].isOperator(u"*=");
    const qsizetype plus = m_lexer.next(index);
    const qsizetype close = plus < 0 ? -1 : m_lexer.next(plus);
    return m_lexer[index].isOperator(u"(") && close >= 0 && m_lexer[plus].isOperator(u"+") &&
           m_lexer[close].isOperator(u")");
}

OuterJoinRewriter::ColumnRef OuterJoinRewriter::columnEndingAt(qsizetype last) const
{
    const qsizetype dot = isName(last) ? m_lexer.previous(last) : -1;
    const qsizetype table = isDot(dot) ? m_lexer.previous(dot) : -1;
    if (!isName(table) || isDot(m_lexer.previous(table)))
        return {};
    return {table, last, m_lexer[table].unquoted().toUpper()};
}

OuterJoinRewriter::ColumnRef OuterJoinRewriter::columnStartingAt(qsizetype first) const
{
    const qsizetype dot = isName(first) ? m_lexer.next(first) : -1;
    const qsizetype column = isDot(dot) ? m_lexer.next(dot) : -1;
    if (!isName(column) || isDot(m_lexer.next(column)))
        return {};
    return {first, column, m_lexer[first].unquoted().toUpper()};
}

QString OuterJoinRewriter::rewrite()
{
    if (!isWordAt(m_lexer.next(-1), u"SELECT"))
        return QStringLiteral("outer joins are rewritten only in a SELECT statement");
    for (qsizetype i = 0; i < m_lexer.size(); ++i) {
        const SqlToken &token = m_lexer[i];
        if (token.isBlank() || token.depth != 0)
            continue;
        if (token.isOneOfWords(CompoundOperators))
            return QStringLiteral("outer joins are not rewritten in a compound query");
        if (m_from < 0 && token.isWord(u"FROM"))
            m_from = i;
        else if (m_from >= 0 && m_where < 0 && token.isWord(u"WHERE"))
            m_where = i;
        else if (m_where >= 0 && m_whereEnd < 0 && (token.isOneOfWords(ClauseEnds) || token.isOperator(u";")))
            m_whereEnd = i;
    }
    if (m_from < 0 || m_where < 0)
        return QStringLiteral("the query has no FROM list and WHERE clause");
    if (m_whereEnd < 0)
        m_whereEnd = m_lexer.size();
    for (qsizetype i = m_where + 1; i < m_whereEnd; ++i) {
        if (m_lexer[i].isWord(u"OR") || m_lexer[i].isWord(u"NOT"))
            return QStringLiteral("its WHERE clause uses OR or NOT");
    }
    for (qsizetype i = 0; i < m_lexer.size(); ++i) {
        if (!isMarker(i))
            continue;
        if (i <= m_where || i >= m_whereEnd)
            return QStringLiteral("an outer-join operator stands outside the WHERE clause of the query");
        if (const QString reason = parsePredicate(i); !reason.isEmpty())
            return reason;
        i = m_predicates.last().last;
    }
    if (m_predicates.isEmpty())
        return QStringLiteral("no outer-join operator found");
    if (const QString reason = parseFromList(); !reason.isEmpty())
        return reason;

    for (const Predicate &predicate : std::as_const(m_predicates)) {
        FromItem *optional = item(predicate.optional().table);
        FromItem *kept = item(predicate.kept().table);
        if (!optional || !kept)
            return QStringLiteral("%1 is not a table of the FROM list")
                .arg(optional ? predicate.kept().table : predicate.optional().table);
        if (optional == kept)
            return QStringLiteral("it joins %1 with itself").arg(optional->alias);
        optional->optional = true;
        kept->kept = true;
    }
    for (const FromItem &fromItem : std::as_const(m_items)) {
        if (fromItem.optional && fromItem.kept)
            return QStringLiteral("%1 is both optional and kept (chained outer joins)").arg(fromItem.alias);
    }
    // Elsewhere in the clause a condition on an optional table would mean different things on different
    // servers (a filter after the join, or part of it), so such queries are not guessed at.
    for (qsizetype i = m_where + 1; i < m_whereEnd; ++i) {
        const auto inPredicate = std::any_of(m_predicates.begin(), m_predicates.end(),
                                             [&](const Predicate &p) { return i >= p.first && i <= p.last; });
        if (inPredicate || !isName(i) || !isDot(m_lexer.next(i)) || isDot(m_lexer.previous(i)))
            continue;
        const FromItem *named = item(m_lexer[i].unquoted().toUpper());
        if (named && named->optional)
            return QStringLiteral("the optional table %1 is also named elsewhere in the WHERE clause")
                .arg(named->alias);
    }
    apply();
    return {};
}

QString OuterJoinRewriter::parsePredicate(qsizetype marker)
{
    Predicate predicate{};
    if (m_style == Style::Oracle) {
        const qsizetype close = m_lexer.next(m_lexer.next(marker));
        const ColumnRef marked = columnEndingAt(m_lexer.previous(marker));
        if (marked.first < 0)
            return QStringLiteral("(+) does not follow a qualified column");
        const qsizetype after = m_lexer.next(close);
        if (after >= 0 && m_lexer[after].isOperator(u"=")) {
            const ColumnRef other = columnStartingAt(m_lexer.next(after));
            if (other.first < 0 || isMarker(m_lexer.next(other.last)))
                return QStringLiteral("(+) is rewritten only in an equality with a qualified column");
            predicate = {marked.first, other.last, marked, other, true};
        } else {
            const qsizetype equals = m_lexer.previous(marked.first);
            const ColumnRef other = equals >= 0 && m_lexer[equals].isOperator(u"=")
                                        ? columnEndingAt(m_lexer.previous(equals))
                                        : ColumnRef{};
            if (other.first < 0)
                return QStringLiteral("(+) is rewritten only in an equality with a qualified column");
            predicate = {other.first, close, other, marked, false};
        }
    } else {
        const ColumnRef left = columnEndingAt(m_lexer.previous(marker));
        const ColumnRef right = columnStartingAt(m_lexer.next(marker));
        if (left.first < 0 || right.first < 0)
            return QStringLiteral("%1 is rewritten only between two qualified columns")
                .arg(m_lexer[marker].text);
        predicate = {left.first, right.last, left, right, m_lexer[marker].isOperator(u"=*")};
    }
    if (const QString reason = checkConjunct(predicate); !reason.isEmpty())
        return reason;
    m_predicates.append(predicate);
    return {};
}

QString OuterJoinRewriter::checkConjunct(const Predicate &predicate) const
{
    const auto opensTerm = [&](qsizetype index) {
        return index == m_where || isWordAt(index, u"AND") || (index >= 0 && m_lexer[index].isOperator(u"("));
    };
    const qsizetype after = m_lexer.next(predicate.last);
    const bool closesTerm =
        after < 0 || after >= m_whereEnd || isWordAt(after, u"AND") || m_lexer[after].isOperator(u")");
    if (!opensTerm(m_lexer.previous(predicate.first)) || !closesTerm)
        return QStringLiteral("an outer-join term is not one of the terms joined by AND");
    // Every parenthesis around the term must be a plain grouping of AND terms, not a call or a subquery.
    int depth = m_lexer[predicate.first].depth;
    for (qsizetype i = predicate.first - 1; i > m_where && depth > m_lexer[m_where].depth; --i) {
        if (!m_lexer[i].isOperator(u"(") || m_lexer[i].depth != depth - 1)
            continue;
        if (!opensTerm(m_lexer.previous(i)) || isWordAt(m_lexer.next(i), u"SELECT"))
            return QStringLiteral("an outer-join term stands inside an expression or a subquery");
        --depth;
    }
    return {};
}

QString OuterJoinRewriter::parseFromList()
{
    QList<qsizetype> parts;
    for (qsizetype i = m_lexer.next(m_from); i >= 0 && i < m_where; i = m_lexer.next(i)) {
        if (m_lexer[i].depth != 0 || m_lexer[i].isOperator(u"("))
            return QStringLiteral("its FROM clause is not a plain list of tables");
        if (m_lexer[i].isOperator(u",")) {
            if (const QString reason = addFromItem(parts); !reason.isEmpty())
                return reason;
            parts.clear();
        } else {
            parts.append(i);
        }
    }
    return addFromItem(parts);
}

// One FROM list entry: a name with optional qualifiers, then an optional alias, with or without AS.
QString OuterJoinRewriter::addFromItem(const QList<qsizetype> &parts)
{
    const QString notPlain = QStringLiteral("its FROM clause is not a plain list of tables");
    if (parts.isEmpty() || !isName(parts[0]))
        return notPlain;
    qsizetype name = 0;
    while (name + 2 < parts.size() && isDot(parts[name + 1]) && isName(parts[name + 2]))
        name += 2;
    const qsizetype rest = parts.size() - name - 1;
    qsizetype alias = parts[name];
    if (rest == 1 && isName(parts[name + 1]))
        alias = parts[name + 1];
    else if (rest == 2 && isWordAt(parts[name + 1], u"AS") && isName(parts[name + 2]))
        alias = parts[name + 2];
    else if (rest != 0)
        return notPlain;
    const QString aliasName = m_lexer[alias].unquoted().toUpper();
    if (item(aliasName))
        return QStringLiteral("%1 is named twice in the FROM list").arg(aliasName);
    m_items.append({parts.first(), parts.last(), aliasName});
    return {};
}

OuterJoinRewriter::FromItem *OuterJoinRewriter::item(const QString &alias)
{
    const auto found = std::find_if(m_items.begin(), m_items.end(),
                                    [&](const FromItem &entry) { return entry.alias == alias; });
    return found == m_items.end() ? nullptr : &*found;
}

void OuterJoinRewriter::apply()
{
    const auto text = [&](const ColumnRef &column) { return m_lexer.joined(column.first, column.last); };
    QStringList kept;
    QString joins;
    for (const FromItem &fromItem : std::as_const(m_items)) {
        const QString itemText = m_lexer.joined(fromItem.first, fromItem.last);
        if (!fromItem.optional) {
            kept << itemText;
            continue;
        }
        QStringList conditions;
        for (const Predicate &predicate : std::as_const(m_predicates)) {
            if (predicate.optional().table == fromItem.alias)
                conditions << text(predicate.left) + QStringLiteral(" = ") + text(predicate.right);
        }
        joins += QStringLiteral(" LEFT JOIN ") + itemText + QStringLiteral(" ON ") +
                 conditions.join(QStringLiteral(" AND "));
    }
    const qsizetype first = m_items.first().first;
    const qsizetype last = m_items.last().last;
    m_lexer.replace(first, kept.join(m_target == SqlTarget::PostgreSql ? QStringLiteral(" CROSS JOIN ")
                                                                       : QStringLiteral(", ")) +
                               joins);
    for (qsizetype i = first + 1; i <= last; ++i)
        m_lexer.replace(i, QString());
    for (const Predicate &predicate : std::as_const(m_predicates)) {
        m_lexer.replace(predicate.first, QStringLiteral("1 = 1"));
        for (qsizetype i = predicate.first + 1; i <= predicate.last; ++i)
            m_lexer.replace(i, QString());
    }
}
