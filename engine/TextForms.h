#pragma once

// Date text and time text.
//
// Date text is the date in the short date form of the session (by default the system's short
// form, QLocale::system().dateFormat(QLocale::ShortFormat); "dd/MM/yyyy" on the machines the
// program runs on). DateTextFormat compiles such a form once and then converts quickly in both
// directions; parsing is strict (the whole text must match the form and name a real day). A
// two-digit year ("yy") is read as 2000 to 2099.
// Stored dates are ISO text "YYYY-MM-DD".
//
// Time text is 24-hour "HH:mm:ss"; parsing also accepts a one-digit hour ("9:05:33").

#include <QDate>
#include <QString>
#include <QStringView>
#include <QTime>

#include <optional>
#include <vector>

namespace engine {

class DateTextFormat
{
public:
    // The system's short date form.
    DateTextFormat();
    // A Qt date format string such as "dd/MM/yyyy" or "d.M.yyyy".
    explicit DateTextFormat(const QString &format);

    const QString &format() const { return m_format; }

    QString toText(QDate date) const;
    // The same for a day given as year, month and day (which must be a real day).
    QString toText(int year, int month, int day) const;
    // Strict parse of date text; nullopt when the text does not match or names no real day.
    std::optional<QDate> parse(QStringView text) const;
    // Like parse, but throws EngineError "'31/02/2026' is not a valid date".
    QDate parseOrThrow(QStringView text) const;

    // Stored ISO text ("2026-12-07") to date text; "" for an empty or malformed value.
    QString isoToText(QStringView iso) const;
    // Date text to stored ISO text; throws EngineError when it is not valid date text.
    QString textToIso(QStringView text) const;

private:
    QString formatYmd(int year, int month, int day) const;

    struct Piece
    {
        enum Kind { Literal, Day, Day2, Month, Month2, Year2, Year4 } kind;
        QChar literal;
    };
    QString m_format;
    std::vector<Piece> m_pieces;
    bool m_simple = false; // only d, dd, M, MM, yy, yyyy and literal characters
};

// ISO text helpers for stored dates.
QString dateToIso(QDate date);
std::optional<QDate> isoToDate(QStringView iso);

// "14:05:09".
QString timeText(QTime time);
// Accepts "HH:mm:ss" and "H:mm:ss"; nullopt otherwise.
std::optional<QTime> parseTimeText(QStringView text);

// A date in month/day/year order as the SQL dialect reads quoted dates ("12/07/2026" is
// 7 December 2026; one-digit month and day are accepted); nullopt when it is not a real day.
std::optional<QDate> parseSqlDateLiteral(QStringView text);

} // namespace engine
