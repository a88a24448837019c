#pragma once

#include <vector>

#include "files/config_file_read.h"

namespace keelsong {

class Program;

// After comparing the unit with a file: puts the file's events of `rows` (numbered from 1)
// into the grid and, with `setup`, the setup fields the file gives onto the setup controls, as
// one edit of the user's: one undo step, the change marks set. Nothing is sent; "Accept
// Changes" does that. A row only the file has brings along the file's rows before it that the
// grid lacks (a table has no gaps); a row only the unit has is removed. 0, or -1 with the
// failure in the status line (then nothing changed).
int TakeFileValues(Program& program, const ConfigFileContents& file, std::vector<int> rows,
                   bool setup);

}  // namespace keelsong
