// Storing a posting over both stores: its number and link in one transaction, numbers never
// given twice, and the amounts post() refuses whoever calls it.

#include "CashBookFixture.h"

#include "desk/JournalBalances.h"
#include "desk/JournalChain.h"
#include "engine/EngineError.h"
#include "engine/TextForms.h"

#include <QUuid>

using desk::DocumentKind;
using engine::EngineError;
using engine::Money;
namespace cashbook = desk::cashbook;

namespace {

class PostingTest : public CashBookFixture
{
protected:
    // A receipt of 10.00 DIN on `day`.
    static desk::Posting posting(const QDate &day)
    {
        desk::Posting p;
        p.cashier = QStringLiteral("Ana");
        p.day = day;
        p.time = QStringLiteral("10:00:00");
        p.amount = Money::fromHundredths(1000);
        p.reason = QStringLiteral("Pazar");
        p.group = QStringLiteral("PRODAJA");
        return p;
    }
};

INSTANTIATE_STORES(PostingTest);

} // namespace

// A clear removes the numbers with the records but never gives a number of the year again,
// also when the table file gives the cleared ids again before the next start; a posting that
// is rolled back uses no number.
TEST_P(PostingTest, NumbersAreNeverGivenTwiceAfterAClearOrAFailedPosting)
{
    cashbook::prepare(journal);
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), false), QStringLiteral("I-2026-000001"));
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), false), QStringLiteral("I-2026-000002"));
    journal.emptyTable();
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), false), QStringLiteral("I-2026-000003"));

    journal.startTransaction();
    journal.insert();
    journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("01/02/2026"));
    journal.post();
    desk::numberAndLink(journal, journal.recordId(), DocumentKind::Payment, QDate(2026, 2, 1));
    journal.rollback();
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), false), QStringLiteral("I-2026-000004"));

    // The number is made from the counter by the store; past six digits it grows.
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_izdat (VRSTA, GODINA, REDNI) VALUES ('I', 2026, 999998)"));
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), false), QStringLiteral("I-2026-999999"));
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), false), QStringLiteral("I-2026-1000000"));
    EXPECT_EQ(desk::documentNumber(DocumentKind::Payment, 2026, 1000000),
              QStringLiteral("I-2026-1000000"));

    EXPECT_EQ(cashbook::prepare(journal), 0);
    EXPECT_EQ(numbers(), (QStringList{"I-2026-000003", "I-2026-000004", "I-2026-999999",
                                      "I-2026-1000000"}));

    // The administrator's tidying drops the numbers of records that are gone and folds the
    // numbers given into the counters; numbering goes on after them.
    const auto count = [&](const char *sql) {
        return journal.runBeside(QString::fromLatin1(sql)).value(0).value(0).toLongLong();
    };
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ) VALUES (?1, ?2)"),
                      {qint64(1) << 40, QStringLiteral("U-2026-000009")});
    cashbook::tidy(journal);
    EXPECT_EQ(count("SELECT COUNT(*) FROM dorvanta_izdat"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM dorvanta_dokument WHERE BROJ = 'U-2026-000009'"), 0);
    EXPECT_EQ(count("SELECT POSLEDNJI FROM dorvanta_brojac WHERE VRSTA = 'I' AND GODINA = 2026"), 1000000);
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), false), QStringLiteral("I-2026-1000001"));
    EXPECT_EQ(cashbook::prepare(journal), 0);
}

// Whoever posts, an amount not above zero or beyond the largest is refused and nothing stored.
TEST_P(PostingTest, PostRefusesAnAmountOutOfRange)
{
    cashbook::prepare(journal);
    const struct
    {
        Money amount;
        bool stored;
    } cases[] = {
        {Money(), false},
        {Money::fromHundredths(-1), false},
        {Money::fromHundredths(1), true},
        {desk::MaxAmount, true},
        {desk::MaxAmount + Money::fromHundredths(1), false},
    };
    qsizetype expected = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.amount.toText().toStdString());
        desk::Posting p = posting(QDate(2026, 12, 10));
        p.currency = desk::Currency::Euros;
        p.amount = c.amount;
        if (c.stored) {
            EXPECT_TRUE(desk::post(journal, p, session.dateFormat()).stored);
            ++expected;
        } else {
            try {
                desk::post(journal, p, session.dateFormat());
                ADD_FAILURE() << "stored";
            } catch (const EngineError &e) {
                EXPECT_EQ(e.kind(), EngineError::Kind::Refused);
            }
        }
        EXPECT_EQ(cashbook::entries(journal).size(), expected);
    }
}

// A posting is the record, its balances, its number and its link together: one the numbering
// refuses (a closed day) leaves no record, number or link behind and the next takes the number
// it would have had; on the server a posting stored again under its key is stored once; and the
// chain vouches for every record posted.
TEST_P(PostingTest, APostingIsStoredWholeOnceOrNotAtAll)
{
    cashbook::prepare(journal);
    const engine::DateTextFormat &dates = session.dateFormat();
    desk::Posting first = posting(QDate(2026, 12, 8));
    first.key = QUuid::createUuid();
    const desk::Posted stored = desk::post(journal, first, dates);
    EXPECT_TRUE(stored.stored);
    EXPECT_EQ(stored.number, QStringLiteral("U-2026-000001"));
    EXPECT_EQ(stored.dinars.toText(), QStringLiteral("10.00"));
    // The server keeps the key, for a commit whose answer was lost: the same key writes nothing.
    if (onServer())
        EXPECT_FALSE(desk::post(journal, first, dates).stored);

    cashbook::closeDay(journal, QDate(2026, 12, 8), QStringLiteral("Admin"),
                       QDateTime(QDate(2026, 12, 9), QTime(8, 0)));
    const auto count = [&](const char *table) {
        return journal.runBeside(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)))
            .value(0).value(0).toLongLong();
    };
    try {
        desk::post(journal, posting(QDate(2026, 12, 8)), dates);
        ADD_FAILURE() << "a posting on a closed day was stored";
    } catch (const EngineError &e) {
        EXPECT_EQ(e.kind(), EngineError::Kind::Refused);
    }
    EXPECT_EQ(count("promet"), 1);
    EXPECT_EQ(count("dorvanta_dokument"), 1);
    EXPECT_EQ(count("dorvanta_lanac"), 1);

    const desk::Posted next = desk::post(journal, posting(QDate(2026, 12, 9)), dates);
    EXPECT_EQ(next.number, QStringLiteral("U-2026-000002"));
    EXPECT_EQ(next.dinars.toText(), QStringLiteral("20.00"));
    EXPECT_TRUE(journal_balances::current(journal).dinars == next.dinars);
    const desk::chain::Verdict v = desk::chain::verify(journal);
    EXPECT_TRUE(v.ok()) << v.text().toStdString();
    EXPECT_EQ(v.records, 2);
}
