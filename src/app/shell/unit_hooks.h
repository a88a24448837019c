#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace keelsong {

class Program;

// Operations of other subsystems that the enquiry, the connection and the status display call
// at fixed points. Each subsystem installs its own when it is built into the program (at
// start-up, through Program::Hooks()); until then a hook is empty and its step is skipped, so
// identification, connection and the live status work on their own. An empty hook that
// answers a result counts as success: the sequence that calls it goes on as if the step had
// been done.
struct UnitHooks {
    // After every accepted enquiry, once the identity is stored: picks the setup record format.
    std::function<void(Program&)> choose_setup_format;
    // After the status displays of every accepted enquiry: which controls the unit allows.
    std::function<void(Program&)> update_controls_for_unit;
    // With the identity line ("Orvane HF # 1042 Firmware v2.1.4") after every accepted enquiry:
    // the event table's limits for the unit type, or "Unsupported: ..." for other types.
    std::function<void(Program&, const std::string& identity_text)> apply_unit_type_limits;
    // true when the connection ends or fails: everything that needs a unit is dimmed.
    std::function<void(Program&, bool dimmed)> set_unit_controls_dimmed;
    // Before reading the table when the unit asks for its settings to be restored. 0 or
    // negative.
    std::function<int(Program&)> restore_unit_settings;
    // Empties the grid and reads the unit's table and setup: on connecting to a unit with an
    // event table, and when a different unit was found attached. 0 or negative.
    std::function<int(Program&)> retrieve_table_and_setup;
    // At the end of every connection to a unit with an event table, also in admin mode.
    std::function<void(Program&)> offer_firmware_update;
    // The start time of the setup last read from the unit, on the unit's clock. Empty reads 0,
    // as that setup holds before one is read.
    std::function<int32_t(const Program&)> current_start_time;

    void ChooseSetupFormat(Program& program) const {
        if (choose_setup_format) {
            choose_setup_format(program);
        }
    }
    void UpdateControlsForUnit(Program& program) const {
        if (update_controls_for_unit) {
            update_controls_for_unit(program);
        }
    }
    void ApplyUnitTypeLimits(Program& program, const std::string& identity_text) const {
        if (apply_unit_type_limits) {
            apply_unit_type_limits(program, identity_text);
        }
    }
    void SetUnitControlsDimmed(Program& program, bool dimmed) const {
        if (set_unit_controls_dimmed) {
            set_unit_controls_dimmed(program, dimmed);
        }
    }
    int RestoreUnitSettings(Program& program) const {
        return restore_unit_settings ? restore_unit_settings(program) : 0;
    }
    int RetrieveTableAndSetup(Program& program) const {
        return retrieve_table_and_setup ? retrieve_table_and_setup(program) : 0;
    }
    void OfferFirmwareUpdate(Program& program) const {
        if (offer_firmware_update) {
            offer_firmware_update(program);
        }
    }
    int32_t CurrentStartTime(const Program& program) const {
        return current_start_time ? current_start_time(program) : 0;
    }
};

}  // namespace keelsong
