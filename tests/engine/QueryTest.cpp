// Queries as the windows use them: reading results by position and name, grids reading rows
// without moving, the statement replaced line by line, a restored journal seen by the next
// opening, values that do not fit their field, and results longer than the rows a query keeps
// in memory, read in any order and after the table changed.

#include "testsupport/EngineFixture.h"

#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/TableStores.h"

#include <QSignalSpy>

#include <functional>
#include <vector>

using engine::EngineError;
using engine::Money;
using engine::Query;

class QueryTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        if (HasFatalFailure())
            return;
        post({"Petar Petrovic", "01/12/2026", "Pazar", "Pazar", "2500.00"});
        post({"Petar Petrovic", "02/12/2026", "Gorivo", "Gorivo", "0.00", "1200.50"});
        post({"Ana Anic", "03/12/2026", "Kafa", "Ostalo", "0.00", "0.00", "10.00"});
        session.setPassword(password());
    }

    void setStatement(const QString &text) { reopen(query, text); }
    QString errorOf(const QString &text) { return ::errorOf([&] { reopen(query, text); }); }

    Query query{session};
};

TEST_P(QueryTest, ReadsRowsByPositionAndByNameWithoutMoving)
{
    setStatement(QStringLiteral("select datum, opis, izlazdin from podaci\\promet.db where izlazdin = 0"));
    EXPECT_EQ(query.recordCount(), 2);
    EXPECT_EQ(query.fieldCount(), 3);
    EXPECT_EQ(query.columnType(0), engine::FieldType::Date);
    EXPECT_EQ(query.textAt(1, 0), QStringLiteral("03/12/2026"));
    EXPECT_EQ(query.moneyAt(0, 2), Money());
    EXPECT_EQ(query.recNo(), 0); // textAt did not move
    EXPECT_EQ(query.fieldIndex(QStringLiteral("Opis")), 1);
    EXPECT_EQ(query.fieldIndex(QStringLiteral("grupa")), -1);
    query.moveTo(1);
    EXPECT_EQ(query.fieldText(QStringLiteral("opis")), QStringLiteral("Kafa"));
    query.next();
    EXPECT_TRUE(query.eof());
    query.prior();
    EXPECT_EQ(query.columnText(1), QStringLiteral("Pazar"));
    EXPECT_EQ(::errorOf([&] { query.fieldText("grupa"); }),
              "Unknown field 'grupa' in podaci\\promet.db");
}

// Each row of a select of fields carries its record's id, so that equal rows can be told apart;
// a result of sums has none.
TEST_P(QueryTest, RowsCarryTheIdsOfTheirRecords)
{
    post({"Ana Anic", "03/12/2026", "Kafa", "Ostalo", "0.00", "0.00", "10.00"}); // equal to the third
    QList<qint64> stored;
    {
        OpenTable t(session, QStringLiteral("podaci/promet.db"));
        for (t.first(); !t.eof(); t.next())
            stored << t.recordId();
        session.close();
    }
    session.setPassword(password());
    const struct
    {
        const char *statement;
        QList<int> rows; // places in the journal
    } cases[] = {
        {"select * from podaci\\promet.db", {0, 1, 2, 3}},
        {"select opis from podaci\\promet.db where korisnik = 'Ana Anic'", {2, 3}},
        {"select sum(ulazeur) from podaci\\promet.db", {}},
    };
    for (const auto &c : cases) {
        setStatement(QString::fromUtf8(c.statement));
        QList<qint64> ids;
        for (int row = 0; row < query.recordCount(); ++row)
            ids << query.recordIdAt(row);
        QList<qint64> expected;
        for (int place : c.rows)
            expected << stored.at(place);
        if (c.rows.isEmpty())
            expected << -1; // the one row of sums
        EXPECT_EQ(ids, expected) << c.statement;
        EXPECT_EQ(query.fieldNames().contains(QString()), false) << c.statement;
        EXPECT_EQ(query.recordIdAt(query.recordCount()), -1) << c.statement;
    }
}

