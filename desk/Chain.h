#pragma once

// Chain: the link of every journal record in dorvanta_lanac (see JournalChain.h for the
// tables): the journal's head, a new record's link, a stretch of records chained at once, and
// the anchors a day close keeps of the head. It reads and writes the chain's table and reads
// the journal; it calls nothing else of desk's but the encoding (ChainCodec.h). Functions that
// write run inside the caller's transaction; every failure throws engine::EngineError.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace engine {
class RecordView;
class Table;
}

namespace desk::chain {

// The link a segment of a new journal begins from: 64 zeros.
QByteArray zeroLink();

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

// Makes the chain's and the log's tables when they are missing (inside the caller's
// transaction).
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

// The head (hex) of the journal after its last record dated `day` or earlier, in stored
// order; the segment's start when there is none. The daily cash report prints it.
QByteArray headOfDay(engine::Table &journal, const QString &isoDay);

// Appends the canonical encoding (as links are made of it) of the stored values of the columns
// [first, first + count) of `row` to `out`: one way to say what a record is, for the chain and
// for comparing journals.
void encodeStored(QByteArray &out, const engine::RecordView &row, int first, int count);

// --- for the audit log, which begins segments and chains stretches of records ---

// The link the journal's first record chains from: the start of the last segment the log
// records (the zero link when it records none).
QByteArray segmentStart(engine::Table &journal);

// Chains the records after `afterId` (every record when none) from `base` (hex), the first
// of them at `position`; returns how many.
int chainFrom(engine::Table &journal, std::optional<qint64> afterId, const QByteArray &base,
              qint64 position);

// --- the heads a day close keeps ---

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

} // namespace desk::chain
