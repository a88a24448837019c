#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "app/link/comm.h"
#include "app/shell/keelsong_ini.h"
#include "app/shell/outcome.h"
#include "app/shell/shell.h"
#include "app/shell/status_line.h"
#include "app/shell/ui.h"
#include "app/shell/unit_steps.h"
#include "app/state/change_marks.h"
#include "app/state/contents_origin.h"
#include "app/state/edit_history.h"
#include "app/state/event_grid_model.h"
#include "app/state/replug_state.h"
#include "app/state/service_records.h"
#include "app/state/unit_context.h"
#include "files/config_provenance.h"
#include "platform/platform.h"
#include "platform/serial_port.h"
#include "protocol/unit_identity.h"
#include "protocol/unit_setup.h"

namespace keelsong {

// Everything the running program knows, reachable from one object that main creates. Two
// Programs in one process never see each other: there is no program-wide state elsewhere.
class Program {
  public:
    // `steps` are the other subsystems' steps that identifying and connecting a unit run: the
    // real ones unless a test of those sequences stands in for them.
    Program(Ui& ui, SerialPort& port, Platform& platform,
            const UnitSteps& steps = ProgramUnitSteps())
        : ui_(ui),
          platform_(platform),
          status_(ui),
          link_(port, platform, status_),
          steps_(steps) {}
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Ui& GetUi() { return ui_; }
    const Ui& GetUi() const { return ui_; }
    Platform& GetPlatform() { return platform_; }
    StatusLine& Status() { return status_; }
    SerialLink& Link() { return link_; }

    void ShowStatusMessage(bool success, std::string_view text) {
        status_.ShowStatusMessage(success, text);
    }
    // An operation's end, shown on the status line (black or red) and handed back.
    Outcome Done(std::string text) {
        status_.ShowStatusMessage(true, text);
        return Outcome::Done(std::move(text));
    }
    Outcome Fail(std::string text, int code = -1) {
        status_.ShowStatusMessage(false, text);
        return Outcome::Failed(std::move(text), code);
    }
    // A failure told in a message pop-up.
    Outcome FailInPopup(std::string_view title, std::string text) {
        status_.ShowMessagePopup(title, text);
        return Outcome::Failed(std::move(text));
    }

    // The event table: the grid is the program's only copy of it.
    EventGridModel& Grid() { return grid_; }
    // What the grid and the setup panel go by: the device type and firmware of the last
    // enquiry, and the setup format chosen for them. With no unit identified, the stand-in
    // chosen for a file loaded meanwhile (unit/stand_in_unit.h), else the type of the last unit
    // that was connected, so that saving the rows to a file keeps what they are (a tone stays a
    // tone).
    UnitContext Unit() const {
        if (identity_.DeviceType() != device_type::kNone) {
            return {identity_.DeviceType(), identity_.firmware_version, setup_format_};
        }
        if (stand_in_) {
            return *stand_in_;
        }
        return {offline_device_type_, identity_.firmware_version, setup_format_};
    }
    // The no-connection display hands over the type of the unit that goes (none keeps it).
    void KeepOfflineDeviceType(uint8_t type) {
        if (type != device_type::kNone) {
            offline_device_type_ = type;
        }
    }
    uint16_t& SetupFormat() { return setup_format_; }
    // Describes the unit as an enquiry and the setup panel would leave it (tests and tools).
    void SetUnit(const UnitContext& unit) {
        identity_.SetDeviceType(static_cast<uint8_t>(unit.device_type));
        identity_.firmware_version = unit.firmware_version;
        setup_format_ = unit.setup_format;
        stand_in_.reset();
    }
    // The unit type the grid goes by while no unit is identified; nullopt when it goes by no
    // unit at all. An enquiry clears it.
    const std::optional<UnitContext>& StandInUnit() const { return stand_in_; }
    void SetStandInUnit(const std::optional<UnitContext>& unit,
                        StandInSource source = StandInSource::Assumed) {
        stand_in_ = unit;
        stand_in_source_ = source;
    }
    // Why the stand-in is of its type: the report says so.
    StandInSource StandInSourceOf() const { return stand_in_source_; }
    // A unit type asked for (keelsong-cli report --type): a file loaded while no unit is
    // identified goes by it, whatever the file says.
    std::optional<int>& GivenUnitType() { return given_unit_type_; }
    // The unit the contents are for, as a saved file's "[Unit]" names it: the unit identified
    // last, or a file's loaded since while none was.
    ConfigProvenance& ContentsUnit() { return contents_unit_; }
    // The configuration file the grid and the setup were last loaded from, for the report: its
    // path, the SHA-256 of its bytes and what its "[Saved]" says. Reading the unit's table over
    // the grid forgets it.
    struct SourceFile {
        std::string path;
        std::string sha256;
        ConfigProvenance provenance;
    };
    std::optional<SourceFile>& ContentsFile() { return contents_file_; }
    // The user's edits of the grid and the setup controls, for undo and redo.
    EditHistory& History() { return history_; }
    const EditHistory& History() const { return history_; }
    ChangeMarks& Marks() { return marks_; }
    const ChangeMarks& Marks() const { return marks_; }
    // The setup last read from the unit (the setup format lives in Unit()). Only records from
    // the unit change it; a configuration file's setup is shown but not remembered.
    UnitSetup& CurrentUnitSetup() { return current_unit_setup_; }
    const UnitSetup& CurrentUnitSetup() const { return current_unit_setup_; }
    // Which unit the grid's and the setup's contents came from (contents_origin.h).
    ContentsOrigin& Origin() { return origin_; }
    // How many events the unit held when its table was last read or sent in full, or after
    // the failed send that stopped short; nullopt when no such exchange has told. What
    // "Accept Changes" expects to remove, for its progress.
    std::optional<int>& UnitEventCount() { return unit_event_count_; }

