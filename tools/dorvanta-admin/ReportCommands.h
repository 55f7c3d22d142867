#pragma once

// dorvanta-admin's commands of the shop's papers, beside the others in a parser of their own:
//   settings [--firm TEXT] [--address TEXT] [--pib N] [--mb N] [--paper A4|Letter]
//            --admin-code CODE
//   month-report (--month YYYY-MM | --year YYYY) --pdf FILE

#include "tools/common/CommandLine.h"

#include <optional>

namespace admin {

extern const char ReportUsage[];

// Runs the command when the command line names one of these; nullopt when it is another's.
std::optional<int> runReportCommand(const toolcli::CommandLine &line);

} // namespace admin
