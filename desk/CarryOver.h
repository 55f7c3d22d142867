#pragma once

// CarryOver: the cash book across a copy of the journal: what a restore keeps of the journal
// it replaces, carrying it onto the copy, a backup with its cash book, and a day close that
// backs the journal up. It stands on every other part of the cash book.

#include "DayCloses.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

namespace engine {
class Session;
class Table;
}

namespace desk::cashbook {

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

// closeDay() on the journal of the session's data directory, then a backup of the journal
// named `backupName` (backupJournal()), so that the newest backup holds every closed day. The
// close stands when the backup fails: `backupError` then says why. The session must have the
// table password; it is closed afterwards.
DayClose closeDayAndBackUp(engine::Session &session, const QDate &day, const QString &closedBy,
                           const QDateTime &now, const QString &backupName, QString &backupError);

} // namespace desk::cashbook
