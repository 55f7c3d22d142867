// Money text, written the same by the engine, the report engine and the journal export
// (platform/DecimalText.h), and amount fields read from text.
#include "report/MoneyText.h"
#include "report/MemoryDataSource.h"
#include "platform/DecimalText.h"

#include <gtest/gtest.h>

#include <limits>

using report::formatHundredths;
using report::parseHundredths;

TEST(MoneyText, MaskPrintsExactValuesWithTwoDecimals)
{
    EXPECT_EQ(formatHundredths(0), "0.00");
    EXPECT_EQ(formatHundredths(5), "0.05");
    EXPECT_EQ(formatHundredths(-5), "-0.05");
    EXPECT_EQ(formatHundredths(-2050), "-20.50");
    EXPECT_EQ(formatHundredths(150000), "1500.00");
    EXPECT_EQ(formatHundredths(123456789), "1234567.89");
    // Beyond 8 significant digits nothing is rounded.
    EXPECT_EQ(formatHundredths(1234567845), "12345678.45");
    EXPECT_EQ(formatHundredths(12345678912345), "123456789123.45");
    EXPECT_EQ(formatHundredths(std::numeric_limits<qint64>::min()), "-92233720368547758.08");
    EXPECT_EQ(formatHundredths(std::numeric_limits<qint64>::max()), "92233720368547758.07");
    // The single-byte form the export writes is the same text.
    char buffer[platform::hundredthsTextCapacity];
    char *const end = buffer + sizeof buffer;
    const char *start = platform::writeHundredths(end, std::numeric_limits<qint64>::min());
    EXPECT_EQ(QByteArray(start, end - start), "-92233720368547758.08");
}

TEST(MoneyText, ReadsAmountTextExactly)
{
    EXPECT_EQ(parseHundredths(u"1500"), 150000);
    EXPECT_EQ(parseHundredths(u"-20.5"), -2050);
    EXPECT_EQ(parseHundredths(u"0.05"), 5);
    EXPECT_EQ(parseHundredths(u" 12345678.45 "), 1234567845);
    EXPECT_EQ(parseHundredths(u"-92233720368547758.08"), std::numeric_limits<qint64>::min());
    for (const char16_t *bad : {u"", u"-", u"1.", u".5", u"1.234", u"1,50", u"1e3", u"--1", u"12a",
                                u"92233720368547758.08", u"99999999999999999999"}) {
        EXPECT_FALSE(parseHundredths(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    }
}

TEST(MemoryDataSource, FindsFieldsWhateverTheirCase)
{
    report::MemoryDataSource data({"DATUM", "UlazDin"});
    data.append({"07/12/2026", "-20.50"});
    data.append({"08/12/2026"}); // missing amount
    ASSERT_TRUE(data.moveTo(0));
    EXPECT_EQ(data.text("datum"), "07/12/2026");
    EXPECT_EQ(data.hundredths("ULAZDIN"), -2050);
    EXPECT_EQ(data.text("OPIS"), "");
    EXPECT_FALSE(data.hundredths("OPIS").has_value());
    ASSERT_TRUE(data.moveTo(1));
    EXPECT_FALSE(data.hundredths("ulazdin").has_value());
    EXPECT_FALSE(data.moveTo(2));
}
