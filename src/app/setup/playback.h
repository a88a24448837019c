#pragma once

#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"

namespace keelsong {

class Program;

// The short commands that drive the unit from MAIN (Play, Stop, Undo Changes) and the
// housekeeping that the transfer and the connection use; what of them changes the unit is
// recorded in changes/. Each operation tells its outcome in the status line and
// returns it; each callback acts on the commit event only and returns 0.

// Sends Play and shows the unit's answer in the play-state display and the status line.
Outcome PlayUnit(Program& program);

// Sends Stop and shows the stopped state; no question asked (SendStopCB asks first when the
// unit waits for its start time).
Outcome StopUnit(Program& program);

// Sets the unit's clock from the PC's and shows the unit's time of day it answers (unrecorded:
// SyncPCTimeToInstrument records it).
Outcome SetUnitClockToPc(Program& program);

// An Orvane HF saves its table and setup, or goes back to the saved ones; other units have no
// such store and succeed without any exchange. The restore is unrecorded (RestoreUnitSettings
// records it).
Outcome SaveUnitSettings(Program& program);
Outcome SendRestoreSettings(Program& program);

// Empties the grid and reads the unit's table, then its setup. A part that could not be read
// is marked changed, so that Accept and Undo stay usable; the setup is not read after a
// failed table.
Outcome RetrieveTableAndSetup(Program& program);

// What connecting, and finding a different unit attached, read: RetrieveTableAndSetup, except
// that a part holding edits not yet sent to this same unit is kept, still marked changed, so
// that a connection lost in the middle of "Accept Changes" loses nothing the user edited.
Outcome ReloadUnitContents(Program& program);

// Reads back from the unit whatever is marked changed.
Outcome UndoAllChanges(Program& program);

int SendStopCB(Program& program, const CallbackEvent& event);     // MAIN STOP
int UndoChangesCB(Program& program, const CallbackEvent& event);  // UNDO_CHANGES

}  // namespace keelsong
