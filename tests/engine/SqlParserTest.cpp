// The tokenizer and the parser on their own: what the tree holds, where errors point, and the
// dialect's edges (paths, quoted names, NOT, IS NULL, negative numbers, statements over
// several lines).

#include "testsupport/QtPrinters.h"

#include "engine/EngineError.h"
#include "engine/SqlParser.h"
#include "engine/SqlTokenizer.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

QString parseError(const QString &text)
{
    try {
        SqlParser::parse(text);
    } catch (const EngineError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

// A compact picture of a condition tree: (AND (= korisnik 'x') (BETWEEN datum 'a' 'b')).
QString shape(const SqlExpr &e)
{
    switch (e.kind) {
    case SqlExpr::Field:
        return e.text;
    case SqlExpr::String:
        return QLatin1Char('\'') + e.text + QLatin1Char('\'');
    case SqlExpr::Number:
        return e.text;
    default:
        break;
    }
    static const char *const names[] = {"", "", "", "UPPER", "", "BETWEEN", "LIKE", "ISNULL",
                                        "AND", "OR", "NOT"};
    QString head = e.kind == SqlExpr::Compare ? e.text : QString::fromLatin1(names[e.kind]);
    if (e.negated)
        head = QStringLiteral("NOT-") + head;
    QStringList parts{head};
    for (const auto &arg : e.args)
        parts << shape(*arg);
    return QLatin1Char('(') + parts.join(QLatin1Char(' ')) + QLatin1Char(')');
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

TEST(SqlParser, BuildsTheTreeOfTheReportStatement)
{
    const SqlSelect s = SqlParser::parse(QStringLiteral(
        "select * from podaci\\promet.db where (datum between '12/01/2026' and '12/07/2026') and "
        "(grupa = 'Gorivo') and upper(opis) like upper('%racun%')"));
    EXPECT_TRUE(s.star);
    EXPECT_EQ(s.tablePath, QStringLiteral("podaci\\promet.db"));
    EXPECT_EQ(s.tablePosition, 15);
    ASSERT_TRUE(s.where);
    EXPECT_EQ(shape(*s.where),
              QStringLiteral("(AND (AND (BETWEEN datum '12/01/2026' '12/07/2026') (= grupa 'Gorivo')) "
                             "(LIKE (UPPER opis) (UPPER '%racun%')))"));
}

TEST(SqlParser, AndBindsTighterThanOrAndNotAppliesToOneFactor)
{
    const SqlSelect s = SqlParser::parse(QStringLiteral(
        "SELECT * FROM a/b.db WHERE x = 1 OR NOT y = 'q' AND z NOT LIKE '%' OR w IS NOT NULL"));
    EXPECT_EQ(shape(*s.where),
              QStringLiteral("(OR (OR (= x 1) (AND (NOT (= y 'q')) (NOT-LIKE z '%'))) (NOT-ISNULL w))"));
    const SqlSelect t = SqlParser::parse(QStringLiteral("select * from t.db where not (a = -5 or b <> c)"));
    EXPECT_EQ(shape(*t.where), QStringLiteral("(NOT (OR (= a -5) (<> b c)))"));
}

TEST(SqlParser, ReadsSumsFieldListsAndPathsInEveryForm)
{
    const SqlSelect sums = SqlParser::parse(
        QStringLiteral("select sum(izlazeur), SUM( izlazdin ),sum(ulazeur) from podaci\\promet.db;"));
    ASSERT_EQ(sums.items.size(), 3u);
    EXPECT_TRUE(sums.items[1].sum);
    EXPECT_EQ(sums.items[1].field, QStringLiteral("izlazdin"));
    EXPECT_EQ(sums.items[1].position, 23);

    EXPECT_EQ(SqlParser::parse(QStringLiteral("select * from podaci/promet.db")).tablePath,
              QStringLiteral("podaci/promet.db"));
    EXPECT_EQ(SqlParser::parse(QStringLiteral("select * from \"podaci\\my table.db\"")).tablePath,
              QStringLiteral("podaci\\my table.db"));
    EXPECT_EQ(SqlParser::parse(QStringLiteral("select * from podaci\\bck-07-12-26-09-05-33.db")).tablePath,
              QStringLiteral("podaci\\bck-07-12-26-09-05-33.db"));
    // A blank ends the path: what follows must be WHERE.
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
}
