#pragma once

// The figures of a month (a row per day) or of a year (a row per month) as the month report
// prints them: per currency the opening balance, the receipts, the payments and the closing
// balance, the differences the cash counts found and the deposits to the bank, and the
// period's totals. A day's row holds what that day's daily cash report prints.
//
// The journal is read twice (the sums before the period, the sums per day in it) and the
// counts once, whatever the journal's size; the engine's errors are thrown.

#include "DayCloses.h"
#include "DeskSettings.h"

#include "engine/Money.h"

#include <QDate>
#include <QList>

namespace engine {
class Table;
}

namespace desk::month {

struct CurrencyRow
{
    CurrencyFigures figures; // opening, receipts, payments; closing()
    engine::Money counted;   // the counts' differences (counted less the book), summed
    engine::Money deposited; // paid into the bank
};

struct Row
{
    QDate first; // the day, or the first day of the month
    QDate last;  // the same day, or the month's last
    CurrencyRow dinars;
    CurrencyRow euros;
    const CurrencyRow &of(Currency c) const { return c == Currency::Euros ? euros : dinars; }
};

struct Figures
{
    QList<Row> rows;
    Row total;                 // opening of the first row, the sums of all, closing of the last
    engine::Money limitDinars; // the cash limits set (0: none)
    engine::Money limitEuros;
};

// Every day of `month` (1-12) of `year`.
Figures ofMonth(engine::Table &journal, int year, int month);
// Every month of `year`.
Figures ofYear(engine::Table &journal, int year);

// The deposits to the bank (payments of the kind "POLOG NA RACUN", net of their reversals) per
// day from `first` to `last`, dinars and euros.
QHash<QDate, std::pair<engine::Money, engine::Money>>
deposits(engine::Table &journal, const QDate &first, const QDate &last);

} // namespace desk::month
