#pragma once

#include <cstdint>

#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"

namespace keelsong {

class Program;

// The whole event table between the grid and the unit, one event per exchange, and "Accept
// Changes". Each step tells its progress in the status line and in MAIN's progress bar, and
// moves the transfer mark down the grid; the window paints it in the pause of the exchange that
// follows. The wait cursor is the callers'.

// Reads the unit's table into the grid from index 0 until the unit says the table has ended.
// The grid is not emptied first: "Does not Exist" deletes the rows beyond the unit's table,
// "Past End of Table" leaves them. 0 when read to the end; otherwise the failed enquiry's
// code (1 when the unit did not answer), with the rows read so far kept. A unit that still
// answers an event past the grid's 40 rows gets Too Many Events.
uint16_t RetrieveEventTable(Program& program);
// The same, also telling how many events were read before the table ended or the read failed.
uint16_t RetrieveEventTable(Program& program, int& events_read);

// Reads the unit's table over the grid as RetrieveEventTable does and, when it was read to its
// end, drops the grid rows beyond it, whichever way the unit said the table ended: the grid
// then holds the unit's table and nothing else. "Undo Changes" and "Refresh Table".
uint16_t RereadEventTable(Program& program);

// Empties the unit's table, then adds every non-empty row in grid order at consecutive unit
// indices. A failure's code is that of the exchange that failed (1 when the unit did not answer);
// after a failed add the events before it stay in the unit.
Outcome SendEventTable(Program& program);

// Sends the table if it is marked changed, then the setup if it is, then has an Orvane HF save
// its settings; resumes playback unless the unit was stopped, or was stopped with an enabled
// start time still ahead. A failed table send asks an Orvane HF to restore its saved settings.
// Marks are cleared only for what was sent. A changed table with a row that cannot be sent
// (see FirstUnsendableRow) sends nothing at all and fails with the code kUnsendableRow, naming
// the row. Ends saying what the unit answered to Play when it resumed playback.
inline constexpr int kUnsendableRow = -2;
Outcome AcceptChanges(Program& program);

// The "Accept Changes" button (commit only): accepts under the wait cursor, then enquires the
// unit so that the displays show its state after the exchange. Returns 0.
int AcceptChangesCB(Program& program, const CallbackEvent& event);

// After a firmware update or a restart: with `keep_program_contents` sends the whole table and
// the setup back to the unit first; then reads table and setup again. When sending fails the Type
// rings are brought into line with the setup format and nothing is read.
Outcome ResyncAfterUpdate(Program& program, bool keep_program_contents);

}  // namespace keelsong
