#pragma once

// dorvanta-admin's commands for the money beyond the till, beside the others in a parser of
// their own:
//   rates --import FILE [--force]            an NBS middle rate list (XML)
//   rates --set YYYY-MM-DD CURRENCY RATE [--force]   a rate typed for a day
//   rates --show YYYY-MM-DD                  the euro rate that applies on a day
//   deposit --date YYYY-MM-DD --amount AMOUNT --slip NUMBER --admin-code CODE [--group GROUP]
//   deposits [--date YYYY-MM-DD]             the receipts not deposited in time (status 1 when any)
// A rate that would change a stored one is refused without --force; with it the change is
// logged.

#include "tools/common/CommandLine.h"

#include <optional>

namespace admin {

extern const char RateUsage[];

// Runs the command when the command line names one of these; nullopt when it is another's.
std::optional<int> runRateCommand(const toolcli::CommandLine &line);

} // namespace admin
