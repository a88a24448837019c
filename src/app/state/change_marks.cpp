#include "app/state/change_marks.h"

#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

void ShowChangeButtons(Program& program, bool before, bool after) {
    if (before == after) {
        return;
    }
    Ui& ui = program.GetUi();
    // With no unit to send to or read from the two buttons stay dimmed whatever the marks say:
    // none identified (the table may still be edited, for a file), or one in its loader or
    // without a table (the grid is dimmed with the unit controls).
    const bool no_unit = program.Identity().DeviceType() == device_type::kNone ||
                         ui.IsDimmed(Panel::MAIN, Control::EVENT_TABLE);
    ui.SetDimmed(Panel::MAIN, Control::ACCEPT_CHANGES, !after || no_unit);
    ui.SetDimmed(Panel::MAIN, Control::UNDO_CHANGES, !after || no_unit);
}

}  // namespace

void MarkTableChanged(Program& program, bool changed) {
    ChangeMarks& marks = program.Marks();
    const bool before = marks.setup_changed || marks.table_changed;
    const bool after = marks.setup_changed || changed;
    marks.table_changed = changed;
    if (!changed) {
        program.History().unit_rows = program.Grid().RowImages();
    }
    const UnitContext& unit = program.Unit();
    if (changed && CountsLastEventInRest(unit.device_type, unit.firmware_version)) {
        MarkSetupChanged(program, true);
    }
    ShowChangeButtons(program, before, after);
}

void MarkSetupChanged(Program& program, bool changed) {
    ChangeMarks& marks = program.Marks();
    const bool before = marks.setup_changed || marks.table_changed;
    const bool after = changed || marks.table_changed;
    marks.setup_changed = changed;
    if (!changed) {
        program.History().unit_setup = ShownSetupValues(program);
    }
    ShowChangeButtons(program, before, after);
}

}  // namespace keelsong
