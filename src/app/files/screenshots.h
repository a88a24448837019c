#pragma once

#include <cstdint>
#include <string>

#include "app/shell/callbacks.h"
#include "platform/platform.h"

namespace keelsong {

class Program;

// The " Screenshot " group: a picture of the whole MAIN panel saved as PNG into the screenshot
// folder (the "Screenshot Path" setting), named after the unit and the local date and time.

// "<folder>/Keelsong_Unit<serial>_<yymmdd>_<hhmmss>.png": the serial number unpadded, every
// date and time field two digits. An empty folder gives the bare name.
std::string ScreenshotFileName(const std::string& folder, uint32_t serial_number,
                               const CalendarTime& local);

// Lets the user choose the screenshot folder; a choice counts for the rest of the run.
int SetScreenshotFolderCB(Program& program, const CallbackEvent& event);  // SETSCREENSHOTFOLDER

// Saves the picture. The first time in a run it asks for the folder first, starting from the
// remembered one; cancelling that saves nothing and says nothing.
int SaveScreenShotCB(Program& program, const CallbackEvent& event);  // SCREENSHOT

}  // namespace keelsong
