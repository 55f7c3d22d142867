// Exchange rates and working days: reading an NBS list (and refusing what is none), the
// exact dinar value, which day's rate applies over weekends and holidays, and storing rates
// on both stores, where a change is refused unless allowed and is then logged.

#include "testsupport/EngineFixture.h"

#include "desk/CashBook.h"
#include "desk/Holidays.h"
#include "desk/Rates.h"
#include "engine/EngineError.h"

#include <gtest/gtest.h>

using engine::EngineError;
using engine::Money;
namespace rates = desk::rates;
namespace holidays = desk::holidays;

namespace {

QByteArray list(const char *items, const char *type = "Srednji kurs")
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Exchange_Rates_List>\n"
                      "<header><No>237</No><Date>10.12.2026</Date><Type>") +
           type + "</Type></header>\n" + items + "\n</Exchange_Rates_List>\n";
}

const char Euro[] = "<Item><Code>978</Code><Country>EMU</Country><Currency>EUR</Currency>"
                    "<Unit>1</Unit><Middle_Rate>117.1735</Middle_Rate></Item>";

} // namespace

// One table over lists: a real-shaped one (per unit, Unit 100 divided), another type, and
// what is no list or no number, refused naming the place.
TEST(RateList, IsReadPerUnitOrRefusedNamingThePlace)
{
    const struct
    {
        const char *name;
        QByteArray xml;
        QList<std::pair<QString, qint64>> rates; // empty: refused
        const char *refusal;                   // a part of the refusal's text
    } cases[] = {
        {"a middle rate list", list(QByteArray(Euro) +
                                    "<Item><Code>392</Code><Country>Japan</Country><Currency>JPY"
                                    "</Currency><Unit>100</Unit><Middle_Rate>64.3211</Middle_Rate>"
                                    "</Item>"),
         {{"EUR", 117173500}, {"JPY", 643211}}, ""},
        {"items inside a container", list(QByteArray("<Items>") + Euro + "</Items>"),
         {{"EUR", 117173500}}, ""},
        {"buying and selling rates",
         list("<Item><Currency>EUR</Currency><Unit>1</Unit><Buying_Rate>116.8220</Buying_Rate>"
              "<Selling_Rate>117.5250</Selling_Rate></Item>",
              "Kupovni i prodajni"),
         {}, "lista drugog tipa (Kupovni i prodajni)"},
        {"a malformed rate",
         list("<Item><Currency>EUR</Currency><Unit>1</Unit><Middle_Rate>117.17x5</Middle_Rate></Item>"),
         {}, "stavka 1 (EUR): srednji kurs \"117.17x5\" nije broj (red 4"},
        {"a negative rate", list("<Item><Currency>EUR</Currency><Middle_Rate>-1.5</Middle_Rate></Item>"),
         {}, "nije broj"},
        {"a unit that is no number",
         list("<Item><Currency>JPY</Currency><Unit>sto</Unit><Middle_Rate>64.3211</Middle_Rate></Item>"),
         {}, "jedinica (Unit) \"sto\" nije broj"},
        {"a currency twice", list(QByteArray(Euro) + Euro), {}, "valuta EUR je navedena dva puta"},
        {"no items", list(""), {}, "nema nijednu valutu"},
        {"another root", "<Kursna_Lista><Item/></Kursna_Lista>", {}, "koren je \"Kursna_Lista\""},
        {"no header", "<Exchange_Rates_List>" + QByteArray(Euro) + "</Exchange_Rates_List>", {},
         "nema zaglavlja"},
        {"a day that is not dd.mm.yyyy",
         QByteArray("<Exchange_Rates_List><header><No>1</No><Date>2026-12-10</Date></header>") +
             Euro + "</Exchange_Rates_List>",
         {}, "datum liste \"2026-12-10\""},
        {"text cut off", list(Euro).left(120), {}, "nije ispravan XML"},
        {"no text at all", "", {}, "datoteka je prazna"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const rates::RateList read = rates::parseList(c.xml);
            ASSERT_FALSE(c.rates.isEmpty()) << "accepted";
            EXPECT_EQ(read.number, QStringLiteral("237"));
            EXPECT_EQ(read.date, QDate(2026, 12, 10));
            ASSERT_EQ(read.rates.size(), c.rates.size());
            for (qsizetype i = 0; i < c.rates.size(); ++i) {
                EXPECT_EQ(read.rates[i].currency, c.rates[i].first);
                EXPECT_EQ(read.rates[i].millionths, c.rates[i].second);
                EXPECT_EQ(read.rates[i].day, QDate(2026, 12, 10));
                EXPECT_EQ(read.rates[i].list, QStringLiteral("237"));
            }
        } catch (const EngineError &e) {
            EXPECT_TRUE(c.rates.isEmpty()) << e.what();
            EXPECT_EQ(e.kind(), EngineError::Kind::Value);
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.refusal))) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("nista nije snimljeno"))) << e.what();
        }
    }
}

