#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shell/outcome.h"
#include "app/state/service_records.h"
#include "history/history_store.h"

namespace keelsong {

class Platform;
class Program;

// The service history's file under the platform's data folder; empty when the platform keeps
// no data (then nothing is recorded).
std::string HistoryPath(const Platform& platform);

// Runs `run`, an operation that changes the unit, and records its outcome, failed or not, with
// the unit before and after it and `file` (empty for none) with the SHA-256 of its contents.
// An operation run inside another recorded one belongs to that one's record. A record that
// cannot be written is told, and never changes the outcome.
Outcome RecordOperation(Program& program, std::string_view operation, const std::string& file,
                        const std::function<Outcome()>& run);

// "Accept Changes" recorded with the configuration file the changes came from, if any.
Outcome RecordAcceptChanges(Program& program, const std::function<Outcome()>& run);

}  // namespace keelsong
