#pragma once

// Posting: the one way a journal record is written. The posting page, a reversal, the tools,
// the test desks and the benchmarks all store their records through post(), so the record's
// eleven fields, its running balances, its document number and its chain link are made in one
// place and always in one transaction:
//
//   1. the journal's write lock (a second desk waits here, then counts this record too);
//   2. the balances before it (journal_balances::current());
//   3. the record: cashier, date, time, reason, group, the four amounts and the balances;
//   4. its number of its kind in the year of its date (refused when the day is closed) and
//      its link in the chain;
//   5. the commit.
//
// A failure at any step throws engine::EngineError and leaves nothing stored: the pending
// record is dropped and the transaction rolled back. Only a commit whose outcome cannot be
// known (a server connection lost at that moment) throws EngineError::Kind::OutcomeUnknown;
// storing the same posting again with the same key then stores it at most once.

#include "DocumentNumbers.h"

#include "engine/Money.h"

#include <QDate>
#include <QString>
#include <QUuid>

namespace engine {
class DateTextFormat;
class Table;
}

namespace desk {

enum class Currency { Dinars, Euros };
enum class Direction { In, Out };

struct Posting
{
    QString cashier;
    QDate day;
    QString time; // "HH:MM:SS"
    Currency currency = Currency::Dinars;
    Direction direction = Direction::In;
    engine::Money amount;
    QString reason;
    QString group;
    // The posting's identity: a posting whose key is stored already is not stored again. A null
    // key stores without that check.
    QUuid key;
};

// The four amount fields of a record.
struct Amounts
{
    engine::Money dinarsIn, dinarsOut, eurosIn, eurosOut;
};

// What was stored.
struct Posted
{
    bool stored = false; // false: the posting with this key was stored already, nothing written
    qint64 id = -1;      // the record's id
    QString number;      // its document number
    engine::Money dinars; // the journal's balances with it (the record's running balances)
    engine::Money euros;
};

// The largest amount a posting takes, in either direction.
inline constexpr engine::Money MaxAmount = engine::Money::fromHundredths(99999999999);

// Why `amount` may not be posted (not above zero, beyond MaxAmount), ready to be shown; empty
// when it may. The posting's checks (PostingDraft.h) ask it, and post() again.
QString amountRefusal(engine::Money amount);

// Stores `posting` in the open journal in one transaction of its own; `dates` is the date text
// form of the journal's session. An amount not above zero or beyond MaxAmount is refused
// (EngineError::Kind::Refused, amountRefusal()), nothing stored.
Posted post(engine::Table &journal, const Posting &posting, const engine::DateTextFormat &dates);

// Inside the caller's transaction (which holds the journal's write lock): writes the record of
// `posting` with the amounts `amounts` (the posting's own currency, direction and amount are
// not used), numbered as `kind`, reversing the document `reverses` when not empty.
Posted writeRecord(engine::Table &journal, const Posting &posting, const Amounts &amounts,
                   DocumentKind kind, const QString &reverses, const engine::DateTextFormat &dates);

// Inside the posting's transaction, after the record `recordId` of `day` was stored: gives it
// the next number of its kind in the day's year (cashbook::giveNumber(), refused when the day
// is closed), its link in the chain, and for a reversal of `reverses` the audit log's entry;
// returns the number.
QString numberAndLink(engine::Table &journal, qint64 recordId, DocumentKind kind, const QDate &day,
                      const QString &reverses = {});

// The amounts of a posting: its amount in the field of its currency and direction.
Amounts amountsOf(const Posting &posting);

} // namespace desk
