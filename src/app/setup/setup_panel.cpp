// The setup controls' behaviour: sync mode, start time, the unit type's limits and which
// controls the connected unit allows.

#include "app/setup/setup_panel.h"
#include "app/unit/stand_in_unit.h"

#include <algorithm>
#include <limits>

#include "app/events/unit_limits.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/event_grid_model.h"
#include "app/state/program.h"
#include "protocol/unit_identity.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

namespace col = grid_column;

// Start times travel as signed 32-bit seconds, which end on 2038-01-19 03:14:07 UTC. Any local
// minute of 2037 lies before that in every time zone, so the year stops there rather than
// letting a later date wrap into 1901 on the way to the unit.
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2037;
// The short forms carry the number of plays in 16 bits, and the program keeps 16 of them.
constexpr int kMostPlays = 65535;

void ShowLocalStartTime(Program& program, int64_t utc_seconds) {
    SetStartTimeEnabled(program, true);
    ShowStartDate(program, utc_seconds);
}

bool IsStartTimeControl(Control control) {
    return control == Control::YEAR || control == Control::MONTH || control == Control::DAY ||
           control == Control::HOUR || control == Control::MIN;
}

}  // namespace

void ShowStartDate(Program& program, int64_t utc_seconds) {
    const std::optional<CalendarTime> local = program.GetPlatform().ToLocal(utc_seconds);
    if (!local) {
        return;
    }
    Ui& ui = program.GetUi();
    ui.SetInt(Panel::MAIN, Control::YEAR, local->year);
    ui.SetInt(Panel::MAIN, Control::MONTH, local->month - 1);
    ui.SetInt(Panel::MAIN, Control::DAY, local->day);
    ui.SetInt(Panel::MAIN, Control::HOUR, local->hour);
    ui.SetInt(Panel::MAIN, Control::MIN, local->minute);
}

void InstallSetupPanel(Program& program) {
    Ui& ui = program.GetUi();
    ui.SetRange(Panel::MAIN, Control::YEAR, kFirstYear, kLastYear);
    ui.SetRange(Panel::MAIN, Control::DAY, 1, 31);
    ui.SetRange(Panel::MAIN, Control::HOUR, 0, 23);
    ui.SetRange(Panel::MAIN, Control::MIN, 0, 59);
    ui.SetRange(Panel::MAIN, Control::PLAYBACKS, 1, kMostPlays);
    SetApplyEnabled(program, false);
}

void ShowStartTime(Program& program, int32_t start_time) {
    if (start_time > 0) {
        ShowLocalStartTime(program, start_time);
        return;
    }
    const int64_t now = program.GetPlatform().UtcNow();
    if (now >= 0) {
        ShowLocalStartTime(program, now);
    }
    SetStartTimeEnabled(program, false);
}

void WarnIfStartTimePassed(Program& program) {
    if (program.GetUi().IntValue(Panel::MAIN, Control::ENABLE_START_TIME) == 0) {
        return;
    }
    if (int64_t{StartTimeFromControls(program)} < program.GetPlatform().UtcNow()) {
        program.ShowStatusMessage(false, std::string(kStartTimePassedText));
    }
}

