#pragma once

// The cash book's figures as the report engine prints them: a day's book for the daily cash
// report, one document for its voucher. The program and dorvanta-admin print through
// these, so both print the same.

#include "desk/CashBook.h"
#include "desk/CashCount.h"
#include "desk/Deposits.h"
#include "desk/DeskSettings.h"
#include "desk/MonthFigures.h"
#include "desk/Rates.h"
#include "report/DailyCashReport.h"
#include "report/Letterhead.h"
#include "report/MonthReport.h"

namespace cash_prints {

// The daily cash report of `book` (desk::cashbook::dayBook() of its day); `keyFingerprint` is
// the fingerprint of the shop's signing key (desk::signing::fingerprintOf()). With the day's
// cash counts and, for a currency with a cash limit in `shared`, the limit and the excess of
// the closing balance over it; on the paper and with the firm of `shared`. The euro lines and
// the euro balance carry their dinar value at the day's rate of `euros`; the day's deposits are
// listed, and `overdue` (desk::deposits::overdue() on the day) warned of.
report::Document dayReport(const desk::cashbook::DayBook &book, const QDate &day,
                           report::DayCurrencies currencies, const QDateTime &printTime,
                           const QString &keyFingerprint = {},
                           const QList<desk::cashcount::Count> &counts = {},
                           const desk::settings::Shared &shared = {},
                           const desk::rates::RateBook &euros = {},
                           const QList<desk::deposits::Overdue> &overdue = {});

// The voucher (nalog blagajni) of `entry`, its amount also in words, on the paper and with the
// firm of `shared`; a euro voucher with its dinar value at the rate of its day in `euros`.
report::Document voucher(const desk::BookEntry &entry, const QDateTime &printTime,
                         const desk::settings::Shared &shared = {},
                         const desk::rates::RateBook &euros = {});

// The month report of `figures` (desk::month::ofMonth(), a row per day) or, with `year`, the
// year's (desk::month::ofYear(), a row per month), on the paper and with the firm of `shared`.
report::Document monthReport(const desk::month::Figures &figures, bool year,
                             const QDateTime &printTime, const desk::settings::Shared &shared);

// `document` on the paper of `shared`, with its firm at the head of every page: every printout
// goes through it.
report::Document onShopPaper(const report::Document &document,
                             const desk::settings::Shared &shared);

} // namespace cash_prints
