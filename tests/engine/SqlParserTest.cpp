// The tokenizer and the parser on their own: token positions, paths, and where errors point
// (also in statements over several lines). What statements find is the dialect's test.

#include "testsupport/EngineFixture.h"

#include "engine/EngineError.h"
#include "engine/SqlParser.h"
#include "engine/SqlTokenizer.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

QString parseError(const QString &text)
{
    return errorOf([&] { SqlParser::parse(text); });
}

} // namespace

TEST(SqlTokenizer, ReadsDoubledQuotesAsOneAndKeepsPositions)
{
    const auto tokens = SqlTokenizer::tokenize(QStringLiteral("opis='it''s'  and x>=-2.50"));
    ASSERT_EQ(tokens.size(), 9u);
    EXPECT_EQ(tokens[2].kind, SqlToken::String);
    EXPECT_EQ(tokens[2].value, QStringLiteral("it's"));
    EXPECT_EQ(tokens[2].position, 6);
    EXPECT_EQ(tokens[2].length, 7);
    EXPECT_EQ(tokens[3].position, 15); // "and" after two blanks
    EXPECT_EQ(tokens[5].text, QStringLiteral(">="));
    EXPECT_EQ(tokens[6].text, QStringLiteral("-"));
    EXPECT_EQ(tokens[7].text, QStringLiteral("2.50"));
    EXPECT_EQ(tokens[8].kind, SqlToken::End);
}

// Paths in every form the program writes; a blank ends an unquoted one.
TEST(SqlParser, ReadsPathsInEveryForm)
{
    const SqlSelect s = SqlParser::parse(QStringLiteral("select * from podaci\\promet.db where a = 1"));
    EXPECT_EQ(s.tablePath, QStringLiteral("podaci\\promet.db"));
    EXPECT_EQ(s.tablePosition, 15);
    EXPECT_EQ(SqlParser::parse(QStringLiteral("select * from podaci/promet.db")).tablePath,
              QStringLiteral("podaci/promet.db"));
    EXPECT_EQ(SqlParser::parse(QStringLiteral("select * from \"podaci\\my table.db\"")).tablePath,
              QStringLiteral("podaci\\my table.db"));
    EXPECT_EQ(SqlParser::parse(QStringLiteral("select * from podaci\\bck-07-12-26-09-05-33.db")).tablePath,
              QStringLiteral("podaci\\bck-07-12-26-09-05-33.db"));
    EXPECT_EQ(parseError(QStringLiteral("select * from podaci\\ promet.db")),
              QStringLiteral("Syntax error at position 23: expected the end of the statement, found 'promet'"));
}

TEST(SqlParser, NamesThePlaceWhereAStatementLeavesTheDialect)
{
    EXPECT_EQ(parseError(QString()), QStringLiteral("Syntax error at position 1: expected SELECT, found the end of the statement"));
    EXPECT_EQ(parseError(QStringLiteral("select from t.db")),
              QStringLiteral("Syntax error at position 8: expected a field name, found 'from'"));
    EXPECT_EQ(parseError(QStringLiteral("select * from t.db where")),
              QStringLiteral("Syntax error at position 25: expected a field name or a value, found the end of the statement"));
    EXPECT_EQ(parseError(QStringLiteral("select * from t.db where a between 1 or 2")),
              QStringLiteral("Syntax error at position 38: expected AND, found 'or'"));
    EXPECT_EQ(parseError(QStringLiteral("select * from t.db where a")),
              QStringLiteral("Syntax error at position 27: expected a comparison, BETWEEN, LIKE or IS, found the end of the statement"));
    EXPECT_EQ(parseError(QStringLiteral("select * from t.db where a like '%' escape 'ab'")),
              QStringLiteral("Syntax error at position 44: expected one character in quotes after ESCAPE, found ''ab''"));
    EXPECT_EQ(parseError(QStringLiteral("select * from t.db where (a = 1")),
              QStringLiteral("Syntax error at position 32: expected ')', found the end of the statement"));
    EXPECT_EQ(parseError(QStringLiteral("select * from t.db where a = \"x")),
              QStringLiteral("Syntax error at position 30: unterminated quoted name"));
    // Lines are joined with a line break, which counts as one character.
    EXPECT_EQ(parseError(QStringLiteral("select *\nfrom t.db\nwhere a = = 1")),
              QStringLiteral("Syntax error at position 30: expected a field name or a value, found '='"));
    // Nesting deep enough to exhaust the stack is refused where it goes too deep; what a
    // query needs is read.
    const QString deep = QStringLiteral("select * from t.db where ") + QString(20000, u'(') + u'a';
    EXPECT_EQ(parseError(deep), QStringLiteral("Syntax error at position 126: expected at most 100 "
                                               "nested parentheses, NOT or UPPER, found '('"));
    EXPECT_TRUE(parseError(QStringLiteral("select * from t.db where ") + QStringLiteral("not ").repeated(20000) + u'a')
                    .startsWith(QStringLiteral("Syntax error at position 426: expected at most 100 nested")));
    EXPECT_EQ(parseError(QStringLiteral("select * from t.db where ") + QString(40, u'(') + QStringLiteral("upper(").repeated(40) + u'a' +
                         QString(40, u')') + QStringLiteral(" = 'A'") + QString(40, u')')),
              QStringLiteral("(no error)"));
}
