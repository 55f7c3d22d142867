#pragma once

// The daily cash report of one day as a document of the report engine, for the program's
// preview and print and for dorvanta-admin's PDF.

#include "desk/CashBook.h"

#include "report/DailyCashReport.h"
#include "report/Document.h"

namespace desk {

// `book` is cashbook::dayBook() of `day`. Lines are the day's documents that have an amount in
// the currencies printed (all of them for both); the title carries the report's number and who
// closed the day, or "NIJE ZAKLJUCEN" when it is not closed.
report::Document dayReportDocument(const cashbook::DayBook &book, const QDate &day,
                                   report::DayCurrencies currencies, const QDateTime &printTime);

// The printed document of `entry`: "UPLATNICA br. <number>" for a receipt, "ISPLATNICA br.
// <number>" for a payment, with its date, cashier, amount and currency, reason and group.
report::Document postingSlipDocument(const BookEntry &entry, const QDateTime &printTime);

} // namespace desk
