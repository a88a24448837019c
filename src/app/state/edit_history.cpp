#include "app/state/edit_history.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "app/state/setup_controls.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

namespace col = grid_column;

std::string SetupEditName(Program& program, Control control) {
    switch (control) {
        case Control::CONTINUOUS:
            return "Repeat";
        case Control::PLAYBACKS:
            return "Number of Repeats";
        case Control::REST_TIME:
            return "Time Between Repeats";
        case Control::ENABLE_START_TIME:
            return "Start Delay";
        case Control::YEAR:
            return "Start Year";
        case Control::MONTH:
            return "Start Month";
        case Control::DAY:
            return "Start Day";
        case Control::HOUR:
            return "Start Hour";
        case Control::MIN:
            return "Start Minute";
        case Control::SYNC_MODE:
            return "Sync Mode";
        case Control::ENCODE_TIME:
            // Its caption follows the sync mode: the name the user saw.
            return program.GetUi().Label(Panel::MAIN, Control::ENCODE_TIME);
        case Control::MAG_SWITCH:
            return "Magnetic Switch";
        default:
            return "Setup";
    }
}

void ShowHistoryState(Program& program) {
    const EditHistory& history = program.History();
    Ui& ui = program.GetUi();
    ui.SetMenuItemDimmed(Panel::MAIN, Control::EVENT_TABLE, kUndoMenuItem, history.done == 0);
    ui.SetMenuItemTooltip(Panel::MAIN, Control::EVENT_TABLE, kUndoMenuItem,
                          UndoDescription(program));
    ui.SetMenuItemDimmed(Panel::MAIN, Control::EVENT_TABLE, kRedoMenuItem,
                         history.done == history.steps.size());
    ui.SetMenuItemTooltip(Panel::MAIN, Control::EVENT_TABLE, kRedoMenuItem,
                          RedoDescription(program));
}

void Push(Program& program, EditStep step) {
    EditHistory& history = program.History();
    history.steps.erase(history.steps.begin() + static_cast<std::ptrdiff_t>(history.done),
                        history.steps.end());
    if (!history.steps.empty()) {
        history.steps.back().open_control.reset();
    }
    history.steps.push_back(std::move(step));
    if (history.steps.size() > kMostEditSteps) {
        history.steps.erase(history.steps.begin());
    }
    history.done = history.steps.size();
    history.unsaved_edits = true;
    history.edited_without_unit |= program.Identity().DeviceType() == device_type::kNone;
}

// Rows put back carry the column limits they had when they were taken. Limits change only with
// the unit, and a new unit's table is read (which empties the history), but should they have
// changed all the same, the rows take today's limits as every row in the grid does.
void ApplyColumnLimits(EventGridModel& grid) {
    for (int column : {col::kStartFrequency, col::kEndFrequency, col::kLevel}) {
        const GridCell* limits = grid.ColumnDefault(column);
        grid.SetColumnRange(column, limits->minimum, limits->maximum);
    }
    grid.SetColumnMinimum(col::kDuration, grid.ColumnDefault(col::kDuration)->minimum);
}

void ShowSetupValues(Program& program, const SetupValues& values) {
    Ui& ui = program.GetUi();
    const SetupValues shown = ShownSetupValues(program);
    bool continuous_changed = false;
    bool start_changed = false;
    bool sync_changed = false;
    for (size_t i = 0; i < std::size(kUndoableSetupControls) && i < values.size(); ++i) {
        if (values[i] == shown[i]) {
            continue;
        }
        const Control control = kUndoableSetupControls[i];
        ui.SetValue(Panel::MAIN, control, values[i]);
        continuous_changed |= control == Control::CONTINUOUS;
        start_changed |= control == Control::ENABLE_START_TIME;
        sync_changed |= control == Control::SYNC_MODE;
    }
    // What the controls' own callbacks do when the user changes them.
    if (continuous_changed) {
        ui.SetDimmed(Panel::MAIN, Control::PLAYBACKS,
                     ui.IntValue(Panel::MAIN, Control::CONTINUOUS) == 0);
    }
    if (start_changed) {
        SetStartTimeEnabled(program, ui.IntValue(Panel::MAIN, Control::ENABLE_START_TIME) != 0);
    }
    if (sync_changed) {
        ShowSyncMode(program, static_cast<int8_t>(ui.IntValue(Panel::MAIN, Control::SYNC_MODE)));
    }
    const std::optional<SetupValues>& unit_setup = program.History().unit_setup;
    MarkSetupChanged(program, !unit_setup || ShownSetupValues(program) != *unit_setup);
}

// Shows one side of a step.
void ShowStep(Program& program, const EditStep& step, bool before) {
    EditHistory& history = program.History();
    if (step.table) {
        EventGridModel& grid = program.Grid();
        grid.RestoreRows(before ? step.rows_before : step.rows_after);
        ApplyColumnLimits(grid);
        grid.SetActiveCell(step.cell.column, std::min(step.cell.row, grid.RowCount()));
        history.recorded_rows = grid.RowImages();
        MarkTableChanged(program,
                         !history.unit_rows || *history.recorded_rows != *history.unit_rows);
    }
    // A table step may carry the setup too (values taken from a file at once).
    if (!step.setup_before.empty()) {
        ShowSetupValues(program, before ? step.setup_before : step.setup_after);
        history.recorded_setup = ShownSetupValues(program);
    }
}

