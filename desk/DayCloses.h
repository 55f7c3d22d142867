#pragma once

// DayCloses: the closed days (dorvanta_zakljucak, see CashBook.h): closing a day with its
// report's figures and number, the refusal of a posting on a closed day, a day's book, and
// the closed days whose figures the records no longer give. It stands on the records
// (BookEntries.h), the chain's head and the audit log.

#include "BookEntries.h"

#include "engine/Money.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace engine {
class Table;
}

namespace desk {

// A record's amounts by currency: the ins and outs of a day, the figures of a close.
struct CurrencyFigures
{
    engine::Money opening; // the journal's sum before the day
    engine::Money in;
    engine::Money out;
    engine::Money closing() const { return opening + in - out; }
};

struct DayClose
{
    QDate day;
    int number = 0; // the report's number in the day's year, in the order days are closed
    QString closedBy;
    QDateTime closedAt;
    CurrencyFigures dinars;
    CurrencyFigures euros;
};

namespace cashbook {

// The last closed day, if any.
std::optional<QDate> lastClosedDay(engine::Table &journal);
std::optional<DayClose> dayClose(engine::Table &journal, const QDate &day);

// Throws "Dan DD.MM.YYYY je zakljucen: ..." when a posting on `day` is not allowed because
// the day, or a later one, is closed. Inside the posting's transaction.
void requireOpenDay(engine::Table &journal, const QDate &day);

// The records of `day` in stored order with their numbers, and the figures of the day.
struct DayBook
{
    QList<BookEntry> entries;
    CurrencyFigures dinars;
    CurrencyFigures euros;
    std::optional<DayClose> close;
    QByteArray chainHead; // the journal's chain head after the day's last record (hex)
};
DayBook dayBook(engine::Table &journal, const QDate &day);

// A closed day whose stored figures the journal's records no longer give (a restore of an
// older backup, a change made outside the program).
struct ClosedDayDrift
{
    DayClose close;        // as the day was closed
    CurrencyFigures dinars; // what the records give now
    CurrencyFigures euros;
    // "Dan 07/12/2026 je zakljucen sa stanjem 4317.00 DIN, promet sada daje 1617.00 DIN", one
    // line per currency whose figures differ.
    QStringList lines() const;
};
// Every closed day of `closes` (those of `journal` itself when not given) whose opening
// balance, receipts, payments or closing balance in either currency differ from what the
// records of `journal` give; one reading of the journal, whatever the number of days.
QList<ClosedDayDrift> closedDayDrift(engine::Table &journal);
QList<ClosedDayDrift> closedDayDrift(engine::Table &journal, const QList<DayClose> &closes);
// Every closed day in date order.
QList<DayClose> closes(engine::Table &journal);

// Closes `day`: in one transaction of its own, records who closed it, when, the day's
// figures and the next report number of the year. Refused when the day is already closed or
// lies after `now`.
DayClose closeDay(engine::Table &journal, const QDate &day, const QString &closedBy,
                  const QDateTime &now);

} // namespace cashbook

} // namespace desk
