#pragma once

#include <string>

#include "app/shell/outcome.h"

namespace keelsong {

class Program;

// The steps that identifying a unit, connecting to it and losing it run in the subsystems that
// follow the unit: its setup format, its type's limits, the controls it allows, restoring and
// reading its table and setup, the firmware offer. A Program runs the real ones
// (ProgramUnitSteps); a test of the identification or connection sequence alone hands its
// Program a stand-in that records them.
class UnitSteps {
  public:
    virtual ~UnitSteps() = default;

    // After every accepted enquiry, once the identity is stored.
    virtual void ChooseSetupFormat(Program& program) const = 0;
    // After the status displays of every accepted enquiry.
    virtual void UpdateControlsForUnit(Program& program) const = 0;
    // With the identity line ("Orvane HF # 1042 Firmware v2.1.4") after every accepted enquiry.
    virtual void ApplyUnitTypeLimits(Program& program, const std::string& identity_text) const = 0;
    // true when the connection ends or fails.
    virtual void SetUnitControlsDimmed(Program& program, bool dimmed) const = 0;
    // Before reading the table when the unit asks for its settings to be restored.
    virtual Outcome RestoreUnitSettings(Program& program) const = 0;
    // On connecting to a unit with an event table, and when a different unit was found
    // attached.
    virtual Outcome ReloadUnitContents(Program& program) const = 0;
    // At the end of every connection to a unit with an event table, also in admin mode.
    virtual void OfferFirmwareUpdate(Program& program) const = 0;
};

// The program's own steps, each a direct call into its subsystem (unit_steps.cpp).
const UnitSteps& ProgramUnitSteps();

}  // namespace keelsong
