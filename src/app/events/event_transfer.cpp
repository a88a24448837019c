#include "app/events/event_transfer.h"

#include <algorithm>
#include <optional>
#include <string>

#include "app/events/event_exchange.h"
#include "app/events/event_grid.h"
#include "app/history/service_history.h"
#include "app/setup/playback.h"
#include "app/setup/setup_panel.h"
#include "app/shell/progress_bar.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "protocol/unit_status.h"

namespace keelsong {

namespace {

// The unit numbers its events with one byte, and holds no more than the grid: a unit still
// answering past that is not emptied or read any further, so a faulty one cannot hold the
// program in an endless loop.
constexpr int kMostEvents = EventGridModel::kMaxRows;
// Where a Type ring holds "Click" when the setup format offers it.
constexpr int kClickRingPosition = 4;

// Moves the transfer mark onto `row`. The window paints it during the pause of the exchange
// that follows (the window's pauses paint without taking input): a repaint of its own here
// would only add its time to every row.
void ShowRowMark(Program& program, int row) {
    EventGridModel& grid = program.Grid();
    grid.SetTransferMark(row, true);
    if (row > 1) {
        grid.SetTransferMark(row - 1, false);
    }
}

// Takes the transfer mark off every row when a transfer ends, however it ends: a mark left
// behind by a transfer that broke off would tell of a row still being sent or read.
class TransferMarkCleared {
  public:
    explicit TransferMarkCleared(EventGridModel& grid) : grid_(grid) {}
    ~TransferMarkCleared() {
        for (int row = 1; row <= grid_.RowCount(); ++row) {
            grid_.SetTransferMark(row, false);
        }
    }
    TransferMarkCleared(const TransferMarkCleared&) = delete;
    TransferMarkCleared& operator=(const TransferMarkCleared&) = delete;

  private:
    EventGridModel& grid_;
};

// "Accept Changes" in steps of one transaction each, shown in MAIN's progress bar: the
// removals that empty the unit's table, one addition per event, then the setup, the save and
// the play request. How many removals it takes is known only once the unit answers "Does not
// Exist": until then the events the unit last held stand for it (or, where no exchange has told,
// the grid's), and a removal beyond them leaves the count still to come as it was. Every step
// either adds to what is done or takes from what is to come, so the bar never moves back.
class AcceptSteps {
  public:
    AcceptSteps(Ui& ui, int removals, int others)
        : bar_(ui, Panel::MAIN), removals_left_(removals), others_left_(others) {}

    // One removal answered: `table_ended` when the unit said it had nothing left.
    void Removed(bool table_ended) {
        ++done_;
        removals_left_ = table_ended ? 0 : std::max(removals_left_ - 1, 1);
        Show();
    }
    // One of the other steps done.
    void Passed() {
        ++done_;
        others_left_ = std::max(others_left_ - 1, 0);
        Show();
    }

  private:
    void Show() {
        bar_.ShowPart(static_cast<size_t>(done_),
                      static_cast<size_t>(done_ + removals_left_ + others_left_));
    }

    ProgressBar bar_;
    int done_ = 0;
    int removals_left_;
    int others_left_;
};

// Removes index 0 until the unit has nothing left there; the answer that ended it.
uint16_t RemoveAllUnitEvents(Program& program, AcceptSteps* steps) {
    uint16_t result = event_result::kSuccess;
    for (int removed = 0; removed <= kMostEvents; ++removed) {
        result = RemoveUnitEvent(program, 0);
        if (steps) {
            steps->Removed(result != event_result::kSuccess);
        }
        if (result != event_result::kSuccess) {
            return result;
        }
    }
    return event_result::kTooManyEvents;
}

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

Outcome SendTable(Program& program, AcceptSteps* steps) {
    UnitOperationScope operation(program);
    const TransferMarkCleared mark_cleared(program.Grid());
    // The unit's table changes from here; only a send that ends says what it holds.
    program.History().unit_rows.reset();
    program.ShowStatusMessage(true, "Clearing events in your unit");
    std::optional<int>& unit_events = program.UnitEventCount();
    const uint16_t removal = RemoveAllUnitEvents(program, steps);
    if (removal != event_result::kDoesNotExist) {
        unit_events.reset();
        return program.Fail(FormatText("Event Remove Error, Code: %d", removal), removal);
    }
    unit_events = 0;
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
        if (steps) {
            steps->Passed();
        }
        if (result != event_result::kSuccess) {
            return program.Fail(FormatText("Failed to add event #%d", row), result);
        }
        unit_events = index;
    }
    grid.SetTransferMark(rows, false);
    Outcome sent = program.Done("Events updated successfully");
    program.Origin().table = KeyOf(program.Identity());
    return sent;
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
    const TransferMarkCleared mark_cleared(program.Grid());
    // How many events there are is only known at the end: the bar counts them against the
    // most a table holds.
    ProgressBar bar(program.GetUi(), Panel::MAIN);
    events_read = 0;
    std::optional<UnitKey>& origin = program.Origin().table;
    std::optional<int>& unit_events = program.UnitEventCount();
    for (int index = 0; index <= kMostEvents; ++index) {
        const uint16_t result = EnquireUnitEvent(program, static_cast<uint8_t>(index));
        if (result == event_result::kSuccess) {
            ++events_read;
            bar.ShowCount(events_read, kMostEvents, FormatText("Events read: %d", events_read));
            continue;
        }
        if (result == event_result::kDoesNotExist || result == event_result::kPastEndOfTable) {
            program.Grid().SetTransferMark(index, false);
            program.ShowStatusMessage(true, "Table retrieved successfully");
            origin = KeyOf(program.Identity());
            program.ContentsFile().reset();
            unit_events = events_read;
            return event_result::kSuccess;
        }
        // The grid now mixes rows read with rows that were there before.
        origin.reset();
        unit_events.reset();
        return result;
    }
    origin.reset();
    unit_events.reset();
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

Outcome SendEventTable(Program& program) {
    return SendTable(program, nullptr);
}

namespace {

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
        if (!SendTable(program, &steps).ok) {
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

}  // namespace keelsong
