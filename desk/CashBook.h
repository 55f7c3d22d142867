#pragma once

// CashBook: what the cash desk keeps beside its journal so that it is a cash book: a document
// number for every journal record, the counters those numbers come from, and the closed days.
// They live in tables of their own next to the journal in the same store (inside promet.db,
// or beside promet on the server), so that a posting and its number are one transaction:
//
//   dorvanta_dokument (ID, BROJ, STORNO)        one row per journal record: ID is the record's
//                                               id in stored order (rowid; the server's id),
//                                               BROJ "U-2026-000001" or "I-2026-000001",
//                                               STORNO the number a reversal reverses
//   dorvanta_brojac   (VRSTA, GODINA, POSLEDNJI) the last number given per kind and year
//                                               (U receipts, I payments, Z day reports) as of
//                                               the administrator's last tidy()
//   dorvanta_izdat    (VRSTA, GODINA, REDNI)     numbers given since: the last given is the
//                                               larger of the two tables' (desks only append)
//   dorvanta_zakljucak (DATUM, BROJ, KORISNIK, VREME, PRETHODNODIN, ULAZDIN, IZLAZDIN,
//                      STANJEDIN, PRETHODNOEUR, ULAZEUR, IZLAZEUR, STANJEEUR, GLAVA, ZAPISA)
//                                               one row per closed day with its report number
//                                               in the year and the report's figures, and the
//                                               journal's head and count at the close (the
//                                               anchors of chain::verify)
//
// The journal's own columns never change. Every function takes the journal table open; those
// that write run inside the caller's transaction unless they say they make their own, and
// every failure throws engine::EngineError with a text ready to be shown.

#include "engine/Money.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

#include <optional>

namespace engine {
class RecordView;
class DateTextFormat;
class Session;
class Table;
}

