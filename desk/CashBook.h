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
// every failure throws engine::EngineError with a text ready to be shown. The cash book is
// split by concern, each part calling only those above it in this list:
//
//   BookEntries.h      the records with their numbers, as reports read them
//   DocumentNumbers.h  giving and reading document numbers
//   DayCloses.h        the closed days, a day's book, the closes' drift
//   Reversal.h         a reversal (storno) of a document
//   CashBookTables.h   making and tidying the tables (a desk's login, the administrator)
//   CarryOver.h        the cash book across a copy: restore, backup, close and back up
//
// The posting (Posting.h) numbers, links and logs a record. This header gathers the parts for
// the program and the tools; code inside desk includes the one it needs.

#include "BookEntries.h"
#include "CarryOver.h"
#include "CashBookTables.h"
#include "DayCloses.h"
#include "DocumentNumbers.h"
#include "Reversal.h"
