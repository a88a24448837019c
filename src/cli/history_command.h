#pragma once

#include <string>

#include "cli/cli.h"
#include "cli/cli_options.h"
#include "history/history_store.h"

namespace keelsong::cli {

// One record as a tab-separated line: time (UTC), user, program, type, serial, firmware
// ("before>after" where it changed), operation, file, SHA-256 of the file, SHA-256 of the
// contents afterwards, "ok" or "failed", message; "-" for what is not known.
std::string FormatHistoryLine(const HistoryRecord& record);

// One record as a JSON object on one line, with null for what is not known.
std::string FormatHistoryJson(const HistoryRecord& record);

// "history": the service history's records, newest first, those of the --serial given and
// since the --since date only. The exit status; a store that cannot be read is told on
// standard error.
int RunHistoryCommand(const CliRequest& request, const CliEnvironment& environment);

}  // namespace keelsong::cli
