#include "app/connection/connection.h"

#include <algorithm>
#include <set>
#include <string>

#include "app/connection/replug_watch.h"
#include "app/shell/text_format.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/status_display.h"
#include "platform/serial_port.h"

namespace keelsong {

namespace {

constexpr int kLinkSerial = 1;
constexpr int kLinkEthernet = 2;

// The time-out travels as an unsigned 16-bit count of milliseconds; a larger entry is held at
// the largest rather than wrapped round to a short one.
uint32_t TimeoutFromPanel(const Ui& ui) {
    return static_cast<uint32_t>(
        std::clamp(ui.IntValue(Panel::CONNECT, Control::COM_TIMEOUT), 0, 0xFFFF));
}

void ApplyTimeout(SerialLink& link, uint32_t timeout_ms) {
    link.Settings().timeout_ms = timeout_ms;
    link.Port().SetTimeout(timeout_ms / 1000.0);
}

std::string UnitName(const UnitIdentity& identity) {
    return std::string(DeviceTypeName(identity.DeviceType()));
}

Outcome ConnectionFailed(Program& program, bool popup, const std::string& text) {
    ShowConnectStatus(program, text);
    if (popup) {
        program.Status().ShowMessagePopup(
            "Connection Failed",
            "Could not find Orvane unit connected to your PC on this port.\nPlease check the "
            "instrument USB connection or power, and try again ");
    }
    return Outcome::Failed(text);
}

// Reads the table and setup of a unit that has them, restoring its settings first when it asks
// for that, then offers a firmware update. Edits made for no unit or another one (of type
// `edits_type`) are read over only when the user says so.
void LoadUnitContents(Program& program, UnitContents contents, int edits_type) {
    const UnitSteps& steps = program.Steps();
    const UnitIdentity& identity = program.Identity();
    if (identity.firmware_version >= kNormalFirmware) {
        bool restored = true;
        if (identity.SettingsRestored() == 0 || identity.StatusPresent() == 0) {
            if (!steps.RestoreUnitSettings(program).ok) {
                program.ShowStatusMessage(false,
                                          "Failed to retrieve table, please reset your unit");
                restored = false;
            }
        }
        if (restored) {
            // Edits kept leave nothing read to enquire again after, and their message stays.
            const bool kept =
                contents == UnitContents::Read && KeepEditsOnConnecting(program, edits_type);
            if (contents == UnitContents::Read && !kept && !steps.ReloadUnitContents(program).ok) {
                program.ShowStatusMessage(false, "Failed to get configuration");
            } else if (kept || EnquireUnit(program, true) > 0) {
                ReadUnitStatus(program);
            }
        }
    }
    if (contents == UnitContents::Read) {
        steps.OfferFirmwareUpdate(program);
    }
}

void SelectedPortIntoPanel(Program& program) {
    Ui& ui = program.GetUi();
    const int index = ui.ListSelectedIndex(Panel::CONNECT, Control::DEVICE_LIST);
    const std::optional<int> port = ui.ListValueAt(Panel::CONNECT, Control::DEVICE_LIST, index);
    if (port) {
        ui.SetInt(Panel::CONNECT, Control::PORT, *port);
        ShowPortDevice(program, false);
    }
}

}  // namespace

void ShowConnectStatus(Program& program, const std::string& text) {
    Ui& ui = program.GetUi();
    ui.SetText(Panel::CONNECT, Control::STATUS_LINE, text);
    // The reasons a port cannot be opened run long: the whole text stays at hand.
    ui.SetTooltip(Panel::CONNECT, Control::STATUS_LINE, text);
    program.Status().TellStage(text);
}

int ConnectToPort(Program& program, bool popup_on_failure, UnitContents contents) {
    const Ui& ui = program.GetUi();
    const ConnectRequest request{ui.IntValue(Panel::CONNECT, Control::PORT), TimeoutFromPanel(ui),
                                 popup_on_failure, contents};
    return ConnectToUnit(program, request).ok ? 0 : -1;
}

Outcome ConnectToUnit(Program& program, const ConnectRequest& request) {
    UnitOperationScope operation(program);
    Disconnect(program);
    StopReplugWatch(program);
    Ui& ui = program.GetUi();
    SerialLink& link = program.Link();
    ConnectionSettings& settings = link.Settings();
    const bool popup_on_failure = request.popup_on_failure;

    settings.port_number = request.port;
    // What the grid went by before this unit: edits made for it are not this unit's.
    const int edits_type = program.Unit().device_type;
    ShowConnectStatus(program, FormatText("Connecting to device on port %d", settings.port_number));
    const int opened = link.Port().Open(settings.port_number);
    if (opened != 0) {
        link.ClosePort();
        std::string text = "No Connection Established";
        if (opened < 0) {
            text += " - " + link.Port().ExplainOpenFailure(settings.port_number, opened);
        }
        return ConnectionFailed(program, popup_on_failure, text);
    }
    ApplyTimeout(link, request.timeout_ms);

    if (EnquireUnit(program, true) < 0) {
        link.ClosePort();
        ShowNoConnection(program);
        return ConnectionFailed(program, popup_on_failure, "No Connection Established");
    }
    const UnitIdentity& identity = program.Identity();
    const std::string connected =
        FormatText("Connected to %s # %d", UnitName(identity).c_str(), identity.SerialNumber());
    ShowConnectStatus(program, connected);
    settings.open = 1;
    NoteConnectedDevice(program);
    ShowConnectedState(program, true);
    ui.ProcessDrawEvents();

    if (HasEventTable(identity.DeviceType())) {
        LoadUnitContents(program, request.contents, edits_type);
    }
    return {true, connected};
}

void Disconnect(Program& program) {
    SerialLink& link = program.Link();
    if (!link.IsConnected()) {
        return;
    }
    link.ClosePort();
    ShowConnectedState(program, false);
    ShowNoConnection(program);
    ShowConnectStatus(program, "Disconnected from Unit");
    program.Identity().clock_offset = 0;
}

uint16_t FindUnits(Program& program) {
    UnitOperationScope operation(program);
    // The search uses the link's port for every port number in turn.
    Disconnect(program);
    Ui& ui = program.GetUi();
    SerialLink& link = program.Link();
    SerialPort& port = link.Port();

    ShowConnectStatus(program, "Searching For Units");
    ui.ClearList(Panel::CONNECT, Control::DEVICE_LIST);
    const uint32_t timeout_ms = TimeoutFromPanel(ui);
    link.Settings().timeout_ms = timeout_ms;

    uint16_t found = 0;
    for (const int number : PortsToSearch(port)) {
        link.Settings().port_number = number;
        if (ProbePort(program, number, timeout_ms) >= 0) {
            UnitIdentity& identity = program.Identity();
            ui.AppendListItem(Panel::CONNECT, Control::DEVICE_LIST,
                              FormatText("Port %d - %s #%d", number, UnitName(identity).c_str(),
                                         identity.SerialNumber()),
                              number);
            ++found;
            // The next unit found is another unit, not this one replaced.
            identity.SetDeviceType(device_type::kNone);
        }
        port.Close();
    }
    link.Settings().port_number = kSearchedPorts;

    ShowNoConnection(program);
    if (found > 0) {
        ShowConnectStatus(program, "Connection available");
        ui.SetDimmed(Panel::CONNECT, Control::DEVICE_LIST, false);
    } else {
        ShowConnectStatus(program, "No Units Found");
        ui.SetDimmed(Panel::CONNECT, Control::DEVICE_LIST, true);
    }
    return found;
}

std::vector<int> PortsToSearch(const SerialPort& port) {
    std::vector<int> numbers;
    // A unit reachable under two numbers (a ports/ entry and a counted USB device) is one unit.
    std::set<std::string> probed;
    for (int number = 1; number <= kSearchedPorts; ++number) {
        const std::string device = port.DeviceIdentity(number);
        if (device.empty() || probed.insert(device).second) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

int ProbePort(Program& program, int number, uint32_t timeout_ms) {
    SerialLink& link = program.Link();
    if (link.Port().Open(number) < 0) {
        return -1;
    }
    ApplyTimeout(link, timeout_ms);
    return EnquireUnit(program, false);
}

int SearchAndConnect(Program& program) {
    Disconnect(program);
    const uint16_t found = FindUnits(program);
    if (found > 0) {
        Ui& ui = program.GetUi();
        if (const std::optional<int> port =
                ui.ListValueAt(Panel::CONNECT, Control::DEVICE_LIST, 0)) {
            ui.SetInt(Panel::CONNECT, Control::PORT, *port);
            ShowPortDevice(program, false);
            ConnectToPort(program, false);
        }
    }
    return found;
}

void ShowConnectedState(Program& program, bool connected) {
    Ui& ui = program.GetUi();
    ui.SetLabel(Panel::CONNECT, Control::SEARCH, connected ? "Disconnect" : "Find All Units");
    ui.SetBackgroundColor(Panel::MAIN, Control::CONNECTION,
                          connected ? kConnectedColor : kColorWhite);
    for (const Control control :
         {Control::PORT, Control::URL, Control::CONNECT, Control::COM_TIMEOUT}) {
        ui.SetDimmed(Panel::CONNECT, control, connected);
    }
    ui.SetDimmed(Panel::CONNECT, Control::DEVICE_LIST,
                 connected || ui.ListCount(Panel::CONNECT, Control::DEVICE_LIST) == 0);
}

void ApplyConnectionSettings(Program& program, const ConnectionSettings& settings) {
    Ui& ui = program.GetUi();
    ConnectionSettings& own = program.Link().Settings();
    own.port_number = settings.port_number;
    own.timeout_ms = std::min<uint32_t>(settings.timeout_ms, 0xFFFF);
    ui.SetInt(Panel::CONNECT, Control::PORT, own.port_number);
    ui.SetInt(Panel::CONNECT, Control::COM_TIMEOUT, static_cast<int>(own.timeout_ms));
    ShowPortDevice(program, false);
    ui.SetWaitCursor(true);
    const int result = ConnectToPort(program, false);
    ui.SetWaitCursor(false);
    if (result < 0) {
        ui.InstallPopup(Panel::CONNECT);
    }
}

void ShowPortDevice(Program& program, bool in_status_line) {
    Ui& ui = program.GetUi();
    const int number = ui.IntValue(Panel::CONNECT, Control::PORT);
    const std::string device = program.Link().Port().DescribePort(number);
    ui.SetTooltip(Panel::CONNECT, Control::PORT, device);
    if (in_status_line) {
        ShowConnectStatus(program, FormatText("Port %d: %s", number, device.c_str()));
    }
}

int ConnectCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    program.GetUi().SetWaitCursor(true);
    ConnectToPort(program, true);
    program.GetUi().SetWaitCursor(false);
    return 0;
}

int SwitchConnectionModeCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    program.GetUi().SetWaitCursor(true);
    if (program.Link().IsConnected()) {
        Disconnect(program);
    } else {
        SearchAndConnect(program);
    }
    program.GetUi().SetWaitCursor(false);
    return 0;
}

int KnownListCB(Program& program, const CallbackEvent& event) {
    Ui& ui = program.GetUi();
    if (event.event == UiEvent::LeftDoubleClick) {
        if (ui.ListSelectedIndex(Panel::CONNECT, Control::DEVICE_LIST) < 0) {
            return 0;
        }
        ui.SetWaitCursor(true);
        SelectedPortIntoPanel(program);
        if (ConnectToPort(program, true) < 0) {
            FindUnits(program);
        }
        ui.SetWaitCursor(false);
    } else if (event.event == UiEvent::LeftClickRelease) {
        SelectedPortIntoPanel(program);
    }
    return 0;
}

int ConnectionTypeCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    Ui& ui = program.GetUi();
    const int type = ui.IntValue(Panel::CONNECT, Control::LINK_TYPE);
    ui.SetVisible(Panel::CONNECT, Control::PORT, type == kLinkSerial);
    ui.SetVisible(Panel::CONNECT, Control::URL, type == kLinkEthernet);
    ui.ClearList(Panel::CONNECT, Control::DEVICE_LIST);
    return 0;
}

int PortNumberCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit || event.event == UiEvent::ValueChanged) {
        ShowPortDevice(program, true);
    }
    return 0;
}

int CancelPanelCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        program.GetUi().RemovePopup(Panel::CONNECT);
    }
    return 0;
}

int OpenConnectPanelCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        ShowPortDevice(program, false);
        program.GetUi().InstallPopup(Panel::CONNECT);
    }
    return 0;
}

}  // namespace keelsong
