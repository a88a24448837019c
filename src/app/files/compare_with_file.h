#pragma once

#include "app/shell/callbacks.h"

namespace keelsong {

class Program;

// "Compare With File…": asks for a ".tlk", reads the unit's table and setup as a read always
// does, then shows the unit and the file side by side with the readiness warnings. What the
// user takes from the file becomes an edit (TakeFileValues); nothing is sent. Unsent edits are
// only read over after the user agrees.
int CompareWithFileCB(Program& program, const CallbackEvent& event);  // MAIN COMPARE_FILE

}  // namespace keelsong
