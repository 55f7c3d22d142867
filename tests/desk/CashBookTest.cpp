// The cash book beside the journal, over both stores: numbering a journal of an older data
// directory, numbers after a clear and a failed posting, day closes and what they refuse,
// reversals, and a backup and its restore.

#include "testsupport/EngineFixture.h"

#include "desk/CashBook.h"
#include "desk/CashBookCsv.h"
#include "desk/CashCount.h"
#include "desk/DeskSettings.h"
#include "desk/JournalBalances.h"
#include "desk/JournalChain.h"
#include "desk/MonthFigures.h"
#include "desk/Rates.h"
#include "desk/Restore.h"
#include "engine/EngineError.h"
#include "engine/TableStores.h"

using desk::DocumentKind;
using engine::EngineError;
using engine::Money;
using engine::Table;
namespace cashbook = desk::cashbook;

namespace {

class CashBookTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        session.setPassword(password());
        journal.open();
    }

    // One posting as the posting page makes it: the record and its number in one transaction.
    QString postNumbered(const QString &date, bool in, const QString &amount = QStringLiteral("10.00"))
    {
        journal.startTransaction();
        journal.insert();
        journal.setFieldText(QStringLiteral("DATUM"), date);
        journal.setFieldText(in ? QStringLiteral("ULAZDIN") : QStringLiteral("IZLAZDIN"), amount);
        journal.post();
        try {
            const QString number = cashbook::numberRecord(
                journal, journal.recordId(), in ? DocumentKind::Receipt : DocumentKind::Payment,
                session.dateFormat().parseOrThrow(date));
            journal.commit();
            return number;
        } catch (...) {
            journal.rollback();
            throw;
        }
    }

    QStringList numbers()
    {
        QStringList out;
        for (const desk::BookEntry &e : cashbook::entries(journal))
            out << e.number;
        return out;
    }

    Table journal{session, QStringLiteral("podaci/promet.db")};
};

INSTANTIATE_STORES(CashBookTest);

} // namespace

// A journal written before the cash book existed gets its numbers at the first start, in stored
// order per kind and year (a receipt is a record with an amount in ULAZDIN or ULAZEUR); the
// next posting goes on from there and a second start numbers nothing.
TEST_P(CashBookTest, AnOlderJournalIsNumberedInStoredOrderPerKindAndYear)
{
    journal.close();
    const struct
    {
        const char *date, *ulazDin, *izlazDin, *ulazEur;
    } rows[] = {
        {"30/12/2025", "5.00", "0.00", "0.00"}, {"30/12/2025", "0.00", "3.00", "0.00"},
        {"02/01/2026", "0.00", "0.00", "1.50"}, {"31/12/2025", "0.00", "-2.00", "0.00"},
        {"02/01/2026", "0.00", "0.00", "0.00"}, {"03/01/2026", "7.00", "0.00", "0.00"},
    };
    for (const auto &r : rows)
        post({QStringLiteral("Ana"), QString::fromLatin1(r.date), QStringLiteral("x"),
              QStringLiteral("g"), QString::fromLatin1(r.ulazDin), QString::fromLatin1(r.izlazDin),
              QString::fromLatin1(r.ulazEur)});
    journal.open();
    EXPECT_EQ(cashbook::prepare(journal), 6);
    EXPECT_EQ(numbers(), (QStringList{"U-2025-000001", "I-2025-000001", "U-2026-000001",
                                      "I-2025-000002", "I-2026-000001", "U-2026-000002"}));
    EXPECT_EQ(cashbook::prepare(journal), 0);
    EXPECT_EQ(postNumbered(QStringLiteral("04/01/2026"), true), QStringLiteral("U-2026-000003"));
}

// A clear removes the numbers with the records but never gives a number of the year again,
// also when the table file gives the cleared ids again before the next start; a posting that
// is rolled back uses no number.
TEST_P(CashBookTest, NumbersAreNeverGivenTwiceAfterAClearOrAFailedPosting)
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
    cashbook::numberRecord(journal, journal.recordId(), DocumentKind::Payment, QDate(2026, 2, 1));
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

