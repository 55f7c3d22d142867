#pragma once

// The journal with its document numbers as CSV for an accountant's spreadsheet: RFC 4180
// (fields separated by commas, records ended by CR LF, a field holding a comma, a quote, CR or
// LF quoted with inner quotes doubled), UTF-8, the header row
// BROJ,DATUM,VREME,KORISNIK,GRUPA,OPIS,ULAZDIN,IZLAZDIN,ULAZEUR,IZLAZEUR,STANJEDIN,STANJEEUR,
// KURS,PROTIVVREDNOST, ISO dates and amounts as money text ("1500.00"; an empty amount is
// 0.00). The last two, after the journal's own, are the euro amount's NBS middle rate of the
// record's day and its dinar value (Rates.h); both empty for a record without euros, KURS
// "nema kursa" and no value for a day without a rate.
//
// The Serbian form is the same rows for a spreadsheet under a Serbian locale: fields separated
// by semicolons (a field holding a semicolon, a quote, CR or LF quoted), a decimal comma and no
// thousands separator ("1500,00"), dates dd.mm.yyyy, records ended by CR LF, UTF-8 after a
// byte-order mark.

#include "desk/BookEntries.h"
#include "desk/Rates.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <optional>

namespace desk {

enum class CsvForm { Plain, Serbian };

QByteArray csvOf(const QList<BookEntry> &entries, CsvForm form = CsvForm::Plain,
                 const rates::RateBook &euros = {});

// The same CSV (with the journal's euro rates) of the journal's records dated from `from` to `to` (every record when neither
// is given), written row by row: `write` gets the text a piece of at most about 64 KiB at a
// time and returns false to stop (a full disk). Memory stays the same whatever the journal's
// size. False when `write` stopped it; the engine's errors are thrown.
bool writeCsv(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to,
              const std::function<bool(QByteArrayView)> &write, CsvForm form = CsvForm::Plain);

} // namespace desk
