// The cash book beside the journal, over both stores: numbering a journal of an older data
// directory, statements sent together, day closes and what they refuse, the firm's settings,
// the CSV and the month figures.

#include "CashBookFixture.h"

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

using engine::EngineError;
using engine::Money;
namespace cashbook = desk::cashbook;

namespace {

class CashBookTest : public CashBookFixture
{
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
    postNumbered(QStringLiteral("03/12/2026"), true, QStringLiteral("25.00"), true);
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
