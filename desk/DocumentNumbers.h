#pragma once

// DocumentNumbers: the document number of every journal record ("U-2026-000001",
// "I-2026-000001") and the counters they come from (see CashBook.h for the tables): giving
// the next number inside the posting's transaction, and reading numbers and reversals back.
// It stands on the cash book's statements alone; the posting (Posting.h) links and logs the
// record it numbers.

#include "BookEntries.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

namespace engine {
class Table;
}

namespace desk {

// "U-2026-000042": the kind's letter, the year and the number in the year.
QString documentNumber(DocumentKind kind, int year, qint64 sequence);

namespace cashbook {

// A number given to a record.
struct GivenNumber
{
    QString number;
    bool linked = false; // the server linked the record in the chain as it numbered it
};

// Inside the posting's transaction, after the record `recordId` of `day` was stored: gives it
// the next number of its kind in the day's year; refused (EngineError::Kind::Refused) when the
// day, or a later one, is closed (the caller then rolls the transaction back). `reverses` is
// the number of the document a reversal reverses. On the server this is one round trip, which
// also links the record. desk::numberAndLink() (Posting.h) is what a posting calls.
GivenNumber giveNumber(engine::Table &journal, qint64 recordId, DocumentKind kind,
                       const QDate &day, const QString &reverses = {});

// The number of the record `id`; empty when it has none.
QString numberOf(engine::Table &journal, qint64 id);

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
