// The journal's balances: the last record's running balances when the chain vouches for
// them, else the sums over the whole journal.
#include "desk/JournalBalances.h"

#include "engine/Table.h"

#include "desk/Chain.h"
#include "desk/JournalColumns.h"

#include <QStringList>

#include <optional>

namespace journal_balances {

namespace {

// The last record's id when the chain vouches for that record, else nullopt.
std::optional<qint64> vouchedLastRecord(engine::Table &journal)
{
    if (desk::chain::vouchesForLast(journal))
        return desk::chain::head(journal).lastId;
    return std::nullopt;
}

} // namespace

Balances current(engine::Table &journal)
{
    // The chain says the last record is as it was stored, not that its balances were right
    // when it was: a journal chained at its first start vouches for records another program
    // wrote. So the last record's balances are used only when they follow from its
    // predecessor's and its own amounts; a journal where they do not is summed whole.
    if (const std::optional<qint64> last = vouchedLastRecord(journal)) {
        const QList<QVariantList> prior = journal.runBeside(
            QStringLiteral("SELECT ID FROM dorvanta_lanac WHERE ID < ?1 ORDER BY ID DESC LIMIT 1"),
            {*last});
        const qint64 from = prior.isEmpty() ? *last : prior.front().value(0).toLongLong();
        const int balance[2] = {journal.fieldIndex(desk::columns::DinarBalance),
                                journal.fieldIndex(desk::columns::EuroBalance)};
        const int in[2] = {journal.fieldIndex(desk::columns::DinarsIn),
                           journal.fieldIndex(desk::columns::EurosIn)};
        const int out[2] = {journal.fieldIndex(desk::columns::DinarsOut),
                            journal.fieldIndex(desk::columns::EurosOut)};
        const auto value = [](const engine::RecordView &r, int field) -> qint64 {
            return r.isNull(field) ? 0 : r.integer(field);
        };
        qint64 before[2] = {0, 0};
        qint64 stored[2] = {0, 0};
        bool follows = false;
        bool seen = false;
        journal.scanAfter(from - 1, [&](qint64 id, const engine::RecordView &r) {
            if (id != *last) {
                if (id == from)
                    for (int c = 0; c < 2; ++c)
                        before[c] = value(r, balance[c]);
                return;
            }
            seen = true;
            follows = true;
            for (int c = 0; c < 2; ++c) {
                stored[c] = value(r, balance[c]);
                follows = follows && stored[c] == before[c] + value(r, in[c]) - value(r, out[c]);
            }
        });
        if (seen && follows)
            return {engine::Money::fromHundredths(stored[0]),
                    engine::Money::fromHundredths(stored[1]), true};
    }
    const QList<engine::Money> sums = journal.sumMoney(
        {desk::columns::DinarsIn, desk::columns::DinarsOut, desk::columns::EurosIn,
         desk::columns::EurosOut});
    return {sums.at(0) - sums.at(1), sums.at(2) - sums.at(3), false};
}

Balances after(engine::Table &journal, qint64 id, const Balances &at)
{
    const int in[2] = {journal.fieldIndex(desk::columns::DinarsIn),
                       journal.fieldIndex(desk::columns::EurosIn)};
    const int out[2] = {journal.fieldIndex(desk::columns::DinarsOut),
                        journal.fieldIndex(desk::columns::EurosOut)};
    qint64 change[2] = {0, 0};
    bool seen = false;
    const auto amount = [](const engine::RecordView &r, int field) {
        return r.isNull(field) ? 0 : r.integer(field);
    };
    journal.scanAfter(id - 1, [&](qint64 recordId, const engine::RecordView &r) {
        if (recordId == id) {
            seen = true;
            return;
        }
        for (int c = 0; c < 2; ++c)
            change[c] += amount(r, in[c]) - amount(r, out[c]);
    });
    if (!seen)
        return current(journal);
    return {at.dinars + engine::Money::fromHundredths(change[0]),
            at.euros + engine::Money::fromHundredths(change[1]), true};
}

} // namespace journal_balances
