#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/link/comm.h"
#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"

namespace keelsong {

class Program;

// Ports searched for units, 1 to this number.
inline constexpr int kSearchedPorts = 30;
// MAIN's CONNECTION button while a unit is connected (red 189, green 187, blue 138).
inline constexpr uint32_t kConnectedColor = 0xBDBB8A;

// What connecting does with the table and setup of a unit that has them: the window reads them
// and offers newer firmware; a caller that reads what it needs itself (keelsong-cli) leaves
// both to itself. The settings a unit asks to have restored are restored either way.
enum class UnitContents { Read, LeftToCaller };

// Connects to the unit on the port shown in PORT with the time-out in COM_TIMEOUT: opens the
// port, identifies the unit and, for a unit with an event table, reads its table and setup and
// offers a firmware update (as `contents` says). A port that cannot be opened tells why in the
// CONNECT status line. With `popup_on_failure` a failure also shows "Connection Failed". 0 when
// connected, else -1.
int ConnectToPort(Program& program, bool popup_on_failure,
                  UnitContents contents = UnitContents::Read);

// Which unit to connect to and how, for a caller that names the port itself.
struct ConnectRequest {
    int port = 1;
    uint32_t timeout_ms = 600;
    bool popup_on_failure = false;
    UnitContents contents = UnitContents::Read;
};
// ConnectToPort on the port and with the time-out the request names, whatever the CONNECT panel
// shows. Ok with "Connected to ..." or failed with what the CONNECT status line tells.
Outcome ConnectToUnit(Program& program, const ConnectRequest& request);

// Closes the port and shows that no unit is connected; nothing when not connected.
void Disconnect(Program& program);

// Searches ports 1 to 30 for units and lists each one found in DEVICE_LIST with its port number
// as the item's value. Every unit found is enquired in full (its clock may be set). A port whose
// device was already probed under a lower number is skipped, so no unit is listed twice. Leaves
// the port closed and the settings' port number at 30. The number of units found.
uint16_t FindUnits(Program& program);

// The port numbers a search probes, in order: 1 to 30, less any whose device a lower number
// already reaches, so that no unit is probed twice.
std::vector<int> PortsToSearch(const SerialPort& port);

// One step of a search: opens port `number` on the link's port with the time-out and enquires
// the unit there (its clock may be set), without the identity in the status line. The
// enquiry's result, or -1 when the port does not open. The caller closes the port.
int ProbePort(Program& program, int number, uint32_t timeout_ms);

// Disconnects, searches, and connects to the first unit found. The number of units found.
int SearchAndConnect(Program& program);

// The labels, colour and dimming that tell whether a unit is connected.
void ShowConnectedState(Program& program, bool connected);

// Takes the stored port number and time-out (the open flag stays the link's own), shows them
// and tries to connect; on failure shows the CONNECT panel.
void ApplyConnectionSettings(Program& program, const ConnectionSettings& settings);

// Shows `text` in the CONNECT status line and, in full, as its tooltip.
void ShowConnectStatus(Program& program, const std::string& text);

// Shows which device the port number in PORT stands for, as PORT's tooltip and, when
// `in_status_line`, in the CONNECT status line.
void ShowPortDevice(Program& program, bool in_status_line);

// CONNECT panel callbacks; each returns 0.
int ConnectCB(Program& program, const CallbackEvent& event);               // "Manual Connect"
int SwitchConnectionModeCB(Program& program, const CallbackEvent& event);  // search/disconnect
int KnownListCB(Program& program, const CallbackEvent& event);             // DEVICE_LIST
int ConnectionTypeCB(Program& program, const CallbackEvent& event);        // LINK_TYPE
int PortNumberCB(Program& program, const CallbackEvent& event);            // PORT
int CancelPanelCB(Program& program, const CallbackEvent& event);           // ESCAPE
// MAIN's "Connect To Orvane".
int OpenConnectPanelCB(Program& program, const CallbackEvent& event);

}  // namespace keelsong
