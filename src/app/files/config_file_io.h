#pragma once

#include <string>

#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"
#include "files/config_file_read.h"
#include "files/ini.h"

namespace keelsong {

class Program;

// The "Configuration File" group: the event table and the setup controls saved to a ".tlk"
// file and loaded back, and the older binary event-table file loaded. Loading only changes what
// the program shows; "Accept Changes" sends it. Both callbacks act on the commit event only,
// start their file dialog from the "Config Path" setting and leave the chosen file's path there.

// Puts the grid's events (numbered as saved, empty rows left out) and the six setup fields as
// the setup controls show them into `document`, as a save writes them. 0, or the INI layer's
// negative code.
int PutConfiguration(Program& program, IniDocument& document);

// Writes the configuration to `path` through a temporary file, so that a failed save leaves
// any earlier file whole.
Outcome SaveConfigurationFile(Program& program, const std::string& path);
// "Save": asks where, then saves there. Fails when cancelled (told nowhere) or failed (told).
Outcome SaveConfigFile(Program& program);

// Shows what a file holds as a load does: a ".tlk"'s events replace the grid, its setup fields
// show on the setup controls (not remembered as the unit's setup) and both are marked changed;
// an older table replaces only the grid. The grid changes whole or not at all; a failure says
// "Out of system memory".
Outcome ApplyConfiguration(Program& program, const ConfigFileContents& contents);

// Loads the file at `path` as a ".tlk" or an older binary event-table file (see
// ConfigFileLoadCB). On failure nothing changed.
Outcome LoadConfigurationFile(Program& program, const std::string& path);

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
