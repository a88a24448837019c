#pragma once

#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"

namespace keelsong {

class Program;

// "Accept Changes", and what runs it first: Play with edits pending, and the update or restart
// that brings program and unit together again. Each records itself in the service history;
// each callback acts on the commit event only and returns 0.

// Sends the table if it is marked changed, then the setup if it is, then has an Orvane HF save
// its settings; resumes playback unless the unit was stopped, or was stopped with an enabled
// start time still ahead. A failed table send asks an Orvane HF to restore its saved settings.
// Marks are cleared only for what was sent. A changed table with a row that cannot be sent
// (see FirstUnsendableRow) sends nothing at all and fails with the code kUnsendableRow, naming
// the row. Ends saying what the unit answered to Play when it resumed playback.
inline constexpr int kUnsendableRow = -2;
Outcome AcceptChanges(Program& program);

// The "Accept Changes" button: accepts under the wait cursor, then enquires the unit so that
// the displays show its state after the exchange.
int AcceptChangesCB(Program& program, const CallbackEvent& event);

// After a firmware update or a restart: with `keep_program_contents` sends the whole table and
// the setup back to the unit first; then reads table and setup again. When sending fails the Type
// rings are brought into line with the setup format and nothing is read.
Outcome ResyncAfterUpdate(Program& program, bool keep_program_contents);

// Accepts the pending edits, then plays.
Outcome PlayWithSave(Program& program);

// Play: with edits pending, the AUTO pop-up asks first unless "Save Changes Before Playing" is
// set.
int SendPlayCB(Program& program, const CallbackEvent& event);         // MAIN PLAY
int PlayPopupSaveCB(Program& program, const CallbackEvent& event);    // AUTO YES
int PlayPopupCancelCB(Program& program, const CallbackEvent& event);  // AUTO CANCEL

}  // namespace keelsong
