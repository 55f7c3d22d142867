// Queries as the windows use them: reading results by position and name, grids reading rows
// without moving, the statement replaced line by line, a restored journal seen by the next
// opening, and values that do not fit their field.

#include "testsupport/EngineFixture.h"

#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/TableStores.h"

#include <QSignalSpy>

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

    void setStatement(const QString &text)
    {
        query.sql().clear();
        query.close();
        query.sql().append(text);
        query.open();
    }

    QString errorOf(const QString &text)
    {
        try {
            setStatement(text);
        } catch (const EngineError &e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    }

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
    try {
        query.fieldText(QStringLiteral("grupa"));
        FAIL() << "no error";
    } catch (const EngineError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unknown field 'grupa' in podaci\\promet.db"));
    }
}

// Each row of a select of fields carries its record's id, so that equal rows can be told apart;
// a result of sums has none.
TEST_P(QueryTest, RowsCarryTheIdsOfTheirRecords)
{
    post({"Ana Anic", "03/12/2026", "Kafa", "Ostalo", "0.00", "0.00", "10.00"}); // equal to the third
    QList<qint64> stored;
    {
        engine::Table t(session, QStringLiteral("podaci/promet.db"));
        t.open();
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
    EXPECT_EQ(errorOf(QStringLiteral("select * from podaci\\promet.db where ulazdin = '12a'")),
              QStringLiteral("'12a' is not a valid amount"));
    EXPECT_EQ(errorOf(QStringLiteral("select * from podaci\\promet.db where ulazdin = 1.234")),
              QStringLiteral("'1.234' is not a valid amount"));
    EXPECT_EQ(errorOf(QStringLiteral("select * from podaci\\promet.db where datum = 'yesterday'")),
              QStringLiteral("'yesterday' is not a valid date"));
    // ISO dates are understood as well, on either side.
    setStatement(QStringLiteral("select * from podaci\\promet.db where '2026-12-02' = datum"));
    EXPECT_EQ(query.fieldText(QStringLiteral("OPIS")), QStringLiteral("Gorivo"));
    // A text field takes any text, also one that looks like a date.
    setStatement(QStringLiteral("select * from podaci\\promet.db where opis = '12/01/2026'"));
    EXPECT_EQ(query.recordCount(), 0);
}

INSTANTIATE_STORES(QueryTest);
