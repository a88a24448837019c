#pragma once

#include <string>
#include <string_view>

namespace keelsong {

class Program;
class EventGridModel;

// The event table as text that spreadsheets give and take: one line per row, the grid's seven
// columns in order (Type, Duration, Unit, Start Freq, End Freq, Level, Phase), separated by tabs
// and written as the grid shows them; a dimmed cell is an empty field.

// Rows `first` to `last`, each line ending in a newline.
std::string CopyEventRows(const EventGridModel& grid, int first, int last);

// Pastes such lines over rows `row`, `row` + 1, ..., adding rows at the end as needed, up to the
// grid's 40. Each line is set as the user's edit of its row would be: the type first, then the
// unit and the numbers of the cells that type uses, each brought into its range (the status
// line names the cells that were); an empty field leaves its cell as the type set it. A number
// may have a point or a comma as its decimal mark. A first line of column titles is a header
// and passed over. All or nothing: a line that cannot be read (an unknown type or unit, a
// number that is no number or could be read two ways, more than seven columns, fields
// separated by commas, a row past the 40th, a header naming other columns) pastes nothing, and
// the status line says which line and why. A paste is one step to undo. True when the rows
// were pasted.
bool PasteEventRows(Program& program, int row, std::string_view text);

}  // namespace keelsong
