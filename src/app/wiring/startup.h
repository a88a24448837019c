#pragma once

#include <functional>
#include <string>

#include "app/shell/callbacks.h"

namespace keelsong {

class Platform;
class Program;

// The default working folder below the documents folder, where screenshots and configuration
// files go until the user settings name others.
inline constexpr char kDefaultFolderSuffix[] = "/Vantrel/Keelsong";

// Creates every directory level along `path`, ignoring failures: an existing level is the
// normal case, and a level that cannot be made shows up later when something is saved there.
void MakeDirectoryPath(Platform& platform, const std::string& path);

// The documents folder plus kDefaultFolderSuffix, created along its whole length.
std::string MakeDefaultFolder(Platform& platform);

// Start-up once the panels are loaded, in the program's fixed order: the default folder
// becomes the screenshot and configuration folder, the subsystems tie themselves in, the grid
// gets its context menu and starts empty, the battery gauge its "0%" tooltip, then `display_main`
// shows the main window and the user settings are loaded (which ends in the connection attempt).
// The result of loading the settings; start-up goes on whatever it is.
int StartProgram(Program& program, const std::string& default_folder,
                 const std::function<void()>& display_main);

// After the event loop ended: closes the port if it is open.
void ShutDownProgram(Program& program);

// The QUIT button (commit only). With a unit connected and unsent edits it asks "Save changes
// before closing?"; "Save" accepts the changes first and stays in the program if that fails
// (-1), "Cancel" stays (0). Otherwise the settings are saved and the event loop ends.
int QuitCB(Program& program, const CallbackEvent& event);

}  // namespace keelsong
