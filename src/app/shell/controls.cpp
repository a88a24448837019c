#include "app/shell/controls.h"

namespace keelsong {

namespace {

constexpr Control kMainControls[] = {
    Control::EVENT_TABLE,
    Control::EVENT_ADD,
    Control::EVENT_INSERT,
    Control::EVENT_REM,
    Control::CLEAR_TABLE,
    Control::CONTINUOUS,
    Control::PLAYBACKS,
    Control::REST_TIME,
    Control::ENABLE_START_TIME,
    Control::TEXTMSG_ON,
    Control::YEAR,
    Control::MONTH,
    Control::DAY,
    Control::HOUR,
    Control::MIN,
    Control::SYNC_MODE,
    Control::ENCODE_TIME,
    Control::MAG_SWITCH,
    Control::ADVANCED,
    Control::LOAD_EVENTS,
    Control::STORE_EVENTS,
    Control::EXPORT_REPORT,
    Control::HISTORY,
    Control::COMPARE_FILE,
    Control::UNIT_TYPE,
    Control::SCREENSHOT,
    Control::SETSCREENSHOTFOLDER,
    Control::DEVICE,
    Control::BATT_ICON,
    Control::CHARGING_ICON,
    Control::SYNC_ICON,
    Control::PLAY_CODE_MSG,
    Control::TEMP_HUMI,
    Control::DATE,
    Control::TIME,
    Control::TIMER,
    Control::CONNECTION,
    Control::ENQUIRE,
    Control::PLAY,
    Control::STOP,
    Control::SET_INSTRUMENT_TIME,
    Control::ACCEPT_CHANGES,
    Control::UNDO_CHANGES,
    Control::QUIT,
    Control::STATUS_LINE,
};

constexpr Control kConnectControls[] = {
    Control::PORT,   Control::COM_TIMEOUT, Control::LINK_TYPE,   Control::URL,    Control::CONNECT,
    Control::SEARCH, Control::DEVICE_LIST, Control::STATUS_LINE, Control::ESCAPE,
};

constexpr Control kAdvancedControls[] = {
    Control::AUTOSAVE,  Control::APPLY, Control::CANCEL,         Control::FW_STAGE_STR,
    Control::UPDATE_FW, Control::RESET, Control::UPDATE_SER_NUM,
};

constexpr Control kAutoControls[] = {
    Control::TEXTMSG,
    Control::YES,
    Control::CANCEL,
    Control::REMEMBER,
};

}  // namespace

std::string_view PanelName(Panel panel) {
    switch (panel) {
        case Panel::MAIN:
            return "MAIN";
        case Panel::CONNECT:
            return "CONNECT";
        case Panel::ADVANCED:
            return "ADVANCED";
        case Panel::AUTO:
            return "AUTO";
    }
    return {};
}

std::string_view ControlName(Control control) {
    switch (control) {
#define KEELSONG_CONTROL_NAME(name) \
    case Control::name:             \
        return #name;
        KEELSONG_CONTROL_NAME(EVENT_TABLE)
        KEELSONG_CONTROL_NAME(EVENT_ADD)
        KEELSONG_CONTROL_NAME(EVENT_INSERT)
        KEELSONG_CONTROL_NAME(EVENT_REM)
        KEELSONG_CONTROL_NAME(CLEAR_TABLE)
        KEELSONG_CONTROL_NAME(CONTINUOUS)
        KEELSONG_CONTROL_NAME(PLAYBACKS)
        KEELSONG_CONTROL_NAME(REST_TIME)
        KEELSONG_CONTROL_NAME(ENABLE_START_TIME)
        KEELSONG_CONTROL_NAME(TEXTMSG_ON)
        KEELSONG_CONTROL_NAME(YEAR)
        KEELSONG_CONTROL_NAME(MONTH)
        KEELSONG_CONTROL_NAME(DAY)
        KEELSONG_CONTROL_NAME(HOUR)
        KEELSONG_CONTROL_NAME(MIN)
        KEELSONG_CONTROL_NAME(SYNC_MODE)
        KEELSONG_CONTROL_NAME(ENCODE_TIME)
        KEELSONG_CONTROL_NAME(MAG_SWITCH)
        KEELSONG_CONTROL_NAME(ADVANCED)
        KEELSONG_CONTROL_NAME(LOAD_EVENTS)
        KEELSONG_CONTROL_NAME(STORE_EVENTS)
        KEELSONG_CONTROL_NAME(EXPORT_REPORT)
        KEELSONG_CONTROL_NAME(HISTORY)
        KEELSONG_CONTROL_NAME(COMPARE_FILE)
        KEELSONG_CONTROL_NAME(UNIT_TYPE)
        KEELSONG_CONTROL_NAME(SCREENSHOT)
        KEELSONG_CONTROL_NAME(SETSCREENSHOTFOLDER)
        KEELSONG_CONTROL_NAME(DEVICE)
        KEELSONG_CONTROL_NAME(BATT_ICON)
        KEELSONG_CONTROL_NAME(CHARGING_ICON)
        KEELSONG_CONTROL_NAME(SYNC_ICON)
        KEELSONG_CONTROL_NAME(PLAY_CODE_MSG)
        KEELSONG_CONTROL_NAME(TEMP_HUMI)
        KEELSONG_CONTROL_NAME(DATE)
        KEELSONG_CONTROL_NAME(TIME)
        KEELSONG_CONTROL_NAME(TIMER)
        KEELSONG_CONTROL_NAME(CONNECTION)
        KEELSONG_CONTROL_NAME(ENQUIRE)
        KEELSONG_CONTROL_NAME(PLAY)
        KEELSONG_CONTROL_NAME(STOP)
        KEELSONG_CONTROL_NAME(SET_INSTRUMENT_TIME)
        KEELSONG_CONTROL_NAME(ACCEPT_CHANGES)
        KEELSONG_CONTROL_NAME(UNDO_CHANGES)
        KEELSONG_CONTROL_NAME(QUIT)
        KEELSONG_CONTROL_NAME(STATUS_LINE)
        KEELSONG_CONTROL_NAME(PORT)
        KEELSONG_CONTROL_NAME(COM_TIMEOUT)
        KEELSONG_CONTROL_NAME(LINK_TYPE)
        KEELSONG_CONTROL_NAME(URL)
        KEELSONG_CONTROL_NAME(CONNECT)
        KEELSONG_CONTROL_NAME(SEARCH)
        KEELSONG_CONTROL_NAME(DEVICE_LIST)
        KEELSONG_CONTROL_NAME(ESCAPE)
        KEELSONG_CONTROL_NAME(AUTOSAVE)
        KEELSONG_CONTROL_NAME(APPLY)
        KEELSONG_CONTROL_NAME(CANCEL)
        KEELSONG_CONTROL_NAME(FW_STAGE_STR)
        KEELSONG_CONTROL_NAME(UPDATE_FW)
        KEELSONG_CONTROL_NAME(RESET)
        KEELSONG_CONTROL_NAME(UPDATE_SER_NUM)
        KEELSONG_CONTROL_NAME(TEXTMSG)
        KEELSONG_CONTROL_NAME(YES)
        KEELSONG_CONTROL_NAME(REMEMBER)
#undef KEELSONG_CONTROL_NAME
    }
    return {};
}

std::span<const Control> ControlsOf(Panel panel) {
    switch (panel) {
        case Panel::MAIN:
            return kMainControls;
        case Panel::CONNECT:
            return kConnectControls;
        case Panel::ADVANCED:
            return kAdvancedControls;
        case Panel::AUTO:
            return kAutoControls;
    }
    return {};
}

}  // namespace keelsong
