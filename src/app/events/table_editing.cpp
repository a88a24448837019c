#include "app/events/table_editing.h"

#include <algorithm>

#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"

namespace keelsong {

namespace {

namespace col = grid_column;

enum class Focus { Take, Keep };

void FocusGrid(Program& program, Focus focus) {
    if (focus == Focus::Take) {
        program.GetUi().SetActiveCtrl(Panel::MAIN, Control::EVENT_TABLE);
    }
}

void AppendRow(Program& program, Focus focus) {
    const auto row = static_cast<uint8_t>(program.Grid().RowCount() + 1);
    InsertEventRow(program, row);
    FocusGrid(program, focus);
    program.Grid().SetActiveCell(col::kType, row);
    MarkTableChanged(program, true);
    RecordTableEdit(program, "Append Event", {col::kType, row});
}

void InsertAbove(Program& program, Focus focus) {
    const int row = std::max(program.Grid().ActiveCell().row, 1);
    InsertEventRow(program, static_cast<uint8_t>(row));
    FocusGrid(program, focus);
    program.Grid().SetActiveCell(col::kType, row);
    MarkTableChanged(program, true);
    RecordTableEdit(program, FormatText("Insert Above row %d", row), {col::kType, row});
}

void RemoveRows(Program& program, int first, int last, Focus focus) {
    EventGridModel& grid = program.Grid();
    const int column = grid.ActiveCell().column;
    grid.DeleteRows(first, last - first + 1);
    FocusGrid(program, focus);
    // The row that followed takes the place; after the last row the grid keeps the active
    // cell on the new last row.
    grid.SetActiveCell(column, first);
    MarkTableChanged(program, true);
    RecordTableEdit(program,
                    first == last ? FormatText("Remove Event row %d", first)
                                  : FormatText("Remove Event rows %d-%d", first, last),
                    {column, first});
}

void RemoveActiveRow(Program& program, Focus focus) {
    const int row = program.Grid().ActiveCell().row;
    RemoveRows(program, row, row, focus);
}

void ClearRows(Program& program) {
    EmptyEventGrid(program);
    MarkTableChanged(program, true);
    RecordTableEdit(program, "Clear Table", {col::kType, 1});
}

int32_t TypeOfRow(Program& program, int row) {
    const EventGridModel& grid = program.Grid();
    return EventTypeOfRow(grid.Text(col::kType, row), grid.Text(col::kUnit, row),
                          program.Unit().device_type);
}

// An Orvane LF attenuates in steps of 6 dB: the nearest step, halves rounded up.
int LfAttenuationStep(int level) {
    return (level + 3) / 6 * 6;
}

}  // namespace

int AddEventCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        AppendRow(program, Focus::Take);
    }
    return 0;
}

int InsertEventCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        InsertAbove(program, Focus::Take);
    }
    return 0;
}

int RemoveEventCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        RemoveActiveRow(program, Focus::Take);
    }
    return 0;
}

int ClearTableCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        ClearRows(program);
    }
    return 0;
}

int InsertTableCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::ValueChanged) {
        // Key presses pass on unchanged: the grid's own editing handles them.
        return 0;
    }
    const int row = program.Grid().ActiveCell().row;
    ApplyCellEdit(program, event.data2, row);
    MarkTableChanged(program, true);
    RecordTableEdit(program, CellEditName(program.Grid(), event.data2, row), {event.data2, row});
    return 0;
}

void ApplyCellEdit(Program& program, int column, int row) {
    EventGridModel& grid = program.Grid();
    switch (column) {
        case col::kType:
            SetRowType(program, TypeOfRow(program, row), row);
            break;
        case col::kUnit:
            SetDurationUnit(program, TypeOfRow(program, row), row);
            break;
        case col::kLevel: {
            int level = static_cast<int8_t>(static_cast<int>(grid.Number(col::kLevel, row)));
            if (program.Unit().device_type == device_type::kOrvaneLf) {
                level = LfAttenuationStep(level);
            }
            grid.SetNumber(col::kLevel, row, level);
            break;
        }
        default:
            break;
    }
}

void RemoveEventRows(Program& program, int first, int last) {
    RemoveRows(program, first, last, Focus::Keep);
}

void ReportCellLimited(Program& program, int column, int row) {
    const EventGridModel& grid = program.Grid();
    if (grid.Cell(column, row)) {
        program.ShowStatusMessage(
            false, grid.ColumnTitle(column) + " limited to " + grid.DisplayText(column, row));
    }
}

void AddEventMenuAction(Program& program) {
    AppendRow(program, Focus::Keep);
}

void InsertAboveMenuAction(Program& program) {
    InsertAbove(program, Focus::Keep);
}

void RemoveEventMenuAction(Program& program) {
    RemoveActiveRow(program, Focus::Keep);
}

void RefreshTableMenuAction(Program& program) {
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    // Not emptied first: the rows read take the places of the grid's, and the reader drops the
    // rows beyond the unit's table.
    if (RereadEventTable(program) != 0) {
        // The grid may now mix old rows with rows read from the unit.
        MarkTableChanged(program, true);
        program.ShowStatusMessage(false, "Retrieve table failed, please try again");
    } else {
        MarkTableChanged(program, false);
        program.ShowStatusMessage(true, "Table refreshed successfully");
    }
    ClearEditHistory(program);
    ui.SetWaitCursor(false);
}

void ClearTableMenuAction(Program& program) {
    ClearRows(program);
}

void BuildTableMenu(Program& program) {
    Ui& ui = program.GetUi();
    constexpr Panel kPanel = Panel::MAIN;
    constexpr Control kGrid = Control::EVENT_TABLE;
    ui.AppendMenuItem(kPanel, kGrid, "Add Event", [&program] { AddEventMenuAction(program); });
    ui.AppendMenuItem(kPanel, kGrid, "Insert Above",
                      [&program] { InsertAboveMenuAction(program); });
    ui.AppendMenuItem(kPanel, kGrid, "Remove Event",
                      [&program] { RemoveEventMenuAction(program); });
    ui.AppendMenuSeparator(kPanel, kGrid);
    ui.AppendMenuItem(kPanel, kGrid, "Refresh Table",
                      [&program] { RefreshTableMenuAction(program); });
    ui.AppendMenuItem(kPanel, kGrid, "Clear Table", [&program] { ClearTableMenuAction(program); });
    ui.AppendMenuSeparator(kPanel, kGrid);
    ui.AppendMenuItem(kPanel, kGrid, std::string(kUndoMenuItem), [&program] { UndoEdit(program); });
    ui.SetMenuItemKeys(kPanel, kGrid, kUndoMenuItem, {"Ctrl+Z"});
    ui.AppendMenuItem(kPanel, kGrid, std::string(kRedoMenuItem), [&program] { RedoEdit(program); });
    ui.SetMenuItemKeys(kPanel, kGrid, kRedoMenuItem, {"Ctrl+Shift+Z", "Ctrl+Y"});
}

}  // namespace keelsong
