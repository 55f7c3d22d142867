#pragma once

// Decimal texts that the engine, the report engine and the program all write or read the same
// way: the money text of a count of hundredths, and the ISO date "YYYY-MM-DD". Header-only
// (Qt Core only), so that every layer may use it without linking anything.

#include <QDate>
#include <QString>
#include <QtGlobal>

namespace platform {

// Room writeHundredths needs before `end`: "-92233720368547758.08" and some.
constexpr int hundredthsTextCapacity = 24;

// Writes the money text of `hundredths` so that it ends just before `end` and returns where it
// starts: at least one digit before the point, exactly two after it, no thousands separator, a
// minus sign when negative ("1500.00", "-20.50", "0.05"). Exact for every 64-bit value.
template <typename Char>
Char *writeHundredths(Char *end, qint64 hundredths)
{
    // Work on the magnitude as unsigned so that the most negative value prints too.
    const bool negative = hundredths < 0;
    quint64 magnitude = negative ? quint64(0) - quint64(hundredths) : quint64(hundredths);
    Char *p = end;
    *--p = Char('0' + magnitude % 10);
    magnitude /= 10;
    *--p = Char('0' + magnitude % 10);
    magnitude /= 10;
    *--p = Char('.');
    do {
        *--p = Char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--p = Char('-');
    return p;
}

inline QString hundredthsText(qint64 hundredths)
{
    char16_t buffer[hundredthsTextCapacity];
    char16_t *const end = buffer + hundredthsTextCapacity;
    const char16_t *start = writeHundredths(end, hundredths);
    return QString(reinterpret_cast<const QChar *>(start), end - start);
}

// Reads the ISO date "YYYY-MM-DD" from the `size` characters at `text` (char, char16_t, QChar
// or unsigned char): exactly ten characters, digits where digits belong, and a real day.
template <typename Char>
bool readIsoDate(const Char *text, qsizetype size, int &year, int &month, int &day)
{
    if (size != 10 || text[4] != Char('-') || text[7] != Char('-'))
        return false;
    int digits[8];
    int n = 0;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        const int digit = int(text[i]) - '0';
        if (digit < 0 || digit > 9)
            return false;
        digits[n++] = digit;
    }
    year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    month = digits[4] * 10 + digits[5];
    day = digits[6] * 10 + digits[7];
    return QDate::isValid(year, month, day);
}

} // namespace platform
