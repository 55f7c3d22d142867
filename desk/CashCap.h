#pragma once

// The cash cap: no payment of 10,000 euros or more may be taken in cash, counted in dinars at
// the NBS middle rate of the receipt's day (Rates.h). A receipt at or over it, in either
// currency, is refused before any question; the administrator may allow one with his code and
// a reason (money that is no sale, such as the owner's own loan to the till), and that is
// logged ("GOTOVINA") in the posting's transaction.
//
// A receipt in dinars on a day without a rate is measured against the last rate known before
// it, and the answer says so; with no rate at all (a shop that keeps no rates) it cannot be
// measured and is let through without a word. 10,000 euros at a rate of R millionths are exactly R para, so the comparison is
// exact.

#include "Posting.h"
#include "Rates.h"

#include <QString>

namespace engine {
class DateTextFormat;
class Table;
}

namespace desk::cashcap {

// 10,000.00 EUR in cents.
inline constexpr qint64 CapCents = 1000000;

struct Answer
{
    bool refused = false;
    // "Gotovinska naplata od 10.000 EUR ili vise nije dozvoljena (protivvrednost ...)".
    QString refusal;
    // For the question: the rate was not the day's own, or there was none.
    QString note;
};

// The cap's answer for `posting` (a payment, and a receipt under the cap, are not refused).
Answer check(const rates::RateBook &euros, const Posting &posting);
// The same with the euro rates of the open journal.
Answer check(engine::Table &journal, const Posting &posting);

// Stores `posting`, which the cap refuses, as the administrator allowed it for `reason`, in
// one transaction with its log entry. An empty reason is refused (nothing stored).
Posted postAllowed(engine::Table &journal, const Posting &posting, const QString &reason,
                   const engine::DateTextFormat &dates);

} // namespace desk::cashcap