// The CSV written row by row is the CSV of the journal's entries, for every range of days; a
// writer that stops ends it.
TEST_P(CashBookTest, TheCsvWrittenRowByRowIsTheCsvOfTheEntries)
{
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("30/12/2025"), true, QStringLiteral("1500.00"));
    postNumbered(QStringLiteral("02/01/2026"), false, QStringLiteral("-20.50"));
    journal.insert(); // no date, no amount, a reason the CSV must quote
    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("Racun, \"hitno\"\r\nx"));
    journal.setFieldText(QStringLiteral("KORISNIK"), QStringLiteral("Ana"));
    journal.post();
    postNumbered(QStringLiteral("03/01/2026"), true, QStringLiteral("0.05"));
    // Euros on a holiday carry the rate of the last working day before it, in the last two
    // columns.
    journal.insert();
    journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("02/01/2026"));
    journal.setFieldText(QStringLiteral("ULAZEUR"), QStringLiteral("200.00"));
    journal.post();
    desk::rates::store(journal, {{QDate(2025, 12, 31), desk::rates::Euro, 117173500,
                                  QStringLiteral("250"), QStringLiteral("NBS")}},
                       QStringLiteral("Admin"), false);
    journal.close();
    journal.open();
    cashbook::prepare(journal);
    const QByteArray all = desk::csvOf(cashbook::entries(journal), desk::CsvForm::Plain, desk::rates::RateBook::load(journal));
    EXPECT_TRUE(all.startsWith("BROJ,DATUM,VREME,KORISNIK,GRUPA,OPIS,ULAZDIN,IZLAZDIN,ULAZEUR,"
                               "IZLAZEUR,STANJEDIN,STANJEEUR,KURS,PROTIVVREDNOST\r\n"));
    EXPECT_TRUE(all.contains(",200.00,0.00,0.00,0.00,117.1735,23434.70\r\n")) << all.constData();
    EXPECT_TRUE(all.contains(",0.00,0.00,0.00,0.00,,\r\n")) << all.constData();
    const std::optional<QDate> none;
    const std::pair<std::optional<QDate>, std::optional<QDate>> ranges[] = {
        {none, none},
        {QDate(2026, 1, 1), none},
        {none, QDate(2025, 12, 31)},
        {QDate(2026, 1, 2), QDate(2026, 1, 3)},
        {QDate(2027, 1, 1), QDate(2027, 12, 31)},
    };
    for (const auto &[from, to] : ranges) {
        QByteArray written;
        EXPECT_TRUE(desk::writeCsv(journal, from, to, [&](QByteArrayView piece) {
            written += piece;
            return true;
        }));
        EXPECT_EQ(written, desk::csvOf(cashbook::entries(journal, from, to), desk::CsvForm::Plain,
                                       desk::rates::RateBook::load(journal)))
            << (from ? from->toString(Qt::ISODate).toStdString() : "-") << " "
            << (to ? to->toString(Qt::ISODate).toStdString() : "-");
    }
    EXPECT_FALSE(desk::writeCsv(journal, none, none, [](QByteArrayView) { return false; }));
}

// Statements sent together stop at the first that fails: its own reason (not a broken
// connection), none after it stored, and the journal posts on as before.
TEST_P(CashBookTest, AFailedStatementAmongOthersSentTogetherStopsThemAndTheJournalGoesOn)
{
    cashbook::prepare(journal);
    const QString insert = QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ) VALUES (?1, ?2)");
    journal.startTransaction();
    try {
        journal.runBesideTogether({{insert, {1, QStringLiteral("A")}},
                                   {insert, {2, QStringLiteral("A")}},
                                   {insert, {3, QStringLiteral("B")}}});
        ADD_FAILURE() << "a number was stored twice";
    } catch (const EngineError &e) {
        EXPECT_NE(e.kind(), EngineError::Kind::Unavailable) << e.message().toStdString();
    }
    journal.rollback();
    EXPECT_EQ(journal.runBeside(QStringLiteral("SELECT COUNT(*) FROM dorvanta_dokument"))
                  .value(0).value(0).toLongLong(),
              0);
    EXPECT_EQ(postNumbered(QStringLiteral("01/02/2026"), true), QStringLiteral("U-2026-000001"));
}

