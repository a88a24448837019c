#include "app/changes/accept_changes.h"

#include <optional>
#include <string>

#include "app/changes/clock_and_settings.h"
#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/history/service_history.h"
#include "app/setup/playback.h"
#include "app/setup/setup_panel.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "protocol/unit_status.h"

namespace keelsong {

namespace {

// Where a Type ring holds "Click" when the setup format offers it.
constexpr int kClickRingPosition = 4;

int CountEvents(Program& program) {
    int events = 0;
    for (int row = 1; row <= program.Grid().RowCount(); ++row) {
        EventBody body{};
        if (RowToEvent(program, body, row) != TypeCode(EventType::None)) {
            ++events;
        }
    }
    return events;
}

// Brings every row's Type choices into line with the setup format in force: "Click" is offered
// only where the unit takes clicks.
void RefreshTypeRings(Program& program) {
    EventGridModel& grid = program.Grid();
    const bool clicks = program.Unit().setup_format == kClickSetupFormat;
    // The rows' items change under any step that would put older rows back.
    ClearEditHistory(program);
    for (int row = grid.RowCount(); row >= 1; --row) {
        if (grid.RingItemCount(grid_column::kType, row) > kClickRingPosition) {
            grid.DeleteRingItem(grid_column::kType, row, kClickRingPosition);
        }
        if (clicks) {
            grid.InsertRingItem(grid_column::kType, row, kClickRingPosition,
                                std::string(row_text::kClick));
        }
    }
}

// Whether Accept resumes playback: unless the unit had been stopped, or when a stopped unit has
// an enabled start time that has not passed yet, so that it waits for it.
bool ResumesPlayback(Program& program, uint8_t play_state_before) {
    if (play_state_before != play_state::kStopped) {
        return true;
    }
    if (program.GetUi().IntValue(Panel::MAIN, Control::ENABLE_START_TIME) == 0) {
        return false;
    }
    return program.GetPlatform().UtcNow() <= int64_t{StartTimeFromControls(program)};
}

bool AnyChangeMarked(const Program& program) {
    return program.Marks().table_changed || program.Marks().setup_changed;
}

void PlayWithSaveUnderWaitCursor(Program& program) {
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    PlayWithSave(program);
    ui.SetWaitCursor(false);
}

// "Accept Changes" itself: what was changed sent, then saved by the unit.
Outcome SendAndSaveChanges(Program& program) {
    UnitOperationScope operation(program);
    const uint8_t play_state_before = program.Identity().PlayState();
    const ChangeMarks& marks = program.Marks();
    const int additions = marks.table_changed ? CountEvents(program) : 0;
    const int removals = marks.table_changed ? program.UnitEventCount().value_or(additions) + 1 : 0;
    const int others = additions + (marks.setup_changed ? 1 : 0) + 1 +
                       (ResumesPlayback(program, play_state_before) ? 1 : 0);
    AcceptSteps steps(program.GetUi(), removals, others);

    if (marks.table_changed) {
        // Leaving a row out would send a table the user never saw: nothing goes instead.
        if (const std::optional<int> row = FirstUnsendableRow(program)) {
            return program.Fail(
                FormatText("Row %d cannot be sent: its event type is unknown", *row),
                kUnsendableRow);
        }
        if (!SendEventTable(program, &steps).ok) {
            RestoreUnitSettings(program);
            return program.Fail("Send events failed");
        }
        MarkTableChanged(program, false);
    }
    if (marks.setup_changed) {
        if (!SendUnitSetup(program).ok) {
            return program.Fail("Send settings failed");
        }
        steps.Passed();
        MarkSetupChanged(program, false);
        program.Origin().setup = KeyOf(program.Identity());
    }
    if (!SaveUnitSettings(program).ok) {
        return program.Fail("Failed to save settings to unit");
    }
    steps.Passed();
    Outcome accepted = program.Done("Accept changes successfully");
    ClearEditHistory(program);
    if (ResumesPlayback(program, play_state_before)) {
        // The changes are in the unit whether or not it plays them: a refusal to play is told
        // on the status line, and does not undo the accept.
        if (Outcome played = PlayUnit(program); played.ok) {
            accepted.message = std::move(played.message);
        }
        steps.Passed();
    }
    return accepted;
}

}  // namespace

Outcome AcceptChanges(Program& program) {
    return RecordAcceptChanges(program, [&] { return SendAndSaveChanges(program); });
}

int AcceptChangesCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    // A row that cannot be sent is told by its number, which trying again would not change.
    if (const Outcome accepted = AcceptChanges(program);
        !accepted.ok && accepted.code != kUnsendableRow) {
        program.ShowStatusMessage(false, "Accept changes failed, please try again");
    }
    EnquireUnit(program, false);
    ui.SetWaitCursor(false);
    return 0;
}

Outcome ResyncAfterUpdate(Program& program, bool keep_program_contents) {
    UnitOperationScope operation(program);
    if (keep_program_contents) {
        // The unit may have come back empty, with its setup at the defaults: the whole table
        // and the setup go, edited or not.
        MarkTableChanged(program, true);
        MarkSetupChanged(program, true);
        if (!AcceptChanges(program).ok) {
            RefreshTypeRings(program);
            return program.Fail("Accept changes failed");
        }
    }
    Outcome read = RetrieveTableAndSetup(program);
    if (!read.ok) {
        return program.Fail("Update display failed");
    }
    return read;
}

Outcome PlayWithSave(Program& program) {
    UnitOperationScope operation(program);
    if (Outcome accepted = AcceptChanges(program); !accepted.ok) {
        // A row that cannot be sent stays named: that is what the user has to change.
        if (accepted.code == kUnsendableRow) {
            return accepted;
        }
        return program.Fail("Failed to save changes before playing");
    }
    return PlayUnit(program);
}

int SendPlayCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    if (SaveBeforePlaying(program) || !AnyChangeMarked(program)) {
        PlayWithSaveUnderWaitCursor(program);
    } else {
        program.GetUi().InstallPopup(Panel::AUTO);
    }
    return 0;
}

int PlayPopupSaveCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    Ui& ui = program.GetUi();
    if (ui.IntValue(Panel::AUTO, Control::REMEMBER) != 0) {
        SetSaveBeforePlaying(program, true);
    }
    ui.RemovePopup(Panel::AUTO);
    PlayWithSaveUnderWaitCursor(program);
    return 0;
}

int PlayPopupCancelCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    Ui& ui = program.GetUi();
    ui.SetInt(Panel::AUTO, Control::REMEMBER, 0);
    ui.RemovePopup(Panel::AUTO);
    return 0;
}

}  // namespace keelsong
