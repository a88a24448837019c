#include "app/shell/unit_steps.h"
#include "app/changes/clock_and_settings.h"

#include "app/service/firmware_update.h"
#include "app/setup/playback.h"
#include "app/setup/setup_panel.h"

namespace keelsong {

namespace {

class RealUnitSteps final : public UnitSteps {
  public:
    void ChooseSetupFormat(Program& program) const override {
        keelsong::ChooseSetupFormat(program);
    }
    void UpdateControlsForUnit(Program& program) const override {
        keelsong::UpdateControlsForUnit(program);
    }
    void ApplyUnitTypeLimits(Program& program, const std::string& identity_text) const override {
        keelsong::ApplyUnitTypeLimits(program, identity_text);
    }
    void SetUnitControlsDimmed(Program& program, bool dimmed) const override {
        keelsong::SetUnitControlsDimmed(program, dimmed);
    }
    Outcome RestoreUnitSettings(Program& program) const override {
        return keelsong::RestoreUnitSettings(program);
    }
    Outcome ReloadUnitContents(Program& program) const override {
        return keelsong::ReloadUnitContents(program);
    }
    void OfferFirmwareUpdate(Program& program) const override {
        keelsong::OfferFirmwareUpdate(program);
    }
};

}  // namespace

const UnitSteps& ProgramUnitSteps() {
    // Holds no state: every Program may share it.
    static const RealUnitSteps steps;
    return steps;
}

}  // namespace keelsong
