#include "app/events/event_transfer.h"

#include <optional>
#include <string>

#include "app/events/event_exchange.h"
#include "app/events/event_grid.h"
#include "app/shell/progress_bar.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "protocol/unit_status.h"

namespace keelsong {

namespace {

// The unit numbers its events with one byte, and holds no more than the grid: a unit still
// answering past that is not emptied or read any further, so a faulty one cannot hold the
// program in an endless loop.
constexpr int kMostEvents = EventGridModel::kMaxRows;

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

}  // namespace

Outcome SendEventTable(Program& program, AcceptSteps* steps) {
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

}  // namespace keelsong
