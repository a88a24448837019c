#pragma once

#include <string>
#include <string_view>

#include "app/shell/callbacks.h"
#include "protocol/unit_identity.h"

namespace keelsong {

class Program;

// Asks the unit who it is and how it is doing, and brings everything that depends on the
// answer up to date: the identity record, the setup format, the unit's clock, the status
// displays, the controls, the identity line (also in the status line when
// `show_in_status_line`), and a reload when a different unit has been plugged in. Returns
// FirmwareVersion (0 or more), or -1 when no acceptable answer came; the record is then
// unchanged.
int EnquireUnit(Program& program, bool show_in_status_line);

// The buttons of the question that a different unit attached raises while edits are unsent.
inline constexpr std::string_view kKeepEditsButton = "Keep Edits";
inline constexpr std::string_view kReadUnitButton = "Read Unit";

// A different unit was found attached. Without unsent edits: "Unit replaced", then its table
// and setup are read. With edits in the grid or the setup: asks whether to keep them (marked
// changed, for "Accept Changes" to send to this unit) or to read the unit's own over them;
// closing the question keeps them.
void TakeReplacingUnit(Program& program);

// On connecting, before the unit's table and setup are read: when the grid holds edits that
// were made for another unit or type, or come from a file, and not for this unit (a file opened
// at a desk, edits kept after the last unit went), asks before reading over them. Kept, they are
// marked for this unit for "Accept Changes" to send, and the status line names the rows this unit
// cannot take as they stand when `edits_type`, the type they were made for, is another. true when
// kept (nothing is to be read); false when there was nothing to ask or the unit's contents are to
// be read.
bool KeepEditsOnConnecting(Program& program, int edits_type);

// Compares the unit's clock with the PC's (Orvane HF from firmware 2.0.0) and sets it from the
// PC when its clock mode asks for that, or when it is more than 30 days out. A failed exchange
// keeps the last measured offset and says nothing.
void SyncUnitClock(Program& program);

// "Orvane HF # 1042 Firmware v2.1.4"; without the firmware part before any enquiry succeeded.
std::string IdentityText(const UnitIdentity& identity);

// Shows the identity line in DEVICE and, when asked, in the status line; hands it to the unit
// type limits.
void ShowIdentity(Program& program, bool show_in_status_line);

// The MAIN panel's Enquire button: shows the newer-firmware warning again if it applies,
// enquires with the identity in the status line, and reads the unit status.
int SendEnquireCB(Program& program, const CallbackEvent& event);

}  // namespace keelsong
