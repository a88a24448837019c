#include "app/table_editing.h"

#include <algorithm>

#include "app/change_marks.h"
#include "app/event_grid.h"
#include "app/program.h"

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
}

void InsertAbove(Program& program, Focus focus) {
    const int row = std::max(program.Grid().ActiveCell().row, 1);
    InsertEventRow(program, static_cast<uint8_t>(row));
    FocusGrid(program, focus);
    program.Grid().SetActiveCell(col::kType, row);
    MarkTableChanged(program, true);
}

void RemoveActiveRow(Program& program, Focus focus) {
    EventGridModel& grid = program.Grid();
    const EventGridModel::CellAddress active = grid.ActiveCell();
    grid.DeleteRows(active.row, 1);
    FocusGrid(program, focus);
    // The row that followed takes the place; after the last row the grid keeps the active
    // cell on the new last row.
    grid.SetActiveCell(active.column, active.row);
    MarkTableChanged(program, true);
}

void ClearRows(Program& program) {
    EmptyEventGrid(program);
    MarkTableChanged(program, true);
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
    EventGridModel& grid = program.Grid();
    const int row = grid.ActiveCell().row;
    switch (event.data2) {
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
    MarkTableChanged(program, true);
    return 0;
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
    if (program.RetrieveEventTable() != 0) {
        // The grid may now mix old rows with rows read from the unit.
        MarkTableChanged(program, true);
        program.ShowStatusMessage(false, "Retrieve table failed, please try again");
    } else {
        MarkTableChanged(program, false);
        program.ShowStatusMessage(true, "Table refreshed successfully");
    }
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
}

}  // namespace keelsong
