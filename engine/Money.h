#pragma once

// Money: an exact amount, a signed 64-bit count of hundredths (para, cents).
//
// Amount text (what the user types and what setFieldText accepts for a money field) is an
// optional "-", one or more digits, and optionally "." followed by one or two digits: "1500",
// "-20.5", "0.00". Nothing else is an amount: no "+", no blanks, no "," and no thousands
// separators, no third decimal ("1.234"), no bare "." ("12." or ".5").
// Money text is always the exact value with two decimals and a leading "-" when negative:
// "1500.00", "-20.50", "12345678.45". Nothing is ever rounded.

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <compare>
#include <optional>

namespace engine {

class Money
{
public:
    constexpr Money() = default;

    static constexpr Money fromHundredths(qint64 hundredths) { return Money(hundredths); }
    // Whole units: fromUnits(15) is 15.00. Throws EngineError when out of range.
    static Money fromUnits(qint64 units);

    // Parses amount text; throws EngineError "'12a' is not a valid amount" otherwise.
    static Money parse(QStringView text);
    // Parses amount text; nullopt when it is not one.
    static std::optional<Money> tryParse(QStringView text);

    constexpr qint64 hundredths() const { return m_hundredths; }
    constexpr bool isZero() const { return m_hundredths == 0; }

    // Money text: "1500.00", "-20.50".
    QString toText() const;

    // Arithmetic is exact; a result outside the 64-bit range throws EngineError.
    Money operator+(Money other) const;
    Money operator-(Money other) const;
    Money operator-() const;
    Money &operator+=(Money other);
    Money &operator-=(Money other);

    friend constexpr bool operator==(Money a, Money b) = default;
    friend constexpr auto operator<=>(Money a, Money b) = default;

private:
    constexpr explicit Money(qint64 hundredths) : m_hundredths(hundredths) {}
    qint64 m_hundredths = 0;
};

} // namespace engine
