#include "app/unit/enquiry.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "app/events/event_grid.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "app/unit/maker_contact.h"
#include "app/unit/status_display.h"
#include "protocol/frame.h"

namespace keelsong {

namespace {

// A SetTime answer must carry the whole 4-byte clock; anything shorter would read the CRC as
// clock bytes.
constexpr int kMinSetTimeFrame = static_cast<int>(kFrameOverhead) + 4;
constexpr int kMinEnquireFrame = static_cast<int>(kFrameOverhead + kMinEnquirePayload);

// Clock modes 1 and 2 leave a clock alone while it is within this many seconds of the PC's.
constexpr int64_t kClockTolerance = 2'592'000;

std::string NewerFirmwareText() {
    return "The connected device is newer than this version of Keelsong.\nSome features may be "
           "unresponsive or unavailable.\n" +
           ContactMakerText("for an update to ensure full functionality.");
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Sends SetTime with `seconds` (0 only reads the clock); the unit's clock from the answer, or
// nullopt when no whole answer came.
std::optional<int64_t> ExchangeClock(Program& program, uint32_t seconds) {
    uint8_t payload[4];
    WriteLe32(payload, seconds);
    SerialLink& link = program.Link();
    if (link.SendCommand(Command::SetTime, payload) < kMinSetTimeFrame) {
        return std::nullopt;
    }
    return static_cast<int32_t>(ReadLe32(link.ResponsePayload().data()));
}

}  // namespace

int EnquireUnit(Program& program, bool show_in_status_line) {
    UnitOperationScope operation(program);
    SerialLink& link = program.Link();
    if (link.SendCommand(Command::Enquire) < kMinEnquireFrame) {
        return -1;
    }
    // A copy, because the warning below waits for the user and the shared response buffer
    // belongs to whatever transaction runs next.
    const std::span<const uint8_t> received = link.ResponsePayload();
    const std::vector<uint8_t> payload(received.begin(), received.end());
    const std::optional<int32_t> version = DecodeEnquiry(payload);
    if (!version) {
        return -1;
    }

    UnitIdentity& identity = program.Identity();
    identity.firmware_version = *version;
    if (!program.NewerFirmwareWarned() &&
        payload[UnitIdentity::kDeviceTypeOffset] == device_type::kOrvaneHf &&
        *version > kNewestKnownFirmware) {
        program.SetNewerFirmwareWarned(true);
        program.Status().ShowMessagePopup("Warning", NewerFirmwareText());
    }

    const uint8_t previous_type = identity.DeviceType();
    const uint16_t previous_serial = identity.SerialNumber();
    identity.StorePayload(payload);
    // From now on the grid goes by what the unit says it is, not by a file's stand-in, and a
    // save names this unit.
    program.SetStandInUnit(std::nullopt);
    program.ContentsUnit() = {HasEventTable(identity.DeviceType())
                                  ? std::string(DeviceTypeName(identity.DeviceType()))
                                  : std::string{},
                              identity.SerialNumber(),
                              FirmwareVersionText(identity.firmware_version),
                              {},
                              {}};

    const UnitSteps& steps = program.Steps();
    steps.ChooseSetupFormat(program);
    SyncUnitClock(program);
    ShowBatteryState(program);
    ShowSyncState(program);
    ShowPlayState(program, identity.PlayState());
    steps.UpdateControlsForUnit(program);
    ShowIdentity(program, show_in_status_line);

    const bool other_unit =
        identity.DeviceType() != previous_type || identity.SerialNumber() != previous_serial;
    if (other_unit) {
        // The readings shown were the unit's that left; the next status read shows the new one's.
        ShowClimate(program, "");
    }
    if (previous_type != device_type::kNone && other_unit) {
        TakeReplacingUnit(program);
    }
    return identity.firmware_version;
}

namespace {

std::string UnitNameAndNumber(const UnitIdentity& identity) {
    return FormatText("%s # %d", std::string(DeviceTypeName(identity.DeviceType())).c_str(),
                      identity.SerialNumber());
}

// Both parts are kept as they stand, for this unit: marked changed, so that "Accept Changes"
// sends them and connecting to this unit again keeps them too.
void KeepEditsForUnit(Program& program, const std::string& kept_text) {
    const UnitIdentity& identity = program.Identity();
    program.History().unit_rows.reset();
    program.History().unit_setup.reset();
    MarkTableChanged(program, true);
    MarkSetupChanged(program, true);
    ContentsOrigin& origin = program.Origin();
    origin.table = KeyOf(identity);
    origin.setup = KeyOf(identity);
    program.ShowStatusMessage(true, kept_text);
}

// Asks whether to keep the edits or read the unit's own table and setup over them; closing
// the question keeps them. true to keep.
bool AskToKeepEdits(Program& program, const std::string& title, const std::string& text) {
    return program.GetUi().GenericMessagePopup(
               title, text,
               {std::string(kKeepEditsButton), std::string(kReadUnitButton), std::string()}, 1,
               1) != 2;
}

}  // namespace

void TakeReplacingUnit(Program& program) {
    const ChangeMarks& marks = program.Marks();
    const UnitSteps& steps = program.Steps();
    if (!marks.table_changed && !marks.setup_changed) {
        program.Status().ShowMessagePopup(
            "Unit replaced",
            "Warning, your unit was replaced by a different unit, the event table "
            "and all setup will be reloaded");
        steps.ReloadUnitContents(program);
        return;
    }
    const std::string name = UnitNameAndNumber(program.Identity());
    if (!AskToKeepEdits(
            program, "Unit replaced",
            FormatText("Warning, your unit was replaced by a different unit (%s).\nThe event table "
                       "and setup hold edits not yet sent. Keep them, to send to this unit with "
                       "\"Accept Changes\", or read its own event table and setup over them?",
                       name.c_str()))) {
        // Nothing on screen came from this unit: every part is read, edited or not.
        program.Origin() = ContentsOrigin{};
        steps.ReloadUnitContents(program);
        return;
    }
    KeepEditsForUnit(
        program,
        FormatText("Edits kept, not sent to %s: \"Accept Changes\" sends them", name.c_str()));
}

bool KeepEditsOnConnecting(Program& program, int edits_type) {
    const UnitIdentity& identity = program.Identity();
    const std::optional<UnitKey>& origin = program.Origin().table;
    if (!program.Marks().table_changed || origin == KeyOf(identity)) {
        return false;
    }
    const bool other_type = edits_type != device_type::kNone && edits_type != identity.DeviceType();
    // A table of no known unit's that came from no file and was not edited with no unit is
    // what is left of this unit's (a read that broke off): read again, as before.
    if (!origin && !program.ContentsFile() && !other_type &&
        !program.History().edited_without_unit) {
        return false;
    }
    const std::string name = UnitNameAndNumber(identity);
    const std::string made_for =
        other_type
            ? FormatText(", made for an %s,", std::string(DeviceTypeName(edits_type)).c_str())
            : std::string();
    if (!AskToKeepEdits(
            program, "Edits not sent",
            FormatText("The event table%s holds edits not sent to this unit (%s).\nKeep them, to "
                       "send to this unit with \"Accept Changes\", or read its own event table "
                       "and setup over them?",
                       made_for.c_str(), name.c_str()))) {
        program.Origin() = ContentsOrigin{};
        return false;
    }
    std::string kept =
        FormatText("Edits kept, not sent to %s: \"Accept Changes\" sends them", name.c_str());
    // The rows now go by this unit's type: say which it cannot take as they stand.
    std::string unsendable;
    for (const int row :
         RowsNotAsMadeFor(program, other_type ? edits_type : identity.DeviceType())) {
        unsendable += (unsendable.empty() ? "" : ", ") + std::to_string(row);
    }
    if (!unsendable.empty()) {
        kept += (unsendable.find(',') == std::string::npos ? "; row " : "; rows ") + unsendable +
                " cannot be sent to it as they stand";
    }
    KeepEditsForUnit(program, kept);
    return true;
}

void SyncUnitClock(Program& program) {
    UnitIdentity& identity = program.Identity();
    if (identity.DeviceType() != device_type::kOrvaneHf ||
        identity.firmware_version < kSyncFirmware) {
        return;
    }
    const std::optional<int64_t> unit_clock = ExchangeClock(program, 0);
    if (!unit_clock) {
        return;
    }
    Platform& platform = program.GetPlatform();
    const int64_t pc_time = platform.UtcNow();
    const int64_t offset = pc_time - *unit_clock;
    identity.clock_offset = ClampToInt32(offset);

    const uint8_t mode = identity.ClockMode();
    if (mode > 3) {
        return;
    }
    if ((mode == 1 || mode == 2) && offset >= -kClockTolerance && offset <= kClockTolerance) {
        return;
    }
    const std::optional<int64_t> set_clock = ExchangeClock(program, static_cast<uint32_t>(pc_time));
    if (set_clock) {
        identity.clock_offset = ClampToInt32(platform.UtcNow() - *set_clock);
    }
}

std::string IdentityText(const UnitIdentity& identity) {
    std::string text =
        FormatText("%s # %d", std::string(DeviceTypeName(identity.DeviceType())).c_str(),
                   identity.SerialNumber());
    if (identity.firmware_version < 0) {
        return text;
    }
    text += identity.firmware_version >= kNormalFirmware ? " Firmware " : " Admin Mode ";
    // The version as parsed: whatever the unit sent after the patch number is not shown.
    text += FirmwareVersionText(identity.firmware_version);
    return text;
}

void ShowIdentity(Program& program, bool show_in_status_line) {
    const std::string text = IdentityText(program.Identity());
    program.GetUi().SetText(Panel::MAIN, Control::DEVICE, text);
    if (program.Identity().firmware_version < 0) {
        return;
    }
    if (show_in_status_line) {
        program.ShowStatusMessage(true, text);
    }
    program.Steps().ApplyUnitTypeLimits(program, text);
}

int SendEnquireCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    program.SetNewerFirmwareWarned(false);
    if (EnquireUnit(program, true) < 0) {
        program.ShowStatusMessage(true, "No response from device");
    } else {
        ReadUnitStatus(program);
    }
    ui.SetWaitCursor(false);
    return 0;
}

}  // namespace keelsong