int32_t StartTimeFromControls(Program& program) {
    const Ui& ui = program.GetUi();
    const CalendarTime local{
        ui.IntValue(Panel::MAIN, Control::YEAR), ui.IntValue(Panel::MAIN, Control::MONTH) + 1,
        ui.IntValue(Panel::MAIN, Control::DAY),  ui.IntValue(Panel::MAIN, Control::HOUR),
        ui.IntValue(Panel::MAIN, Control::MIN),  0};
    const std::optional<int64_t> utc = program.GetPlatform().FromLocal(local);
    if (!utc) {
        return -1;
    }
    // The year's range keeps this inside 32 bits; should a screen let more through, the time
    // stops at the last second the unit can hold instead of wrapping into the past.
    return static_cast<int32_t>(std::clamp<int64_t>(*utc, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void ApplyUnitTypeLimits(Program& program, const std::string& identity_text) {
    ShowUnitTypeChoice(program);
    const UnitLimits* limits = LimitsFor(program.Unit());
    if (!limits) {
        program.ShowStatusMessage(false, FormatText("Unsupported: %s", identity_text.c_str()));
        return;
    }
    ApplyUnitLimits(program, *limits);
}

void UpdateControlsForUnit(Program& program) {
    const UnitContext& unit = program.Unit();
    Ui& ui = program.GetUi();
    if (unit.firmware_version == -1) {
        return;
    }
    if ((static_cast<uint32_t>(unit.firmware_version) >> 16) == 0) {
        // The unit runs its loader: only the enquiry and the firmware service make sense.
        SetUnitControlsDimmed(program, true);
        ui.SetDimmed(Panel::MAIN, Control::ENQUIRE, false);
        ui.SetDimmed(Panel::MAIN, Control::ADVANCED, false);
        SetAdvancedControlsDimmed(program, true);
        return;
    }
    SetUnitControlsDimmed(program, !HasEventTable(unit.device_type));
    SetAdvancedControlsDimmed(program, false);
    ui.SetDimmed(Panel::MAIN, Control::ENQUIRE, false);
}

void SetAdvancedControlsDimmed(Program& program, bool dimmed) {
    Ui& ui = program.GetUi();
    ui.SetDimmed(Panel::ADVANCED, Control::AUTOSAVE, dimmed);
    ui.SetDimmed(Panel::ADVANCED, Control::RESET,
                 dimmed || program.Unit().device_type != device_type::kOrvaneHf);
}

void SetUnitControlsDimmed(Program& program, bool dimmed) {
    Ui& ui = program.GetUi();
    const UnitIdentity& identity = program.Identity();
    // With no unit identified the table and the setup can still be edited, as for the unit type
    // they go by (a file's, the last unit's, or the one chosen in "Unit type"): only what needs
    // the unit itself is dimmed.
    const bool editing_dimmed = dimmed && !(identity.DeviceType() == device_type::kNone &&
                                            HasEventTable(program.Unit().device_type));
    ui.SetDimmed(Panel::MAIN, Control::ENQUIRE, dimmed);
    ui.SetVisible(Panel::MAIN, Control::TEMP_HUMI, !dimmed);
    ui.SetDimmed(Panel::MAIN, Control::PLAY, dimmed);
    ui.SetDimmed(Panel::MAIN, Control::STOP, dimmed);
    if (identity.StatusPresent() != 0 && !dimmed) {
        const bool playing = identity.PlayState() == 1 || identity.PlayState() == 2;
        ui.SetDimmed(Panel::MAIN, Control::PLAY, playing);
        ui.SetDimmed(Panel::MAIN, Control::STOP, !playing);
    }
    for (Control control :
         {Control::STORE_EVENTS, Control::LOAD_EVENTS, Control::COMPARE_FILE, Control::ADVANCED}) {
        ui.SetDimmed(Panel::MAIN, control, dimmed);
    }
    for (Control control :
         {Control::CONTINUOUS, Control::REST_TIME, Control::EVENT_INSERT, Control::EVENT_ADD,
          Control::EVENT_REM, Control::CLEAR_TABLE, Control::EVENT_TABLE, Control::MAG_SWITCH}) {
        ui.SetDimmed(Panel::MAIN, control, editing_dimmed);
    }
    const ChangeMarks& marks = program.Marks();
    const bool unchanged = !marks.table_changed && !marks.setup_changed;
    ui.SetDimmed(Panel::MAIN, Control::ACCEPT_CHANGES, dimmed || unchanged);
    ui.SetDimmed(Panel::MAIN, Control::UNDO_CHANGES, dimmed || unchanged);
    ui.SetDimmed(Panel::MAIN, Control::PLAYBACKS,
                 editing_dimmed || ui.IntValue(Panel::MAIN, Control::CONTINUOUS) == 0);

    // Start time, sync and the unit's clock exist only on an Orvane HF from 2.0.0.
    const bool clock = HasClockAndSync(program.Unit());
    const bool no_clock = dimmed || !clock;
    const bool no_clock_setup = editing_dimmed || !clock;
    ui.SetDimmed(Panel::MAIN, Control::SET_INSTRUMENT_TIME, no_clock);
    ui.SetDimmed(Panel::MAIN, Control::ENABLE_START_TIME, no_clock_setup);
    ui.SetVisible(Panel::MAIN, Control::BATT_ICON, !no_clock);
    ui.SetVisible(Panel::MAIN, Control::PLAY_CODE_MSG, !no_clock);
    ui.SetVisible(Panel::MAIN, Control::SYNC_ICON, !no_clock);
    ui.SetDimmed(Panel::MAIN, Control::SYNC_MODE, no_clock_setup);
    if (no_clock) {
        ui.SetVisible(Panel::MAIN, Control::CHARGING_ICON, false);
    }
    DimStartTimeControls(
        program, no_clock_setup || ui.IntValue(Panel::MAIN, Control::ENABLE_START_TIME) == 0);
    ui.SetDimmed(Panel::MAIN, Control::ENCODE_TIME,
                 no_clock_setup || (ui.IntValue(Panel::MAIN, Control::SYNC_MODE) & 4) != 0);
}

int SetContinuousPlaybackCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        Ui& ui = program.GetUi();
        ui.SetDimmed(Panel::MAIN, Control::PLAYBACKS,
                     ui.IntValue(Panel::MAIN, Control::CONTINUOUS) == 0);
        EndSetupEdit(program, event.control);
    } else if (event.event == UiEvent::ValueChanged) {
        MarkSetupChanged(program, true);
        RecordSetupEdit(program, event.control);
    }
    return 0;
}

int EnableStartTimeCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        SetStartTimeEnabled(program,
                            program.GetUi().IntValue(Panel::MAIN, Control::ENABLE_START_TIME) != 0);
        RecordSetupEdit(program, event.control);
        EndSetupEdit(program, event.control);
        WarnIfStartTimePassed(program);
    }
    return 0;
}

int SetSyncModeCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::ValueChanged) {
        const auto mode =
            static_cast<int8_t>(program.GetUi().IntValue(Panel::MAIN, Control::SYNC_MODE));
        ShowSyncMode(program, mode);
        MarkSetupChanged(program, true);
        RecordSetupEdit(program, event.control);
    } else if (event.event == UiEvent::Commit) {
        EndSetupEdit(program, event.control);
    }
    return 0;
}

int IndicateSetupChangedCB(Program& program, const CallbackEvent& event) {
    if (event.panel == Panel::MAIN && event.event == UiEvent::Commit) {
        EndSetupEdit(program, event.control);
    }
    if (event.event != UiEvent::ValueChanged) {
        return 0;
    }
    if (event.panel == Panel::MAIN) {
        MarkSetupChanged(program, true);
        RecordSetupEdit(program, event.control);
        if (IsStartTimeControl(event.control)) {
            WarnIfStartTimePassed(program);
        }
    } else if (event.panel == Panel::ADVANCED) {
        SetApplyEnabled(program, true);
    }
    return 0;
}

}  // namespace keelsong
