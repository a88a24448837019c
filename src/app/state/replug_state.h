#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/state/contents_origin.h"
#include "platform/serial_port.h"

namespace keelsong {

// A unit whose serial device went away while connected (its cable pulled) is disconnected at
// once, keeping every unsent edit, and watched for until it is plugged in again, perhaps under
// another device name and port number.
struct ReplugWatch {
    // The device of the connected unit, for the message when it goes away.
    std::string connected_device;
    // The unit watched for; empty when nothing is watched.
    std::optional<UnitKey> unit;
    std::string unit_name;  // "Orvane HF # 1042"
    std::string lost_text;  // the message that tells the loss
    // The serial devices present at the last look: only those that appear beside them are
    // probed.
    std::vector<PresentPort> known;
    // Newly appeared devices that would not open yet (busy with a program that probes new
    // devices, or not yet given their group), with the looks left to try them again.
    std::vector<std::pair<PresentPort, int>> retry;
};

}  // namespace keelsong
