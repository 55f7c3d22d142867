// The rules on cash beyond the till: the cap on a cash receipt of 10,000 euros, in dinars at
// the day's rate or the last one known, and allowed by the administrator; and the deposits
// that must follow the days' dinar receipts within seven working days.
#include "testsupport/EngineFixture.h"

#include "desk/CashBook.h"
#include "desk/CashCap.h"
#include "desk/Deposits.h"
#include "desk/Posting.h"
#include "desk/Rates.h"
#include "engine/EngineError.h"
#include "engine/TextForms.h"

#include <gtest/gtest.h>

using desk::Currency;
using desk::Direction;
using engine::EngineError;
using engine::Money;
namespace rates = desk::rates;

namespace {

desk::Posting posting(Currency currency, Direction direction, qint64 hundredths, QDate day,
                      const QString &reason = QStringLiteral("Pazar"))
{
    desk::Posting p;
    p.cashier = QStringLiteral("Petar Petrovic");
    p.day = day;
    p.time = QStringLiteral("10:00:00");
    p.currency = currency;
    p.direction = direction;
    p.amount = Money::fromHundredths(hundredths);
    p.reason = reason;
    p.group = QStringLiteral("PRODAJA");
    return p;
}

} // namespace

// At or over 10,000 EUR in either currency a receipt is refused; under it, a payment, or a
// day measured against an older rate passes, the question saying which rate.
TEST(CashCap, ReceiptsAtOrOverTenThousandEurosAreRefusedInEitherCurrency)
{
    rates::RateBook book;
    book.add({QDate(2026, 12, 11), rates::Euro, 117173500, QStringLiteral("238"), QStringLiteral("NBS")});
    const QDate friday(2026, 12, 11), monday(2026, 12, 14), before(2026, 12, 10);
    const struct
    {
        const char *name;
        desk::Posting p;
        bool refused;
        const char *text; // in the refusal, or in the note when not refused
    } cases[] = {
        {"dinars just under", posting(Currency::Dinars, Direction::In, 117173499, friday), false, ""},
        {"dinars at the cap", posting(Currency::Dinars, Direction::In, 117173500, friday), true,
         "Gotovinska naplata od 10.000 EUR ili vise nije dozvoljena (protivvrednost 10,000.00 EUR "
         "po srednjem kursu NBS 117.1735 od 11.12.2026)."},
        {"euros just under", posting(Currency::Euros, Direction::In, 999999, friday), false, ""},
        {"euros at the cap", posting(Currency::Euros, Direction::In, 1000000, friday), true,
         "(protivvrednost 1,171,735.00 DIN po srednjem kursu NBS 117.1735 od 11.12.2026)"},
        {"a payment over it", posting(Currency::Euros, Direction::Out, 5000000, friday), false, ""},
        {"on the weekend the Friday list", posting(Currency::Dinars, Direction::In, 117173500,
                                                   friday.addDays(1)), true, "od 11.12.2026)."},
        {"a Monday without a list", posting(Currency::Dinars, Direction::In, 117173500, monday),
         true, "Za dan 14.12.2026 nema kursa: granica od 10.000 EUR je merena po poslednjem "
               "poznatom srednjem kursu NBS 117.1735 od 11.12.2026."},
        {"under it on a Monday", posting(Currency::Dinars, Direction::In, 100000, monday), false,
         "Za dan 14.12.2026 nema kursa"},
        {"no rate ever in dinars", posting(Currency::Dinars, Direction::In, 500000000, before),
         false, ""},
        {"no rate ever in euros", posting(Currency::Euros, Direction::In, 1000000, before), true,
         "(protivvrednost: nema kursa)."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const desk::cashcap::Answer a = desk::cashcap::check(book, c.p);
        EXPECT_EQ(a.refused, c.refused) << a.refusal.toStdString();
        const QString said = c.refused ? a.refusal : a.note;
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.text))) << said.toStdString();
        if (c.refused) {
            EXPECT_TRUE(a.refusal.startsWith(QStringLiteral("Gotovinska naplata od 10.000 EUR")));
        }
    }
}

// A deposit is a dinar payment carrying its slip's number.
TEST(Deposits, ADepositIsADinarPaymentWithItsSlip)
{
    const QDate day(2026, 12, 10);
    const struct
    {
        desk::Posting p;
        bool refused;
    } cases[] = {
        {posting(Currency::Dinars, Direction::Out, 100, day, desk::deposits::reasonFor(QStringLiteral("160-123-77"))), false},
        {posting(Currency::Dinars, Direction::Out, 100, day, QStringLiteral("POLOG NA RACUN")), true},
        {posting(Currency::Dinars, Direction::Out, 100, day, QStringLiteral("POLOG NA RACUN br. ")), true},
        {posting(Currency::Dinars, Direction::In, 100, day, desk::deposits::reasonFor(QStringLiteral("1"))), true},
        {posting(Currency::Euros, Direction::Out, 100, day, desk::deposits::reasonFor(QStringLiteral("1"))), true},
        {posting(Currency::Dinars, Direction::Out, 100, day, desk::deposits::reasonFor(QStringLiteral("1;DROP"))), true},
        {posting(Currency::Dinars, Direction::In, 100, day, QStringLiteral("Pazar")), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(!desk::deposits::refusal(c.p).isEmpty(), c.refused) << c.p.reason.toStdString();
    EXPECT_TRUE(desk::deposits::isDeposit(QStringLiteral("STORNO I-2026-000004: POLOG NA RACUN br. 1")));
    EXPECT_FALSE(desk::deposits::isDeposit(QStringLiteral("Pazar")));
}

namespace {

class CashRulesStoreTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        session.setPassword(password());
        journal.open();
        desk::cashbook::prepare(journal);
    }
    desk::Posted post(const desk::Posting &p) { return desk::post(journal, p, session.dateFormat()); }
    QStringList overdue(const QDate &today)
    {
        QStringList out;
        for (const desk::deposits::Overdue &o : desk::deposits::overdue(journal, today))
            out << o.text();
        return out;
    }
    engine::Table journal{session, QStringLiteral("podaci/promet.db")};
};

INSTANTIATE_STORES(CashRulesStoreTest);

} // namespace

