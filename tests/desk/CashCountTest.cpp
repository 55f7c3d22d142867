// The cash count over both stores: its difference's document and what verify finds of it.

#include "CashBookFixture.h"

#include "desk/CashCount.h"
#include "desk/JournalBalances.h"
#include "desk/JournalChain.h"
#include "engine/EngineError.h"

namespace cashbook = desk::cashbook;

namespace {

class CashCountTest : public CashBookFixture
{
};

INSTANTIATE_STORES(CashCountTest);

} // namespace

// A cash count compares the counted sum with the book balance: no document when they agree, a
// payment "MANJAK" for a shortage, a receipt "VISAK" for an overage, each in the name of whoever
// counted; after it the book balance is the counted sum and verify agrees. Pieces that no longer
// add up to the stored sum, and a difference whose document is gone, are named by verify.
TEST_P(CashCountTest, ACountPostsItsDifferenceAndVerifyChecksIt)
{
    using desk::Currency;
    namespace cashcount = desk::cashcount;
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("07/12/2026"), true, QStringLiteral("4400.00"));
    postNumbered(QStringLiteral("07/12/2026"), true, QStringLiteral("10.00"), true);
    const QDate day(2026, 12, 7);
    const QDateTime now(day, QTime(18, 30));

    const struct
    {
        Currency currency;
        const char *pieces, *counted, *document, *reason;
    } cases[] = {
        {Currency::Dinars, "2000x2, 200x2", "4400.00", "", ""},
        {Currency::Dinars, "2000x2,100x3", "4300.00", "I-2026-000001", "MANJAK po popisu 07/12/2026"},
        {Currency::Dinars, "2000x2,200x2,5000x0", "4400.00", "U-2026-000003",
         "VISAK po popisu 07/12/2026"},
        {Currency::Euros, "5x2,0.50x1", "10.50", "U-2026-000004", "VISAK po popisu 07/12/2026"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pieces);
        const cashcount::Count count = cashcount::record(
            journal, day, c.currency, cashcount::parse(QString::fromLatin1(c.pieces), c.currency),
            QStringLiteral("Petar"), now, session.dateFormat());
        EXPECT_EQ(count.counted.toText(), QString::fromLatin1(c.counted));
        EXPECT_EQ(count.document, QString::fromLatin1(c.document));
        const journal_balances::Balances after = journal_balances::current(journal);
        EXPECT_EQ((c.currency == Currency::Euros ? after.euros : after.dinars).toText(),
                  QString::fromLatin1(c.counted));
        if (*c.document) {
            const std::optional<desk::BookEntry> e = cashbook::entry(journal, count.document);
            ASSERT_TRUE(e.has_value());
            EXPECT_EQ(e->description, QString::fromLatin1(c.reason));
            EXPECT_EQ(e->cashier, QStringLiteral("Petar"));
            EXPECT_EQ(e->date, day);
        }
    }
    const QList<cashcount::Count> stored = cashcount::ofDay(journal, day);
    ASSERT_EQ(stored.size(), 4);
    EXPECT_EQ(stored.at(1).pieces.size(), 2);
    EXPECT_EQ(stored.at(1).book.toText(), QStringLiteral("4400.00"));
    EXPECT_EQ(stored.at(2).pieces.size(), 2); // the denomination without pieces is not kept
    EXPECT_EQ(stored.at(3).pieces.back().denomination.toText(), QStringLiteral("0.50"));
    desk::chain::Verdict verdict = desk::chain::verify(journal);
    EXPECT_TRUE(verdict.ok()) << qPrintable(verdict.text());

    // A backup carries the counts with the records, also one made of a server's journal.
    journal.close();
    cashbook::backupJournal(session, QStringLiteral("bck-popis.db"));
    session.setPassword(password());
    journal.open();
    {
        engine::Table backup(session, QStringLiteral("podaci/bck-popis.db"));
        backup.open();
        const QList<cashcount::Count> inBackup = cashcount::ofDay(backup, day);
        ASSERT_EQ(inBackup.size(), 4);
        EXPECT_EQ(inBackup.at(3).pieces.back().denomination.toText(), QStringLiteral("0.50"));
        EXPECT_EQ(inBackup.at(1).document, stored.at(1).document);
        EXPECT_EQ(cashcount::check(backup), QStringList());
    }

    journal.runBeside(QStringLiteral("UPDATE dorvanta_popis_apoen SET KOMADA = 3 WHERE RB = 1 AND APOEN = 20000"));
    journal.runBeside(QStringLiteral("UPDATE dorvanta_popis SET DOKUMENT = 'I-2026-000099' WHERE RB = 2"));
    verdict = desk::chain::verify(journal);
    EXPECT_EQ(verdict.counts,
              QStringList({"Popis 1 (DIN, 07/12/2026): apoeni daju 4600.00, zapisano je 4400.00",
                           "Popis 2 (DIN, 07/12/2026): dokument razlike I-2026-000099 ne postoji"}));
    EXPECT_FALSE(verdict.ok());

    // Refused lists, and a count on a closed day, store nothing.
    const struct
    {
        const char *pieces, *error;
    } refused[] = {
        {"3000x1", "Apoen 3000 ne postoji u valuti DIN"},
        {"5000x-1", "ne moze biti negativan"},
        {"5000x1.5", "mora biti ceo broj"},
        {"5000x1,5000x2", "naveden dva puta"},
        {"5000x", "Neispravan popis"},
        {"5000x3;1000x1", "Neispravan"},
        {"", "Popis je prazan"},
    };
    for (const auto &r : refused)
        EXPECT_TRUE(errorOf([&] { cashcount::parse(QString::fromLatin1(r.pieces), Currency::Dinars); })
                        .contains(QString::fromLatin1(r.error)))
            << r.pieces;
    EXPECT_TRUE(errorOf([&] { cashcount::parse(QStringLiteral("0.05x1"), Currency::Dinars); })
                    .contains(QStringLiteral("Apoen 0.05 ne postoji")));
    cashbook::closeDay(journal, day, QStringLiteral("Admin"), now);
    const qsizetype records = cashbook::entries(journal).size();
    EXPECT_TRUE(errorOf([&] {
                    cashcount::record(journal, day, Currency::Dinars,
                                      cashcount::parse(QStringLiteral("100x1"), Currency::Dinars),
                                      QStringLiteral("Petar"), now, session.dateFormat());
                }).contains(QStringLiteral("je zakljucen")));
    EXPECT_EQ(cashbook::entries(journal).size(), records);
    EXPECT_EQ(cashcount::ofDay(journal, day).size(), 4);
}
