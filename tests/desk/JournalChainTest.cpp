// The journal's chain over both stores: every way of changing the tables behind the program's
// back is found and the first record concerned named; an untouched journal verifies, and the
// O(1) questions about the last record answer as the full check does.

#include "testsupport/EngineFixture.h"

#include "desk/CashBook.h"
#include "desk/JournalChain.h"
#include "desk/Posting.h"

#include <atomic>
#include <thread>

using desk::DocumentKind;
using engine::Table;
namespace cashbook = desk::cashbook;
namespace chain = desk::chain;

namespace {

class JournalChainTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        session.setPassword(password());
        journal.open();
        cashbook::prepare(journal); // the chain begins over the empty journal
        for (int i = 0; i < 5; ++i) {
            numbers << postOne(journal, i + 1, i % 2 == 0, QStringLiteral("%1.50").arg(10 * (i + 1)),
                               QString(QChar(u'a' + i)));
            ids << journal.recordId();
        }
        // A log entry that knows the journal had five records.
        cashbook::closeDay(journal, QDate(2026, 3, 1), QStringLiteral("Admin"),
                           QDateTime(QDate(2026, 3, 6), QTime(9, 0)));
    }

    void sql(const QString &statement) { journal.runBeside(statement); }
    // One posting as a desk makes it, on a day of March 2026: record, number and link in one
    // transaction. Its number.
    QString postOne(Table &t, int day, bool in, const QString &amount, const QString &reason = {})
    {
        t.startTransaction();
        t.insert();
        t.setFieldText(QStringLiteral("KORISNIK"), QStringLiteral("Ana"));
        t.setFieldText(QStringLiteral("DATUM"), QStringLiteral("%1/03/2026").arg(day, 2, 10, QChar(u'0')));
        t.setFieldText(QStringLiteral("VREME"), QStringLiteral("10:00:00"));
        t.setFieldText(QStringLiteral("OPIS"), reason);
        t.setFieldText(in ? QStringLiteral("ULAZDIN") : QStringLiteral("IZLAZDIN"), amount);
        t.post();
        const QString number = desk::numberAndLink(
            t, t.recordId(), in ? DocumentKind::Receipt : DocumentKind::Payment, QDate(2026, 3, day));
        t.commit();
        return number;
    }
    QString id(int position) const { return QString::number(ids.at(position - 1)); }

    Table journal{session, QStringLiteral("podaci/promet.db")};
    QList<qint64> ids;
    QStringList numbers;
};

INSTANTIATE_STORES(JournalChainTest);

