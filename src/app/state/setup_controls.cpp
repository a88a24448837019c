#include "app/state/setup_controls.h"

#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "protocol/unit_setup.h"

namespace keelsong {

void ShowSyncMode(Program& program, int mode) {
    Ui& ui = program.GetUi();
    if (!IsValidSyncMode(mode)) {
        program.ShowStatusMessage(false, FormatText("Unknown sync mode, Code: %d", mode));
        return;
    }
    if (mode == sync_mode::kInFalling || mode == sync_mode::kInRising) {
        ui.SetLabel(Panel::MAIN, Control::ENCODE_TIME, "Decode time from PPS");
    } else if (mode == sync_mode::kOutFalling) {
        ui.SetLabel(Panel::MAIN, Control::ENCODE_TIME, "Encode time in PPS");
    }
    ui.SetInt(Panel::MAIN, Control::SYNC_MODE, mode);
    ui.SetDimmed(
        Panel::MAIN, Control::ENCODE_TIME,
        mode == sync_mode::kDisabled || program.Unit().setup_format != setup_format::kTagged);
}

void SetStartTimeEnabled(Program& program, bool enabled) {
    Ui& ui = program.GetUi();
    ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, enabled ? 1 : 0);
    DimStartTimeControls(program,
                         !(enabled && program.Unit().setup_format == setup_format::kTagged));
    ui.ProcessDrawEvents();
    MarkSetupChanged(program, true);
}

void DimStartTimeControls(Program& program, bool dimmed) {
    Ui& ui = program.GetUi();
    for (Control control : {Control::YEAR, Control::MONTH, Control::DAY, Control::HOUR,
                            Control::MIN, Control::TEXTMSG_ON}) {
        ui.SetDimmed(Panel::MAIN, control, dimmed);
    }
}

}  // namespace keelsong