// Closing a day keeps the day's figures against the journal's sums, numbers the reports of a
// year in the order days are closed, and from then on refuses postings on that day and before.
TEST_P(CashBookTest, ADayCloseKeepsItsFiguresAndRefusesEarlierPostings)
{
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("01/03/2026"), true, QStringLiteral("100.00"));
    postNumbered(QStringLiteral("02/03/2026"), true, QStringLiteral("50.00"));
    postNumbered(QStringLiteral("02/03/2026"), false, QStringLiteral("20.50"));
    postNumbered(QStringLiteral("03/03/2026"), false, QStringLiteral("1.00"));
    const QDateTime now(QDate(2026, 3, 3), QTime(20, 0));

    const desk::DayClose second = cashbook::closeDay(journal, QDate(2026, 3, 2), QStringLiteral("Admin"), now);
    EXPECT_EQ(second.number, 1);
    EXPECT_EQ(second.dinars.opening.toText(), QStringLiteral("100.00"));
    EXPECT_EQ(second.dinars.in.toText(), QStringLiteral("50.00"));
    EXPECT_EQ(second.dinars.out.toText(), QStringLiteral("20.50"));
    EXPECT_EQ(second.dinars.closing().toText(), QStringLiteral("129.50"));
    EXPECT_EQ(cashbook::closeDay(journal, QDate(2026, 3, 1), QStringLiteral("Admin"), now).number, 2);

    const auto stored = cashbook::dayClose(journal, QDate(2026, 3, 2));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->closedBy, QStringLiteral("Admin"));
    EXPECT_EQ(stored->closedAt, now);
    EXPECT_EQ(stored->dinars.closing(), second.dinars.closing());

    const struct
    {
        std::function<void()> action;
        const char *error;
    } refused[] = {
        {[&] { cashbook::closeDay(journal, QDate(2026, 3, 2), QStringLiteral("Admin"), now); },
         "Dan 02/03/2026 je vec zakljucen"},
        {[&] { cashbook::closeDay(journal, QDate(2026, 3, 4), QStringLiteral("Admin"), now); },
         "Dan 04/03/2026 jos nije prosao: ne moze se zakljuciti"},
        {[&] { cashbook::requireOpenDay(journal, QDate(2026, 3, 1)); },
         "Dan 01/03/2026 je zakljucen (poslednji zakljuceni dan je 02/03/2026): promena nije "
         "proknjizena. Prijavite se ponovo."},
        {[&] { postNumbered(QStringLiteral("02/03/2026"), true); },
         "Dan 02/03/2026 je zakljucen (poslednji zakljuceni dan je 02/03/2026): promena nije "
         "proknjizena. Prijavite se ponovo."},
    };
    for (const auto &r : refused)
        EXPECT_EQ(errorOf(r.action), QString::fromLatin1(r.error));
    EXPECT_EQ(cashbook::entries(journal).size(), 4); // the refused posting left nothing
    EXPECT_EQ(errorOf([&] { cashbook::requireOpenDay(journal, QDate(2026, 3, 3)); }),
              QStringLiteral("(no error)"));

    const cashbook::DayBook book = cashbook::dayBook(journal, QDate(2026, 3, 3));
    EXPECT_EQ(book.entries.size(), 1);
    EXPECT_EQ(book.dinars.opening.toText(), QStringLiteral("129.50"));
    EXPECT_FALSE(book.close.has_value());
}

// A reversal is a new posting that cancels the document: the opposite amounts in the same
// fields, its own number of the original's kind, the balances back where they were. A document
// is reversed once at most, a reversal never; a closed day's document is reversed on an open
// day, and the closed day stays as it was closed.
TEST_P(CashBookTest, ADocumentIsReversedOnceAndAReversalNever)
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

