// Money: amount text is parsed exactly or refused; money text always shows the exact value
// with two decimals, also for balances of a million and more.

#include "engine/EngineError.h"
#include "engine/Money.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

using engine::Money;

TEST(Money, ParsesAmountTextExactly)
{
    EXPECT_EQ(Money::parse(u"1500").hundredths(), 150000);
    EXPECT_EQ(Money::parse(u"-20.5").hundredths(), -2050);
    EXPECT_EQ(Money::parse(u"0.00").hundredths(), 0);
    EXPECT_EQ(Money::parse(u"0.07").hundredths(), 7);
    EXPECT_EQ(Money::parse(u"-0").hundredths(), 0);
    EXPECT_EQ(Money::parse(u"12345678.45").hundredths(), 1234567845);
    EXPECT_EQ(Money::parse(u"92233720368547758.07").hundredths(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(Money::parse(u"-92233720368547758.08").hundredths(), std::numeric_limits<qint64>::min());
}

TEST(Money, RefusesTextThatIsNotAnAmount)
{
    for (const char16_t *bad : {u"12a", u"1.234", u"1,5", u"", u"-", u".5", u"12.", u"+5",
                                u" 5", u"5 ", u"1 000", u"--1", u"1.2.3", u"92233720368547758.08",
                                u"99999999999999999999"})
        EXPECT_FALSE(Money::tryParse(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(Money, ParseErrorNamesTheText)
{
    try {
        Money::parse(u"12a");
        FAIL() << "no error";
    } catch (const engine::EngineError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'12a' is not a valid amount"));
    }
}

TEST(Money, PrintsExactValueWithTwoDecimals)
{
    EXPECT_EQ(Money::fromHundredths(150000).toText(), QStringLiteral("1500.00"));
    EXPECT_EQ(Money::fromHundredths(-2050).toText(), QStringLiteral("-20.50"));
    EXPECT_EQ(Money::fromHundredths(-5).toText(), QStringLiteral("-0.05"));
    EXPECT_EQ(Money::fromHundredths(0).toText(), QStringLiteral("0.00"));
    // Balances from a million up keep every digit.
    EXPECT_EQ(Money::fromHundredths(123456789).toText(), QStringLiteral("1234567.89"));
    EXPECT_EQ(Money::fromHundredths(1234567845).toText(), QStringLiteral("12345678.45"));
    EXPECT_EQ(Money::fromHundredths(std::numeric_limits<qint64>::min()).toText(),
              QStringLiteral("-92233720368547758.08"));
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
