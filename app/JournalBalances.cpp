// The journal's balances: the last record's running balances when the chain vouches for
// them, else the sums over the whole journal.
#include "JournalBalances.h"

#include "engine/Table.h"

#include <QStringList>

#include <optional>

namespace journal_balances {

namespace {

// The last record's id when the chain vouches for that record, else nullopt.
std::optional<qint64> vouchedLastRecord(engine::Table &journal)
{
    Q_UNUSED(journal);
    return std::nullopt;
}

} // namespace

Balances current(engine::Table &journal)
{
    if (const std::optional<qint64> last = vouchedLastRecord(journal)) {
        const int din = journal.fieldIndex(QStringLiteral("STANJEDIN"));
        const int eur = journal.fieldIndex(QStringLiteral("STANJEEUR"));
        Balances found;
        bool seen = false;
        journal.scanAfter(*last - 1, [&](qint64 id, const engine::RecordView &r) {
            if (id != *last)
                return;
            found = {engine::Money::fromHundredths(r.isNull(din) ? 0 : r.integer(din)),
                     engine::Money::fromHundredths(r.isNull(eur) ? 0 : r.integer(eur)), true};
            seen = true;
        });
        if (seen)
            return found;
    }
    const QList<engine::Money> sums = journal.sumMoney(
        {QStringLiteral("ULAZDIN"), QStringLiteral("IZLAZDIN"), QStringLiteral("ULAZEUR"),
         QStringLiteral("IZLAZEUR")});
    return {sums.at(0) - sums.at(1), sums.at(2) - sums.at(3), false};
}

} // namespace journal_balances