// A backup and its restore keep every record's number, the reversal it names and the closed
// days on both stores (on the server a restored record is a new record with a new id); the
// numbers the replaced journal gave after the backup are never given again.
TEST_P(CashBookTest, ABackupAndItsRestoreKeepTheNumbersPrintedOnPaper)
{
    cashbook::prepare(journal);
    const QString first = postNumbered(QStringLiteral("01/05/2026"), true);
    postNumbered(QStringLiteral("01/05/2026"), false);
    postNumbered(QStringLiteral("02/05/2026"), true);
    cashbook::reverse(journal, first, QStringLiteral("Ana"), QDate(2026, 5, 2),
                      QStringLiteral("09:00:00"), session.dateFormat());
    cashbook::closeDay(journal, QDate(2026, 5, 1), QStringLiteral("Admin"),
                       QDateTime(QDate(2026, 5, 2), QTime(20, 0)));
    const QStringList backedUp = numbers();
    ASSERT_EQ(backedUp, (QStringList{"U-2026-000001", "I-2026-000001", "U-2026-000002",
                                     "U-2026-000003"}));
    desk::settings::Shared shared;
    shared.limitDinars = Money::fromUnits(500);
    desk::settings::write(journal, shared, QStringLiteral("Admin"));
    const auto rate = [](int day, qint64 millionths) {
        return desk::rates::Rate{QDate(2026, 5, day), desk::rates::Euro, millionths, {},
                                 QStringLiteral("UNETO")};
    };
    desk::rates::store(journal, {rate(4, 117100000)}, QStringLiteral("Admin"), false);
    const QString name = QStringLiteral("bck-02-05-26-20-00-00.db");
    journal.close();
    cashbook::backupJournal(session, name);

    // What a restore of the backup (a table file) finds in it.
    session.setPassword(password());
    Table backup(session, QStringLiteral("podaci/") + name);
    backup.open();
    QStringList inBackup;
    for (const desk::BookEntry &e : cashbook::entries(backup))
        inBackup << e.number;
    EXPECT_EQ(inBackup, backedUp);
    EXPECT_EQ(cashbook::reversalOf(backup, first), QStringLiteral("U-2026-000003"));
    EXPECT_TRUE(cashbook::dayClose(backup, QDate(2026, 5, 1)).has_value());
    EXPECT_EQ(desk::settings::read(backup).limitDinars, Money::fromUnits(500));
    EXPECT_EQ(desk::rates::RateBook::load(backup).forDay(QDate(2026, 5, 4))->millionths, 117100000);
    session.close();

    // A posting and a new limit after the backup, then the restore as the backup page does
    // it: the settings and the rates are the journal's, not the backup's.
    session.setPassword(password());
    journal.open();
    EXPECT_EQ(postNumbered(QStringLiteral("02/05/2026"), true), QStringLiteral("U-2026-000004"));
    shared.limitDinars = Money::fromUnits(700);
    shared.blindCount = true;
    desk::settings::write(journal, shared, QStringLiteral("Admin"));
    // ... and rates typed and changed after it: the restore keeps the journal's.
    desk::rates::store(journal, {rate(4, 117200000), rate(5, 117300000)}, QStringLiteral("Admin"), true);
    session.close();
    const desk::restore::Outcome outcome = desk::restore::run(
        dir.path(), name, QStringLiteral("Admin"), QStringLiteral("bck-arhiva-1.db"), {});
    EXPECT_EQ(outcome.bookError, QString());
    EXPECT_EQ(outcome.archive, QStringLiteral("bck-arhiva-1.db"));
    session.setPassword(password());
    journal.open();
    EXPECT_EQ(numbers(), backedUp);
    EXPECT_EQ(cashbook::reversalOf(journal, first), QStringLiteral("U-2026-000003"));
    EXPECT_TRUE(cashbook::dayClose(journal, QDate(2026, 5, 1)).has_value());
    EXPECT_EQ(cashbook::prepare(journal), 0);
    EXPECT_EQ(postNumbered(QStringLiteral("02/05/2026"), true), QStringLiteral("U-2026-000005"));
    EXPECT_EQ(desk::settings::read(journal).limitDinars, Money::fromUnits(700));
    EXPECT_TRUE(desk::settings::read(journal).blindCount);
    const desk::rates::RateBook rates = desk::rates::RateBook::load(journal);
    EXPECT_EQ(rates.forDay(QDate(2026, 5, 4))->millionths, 117200000);
    EXPECT_EQ(rates.forDay(QDate(2026, 5, 5))->millionths, 117300000);
}