TEST_P(JournalChainTest, EveryTamperingIsFoundAndTheFirstRecordNamed)
{
    struct Case
    {
        const char *name;
        std::function<void()> tamper;
        qint64 position;    // of the first finding (0: the log, -1: the journal as a whole)
        QString named;      // text the first finding names
        bool lastVouched;   // what vouchesForLast says afterwards
    };
    const QList<Case> cases = {
        {"untouched", [] {}, -1, {}, true},
        {"changed amount",
         [&] { sql(QStringLiteral("UPDATE promet SET IZLAZDIN = 999 WHERE {id} = %1").arg(id(2))); },
         2, numbers.at(1), true},
        {"changed date",
         [&] { sql(QStringLiteral("UPDATE promet SET DATUM = '2026-02-28' WHERE {id} = %1").arg(id(3))); },
         3, numbers.at(2), true},
        {"deleted record",
         [&] { sql(QStringLiteral("DELETE FROM promet WHERE {id} = %1").arg(id(2))); }, 2,
         QStringLiteral("obrisan je ") + numbers.at(1), true},
        {"appended forged record",
         [&] {
             sql(QStringLiteral("INSERT INTO promet (KORISNIK, DATUM, ULAZDIN) VALUES ('Ana', "
                                "'2026-03-05', 100000)"));
         },
         6, QStringLiteral("bez broja"), false},
        {"last record removed",
         [&] { sql(QStringLiteral("DELETE FROM promet WHERE {id} = %1").arg(id(5))); }, 5,
         numbers.at(4), true},
        {"last record removed with its link and number",
         [&] {
             sql(QStringLiteral("DELETE FROM promet WHERE {id} = %1").arg(id(5)));
             sql(QStringLiteral("DELETE FROM dorvanta_lanac WHERE ID = %1").arg(id(5)));
             sql(QStringLiteral("DELETE FROM dorvanta_dokument WHERE ID = %1").arg(id(5)));
         },
         5, QStringLiteral("belezi 5 zapisa"), true},
        {"swapped pair",
         [&] {
             sql(QStringLiteral("UPDATE promet SET OPIS = 'x' WHERE {id} = %1").arg(id(3)));
             sql(QStringLiteral("UPDATE promet SET OPIS = 'c' WHERE {id} = %1").arg(id(4)));
             sql(QStringLiteral("UPDATE promet SET OPIS = 'd' WHERE {id} = %1").arg(id(3)));
         },
         3, numbers.at(2), true},
        {"forged record at the lowest id",
         [&] {
             sql(QStringLiteral("INSERT INTO promet ({id}, KORISNIK, DATUM, IZLAZDIN) VALUES "
                                "(-9223372036854775807 - 1, 'Petar', '2026-03-02', 9900000)"));
         },
         1, QStringLiteral("nije u lancu"), true},
        {"forged record at the highest id",
         [&] {
             sql(QStringLiteral("INSERT INTO promet ({id}, KORISNIK, DATUM, IZLAZDIN) VALUES "
                                "(9223372036854775807, 'Petar', '2026-03-02', 9900000)"));
         },
         6, QStringLiteral("nije u lancu"), false},
        {"link without a record at the highest id",
         [&] {
             sql(QStringLiteral("INSERT INTO dorvanta_lanac (ID, REDNI, HES) VALUES "
                                "(9223372036854775807, 1, '%1')")
                     .arg(QString(64, u'0')));
         },
         6, QStringLiteral("veza lanca bez zapisa (ID 9223372036854775807"), true},
        {"last record cut off with its link, number and the log's entry since",
         [&] {
             sql(QStringLiteral("DELETE FROM promet WHERE {id} = %1").arg(id(5)));
             sql(QStringLiteral("DELETE FROM dorvanta_lanac WHERE ID = %1").arg(id(5)));
             sql(QStringLiteral("DELETE FROM dorvanta_dokument WHERE ID = %1").arg(id(5)));
             sql(QStringLiteral("DELETE FROM dorvanta_dnevnik WHERE RB = (SELECT MAX(RB) FROM "
                                "dorvanta_dnevnik)"));
         },
         -1, QStringLiteral("zakljucak dana 2026-03-01 belezi 5 zapisa"), true},
        {"chain table deleted", [&] { sql(QStringLiteral("DROP TABLE dorvanta_lanac")); }, 1,
         numbers.at(0), false},
        {"audit entry deleted", [&] { sql(QStringLiteral("DELETE FROM dorvanta_dnevnik WHERE RB = 1")); },
         0, QStringLiteral("unos 1 nedostaje"), true},
    };
    const chain::Verdict before = chain::verify(journal);
    ASSERT_TRUE(before.ok()) << before.text().toStdString();
    const QByteArray headBefore = before.head;
    EXPECT_EQ(chain::head(journal).head, headBefore);
    EXPECT_EQ(chain::head(journal).records, 5);

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        journal.startTransaction();
        c.tamper();
        const chain::Verdict v = chain::verify(journal, headBefore);
        EXPECT_EQ(chain::vouchesForLast(journal), c.lastVouched);
        journal.rollback();
        ASSERT_TRUE(v.readable) << v.text().toStdString();
        if (c.named.isEmpty()) {
            EXPECT_TRUE(v.ok()) << v.text().toStdString();
            EXPECT_EQ(v.head, headBefore);
            EXPECT_EQ(v.records, 5);
            EXPECT_TRUE(v.headFound);
            continue;
        }
        ASSERT_FALSE(v.findings.isEmpty()) << v.text().toStdString();
        EXPECT_EQ(v.findings.front().position, c.position) << v.text().toStdString();
        EXPECT_TRUE(v.text().contains(c.named)) << v.text().toStdString();
    }
    // Every change was rolled back: the journal verifies again, and postings go on chaining.
    EXPECT_TRUE(chain::verify(journal).ok());
}

