#pragma once

#include <span>
#include <string_view>

namespace keelsong {

// The program's four panels. MAIN is the main window; the others are modal pop-ups.
enum class Panel { MAIN, CONNECT, ADVANCED, AUTO };

// Every control any panel holds. The Qt forms use these names as objectName, so the widget
// and the logic agree on one name. A control is addressed together with its panel: some names
// (STATUS_LINE, CANCEL) exist on two panels.
enum class Control {
    // MAIN: event table and its buttons
    EVENT_TABLE,
    EVENT_ADD,
    EVENT_INSERT,
    EVENT_REM,
    CLEAR_TABLE,
    // MAIN: setup groups
    CONTINUOUS,
    PLAYBACKS,
    REST_TIME,
    ENABLE_START_TIME,
    TEXTMSG_ON,
    YEAR,
    MONTH,
    DAY,
    HOUR,
    MIN,
    SYNC_MODE,
    ENCODE_TIME,
    MAG_SWITCH,
    ADVANCED,
    // MAIN: configuration file and screenshot groups
    LOAD_EVENTS,
    STORE_EVENTS,
    EXPORT_REPORT,
    HISTORY,
    COMPARE_FILE,
    UNIT_TYPE,
    SCREENSHOT,
    SETSCREENSHOTFOLDER,
    // MAIN: the unit strip
    DEVICE,
    BATT_ICON,
    CHARGING_ICON,
    SYNC_ICON,
    PLAY_CODE_MSG,
    TEMP_HUMI,
    DATE,
    TIME,
    TIMER,
    // MAIN: command buttons
    CONNECTION,
    ENQUIRE,
    PLAY,
    STOP,
    SET_INSTRUMENT_TIME,
    ACCEPT_CHANGES,
    UNDO_CHANGES,
    QUIT,
    // MAIN and CONNECT
    STATUS_LINE,
    // CONNECT
    PORT,
    COM_TIMEOUT,
    LINK_TYPE,
    URL,
    CONNECT,
    SEARCH,
    DEVICE_LIST,
    ESCAPE,
    // ADVANCED
    AUTOSAVE,
    APPLY,
    CANCEL,  // also on AUTO
    FW_STAGE_STR,
    UPDATE_FW,
    RESET,
    UPDATE_SER_NUM,
    // AUTO
    TEXTMSG,
    YES,
    REMEMBER,
};

// The name of a panel or control as the forms spell it ("MAIN", "EVENT_TABLE").
std::string_view PanelName(Panel panel);
std::string_view ControlName(Control control);

// The controls a panel holds, in form order.
std::span<const Control> ControlsOf(Panel panel);

inline constexpr Panel kAllPanels[] = {Panel::MAIN, Panel::CONNECT, Panel::ADVANCED, Panel::AUTO};

}  // namespace keelsong
