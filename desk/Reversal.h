#pragma once

// Reversal: a document is corrected by a new posting that cancels it (storno), never by an
// edit or a deletion. It stands on the posting (Posting.h) and the cash book's reading.

#include "BookEntries.h"

#include <QDate>
#include <QString>

namespace engine {
class DateTextFormat;
class Table;
}

namespace desk::cashbook {

// Why a reversal of `number` dated `day` would be refused, ready to be shown; empty when it
// may be stored. A window asks it before its question; reverse() asks it again inside its
// transaction.
QString reversalRefusal(engine::Table &journal, const QString &number, const QDate &day);

// Reverses (storno) the document `number`: in one transaction of its own, a new record dated
// `day` (date text in `dates`) at `time` by `cashier`, with the opposite amounts in the same
// fields, the reason "STORNO <number>: <reason>", the same group, the running balances from the
// journal's sums, and a number of its own of the original's kind. Refused when there is no such
// document, it is itself a reversal, it was reversed already, or `day` is closed. A document of
// a closed day may be reversed: the reversal is a document of `day`, and the closed day's
// records and figures stay as they were closed.
BookEntry reverse(engine::Table &journal, const QString &number, const QString &cashier,
                  const QDate &day, const QString &time, const engine::DateTextFormat &dates);
} // namespace desk::cashbook
