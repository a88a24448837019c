#include "app/changes/clock_and_settings.h"

#include "app/history/service_history.h"
#include "app/setup/playback.h"
#include "app/state/program.h"

namespace keelsong {

Outcome RestoreUnitSettings(Program& program) {
    return RecordOperation(program, "Restore", {}, [&] { return SendRestoreSettings(program); });
}

Outcome SyncPCTimeToInstrument(Program& program) {
    return RecordOperation(program, "Set Time", {}, [&] { return SetUnitClockToPc(program); });
}

int SyncPCTimeToInstrumentCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    SyncPCTimeToInstrument(program);
    ui.SetWaitCursor(false);
    return 0;
}

}  // namespace keelsong
