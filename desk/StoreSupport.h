#pragma once

// StoreSupport: the few helpers every part of the cash book beside the journal shares: an
// amount as the side tables store it (hundredths, NULL for none), a transaction around a piece
// of work, and the date form the cash book's texts show. Inside desk only.

#include "engine/Money.h"
#include "engine/Table.h"
#include "engine/Transaction.h"

#include <QString>
#include <QVariant>

#include <type_traits>

namespace desk {

// The date form of the cash book's texts ("07/12/2026").
inline const QString DateShown = QStringLiteral("dd/MM/yyyy");

// An amount stored in hundredths; a NULL is no amount (zero).
inline engine::Money money(const QVariant &v)
{
    return v.isNull() ? engine::Money() : engine::Money::fromHundredths(v.toLongLong());
}

// Runs `work` in a transaction of the journal: committed when it returns (with what it
// returns), rolled back when it throws.
template<typename Work>
auto inTransaction(engine::Table &journal, Work work)
{
    engine::Transaction transaction(journal);
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        transaction.commit();
    } else {
        auto result = work();
        transaction.commit();
        return result;
    }
}

} // namespace desk
