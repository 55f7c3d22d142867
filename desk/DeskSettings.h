#pragma once

// The settings every desk of a journal shares, kept beside the journal in the same store so
// that all desks on a server see the same ones:
//
//   dorvanta_postavke (KLJUC, VREDNOST)   one row per setting that was ever set
//
//   LIMITDIN, LIMITEUR  the cash limit (blagajnicki maksimum) per currency, money text;
//                       0 or missing: no limit
//   SLEPIPOPIS          "1": a blind count (the book balance is shown only after the count)
//   NALOGPOSLE          "1": the voucher is shown right after each posting
//
// Reading a setting of a journal whose table is missing gives its default; writing makes the
// table.

#include "Posting.h"

#include "engine/Money.h"

#include <QString>

namespace engine {
class Table;
}

namespace desk::settings {

struct Shared
{
    engine::Money limitDinars;
    engine::Money limitEuros;
    bool blindCount = false;
    bool voucherAfterPosting = false;
    engine::Money limit(Currency currency) const
    {
        return currency == Currency::Euros ? limitEuros : limitDinars;
    }
};

// Makes the table when it is missing (inside the caller's transaction).
void createTable(engine::Table &journal);

// The shared settings of the open journal (defaults for what is not set).
Shared read(engine::Table &journal);

// Stores `shared` in a transaction of its own and logs who changed what; a negative limit is
// refused.
void write(engine::Table &journal, const Shared &shared, const QString &who);

// When a receipt of `amount` in `currency` takes the balance `balance` over the limit of
// `shared`: the question to ask ("Stanje kase ce preci blagajnicki maksimum od N DIN. Visak
// uplatite u banku. Da li ste sigurni?"); empty otherwise.
QString limitQuestion(const Shared &shared, Currency currency, engine::Money balance,
                      engine::Money amount);

} // namespace desk::settings
