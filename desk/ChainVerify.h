#pragma once

// ChainVerify: the check of a journal against its chain and its audit log: every record's
// link recomputed in one walk, the log's own chain, the heads the log and the anchors name.
// It only reads, and stands on the chain and its encoding alone; the audit (Audit.h) adds the
// closed days and the cash counts to its verdict.

#include "Chain.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace engine {
class Table;
}

namespace desk::chain {

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
// as long as each, and with the anchor's head at the anchor's count. Never writes; the
// verdict's closedDays and counts stay empty (verify() fills them).
Verdict verifyChain(engine::Table &journal, const QByteArray &head = {},
                    const QList<Anchor> &anchors = {});

} // namespace desk::chain