// A close leaves a backup that holds it. A restore of a backup older than a closed day names the
// day with its figures before and after, logs them, and from then on verification names the
// day; a restore of the close's backup makes the day whole again.
TEST_P(CashBookTest, AClosedDayIsBackedUpAndARestoreThatChangesItIsNamed)
{
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("01/06/2026"), true, QStringLiteral("100.00"));
    journal.close();
    cashbook::backupJournal(session, QStringLiteral("bck-old.db"));
    session.setPassword(password());
    journal.open();
    postNumbered(QStringLiteral("02/06/2026"), true, QStringLiteral("50.00"));
    postNumbered(QStringLiteral("02/06/2026"), false, QStringLiteral("20.00"));
    journal.close();

    QString backupError;
    session.setPassword(password());
    const desk::DayClose close = cashbook::closeDayAndBackUp(
        session, QDate(2026, 6, 2), QStringLiteral("Admin"),
        QDateTime(QDate(2026, 6, 2), QTime(20, 0)), QStringLiteral("bck-close.db"), backupError);
    EXPECT_EQ(backupError, QString());
    EXPECT_EQ(close.dinars.closing().toText(), QStringLiteral("130.00"));
    {
        OpenTable backup(session, QStringLiteral("podaci/bck-close.db"));
        EXPECT_TRUE(cashbook::dayClose(backup, QDate(2026, 6, 2)).has_value());
        EXPECT_EQ(backup.recordCount(), 3);
    }
    session.close();

    const desk::restore::Preview same = desk::restore::preview(dir.path(), QStringLiteral("bck-close.db"));
    EXPECT_EQ(same.lost, 0);
    EXPECT_TRUE(same.closedDays.isEmpty());
    const desk::restore::Preview older = desk::restore::preview(dir.path(), QStringLiteral("bck-old.db"));
    EXPECT_EQ(older.lost, 2);
    ASSERT_EQ(older.closedDays.size(), 1);
    const QString line = QStringLiteral(
        "Dan 02/06/2026 je zakljucen sa stanjem 130.00 DIN, promet sada daje 100.00 DIN");
    EXPECT_EQ(older.closedDays.front().lines(), QStringList{line});
    // Only the backup that changes a closed day asks for the administrator's code.
    const struct
    {
        const desk::restore::Preview &preview;
        bool needsCode;
    } restores[] = {{same, false}, {older, true}};
    for (const auto &r : restores) {
        QString why;
        EXPECT_EQ(desk::restore::needsAdminCode(r.preview), r.needsCode);
        EXPECT_EQ(desk::restore::allowed(dir.path(), r.preview, QStringLiteral("not the code"), why),
                  !r.needsCode);
        EXPECT_EQ(why, r.needsCode ? QStringLiteral("sifra administratora nije tacna") : QString());
    }

    desk::restore::run(dir.path(), QStringLiteral("bck-old.db"), QStringLiteral("Admin"),
                       QStringLiteral("bck-arhiva-2.db"), older.closedDays);
    session.setPassword(password());
    journal.open();
    const desk::chain::Verdict changed = desk::chain::verify(journal);
    EXPECT_TRUE(changed.chainOk()) << changed.text().toStdString();
    EXPECT_FALSE(changed.ok());
    EXPECT_EQ(changed.closedDays, QStringList{line});
    EXPECT_TRUE(changed.text().endsWith(line));
    const QList<QVariantList> logged = journal.runBeside(
        QStringLiteral("SELECT OPIS FROM dorvanta_dnevnik ORDER BY RB DESC LIMIT 1"));
    EXPECT_TRUE(logged.value(0).value(0).toString().contains(
        QStringLiteral("PROMENJENI ZAKLJUCENI DANI: ") + line))
        << logged.value(0).value(0).toString().toStdString();
    journal.close();

    // A backup of an unknown name, or a path, is refused before anything changes.
    EXPECT_EQ(errorOf([&] { desk::restore::preview(dir.path(), QStringLiteral("../promet.db")); }),
              QStringLiteral("'../promet.db' is not a file name of the data directory"));
    desk::restore::run(dir.path(), QStringLiteral("bck-close.db"), QStringLiteral("Admin"),
                       QStringLiteral("bck-arhiva-3.db"), {});
    session.setPassword(password());
    journal.open();
    EXPECT_TRUE(desk::chain::verify(journal).ok()) << desk::chain::verify(journal).text().toStdString();

    // A backup that cannot be written (its name taken by a folder) leaves the close standing
    // and says why.
    journal.close();
    ASSERT_TRUE(QDir(dataFile(QString())).mkdir(QStringLiteral("bck-dir.db")));
    backupError.clear();
    session.setPassword(password());
    cashbook::closeDayAndBackUp(session, QDate(2026, 6, 1), QStringLiteral("Admin"),
                                QDateTime(QDate(2026, 6, 2), QTime(21, 0)),
                                QStringLiteral("bck-dir.db"), backupError);
    EXPECT_FALSE(backupError.isEmpty());
    session.setPassword(password());
    journal.open();
    EXPECT_TRUE(cashbook::dayClose(journal, QDate(2026, 6, 1)).has_value());
}

