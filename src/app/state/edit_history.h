#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shell/controls.h"
#include "app/shell/ui.h"
#include "app/state/event_grid_model.h"

namespace keelsong {

class Program;

// The user's single edits of the event table and the setup controls, to be undone and redone
// one by one. Each step keeps the grid's rows or the setup controls' values as they were
// before and after it. The history starts empty whenever the grid and the controls are filled
// from elsewhere: a read from the unit, an accepted change, a loaded configuration file.
// Undoing only changes what the program shows: it marks the table or setup changed, unless it
// comes back to exactly what the unit is known to hold, so the marks keep meaning "the unit
// may not hold this".

// The grid's context-menu items that undo and redo, with their keys.
inline constexpr std::string_view kUndoMenuItem = "Undo";
inline constexpr std::string_view kRedoMenuItem = "Redo";

// The setup controls whose values the history keeps, in the order it keeps them.
inline constexpr Control kUndoableSetupControls[] = {
    Control::CONTINUOUS, Control::PLAYBACKS, Control::REST_TIME,   Control::ENABLE_START_TIME,
    Control::YEAR,       Control::MONTH,     Control::DAY,         Control::HOUR,
    Control::MIN,        Control::SYNC_MODE, Control::ENCODE_TIME, Control::MAG_SWITCH};

using SetupValues = std::vector<ControlValue>;

// One undoable edit: what it was ("Start Freq row 3") and the two states it lies between.
// A table step keeps the rows, a setup step the controls' values; a table step with setup
// values (RecordCombinedEdit) keeps both.
struct EditStep {
    std::string what;
    std::vector<EventGridModel::RowCells> rows_before, rows_after;
    SetupValues setup_before, setup_after;
    bool table = false;
    // Where the edit happened; the cursor goes back there on undo and redo.
    EventGridModel::CellAddress cell;
    // A setup control whose further changes still belong to this step (the keystrokes of one
    // number), until the control's value is committed.
    std::optional<Control> open_control;
};

struct EditHistory {
    // Steps before `done` can be undone, the rest redone.
    std::vector<EditStep> steps;
    size_t done = 0;
    // The grid and the controls as the last step (or the last clearing) left them: the
    // "before" of the next edit.
    std::optional<std::vector<EventGridModel::RowCells>> recorded_rows;
    std::optional<SetupValues> recorded_setup;
    // The table and the setup as the unit holds them, where known: taken whenever a change mark
    // is cleared (read, accepted), dropped when a send begins that may leave the unit holding
    // something else. Undoing or redoing back to them clears the mark again.
    std::optional<std::vector<EventGridModel::RowCells>> unit_rows;
    std::optional<SetupValues> unit_setup;
    // An edit was made since the table and setup were last read, loaded or saved to a file:
    // quitting with no unit to send them to asks first.
    bool unsaved_edits = false;
    // One of them was made with no unit identified: connecting one asks before reading over it.
    bool edited_without_unit = false;
};

// The oldest steps are forgotten beyond this many.
inline constexpr size_t kMostEditSteps = 100;

// The values of the setup controls the history keeps, in kUndoableSetupControls' order.
SetupValues ShownSetupValues(const Program& program);

// Empties the history and takes the grid and the controls as they are now for its start.
void ClearEditHistory(Program& program);

// After a user's edit of the grid, with the edit's name: a step, unless the grid ended up as it
// was. `cell` is where the cursor goes back on undo.
void RecordTableEdit(Program& program, std::string what, EventGridModel::CellAddress cell);
// After a user's change of a setup control: a step, or more of the open step of that control.
void RecordSetupEdit(Program& program, Control control);
// After a change of the grid and the setup controls at once, with its name: one step that
// undoes both, unless neither changed.
void RecordCombinedEdit(Program& program, std::string what);
// The control's value was committed: its next change makes a new step.
void EndSetupEdit(Program& program, Control control);

// Undoes or redoes one step; false when there is none or the grid is dimmed (no unit to edit
// for), which changes nothing.
bool UndoEdit(Program& program);
bool RedoEdit(Program& program);

// "Undo: Start Freq row 3", or empty when there is nothing to undo; likewise "Redo: ...".
std::string UndoDescription(const Program& program);
std::string RedoDescription(const Program& program);

// A column's title without its unit ("Start Freq"), and the name of an edit of one of its cells
// ("Start Freq row 3").
std::string ColumnName(const EventGridModel& grid, int column);
std::string CellEditName(const EventGridModel& grid, int column, int row);

}  // namespace keelsong
