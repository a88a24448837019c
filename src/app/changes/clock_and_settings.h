#pragma once

#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"

namespace keelsong {

class Program;

// The unit's clock and saved settings, changed and recorded in the service history.

// Sets the unit's clock from the PC's and shows the unit's time of day it answers.
Outcome SyncPCTimeToInstrument(Program& program);
int SyncPCTimeToInstrumentCB(Program& program, const CallbackEvent& event);  // SET_INSTRUMENT_TIME

// An Orvane HF goes back to its saved table and setup; other units have no such store and
// succeed without any exchange.
Outcome RestoreUnitSettings(Program& program);

}  // namespace keelsong
