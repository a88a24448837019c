// A stand-in for the steps that identifying and connecting a unit run in other subsystems, for
// tests of those sequences alone: a step the test sets runs instead of the real one; a step it
// leaves unset runs `fallback`'s, or is skipped (answering done) when there is no fallback.
#pragma once

#include <functional>
#include <string>
#include <type_traits>

#include "app/shell/unit_steps.h"

namespace keelsong::testing {

class UnitStepsStandIn final : public UnitSteps {
  private:
    template <class Step, class Real, class... Args>
    auto Run(const Step& step, Real real, Args&&... args) const {
        using Result = decltype((fallback->*real)(args...));
        if (step) {
            return step(args...);
        }
        if (fallback) {
            return (fallback->*real)(args...);
        }
        if constexpr (std::is_same_v<Result, Outcome>) {
            return Outcome::Done();
        } else {
            return Result();
        }
    }

  public:
    std::function<void(Program&)> choose_setup_format;
    std::function<void(Program&)> update_controls_for_unit;
    std::function<void(Program&, const std::string&)> apply_unit_type_limits;
    std::function<void(Program&, bool)> set_unit_controls_dimmed;
    std::function<Outcome(Program&)> restore_unit_settings;
    std::function<Outcome(Program&)> reload_unit_contents;
    std::function<void(Program&)> offer_firmware_update;
    const UnitSteps* fallback = nullptr;

    void ChooseSetupFormat(Program& program) const override {
        Run(choose_setup_format, &UnitSteps::ChooseSetupFormat, program);
    }
    void UpdateControlsForUnit(Program& program) const override {
        Run(update_controls_for_unit, &UnitSteps::UpdateControlsForUnit, program);
    }
    void ApplyUnitTypeLimits(Program& program, const std::string& text) const override {
        Run(apply_unit_type_limits, &UnitSteps::ApplyUnitTypeLimits, program, text);
    }
    void SetUnitControlsDimmed(Program& program, bool dimmed) const override {
        Run(set_unit_controls_dimmed, &UnitSteps::SetUnitControlsDimmed, program, dimmed);
    }
    Outcome RestoreUnitSettings(Program& program) const override {
        return Run(restore_unit_settings, &UnitSteps::RestoreUnitSettings, program);
    }
    Outcome ReloadUnitContents(Program& program) const override {
        return Run(reload_unit_contents, &UnitSteps::ReloadUnitContents, program);
    }
    void OfferFirmwareUpdate(Program& program) const override {
        Run(offer_firmware_update, &UnitSteps::OfferFirmwareUpdate, program);
    }
};

}  // namespace keelsong::testing