bool Editable(Program& program) {
    return !program.GetUi().IsDimmed(Panel::MAIN, Control::EVENT_TABLE);
}

}  // namespace

SetupValues ShownSetupValues(const Program& program) {
    const Ui& ui = program.GetUi();
    SetupValues values;
    for (Control control : kUndoableSetupControls) {
        values.push_back(ui.Value(Panel::MAIN, control));
    }
    return values;
}

void ClearEditHistory(Program& program) {
    EditHistory& history = program.History();
    history.steps.clear();
    history.done = 0;
    history.unsaved_edits = false;
    history.edited_without_unit = false;
    history.recorded_rows = program.Grid().RowImages();
    history.recorded_setup = ShownSetupValues(program);
    ShowHistoryState(program);
}

void RecordTableEdit(Program& program, std::string what, EventGridModel::CellAddress cell) {
    EditHistory& history = program.History();
    std::vector<EventGridModel::RowCells> rows = program.Grid().RowImages();
    if (history.recorded_rows && *history.recorded_rows != rows) {
        EditStep step;
        step.what = std::move(what);
        step.table = true;
        step.rows_before = std::move(*history.recorded_rows);
        step.rows_after = rows;
        step.cell = cell;
        Push(program, std::move(step));
    }
    history.recorded_rows = std::move(rows);
    ShowHistoryState(program);
}

void RecordCombinedEdit(Program& program, std::string what) {
    EditHistory& history = program.History();
    std::vector<EventGridModel::RowCells> rows = program.Grid().RowImages();
    SetupValues values = ShownSetupValues(program);
    EditStep step;
    step.what = std::move(what);
    if (history.recorded_rows && *history.recorded_rows != rows) {
        step.table = true;
        step.rows_before = std::move(*history.recorded_rows);
        step.rows_after = rows;
    }
    if (history.recorded_setup && *history.recorded_setup != values) {
        step.setup_before = std::move(*history.recorded_setup);
        step.setup_after = values;
    }
    if (step.table || !step.setup_before.empty()) {
        Push(program, std::move(step));
    }
    history.recorded_rows = std::move(rows);
    history.recorded_setup = std::move(values);
    ShowHistoryState(program);
}

void RecordSetupEdit(Program& program, Control control) {
    EditHistory& history = program.History();
    SetupValues values = ShownSetupValues(program);
    if (!history.recorded_setup || *history.recorded_setup == values) {
        history.recorded_setup = std::move(values);
        return;
    }
    const bool continues_open_step = history.done > 0 && history.done == history.steps.size() &&
                                     history.steps.back().open_control == control;
    if (continues_open_step) {
        EditStep& open = history.steps.back();
        open.setup_after = values;
        if (open.setup_after == open.setup_before) {
            // Typed back to what it was: no edit left.
            history.steps.pop_back();
            --history.done;
        }
    } else {
        EditStep step;
        step.what = SetupEditName(program, control);
        step.setup_before = std::move(*history.recorded_setup);
        step.setup_after = values;
        step.open_control = control;
        Push(program, std::move(step));
    }
    history.recorded_setup = std::move(values);
    ShowHistoryState(program);
}

void EndSetupEdit(Program& program, Control control) {
    EditHistory& history = program.History();
    if (history.done > 0 && history.steps[history.done - 1].open_control == control) {
        history.steps[history.done - 1].open_control.reset();
    }
}

bool UndoEdit(Program& program) {
    EditHistory& history = program.History();
    if (history.done == 0 || !Editable(program)) {
        return false;
    }
    EditStep& step = history.steps[--history.done];
    step.open_control.reset();
    ShowStep(program, step, true);
    ShowHistoryState(program);
    return true;
}

bool RedoEdit(Program& program) {
    EditHistory& history = program.History();
    if (history.done == history.steps.size() || !Editable(program)) {
        return false;
    }
    ShowStep(program, history.steps[history.done++], false);
    ShowHistoryState(program);
    return true;
}

std::string UndoDescription(const Program& program) {
    const EditHistory& history = program.History();
    return history.done == 0 ? std::string() : "Undo: " + history.steps[history.done - 1].what;
}

std::string RedoDescription(const Program& program) {
    const EditHistory& history = program.History();
    return history.done == history.steps.size() ? std::string()
                                                : "Redo: " + history.steps[history.done].what;
}

std::string ColumnName(const EventGridModel& grid, int column) {
    std::string title = grid.ColumnTitle(column);
    title.erase(std::min(title.find('('), title.size()));
    while (!title.empty() && title.back() == ' ') {
        title.pop_back();
    }
    return title;
}

std::string CellEditName(const EventGridModel& grid, int column, int row) {
    return FormatText("%s row %d", ColumnName(grid, column).c_str(), row);
}

}  // namespace keelsong
