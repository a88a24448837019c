#include "app/connection/replug_watch.h"

#include <algorithm>

#include "app/connection/connection.h"
#include "app/shell/text_format.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "protocol/frame.h"

namespace keelsong {

namespace {

// How many looks a newly appeared device that would not open is tried again.
constexpr int kOpenRetries = 10;
constexpr int kMinEnquireFrame = static_cast<int>(kFrameOverhead + kMinEnquirePayload);

enum class ProbeResult { NotOpened, NotTheUnit, TheUnit };

bool Contains(const std::vector<PresentPort>& ports, const PresentPort& port) {
    return std::find(ports.begin(), ports.end(), port) != ports.end();
}

std::string UnitName(const UnitIdentity& identity) {
    return FormatText("%s # %d", std::string(DeviceTypeName(identity.DeviceType())).c_str(),
                      identity.SerialNumber());
}

// Asks whoever answers on port `number` who it is, leaving the program's picture of the unit
// alone: no identity, clock or display changes for a stranger.
ProbeResult Probe(Program& program, const PresentPort& candidate, const ReplugWatch& watch) {
    UnitOperationScope operation(program);
    SerialLink& link = program.Link();
    SerialPort& port = link.Port();
    if (port.Open(candidate.number) != 0) {
        return ProbeResult::NotOpened;
    }
    program.ShowStatusMessage(true,
                              FormatText("Looking for %s on port %d (%s)", watch.unit_name.c_str(),
                                         candidate.number, candidate.device.c_str()));
    port.SetTimeout(link.Settings().timeout_ms / 1000.0);
    bool same = false;
    if (link.SendCommand(Command::Enquire) >= kMinEnquireFrame &&
        DecodeEnquiry(link.ResponsePayload())) {
        UnitIdentity answered;
        answered.StorePayload(link.ResponsePayload());
        same = KeyOf(answered) == *watch.unit;
    }
    port.Close();
    return same ? ProbeResult::TheUnit : ProbeResult::NotTheUnit;
}

void TellReconnected(Program& program, const std::string& unit_name, int number);

// Connects to the lost unit on its new port as the user would; watches on if that fails.
void Reconnect(Program& program, int number) {
    Ui& ui = program.GetUi();
    ui.SetInt(Panel::CONNECT, Control::PORT, number);
    ShowPortDevice(program, false);
    const ReplugWatch before = program.Replug();
    ui.SetWaitCursor(true);
    const int result = ConnectToPort(program, false);
    ui.SetWaitCursor(false);
    if (result < 0) {
        ReplugWatch& watch = program.Replug();
        watch = before;
        watch.known = program.Link().Port().PresentPorts();
        watch.retry.clear();
        return;
    }
    TellReconnected(program, before.unit_name, number);
}

// Says that the lost unit is back and whether the edits kept while it was away are still to be
// sent. When its table or setup could not be read, the message that says so stays instead.
void TellReconnected(Program& program, const std::string& unit_name, int number) {
    const ContentsOrigin& origin = program.Origin();
    const UnitKey unit = KeyOf(program.Identity());
    if (origin.table != unit || origin.setup != unit) {
        return;
    }
    SerialLink& link = program.Link();
    std::string text = FormatText("%s reconnected on port %d (%s)", unit_name.c_str(), number,
                                  link.Port().DescribePort(number).c_str());
    const ChangeMarks& marks = program.Marks();
    if (marks.table_changed || marks.setup_changed) {
        text += ". The edits are not sent yet: \"Accept Changes\" sends them";
    }
    program.ShowStatusMessage(true, text);
}

}  // namespace

void NoteConnectedDevice(Program& program) {
    SerialLink& link = program.Link();
    ReplugWatch& watch = program.Replug();
    watch = ReplugWatch{};
    watch.connected_device = link.Port().DescribePort(link.Settings().port_number);
    // What is there now is never probed should this unit go away: a unit plugged in again
    // appears as a device made after this moment.
    watch.known = link.Port().PresentPorts();
}

void StopReplugWatch(Program& program) {
    ReplugWatch& watch = program.Replug();
    watch.unit.reset();
    watch.retry.clear();
}

void HandleLostDevice(Program& program) {
    SerialLink& link = program.Link();
    if (!link.DeviceLost() || program.UnitOperationsRunning() > 0) {
        return;
    }
    // Disconnecting forgets the unit: take what to watch for first.
    const UnitKey unit = KeyOf(program.Identity());
    const std::string name = UnitName(program.Identity());
    const int number = link.Settings().port_number;
    Disconnect(program);

    ReplugWatch& watch = program.Replug();
    watch.unit = unit;
    watch.unit_name = name;
    watch.lost_text = FormatText(
        "%s was disconnected: its device %s (port %d) went away. It reconnects by itself "
        "when plugged in again",
        name.c_str(), watch.connected_device.c_str(), number);
    program.ShowStatusMessage(false, watch.lost_text);
    ShowConnectStatus(program, watch.lost_text);
}

void WatchLink(Program& program) {
    SerialLink& link = program.Link();
    if (link.IsConnected()) {
        link.CheckDevice();
    }
    HandleLostDevice(program);
    ReplugWatch& watch = program.Replug();
    if (!watch.unit || link.IsConnected()) {
        return;
    }

    const std::vector<PresentPort> present = link.Port().PresentPorts();
    std::vector<std::pair<PresentPort, int>> candidates;
    for (const auto& [port, looks_left] : watch.retry) {
        if (Contains(present, port)) {
            candidates.emplace_back(port, looks_left);
        }
    }
    for (const PresentPort& port : present) {
        if (!Contains(watch.known, port)) {
            candidates.emplace_back(port, kOpenRetries);
        }
    }
    watch.known = present;
    watch.retry.clear();
    if (candidates.empty()) {
        return;
    }

    Ui& ui = program.GetUi();
    bool probed = false;
    for (const auto& [port, looks_left] : candidates) {
        ui.SetWaitCursor(true);
        const ProbeResult result = Probe(program, port, watch);
        ui.SetWaitCursor(false);
        if (result == ProbeResult::TheUnit) {
            Reconnect(program, port.number);
            return;
        }
        probed |= result == ProbeResult::NotTheUnit;
        if (result == ProbeResult::NotOpened && looks_left > 1) {
            watch.retry.emplace_back(port, looks_left - 1);
        }
    }
    if (probed) {
        program.ShowStatusMessage(false, watch.lost_text);
    }
}

}  // namespace keelsong