TEST_P(QueryTest, ReplacingTheStatementNeedsCloseAndOpen)
{
    QSignalSpy opened(&query, &Query::opened);
    setStatement(QStringLiteral("select * from podaci\\promet.db where korisnik = 'Ana Anic'"));
    EXPECT_EQ(query.recordCount(), 1);
    // Changing the lines of an open query changes nothing until it is reopened.
    query.sql().clear();
    query.sql().append(QStringLiteral("select * from podaci\\promet.db"));
    query.open();
    EXPECT_EQ(query.recordCount(), 1);
    query.close();
    query.open();
    EXPECT_EQ(query.recordCount(), 3);
    EXPECT_EQ(opened.size(), 2);
    query.close();
    EXPECT_EQ(query.recordCount(), 0);
    EXPECT_THROW(query.columnText(0), EngineError);
}

TEST_P(QueryTest, ARestoredJournalIsSeenByTheNextOpening)
{
    const QString journal = dataFile(QStringLiteral("promet.db"));
    const QString backup = dataFile(QStringLiteral("bck-02-12-26-10-00-00.db"));
    engine::copyTableFile(journal, backup);
    post({"Ana Anic", "04/12/2026", "Posle bekapa", "Ostalo", "1.00"});
    setStatement(QStringLiteral("select sum(ulazdin) from podaci\\promet.db"));
    EXPECT_EQ(query.columnMoney(0).toText(), QStringLiteral("2501.00"));

    // The open query holds no file: the journal can be replaced under it.
    session.close();
    ASSERT_NO_THROW(desk::promet().checkTableFile(backup, password()));
    engine::copyTableFile(backup, journal);
    session.setPassword(password());
    setStatement(QStringLiteral("select sum(ulazdin) from podaci\\promet.db"));
    EXPECT_EQ(query.columnMoney(0).toText(), QStringLiteral("2500.00"));
}

TEST_P(QueryTest, LiteralsMustFitTheFieldTheyMeet)
{
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where ulazdin = '12a'"),
              "'12a' is not a valid amount");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where ulazdin = 1.234"),
              "'1.234' is not a valid amount");
    EXPECT_EQ(errorOf("select * from podaci\\promet.db where datum = 'yesterday'"),
              "'yesterday' is not a valid date");
    // ISO dates are understood as well, on either side.
    setStatement(QStringLiteral("select * from podaci\\promet.db where '2026-12-02' = datum"));
    EXPECT_EQ(query.fieldText(QStringLiteral("OPIS")), QStringLiteral("Gorivo"));
    // A text field takes any text, also one that looks like a date.
    setStatement(QStringLiteral("select * from podaci\\promet.db where opis = '12/01/2026'"));
    EXPECT_EQ(query.recordCount(), 0);
}

// A journal longer than the rows a query keeps in memory: record i (from 0) by cashier "B"
// when i is a multiple of 3, else "A", described "Zapis i", with i dinars in.
class WindowedQueryTest : public StoreFixture
{
protected:
    static constexpr int Records = 2700;

    void SetUp() override
    {
        StoreFixture::SetUp();
        if (HasFatalFailure())
            return;
        session.setPassword(password());
        journal.open();
        journal.startTransaction();
        for (int i = 0; i < Records; ++i) {
            journal.insert();
            journal.setFieldText(QStringLiteral("KORISNIK"), cashier(i));
            journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("01/12/2026"));
            journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("Zapis %1").arg(i));
            journal.setFieldMoney(QStringLiteral("ULAZDIN"), Money::fromHundredths(i * 100));
            journal.post();
        }
        journal.commit();
    }

    static QString cashier(int i) { return i % 3 == 0 ? QStringLiteral("B") : QStringLiteral("A"); }

    void open(const QString &statement) { reopen(query, statement); }

    // What the query shows in row `row` as "OPIS/ULAZDIN".
    QString shown(int row)
    {
        return query.textAt(row, query.fieldIndex(QStringLiteral("OPIS"))) + u'/' +
               query.textAt(row, query.fieldIndex(QStringLiteral("ULAZDIN")));
    }

    engine::Table journal{session, QStringLiteral("podaci/promet.db")};
    Query query{session};
};

