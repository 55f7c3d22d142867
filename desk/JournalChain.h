#pragma once

// JournalChain: what makes a change of the journal after the fact visible. Every journal
// record, in stored order, has a link: the SHA-256 of the previous record's link and of the
// record's canonical encoding (all its fields as stored and its document number). Every
// administrative act is an entry of the audit log, itself chained the same way, with the
// journal's head (the last record's link) at that moment. Both live in tables of their own
// beside the journal, in the same store:
//
//   dorvanta_lanac   (ID, REDNI, HES)           one row per journal record: ID the record's
//                                               id in stored order, REDNI its position in the
//                                               journal counted from 1, HES its link (64 lower
//                                               case hex digits)
//   dorvanta_dnevnik (RB, VREME, KORISNIK, RADNJA, OPIS, ZAPISA, GLAVA, POCETAK, HES)
//                                               the audit log: RB 1, 2, 3, ... ; when, who,
//                                               the act and its details; the journal's record
//                                               count and head at that moment; POCETAK, on an
//                                               entry that begins a segment (the chain's start,
//                                               a clear, a restore), the link the journal's
//                                               first record chains from; HES the entry's link
//
// The data-format section of doc/guide.md defines the encodings exactly, so that anyone can
// check a journal with other tools. The work is split in layers, each calling only those
// below it:
//
//   ChainCodec.h   the encoding of records and entries, links and their text (inside desk)
//   Chain.h        the records' links: the head, a new record's link, the close anchors
//   AuditLog.h     the log's entries, and the acts that begin a segment (clear, restore)
//   ChainVerify.h  the check of the journal against its chain and its log
//   Audit.h        the whole check: the chain, the closed days and the cash counts
//
// This header gathers them for the program and the tools; code inside desk includes the one
// it needs.

#include "Audit.h"
#include "AuditLog.h"
#include "Chain.h"
#include "ChainVerify.h"
