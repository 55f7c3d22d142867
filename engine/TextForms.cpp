// Date text and time text. A numeric short date form (made of d, dd, M, MM, yy, yyyy and other
// characters taken literally) is compiled into pieces and converted by hand, which is exact and
// fast enough for walking large tables; any other form (month names, quoted text) goes through
// QDate. Parsing is strict: the whole text must match and name a real day.

#include "engine/TextForms.h"

#include "engine/EngineError.h"
#include "platform/DecimalText.h"

#include <QLocale>

#include <array>

namespace engine {

namespace {

// Reads between minDigits and maxDigits decimal digits at `pos`; -1 when fewer than minDigits.
int readNumber(QStringView text, qsizetype &pos, int minDigits, int maxDigits)
{
    int value = 0;
    int digits = 0;
    while (digits < maxDigits && pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
        ++digits;
    }
    return digits < minDigits ? -1 : value;
}

struct DigitCount
{
    int min;
    int max;
};

// Reads "a<sep>b<sep>c", the whole text, each number with the given count of digits.
std::optional<std::array<int, 3>> readThreeNumbers(QStringView text, QChar separator,
                                                   DigitCount first, DigitCount second,
                                                   DigitCount third)
{
    const DigitCount counts[3] = {first, second, third};
    std::array<int, 3> values{};
    qsizetype pos = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != separator)
                return std::nullopt;
            ++pos;
        }
        values[i] = readNumber(text, pos, counts[i].min, counts[i].max);
        if (values[i] < 0)
            return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;
    return values;
}

void putNumber(char16_t *&out, int value, int width)
{
    char16_t digits[8];
    int n = 0;
    do {
        digits[n++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value != 0 && n < 8);
    for (int i = n; i < width; ++i)
        *out++ = u'0';
    while (n > 0)
        *out++ = digits[--n];
}

} // namespace

DateTextFormat::DateTextFormat() : DateTextFormat(QLocale::system().dateFormat(QLocale::ShortFormat))
{
}

DateTextFormat::DateTextFormat(const QString &format) : m_format(format)
{
    m_simple = true;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == u'd' && run <= 2) {
            m_pieces.push_back({run == 1 ? Piece::Day : Piece::Day2, {}});
        } else if (c == u'M' && run <= 2) {
            m_pieces.push_back({run == 1 ? Piece::Month : Piece::Month2, {}});
        } else if (c == u'y' && (run == 2 || run == 4)) {
            m_pieces.push_back({run == 2 ? Piece::Year2 : Piece::Year4, {}});
        } else if (c.isLetter() || c == u'\'') {
            m_simple = false;
            m_pieces.clear();
            return;
        } else {
            for (qsizetype k = 0; k < run; ++k)
                m_pieces.push_back({Piece::Literal, c});
        }
        i += run;
    }
}

QString DateTextFormat::toText(QDate date) const
{
    if (!date.isValid())
        return {};
    if (!m_simple)
        return date.toString(m_format);
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    return formatYmd(year, month, day);
}

QString DateTextFormat::toText(int year, int month, int day) const
{
    return m_simple ? formatYmd(year, month, day) : QDate(year, month, day).toString(m_format);
}

QString DateTextFormat::formatYmd(int year, int month, int day) const
{
    char16_t buffer[64];
    char16_t *out = buffer;
    for (const Piece &p : m_pieces) {
        if (out - buffer > 48)
            break;
        switch (p.kind) {
        case Piece::Literal:
            *out++ = p.literal.unicode();
            break;
        case Piece::Day:
            putNumber(out, day, 1);
            break;
        case Piece::Day2:
            putNumber(out, day, 2);
            break;
        case Piece::Month:
            putNumber(out, month, 1);
            break;
        case Piece::Month2:
            putNumber(out, month, 2);
            break;
        case Piece::Year2:
            putNumber(out, ((year % 100) + 100) % 100, 2);
            break;
        case Piece::Year4:
            putNumber(out, year, 4);
            break;
        }
    }
    return QString(reinterpret_cast<const QChar *>(buffer), out - buffer);
}

