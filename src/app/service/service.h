#pragma once

#include <cstdint>
#include <string_view>

#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"

namespace keelsong {

// The ADVANCED panel's service buttons that restart the unit: writing a new serial number in
// its loader, and the plain "Reset Unit". Each acts on the commit event only and returns 0.

// The serial number is typed as a text of at most this many characters.
inline constexpr size_t kSerialNumberTextLength = 5;

// Reads a typed serial number as the unit keeps it: leading blanks skipped, an optional sign,
// then the decimal digits up to the first other character (none read as 0), of which the low
// 16 bits are kept ("70000" gives 4464, "-1" gives 65535).
uint16_t SerialNumberFromText(std::string_view text);

// Restarts the unit into its loader, writes `serial`, restarts it into its firmware and tells
// in a message pop-up whether it now reports that number in its application firmware (a unit
// left in its loader is a failure, told with what to do). The table and setup are left as they
// are. Fails unless it does, with the pop-up's text.
Outcome UpdateSerialNumber(Program& program, uint16_t serial);

// Restarts the unit and tells how that went in a message pop-up; then writes the program's
// pending changes into it (`keep_changes`, "Reset and Save") or reads its table and setup
// again. A unit that comes back in its loader is a failed reset; a failed restart says what the
// restart told.
Outcome ResetUnit(Program& program, bool keep_changes);

// UPDATE_SER_NUM: asks for the number, restarts the unit into its loader, writes the number,
// restarts it into its firmware and tells whether it now reports that number. The table and
// setup are left as they are.
int UpdateSerialNumCB(Program& program, const CallbackEvent& event);

// RESET: restarts the unit, then writes the program's pending changes into it ("Reset and
// Save") or reads its table and setup again.
int ResetCB(Program& program, const CallbackEvent& event);

}  // namespace keelsong
