#pragma once

// The cash book's figures as the report engine prints them: a day's book for the daily cash
// report, one document for its voucher. The program and dorvanta-admin print through
// these, so both print the same.

#include "desk/CashBook.h"
#include "report/DailyCashReport.h"

namespace cash_prints {

// The daily cash report of `book` (desk::cashbook::dayBook() of its day).
report::Document dayReport(const desk::cashbook::DayBook &book, const QDate &day,
                           report::DayCurrencies currencies, const QDateTime &printTime);

// The voucher (nalog blagajni) of `entry`, its amount also in words.
report::Document voucher(const desk::BookEntry &entry, const QDateTime &printTime);

} // namespace cash_prints
