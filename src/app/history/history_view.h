#pragma once

#include <string>
#include <vector>

#include "app/shell/callbacks.h"
#include "history/history_store.h"

namespace keelsong {

class Program;

// The records "History…" shows, newest first: the connected unit's, or every unit's while no
// unit is identified. `title` says which. Fails with the store's problem when it cannot be read.
HistoryOutcome HistoryToShow(Program& program, std::vector<HistoryRecord>& records,
                             std::string& title);

// The most recent `count` changes made to the connected unit, newest first; none when no unit
// is identified or the history cannot be read.
std::vector<HistoryRecord> LatestChanges(Program& program, int count);

// Reads the records and hands them to the window's viewer; a store that cannot be read is told
// in the status line.
int ShowHistoryCB(Program& program, const CallbackEvent& event);  // MAIN HISTORY

}  // namespace keelsong
