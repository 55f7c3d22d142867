#pragma once

// BookEntries: the journal's records with their document numbers, as the cash book's reports,
// the CSV and the checks read them (see CashBook.h for the tables). Only reads.

#include "engine/Money.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace engine {
class RecordView;
class Table;
}

namespace desk {

enum class DocumentKind { Receipt, Payment }; // "U" (ULAZ) and "I" (IZLAZ)

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

// Every record with its number, in stored order (dates from `from` to `to` when given).
QList<BookEntry> entries(engine::Table &journal, std::optional<QDate> from = {},
                         std::optional<QDate> to = {});

// entries() for a journal of any size: `visit` sees each row as stored (the columns id, BROJ,
// STORNO, KORISNIK, DATUM, VREME, OPIS, GRUPA, ULAZDIN, IZLAZDIN, ULAZEUR, IZLAZEUR, STANJEDIN,
// STANJEEUR; a date ISO text, an amount in hundredths), in stored order. The rows are read a
// page at a time, so that the whole journal is never held in memory.
void scanEntries(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to,
                 const std::function<void(const engine::RecordView &)> &visit);

// The record numbered `number`; nullopt when there is none.
std::optional<BookEntry> entry(engine::Table &journal, const QString &number);
} // namespace cashbook

} // namespace desk