// Anchors kept outside the journal: the journal must be as long as each and pass through
// its head.
TEST_P(JournalChainTest, TheJournalMustContinueEveryAnchor)
{
    const QByteArray third = journal.runBeside(QStringLiteral("SELECT HES FROM dorvanta_lanac WHERE REDNI = 3"))
                                 .value(0).value(0).toString().toLatin1();
    struct Case
    {
        chain::Anchor anchor;
        QString named; // empty: the journal continues it
    };
    const Case cases[] = {
        {{QStringLiteral("kopija A"), third, 3}, {}},
        {{QStringLiteral("kopija A"), third.toUpper(), 3}, {}},
        {{QStringLiteral("kopija B"), chain::zeroLink(), 3}, QStringLiteral("kopija B belezi glavu")},
        {{QStringLiteral("kopija C"), third, 9}, QStringLiteral("kopija C belezi 9 zapisa")},
        {{QStringLiteral("kopija D"), third, 0}, QStringLiteral("kopija D belezi glavu")},
    };
    for (const Case &c : cases) {
        const chain::Verdict v = chain::verify(journal, {}, {c.anchor});
        EXPECT_EQ(v.ok(), c.named.isEmpty()) << v.text().toStdString();
        if (!c.named.isEmpty())
            EXPECT_TRUE(v.text().contains(c.named)) << v.text().toStdString();
    }
}

// Every walk over the journal meets a record at the lowest and at the highest id a table
// allows.
TEST_P(JournalChainTest, RecordsAtTheLowestAndHighestIdsAreInEveryWalk)
{
    for (const char *at : {"-9223372036854775807 - 1", "9223372036854775807"})
        sql(QStringLiteral("INSERT INTO promet ({id}, KORISNIK, DATUM, IZLAZDIN) VALUES (%1, "
                           "'Petar', '2026-03-02', 9900000)")
                .arg(QLatin1String(at)));
    int walked = 0, payouts = 0;
    cashbook::scanEntries(journal, std::nullopt, std::nullopt, [&](const engine::RecordView &row) {
        ++walked;
        payouts += row.utf8(9) == "9900000";
    });
    EXPECT_EQ(walked, 7);
    EXPECT_EQ(payouts, 2);
    int ofTheDay = 0;
    cashbook::scanEntries(journal, QDate(2026, 3, 2), QDate(2026, 3, 2),
                          [&](const engine::RecordView &) { ++ofTheDay; });
    EXPECT_EQ(ofTheDay, 3);
    const chain::Verdict v = chain::verify(journal);
    ASSERT_FALSE(v.findings.isEmpty());
    EXPECT_EQ(v.findings.front().position, 1) << v.text().toStdString();
}

TEST_P(JournalChainTest, AHeadIsPartOfTheHistoryOnlyWhenTheChainOrTheLogHoldsIt)
{
    const QByteArray third = chain::headOfDay(journal, QStringLiteral("2026-03-03"));
    EXPECT_TRUE(chain::verify(journal, third).headFound);
    EXPECT_TRUE(chain::verify(journal, chain::zeroLink()).headFound); // the segment's start
    EXPECT_FALSE(chain::verify(journal, QByteArray(64, 'a')).headFound);
    EXPECT_EQ(chain::headOfDay(journal, QStringLiteral("2026-02-01")), chain::zeroLink());
}

