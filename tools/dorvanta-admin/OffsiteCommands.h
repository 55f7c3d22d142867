#pragma once

// dorvanta-admin's off-site commands, beside the others in a parser of their own:
//   offsite-init [--folder PATH] [--ftp] [--key-text TEXT]
//   offsite-list [--folder PATH]
//   restore-offsite NAME --admin-code CODE [--key-text TEXT] [--folder PATH] [--change-closed-days]

#include "tools/common/CommandLine.h"

#include <optional>

namespace admin {

extern const char OffsiteUsage[];

// Runs the command when the command line names one of these; nullopt when it is another's.
std::optional<int> runOffsiteCommand(const toolcli::CommandLine &line);

} // namespace admin