// A cash count compares the counted sum with the book balance: no document when they agree, a
// payment "MANJAK" for a shortage, a receipt "VISAK" for an overage, each in the name of whoever
// counted; after it the book balance is the counted sum and verify agrees. Pieces that no longer
// add up to the stored sum, and a difference whose document is gone, are named by verify.
TEST_P(CashBookTest, ACountPostsItsDifferenceAndVerifyChecksIt)
{
    using desk::Currency;
    namespace cashcount = desk::cashcount;
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("07/12/2026"), true, QStringLiteral("4400.00"));
    journal.startTransaction();
    journal.insert();
    journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("07/12/2026"));
    journal.setFieldText(QStringLiteral("ULAZEUR"), QStringLiteral("10.00"));
    journal.post();
    cashbook::numberRecord(journal, journal.recordId(), DocumentKind::Receipt, QDate(2026, 12, 7));
    journal.commit();
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

// The tax and registration numbers are checked where they are stored: a wrong one is refused
// with its reason and nothing of the settings changes; the firm and the paper are kept.
TEST_P(CashBookTest, TheFirmAndThePaperAreKeptAndAWrongPibOrMbIsRefused)
{
    const struct
    {
        const char *pib, *mb;
        bool stored;
    } cases[] = {
        {"136695976", "12345678", true}, // the check digit of a published tax number
        {"100002887", "07012345", true},
        {"", "", true},                  // not set
        {"136695977", "12345678", false}, // a wrong check digit
        {"13669597", "12345678", false},  // 8 digits
        {"1366959760", "12345678", false},
        {"13669597a", "12345678", false},
        {"136695976", "1234567", false},
        {"136695976", "123456789", false},
        {"136695976", "1234567x", false},
    };
    desk::settings::Shared before;
    before.firmName = QStringLiteral("Radnja Primer d.o.o.");
    before.pib = QStringLiteral("101234569");
    before.paper = desk::settings::Paper::A4;
    desk::settings::write(journal, before, QStringLiteral("Admin"));
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.pib) + " " + c.mb);
        desk::settings::Shared wanted = before;
        wanted.pib = QString::fromLatin1(c.pib);
        wanted.mb = QString::fromLatin1(c.mb);
        wanted.firmAddress = QStringLiteral("Knez Mihailova 1; Beograd");
        EXPECT_EQ(desk::settings::pibRefusal(wanted.pib).isEmpty() &&
                      desk::settings::mbRefusal(wanted.mb).isEmpty(),
                  c.stored);
        if (c.stored) {
            desk::settings::write(journal, wanted, QStringLiteral("Admin"));
        } else {
            try {
                desk::settings::write(journal, wanted, QStringLiteral("Admin"));
                ADD_FAILURE() << "stored";
            } catch (const EngineError &e) {
                EXPECT_EQ(e.kind(), EngineError::Kind::Value);
                EXPECT_TRUE(e.message().contains(QString::fromLatin1(
                    desk::settings::pibRefusal(wanted.pib).isEmpty() ? c.mb : c.pib)));
            }
        }
        const desk::settings::Shared read = desk::settings::read(journal);
        const desk::settings::Shared &expected = c.stored ? wanted : before;
        EXPECT_EQ(read.pib, expected.pib);
        EXPECT_EQ(read.mb, expected.mb);
        EXPECT_EQ(read.firmAddress, expected.firmAddress);
        EXPECT_EQ(read.firmName, before.firmName);
        EXPECT_EQ(read.paper, desk::settings::Paper::A4);
        before = read;
    }
}

namespace {

// A CSV of `separator` read as RFC 4180 reads it: fields, quoted ones with doubled quotes,
// records ended by CR LF.
QList<QStringList> readCsv(const QByteArray &bytes, char separator)
{
    QList<QStringList> rows;
    QStringList row;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes.at(i + 1) == '"')
                field += bytes.at(++i);
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            row << QString::fromUtf8(field);
            field.clear();
        } else if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n') {
            row << QString::fromUtf8(field);
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.isEmpty() && row.isEmpty()) << "a record without its CR LF";
    return rows;
}

} // namespace

