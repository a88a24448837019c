#pragma once

#include "app/shell/callbacks.h"

namespace keelsong {

class Program;

// The one-second timer: shows the PC's date and time, looks at the link (a device that went
// away, a lost unit plugged in again), and every five idle seconds polls the connected unit:
// enquiry and status read. Three failed polls in a row stop the polling until another
// transaction succeeds. Acts on the timer tick only.
int OneSecondCB(Program& program, const CallbackEvent& event);

}  // namespace keelsong
