#pragma once

namespace keelsong {

class Program;

// What follows on MAIN from the value of a setup control, wherever the value comes from: the
// user, the unit, a file, or an undo.

// Selects the sync mode and relabels or dims ENCODE_TIME for it. A value that is no mode is
// reported and changes nothing.
void ShowSyncMode(Program& program, int mode);

// Ticks or clears "Enable:", dims the date and time to match, and marks the setup changed.
void SetStartTimeEnabled(Program& program, bool enabled);
void DimStartTimeControls(Program& program, bool dimmed);

}  // namespace keelsong
