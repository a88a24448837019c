#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/unit/contents_origin.h"
#include "platform/serial_port.h"

namespace keelsong {

class Program;

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

// Remembers which device the unit just connected on, and ends any watch.
void NoteConnectedDevice(Program& program);

// Ends the watch: the user connected elsewhere, or searched.
void StopReplugWatch(Program& program);

// The one reaction to a lost device: when the link lost the connected unit's device, shows the
// not-connected state as a disconnection does, tells in the status line which device went
// away, and starts watching for the unit. Edits and change marks stay. Runs after each
// callback and on each timer tick, never inside an operation that talks to the unit.
void HandleLostDevice(Program& program);

// The one-second timer's look at the link: notices a device that hung up while idle, reacts
// to a lost device, and while watching probes the serial devices that appeared since the last
// look, reconnecting to the lost unit when one of them answers as it. Devices that were there
// already are never opened.
void WatchLink(Program& program);

}  // namespace keelsong
