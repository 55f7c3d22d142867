#pragma once

// AuditLog: every administrative act as an entry of dorvanta_dnevnik, chained as the journal
// is, with the journal's head at that moment (see JournalChain.h for the table); and the acts
// that begin a new segment of the chain (a clear, a restore), which the log records. It stands
// on the chain (Chain.h) and calls nothing above it. Functions that write run inside the
// caller's transaction unless they say otherwise; every failure throws engine::EngineError.

#include "Chain.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

namespace engine {
class Table;
}

namespace desk::chain {

// Appends an entry to the audit log: `who` did `act` (details in `details`, never a code or
// password) at `when`, with the journal's record count and head now. A non-empty
// `segmentStart` makes the entry the beginning of a segment from that link.
void log(engine::Table &journal, const QString &who, const QString &act, const QString &details,
         const QDateTime &when = QDateTime::currentDateTime(), const QByteArray &segmentStart = {});

// log() in a transaction of its own (the journal must have none open); failures are thrown.
void logOwn(engine::Table &journal, const QString &who, const QString &act,
            const QString &details);

// logOwn() on the journal of the data directory `dir` (for the tools); false on a failure,
// with the engine's text in `error`.
[[nodiscard]] bool logDirectory(const QString &dir, const QString &password, const QString &act,
                                const QString &details, QString *error = nullptr);

// Chains the records after the last linked one (all records when none is linked) and writes
// the log entry `act` with `details` (where "%1" becomes the number of records chained) by
// `who`; when `beginsSegment`, every record is chained anew from the zero link and the entry
// records that start, otherwise nothing is logged when nothing was to be chained. Inside the
// caller's transaction. Returns how many records were chained.
int chainUnlinked(engine::Table &journal, const QString &who, const QString &act,
                  const QString &details, bool beginsSegment);

// chainUnlinked() on the journal of the data directory `dir`, in a transaction of its own,
// for the tools that add records beside the program (filling a journal, an import); nothing is
// logged when every record is linked. False on a failure, with the engine's text in `error`.
[[nodiscard]] bool chainAppended(const QString &dir, const QString &password, const QString &act,
                                 const QString &details, QString *error = nullptr);

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

// When the segment of the chain the journal now runs in began: the time of the log's last
// entry that begins one (a clearing, a restore); invalid when the log records none.
QDateTime segmentBegan(engine::Table &journal);
QDateTime segmentBeganIn(const QString &dir, const QString &password);

} // namespace desk::chain
