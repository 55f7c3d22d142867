#pragma once

// CashBookTables: making the cash book's tables beside the journal and keeping them in order:
// a desk's prepare() at its login, the administrator's tidy(). It makes every side table of
// the store (the chain's, the counts', the settings', the rates'), so it stands above them.

#include <QString>

namespace engine {
class Table;
}

namespace desk::cashbook {

// Makes the tables when they are missing, drops the numbers of records that are gone when
// there are any (a journal emptied by an older version) and numbers every record that has
// none, in stored order, each in its kind and the year of its date, after the numbers already
// given. After the program's own acts it only reads and appends (a desk runs it at its login,
// and the desks' role on a server may do no more). In one transaction of its own (the journal must have none open). Returns how many
// records got a number.
int prepare(engine::Table &journal);

// prepare() on the journal of the data directory `dir` (its podaci/promet.db, on either store)
// opened with `password`; false on a failure, with the engine's text in `error`.
[[nodiscard]] bool prepareDirectory(const QString &dir, const QString &password,
                                    QString *error = nullptr);

// The administrator's tidying, which needs the rights to change and delete rows: drops the
// numbers of records that are gone (after a clear or a restore) and folds the numbers given
// since into the counters. In one transaction of its own. A restore (carryOver) tidies; the
// server's set-up (dorvanta-init --roles) runs tidyDirectory().
void tidy(engine::Table &journal);
// tidy(), then prepare(), on the journal of the data directory `dir`, as prepareDirectory().
[[nodiscard]] bool tidyDirectory(const QString &dir, const QString &password,
                                 QString *error = nullptr);

// Inside desk: makes the cash book's tables and every side table when missing (inside the
// caller's transaction); and, with the administrator's rights, drops the numbers of records
// that are gone and folds the numbers given since the last tidying into the counters.
void createTables(engine::Table &journal);
void tidyTables(engine::Table &journal);

} // namespace desk::cashbook
