// The whole check of a journal: the chain and the log, the closed days and the cash counts.
#include "Audit.h"
#include "CashCount.h"
#include "DayCloses.h"
#include "DeskTables.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

namespace desk::chain {

using engine::EngineError;

namespace {

// What every closed day was closed as against what the records give now; nothing for a
// journal without the cash book's tables (an older one, a bare backup).
QStringList closedDaysAgainstRecords(engine::Table &journal)
{
    QList<DayClose> closed;
    try {
        closed = cashbook::closes(journal);
    } catch (const EngineError &) {
        return {};
    }
    QStringList lines;
    for (const cashbook::ClosedDayDrift &d : cashbook::closedDayDrift(journal, closed))
        lines += d.lines();
    return lines;
}

} // namespace

Verdict verify(engine::Table &journal, const QByteArray &wanted, const QList<Anchor> &anchors)
{
    Verdict v = verifyChain(journal, wanted, anchors);
    if (v.readable)
        v.closedDays = closedDaysAgainstRecords(journal);
    if (v.readable)
        v.counts = cashcount::check(journal);
    return v;
}

Verdict verifyDirectory(const QString &dir, const QString &password, const QByteArray &head,
                        const QList<Anchor> &anchors)
{
    Verdict v;
    QString error;
    if (!inJournalOf(
            dir, [&](engine::Table &journal) { v = verify(journal, head, anchors); }, &error,
            password)) {
        v = Verdict();
        v.readable = false;
        v.findings << Finding{0, {}, error};
    }
    return v;
}

} // namespace desk::chain
