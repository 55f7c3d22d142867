// Date text and time text: strict parsing, exact printing, ISO storage and the month/day/year
// order of quoted dates in statements.

#include "engine/EngineError.h"
#include "engine/TextForms.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace engine;

TEST(DateText, ConvertsBothWaysInTheShortForm)
{
    const DateTextFormat form(QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(form.toText(QDate(2026, 12, 7)), QStringLiteral("07/12/2026"));
    EXPECT_EQ(form.parse(u"07/12/2026"), QDate(2026, 12, 7));
    EXPECT_EQ(form.textToIso(u"29/02/2024"), QStringLiteral("2024-02-29"));
    EXPECT_EQ(form.isoToText(u"2026-12-07"), QStringLiteral("07/12/2026"));
    EXPECT_EQ(form.isoToText(u"garbage"), QString());

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
    try {
        form.textToIso(u"31/02/2026");
        FAIL() << "no error";
    } catch (const EngineError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'31/02/2026' is not a valid date"));
    }
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
