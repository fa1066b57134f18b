#pragma once

#include "dmapi/sqllexer.h"
#include "localdm/store/schema.h"

#include <QList>
#include <QString>

// Rewrites the old outer-join operators of a query over a comma-separated FROM list into ANSI joins, on the
// tokens of a lexer whose other tokens are already translated (their current texts are reused):
//
//   SELECT ... FROM S, P, R WHERE (P.X (+) = S.Y AND S.T = R.ID)     Oracle: P optional, every S row kept
//   SELECT ... FROM S, P, R WHERE (P.X =* S.Y AND S.T = R.ID)        Transact-SQL; S.Y *= P.X is the same
//
// both become
//
//   SELECT ... FROM S, R LEFT JOIN P ON P.X = S.Y WHERE (1 = 1 AND S.T = R.ID)
//
// Only shapes whose meaning is certain are rewritten: each operator joins two qualified columns of tables
// named in the FROM list of the statement's own SELECT, stands in its WHERE clause as one of the terms
// joined by AND (within plain parentheses, no OR or NOT anywhere in the clause), an optional table is
// optional in all its outer-join terms and named nowhere else in the WHERE clause, and no table is both
// optional and kept. Anything else is refused, with the reason, and the lexer is left untouched.
//
// PostgreSQL lets an ON clause see only the tables joined before it, so there the kept tables are joined
// by CROSS JOIN instead of commas: "FROM S CROSS JOIN R LEFT JOIN P ON P.X = S.Y". SQLite reads CROSS JOIN
// as an order it must keep, so there they stay a list.
class OuterJoinRewriter {
public:
    enum class Style { Oracle, TransactSql };

    OuterJoinRewriter(SqlLexer &lexer, Style style, SqlTarget target = SqlTarget::Sqlite);

    // Empty on success, else why the statement cannot be rewritten safely.
    QString rewrite();

private:
    struct ColumnRef {
        qsizetype first = -1;
        qsizetype last = -1;
        QString table; // the qualifier, unquoted and upper-cased
    };
    // One "left = right" term with an outer-join operator, from its first to its last token.
    struct Predicate {
        qsizetype first;
        qsizetype last;
        ColumnRef left;
        ColumnRef right;
        bool leftOptional;

        const ColumnRef &optional() const { return leftOptional ? left : right; }
        const ColumnRef &kept() const { return leftOptional ? right : left; }
    };
    struct FromItem {
        qsizetype first;
        qsizetype last;
        QString alias; // upper-cased
        bool optional = false;
        bool kept = false;
    };

    bool isName(qsizetype index) const;
    bool isDot(qsizetype index) const;
    bool isWordAt(qsizetype index, QStringView word) const;
    ColumnRef columnEndingAt(qsizetype last) const;
    ColumnRef columnStartingAt(qsizetype first) const;
    QString parsePredicate(qsizetype marker);
    QString checkConjunct(const Predicate &predicate) const;
    QString parseFromList();
    QString addFromItem(const QList<qsizetype> &parts);
    FromItem *item(const QString &alias);
    bool isMarker(qsizetype index) const;
    void apply();

    SqlLexer &m_lexer;
    Style m_style;
    SqlTarget m_target;
    qsizetype m_from = -1;
    qsizetype m_where = -1;
    qsizetype m_whereEnd = -1;
    QList<Predicate> m_predicates;
    QList<FromItem> m_items;
};
