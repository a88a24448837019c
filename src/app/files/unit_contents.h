#pragma once

#include "files/config_file_read.h"

namespace keelsong {

class Program;

// What the connected unit holds as the program last read it, in the form a file is read into:
// the grid's events numbered as a save numbers them, and the setup remembered from the unit,
// only the fields its setup form carries.
ConfigFileContents UnitContents(Program& program);

}  // namespace keelsong
