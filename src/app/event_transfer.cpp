#include "app/event_transfer.h"

#include <optional>
#include <string>

#include "app/change_marks.h"
#include "app/edit_history.h"
#include "app/enquiry.h"
#include "app/event_exchange.h"
#include "app/event_grid.h"
#include "app/playback.h"
#include "app/program.h"
#include "app/setup_panel.h"
#include "app/text_format.h"
#include "protocol/unit_status.h"

namespace keelsong {

namespace {

// The unit numbers its events with one byte, and holds no more than the grid: a unit still
// answering past that is not emptied or read any further, so a faulty one cannot hold the
// program in an endless loop.
constexpr int kMostEvents = EventGridModel::kMaxRows;
// Where a Type ring holds "Click" when the setup format offers it.
constexpr int kClickRingPosition = 4;

// Lets the window repaint, so that the moving transfer mark is seen, without handling input.
void ShowRowMark(Program& program, int row) {
    EventGridModel& grid = program.Grid();
    grid.SetTransferMark(row, true);
    if (row > 1) {
        grid.SetTransferMark(row - 1, false);
    }
    program.GetUi().ProcessDrawEvents();
}

// Removes index 0 until the unit has nothing left there; the answer that ended it.
uint16_t RemoveAllUnitEvents(Program& program) {
    uint16_t result = event_result::kSuccess;
    for (int removed = 0; removed <= kMostEvents; ++removed) {
        result = RemoveUnitEvent(program, 0);
        if (result != event_result::kSuccess) {
            return result;
        }
    }
    return event_result::kTooManyEvents;
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

}  // namespace

uint16_t RetrieveEventTable(Program& program) {
    int events_read = 0;
    return RetrieveEventTable(program, events_read);
}

uint16_t RetrieveEventTable(Program& program, int& events_read) {
    UnitOperationScope operation(program);
    events_read = 0;
    std::optional<UnitKey>& origin = program.Origin().table;
    for (int index = 0; index <= kMostEvents; ++index) {
        const uint16_t result = EnquireUnitEvent(program, static_cast<uint8_t>(index));
        if (result == event_result::kSuccess) {
            ++events_read;
            program.GetUi().ProcessDrawEvents();
            continue;
        }
        if (result == event_result::kDoesNotExist || result == event_result::kPastEndOfTable) {
            program.Grid().SetTransferMark(index, false);
            program.ShowStatusMessage(true, "Table retrieved successfully");
            origin = KeyOf(program.Identity());
            return event_result::kSuccess;
        }
        // The grid now mixes rows read with rows that were there before.
        origin.reset();
        return result;
    }
    origin.reset();
    program.ShowStatusMessage(
        false, FormatText("Event #%d Error: %s", kMostEvents + 1,
                          std::string(EventResultText(event_result::kTooManyEvents)).c_str()));
    return event_result::kTooManyEvents;
}

uint16_t RereadEventTable(Program& program) {
    int events_read = 0;
    const uint16_t result = RetrieveEventTable(program, events_read);
    if (result == event_result::kSuccess) {
        // A table that ended with "Past End of Table" leaves the rows beyond it, which the unit
        // does not have: they would be sent with the next accepted change.
        EventGridModel& grid = program.Grid();
        grid.DeleteRows(events_read + 1, grid.RowCount() - events_read);
    }
    return result;
}

int SendEventTable(Program& program) {
    UnitOperationScope operation(program);
    program.ShowStatusMessage(true, "Clearing events in your unit");
    const uint16_t removal = RemoveAllUnitEvents(program);
    if (removal != event_result::kDoesNotExist) {
        program.ShowStatusMessage(false, FormatText("Event Remove Error, Code: %d", removal));
        return removal;
    }
    program.ShowStatusMessage(true, "Events Cleared");

    EventGridModel& grid = program.Grid();
    const int rows = grid.RowCount();
    uint8_t index = 0;
    for (int row = 1; row <= rows; ++row) {
        EventRecord record;
        record.type = RowToEvent(program, record.body, row);
        ShowRowMark(program, row);
        if (record.type == TypeCode(EventType::None)) {
            continue;
        }
        const uint16_t result = AddUnitEvent(program, record, index++);
        if (result != event_result::kSuccess) {
            program.ShowStatusMessage(false, FormatText("Failed to add event #%d", row));
            return result;
        }
    }
    grid.SetTransferMark(rows, false);
    program.ShowStatusMessage(true, "Events updated successfully");
    program.Origin().table = KeyOf(program.Identity());
    return 0;
}

int AcceptChanges(Program& program) {
    UnitOperationScope operation(program);
    const uint8_t play_state_before = program.Identity().PlayState();
    const ChangeMarks& marks = program.Marks();
    if (marks.table_changed) {
        if (SendEventTable(program) != 0) {
            RestoreUnitSettings(program);
            program.ShowStatusMessage(false, "Send events failed");
            return -1;
        }
        MarkTableChanged(program, false);
    }
    if (marks.setup_changed) {
        if (SendUnitSetup(program) != 0) {
            program.ShowStatusMessage(false, "Send settings failed");
            return -1;
        }
        MarkSetupChanged(program, false);
        program.Origin().setup = KeyOf(program.Identity());
    }
    if (SaveUnitSettings(program) != 0) {
        program.ShowStatusMessage(false, "Failed to save settings to unit");
        return -1;
    }
    program.ShowStatusMessage(true, "Accept changes successfully");
    ClearEditHistory(program);
    if (ResumesPlayback(program, play_state_before)) {
        PlayUnit(program);
    }
    return 0;
}

int AcceptChangesCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    if (AcceptChanges(program) != 0) {
        program.ShowStatusMessage(false, "Accept changes failed, please try again");
    }
    EnquireUnit(program, false);
    ui.SetWaitCursor(false);
    return 0;
}

int ResyncAfterUpdate(Program& program, bool keep_program_contents) {
    UnitOperationScope operation(program);
    if (keep_program_contents) {
        // The unit may have come back empty, with its setup at the defaults: the whole table
        // and the setup go, edited or not.
        MarkTableChanged(program, true);
        MarkSetupChanged(program, true);
        if (AcceptChanges(program) != 0) {
            RefreshTypeRings(program);
            program.ShowStatusMessage(false, "Accept changes failed");
            return -1;
        }
    }
    if (RetrieveTableAndSetup(program) != 0) {
        program.ShowStatusMessage(false, "Update display failed");
        return -1;
    }
    return 0;
}

void InstallTableTransfer(Program& program) {
    UnitHooks& hooks = program.Hooks();
    hooks.restore_unit_settings = RestoreUnitSettings;
    hooks.retrieve_table_and_setup = ReloadUnitContents;
    program.SetTableRetriever(RereadEventTable);
    program.GetShell().SetChangesAcceptor(AcceptChanges);
}

}  // namespace keelsong
