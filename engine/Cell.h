#pragma once

// Cell: one stored value as read from or written to the store (NULL, integer or text), and its
// conversion to the engine's text and money forms for a field of a given type. Internal to the
// engine.

#include "engine/EngineError.h"
#include "engine/FieldType.h"
#include "engine/Money.h"
#include "engine/TextForms.h"

#include <QString>

namespace engine {

struct Cell
{
    // Date holds a stored ISO date read from a DATE column as year * 10000 + month * 100 + day,
    // which saves making a text of it until it is shown; it is stored back as ISO text.
    enum Kind : quint8 { Null, Integer, Text, Date };
    Kind kind = Null;
    qint64 integer = 0;
    QString text;

    static Cell fromInteger(qint64 value) { return Cell{Integer, value, {}}; }
    static Cell fromText(QString value) { return Cell{Text, 0, std::move(value)}; }
    static Cell fromYmd(int year, int month, int day)
    {
        return Cell{Date, qint64(year) * 10000 + month * 100 + day, {}};
    }
    int year() const { return int(integer / 10000); }
    int month() const { return int(integer / 100 % 100); }
    int day() const { return int(integer % 100); }
    // The stored form of a Date cell: "YYYY-MM-DD".
    QString isoText() const { return dateToIso(QDate(year(), month(), day())); }

    // The text of the value as a field of `type` shows it: date text, money text, "" for NULL.
    QString toText(FieldType type, const DateTextFormat &dates) const
    {
        switch (kind) {
        case Null:
            return {};
        case Integer:
            return type == FieldType::Money ? Money::fromHundredths(integer).toText()
                                            : QString::number(integer);
        case Date:
            return dates.toText(year(), month(), day());
        case Text:
            if (type == FieldType::Date) {
                QString shown = dates.isoToText(text);
                return shown.isEmpty() ? text : shown;
            }
            return text;
        }
        return {};
    }

    // The value as money: NULL reads 0; a text is read as amount text (EngineError if not).
    Money toMoney() const
    {
        switch (kind) {
        case Null:
            return {};
        case Integer:
            return Money::fromHundredths(integer);
        case Text:
            return text.isEmpty() ? Money() : Money::parse(text);
        case Date:
            return Money::parse(isoText());
        }
        return {};
    }
};

} // namespace engine
