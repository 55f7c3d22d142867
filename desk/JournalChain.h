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
// check a journal with other tools. Functions that write run inside the caller's transaction
// unless they say otherwise; every failure throws engine::EngineError.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace engine {
class RecordView;
class Table;
}

namespace desk::chain {

// The link a segment of a new journal begins from: 64 zeros.
QByteArray zeroLink();

// --- the chain of the journal ---

// The head of the journal as the chain stores it, read in a few indexed steps.
struct ChainHead
{
    qint64 records = 0;  // the position stored with the last record's link (0: empty journal)
    bool empty = true;   // the journal has no record
    qint64 lastId = -1;  // the id of the journal's last record (-1 also when empty)
    QByteArray head;     // the last record's link (hex), the segment's start when the journal
                         // is empty; empty when the last record has no link
};
ChainHead head(engine::Table &journal);

// Whether the chain vouches for the journal's last record: its stored link equals the
// SHA-256 of the link before it and of the record as stored now, and its position follows
// that link's. A few indexed reads, never a scan. False for an empty journal.
bool vouchesForLast(engine::Table &journal);

// Makes the tables when they are missing (inside the caller's transaction).
void createTables(engine::Table &journal);

// Whether the chain's table exists (outside any transaction: on the server a failed read
// would end one).
bool hasChainTable(engine::Table &journal);
// Whether the table `name` is beside the journal, asked of the catalogue so that a missing one
// fails no statement (on the server a failed statement ends the transaction it is in).
bool hasSideTable(engine::Table &journal, const QString &name);

// Inside the posting's transaction, after the record `recordId` got its document number:
// stores its link, chained from the last stored link (from the segment's start when there
// is none).
void chainRecord(engine::Table &journal, qint64 recordId);

// Chains the records after the last linked one (all records when none is linked) and writes
// the log entry `act` with `details` (where "%1" becomes the number of records chained) by
// `who`; when `beginsSegment`, every record is chained anew from the zero link and the entry
// records that start, otherwise nothing is logged when nothing was to be chained. Inside the
// caller's transaction. Returns how many records were chained.
int chainUnlinked(engine::Table &journal, const QString &who, const QString &act,
                  const QString &details, bool beginsSegment);

// chainUnlinked() on the journal of the data directory `dir`, in a transaction of its own,
// for the tools that add records beside the program (filling a journal, an import); nothing is
// logged when every record is linked. The engine's text of a failure, empty on success.
QString chainAppended(const QString &dir, const QString &password, const QString &act,
                      const QString &details);

// --- the audit log ---

// Appends an entry to the audit log: `who` did `act` (details in `details`, never a code or
// password) at `when`, with the journal's record count and head now. A non-empty
// `segmentStart` makes the entry the beginning of a segment from that link.
void log(engine::Table &journal, const QString &who, const QString &act, const QString &details,
         const QDateTime &when = QDateTime::currentDateTime(), const QByteArray &segmentStart = {});

// log() in a transaction of its own (the journal must have none open); failures are thrown.
void logOwn(engine::Table &journal, const QString &who, const QString &act,
            const QString &details);

// logOwn() on the journal of the data directory `dir` (for the tools); the engine's text of
// a failure, empty on success.
QString logDirectory(const QString &dir, const QString &password, const QString &act,
                     const QString &details);

// The head (hex) of the journal after its last record dated `day` or earlier, in stored
// order; the segment's start when there is none. The daily cash report prints it.
QByteArray headOfDay(engine::Table &journal, const QString &isoDay);

// Appends the canonical encoding (as links are made of it) of the stored values of the columns
// [first, first + count) of `row` to `out`: one way to say what a record is, for the chain and
// for comparing journals.
void encodeStored(QByteArray &out, const engine::RecordView &row, int first, int count);

// --- clearing and restoring: a new segment ---

// Empties the journal as one act, in a transaction of its own: the records, their links and
// numbers go, and the log records who cleared it, how many records there were, the head
// before and `archive` (the backup of the journal just replaced); the next record chains from
// that head.
void clearJournal(engine::Table &journal, const QString &who, const QString &archive);

// What a restore keeps of the journal it replaces: its log and its head.
struct KeptLog
{
    QList<QVariantList> entries;
    ChainHead head;
};
// Empty when the journal cannot be read.
KeptLog keepLog(engine::Table &journal);
// After a restore replaced the journal's records, in a transaction of its own: the log of the
// journal replaced comes back (the restored copy's own log is the backup's past, kept in the
// backup), the records are chained as a new segment from the head before, and the log
// records `who` restored, with `details`, the head and count before.
void carryOverLog(engine::Table &journal, const KeptLog &kept, const QString &who,
                  const QString &details);

// --- verification ---

// A head the journal must have passed: the journal's head and record count as something
// outside the journal kept them (a day close, an off-site copy). `source` says what kept it
// ("zakljucak dana 2026-03-01").
struct Anchor
{
    QString source;
    QByteArray head;     // 64 hex digits
    qint64 records = 0;
};

// Whether the close table has the columns for the anchors (GLAVA, ZAPISA).
bool hasCloseAnchors(engine::Table &journal);

// The anchors the day closes of the journal's current segment keep.
QList<Anchor> closeAnchors(engine::Table &journal);

// Forgets the anchors of the day closes (inside the caller's transaction): a new segment of
// the chain begins, and the heads of the one before are no longer the journal's.
void dropCloseAnchors(engine::Table &journal);

struct Finding
{
    qint64 position = 0; // of the record, counted from 1 in stored order; 0 for the log, -1
                         // for the journal as a whole
    QString number;      // its document number, when known
    QString what;        // the finding, ready to be shown
};

struct Verdict
{
    bool readable = true; // false: the data could not be read (what says why)
    qint64 records = 0;
    QByteArray head;      // the journal's head as recomputed
    QList<Finding> findings; // the first fault of the journal, then the log's faults
    bool headFound = false;  // with a head to look for: whether it is part of the history
    // The closed days whose stored figures the records no longer give, a line per day and
    // currency ("Dan 07/12/2026 je zakljucen sa stanjem ...").
    QStringList closedDays;
    // The cash counts whose pieces, sums or difference documents do not agree, a line each
    // (desk::cashcount::check()).
    QStringList counts;
    bool ok() const
    {
        return readable && findings.isEmpty() && closedDays.isEmpty() && counts.isEmpty();
    }
    bool chainOk() const { return readable && findings.isEmpty(); }
    // "OK: N zapisa, glava HEX", or the findings line by line; then the closed days that no
    // longer match and the counts that do not agree.
    QString text() const;
    // The findings of the chain and the log alone, line by line ("U redu: ..." when none).
    QString chainText() const;
};

// Reads the journal, its chain and the audit log and checks that they agree. With `head`,
// also whether that head is one of the journal's links or a head the log recorded. The
// journal must be a continuation of every anchor, those of its day closes and `anchors`:
// as long as each, and with the anchor's head at the anchor's count. Never writes.
Verdict verify(engine::Table &journal, const QByteArray &head = {},
               const QList<Anchor> &anchors = {});

// When the segment of the chain the journal now runs in began: the time of the log's last
// entry that begins one (a clearing, a restore); invalid when the log records none.
QDateTime segmentBegan(engine::Table &journal);
QDateTime segmentBeganIn(const QString &dir, const QString &password);

// verify() on the journal of the data directory `dir` opened with `password`.
Verdict verifyDirectory(const QString &dir, const QString &password, const QByteArray &head = {},
                        const QList<Anchor> &anchors = {});

} // namespace desk::chain