// A dinar value is exact and rounded half away from zero to the para; rates keep at least
// four decimals; money text groups thousands.
TEST(RateArithmetic, DinarValueIsRoundedHalfAwayFromZero)
{
    const struct
    {
        qint64 amount; // hundredths
        qint64 rate;   // millionths
        qint64 dinars; // para
    } cases[] = {
        {20000, 117173500, 2343470},   // 200.00 EUR at 117.1735: 23,434.70
        {1, 117173500, 117},           // 0.01 EUR: 1.171735 -> 1.17
        {1, 100500000, 101},           // 1.005 -> 1.01
        {-1, 100500000, -101},         // -1.005 -> -1.01
        {1, 100499999, 100},
        {99999999999, 117173500, 11717349999883}, // 999,999,999.99 EUR: no overflow
    };
    for (const auto &c : cases)
        EXPECT_EQ(rates::dinarValue(Money::fromHundredths(c.amount), c.rate).hundredths(), c.dinars)
            << c.amount << " x " << c.rate;
    EXPECT_EQ(rates::rateText(117173500), QStringLiteral("117.1735"));
    EXPECT_EQ(rates::rateText(643211), QStringLiteral("0.643211"));
    EXPECT_EQ(rates::rateText(117000000), QStringLiteral("117.0000"));
    EXPECT_EQ(rates::parseRate(u"117,1735"), 117173500);
    for (const char16_t *bad : {u"", u"0", u"0.0000", u"1.1234567", u"1e3", u"-1", u"117.17x5"})
        EXPECT_FALSE(rates::parseRate(bad)) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(rates::groupedText(Money::fromHundredths(2343470)), QStringLiteral("23,434.70"));
    EXPECT_EQ(rates::groupedText(Money::fromHundredths(-123456700)), QStringLiteral("-1,234,567.00"));
    EXPECT_EQ(rates::groupedText(Money::fromHundredths(99999)), QStringLiteral("999.99"));
}

// Weekends, the fixed holidays (moved from a Sunday to the next working day, Christmas not)
// and Orthodox Easter from Good Friday to Easter Monday.
TEST(Holidays, WorkingDaysFollowTheLaw)
{
    EXPECT_EQ(holidays::orthodoxEaster(2024), QDate(2024, 5, 5));
    EXPECT_EQ(holidays::orthodoxEaster(2025), QDate(2025, 4, 20));
    EXPECT_EQ(holidays::orthodoxEaster(2026), QDate(2026, 4, 12));
    EXPECT_EQ(holidays::orthodoxEaster(2027), QDate(2027, 5, 2));
    const struct
    {
        QDate day;
        bool working;
    } days[] = {
        {QDate(2026, 12, 10), true},  {QDate(2026, 12, 12), false}, {QDate(2026, 12, 13), false},
        {QDate(2026, 4, 9), true},    {QDate(2026, 4, 10), false},  {QDate(2026, 4, 13), false},
        {QDate(2026, 4, 14), true},   {QDate(2026, 1, 7), false},   {QDate(2026, 11, 11), false},
        {QDate(2026, 2, 16), false},  {QDate(2026, 2, 17), false},  {QDate(2026, 2, 18), true},
        {QDate(2023, 1, 2), false},   {QDate(2023, 1, 3), false},   {QDate(2023, 1, 4), true},
        {QDate(2022, 1, 3), false},   {QDate(2022, 1, 4), true},    {QDate(2024, 1, 8), true},
        {QDate(2027, 5, 3), false},   {QDate(2027, 5, 4), false},   {QDate(2027, 5, 5), true},
        {QDate(2029, 11, 12), false}, {QDate(2029, 11, 13), true},
    };
    for (const auto &d : days)
        EXPECT_EQ(holidays::isWorkingDay(d.day), d.working) << d.day.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(holidays::workingDaysAfter(QDate(2026, 4, 2), QDate(2026, 4, 15)), 7);
}