// The Serbian form carries the same rows as the plain one: read back with semicolons, every
// amount is a number with a decimal comma and every date dd.mm.yyyy; the row by row writer
// gives the same bytes as the entries' CSV.
TEST_P(CashBookTest, TheSerbianCsvReadsBackAsTheEntriesNumbersAndDates)
{
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("30/12/2025"), true, QStringLiteral("1234567.89"));
    postNumbered(QStringLiteral("02/01/2026"), false, QStringLiteral("-20.50"));
    journal.insert();
    journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("03/01/2026"));
    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("Racun; \"hitno\"\r\n3,5 kg"));
    journal.setFieldText(QStringLiteral("ULAZEUR"), QStringLiteral("0.05"));
    journal.post();
    cashbook::prepare(journal);
    // The rate of the last working day before Saturday 3 January (1 and 2 are holidays).
    desk::rates::store(journal, {{QDate(2025, 12, 31), desk::rates::Euro, 117173500, {}, QStringLiteral("UNETO")}},
                       QStringLiteral("Admin"), false);

    const QList<desk::BookEntry> entries = cashbook::entries(journal);
    QByteArray written;
    ASSERT_TRUE(desk::writeCsv(
        journal, std::nullopt, std::nullopt,
        [&](QByteArrayView piece) {
            written += piece;
            return true;
        },
        desk::CsvForm::Serbian));
    EXPECT_EQ(written, desk::csvOf(entries, desk::CsvForm::Serbian, desk::rates::RateBook::load(journal)));
    ASSERT_TRUE(written.startsWith("\xEF\xBB\xBF"));
    EXPECT_FALSE(desk::csvOf(entries).startsWith("\xEF\xBB\xBF"));

    const QList<QStringList> rows = readCsv(written.mid(3), ';');
    ASSERT_EQ(rows.size(), entries.size() + 1);
    EXPECT_EQ(rows.first().join(u','), QStringLiteral("BROJ,DATUM,VREME,KORISNIK,GRUPA,OPIS,ULAZDIN,"
                                                      "IZLAZDIN,ULAZEUR,IZLAZEUR,STANJEDIN,STANJEEUR,"
                                                      "KURS,PROTIVVREDNOST"));
    for (qsizetype r = 0; r < entries.size(); ++r) {
        const desk::BookEntry &e = entries.at(r);
        const QStringList &row = rows.at(r + 1);
        SCOPED_TRACE(e.number.toStdString());
        ASSERT_EQ(row.size(), 14);
        // The rate and the dinar value of a euro amount, with decimal commas too.
        const bool euros = !e.eurosIn.isZero() || !e.eurosOut.isZero();
        EXPECT_EQ(row.at(12), euros ? QStringLiteral("117,1735") : QString());
        EXPECT_EQ(row.at(13), euros ? QStringLiteral("5,86") : QString());
        EXPECT_EQ(row.at(0), e.number);
        EXPECT_EQ(QDate::fromString(row.at(1), QStringLiteral("dd.MM.yyyy")), e.date);
        EXPECT_EQ(row.at(5), e.description);
        const Money amounts[] = {e.dinarsIn, e.dinarsOut, e.eurosIn, e.eurosOut, e.dinarBalance,
                                 e.euroBalance};
        for (int k = 0; k < 6; ++k) {
            const QString text = row.at(6 + k);
            EXPECT_FALSE(text.contains(u'.')) << qPrintable(text); // no thousands separator
            EXPECT_EQ(Money::tryParse(QString(text).replace(u',', u'.')), amounts[k]) << qPrintable(text);
        }
    }
}

