#pragma once

// dorvanta-admin's off-site, numbering and archive commands, beside the others in a parser of
// their own (OffsiteUsage lists them):
//   offsite-init, offsite-list, restore-offsite   the sealed copies kept off the shop
//   numbers                                       a document number marked as given (skipped)
//   archive, verify-archive                       the yearly archive (ArchiveCommands.h)

#include "tools/common/CommandLine.h"

#include <optional>

namespace admin {

extern const char OffsiteUsage[];

// Runs the command when the command line names one of these; nullopt when it is another's.
std::optional<int> runOffsiteCommand(const toolcli::CommandLine &line);

} // namespace admin
