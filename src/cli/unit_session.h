#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/link/frame_trace.h"
#include "app/shell/outcome.h"
#include "app/state/program.h"
#include "cli/paced_platform.h"
#include "cli/unit_report.h"
#include "headless/headless_ui.h"
#include "platform/port_directory.h"
#include "platform/posix_platform.h"

namespace keelsong::cli {

// What every unit of one command line shares, read-only once the units run.
struct FleetSettings {
    std::string settings_folder;  // holds ports/
    std::string device_folder = "/dev";
    PosixPlatform::Environment environment;
    uint32_t timeout_ms = 600;
    // The run's protocol trace (--trace), which every unit's link writes to; nullptr for none.
    FileFrameTrace* trace = nullptr;
    // Share of their length that the logic's pauses take (see CliEnvironment).
    double pause_scale = 1.0;

    PortDirectory Ports() const { return PortDirectory(settings_folder, device_folder); }
};

// Which unit: a port number, or a device path standing in for one.
struct UnitTarget {
    std::optional<int> port;
    std::string device_path;
};

// Receives what a unit is doing now, for the progress display; called on the unit's thread.
using ProgressSink = std::function<void(const std::string& text)>;

// One unit's own program: a Program with its HeadlessUi, platform and serial port, set up as the
// window sets up its logic, nothing shared with any other unit. The window's operations run on
// it; nothing is read back off its HeadlessUi, which only stands in for a window.
class UnitSession {
  public:
    UnitSession(const FleetSettings& settings, const UnitTarget& target, ProgressSink progress);
    ~UnitSession();
    UnitSession(const UnitSession&) = delete;
    UnitSession& operator=(const UnitSession&) = delete;

    Program& Logic() { return *program_; }
    const UnitTarget& Target() const { return target_; }

    // "Manual Connect" on the target, without the pop-up.
    Outcome Connect();
    // Opens the target and enquires the unit there, as one step of "Find All Units".
    int Probe();

    // The report so far: port, device and, once identified, the unit and its identity fields.
    UnitReport Report() const;

  private:
    FleetSettings settings_;
    UnitTarget target_;
    HeadlessUi ui_;
    PosixPlatform machine_;
    PacedPlatform platform_;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<FrameTrace> trace_;
    std::unique_ptr<Program> program_;
    // What the service history could not record, for standard error.
    std::vector<std::string> warnings_;
};

// Runs one unit's job; whatever escapes it becomes that unit's failure, so that one unit's job
// never ends the others'.
std::optional<UnitReport> Guarded(const UnitTarget& target,
                                  const std::function<std::optional<UnitReport>()>& job);

}  // namespace keelsong::cli
