// The posting's answer: the input, a closed day, a deposit and the cash cap refuse; the cash
// limit and a negative balance are asked.
#include "testsupport/EngineFixture.h"

#include "desk/CashBook.h"
#include "desk/DeskSettings.h"
#include "desk/PostingDraft.h"
#include "desk/Rates.h"
#include "engine/EngineError.h"
#include "engine/TextForms.h"

#include <gtest/gtest.h>

using desk::Currency;
using desk::Direction;
using desk::Refusal;
using engine::Money;

namespace {

class PostingDraftTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        session.setPassword(password());
        journal.open();
        desk::cashbook::prepare(journal);
    }
    qint64 records()
    {
        return journal.runBeside(QStringLiteral("SELECT COUNT(*) FROM promet")).value(0).value(0).toLongLong();
    }
    engine::Table journal{session, QStringLiteral("podaci/promet.db")};
};

INSTANTIATE_STORES(PostingDraftTest);

desk::PostingDraft draft(Direction direction, Currency currency, const char *amount,
                         const char *reason = "Pazar", QDate day = QDate(2026, 12, 10))
{
    desk::PostingDraft d;
    d.day = day;
    d.time = QTime(10, 0);
    d.amountText = QString::fromUtf8(amount);
    d.direction = direction;
    d.currency = currency;
    d.reason = QString::fromUtf8(reason);
    d.group = QStringLiteral("PRODAJA");
    d.cashier = QStringLiteral("Petar Petrovic");
    return d;
}

} // namespace

