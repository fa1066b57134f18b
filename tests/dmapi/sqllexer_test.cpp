#include "dmapi/sqllexer.h"

#include <gtest/gtest.h>

namespace {

QString joinedTexts(const SqlLexer &lexer)
{
    QString text;
    for (const SqlToken &token : lexer.tokens())
        text += token.text;
    return text;
}

// "kind:text" of every token that is not blank.
QStringList significant(const QString &sql)
{
    const SqlLexer lexer(sql);
    QStringList result;
    for (const SqlToken &token : lexer.tokens()) {
        if (token.isBlank())
            continue;
        const char *kind = "";
        switch (token.kind) {
        case SqlTokenKind::String:
            kind = "str";
            break;
        case SqlTokenKind::BracketIdentifier:
            kind = "br";
            break;
        case SqlTokenKind::QuotedIdentifier:
            kind = "qi";
            break;
        case SqlTokenKind::Number:
            kind = "num";
            break;
        case SqlTokenKind::Word:
            kind = "w";
            break;
        case SqlTokenKind::Operator:
            kind = "op";
            break;
        default:
            break;
        }
        result << QString::fromLatin1(kind) + u':' + token.text.toString();
    }
    return result;
}

} // namespace

TEST(SqlLexerTest, JoiningTheTokensGivesBackTrickyInputExactly)
{
    const QStringList inputs = {
        "SELECT 'It''s', '''''', '' FROM T WHERE A = 'x'",
        "SELECT [we'ird]]name], [a\"b], \"say \"\"hi\"\"\", \"it's\" FROM [DOCSADM].[PROFILE]",
        "SELECT X FROM T WHERE NAME = 'open",
        "UPDATE T SET [NEXT = 1",
        "SELECT \"unclosed FROM T",
        "SELECT 1 /* it's a comment */ -- another 'one\r\nFROM T /* open",
        "SELECT UPPER(DOCNAME) FROM PROFILE WHERE DOCNAME = 'Réunion 中文 𝒜' AND ÉTAT = 1 AND 𝒜bc = 2",
        "SELECT a<>b, a!=b, a<=b, a>=b, a=*b, a*=b, a||b, a (+) = b, a<<b, a==b FROM T",
        "SELECT 0xf, 1.5, .5, 2.5E3, 2e+, 12abc, 0x FROM T",
        " \t\r\n ",
        "",
        "e\u0301té @var #temp a$b ~ ` ?",
    };
    for (const QString &input : inputs) {
        const SqlLexer lexer(input);
        EXPECT_EQ(joinedTexts(lexer), input);
        EXPECT_EQ(lexer.toString(), input);
        qsizetype offset = 0;
        for (const SqlToken &token : lexer.tokens()) {
            EXPECT_EQ(token.offset, offset) << input.toStdString();
            EXPECT_FALSE(token.text.isEmpty());
            offset += token.text.size();
        }
    }
}

TEST(SqlLexerTest, LiteralsAndQuotedIdentifiersAreSingleTokens)
{
    EXPECT_EQ(significant("SELECT 'It''s' AS [we'ird]]name], \"say \"\"hi\"\"\" FROM T"),
              QStringList({"w:SELECT", "str:'It''s'", "w:AS", "br:[we'ird]]name]", "op:,",
                           "qi:\"say \"\"hi\"\"\"", "w:FROM", "w:T"}));

    const SqlLexer lexer("SELECT 'It''s', [we'ird]]name], \"say \"\"hi\"\"\", '''', ''");
    QStringList values;
    for (const SqlToken &token : lexer.tokens()) {
        if (token.kind != SqlTokenKind::Whitespace && token.kind != SqlTokenKind::Operator &&
            token.kind != SqlTokenKind::Word)
            values << token.unquoted();
    }
    EXPECT_EQ(values, QStringList({"It's", "we'ird]name", "say \"hi\"", "'", ""}));

    // A comment hides quotes from the lexer, as from the server.
    EXPECT_EQ(significant("SELECT 1 -- it's\nFROM /* don't */ T"),
              QStringList({"w:SELECT", "num:1", "w:FROM", "w:T"}));
}

TEST(SqlLexerTest, UnterminatedQuotesRunToTheEndAndAreFlagged)
{
    for (const QString &input :
         {QString("SELECT X FROM T WHERE NAME = '"), QString("WHERE A = 'it''s"), QString("SET [NEXT = 1"),
          QString("SET \"NEXT = 1"), QString("SELECT 1 /* x")}) {
        const SqlLexer lexer(input);
        ASSERT_GT(lexer.size(), 0);
        EXPECT_TRUE(lexer.hasUnterminated()) << input.toStdString();
        EXPECT_TRUE(lexer[lexer.size() - 1].unterminated);
        EXPECT_EQ(lexer[lexer.size() - 1].offset + lexer[lexer.size() - 1].text.size(), input.size());
    }
    const SqlLexer closed("WHERE A = 'it''s' AND B = ''''");
    EXPECT_FALSE(closed.hasUnterminated());
    EXPECT_EQ(SqlLexer("WHERE A = 'it''s").tokens().last().unquoted(), "it's");
}

