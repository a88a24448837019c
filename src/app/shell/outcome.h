#pragma once

#include <string>
#include <utility>

namespace keelsong {

// How one operation ended, handed back to its caller: ok, with the last thing it told on the
// way (what it ended on), or failed, with the message that tells the user why. The status line,
// the pop-ups and keelsong-cli's line each show it; none of them is where a caller learns it.
struct Outcome {
    bool ok = false;
    std::string message;
    // A failure's cause, where a caller tells causes apart (a row that cannot be sent, an update
    // that never began); 0 when ok, -1 when nothing more is said.
    int code = 0;

    static Outcome Done(std::string message = {}) { return {true, std::move(message), 0}; }
    static Outcome Failed(std::string message, int code = -1) {
        return {false, std::move(message), code};
    }
};

}  // namespace keelsong
