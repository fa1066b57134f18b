#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <optional>
#include <vector>

enum class SqlTokenKind {
    Whitespace,
    // "-- ..." up to the line end, or "/* ... */".
    Comment,
    // 'text', a quote inside written twice.
    String,
    // [name], a closing bracket inside written twice.
    BracketIdentifier,
    // "name", a double quote inside written twice.
    QuotedIdentifier,
    // 12, 1.5, 2.5E3, 0xf
    Number,
    // Identifiers and keywords: letters of any script, digits, "_", "$", "#" and "@".
    Word,
    // <> != <= >= =* *= || and every other single character.
    Operator,
};

struct SqlToken {
    SqlTokenKind kind;
    // The token exactly as written, a view into the text its SqlLexer keeps.
    QStringView text;
    // Position of the first character in the lexed text.
    qsizetype offset;
    // Parentheses open around the token; an opening and its closing parenthesis stand at the outer depth.
    int depth;
    // A literal, bracketed or quoted identifier or block comment that runs to the end of the text.
    bool unterminated;

    // Whitespace and comments, which carry no meaning for the statement.
    bool isBlank() const { return kind == SqlTokenKind::Whitespace || kind == SqlTokenKind::Comment; }
    // A word equal to the given one in any letter case (Unicode).
    bool isWord(QStringView word) const;
    // A word equal to one of the given ones, in any letter case.
    template <typename Words> bool isOneOfWords(const Words &words) const
    {
        return std::any_of(std::begin(words), std::end(words),
                           [this](QStringView word) { return isWord(word); });
    }
    bool isOperator(QStringView op) const { return kind == SqlTokenKind::Operator && text == op; }
    // The value of a literal or the name of a bracketed or quoted identifier, without the quotes and with
    // doubled quotes made single; the text itself for every other token.
    QString unquoted() const;
};

// Splits one SQL text into tokens, losslessly: the token texts joined give back the text exactly. Callers
// rewrite statements on tokens, never on raw text, so nothing inside a literal is ever touched by accident:
// replace() gives a token a new text and toString() joins the current texts again.
//
// The tokens view the lexer's own copy of the text (implicitly shared and never modified), so they are
// valid as long as this lexer or a copy of it lives.
class SqlLexer {
public:
    explicit SqlLexer(QString text);

    const QString &text() const { return m_text; }
    const QList<SqlToken> &tokens() const { return m_tokens; }
    qsizetype size() const { return m_tokens.size(); }
    const SqlToken &operator[](qsizetype index) const { return m_tokens[index]; }

    // True when some literal, identifier or comment is not closed: the statement's quotes are unbalanced.
    bool hasUnterminated() const { return m_unterminated; }

    // The index of the nearest token after or before index that is not blank; -1 when there is none.
    qsizetype next(qsizetype index) const;
    qsizetype previous(qsizetype index) const;

    // Gives the token a new text (empty to drop it); the token itself keeps its original text.
    void replace(qsizetype index, QString text);
    // The current text of a token: its replacement, or what was written.
    QStringView currentText(qsizetype index) const;
    // The current texts of the tokens from first to last, both included, joined.
    QString joined(qsizetype first, qsizetype last) const;
    QString toString() const { return m_tokens.isEmpty() ? QString() : joined(0, size() - 1); }

    // Replaces, outside literals, every run of tokens that reads as pattern: tokens match by kind and text
    // (in the case sensitivity given), and a whitespace token of the pattern matches any whitespace token.
    // "GETUTCDATE()" thus never matches inside 'GETUTCDATE()' nor "MYGETUTCDATE()", and " <> " matches
    // the operator between blanks of any length.
    static QString replaceAll(const QString &text, QStringView pattern, const QString &replacement,
                              Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);

private:
    QString m_text;
    QList<SqlToken> m_tokens;
    std::vector<std::optional<QString>> m_replacements;
    bool m_unterminated = false;
};

// A text as one SQL string literal: in single quotes, each quote inside written twice.
QString SqlQuotedLiteral(QString text);