// Deposits cover the receipts oldest first; a day left uncovered is named once more than
// seven working days have passed, counted past weekends and Orthodox Easter; a deposit's
// reversal takes it back.
TEST_P(CashRulesStoreTest, TheDepositWarningNamesTheUndepositedDayAfterSevenWorkingDays)
{
    const auto in = [&](QDate day, qint64 hundredths) {
        post(posting(Currency::Dinars, Direction::In, hundredths, day));
    };
    const auto deposit = [&](QDate day, qint64 hundredths) {
        return post(posting(Currency::Dinars, Direction::Out, hundredths, day,
                            desk::deposits::reasonFor(QStringLiteral("160-42"))));
    };
    in(QDate(2026, 4, 2), 500000);   // Thursday before Orthodox Easter (12.04.2026)
    in(QDate(2026, 12, 2), 1250000); // Wednesday
    in(QDate(2026, 12, 3), 300000);
    post(posting(Currency::Euros, Direction::In, 900000, QDate(2026, 12, 3))); // euros: no deposit
    post(posting(Currency::Dinars, Direction::Out, 40000, QDate(2026, 12, 3), QStringLiteral("Gorivo")));

    const struct
    {
        QDate today;
        QStringList warned;
    } before[] = {
        {QDate(2026, 4, 14), {}}, // 7 working days, Good Friday and Easter Monday not counted
        {QDate(2026, 4, 15), {}},
        {QDate(2026, 4, 16), {QStringLiteral("Pazar od 02.04.2026 (5,000.00 DIN) nije polozen na racun")}},
        {QDate(2026, 12, 11), {QStringLiteral("Pazar od 02.04.2026 (5,000.00 DIN) nije polozen na racun")}},
        {QDate(2026, 12, 14),
         {QStringLiteral("Pazar od 02.04.2026 (5,000.00 DIN) nije polozen na racun"),
          QStringLiteral("Pazar od 02.12.2026 (12,500.00 DIN) nije polozen na racun")}},
    };
    for (const auto &c : before)
        EXPECT_EQ(overdue(c.today), c.warned) << c.today.toString(Qt::ISODate).toStdString();

    // 10,000.00 covers April and half of 2 December.
    const desk::Posted slip = deposit(QDate(2026, 12, 14), 1000000);
    EXPECT_EQ(overdue(QDate(2026, 12, 14)),
              QStringList{QStringLiteral("Pazar od 02.12.2026 (7,500.00 DIN) nije polozen na racun")});
    EXPECT_EQ(overdue(QDate(2026, 12, 15)),
              (QStringList{QStringLiteral("Pazar od 02.12.2026 (7,500.00 DIN) nije polozen na racun"),
                           QStringLiteral("Pazar od 03.12.2026 (3,000.00 DIN) nije polozen na racun")}));
    deposit(QDate(2026, 12, 15), 1050000);
    EXPECT_EQ(overdue(QDate(2026, 12, 31)), QStringList{});

    desk::cashbook::reverse(journal, slip.number, QStringLiteral("Admin"), QDate(2026, 12, 16),
                            QStringLiteral("09:00:00"), session.dateFormat());
    EXPECT_EQ(overdue(QDate(2026, 12, 16)).size(), 2);
}

// The administrator's allowance stores the receipt over the cap with its reason in the log;
// without a reason nothing is stored.
TEST_P(CashRulesStoreTest, AReceiptOverTheCapIsStoredOnlyWithTheAdministratorsReason)
{
    const desk::Posting loan =
        posting(Currency::Euros, Direction::In, 1500000, QDate(2026, 12, 10), QStringLiteral("Pozajmica"));
    const auto records = [&] {
        return journal.runBeside(QStringLiteral("SELECT COUNT(*) FROM promet")).value(0).value(0).toLongLong();
    };
    EXPECT_THROW(desk::cashcap::postAllowed(journal, loan, QStringLiteral("  "), session.dateFormat()),
                 EngineError);
    EXPECT_EQ(records(), 0);
    const desk::Posted stored = desk::cashcap::postAllowed(
        journal, loan, QStringLiteral("pozajmica vlasnika"), session.dateFormat());
    EXPECT_EQ(records(), 1);
    EXPECT_EQ(stored.euros, Money::fromHundredths(1500000));
    const QList<QVariantList> log = journal.runBeside(QStringLiteral(
        "SELECT KORISNIK, OPIS FROM dorvanta_dnevnik WHERE RADNJA = 'GOTOVINA'"));
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0].value(0).toString(), QStringLiteral("Admin"));
    EXPECT_TRUE(log[0].value(1).toString().contains(stored.number));
    EXPECT_TRUE(log[0].value(1).toString().contains(QStringLiteral("pozajmica vlasnika")));
}
