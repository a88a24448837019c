#include <vector>

#include "app/changes/accept_changes.h"
#include "app/changes/clock_and_settings.h"
#include "app/connection/connection.h"
#include "app/connection/one_second_timer.h"
#include "app/connection/replug_watch.h"
#include "app/events/event_transfer.h"
#include "app/events/table_editing.h"
#include "app/files/compare_with_file.h"
#include "app/files/config_file_io.h"
#include "app/files/screenshots.h"
#include "app/history/history_view.h"
#include "app/schedule/report.h"
#include "app/service/firmware_update.h"
#include "app/service/service.h"
#include "app/setup/playback.h"
#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "app/unit/enquiry.h"
#include "app/unit/stand_in_unit.h"
#include "app/unit/status_display.h"
#include "app/wiring/startup.h"

namespace keelsong {

namespace {

// One row per control that has a callback. Each subsystem adds its rows here.
const std::vector<CallbackBinding>& Bindings() {
    static const std::vector<CallbackBinding> table = {
        // The event table and its buttons.
        {Panel::MAIN, Control::EVENT_TABLE, InsertTableCB},
        {Panel::MAIN, Control::EVENT_ADD, AddEventCB},
        {Panel::MAIN, Control::EVENT_INSERT, InsertEventCB},
        {Panel::MAIN, Control::EVENT_REM, RemoveEventCB},
        {Panel::MAIN, Control::CLEAR_TABLE, ClearTableCB},
        // The unit strip, the one-second timer and the connection.
        {Panel::MAIN, Control::ENQUIRE, SendEnquireCB},
        {Panel::MAIN, Control::TIMER, OneSecondCB},
        {Panel::MAIN, Control::CONNECTION, OpenConnectPanelCB},
        {Panel::CONNECT, Control::PORT, PortNumberCB},
        {Panel::CONNECT, Control::LINK_TYPE, ConnectionTypeCB},
        {Panel::CONNECT, Control::CONNECT, ConnectCB},
        {Panel::CONNECT, Control::SEARCH, SwitchConnectionModeCB},
        {Panel::CONNECT, Control::DEVICE_LIST, KnownListCB},
        {Panel::CONNECT, Control::ESCAPE, CancelPanelCB},
        // Quitting.
        {Panel::MAIN, Control::QUIT, QuitCB},
        // The setup groups and the ADVANCED pop-up.
        {Panel::MAIN, Control::CONTINUOUS, SetContinuousPlaybackCB},
        {Panel::MAIN, Control::PLAYBACKS, IndicateSetupChangedCB},
        {Panel::MAIN, Control::REST_TIME, IndicateSetupChangedCB},
        {Panel::MAIN, Control::ENABLE_START_TIME, EnableStartTimeCB},
        {Panel::MAIN, Control::YEAR, IndicateSetupChangedCB},
        {Panel::MAIN, Control::MONTH, IndicateSetupChangedCB},
        {Panel::MAIN, Control::DAY, IndicateSetupChangedCB},
        {Panel::MAIN, Control::HOUR, IndicateSetupChangedCB},
        {Panel::MAIN, Control::MIN, IndicateSetupChangedCB},
        {Panel::MAIN, Control::SYNC_MODE, SetSyncModeCB},
        {Panel::MAIN, Control::ENCODE_TIME, IndicateSetupChangedCB},
        {Panel::MAIN, Control::MAG_SWITCH, IndicateSetupChangedCB},
        {Panel::MAIN, Control::ADVANCED, OpenAdvancedPanelCB},
        {Panel::ADVANCED, Control::AUTOSAVE, IndicateSetupChangedCB},
        {Panel::ADVANCED, Control::APPLY, ApplyAdvancedSetupCB},
        {Panel::ADVANCED, Control::CANCEL, CancelAdvancedSetupCB},
        // Accepting and undoing changes, playback and the unit's clock; the AUTO pop-up.
        {Panel::MAIN, Control::ACCEPT_CHANGES, AcceptChangesCB},
        {Panel::MAIN, Control::UNDO_CHANGES, UndoChangesCB},
        {Panel::MAIN, Control::PLAY, SendPlayCB},
        {Panel::MAIN, Control::STOP, SendStopCB},
        {Panel::MAIN, Control::SET_INSTRUMENT_TIME, SyncPCTimeToInstrumentCB},
        {Panel::AUTO, Control::YES, PlayPopupSaveCB},
        {Panel::AUTO, Control::CANCEL, PlayPopupCancelCB},
        // The ADVANCED pop-up's service buttons: firmware, reset, serial number.
        {Panel::ADVANCED, Control::UPDATE_FW, UpdateFirmwareCB},
        {Panel::ADVANCED, Control::RESET, ResetCB},
        {Panel::ADVANCED, Control::UPDATE_SER_NUM, UpdateSerialNumCB},
        // The configuration file and screenshots.
        {Panel::MAIN, Control::LOAD_EVENTS, ConfigFileLoadCB},
        {Panel::MAIN, Control::STORE_EVENTS, ConfigFileSaveCB},
        {Panel::MAIN, Control::COMPARE_FILE, CompareWithFileCB},
        {Panel::MAIN, Control::UNIT_TYPE, UnitTypeCB},
        {Panel::MAIN, Control::SCREENSHOT, SaveScreenShotCB},
        {Panel::MAIN, Control::SETSCREENSHOTFOLDER, SetScreenshotFolderCB},
        // The deployment report.
        {Panel::MAIN, Control::EXPORT_REPORT, ExportReportCB},
        // The service history.
        {Panel::MAIN, Control::HISTORY, ShowHistoryCB},
    };
    return table;
}

}  // namespace

std::span<const CallbackBinding> CallbackTable() {
    return Bindings();
}

ControlCallback CallbackFor(Panel panel, Control control) {
    for (const CallbackBinding& binding : Bindings()) {
        if (binding.panel == panel && binding.control == control) {
            return binding.callback;
        }
    }
    return nullptr;
}

int Press(Program& program, Panel panel, Control control, UiEvent event, int data1, int data2) {
    const ControlCallback callback = CallbackFor(panel, control);
    if (!callback) {
        return 0;
    }
    const int result = callback(program, CallbackEvent{panel, control, event, data1, data2});
    // A unit unplugged during the callback is disconnected once the callback is over.
    HandleLostDevice(program);
    return result;
}

}  // namespace keelsong
