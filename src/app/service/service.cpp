#include "app/service/service.h"
#include "app/changes/accept_changes.h"

#include <cctype>
#include <optional>
#include <string>

#include "app/connection/connection.h"
#include "app/events/event_transfer.h"
#include "app/history/service_history.h"
#include "app/service/firmware_update.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "protocol/firmware_image.h"

namespace keelsong {

namespace {

constexpr int kResetAndSave = 1;
constexpr int kResetWithoutSaving = 2;

constexpr char kReconnectFailed[] =
    "Error during serial number update.\nCould not reconnect to device.";

// After a serial-number write the unit comes back under another number: that is the update
// itself, not a different unit plugged in. Whatever the grid and setup came from the unit
// under its old number now comes from it under the new one.
void RenumberContents(Program& program, uint16_t old_serial) {
    const UnitKey old_key{program.Identity().DeviceType(), old_serial};
    const UnitKey new_key = KeyOf(program.Identity());
    ContentsOrigin& origin = program.Origin();
    for (std::optional<UnitKey>* part : {&origin.table, &origin.setup}) {
        if (*part == old_key) {
            *part = new_key;
        }
    }
}

// Whether to reset, and with the program's changes kept (true) or read again (false).
std::optional<bool> AskToReset(Program& program) {
    Ui& ui = program.GetUi();
    const ChangeMarks& marks = program.Marks();
    if (marks.setup_changed || marks.table_changed) {
        const int answer = ui.GenericMessagePopup(
            "Reset Unit", "Do you want to reset your unit and save changes?",
            {"Reset and Save", "Reset without saving", "Cancel"}, kResetAndSave, 3);
        if (answer != kResetAndSave && answer != kResetWithoutSaving) {
            return std::nullopt;  // "Cancel", or the question closed without an answer
        }
        return answer == kResetAndSave;
    }
    if (!ui.ConfirmPopup("Reset", "Are you sure you would like to reset your unit?")) {
        return std::nullopt;
    }
    return false;
}

}  // namespace

uint16_t SerialNumberFromText(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Only the low 16 bits are kept, so the number is built modulo 65536 from the start.
    uint32_t value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        value = (value * 10 + static_cast<uint32_t>(text[at] - '0')) & 0xFFFF;
        ++at;
    }
    return static_cast<uint16_t>(negative ? 0x10000 - value : value);
}

namespace {

// The serial number update itself: written in the loader, the unit restarted and checked.
Outcome ChangeSerialNumber(Program& program, uint16_t serial) {
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    const int version = RestartIntoLoader(program, false);
    if (version < 0) {
        Disconnect(program);
        ui.SetWaitCursor(false);
        return program.FailInPopup("Error", kReconnectFailed);
    }
    if (version >= kNormalFirmware) {
        ui.SetWaitCursor(false);
        return program.FailInPopup("Error",
                                   "Failed to update seral number.\nCould not enter admin mode.");
    }
    SerialLink& link = program.Link();
    link.SendCommand(Command::MemoryWrite, SerialNumberPayload(serial));
    link.SendCommand(Command::Reset);

    const uint16_t old_serial = program.Identity().SerialNumber();
    // The enquiry must not take the renumbered unit for another one ("Unit replaced" and a
    // reload over the user's unsent edits): the restart was ours.
    program.Identity().SetDeviceType(device_type::kNone);
    const int restarted = EnquireAfterRestart(program, true);
    ui.SetWaitCursor(false);
    if (restarted < 0) {
        Disconnect(program);
        return program.FailInPopup("Error", kReconnectFailed);
    }
    // Checked before the number: a unit left in its loader may report the new number all the
    // same, yet cannot be used until it is restarted.
    if (const std::optional<std::string> not_back = UnitNotBackText(program)) {
        return program.FailInPopup("Error",
                                   "The serial number update did not finish.\n" + *not_back);
    }
    if (program.Identity().SerialNumber() != serial) {
        return program.FailInPopup("Error", "Failed to update seral number.");
    }
    RenumberContents(program, old_serial);
    program.Status().ShowMessagePopup("Complete", "Serial Number Updated Successfully");
    return Outcome::Done("Serial Number Updated Successfully");
}

}  // namespace

Outcome UpdateSerialNumber(Program& program, uint16_t serial) {
    return RecordOperation(program, "Serial Number", {},
                           [&] { return ChangeSerialNumber(program, serial); });
}

int UpdateSerialNumCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    UnitOperationScope operation(program);
    const std::optional<std::string> answer = program.GetUi().PromptPopup(
        "Serial Number", "Enter Desired Serial Number", kSerialNumberTextLength);
    if (!answer) {
        return 0;
    }
    const uint16_t serial =
        SerialNumberFromText(std::string_view(*answer).substr(0, kSerialNumberTextLength));
    if (serial != 0) {
        UpdateSerialNumber(program, serial);
    }
    return 0;
}

namespace {

// The reset itself: the unit restarted, then its table and setup read or sent again.
// A failure says what went wrong first: the restart's own message where it told one (the pop-up
// only asks to try again).
Outcome RestartAndResync(Program& program, bool keep_changes) {
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    const Outcome restarted = RestartUnit(program);
    ui.SetWaitCursor(false);
    if (!restarted.ok && restarted.code != kRestartedIntoLoader) {
        program.Status().ShowMessagePopup("Error", "Reset Failed, please try again.");
        return restarted;
    }
    if (const std::optional<std::string> not_back = UnitNotBackText(program)) {
        program.Status().ShowMessagePopup("Error", *not_back);
        return NotBackAfterRestart(restarted, *not_back);
    }
    program.Status().ShowMessagePopup("Success", "Reset unit successfully");
    ui.RemovePopup(Panel::ADVANCED);
    ui.SetWaitCursor(true);
    Outcome resynced = ResyncAfterUpdate(program, keep_changes);
    ui.SetWaitCursor(false);
    return resynced;
}

}  // namespace

Outcome ResetUnit(Program& program, bool keep_changes) {
    return RecordOperation(program, "Reset", {},
                           [&] { return RestartAndResync(program, keep_changes); });
}

int ResetCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    UnitOperationScope operation(program);
    const std::optional<bool> keep_changes = AskToReset(program);
    if (keep_changes) {
        ResetUnit(program, *keep_changes);
    }
    return 0;
}

}  // namespace keelsong
