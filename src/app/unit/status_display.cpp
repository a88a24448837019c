#include "app/unit/status_display.h"

#include "app/shell/text_format.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/stand_in_unit.h"
#include "protocol/unit_status.h"

namespace keelsong {

namespace {

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The play state as PLAY_CODE_MSG says it: a countdown to the setup's start time while waiting.
std::string PlayStateTextOf(Program& program, int state) {
    const UnitIdentity& identity = program.Identity();
    if (identity.StatusPresent() == 0 || state >= 4) {
        return {};
    }
    if (state == play_state::kWaiting) {
        const int64_t unit_now = program.GetPlatform().UtcNow() - int64_t{identity.clock_offset};
        return CountdownText(int64_t{program.CurrentUnitSetup().start_time} - unit_now);
    }
    return std::string(PlayStateText(state));
}

}  // namespace

LiveState LiveStateOf(Program& program) {
    const UnitIdentity& identity = program.Identity();
    LiveState state;
    state.climate = program.Climate();
    if (!HasClockAndSync(program.Unit())) {
        return state;
    }
    const bool status = identity.StatusPresent() != 0;
    if (status && identity.BatteryState() != 0 && identity.BatteryLevel() != -1) {
        state.battery = BatteryTooltip(identity.BatteryLevel());
        state.charging = identity.BatteryState() == 1;
    }
    if (status) {
        state.sync = std::string(SyncStateText(identity.SyncState()));
    }
    state.play = PlayStateTextOf(program, identity.PlayState() & 0xFF);
    return state;
}

void ShowClimate(Program& program, std::string text) {
    program.GetUi().SetText(Panel::MAIN, Control::TEMP_HUMI, text);
    program.Climate() = std::move(text);
}

void ShowDateAndTime(Program& program) {
    Platform& platform = program.GetPlatform();
    const std::optional<CalendarTime> now = platform.ToLocal(platform.UtcNow());
    if (!now) {
        return;
    }
    Ui& ui = program.GetUi();
    if (now->month >= 1 && now->month <= 12) {
        ui.SetText(Panel::MAIN, Control::DATE,
                   FormatText("%d %s.%d", now->day, kMonths[now->month - 1], now->year));
    }
    ui.SetText(Panel::MAIN, Control::TIME,
               FormatText("%02d:%02d:%02d", now->hour, now->minute, now->second));
}

int ReadUnitStatus(Program& program) {
    UnitOperationScope operation(program);
    const UnitIdentity& identity = program.Identity();
    uint8_t flags = status_flag::kHumidity;
    if (identity.DeviceType() != device_type::kOrvaneHf ||
        identity.firmware_version < kNormalFirmware) {
        ShowClimate(program, "");
        return 0;
    }
    if (identity.StatusPresent() != 0 &&
        (identity.PlayState() == play_state::kPlaying || identity.BatteryState() == 1 ||
         identity.BatteryState() == 3)) {
        flags |= status_flag::kTemperature;
    }
    const uint8_t request[1] = {flags};
    SerialLink& link = program.Link();
    if (link.SendCommand(Command::StatusRead, request) <= 0) {
        return -1;
    }
    ShowClimate(program, TemperatureHumidityText(WalkStatusPayload(link.ResponsePayload(), flags)));
    return 0;
}

void ShowBatteryState(Program& program) {
    Ui& ui = program.GetUi();
    const UnitIdentity& identity = program.Identity();
    if (identity.StatusPresent() != 0 && identity.BatteryState() != 0 &&
        identity.BatteryLevel() != -1) {
        const int level = identity.BatteryLevel();
        ui.SetVisible(Panel::MAIN, Control::BATT_ICON, true);
        ui.SetTooltip(Panel::MAIN, Control::BATT_ICON, BatteryTooltip(level));
        ui.SetInt(Panel::MAIN, Control::BATT_ICON, BatteryGaugeValue(level));
        ui.SetVisible(Panel::MAIN, Control::CHARGING_ICON, identity.BatteryState() == 1);
    } else {
        ui.SetVisible(Panel::MAIN, Control::BATT_ICON, false);
        ui.SetVisible(Panel::MAIN, Control::CHARGING_ICON, false);
    }
}

void ShowSyncState(Program& program) {
    Ui& ui = program.GetUi();
    const UnitIdentity& identity = program.Identity();
    if (identity.StatusPresent() != 0 && identity.firmware_version >= kSyncFirmware) {
        ui.SetInt(Panel::MAIN, Control::SYNC_ICON, identity.SyncState());
        ui.SetTooltip(Panel::MAIN, Control::SYNC_ICON,
                      std::string(SyncStateText(identity.SyncState())));
        ui.SetVisible(Panel::MAIN, Control::SYNC_ICON, true);
    } else {
        ui.SetVisible(Panel::MAIN, Control::SYNC_ICON, false);
    }
}

void ShowPlayState(Program& program, int state) {
    Ui& ui = program.GetUi();
    const UnitIdentity& identity = program.Identity();
    state &= 0xFF;
    ui.SetText(Panel::MAIN, Control::PLAY_CODE_MSG, PlayStateTextOf(program, state));
    if (identity.StatusPresent() == 1) {
        const bool playing = state == play_state::kPlaying || state == play_state::kWaiting;
        ui.SetDimmed(Panel::MAIN, Control::PLAY, playing);
        ui.SetDimmed(Panel::MAIN, Control::STOP, !playing);
    }
}

void ShowNoConnection(Program& program) {
    UnitIdentity& identity = program.Identity();
    program.KeepOfflineDeviceType(identity.DeviceType());
    identity.SetSerialNumber(0);
    identity.SetDeviceType(device_type::kNone);
    program.Steps().SetUnitControlsDimmed(program, true);
    Ui& ui = program.GetUi();
    // Saving what the window shows needs no unit: once one has filled the grid and the setup,
    // the edits can still go to a file after it went away.
    ui.SetDimmed(Panel::MAIN, Control::STORE_EVENTS, identity.firmware_version < 0);
    // A file can be opened at a desk, with no unit: it is read as for the unit it names.
    ui.SetDimmed(Panel::MAIN, Control::LOAD_EVENTS, false);
    ui.SetText(Panel::MAIN, Control::DEVICE, "No Connection");
    program.ShowStatusMessage(true, "No Connection");
    ShowClimate(program, "");
    ShowUnitTypeChoice(program);
}

}  // namespace keelsong