TEST(SqlLexerTest, OperatorsNumbersAndWords)
{
    EXPECT_EQ(significant("a<>b!=c<=d>=e=*f*=g||h"),
              QStringList({"w:a", "op:<>", "w:b", "op:!=", "w:c", "op:<=", "w:d", "op:>=", "w:e", "op:=*",
                           "w:f", "op:*=", "w:g", "op:||", "w:h"}));
    EXPECT_EQ(significant("P.X (+) = S.Y"),
              QStringList({"w:P", "op:.", "w:X", "op:(", "op:+", "op:)", "op:=", "w:S", "op:.", "w:Y"}));
    EXPECT_EQ(significant("sysstat & 0xf = 3 AND X = 1.5 OR Y = 2.5E3"),
              QStringList({"w:sysstat", "op:&", "num:0xf", "op:=", "num:3", "w:AND", "w:X", "op:=", "num:1.5",
                           "w:OR", "w:Y", "op:=", "num:2.5E3"}));
    EXPECT_EQ(significant("@var #temp a$b ÉTAT e\u0301té 𝒜bc 表"),
              QStringList({"w:@var", "w:#temp", "w:a$b", "w:ÉTAT", "w:e\u0301té", "w:𝒜bc", "w:表"}));
    // A character outside the BMP that is no letter stays one token, not two halves.
    EXPECT_EQ(significant("a 😀 b"), QStringList({"w:a", "op:😀", "w:b"}));
}

TEST(SqlLexerTest, TokensKnowTheirParenthesisDepth)
{
    const SqlLexer lexer("A (B (C) D) E");
    QList<int> depths;
    for (const SqlToken &token : lexer.tokens()) {
        if (!token.isBlank())
            depths << token.depth;
    }
    EXPECT_EQ(depths, QList<int>({0, 0, 1, 1, 2, 1, 1, 0, 0}));
    EXPECT_TRUE(lexer[0].isWord(u"a"));
    EXPECT_EQ(lexer.next(0), 2);
    EXPECT_EQ(lexer.previous(2), 0);
    EXPECT_EQ(lexer.previous(0), -1);
    EXPECT_EQ(lexer.next(lexer.size() - 1), -1);
}

TEST(SqlLexerTest, ReplacedTokensJoinWithTheRest)
{
    SqlLexer lexer("UPDATE T SET [NEXT] = 'a [b]' WHERE X = 1");
    for (qsizetype i = 0; i < lexer.size(); ++i) {
        if (lexer[i].kind == SqlTokenKind::BracketIdentifier)
            lexer.replace(i, u'"' + lexer[i].unquoted() + u'"');
    }
    lexer.replace(lexer.size() - 1, "2");
    EXPECT_EQ(lexer.toString(), "UPDATE T SET \"NEXT\" = 'a [b]' WHERE X = 2");
    EXPECT_EQ(lexer.currentText(lexer.size() - 1), u"2");
    EXPECT_EQ(lexer[lexer.size() - 1].text, u"1");
}

TEST(SqlLexerTest, ReplaceAllNeverReachesIntoLiteralsOrLongerWords)
{
    EXPECT_EQ(SqlLexer::replaceAll("SELECT X FROM T WHERE A <> 'B <> C' AND D  <>  E", u" <> ", " != "),
              "SELECT X FROM T WHERE A != 'B <> C' AND D != E");
    EXPECT_EQ(SqlLexer::replaceAll("SELECT GETUTCDATE(), 'GETUTCDATE()', MYGETUTCDATE(), GETUTCDATE ()",
                                   u"GETUTCDATE()", "SYSDATE"),
              "SELECT SYSDATE, 'GETUTCDATE()', MYGETUTCDATE(), GETUTCDATE ()");
    EXPECT_EQ(SqlLexer::replaceAll("SELECT SYSDATE, SYSDATE_X, 'SYSDATE' FROM T", u"SYSDATE", "GETUTCDATE()"),
              "SELECT GETUTCDATE(), SYSDATE_X, 'SYSDATE' FROM T");
    EXPECT_EQ(SqlLexer::replaceAll("SELECT TRY_CAST(A AS INT), 'TRY_CAST' FROM T", u"TRY_CAST", "CAST"),
              "SELECT CAST(A AS INT), 'TRY_CAST' FROM T");
    EXPECT_EQ(SqlLexer::replaceAll("SELECT X FROM [owner].PROFILE, [Owner].QS_A WHERE N = '[OWNER]'",
                                   u"[OWNER]", "DOCSADM", Qt::CaseInsensitive),
              "SELECT X FROM DOCSADM.PROFILE, DOCSADM.QS_A WHERE N = '[OWNER]'");
    // Literal tokens match only when the pattern names the literal itself.
    EXPECT_EQ(SqlLexer::replaceAll("WHERE A = '''' AND B = ''''''", u" '''' ", " '' "),
              "WHERE A = '' AND B = ''''''");
    EXPECT_EQ(SqlLexer::replaceAll("WHERE A != '' AND B != ''", u" != '' ", " != ' ' "),
              "WHERE A != ' ' AND B != ''");
    EXPECT_EQ(SqlLexer::replaceAll("WHERE NAME = 'x", u"x", "y"), "WHERE NAME = 'x");
}
