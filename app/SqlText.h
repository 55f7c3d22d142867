#pragma once

// Pieces of the statements the windows build for the engine's SQL dialect.

#include <QString>

// A value placed between single quotes: every quote inside it is written doubled, so the
// statement keeps its shape and the value is matched literally.
inline QString sqlEscape(const QString &value)
{
    QString out = value;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

// The SQL date literal of a date text: month/day/year, made by exchanging the first two
// characters with the fourth and fifth ("07/12/2026" becomes "12/07/2026").
inline QString sqlDateLiteral(const QString &dateText)
{
    if (dateText.size() < 5)
        return dateText;
    QString out = dateText;
    out[0] = dateText[3];
    out[1] = dateText[4];
    out[3] = dateText[0];
    out[4] = dateText[1];
    return out;
}
