// A reversal (storno) over both stores: its record, its number and what it refuses.

#include "CashBookFixture.h"

#include "engine/TextForms.h"

namespace cashbook = desk::cashbook;

namespace {

class ReversalTest : public CashBookFixture
{
};

INSTANTIATE_STORES(ReversalTest);

} // namespace

// A reversal is a new posting that cancels the document: the opposite amounts in the same
// fields, its own number of the original's kind, the balances back where they were. A document
// is reversed once at most, a reversal never; a closed day's document is reversed on an open
// day, and the closed day stays as it was closed.
TEST_P(ReversalTest, ADocumentIsReversedOnceAndAReversalNever)
{
    cashbook::prepare(journal);
    const QString receipt = postNumbered(QStringLiteral("01/04/2026"), true, QStringLiteral("80.00"));
    const QString payment = postNumbered(QStringLiteral("02/04/2026"), false, QStringLiteral("30.00"));
    const engine::DateTextFormat &dates = session.dateFormat();
    const desk::BookEntry r = cashbook::reverse(journal, receipt, QStringLiteral("Ana"),
                                                QDate(2026, 4, 3), QStringLiteral("09:00:00"), dates);
    EXPECT_EQ(r.number, QStringLiteral("U-2026-000002"));
    const auto stored = cashbook::entry(journal, r.number);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->reverses, receipt);
    EXPECT_EQ(stored->description, QStringLiteral("STORNO U-2026-000001: "));
    EXPECT_EQ(stored->dinarsIn.toText(), QStringLiteral("-80.00"));
    EXPECT_EQ(stored->dinarBalance.toText(), QStringLiteral("-30.00")); // 80 - 30 - 80
    EXPECT_EQ(stored->date, QDate(2026, 4, 3));
    EXPECT_EQ(cashbook::reversalOf(journal, receipt), r.number);

    cashbook::closeDay(journal, QDate(2026, 4, 2), QStringLiteral("Admin"),
                       QDateTime(QDate(2026, 4, 3), QTime(8, 0)));
    const desk::BookEntry late = cashbook::reverse(journal, payment, QStringLiteral("Ana"),
                                                   QDate(2026, 4, 3), QStringLiteral("09:30:00"), dates);
    EXPECT_EQ(late.number, QStringLiteral("I-2026-000002"));
    EXPECT_EQ(late.date, QDate(2026, 4, 3));
    EXPECT_TRUE(cashbook::closedDayDrift(journal).isEmpty());
    EXPECT_EQ(cashbook::dayBook(journal, QDate(2026, 4, 3)).dinars.closing().toText(),
              QStringLiteral("0.00"));
    const struct
    {
        QString number;
        QDate day;
        const char *error;
    } refused[] = {
        {receipt, QDate(2026, 4, 3), "Dokument U-2026-000001 je vec storniran (U-2026-000002)"},
        {r.number, QDate(2026, 4, 3),
         "Dokument U-2026-000002 je storno dokumenta U-2026-000001 i ne moze se stornirati"},
        {receipt, QDate(2026, 4, 2),
         "Dan 02/04/2026 je zakljucen: storno se ne moze proknjiziti (poslednji zakljuceni dan "
         "je 02/04/2026)"},
        {QStringLiteral("I-2026-000099"), QDate(2026, 4, 3), "Ne postoji dokument I-2026-000099"},
    };
    for (const auto &c : refused) {
        EXPECT_EQ(cashbook::reversalRefusal(journal, c.number, c.day), QString::fromLatin1(c.error));
        EXPECT_EQ(errorOf([&] {
                      cashbook::reverse(journal, c.number, QStringLiteral("Ana"), c.day,
                                        QStringLiteral("09:00:00"), dates);
                  }),
                  QString::fromLatin1(c.error));
    }
    EXPECT_EQ(cashbook::entries(journal).size(), 4); // nothing stored by a refusal
}