TEST_P(WindowedQueryTest, RowsAreTheMatchingRecordsInAnyOrderOfReading)
{
    struct Case
    {
        const char *where;
        std::function<bool(int)> matches;
    };
    const Case cases[] = {
        {"", [](int) { return true; }},
        {" where korisnik = 'B'", [](int i) { return i % 3 == 0; }},
        {" where opis like '%7' and ulazdin > 100", [](int i) { return i % 10 == 7 && i > 100; }},
        {" where korisnik = 'nobody'", [](int) { return false; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.where);
        QStringList expected;
        for (int i = 0; i < Records; ++i)
            if (c.matches(i))
                expected << QStringLiteral("Zapis %1/%2.00").arg(i).arg(i);
        open(QStringLiteral("select opis, ulazdin from podaci\\promet.db") + QLatin1String(c.where));
        const int n = int(expected.size());
        ASSERT_EQ(query.recordCount(), n);
        // Forward, backward, and jumps across the kept blocks and their boundaries.
        std::vector<int> order;
        for (int r = 0; r < n; ++r)
            order.push_back(r);
        for (int r = n - 1; r >= 0; --r)
            order.push_back(r);
        for (int r : {n - 1, 0, 511, 512, 1023, 1024, 2047, 2048, n / 2, n - 1, 0, 1})
            if (r >= 0 && r < n)
                order.push_back(r);
        for (int k = 0; k < 200 && n > 0; ++k)
            order.push_back(int((k * 7919L) % n));
        for (int r : order)
            ASSERT_EQ(shown(r), expected.at(r)) << "row " << r;
        EXPECT_EQ(shown(n), QStringLiteral("/")); // past the end: empty
        query.last();
        EXPECT_EQ(query.recNo(), n - 1);
        if (n > 0) {
            EXPECT_EQ(query.fieldText(QStringLiteral("OPIS")), expected.last().section(u'/', 0, 0));
        }
    }
}

TEST_P(WindowedQueryTest, ChangesAfterOpeningKeepEveryOtherRowInPlace)
{
    open(QStringLiteral("select * from podaci\\promet.db where korisnik = 'B'"));
    ASSERT_EQ(query.recordCount(), Records / 3);
    EXPECT_EQ(shown(0), QStringLiteral("Zapis 0/0.00")); // the first rows are read
    // Record 1800 (row 600) is deleted, record 2100 (row 700) no longer matches, one more
    // matching record is added: the count and every other row stay as they were opened.
    journal.moveTo(1800);
    journal.deleteRecord();
    journal.moveTo(2099);
    ASSERT_EQ(journal.fieldText(QStringLiteral("OPIS")), QStringLiteral("Zapis 2100"));
    journal.edit();
    journal.setFieldText(QStringLiteral("KORISNIK"), QStringLiteral("A"));
    journal.post();
    journal.insert();
    journal.setFieldText(QStringLiteral("KORISNIK"), QStringLiteral("B"));
    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("Novi"));
    journal.post();
    EXPECT_EQ(query.recordCount(), Records / 3);
    for (int row = 0; row < Records / 3; ++row) {
        const int i = row * 3;
        const QString expected =
            i == 1800 || i == 2100 ? QStringLiteral("/") : QStringLiteral("Zapis %1/%1.00").arg(i);
        ASSERT_EQ(shown(row), expected) << "row " << row;
    }
    EXPECT_EQ(query.textAt(600, query.fieldIndex(QStringLiteral("KORISNIK"))), QString());
    // The next opening sees the table as it is now.
    query.close();
    query.open();
    EXPECT_EQ(query.recordCount(), Records / 3 - 1);
    EXPECT_EQ(shown(Records / 3 - 2), QStringLiteral("Novi/"));
}

INSTANTIATE_STORES(QueryTest);
INSTANTIATE_STORES(WindowedQueryTest);
