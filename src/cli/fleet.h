// The units on the machine's ports as one fleet, for a window that must never wait on a unit:
// each unit is worked by a thread of its own with its own program (a UnitSession), running the
// same commands keelsong-cli runs, and the window reads the rows the threads keep up to date.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/deployment_manifest.h"
#include "cli/unit_commands.h"
#include "cli/unit_session.h"
#include "platform/serial_port.h"

namespace keelsong::cli {

// What can be done to the chosen units of a fleet.
enum class FleetTask {
    Look,             // identify the unit, read its live state, compare it with the deployment
    WriteDeployment,  // write its file of the deployment, verified
    SetTime,          // set its clock to the computer's
    UpdateFirmware,   // with the update's rails: battery, backup, table kept
    ReadToFiles,      // read its table and setup into a file of the folder given
};

// What a task needs beyond its units.
struct FleetTaskOptions {
    std::string firmware_image;  // UpdateFirmware's image
    std::string folder;          // ReadToFiles: each unit's file is <folder>/unit<serial>.tlk
};

// A port with a serial device, and what is known of the unit there.
struct FleetRow {
    int port = 0;
    std::string device;  // its /dev/serial/by-id name where it has one
    // From the unit's last look; empty (or none) until a unit answered there.
    std::string type;
    std::optional<uint16_t> serial;
    std::string firmware;
    bool admin_mode = false;
    std::string battery;
    std::optional<int64_t> clock_offset_s;  // the computer's clock less the unit's
    std::string play_state;
    // Against the deployment: "matches", "differs (n)" or "not in manifest"; empty while there
    // is none or it is not known.
    std::string deployment;
    std::string progress;  // what its thread is doing now; empty while none runs
    std::string outcome;   // how its last task ended: what it did, or why it failed
    bool failed = false;   // the outcome is a failure
    bool busy = false;     // a task runs
    bool held = false;     // the main window has the unit: the fleet leaves it alone
};

class Fleet {
  public:
    explicit Fleet(FleetSettings settings);
    // Waits for every task under way.
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Brings the rows up to the ports present: a port with a new device gets a row and its unit
    // is looked at; a row whose device went (or was made anew) goes once its task is over. Lists
    // folders only: never waits on a unit.
    void Scan();

    // Takes a deployment: a manifest (".csv") or one configuration file for every unit. Every
    // idle unit is then compared with it. Empty on success, else every problem found, and the
    // deployment chosen before stays.
    std::vector<std::string> ChooseDeployment(const std::string& path);
    std::string DeploymentPath() const;
    // Whether the deployment is a manifest, which may leave units out.
    bool DeploymentIsManifest() const;

    // Starts `task` on the rows of `ports`, each on its own thread. A row at work, held by the
    // main window or (but for Look) without an identified unit is passed over. The rows started.
    std::vector<int> Start(FleetTask task, const std::vector<int>& ports,
                           const FleetTaskOptions& options = {});

    // The ports the main window has open or is opening, which the fleet must not touch. A port
    // let go is looked at again: the window may have changed its unit.
    void Hold(const std::set<int>& ports);

    std::vector<FleetRow> Rows() const;
    // Changes whenever a row does.
    uint64_t Version() const;
    // Whether any task runs.
    bool Busy() const;

  private:
    struct Slot {
        FleetRow row;
        PresentPort present;
        std::thread worker;
    };
    // What one task works with, fixed when it starts whatever is chosen meanwhile.
    struct TaskInputs {
        FleetTask task = FleetTask::Look;
        FleetTaskOptions options;
        std::shared_ptr<const Deployment> deployment;  // a manifest's
        std::shared_ptr<const DeploymentFile> file;    // one file for every unit
        std::shared_ptr<FileClaims> claims;
    };

    // Under mutex_: the inputs of a task started now.
    TaskInputs InputsFor(FleetTask task, const FleetTaskOptions& options) const;
    // Under mutex_: starts the task on the slot's own thread.
    void Launch(Slot& slot, TaskInputs inputs);
    // Under mutex_: joins the threads of the tasks that are over.
    void Reap();

    // On a row's thread.
    void Work(int port, const TaskInputs& inputs);
    void Look(int port, const TaskInputs& inputs);
    void Compare(int port, const TaskInputs& inputs);
    UnitReport Run(int port, CliRequest request, const TaskInputs& inputs);
    FleetRow RowOf(int port) const;
    template <class Change>
    void Update(int port, Change&& change);

    const FleetSettings settings_;
    mutable std::mutex mutex_;
    std::map<int, Slot> slots_;
    uint64_t version_ = 0;
    std::set<int> held_;
    std::string deployment_path_;
    std::shared_ptr<const Deployment> manifest_;
    std::shared_ptr<const DeploymentFile> file_;
};

// How a row's deployment column reads after check's report.
std::string DeploymentState(const UnitReport& check);

}  // namespace keelsong::cli
