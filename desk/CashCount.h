#pragma once

// The cash count (popis gotovine): the notes and coins of one currency counted by
// denomination and compared with the book balance at that moment. A difference becomes a
// document of its own, posted through writeRecord() in the count's transaction: a shortage
// a payment "MANJAK po popisu DD/MM/YYYY", an overage a receipt "VISAK po popisu DD/MM/YYYY",
// in the name of whoever counted; after it the book balance is the counted sum. The count
// lives beside the journal in tables of its own:
//
//   dorvanta_popis (RB, DATUM, VALUTA, KORISNIK, VREME, UKUPNO, KNJIZNO, DOKUMENT)
//                                   one row per count: RB 1, 2, 3, ...; the day (ISO), "DIN"
//                                   or "EUR", who counted and when (ISO), the counted sum and
//                                   the book balance (integer hundredths), the number of the
//                                   difference's document (NULL when there is none)
//   dorvanta_popis_apoen (RB, APOEN, KOMADA)
//                                   the count RB's pieces per denomination (APOEN in
//                                   hundredths)
//   dorvanta_popis_razlika (RB, DOKUMENT, KORISNIK, VREME)
//                                   the difference of a cashier's count RB, posted afterwards
//                                   by the administrator KORISNIK at VREME (ISO) as DOKUMENT
//
// A cashier's count stores no document: its difference waits, DOKUMENT NULL, until the
// administrator posts it (postDifference()); each table only ever gets rows appended.

#include "Posting.h"

#include "engine/Money.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace engine {
class DateTextFormat;
class Table;
}

namespace desk {

namespace cashcount {

// The notes and coins of `currency`, largest first: dinars 5000 ... 1, euros 500 ... 0.01.
const QList<engine::Money> &denominations(Currency currency);

struct Pieces
{
    engine::Money denomination;
    qint64 count = 0;
};

// Reads a count written "5000x3,1000x12,50x7" (euro cents as "0.50x4"). Throws EngineError,
// naming the entry, for a denomination `currency` does not have, a negative or fractional
// number of pieces, a denomination given twice, or anything else that is not such a list.
QList<Pieces> parse(const QString &text, Currency currency);

// The sum of `pieces`; throws EngineError when it does not fit.
engine::Money total(const QList<Pieces> &pieces);

struct Count
{
    qint64 number = 0; // RB
    QDate day;
    Currency currency = Currency::Dinars;
    QString countedBy;
    QDateTime countedAt;
    QList<Pieces> pieces; // largest denomination first, those counted only
    engine::Money counted;
    engine::Money book;     // the book balance when it was counted
    QString document;       // the difference's document, empty when there was none (yet)
    QString postedBy;       // who posted the difference (countedBy when it came with the count)
    engine::Money difference() const { return counted - book; }
    // A difference that waits for the administrator to post it.
    bool differencePending() const { return !difference().isZero() && document.isEmpty(); }
};

// Makes the tables when they are missing (inside the caller's transaction).
void createTables(engine::Table &journal);

// Whether a count posts its difference with it (the administrator's) or leaves it for the
// administrator (a cashier's).
enum class Difference { PostedNow, Pending };

// Stores the count of `pieces` of `currency` on `day` by `countedBy` at `now` in one
// transaction of its own: the book balance under the journal's write lock, the difference's
// document unless it is left `Pending` (time from `now`, date text in `dates`), the count and
// its log entry. Refused, storing nothing, when `day` is closed or has not come yet.
Count record(engine::Table &journal, const QDate &day, Currency currency,
             const QList<Pieces> &pieces, const QString &countedBy, const QDateTime &now,
             const engine::DateTextFormat &dates, Difference difference = Difference::PostedNow);

// Posts the pending difference of the count `number` in the name of `postedBy` at `now` (a
// shortage a payment, an overage a receipt, dated the count's day) in one transaction of its
// own, and returns the count with its document. Refused, storing nothing, when there is no
// such count, it has no difference or it was posted already, or its day is closed.
Count postDifference(engine::Table &journal, qint64 number, const QString &postedBy,
                     const QDateTime &now, const engine::DateTextFormat &dates);

// Copies the counts of `source` that `target` lacks (by RB) into `target`, with their
// pieces, in the caller's transaction: a backup or an import carries them with the records.
// Nothing when `source` never counted.
void copy(engine::Table &source, engine::Table &target);

// The counts of `day` in the order they were made; none when the tables are missing.
QList<Count> ofDay(engine::Table &journal, const QDate &day);

// What is wrong with the stored counts, a line each: pieces that do not add up to the stored
// sum, a difference without its document, or a document that is gone or does not carry the
// difference. Nothing for a journal without the tables. Never writes.
QStringList check(engine::Table &journal);

// "DIN" or "EUR".
QString currencyCode(Currency currency);

} // namespace cashcount

} // namespace desk
