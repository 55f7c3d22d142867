// The SQL dialect on every statement the program sends (the balance sums, the initial
// statement, the report statements with their exact spacing, the review window's statements),
// on period ends, quotes and values crafted to break out of their quotes, case-sensitive like,
// and on statements outside the dialect.

#include "testsupport/EngineFixture.h"

#include "engine/Query.h"

using engine::Query;

class SqlDialectTest : public StoreFixture
{
protected:
    // Opens the statement the way the program does and returns OPIS of every row.
    QStringList descriptions(const QString &statement)
    {
        run(statement);
        QStringList result;
        for (query.first(); !query.eof(); query.next())
            result << query.fieldText(QStringLiteral("opis"));
        return result;
    }
    // OPIS of the journal's rows that meet the condition.
    QStringList matching(const QString &condition)
    {
        return descriptions(QStringLiteral("select * from podaci\\promet.db where ") + condition);
    }

    void run(const QString &statement)
    {
        session.setPassword(password());
        reopen(query, statement);
    }
    QString errorOf(const QString &statement) { return ::errorOf([&] { run(statement); }); }

    // Balances as the posting page computes them: in minus out per currency.
    std::pair<QString, QString> balances()
    {
        run(QStringLiteral("select sum(izlazeur), sum(izlazdin), sum(ulazeur), sum(ulazdin) from podaci\\promet.db"));
        const auto dinars = query.columnMoney(3) - query.columnMoney(1);
        const auto euros = query.columnMoney(2) - query.columnMoney(0);
        return {dinars.toText(), euros.toText()};
    }

    void addSampleJournal()
    {
        post({"Petar Petrovic", "30/11/2026", "Racun za struju", "Racuni", "0.00", "1500.00"});
        post({"Petar Petrovic", "01/12/2026", "Pazar", "Pazar", "25000.00"});
        post({"Marko Markovic", "03/12/2026", "racun za vodu", "Racuni", "0.00", "800.00"});
        post({"Petar Petrovic", "05/12/2026", "Gorivo za kombi", "Gorivo", "0.00", "0.00", "0.00", "40.00"});
        post({"Petar Petrovic", "07/12/2026", "Gorivo racun", "Gorivo", "0.00", "3000.00"});
        post({"O'Brien", "07/12/2026", "Uplata 'EUR'", "Ostalo", "0.00", "0.00", "100.00"});
        post({"Petar Petrovic", "08/12/2026", "Kafa", "Ostalo", "0.00", "300.00"});
    }

    Query query{session};
};

TEST_P(SqlDialectTest, BalanceSumsOverEmptyEuroOnlyAndMixedJournals)
{
    EXPECT_EQ(balances(), std::make_pair(QStringLiteral("0.00"), QStringLiteral("0.00")));
    EXPECT_EQ(query.recordCount(), 1);
    EXPECT_EQ(query.columnText(0), QString()); // an empty sum is empty text and 0 as money

    post({"Petar", "01/12/2026", "a", "G", "0.00", "0.00", "100.00", "0.00"});
    post({"Petar", "01/12/2026", "b", "G", "0.00", "0.00", "0.00", "120.50"});
    EXPECT_EQ(balances(), std::make_pair(QStringLiteral("0.00"), QStringLiteral("-20.50")));

    post({"Petar", "02/12/2026", "c", "G", "1234567.89", "0.00"});
    post({"Petar", "02/12/2026", "d", "G", "9000000.00", "0.01"});
    EXPECT_EQ(balances(), std::make_pair(QStringLiteral("10234567.88"), QStringLiteral("-20.50")));
    EXPECT_EQ(query.fieldNames(),
              (QStringList{"SUM(IZLAZEUR)", "SUM(IZLAZDIN)", "SUM(ULAZEUR)", "SUM(ULAZDIN)"}));
}