namespace desk {

enum class DocumentKind { Receipt, Payment }; // "U" (ULAZ) and "I" (IZLAZ)

// "U-2026-000042": the kind's letter, the year and the number in the year.
QString documentNumber(DocumentKind kind, int year, qint64 sequence);

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

// One journal record with its document number, as the cash book's reports and the CSV read it.
struct BookEntry
{
    qint64 id = 0;
    QString number; // empty when the record has none yet
    QString reverses;
    QDate date;
    QString time;
    QString cashier;
    QString group;
    QString description;
    engine::Money dinarsIn, dinarsOut, eurosIn, eurosOut, dinarBalance, euroBalance;
};

// A receipt when an amount stands in ULAZDIN or ULAZEUR, otherwise a payment.
DocumentKind kindOf(const BookEntry &entry);

namespace cashbook {

// Makes the tables when they are missing, drops the numbers of records that are gone when
// there are any (a journal emptied by an older version) and numbers every record that has
// none, in stored order, each in its kind and the year of its date, after the numbers already
// given. After the program's own acts it only reads and appends (a desk runs it at its login,
// and the desks' role on a server may do no more). In one transaction of its own (the journal must have none open). Returns how many
// records got a number.
int prepare(engine::Table &journal);

// prepare() on the journal of the data directory `dir` (its podaci/promet.db, on either store)
// opened with `password`; the engine's text of a failure, empty on success.
QString prepareDirectory(const QString &dir, const QString &password);

// The administrator's tidying, which needs the rights to change and delete rows: drops the
// numbers of records that are gone (after a clear or a restore) and folds the numbers given
// since into the counters. In one transaction of its own. A restore (carryOver) tidies; the
// server's set-up (dorvanta-init --roles) runs tidyDirectory().
void tidy(engine::Table &journal);
// tidy(), then prepare(), on the journal of the data directory `dir`, as prepareDirectory().
QString tidyDirectory(const QString &dir, const QString &password);

// What a restore keeps of the journal it replaces: its closes and its counters, so that a
// restore never reopens a closed day nor gives a number of the year again; and, read from a
// journal that is copied, the numbers of its records by their places.
struct KeptBook
{
    QList<QVariantList> closes;
    QList<QVariantList> counters;
    // BROJ, STORNO, DATUM, VREME, KORISNIK of every record in stored order.
    QList<QVariantList> numbers;
    // KLJUC, VREDNOST of the settings every desk shares: a restore keeps the journal's own
    // (a later row of a key wins).
    QList<QVariantList> settings;
    // DATUM, VALUTA, KURS, LISTA, IZVOR, KORISNIK, VREME of every exchange rate: a restore keeps
    // the journal's own (a later row of a day and currency wins).
    QList<QVariantList> rates;
};
KeptBook keep(engine::Table &journal);
// Adds the kept closes (a day the restored journal has closed already stays as it is there),
// gives every record without a number the kept number of its place (while the places hold
// records of the same date, time and cashier), raises the counters to the kept ones and to the
// numbers given and tidies (tidy()), then prepare()s the journal; one transaction.
void carryOver(engine::Table &journal, const KeptBook &kept);
// After `target` was made a copy of `source` (engine::copyTableFile: a backup, a restore, an
// import to the server): carries source's cash book over with carryOver(), together with
// `also`. A copy between table files holds it already; a copy to or from the server gives the
// records other ids, so there the numbers go by the records' places in stored order, as the
// copy keeps it. The cash counts source has and target lacks go with them (cashcount::copy).
void copyBook(engine::Table &source, engine::Table &target, const KeptBook &also = {});
// Writes a backup of the journal (podaci/promet.db of the session's base directory, on either
// store) to the table file podaci/`name` with its cash book (copyBook), so that a restore of it
// gives its records their numbers back. The session must have the table password; it is
// closed afterwards. On a failure the backup is removed and the engine's error thrown.
void backupJournal(engine::Session &session, const QString &name);

// Inside the posting's transaction, after the record `recordId` of `day` was stored: gives it
// the next number of its kind in the day's year and returns it; throws as requireOpenDay()
// does when the day is closed (the caller then rolls the transaction back). `reverses` is the
// number of the document a reversal reverses. On the server this is one round trip.
QString numberRecord(engine::Table &journal, qint64 recordId, DocumentKind kind, const QDate &day,
                     const QString &reverses = {});

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

// closeDay() on the journal of the session's data directory, then a backup of the journal
// named `backupName` (backupJournal()), so that the newest backup holds every closed day. The
// close stands when the backup fails: `backupError` then says why. The session must have the
// table password; it is closed afterwards.
DayClose closeDayAndBackUp(engine::Session &session, const QDate &day, const QString &closedBy,
                           const QDateTime &now, const QString &backupName, QString &backupError);

// Every record with its number, in stored order (dates from `from` to `to` when given).
QList<BookEntry> entries(engine::Table &journal, std::optional<QDate> from = {},
                         std::optional<QDate> to = {});

// entries() for a journal of any size: `visit` sees each row as stored (the columns id, BROJ,
// STORNO, KORISNIK, DATUM, VREME, OPIS, GRUPA, ULAZDIN, IZLAZDIN, ULAZEUR, IZLAZEUR, STANJEDIN,
// STANJEEUR; a date ISO text, an amount in hundredths), in stored order. The rows are read a
// page at a time, so that the whole journal is never held in memory.
void scanEntries(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to,
                 const std::function<void(const engine::RecordView &)> &visit);

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
// The number of the record `id`; empty when it has none.
QString numberOf(engine::Table &journal, qint64 id);

// The record numbered `number`; nullopt when there is none.
std::optional<BookEntry> entry(engine::Table &journal, const QString &number);
// The document number of each of the records `ids` (at most a few hundred) that has one, and
// whether that document was reversed: for the grids, which read it beside the records they
// show.
struct DocumentMark
{
    QString number;
    bool reversed = false;
};
QHash<qint64, DocumentMark> documentMarks(engine::Table &journal, const QList<qint64> &ids);

// The number of the reversal of `number`, empty when it was not reversed.
QString reversalOf(engine::Table &journal, const QString &number);

} // namespace cashbook

} // namespace desk
