// The engine's text forms: amounts parsed exactly or refused and exact money arithmetic; date
// text and time text: strict parsing, exact printing, ISO storage and the month/day/year order
// of quoted dates in statements. (Money text itself is the report tests' MoneyText.)

#include "engine/EngineError.h"
#include "engine/Money.h"
#include "engine/TextForms.h"

#include "testsupport/EngineFixture.h"

#include <gtest/gtest.h>

#include <limits>

using namespace engine;

TEST(Money, ParsesAmountTextExactly)
{
    const std::pair<const char16_t *, qint64> amounts[] = {
        {u"1500", 150000}, {u"-20.5", -2050}, {u"0.00", 0}, {u"0.07", 7}, {u"-0", 0},
        {u"12345678.45", 1234567845}, {u"92233720368547758.07", std::numeric_limits<qint64>::max()},
        {u"-92233720368547758.08", std::numeric_limits<qint64>::min()}};
    for (const auto &[text, hundredths] : amounts)
        EXPECT_EQ(Money::parse(text).hundredths(), hundredths)
            << QString::fromUtf16(text).toStdString();
}

// Refused, and the error names the text.
TEST(Money, RefusesTextThatIsNotAnAmount)
{
    for (const char16_t *bad : {u"12a", u"1.234", u"1,5", u"", u"-", u".5", u"12.", u"+5",
                                u" 5", u"5 ", u"1 000", u"--1", u"1.2.3", u"92233720368547758.08",
                                u"99999999999999999999"})
        EXPECT_FALSE(Money::tryParse(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(errorOf([] { Money::parse(u"12a"); }), QStringLiteral("'12a' is not a valid amount"));
}

TEST(Money, TextRoundTripsAndArithmeticIsExact)
{
    for (const char16_t *text : {u"0.01", u"-999999999.99", u"100000000.10", u"7.30"})
        EXPECT_EQ(Money::parse(text).toText(), QString::fromUtf16(text));
    // 0.10 + 0.20 is exactly 0.30; a million postings of 0.01 are exactly 10000.00.
    EXPECT_EQ((Money::parse(u"0.10") + Money::parse(u"0.20")).toText(), QStringLiteral("0.30"));
    Money sum;
    for (int i = 0; i < 1000000; ++i)
        sum += Money::fromHundredths(1);
    EXPECT_EQ(sum.toText(), QStringLiteral("10000.00"));
    EXPECT_EQ((-Money::parse(u"5")).toText(), QStringLiteral("-5.00"));
    EXPECT_THROW(Money::fromHundredths(std::numeric_limits<qint64>::max()) + Money::fromHundredths(1),
                 engine::EngineError);
}

TEST(DateText, ConvertsBothWaysInTheShortForm)
{
    const DateTextFormat form(QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(form.toText(QDate(2026, 12, 7)), QStringLiteral("07/12/2026"));
    EXPECT_EQ(form.parse(u"07/12/2026"), QDate(2026, 12, 7));
    EXPECT_EQ(form.textToIso(u"29/02/2024"), QStringLiteral("2024-02-29"));
    EXPECT_EQ(form.isoToText(u"2026-12-07"), QStringLiteral("07/12/2026"));
    // Stored dates are read strictly: ten characters, digits where digits belong, a real day.
    for (const char16_t *bad : {u"garbage", u"2026-12-7", u"20a6-12-07", u"2026-02-30",
                                u"2026/12/07", u"-026-12-07"}) {
        EXPECT_EQ(form.isoToText(bad), QString()) << QString::fromUtf16(bad).toStdString();
        EXPECT_FALSE(isoToDate(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    }

    const DateTextFormat other(QStringLiteral("d.M.yyyy"));
    EXPECT_EQ(other.toText(QDate(2026, 3, 5)), QStringLiteral("5.3.2026"));
    EXPECT_EQ(other.parse(u"15.11.2026"), QDate(2026, 11, 15));

    // A two-digit year stays in this century, so a date written and read back is the same day.
    const DateTextFormat shortYear(QStringLiteral("dd.MM.yy"));
    EXPECT_EQ(shortYear.toText(QDate(2026, 12, 7)), QStringLiteral("07.12.26"));
    EXPECT_EQ(shortYear.parse(u"07.12.26"), QDate(2026, 12, 7));
}

TEST(DateText, RefusesTextThatIsNotADay)
{
    const DateTextFormat form(QStringLiteral("dd/MM/yyyy"));
    for (const char16_t *bad : {u"31/02/2026", u"7/12/2026", u"07-12-2026", u"07/12/26", u"",
                                u"07/12/2026 ", u"12/13/2026", u"aa/bb/cccc"})
        EXPECT_FALSE(form.parse(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(errorOf([&] { form.textToIso(u"31/02/2026"); }),
              QStringLiteral("'31/02/2026' is not a valid date"));
}

TEST(TimeText, AcceptsOneOrTwoDigitHours)
{
    EXPECT_EQ(timeText(QTime(9, 5, 33)), QStringLiteral("09:05:33"));
    EXPECT_EQ(parseTimeText(u"9:05:33"), QTime(9, 5, 33));
    EXPECT_EQ(parseTimeText(u"23:59:59"), QTime(23, 59, 59));
    for (const char16_t *bad : {u"24:00:00", u"9:5:33", u"09:05", u"09:05:33 PM", u""})
        EXPECT_FALSE(parseTimeText(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(SqlDateLiteral, IsReadInMonthDayYearOrder)
{
    EXPECT_EQ(parseSqlDateLiteral(u"12/07/2026"), QDate(2026, 12, 7));
    EXPECT_EQ(parseSqlDateLiteral(u"1/15/2013"), QDate(2013, 1, 15));
    EXPECT_FALSE(parseSqlDateLiteral(u"15/01/2013").has_value());
    EXPECT_FALSE(parseSqlDateLiteral(u"02/30/2013").has_value());
}
