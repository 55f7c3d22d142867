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
    // A condition nested deeper than SQLite's parser takes (it generates as deep again), or
    // deep enough to exhaust the stack, is refused where it goes too deep; what a query needs
    // is read.
    const QString tooDeep = QStringLiteral("expected a condition nested at most 24 levels deep");
    const QString where = QStringLiteral("select * from t.db where ");
    const struct
    {
        QString condition;
        int position; // 0: read
    } depths[] = {
        {QString(20000, u'(') + u'a', 50},
        {QStringLiteral("not ").repeated(20000) + u'a', 122},
        {QStringLiteral("a = 1 or ").repeated(25) + QStringLiteral("a = 1"), 248},
        {QStringLiteral("a = 1 and ").repeated(25) + QStringLiteral("a = 1"), 272},
        {QStringLiteral("upper(").repeated(25) + u'a' + QString(25, u')') + QStringLiteral(" = 'A'"), 164},
        // Within each count, but 25 deep together: refused at WHERE.
        {QStringLiteral("a = 1 or (").repeated(23) + QStringLiteral("a = 1") + QString(23, u')'), 20},
        {QStringLiteral("a = 1 or ").repeated(12) + QStringLiteral("upper(").repeated(8) + u'a' +
             QString(8, u')') + QStringLiteral(" = 'A'"), 0},
        {QString(12, u'(') + QStringLiteral("not upper(upper(a)) like 'x%'") + QString(12, u')'), 0},
    };
    for (const auto &d : depths) {
        SCOPED_TRACE(d.condition.left(40).toStdString());
        const QString error = parseError(where + d.condition);
        if (d.position == 0)
            EXPECT_EQ(error, QStringLiteral("(no error)"));
        else
            EXPECT_TRUE(error.startsWith(QStringLiteral("Syntax error at position %1: %2").arg(d.position).arg(tooDeep)))
                << error.toStdString();
    }
}