// A list applies from its day; on a weekend or a holiday the last working day's list does;
// a working day without its own list has none, never an older one.
TEST(RateBook, TheLastWorkingDaysListCoversWeekendsAndHolidaysOnly)
{
    rates::RateBook book;
    book.add({QDate(2026, 12, 11), rates::Euro, 117200000, QStringLiteral("238"), QStringLiteral("NBS")});
    book.add({QDate(2026, 12, 31), rates::Euro, 117300000, QStringLiteral("251"), QStringLiteral("NBS")});
    const struct
    {
        QDate day;
        std::optional<QDate> listOf;
    } cases[] = {
        {QDate(2026, 12, 11), QDate(2026, 12, 11)}, // Friday, its own
        {QDate(2026, 12, 12), QDate(2026, 12, 11)}, // Saturday
        {QDate(2026, 12, 13), QDate(2026, 12, 11)}, // Sunday
        {QDate(2026, 12, 14), std::nullopt},        // Monday without a list
        {QDate(2026, 12, 10), std::nullopt},        // before any list
        {QDate(2027, 1, 1), QDate(2026, 12, 31)},   // New Year, then the weekend
        {QDate(2027, 1, 3), QDate(2026, 12, 31)},
        {QDate(2027, 1, 4), std::nullopt},
    };
    for (const auto &c : cases) {
        const std::optional<rates::Rate> r = book.forDay(c.day);
        EXPECT_EQ(r ? std::optional<QDate>(r->day) : std::nullopt, c.listOf)
            << c.day.toString(Qt::ISODate).toStdString();
    }
    EXPECT_EQ(book.lastKnown(QDate(2026, 12, 14))->day, QDate(2026, 12, 11));
    EXPECT_FALSE(book.lastKnown(QDate(2026, 12, 10)));
    EXPECT_EQ(rates::counterValueText(book, Money::fromHundredths(20000), QDate(2026, 12, 13)),
              QStringLiteral("protivvrednost 23,440.00 DIN po srednjem kursu NBS 117.2000 na dan 13.12.2026"));
    EXPECT_EQ(rates::counterValueText(book, Money::fromHundredths(20000), QDate(2026, 12, 14)),
              QStringLiteral("protivvrednost: nema kursa na dan 14.12.2026"));
}

namespace {

class RateStoreTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        session.setPassword(password());
        journal.open();
        desk::cashbook::prepare(journal);
    }
    QStringList logged()
    {
        QStringList out;
        for (const QVariantList &row : journal.runBeside(QStringLiteral(
                 "SELECT OPIS FROM dorvanta_dnevnik WHERE RADNJA = 'KURS' ORDER BY RB")))
            out << row.value(0).toString();
        return out;
    }
    engine::Table journal{session, QStringLiteral("podaci/promet.db")};
};

INSTANTIATE_STORES(RateStoreTest);

} // namespace

// An imported list is stored and used; importing it again changes nothing; a different rate
// for a stored day is refused, storing nothing of the list, until allowed, and then logged.
TEST_P(RateStoreTest, AChangedRateIsRefusedUntilAllowedAndThenLogged)
{
    const rates::RateList first = rates::parseList(list(Euro));
    const rates::Stored stored = rates::store(journal, first.rates, QStringLiteral("Admin"), false);
    EXPECT_EQ(stored.added, 1);
    EXPECT_EQ(rates::RateBook::load(journal).forDay(QDate(2026, 12, 10))->millionths, 117173500);
    EXPECT_EQ(rates::store(journal, first.rates, QStringLiteral("Admin"), false).same, 1);

    QList<rates::Rate> changed = first.rates;
    changed[0].millionths = 117200000;
    changed << rates::Rate{QDate(2026, 12, 11), rates::Euro, 117300000, {}, QStringLiteral("UNETO")};
    ASSERT_EQ(rates::changes(journal, changed).size(), 1);
    EXPECT_EQ(rates::changes(journal, changed).first().text(),
              QStringLiteral("10.12.2026 EUR: 117.1735 (NBS lista br. 237) -> 117.2000"));
    try {
        rates::store(journal, changed, QStringLiteral("Admin"), false);
        ADD_FAILURE() << "a change was stored without being allowed";
    } catch (const EngineError &e) {
        EXPECT_EQ(e.kind(), EngineError::Kind::Value);
    }
    rates::RateBook book = rates::RateBook::load(journal);
    EXPECT_EQ(book.forDay(QDate(2026, 12, 10))->millionths, 117173500);
    EXPECT_FALSE(book.forDay(QDate(2026, 12, 11))); // nothing of the refused set is stored
    const qsizetype before = logged().size();

    const rates::Stored allowed = rates::store(journal, changed, QStringLiteral("Admin"), true);
    EXPECT_EQ(allowed.changed, 1);
    EXPECT_EQ(allowed.added, 1);
    book = rates::RateBook::load(journal);
    EXPECT_EQ(book.forDay(QDate(2026, 12, 10))->millionths, 117200000);
    EXPECT_EQ(book.forDay(QDate(2026, 12, 13))->millionths, 117300000);
    const QStringList log = logged();
    ASSERT_GT(log.size(), before);
    EXPECT_TRUE(log.join(u'\n').contains(QStringLiteral("Promena kursa 10.12.2026 EUR: 117.1735")));
}
