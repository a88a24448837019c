#pragma once

#include <string>

#include "app/callbacks.h"

namespace keelsong {

class Program;

// The "Configuration File" group: the event table and the setup controls saved to a ".tlk"
// file and loaded back, and the older binary event-table file loaded. Loading only changes what
// the program shows; "Accept Changes" sends it. Both callbacks act on the commit event only,
// start their file dialog from the "Config Path" setting and leave the chosen file's path there.

// Asks for a file name, then writes the grid's events and the six setup fields as a ".tlk"
// through a temporary file, so that a failed save leaves any earlier file whole.
int ConfigFileSaveCB(Program& program, const CallbackEvent& event);  // MAIN STORE_EVENTS

// Asks for an existing file and loads it under the wait cursor. A ".tlk" replaces the grid and
// shows its setup fields (not remembered as the unit's setup), then marks both changed; an
// older binary file replaces only the grid and marks nothing. A file that cannot be read
// whole changes neither the grid nor the setup controls.
int ConfigFileLoadCB(Program& program, const CallbackEvent& event);  // MAIN LOAD_EVENTS

// Loads the file at `path` as "Load" does once a file is chosen, with the same messages, and
// leaves the path in the "Config Path" setting: `keelsong FILE` after start-up.
void LoadConfigFileFrom(Program& program, const std::string& path);

}  // namespace keelsong
