// Exact money text for report fields: hundredths in, "0.00" text out, and back. No value
// ever passes through floating point, so every amount prints as stored.
#include "MoneyText.h"

#include "platform/DecimalText.h"

#include <limits>

namespace report {

QString formatHundredths(qint64 hundredths)
{
    return platform::hundredthsText(hundredths);
}

std::optional<qint64> parseHundredths(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && text.front() == QLatin1Char('-')) {
        negative = true;
        text = text.mid(1);
    }
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QStringView whole = point < 0 ? text : text.left(point);
    const QStringView fraction = point < 0 ? QStringView() : text.mid(point + 1);
    if (whole.isEmpty() || (point >= 0 && (fraction.isEmpty() || fraction.size() > 2)))
        return std::nullopt;

    // Accumulate as a negative number: its range holds every representable value.
    qint64 value = 0;
    auto addDigit = [&value](QChar c) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        return !__builtin_mul_overflow(value, 10, &value) &&
               !__builtin_sub_overflow(value, c.unicode() - '0', &value);
    };
    for (const QChar c : whole) {
        if (!addDigit(c))
            return std::nullopt;
    }
    for (int i = 0; i < 2; ++i) {
        if (!addDigit(i < fraction.size() ? fraction[i] : QLatin1Char('0')))
            return std::nullopt;
    }
    if (negative)
        return value;
    if (value == std::numeric_limits<qint64>::min())
        return std::nullopt;
    return -value;
}

} // namespace report