std::optional<QDate> DateTextFormat::parse(QStringView text) const
{
    if (!m_simple) {
        const QDate date = QDate::fromString(text.toString(), m_format);
        return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
    }
    int day = -1, month = -1, year = -1;
    qsizetype pos = 0;
    for (const Piece &p : m_pieces) {
        switch (p.kind) {
        case Piece::Literal:
            if (pos >= text.size() || text[pos] != p.literal)
                return std::nullopt;
            ++pos;
            break;
        case Piece::Day:
            day = readNumber(text, pos, 1, 2);
            break;
        case Piece::Day2:
            day = readNumber(text, pos, 2, 2);
            break;
        case Piece::Month:
            month = readNumber(text, pos, 1, 2);
            break;
        case Piece::Month2:
            month = readNumber(text, pos, 2, 2);
            break;
        case Piece::Year2:
            // A two-digit year is read in this century: postings are never a century old.
            year = readNumber(text, pos, 2, 2);
            if (year >= 0)
                year += 2000;
            break;
        case Piece::Year4:
            year = readNumber(text, pos, 4, 4);
            break;
        }
        if ((p.kind == Piece::Day || p.kind == Piece::Day2) && day < 0)
            return std::nullopt;
        if ((p.kind == Piece::Month || p.kind == Piece::Month2) && month < 0)
            return std::nullopt;
        if ((p.kind == Piece::Year2 || p.kind == Piece::Year4) && year < 0)
            return std::nullopt;
    }
    if (pos != text.size() || day < 0 || month < 0 || year < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

QDate DateTextFormat::parseOrThrow(QStringView text) const
{
    if (const auto date = parse(text))
        return *date;
    throw EngineError(EngineError::Kind::Value, QStringLiteral("'%1' is not a valid date").arg(text));
}

QString DateTextFormat::isoToText(QStringView iso) const
{
    if (!m_simple) {
        const auto date = isoToDate(iso);
        return date ? toText(*date) : QString();
    }
    int year = 0, month = 0, day = 0;
    if (!platform::readIsoDate(iso.utf16(), iso.size(), year, month, day))
        return {};
    return formatYmd(year, month, day);
}

QString DateTextFormat::textToIso(QStringView text) const
{
    return dateToIso(parseOrThrow(text));
}

QString dateToIso(QDate date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return {};
    char16_t buffer[10];
    char16_t *out = buffer;
    putNumber(out, date.year(), 4);
    *out++ = u'-';
    putNumber(out, date.month(), 2);
    *out++ = u'-';
    putNumber(out, date.day(), 2);
    return QString(reinterpret_cast<const QChar *>(buffer), 10);
}

std::optional<QDate> isoToDate(QStringView iso)
{
    int year = 0, month = 0, day = 0;
    if (!platform::readIsoDate(iso.utf16(), iso.size(), year, month, day))
        return std::nullopt;
    return QDate(year, month, day);
}

QString timeText(QTime time)
{
    if (!time.isValid())
        return {};
    char16_t buffer[8];
    char16_t *out = buffer;
    putNumber(out, time.hour(), 2);
    *out++ = u':';
    putNumber(out, time.minute(), 2);
    *out++ = u':';
    putNumber(out, time.second(), 2);
    return QString(reinterpret_cast<const QChar *>(buffer), 8);
}

std::optional<QTime> parseTimeText(QStringView text)
{
    const auto parts = readThreeNumbers(text, u':', {1, 2}, {2, 2}, {2, 2});
    if (!parts)
        return std::nullopt;
    const QTime time((*parts)[0], (*parts)[1], (*parts)[2]);
    return time.isValid() ? std::optional<QTime>(time) : std::nullopt;
}

std::optional<QDate> parseSqlDateLiteral(QStringView text)
{
    const auto parts = readThreeNumbers(text, u'/', {1, 2}, {1, 2}, {4, 4});
    if (!parts)
        return std::nullopt;
    const QDate date((*parts)[2], (*parts)[0], (*parts)[1]);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

} // namespace engine