    // Reads the unit's whole table over the grid ("Refresh Table"). The table transfer
    // installs the reader; without one the answer is 1, as when the unit does not answer.

    // The temperature and humidity text of the unit's last status read; empty for none.
    std::string& Climate() { return climate_; }
    // The connected unit as the last enquiry described it.
    UnitIdentity& Identity() { return identity_; }
    const UnitIdentity& Identity() const { return identity_; }
    // Set once the newer-firmware warning was shown; only the Enquire button clears it.
    bool NewerFirmwareWarned() const { return newer_firmware_warned_; }
    void SetNewerFirmwareWarned(bool warned) { newer_firmware_warned_ = warned; }
    // How many operations that talk to the unit are under way. Such an operation can wait in a
    // pop-up, where the window's event loop still runs the timer; the timer does not poll then.
    int& UnitOperationsRunning() { return unit_operations_running_; }
    // What identifying and connecting a unit run in the subsystems that follow the unit.
    const UnitSteps& Steps() const { return steps_; }

    // The connected unit's device, and the watch for a unit whose device went away.
    ReplugWatch& Replug() { return replug_; }

    // The user settings store with its folders, and the shell's ties to the window and to
    // "Accept Changes", which quitting calls (shell.h).
    UserSettings& Settings() { return settings_; }
    // The service history's ties: who records, where a failed record is told, the file whose
    // changes are pending.
    ServiceHistory& ServiceRecords() { return service_records_; }
    Shell& GetShell() { return shell_; }
    const Shell& GetShell() const { return shell_; }

  private:
    Ui& ui_;
    Platform& platform_;
    StatusLine status_;
    SerialLink link_;
    EventGridModel grid_;
    uint16_t setup_format_ = UnitContext{}.setup_format;
    std::optional<UnitContext> stand_in_;
    StandInSource stand_in_source_ = StandInSource::Assumed;
    std::optional<int> given_unit_type_;
    ConfigProvenance contents_unit_;
    uint8_t offline_device_type_ = device_type::kNone;
    ChangeMarks marks_;
    EditHistory history_;
    UnitSetup current_unit_setup_;
    ContentsOrigin origin_;
    std::optional<int> unit_event_count_;
    const UnitSteps& steps_;
    UnitIdentity identity_;
    std::string climate_;
    std::optional<SourceFile> contents_file_;
    bool newer_firmware_warned_ = false;
    int unit_operations_running_ = 0;
    ReplugWatch replug_;
    UserSettings settings_;
    ServiceHistory service_records_;
    Shell shell_;
};

// Marks an operation that talks to the unit as under way for as long as it lives (see
// Program::UnitOperationsRunning); scopes nest.
class UnitOperationScope {
  public:
    explicit UnitOperationScope(Program& program) : program_(program) {
        ++program_.UnitOperationsRunning();
    }
    ~UnitOperationScope() { --program_.UnitOperationsRunning(); }
    UnitOperationScope(const UnitOperationScope&) = delete;
    UnitOperationScope& operator=(const UnitOperationScope&) = delete;

  private:
    Program& program_;
};

}  // namespace keelsong
