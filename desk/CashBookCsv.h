#pragma once

// The journal with its document numbers as CSV for an accountant's spreadsheet: RFC 4180
// (fields separated by commas, records ended by CR LF, a field holding a comma, a quote, CR or
// LF quoted with inner quotes doubled), UTF-8, the header row
// BROJ,DATUM,VREME,KORISNIK,GRUPA,OPIS,ULAZDIN,IZLAZDIN,ULAZEUR,IZLAZEUR,STANJEDIN,STANJEEUR,
// ISO dates and amounts as money text ("1500.00"; an empty amount is 0.00).

#include "desk/CashBook.h"

#include <QByteArray>

namespace desk {

QByteArray csvOf(const QList<BookEntry> &entries);

} // namespace desk
