#pragma once

#include <string>

#include "app/shell/status_line.h"

namespace keelsong {

// How one operation ended: ok, with the last thing it told on the way (what it ended on), or
// failed, with the message that tells the user why.
struct Outcome {
    bool ok = false;
    std::string message;
};

// Where an operation tells its failure: on the status line (most do), or in a pop-up (the
// service operations, whose exchanges on the way may fail by design).
enum class ToldIn { StatusLine, Popup };

// Runs an operation that returns 0 on success and tells the user how it went as it goes, and
// hands that outcome back as a value, for a caller that has no window to show it in. `status`
// is the program's, which all its operations tell through.
template <class Operation>
Outcome RunOperation(const StatusLine& status, Operation&& operation,
                     ToldIn told = ToldIn::StatusLine) {
    const StatusLine::Mark mark = status.Now();
    if (operation() == 0) {
        return {true, status.Current()};
    }
    return {false, status.FailureSince(mark, told == ToldIn::Popup)};
}

}  // namespace keelsong
