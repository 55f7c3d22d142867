#pragma once

// The cash book's figures as the report engine prints them: a day's book for the daily cash
// report, one document for its printed slip. The program and dorvanta-admin print through
// these, so both print the same.

#include "desk/CashBook.h"
#include "report/DailyCashReport.h"

namespace cash_prints {

// The daily cash report of `book` (desk::cashbook::dayBook() of its day); `keyFingerprint` is
// the fingerprint of the shop's signing key (desk::signing::fingerprintOf()).
report::Document dayReport(const desk::cashbook::DayBook &book, const QDate &day,
                           report::DayCurrencies currencies, const QDateTime &printTime,
                           const QString &keyFingerprint = {});

// The printed document (uplatnica or isplatnica) of `entry`.
report::Document postingSlip(const desk::BookEntry &entry, const QDateTime &printTime);

} // namespace cash_prints
