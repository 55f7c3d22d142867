#pragma once

// The journal's balances (dinars and euros: every receipt less every payment). Every record
// carries the running balances of the journal up to and including it, so the last record's
// are the journal's when they can be trusted: when the record chain vouches for the last
// record. Otherwise (no chain, a journal changed outside the program, a record whose balances
// do not follow from its predecessor's) they are summed over the whole journal, which is
// always right and takes time in the number of records.

#include "engine/Money.h"

namespace engine {
class Table;
}

namespace journal_balances {

struct Balances
{
    engine::Money dinars;
    engine::Money euros;
    bool fromLastRecord = false; // for tests and measurements: which way they were found
};

// The balances of the open journal table, read in its connection (so inside its transaction
// and under its write lock when one is held). Throws the engine's error.
Balances current(engine::Table &journal);

// The balances of the open journal after the record `id` whose running balances are `at`:
// `at` plus the amounts of the records stored after it, read in time of those records. For
// the refresh right after a posting, whose balances were the journal's under its write lock.
// Falls back to current() when there is no record `id` any more.
Balances after(engine::Table &journal, qint64 id, const Balances &at);

} // namespace journal_balances
