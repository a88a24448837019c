#include "app/setup/playback.h"

#include <array>
#include <cstdint>
#include <string>

#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/setup/setup_panel.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/status_display.h"
#include "protocol/frame.h"
#include "protocol/unit_status.h"

namespace keelsong {

namespace {

// What the play-state display is handed when the unit's answer carries no play state.
constexpr int kNoPlayState = 0xFF;
// A SetTime answer must carry the unit's whole clock.
constexpr int kShortestSetTimeFrame = static_cast<int>(kFrameOverhead) + 4;
constexpr int32_t kNoClock = -1;
constexpr int32_t kSecondsPerDay = 86400;

// The unit's answer to Play or Stop is newer than the last enquiry, which may be several
// seconds old: later decisions (whether Accept resumes playback, whether Stop asks first) go
// by what the unit said last.
void RememberPlayState(Program& program, uint8_t state) {
    UnitIdentity& identity = program.Identity();
    std::array<uint8_t, kIdentityPayloadBytes> raw = identity.Raw();
    raw[UnitIdentity::kPlayStateOffset] = state;
    identity.StorePayload(raw);
}

// Sends a command without payload that an Orvane HF alone understands.
Outcome SendToOrvaneHf(Program& program, Command command, const char* failure,
                       const char* success) {
    if (program.Identity().DeviceType() != device_type::kOrvaneHf) {
        return Outcome::Done();
    }
    if (program.Link().SendCommand(command) <= 0) {
        return program.Fail(failure);
    }
    return program.Done(success);
}

// Empties the grid and reads the unit's table into it. On failure the rows read so far stay,
// marked changed.
Outcome ReadTablePart(Program& program) {
    EmptyEventGrid(program);
    const uint16_t result = RetrieveEventTable(program);
    ClearEditHistory(program);
    if (result != 0) {
        MarkTableChanged(program, true);
        return program.Fail("Retrieve table failed");
    }
    MarkTableChanged(program, false);
    return Outcome::Done();
}

// Reads the unit's setup onto the controls. A failure marks the setup changed.
Outcome ReadSetupPart(Program& program) {
    std::optional<UnitKey>& origin = program.Origin().setup;
    Outcome read = ReadUnitSetup(program);
    ClearEditHistory(program);
    if (!read.ok) {
        MarkSetupChanged(program, true);
        origin.reset();
        return program.Fail("Retrieve setup failed");
    }
    MarkSetupChanged(program, false);
    origin = KeyOf(program.Identity());
    return read;
}

}  // namespace

Outcome PlayUnit(Program& program) {
    SerialLink& link = program.Link();
    if (link.SendCommand(Command::Play) <= 0) {
        return program.Fail("No response for play command, please try again");
    }
    const std::span<const uint8_t> payload = link.ResponsePayload();
    const int state = payload.empty() ? kNoPlayState : payload[0];
    ShowPlayState(program, state);
    switch (state) {
        case play_state::kEmptyTable:
            RememberPlayState(program, play_state::kEmptyTable);
            return program.Fail("No Events To Play");
        case play_state::kPlaying:
            RememberPlayState(program, play_state::kPlaying);
            return program.Done("Playback started");
        case play_state::kWaiting:
            RememberPlayState(program, play_state::kWaiting);
            return program.Done("Playback will begin when start time is reached");
        default:
            if (state == play_state::kStopped) {
                RememberPlayState(program, play_state::kStopped);
            }
            return program.Fail("Wrong play response has been received");
    }
}

Outcome SendRestoreSettings(Program& program) {
    return SendToOrvaneHf(program, Command::RestoreSettings, "No response for restore command",
                          "Settings restored successfully");
}

Outcome SaveUnitSettings(Program& program) {
    return SendToOrvaneHf(program, Command::SaveSettings, "No response for save command",
                          "Settings saved successfully");
}

Outcome RetrieveTableAndSetup(Program& program) {
    UnitOperationScope operation(program);
    if (Outcome table = ReadTablePart(program); !table.ok) {
        return table;
    }
    if (Outcome setup = ReadSetupPart(program); !setup.ok) {
        return setup;
    }
    return program.Done("Retrieved table and setup successfully");
}

Outcome ReloadUnitContents(Program& program) {
    const ChangeMarks& marks = program.Marks();
    const ContentsOrigin& origin = program.Origin();
    const UnitKey unit = KeyOf(program.Identity());
    const bool keep_table = marks.table_changed && origin.table == unit;
    const bool keep_setup = marks.setup_changed && origin.setup == unit;
    if (!keep_table && !keep_setup) {
        return RetrieveTableAndSetup(program);
    }
    UnitOperationScope operation(program);
    if (!keep_table) {
        if (Outcome table = ReadTablePart(program); !table.ok) {
            return table;
        }
    }
    return keep_setup ? Outcome::Done() : ReadSetupPart(program);
}

namespace {

// "Undo Changes" itself: reads back from the unit what was changed.
Outcome ReadBackChanges(Program& program) {
    UnitOperationScope operation(program);
    if (program.Marks().table_changed) {
        if (RereadEventTable(program) != 0) {
            return program.Fail("Retrieve table failed");
        }
        MarkTableChanged(program, false);
    }
    if (program.Marks().setup_changed) {
        if (Outcome setup = ReadSetupPart(program); !setup.ok) {
            return setup;
        }
    }
    return program.Done("Undo changes successfully");
}

}  // namespace

Outcome UndoAllChanges(Program& program) {
    Outcome result = ReadBackChanges(program);
    // Whatever was read, the edits before it no longer lead to what the grid shows.
    ClearEditHistory(program);
    return result;
}

Outcome StopUnit(Program& program) {
    UnitOperationScope operation(program);
    if (program.Link().SendCommand(Command::Stop) <= 0) {
        return program.Fail("No response from stop command");
    }
    Outcome stopped = program.Done("Playback stopped");
    RememberPlayState(program, play_state::kStopped);
    ShowPlayState(program, play_state::kStopped);
    return stopped;
}

Outcome SetUnitClockToPc(Program& program) {
    UnitOperationScope operation(program);
    std::array<uint8_t, 4> request{};
    WriteLe32(request.data(), static_cast<uint32_t>(program.GetPlatform().UtcNow()));
    SerialLink& link = program.Link();
    int32_t unit_clock = kNoClock;
    // Checked against the payload, not only the frame, so that no CRC byte is taken as time.
    if (link.SendCommand(Command::SetTime, request) >= kShortestSetTimeFrame) {
        unit_clock = static_cast<int32_t>(ReadLe32(link.ResponsePayload().data()));
    }
    if (unit_clock == kNoClock) {
        return program.Fail("Set time failed");
    }
    const int32_t of_day = ((unit_clock % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    const std::string name(DeviceTypeName(program.Identity().DeviceType()));
    return program.Done(FormatText("%s time set to %.2d:%.2d:%.2d UTC", name.c_str(), of_day / 3600,
                                   of_day / 60 % 60, of_day % 60));
}

int SendStopCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    // Held across the question too, so that no poll slips in while it waits for the answer.
    UnitOperationScope operation(program);
    if (program.Identity().PlayState() == play_state::kWaiting &&
        !program.GetUi().ConfirmPopup("Continue",
                                      "Warning: Stopping with prevent unit from playing at the "
                                      "start time.\nContinue?")) {
        return 0;
    }
    StopUnit(program);
    return 0;
}

int UndoChangesCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    if (!UndoAllChanges(program).ok) {
        program.ShowStatusMessage(false, "Undo changes failed");
    }
    ui.SetWaitCursor(false);
    return 0;
}

}  // namespace keelsong