// The journal: 1,000.00 DIN taken in on the 8th, which is closed; a limit of 2,000.00 DIN; the
// euro's rate of the 10th. Each draft gets its refusal, or its whole question.
TEST_P(PostingDraftTest, EachDraftGetsItsRefusalOrItsQuestion)
{
    desk::PostingDraft first = draft(Direction::In, Currency::Dinars, "1000.00", "Pazar", QDate(2026, 12, 8));
    desk::post(journal, desk::toPosting(first, Money::fromHundredths(100000)), session.dateFormat());
    desk::cashbook::closeDay(journal, QDate(2026, 12, 8), QStringLiteral("Admin"),
                             QDateTime(QDate(2026, 12, 9), QTime(20, 0)));
    desk::settings::Shared shared = desk::settings::read(journal);
    shared.limitDinars = Money::fromHundredths(200000);
    desk::settings::write(journal, shared, QStringLiteral("Admin"));
    desk::rates::store(journal,
                       {{QDate(2026, 12, 10), desk::rates::Euro, 117173500, QStringLiteral("238"),
                         QStringLiteral("NBS")}},
                       QStringLiteral("Admin"), false, QDateTime(QDate(2026, 12, 10), QTime(8, 0)));

    desk::PostingDraft blanks = draft(Direction::In, Currency::Dinars, " ", "  ");
    desk::PostingDraft noGroup = draft(Direction::In, Currency::Dinars, "5");
    noGroup.group.clear();
    desk::PostingDraft allowed = draft(Direction::In, Currency::Euros, "15000", "Pozajmica");
    allowed.allowance = QStringLiteral(" pozajmica vlasnika ");
    const QString closedText = QStringLiteral("Dan %1 je zakljucen: na taj dan se vise ne knjizi. "
                                              "Promena nije proknjizena.")
                                   .arg(session.dateFormat().toText(QDate(2026, 12, 8)));
    const struct
    {
        const char *name;
        desk::PostingDraft d;
        Refusal refusal;
        QString said; // the whole refusal, or the whole question; a leading "~" only its start
    } cases[] = {
        {"nothing typed", blanks, Refusal::EmptyFields,
         "Morate popuniti polje sa iznosom, polje sa komentarom i polje za grupu!!!\n"
         "Nisu popunjena: polje sa iznosom, polje sa komentarom"},
        {"no group", noGroup, Refusal::EmptyFields, "~Morate popuniti polje sa iznosom, polje sa "
                                                    "komentarom i polje za grupu!!!\nNije popunjeno: polje za grupu"},
        {"0.00 is empty", draft(Direction::In, Currency::Dinars, "0.00"), Refusal::EmptyFields, "~Morate"},
        {"point and comma", draft(Direction::In, Currency::Dinars, "1.234,56"), Refusal::NotANumber,
         "Iznos nije ispravan broj: 1.234,56 (upisite ga kao 350.50 ili 350,50)"},
        {"zero with a comma", draft(Direction::In, Currency::Dinars, "0,00"), Refusal::NotAboveZero,
         "Iznos mora biti veci od nule"},
        {"below zero", draft(Direction::Out, Currency::Euros, "-5"), Refusal::NotAboveZero,
         "Iznos mora biti veci od nule"},
        {"over the largest", draft(Direction::In, Currency::Dinars, "1000000000.00"), Refusal::TooLarge,
         "Iznos je prevelik, najvise moze biti 999999999.99"},
        {"a closed day", draft(Direction::In, Currency::Dinars, "5", "Pazar", QDate(2026, 12, 8)),
         Refusal::ClosedDay, closedText},
        {"a day before the closed one", draft(Direction::Out, Currency::Dinars, "5", "Gorivo", QDate(2026, 12, 1)),
         Refusal::ClosedDay, "~Dan "},
        {"a deposit taken in", draft(Direction::In, Currency::Dinars, "5", "POLOG NA RACUN br. 160-1"),
         Refusal::Deposit, "~"},
        {"euros over the cap", draft(Direction::In, Currency::Euros, "15000", "Pozajmica"), Refusal::CashCap,
         "~Gotovinska naplata od 10.000 EUR ili vise nije dozvoljena"},
        {"the cap allowed", allowed, Refusal::None,
         "Administrator dozvoljava gotovinsku naplatu preko 10.000 EUR: pozajmica vlasnika\n"
         "Da li ste sigurni?\nULAZ 15000.00 EUR, razlog: Pozajmica, grupa: PRODAJA"},
        {"over the limit", draft(Direction::In, Currency::Dinars, "1000,01"), Refusal::None,
         "~Stanje kase ce preci blagajnicki maksimum od 2000.00 DIN."},
        {"up to the limit", draft(Direction::In, Currency::Dinars, " 1000 "), Refusal::None,
         "Da li ste sigurni?\nULAZ 1000.00 DIN, razlog: Pazar, grupa: PRODAJA"},
        {"below zero after", draft(Direction::Out, Currency::Dinars, "1000.01", " Gorivo "), Refusal::None,
         "Stanje kase ce biti negativno. Da li ste sigurni?\nIZLAZ 1000.01 DIN, razlog: Gorivo, grupa: PRODAJA"},
        {"euros have none", draft(Direction::Out, Currency::Euros, "1"), Refusal::None,
         "Stanje kase ce biti negativno. Da li ste sigurni?\nIZLAZ 1.00 EUR, razlog: Pazar, grupa: PRODAJA"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const desk::PostingAnswer a = desk::judge(journal, c.d, session.dateFormat());
        EXPECT_EQ(a.refusal, c.refusal) << a.text.toStdString();
        EXPECT_EQ(a.refused(), a.refusal != Refusal::None);
        EXPECT_EQ(a.amount.has_value(), !a.refused());
        EXPECT_EQ(a.allowedOverCap, !c.d.allowance.isEmpty());
        const QString said = a.refused() ? a.text : a.question;
        EXPECT_FALSE(said.isEmpty());
        if (c.said.startsWith(u'~'))
            EXPECT_TRUE(said.startsWith(c.said.mid(1))) << said.toStdString();
        else
            EXPECT_EQ(said, c.said);
    }
    EXPECT_EQ(records(), 1); // judging stores nothing
}