// A row of the month report holds what the daily report of its day prints (the day's book
// and its counts), on a month with closes, counts and reversals; the year's rows are the
// months' and every total follows from the rows.
TEST_P(CashBookTest, TheMonthsFiguresAreThoseOfTheDailyReportsOfItsDays)
{
    using desk::Currency;
    namespace cashcount = desk::cashcount;
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("28/11/2026"), true, QStringLiteral("1000.00"));
    const QString early = postNumbered(QStringLiteral("01/12/2026"), true, QStringLiteral("500.00"));
    postNumbered(QStringLiteral("01/12/2026"), false, QStringLiteral("120.00"));
    journal.startTransaction();
    journal.insert();
    journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("03/12/2026"));
    journal.setFieldText(QStringLiteral("ULAZEUR"), QStringLiteral("25.00"));
    journal.post();
    cashbook::numberRecord(journal, journal.recordId(), DocumentKind::Receipt, QDate(2026, 12, 3));
    journal.commit();
    cashbook::closeDay(journal, QDate(2026, 12, 1), QStringLiteral("Admin"),
                       QDateTime(QDate(2026, 12, 1), QTime(20, 0)));
    cashbook::reverse(journal, early, QStringLiteral("Ana"), QDate(2026, 12, 3),
                      QStringLiteral("09:00:00"), session.dateFormat());
    cashcount::record(journal, QDate(2026, 12, 3), Currency::Dinars,
                      cashcount::parse(QStringLiteral("1000x1,200x1"), Currency::Dinars),
                      QStringLiteral("Petar"), QDateTime(QDate(2026, 12, 3), QTime(18, 0)),
                      session.dateFormat());
    cashcount::record(journal, QDate(2026, 12, 3), Currency::Euros,
                      cashcount::parse(QStringLiteral("20x1"), Currency::Euros),
                      QStringLiteral("Petar"), QDateTime(QDate(2026, 12, 3), QTime(18, 5)),
                      session.dateFormat());
    postNumbered(QStringLiteral("31/12/2026"), false, QStringLiteral("0.01"));
    desk::settings::Shared shared;
    shared.limitDinars = Money::fromUnits(1500);
    desk::settings::write(journal, shared, QStringLiteral("Admin"));

    const desk::month::Figures month = desk::month::ofMonth(journal, 2026, 12);
    ASSERT_EQ(month.rows.size(), 31);
    EXPECT_EQ(month.limitDinars, Money::fromUnits(1500));
    for (const desk::month::Row &row : month.rows) {
        SCOPED_TRACE(row.first.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(row.first, row.last);
        const cashbook::DayBook book = cashbook::dayBook(journal, row.first);
        Money counted[2];
        for (const cashcount::Count &c : cashcount::ofDay(journal, row.first))
            counted[c.currency == Currency::Euros ? 1 : 0] += c.difference();
        for (const auto &[figures, printed, difference] :
             {std::tuple{row.dinars, book.dinars, counted[0]}, {row.euros, book.euros, counted[1]}}) {
            EXPECT_EQ(figures.figures.opening, printed.opening);
            EXPECT_EQ(figures.figures.in, printed.in);
            EXPECT_EQ(figures.figures.out, printed.out);
            EXPECT_EQ(figures.figures.closing(), printed.closing());
            EXPECT_EQ(figures.counted, difference);
            EXPECT_EQ(figures.deposited, Money());
        }
    }
    EXPECT_EQ(month.rows.at(2).dinars.counted, Money::fromUnits(1200) - Money::fromUnits(880));
    EXPECT_EQ(month.rows.at(2).euros.counted, Money::fromUnits(-5));

    const desk::month::Figures year = desk::month::ofYear(journal, 2026);
    ASSERT_EQ(year.rows.size(), 12);
    const desk::month::Row &december = year.rows.at(11);
    EXPECT_EQ(december.first, QDate(2026, 12, 1));
    EXPECT_EQ(december.last, QDate(2026, 12, 31));
    for (const auto &[fromYear, fromMonth] :
         {std::pair{december.dinars, month.total.dinars}, {december.euros, month.total.euros}}) {
        EXPECT_EQ(fromYear.figures.opening, fromMonth.figures.opening);
        EXPECT_EQ(fromYear.figures.in, fromMonth.figures.in);
        EXPECT_EQ(fromYear.figures.out, fromMonth.figures.out);
        EXPECT_EQ(fromYear.counted, fromMonth.counted);
    }
    EXPECT_EQ(month.total.dinars.figures.closing(), month.rows.last().dinars.figures.closing());
    EXPECT_EQ(year.total.dinars.figures.opening, Money());
    EXPECT_EQ(year.total.dinars.figures.closing(), journal_balances::current(journal).dinars);
    EXPECT_EQ(year.total.euros.figures.closing(), journal_balances::current(journal).euros);
}
