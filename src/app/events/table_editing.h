#pragma once

#include "app/shell/callbacks.h"

namespace keelsong {

class Program;

// The editing commands of the event table: the four buttons beside the grid, the grid's
// context menu, and the grid's own reaction to the user's edits. They change only the grid
// and mark the table changed, even when the edit did nothing (a full grid, no row to remove);
// nothing reaches the unit until the changes are accepted, except "Refresh Table".

// Button callbacks; each acts on the commit event only and returns 0.
int AddEventCB(Program& program, const CallbackEvent& event);
int InsertEventCB(Program& program, const CallbackEvent& event);
int RemoveEventCB(Program& program, const CallbackEvent& event);
int ClearTableCB(Program& program, const CallbackEvent& event);

// The grid's callback. On a value change (data1 the row, data2 the column):
// a new Type sets the row up afresh, a new Unit changes the Duration cell, and on an Orvane LF
// a Level is rounded to the unit's 6 dB attenuation steps. Returns 0.
int InsertTableCB(Program& program, const CallbackEvent& event);

// What the grid does after the user changed a cell's value, as the grid's callback does it:
// a new Type sets the row up afresh, a new Unit changes the Duration cell, an Orvane LF rounds
// a Level to its steps.
void ApplyCellEdit(Program& program, int column, int row);

// Removes rows `first` to `last` as "Remove Event" removes one (the Delete key on the rows
// selected in the grid): the active cell moves to the row that followed, the table is marked
// changed, and the removal is one step to undo.
void RemoveEventRows(Program& program, int first, int last);

// Tells the user that the number given to a grid cell lay outside its column's range and the
// nearest limit was taken ("End Freq (Hz) limited to 200000").
void ReportCellLimited(Program& program, int column, int row);

// Context-menu actions: the button commands without taking the focus (the grid has it while
// its menu is open), and "Refresh Table", which reads the unit's table into the grid.
void AddEventMenuAction(Program& program);
void InsertAboveMenuAction(Program& program);
void RemoveEventMenuAction(Program& program);
void RefreshTableMenuAction(Program& program);
void ClearTableMenuAction(Program& program);

// Builds the grid's context menu, with "Undo" and "Redo" after the table commands. Called once
// at start-up, after the panels are loaded.
void BuildTableMenu(Program& program);

}  // namespace keelsong