TEST_P(JournalChainTest, ALongJournalIsCheckedAcrossTheChunksItsChainIsReadIn)
{
    // 9,000 more records, numbered and linked, so that the chain and the numbers are read in
    // more than one chunk: faults on either side of a chunk's end are found and named.
    constexpr int Added = 9000;
    journal.startTransaction();
    sql(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO promet (KORISNIK, ULAZDIN) SELECT 'Ana', i FROM n").arg(Added));
    sql(QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ) SELECT {id}, 'T-' || {id} FROM "
                       "promet WHERE {id} > %1").arg(ids.last()));
    ASSERT_EQ(chain::chainUnlinked(journal, {}, QStringLiteral("DODATO"), QStringLiteral("%1"), false), Added);
    journal.commit();
    const QList<QVariantList> order = journal.runBeside(QStringLiteral("SELECT {id} FROM promet ORDER BY {id}"));
    ASSERT_EQ(order.size(), 5 + Added);
    const auto idAt = [&](int position) { return order.at(position - 1).value(0).toString(); };

    struct Case
    {
        const char *name;
        int position;       // of the record tampered with (-1: none)
        const char *change; // with %1 its id
        const char *named;  // what the finding says
    };
    const Case cases[] = {
        {"untouched", -1, "", ""},
        {"amount at a chunk's end", 8192, "UPDATE promet SET ULAZDIN = 1 WHERE {id} = %1", "promenjen"},
        {"link missing after a chunk's end", 8193, "DELETE FROM dorvanta_lanac WHERE ID = %1",
         "nije u lancu"},
        {"number changed far in", 9001, "UPDATE dorvanta_dokument SET BROJ = 'X' WHERE ID = %1", "X"},
        {"number missing", 8300, "DELETE FROM dorvanta_dokument WHERE ID = %1", "bez broja"},
        {"last link removed", 5 + Added, "DELETE FROM dorvanta_lanac WHERE ID = %1", "nije u lancu"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        journal.startTransaction();
        if (c.position > 0)
            sql(QString::fromLatin1(c.change).arg(idAt(c.position)));
        const chain::Verdict v = chain::verify(journal);
        journal.rollback();
        ASSERT_TRUE(v.readable) << v.text().toStdString();
        if (c.position < 0) {
            EXPECT_TRUE(v.ok()) << v.text().toStdString();
            EXPECT_EQ(v.records, 5 + Added);
            EXPECT_EQ(v.head, chain::head(journal).head);
            continue;
        }
        ASSERT_FALSE(v.findings.isEmpty());
        EXPECT_EQ(v.findings.front().position, c.position) << v.text().toStdString();
        EXPECT_TRUE(v.findings.front().what.contains(QLatin1String(c.named)) ||
                    v.text().contains(QLatin1String(c.named)))
            << v.text().toStdString();
    }
}

TEST_P(JournalChainTest, PostingsStoredWhileAVerificationReadsAreNotTakenForChanges)
{
    // A check reads in its own connection, over and over, while another desk posts: every
    // pass sees the journal, its numbers, links and log in one state.
    std::atomic<bool> posting{true};
    QStringList findings;
    int passes = 0;
    std::thread check([&] {
        while (posting.load() || passes == 0) {
            const chain::Verdict v = chain::verifyDirectory(dir.path(), password());
            ++passes;
            if (!v.ok())
                findings << v.text();
        }
    });
    Table desk(session, QStringLiteral("podaci/promet.db"));
    desk.open();
    for (int i = 1; i <= 40; ++i)
        postOne(desk, 7, true, QStringLiteral("%1.00").arg(i));
    posting = false;
    check.join();
    EXPECT_GT(passes, 0);
    EXPECT_TRUE(findings.isEmpty()) << findings.join(u'\n').toStdString();
    EXPECT_TRUE(chain::verify(journal).ok());
}

} // namespace
