#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/link/frame_trace.h"
#include "app/state/program.h"
#include "gui/event_loop_platform.h"
#include "gui/fleet_window.h"
#include "gui/qt_ui.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"

namespace keelsong {

// The desktop program around one Program: the machine's platform and serial ports, the
// window, and start-up in its fixed order. Needs a QApplication.
class DesktopProgram {
  public:
    // Makes the default working folder, then loads the panels.
    DesktopProgram();
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // Whether every control of every panel was found in the forms.
    bool PanelsLoaded() const { return ui_->MissingControls().empty(); }

    // The rest of start-up once the panels are there: wiring, the main window, the user
    // settings and the connection attempt they end in, then, when `config_file` names one, the
    // loading of that configuration file as "Load" does. The settings' load result.
    int Start(const std::string& config_file = {});
    // From now on every frame of the link goes to a trace in `path` as well, whose header
    // names the program started as `command_line` and the serial devices present. Empty on
    // success, otherwise why the file cannot be written.
    std::string TraceTo(const std::string& path, std::vector<std::string> command_line = {});
    // "Fleet…": shows the fleet window, made the first time.
    void ShowFleet();
    // After the event loop: waits for any task of the fleet's still under way and closes the
    // port.
    void ShutDown();

    QtUi& Window() { return *ui_; }
    Program& Logic() { return *program_; }

  private:
    PosixPlatform platform_;
    // What the program's logic gets: pauses that keep the window painted.
    EventLoopPlatform window_platform_{platform_};
    std::string default_folder_;
    std::unique_ptr<QtUi> ui_;
    PosixSerialPort port_;
    std::unique_ptr<FileFrameTrace> trace_;  // outlives the program's link
    std::unique_ptr<Program> program_;
    std::unique_ptr<FleetWindow> fleet_window_;
};

// What the desktop knows the program by, for every window: its application id (the desktop
// entry's name) and its icon. Needs a QApplication.
inline constexpr char kApplicationId[] = "com.vantrel.Keelsong";
void SetDesktopIdentity();

// The whole program: the command line, start-up, the event loop, shut-down. The exit status is
// 0 after a quit or after --help and --version, 1 when start-up failed, so that a failed start
// is never reported as success, and 2 for a command line it does not understand.
int RunKeelsong(int& argc, char** argv);

}  // namespace keelsong
