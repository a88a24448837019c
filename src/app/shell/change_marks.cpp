#include "app/shell/change_marks.h"

#include "app/shell/program.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

void ShowChangeButtons(Program& program, bool before, bool after) {
    if (before == after) {
        return;
    }
    Ui& ui = program.GetUi();
    ui.SetDimmed(Panel::MAIN, Control::ACCEPT_CHANGES, !after);
    ui.SetDimmed(Panel::MAIN, Control::UNDO_CHANGES, !after);
}

}  // namespace

void MarkTableChanged(Program& program, bool changed) {
    ChangeMarks& marks = program.Marks();
    const bool before = marks.setup_changed || marks.table_changed;
    const bool after = marks.setup_changed || changed;
    marks.table_changed = changed;
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
    ShowChangeButtons(program, before, after);
}

}  // namespace keelsong
