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

// A word to be found anywhere in a text with like '%word%'. When it holds a % or _, these
// (and the escape character \) get a \ before them, and the like needs likeEscapeClause()
// after its pattern, so they match only themselves; any other word stays as written.
inline bool likeNeedsEscape(const QString &word)
{
    return word.contains(QLatin1Char('%')) || word.contains(QLatin1Char('_'));
}

inline QString likeLiteral(const QString &word)
{
    if (!likeNeedsEscape(word))
        return word;
    QString out;
    for (const QChar c : word) {
        if (c == u'%' || c == u'_' || c == u'\\')
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

inline QString likeEscapeClause(const QString &word)
{
    return likeNeedsEscape(word) ? QStringLiteral(" escape '\\'") : QString();
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
