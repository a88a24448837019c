#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/event_record.h"

namespace keelsong {

class Program;
class EventGridModel;
struct UnitContext;

// The event table's rows as the rest of the program uses them: rows set up for an event
// type, and the conversions between a row and an EventRecord. Rows are numbered from 1.

// Inserts an empty row ("None") at `row`; the rows from there down move one place. -1 when
// the grid already holds 40 rows (after telling the user) or `row` lies outside 1 to the
// number of rows + 1.
int InsertEventRow(Program& program, uint8_t row);

// The Type choices a new row offers: "Click" only where the unit's setup format has it.
std::vector<std::string> TypeRingItems(const Program& program);

// Sets the row up for `type` with that type's default values: the Duration cell's kind, the
// Unit text and whether the user may choose it, the values, and which cells are dimmed.
void SetRowType(Program& program, int32_t type, int row);
// Gives the Duration cell the kind and range of `type` and shows the matching Unit text. The
// value stays, brought into the new kind and range.
void SetDurationUnit(Program& program, int32_t type, int row);
// Dims the cells that `type` does not use.
void SetRowDimming(Program& program, int32_t type, int row);

// The row's values as the conversions read them.
RowValues ReadRowValues(const EventGridModel& grid, int row);
// The row's event type; fills the body fields that type carries.
int32_t RowToEvent(Program& program, EventBody& body, int row);
// Shows an event in `row`, adding the row when the grid is shorter. Events the connected unit
// cannot hold show as an empty row.
void EventToRow(Program& program, const EventBody& body, int32_t type, uint8_t row);

// The rows that would not go to the unit the grid goes by as they went to a unit of type
// `made_for`: those that show an event but convert to none (a type read from a file that no
// unit plays, shown as "?"), which sending would leave out, and those whose event changes (a
// tone counted in seconds becomes one counted in cycles). For `made_for` the grid's own type,
// only the first kind.
std::vector<int> RowsNotAsMadeFor(Program& program, int made_for);
// The first row that shows an event but converts to none; nullopt when every row converts.
std::optional<int> FirstUnsendableRow(Program& program);

// The rows (from 1) of `events` that a grid going by `unit` would not show as they are: an
// event such a unit does not play, a value outside its ranges. The program's grid is left as
// it is.
std::vector<int> RowsNotHeldBy(Program& program, const UnitContext& unit,
                               std::span<const EventRecord> events);

// Makes the grid show exactly these events, one row each (at most 40), as EventToRow would.
// The rows are built aside and swapped in: running out of memory on the way leaves the grid
// as it was.
void ReplaceGridEvents(Program& program, std::span<const EventRecord> events);

// Deletes every row.
void EmptyEventGrid(Program& program);

}  // namespace keelsong
