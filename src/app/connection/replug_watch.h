#pragma once

#include "app/state/replug_state.h"

namespace keelsong {

class Program;

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
