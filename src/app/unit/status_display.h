#pragma once

#include <string>

#include "app/shell/callbacks.h"

namespace keelsong {

class Program;

// The live picture of the PC clock and of the connected unit on MAIN (the one-second timer,
// connection/one_second_timer.h, keeps it current).

// DATE ("7 Dec.2026") and TIME ("14:05:09") from the PC's local clock.
void ShowDateAndTime(Program& program);

// Reads temperature and humidity (Orvane HF with normal firmware) into TEMP_HUMI. 0 when the
// unit answered or nothing was asked, -1 when the exchange failed (TEMP_HUMI kept as it was).
int ReadUnitStatus(Program& program);

// What MAIN shows of the connected unit's state, as text; a part MAIN hides for this unit (the
// battery of a unit without a clock) is empty. keelsong-cli info prints it.
struct LiveState {
    std::string battery;  // the gauge's tooltip ("85%")
    bool charging = false;
    std::string sync;
    std::string play;     // PLAY_CODE_MSG
    std::string climate;  // TEMP_HUMI, as the last status read gave it
};
LiveState LiveStateOf(Program& program);

// TEMP_HUMI, remembered as the unit's: the text of the last status read, empty for none.
void ShowClimate(Program& program, std::string text);

// The battery gauge with its tooltip and the charging indicator, from the identity.
void ShowBatteryState(Program& program);
// The synchronisation indicator with its tooltip, from the identity.
void ShowSyncState(Program& program);
// The play-state text (a countdown while waiting for the start time) and, with live state,
// which of PLAY and STOP can be pressed. `state` counts by its low 8 bits.
void ShowPlayState(Program& program, int state);
// What MAIN shows when no unit is connected; forgets the unit's serial number and type.
void ShowNoConnection(Program& program);

}  // namespace keelsong