// The report page's statements with their exact spacing (also the base text alone, with its
// trailing blank, and the main window's initial statement), criteria combined, and periods:
// both ends included, a reversed one empty, the turn of the month compared as dates.
TEST_P(SqlDialectTest, ReportStatementsFindTheirPostings)
{
    addSampleJournal();
    const QString base = QStringLiteral("select * from podaci\\promet.db ");
    const QString period = base + QStringLiteral("where (datum between '%1' and '%2')");
    const struct
    {
        QString statement;
        QStringList found;
    } cases[] = {
        {base + "where (datum between '12/01/2026' and '12/07/2026') and (grupa = 'Gorivo') and "
                "upper(opis) like upper('%racun%')",
         {"Gorivo racun"}},
        {base + " where (grupa = 'Racuni') and upper(opis) like upper('%racun%')",
         {"Racun za struju", "racun za vodu"}},
        {base + "where datum between '01/15/2013' and '02/20/2013'", {}},
        {base, {"Racun za struju", "Pazar", "racun za vodu", "Gorivo za kombi", "Gorivo racun",
                "Uplata 'EUR'", "Kafa"}},
        {period.arg("12/01/2026", "12/05/2026") + " and (korisnik = 'Petar Petrovic')",
         {"Pazar", "Gorivo za kombi"}},
        {base + " where (korisnik = 'Petar Petrovic') and (opis = 'Kafa')", {"Kafa"}},
        {base + " where (opis = 'Pazar') and (grupa = 'Pazar')", {"Pazar"}},
        {base + " where upper(opis) like upper('%GORIVO%')", {"Gorivo za kombi", "Gorivo racun"}},
        {period.arg("12/07/2026", "12/08/2026") + " and (korisnik = 'Petar Petrovic') and "
                                                  "(opis = 'Kafa') and (grupa = 'Ostalo') and "
                                                  "upper(opis) like upper('%af%')",
         {"Kafa"}},
        {period.arg("12/01/2026", "12/05/2026"), {"Pazar", "racun za vodu", "Gorivo za kombi"}},
        {period.arg("12/07/2026", "12/07/2026"), {"Gorivo racun", "Uplata 'EUR'"}},
        {period.arg("12/08/2026", "12/01/2026"), {}},
        {period.arg("11/30/2026", "12/01/2026"), {"Racun za struju", "Pazar"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(descriptions(c.statement), c.found) << c.statement.toStdString();
    query.first();
    EXPECT_EQ(query.fieldText(QStringLiteral("DATUM")), QStringLiteral("30/11/2026"));
    EXPECT_EQ(errorOf(period.arg("13/01/2026", "12/01/2026")), "'13/01/2026' is not a valid date");
}

TEST_P(SqlDialectTest, ReviewStatementsShowOnlyTheCashiersPostings)
{
    addSampleJournal();
    const QString b = QStringLiteral("select * from podaci\\promet.db where (korisnik='Petar Petrovic')");
    EXPECT_EQ(descriptions(b).size(), 5);
    EXPECT_EQ(descriptions(b + " and (datum between '12/05/2026' and '12/08/2026')"),
              (QStringList{"Gorivo za kombi", "Gorivo racun", "Kafa"}));
    EXPECT_EQ(descriptions(b + " and (upper(opis) like upper('%RACUN%')) and (datum between "
                               "'11/01/2026' and '12/31/2026')"),
              (QStringList{"Racun za struju", "Gorivo racun"}));
    // An empty search word gives "%%": every posting that has a description.
    EXPECT_EQ(descriptions(b + " and (upper(opis) like upper('%%')) and (datum between "
                               "'11/01/2026' and '12/31/2026')").size(),
              5);
    // Keywords and field names in any case.
    EXPECT_EQ(descriptions(QStringLiteral("SELECT * FROM podaci/promet.db WHERE (KorisNik='Marko "
                                          "Markovic') AND (Datum BETWEEN '12/03/2026' AND '12/03/2026')")),
              QStringList{"racun za vodu"});
}

TEST_P(SqlDialectTest, QuotesAreDataAndNeverChangeTheStatement)
{
    addSampleJournal();
    EXPECT_EQ(matching("(korisnik='O''Brien')"), QStringList{"Uplata 'EUR'"});
    EXPECT_EQ(matching("upper(opis) like upper('%''eur''%')"), QStringList{"Uplata 'EUR'"});
    // A name typed as  x' or '1'='1  and doubled by the builder matches only literally.
    EXPECT_EQ(matching("(korisnik='x'' or ''1''=''1')"), QStringList{});
    EXPECT_EQ(matching("(korisnik='x'') or (''1''=''1')"), QStringList{});
    // ... and finds the posting whose cashier is literally named so, and only that one.
    post({"x' or '1'='1", "08/12/2026", "Literal", "Ostalo", "1.00"});
    EXPECT_EQ(matching("(korisnik='x'' or ''1''=''1')"), QStringList{"Literal"});
    // Not doubled, the quote ends the value and what follows is outside the dialect.
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where (korisnik='O'Brien')"),
              "Syntax error at position 56: unterminated string");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where (korisnik='O'Brien'')"),
              "Syntax error at position 51: expected ')', found 'Brien'");
}

// AND binds tighter than OR, and NOT applies to the one factor after it.
TEST_P(SqlDialectTest, AndBindsTighterThanOrAndNotAppliesToOneFactor)
{
    addSampleJournal();
    EXPECT_EQ(matching("opis = 'Kafa' or not grupa = 'Gorivo' and korisnik = 'Marko Markovic'"),
              (QStringList{"racun za vodu", "Kafa"}));
    EXPECT_EQ(matching("not (grupa = 'Gorivo' or grupa = 'Ostalo') and izlazdin > 1000"),
              QStringList{"Racun za struju"});
    EXPECT_EQ(matching("izlazdin > -5 and opis is not null and opis not like '%a%'"), QStringList{});
}

TEST_P(SqlDialectTest, LikeIsCaseSensitiveWithPercentAndUnderscore)
{
    addSampleJournal();
    post({"Jovana", "08/12/2026", "čaj i šećer", "Ostalo", "0.00", "50.00"});
    const QString like = QStringLiteral("select * from podaci\\promet.db where opis like '%1'");
    EXPECT_EQ(descriptions(like.arg("%racun%")), (QStringList{"racun za vodu", "Gorivo racun"}));
    EXPECT_EQ(descriptions(like.arg("K_fa")), QStringList{"Kafa"});
    EXPECT_EQ(descriptions(like.arg("K_a")), QStringList{});
    EXPECT_EQ(descriptions(like.arg("_aj%")), QStringList{"čaj i šećer"});
    EXPECT_EQ(descriptions(like.arg("[K]afa")), QStringList{});
    // After an escape character, %, _ and the escape itself stand for themselves.
    post({"Jovana", "08/12/2026", "Rabat 10%", "Ostalo", "0.00", "5.00"});
    post({"Jovana", "08/12/2026", "fajl_1 \\ kasa", "Ostalo", "0.00", "5.00"});
    const QString escaped = like + QStringLiteral(" escape '%2'");
    EXPECT_EQ(descriptions(escaped.arg("%\\%", "\\")), QStringList{"Rabat 10%"});
    EXPECT_EQ(descriptions(escaped.arg("K\\_fa", "\\")), QStringList{});
    EXPECT_EQ(descriptions(escaped.arg("%l\\_1 \\\\ k%", "\\")), QStringList{"fajl_1 \\ kasa"});
    EXPECT_EQ(descriptions(escaped.arg("%a!_%", "!")), QStringList{});
    EXPECT_EQ(matching("upper(opis) not like upper('%t 10!%') escape '!' and opis like 'R%'"),
              QStringList{"Racun za struju"});
    EXPECT_EQ(errorOf(escaped.arg("Kafa\\", "\\")),
              QStringLiteral("Syntax error at position 63: expected a pattern that does not end in its "
                             "escape character, found ''\\''"));
    // upper() reaches letters beyond ASCII.
    EXPECT_EQ(matching("upper(opis) like upper('%ŠEĆ%')"), QStringList{"čaj i šećer"});
    EXPECT_EQ(matching("opis not like '%a%' or opis is null"), QStringList{});
}

TEST_P(SqlDialectTest, StatementsOutsideTheDialectNameThePlace)
{
    EXPECT_EQ(errorOf("select * form podaci\\promet.db"),
              "Syntax error at position 10: expected FROM, found 'form'");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where (grupa = 'Gorivo')) "),
              "Syntax error at position 56: expected the end of the statement, found ')'");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where opis = 'abc"),
              "Syntax error at position 45: unterminated string");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db order by datum"),
              "Syntax error at position 32: expected the end of the statement, found 'order'");
    EXPECT_EQ(errorOf("delete from podaci\\promet.db"),
              "Syntax error at position 1: expected SELECT, found 'delete'");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where opis = 'a'; drop table promet"),
              "Syntax error at position 50: expected the end of the statement, found 'drop'");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where opis # 'a'"),
              "Syntax error at position 43: unexpected character '#'");
    EXPECT_EQ(errorOf("select sum(xyz) from podaci\\promet.db"),
              "Unknown field 'xyz' in podaci\\promet.db");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where xyz = 1"),
              "Unknown field 'xyz' in podaci\\promet.db");
    EXPECT_EQ(errorOf("select sum(opis) from podaci\\promet.db"),
              "Cannot sum the field 'OPIS' in podaci\\promet.db");
    EXPECT_EQ(errorOf("select * from podaci\\nema.db"), "Table does not exist: podaci\\nema.db");
    EXPECT_FALSE(query.isOpen());
}

TEST_P(SqlDialectTest, QueriesNeedThePasswordToo)
{
    EXPECT_EQ(::errorOf([&] { reopen(query, "select * from podaci\\promet.db"); }),
              "Invalid password for table podaci\\promet.db");
}

TEST_P(SqlDialectTest, MoneyComparesAsAmountsAndFieldListsKeepOrder)
{
    addSampleJournal();
    EXPECT_EQ(matching("izlazdin >= 1500 and izlazdin <= '3000.00'"),
              (QStringList{"Racun za struju", "Gorivo racun"}));
    run(QStringLiteral("select opis, izlazdin from podaci\\promet.db where opis = 'Kafa'"));
    EXPECT_EQ(query.fieldNames(), (QStringList{"OPIS", "IZLAZDIN"}));
    EXPECT_EQ(query.columnText(1), QStringLiteral("300.00"));
    EXPECT_EQ(errorOf("select opis, sum(izlazdin) from podaci\\promet.db"),
              "Fields and sums cannot be listed together in a statement on podaci\\promet.db");
}

INSTANTIATE_STORES(SqlDialectTest);
