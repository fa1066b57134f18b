#include "dmapi/sqllexer.h"

#include <array>

namespace {

const std::array<QStringView, 7> TwoCharacterOperators = {u"<>", u"!=", u"<=", u">=", u"=*", u"*=", u"||"};

// The code point at index and the number of UTF-16 units it takes.
std::pair<char32_t, qsizetype> codePointAt(QStringView text, qsizetype index)
{
    const QChar first = text[index];
    if (first.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(first, text[index + 1]), 2};
    return {first.unicode(), 1};
}

bool isAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char32_t c)
{
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c) || c == '_' || c == '$' || c == '#' || c == '@';
}

bool isWordStart(char32_t c)
{
    return (isWordCharacter(c) && !isAsciiDigit(c) && c != '$' && !QChar::isMark(c));
}

// The end of a quoted token that starts at index with its opening character; a closing character written
// twice stands for itself. Sets unterminated when the text ends first.
qsizetype quotedEnd(QStringView text, qsizetype index, QChar close, bool &unterminated)
{
    qsizetype i = index + 1;
    while (i < text.size()) {
        if (text[i] == close) {
            if (i + 1 < text.size() && text[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    unterminated = true;
    return text.size();
}

qsizetype numberEnd(QStringView text, qsizetype index)
{
    const auto digitAt = [&](qsizetype i) { return i < text.size() && isAsciiDigit(text[i].unicode()); };
    if (text[index] == u'0' && index + 2 < text.size() &&
        (text[index + 1] == u'x' || text[index + 1] == u'X') && isHexDigit(text[index + 2].unicode())) {
        qsizetype i = index + 2;
        while (i < text.size() && isHexDigit(text[i].unicode()))
            ++i;
        return i;
    }
    qsizetype i = index;
    while (digitAt(i))
        ++i;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (digitAt(i))
            ++i;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        const qsizetype sign = i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-') ? 1 : 0;
        if (digitAt(i + 1 + sign)) {
            i += 1 + sign;
            while (digitAt(i))
                ++i;
        }
    }
    return i;
}

} // namespace

bool SqlToken::isWord(QStringView word) const
{
    return kind == SqlTokenKind::Word && text.compare(word, Qt::CaseInsensitive) == 0;
}

QString SqlToken::unquoted() const
{
    QChar close;
    switch (kind) {
    case SqlTokenKind::String:
        close = u'\'';
        break;
    case SqlTokenKind::BracketIdentifier:
        close = u']';
        break;
    case SqlTokenKind::QuotedIdentifier:
        close = u'"';
        break;
    default:
        return text.toString();
    }
    QStringView inner = text.mid(1);
    if (!unterminated)
        inner.chop(1);
    QString value = inner.toString();
    return value.replace(QString(2, close), QString(close));
}

SqlLexer::SqlLexer(QString text) : m_text(std::move(text))
{
    const QStringView sql(m_text);
    int depth = 0;
    qsizetype i = 0;
    while (i < sql.size()) {
        const qsizetype start = i;
        const auto [c, width] = codePointAt(sql, i);
        SqlTokenKind kind = SqlTokenKind::Operator;
        bool unterminated = false;
        if (QChar::isSpace(c)) {
            kind = SqlTokenKind::Whitespace;
            while (i < sql.size() && sql[i].isSpace())
                ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            kind = SqlTokenKind::Comment;
            i = sql.indexOf(u'\n', i);
            if (i < 0)
                i = sql.size();
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == u'*') {
            kind = SqlTokenKind::Comment;
            const qsizetype close = sql.indexOf(u"*/", i + 2);
            unterminated = close < 0;
            i = unterminated ? sql.size() : close + 2;
        } else if (c == '\'') {
            kind = SqlTokenKind::String;
            i = quotedEnd(sql, i, u'\'', unterminated);
        } else if (c == '[') {
            kind = SqlTokenKind::BracketIdentifier;
            i = quotedEnd(sql, i, u']', unterminated);
        } else if (c == '"') {
            kind = SqlTokenKind::QuotedIdentifier;
            i = quotedEnd(sql, i, u'"', unterminated);
        } else if (isAsciiDigit(c)) {
            kind = SqlTokenKind::Number;
            i = numberEnd(sql, i);
        } else if (isWordStart(c)) {
            kind = SqlTokenKind::Word;
            i += width;
            while (i < sql.size()) {
                const auto [next, nextWidth] = codePointAt(sql, i);
                if (!isWordCharacter(next))
                    break;
                i += nextWidth;
            }
        } else {
            const QStringView two = sql.mid(i, 2);
            const bool pair = std::find(TwoCharacterOperators.begin(), TwoCharacterOperators.end(), two) !=
                              TwoCharacterOperators.end();
            i += pair ? 2 : width;
        }
        int tokenDepth = depth;
        if (kind == SqlTokenKind::Operator && c == '(') {
            ++depth;
        } else if (kind == SqlTokenKind::Operator && c == ')' && depth > 0) {
            --depth;
            tokenDepth = depth;
        }
        m_tokens.append({kind, sql.mid(start, i - start), start, tokenDepth, unterminated});
        m_unterminated = m_unterminated || unterminated;
    }
    m_replacements.resize(m_tokens.size());
}

qsizetype SqlLexer::next(qsizetype index) const
{
    for (qsizetype i = index + 1; i < size(); ++i) {
        if (!m_tokens[i].isBlank())
            return i;
    }
    return -1;
}

qsizetype SqlLexer::previous(qsizetype index) const
{
    for (qsizetype i = std::min(index, size()) - 1; i >= 0; --i) {
        if (!m_tokens[i].isBlank())
            return i;
    }
    return -1;
}

void SqlLexer::replace(qsizetype index, QString text)
{
    m_replacements[index] = std::move(text);
}

QStringView SqlLexer::currentText(qsizetype index) const
{
    const std::optional<QString> &replacement = m_replacements[index];
    return replacement ? QStringView(*replacement) : m_tokens[index].text;
}

QString SqlLexer::joined(qsizetype first, qsizetype last) const
{
    QString result;
    result.reserve(m_tokens[last].offset + m_tokens[last].text.size() - m_tokens[first].offset + 16);
    for (qsizetype i = first; i <= last; ++i)
        result += currentText(i);
    return result;
}

QString SqlLexer::replaceAll(const QString &text, QStringView pattern, const QString &replacement,
                             Qt::CaseSensitivity sensitivity)
{
    SqlLexer lexer(text);
    const SqlLexer wanted(pattern.toString());
    if (wanted.size() == 0)
        return text;
    const auto matches = [&](const SqlToken &token, const SqlToken &want) {
        if (token.kind != want.kind)
            return false;
        return token.kind == SqlTokenKind::Whitespace || token.text.compare(want.text, sensitivity) == 0;
    };
    qsizetype i = 0;
    while (i + wanted.size() <= lexer.size()) {
        qsizetype k = 0;
        while (k < wanted.size() && matches(lexer[i + k], wanted[k]))
            ++k;
        if (k < wanted.size()) {
            ++i;
            continue;
        }
        lexer.replace(i, replacement);
        for (k = 1; k < wanted.size(); ++k)
            lexer.replace(i + k, QString());
        i += wanted.size();
    }
    return lexer.toString();
}

QString SqlQuotedLiteral(QString text)
{
    return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\'';
}
