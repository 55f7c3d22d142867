// Money: parsing of amount text and printing of money text, both exact; arithmetic that
// refuses to overflow instead of wrapping.

#include "engine/Money.h"

#include "engine/EngineError.h"
#include "platform/DecimalText.h"

#include <limits>

namespace engine {

namespace {

EngineError outOfRange()
{
    return EngineError(EngineError::Kind::Value, QStringLiteral("Amount out of range"));
}

} // namespace

Money Money::fromUnits(qint64 units)
{
    qint64 result = 0;
    if (__builtin_mul_overflow(units, qint64(100), &result))
        throw outOfRange();
    return Money(result);
}

std::optional<Money> Money::tryParse(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && text[i] == u'-') {
        negative = true;
        ++i;
    }
    // Accumulate as a negative number so that the most negative amount fits as well.
    qint64 acc = 0;
    qsizetype digits = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i, ++digits) {
        if (__builtin_mul_overflow(acc, qint64(10), &acc) ||
            __builtin_sub_overflow(acc, qint64(text[i].unicode() - u'0'), &acc))
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    qint64 cents = 0;
    if (i < n) {
        if (text[i] != u'.')
            return std::nullopt;
        ++i;
        qsizetype decimals = 0;
        for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i, ++decimals) {
            if (decimals == 2)
                return std::nullopt;
            cents += (text[i].unicode() - u'0') * (decimals == 0 ? 10 : 1);
        }
        if (decimals == 0 || i != n)
            return std::nullopt;
    }
    if (__builtin_mul_overflow(acc, qint64(100), &acc) || __builtin_sub_overflow(acc, cents, &acc))
        return std::nullopt;
    if (!negative) {
        if (acc == std::numeric_limits<qint64>::min())
            return std::nullopt;
        acc = -acc;
    }
    return Money(acc);
}

Money Money::parse(QStringView text)
{
    if (const auto money = tryParse(text))
        return *money;
    throw EngineError(EngineError::Kind::Value, QStringLiteral("'%1' is not a valid amount").arg(text));
}

QString Money::toText() const
{
    return platform::hundredthsText(m_hundredths);
}

Money Money::operator+(Money other) const
{
    qint64 result = 0;
    if (__builtin_add_overflow(m_hundredths, other.m_hundredths, &result))
        throw outOfRange();
    return Money(result);
}

Money Money::operator-(Money other) const
{
    qint64 result = 0;
    if (__builtin_sub_overflow(m_hundredths, other.m_hundredths, &result))
        throw outOfRange();
    return Money(result);
}

Money Money::operator-() const
{
    if (m_hundredths == std::numeric_limits<qint64>::min())
        throw outOfRange();
    return Money(-m_hundredths);
}

Money &Money::operator+=(Money other)
{
    *this = *this + other;
    return *this;
}

Money &Money::operator-=(Money other)
{
    *this = *this - other;
    return *this;
}

} // namespace engine
