#pragma once

#include <cstdint>

#include "protocol/event_record.h"

namespace keelsong {

class Program;

// The three single-event exchanges with the unit. Each blocks until the transaction ends,
// tells its outcome in the status line and returns the unit's result code (event_result),
// or 1 when no valid answer came. An answer too short to carry the unit's index byte is taken
// to be about the index asked for.

// Sends one event to be stored at `index`. A type outside 1-5 is not sent: Invalid Type.
uint16_t AddUnitEvent(Program& program, const EventRecord& record, uint8_t index);

// Reads the event at `index` into grid row index + 1 and moves the transfer mark there. When
// the unit's table ends before `index`, the grid rows from that row on are deleted. An event
// the grid cannot show where the unit places it, past its 40 rows (Too Many Events) or beyond
// the row after its last (kOutOfOrder), leaves the grid alone and is told as a failure.
uint16_t EnquireUnitEvent(Program& program, uint8_t index);

// Removes the event at `index`; the unit closes the gap. "Does not Exist" is no failure: it
// tells that the table is empty from there on.
uint16_t RemoveUnitEvent(Program& program, uint8_t index);

}  // namespace keelsong
