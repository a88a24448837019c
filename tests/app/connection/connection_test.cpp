// Connecting, disconnecting and searching ports 1-30 for simulated units published as
// ports/COM<N>, and the CONNECT panel's callbacks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/connection/connection.h"
#include "app/connection/connection_fixture.h"
#include "app/shell/callbacks.h"
#include "app/unit/enquiry.h"
#include "support/fake_serial_port.h"

namespace keelsong {
namespace {

using sim::Fault;
using sim::UnitState;
using testing::ConnectionFixture;
using SteadyClock = std::chrono::steady_clock;

constexpr uint8_t kEnquire = 0x45;
constexpr uint8_t kSetTime = 0x41;
constexpr uint8_t kStatusRead = 0x43;

const char* const kConnectionFailedText =
    "Could not find Orvane unit connected to your PC on this port.\nPlease check the instrument "
    "USB connection or power, and try again ";

UnitState Unit(uint8_t type, uint16_t serial, const std::string& firmware = "v2.1.4") {
    UnitState state;
    state.device_type = type;
    state.serial_number = serial;
    state.firmware = firmware;
    return state;
}

double SecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

class ConnectionTest : public ConnectionFixture {
  protected:
    // Stand-ins for the steps other subsystems provide, each noting that it ran.
    void RecordSteps(int restore_result = 0, int retrieve_result = 0) {
        steps.restore_unit_settings = [this, restore_result](Program&) {
            ran.push_back("restore");
            return restore_result == 0 ? Outcome::Done() : Outcome::Failed("", restore_result);
        };
        steps.reload_unit_contents = [this, retrieve_result](Program&) {
            ran.push_back("retrieve");
            return retrieve_result == 0 ? Outcome::Done() : Outcome::Failed("", retrieve_result);
        };
        steps.offer_firmware_update = [this](Program&) { ran.push_back("offer"); };
        steps.apply_unit_type_limits = [this](Program&, const std::string& text) {
            ran.push_back("limits " + text);
        };
        steps.set_unit_controls_dimmed = [this](Program&, bool dimmed) {
            ran.push_back(dimmed ? "dim" : "undim");
        };
    }

    std::vector<std::string> ListLabels() const {
        std::vector<std::string> labels;
        for (int i = 0; i < ui.ListCount(Panel::CONNECT, Control::DEVICE_LIST); ++i) {
            labels.push_back(ui.ListLabelAt(Panel::CONNECT, Control::DEVICE_LIST, i));
        }
        return labels;
    }
    std::vector<int> ListValues() const {
        std::vector<int> values;
        for (int i = 0; i < ui.ListCount(Panel::CONNECT, Control::DEVICE_LIST); ++i) {
            values.push_back(*ui.ListValueAt(Panel::CONNECT, Control::DEVICE_LIST, i));
        }
        return values;
    }

    std::vector<std::string> ran;
};

TEST_F(ConnectionTest, Search_UnitsOnPorts3And7_ListedInOrderAndFirstConnected) {
    sim::PtyServer& hf = AddUnit(3, Unit(4, 1042));
    sim::PtyServer& lf = AddUnit(7, Unit(1, 77, "v1.4.0"));
    const auto start = SteadyClock::now();

    EXPECT_EQ(FindUnits(program), 2);
    EXPECT_LT(SecondsSince(start), 1.0) << "ports without a device fail to open at once";
    EXPECT_EQ(ListLabels(),
              (std::vector<std::string>{"Port 3 - Orvane HF #1042", "Port 7 - Orvane LF #77"}));
    EXPECT_EQ(ListValues(), (std::vector<int>{3, 7}));
    EXPECT_EQ(program.Link().Settings().port_number, 30);
    EXPECT_EQ(program.Link().Settings().timeout_ms, uint32_t(testing::kTestTimeoutMs));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(ConnectStatus(), "Connection available");
    EXPECT_FALSE(ui.IsDimmed(Panel::CONNECT, Control::DEVICE_LIST));
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::DEVICE), "No Connection");
    EXPECT_EQ(program.Identity().DeviceType(), 0);
    EXPECT_EQ(MessagePopups("Unit replaced"), 0);
    // Each found unit had a full enquiry: the Orvane HF's clock was read too.
    EXPECT_EQ(Commands(hf), (std::vector<uint8_t>{kEnquire, kSetTime}));
    EXPECT_EQ(Commands(lf), std::vector<uint8_t>{kEnquire});

    hf.ClearRequestLog();
    ui.SetInt(Panel::CONNECT, Control::PORT, 12);
    EXPECT_EQ(SearchAndConnect(program), 2);
    EXPECT_TRUE(program.Link().IsConnected());
    EXPECT_EQ(program.Link().Settings().port_number, 3);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 3);
    EXPECT_EQ(ConnectStatus(), "Connected to Orvane HF # 1042");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::DEVICE), "Orvane HF # 1042 Firmware v2.1.4");
    EXPECT_EQ(MessagePopups("Unit replaced"), 0);
}

TEST_F(ConnectionTest, Search_UnitUnderTwoNumbers_ListedAndEnquiredOnce) {
    sim::PtyServer& unit = AddUnit(3, Unit(4, 1042));
    // The same terminal counted as the machine's first USB serial device: port 1.
    std::filesystem::create_symlink(unit.Path(), devices / "ttyUSB0");

    EXPECT_EQ(FindUnits(program), 1);
    EXPECT_EQ(ListLabels(), std::vector<std::string>{"Port 1 - Orvane HF #1042"});
    EXPECT_EQ(Commands(unit), (std::vector<uint8_t>{kEnquire, kSetTime}));
    EXPECT_EQ(program.Link().Settings().port_number, 30);
}

TEST_F(ConnectionTest, Search_NothingFound_ListDimmedAndPortLeftAt30) {
    ui.SetInt(Panel::CONNECT, Control::PORT, 4);
    ui.AppendListItem(Panel::CONNECT, Control::DEVICE_LIST, "Port 4 - Orvane HF #1", 4);
    EXPECT_EQ(SearchAndConnect(program), 0);
    EXPECT_EQ(ui.ListCount(Panel::CONNECT, Control::DEVICE_LIST), 0);
    EXPECT_TRUE(ui.IsDimmed(Panel::CONNECT, Control::DEVICE_LIST));
    EXPECT_EQ(ConnectStatus(), "No Units Found");
    EXPECT_EQ(program.Link().Settings().port_number, 30);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 4);
    EXPECT_FALSE(program.Link().IsConnected());
}

TEST_F(ConnectionTest, Search_PortThatStaysSilent_CostsThreeAttempts) {
    sim::PtyServer& silent = AddUnit(2);
    Change(silent, [](sim::UnitSimulator& unit) { unit.InjectFault(Fault::Drop().Forever()); });
    AddUnit(9, Unit(4, 5));
    const auto start = SteadyClock::now();
    EXPECT_EQ(FindUnits(program), 1);
    const double seconds = SecondsSince(start);
    EXPECT_EQ(Commands(silent), std::vector<uint8_t>(3, kEnquire));
    EXPECT_GE(seconds, 3 * testing::kTestTimeoutMs / 1000.0 * 0.9);
    EXPECT_LT(seconds, 3 * testing::kTestTimeoutMs / 1000.0 + 1.0);
    EXPECT_EQ(ListValues(), std::vector<int>{9});
}

TEST_F(ConnectionTest, Connect_HfWithTable_ReadsTableThenEnquiresAndReadsStatus) {
    sim::PtyServer& server = AddUnit(3, Unit(4, 1042));
    RecordSteps();
    EXPECT_EQ(Connect(3), 0);
    EXPECT_EQ(ran, (std::vector<std::string>{
                       "limits Orvane HF # 1042 Firmware v2.1.4",
                       "retrieve",
                       "limits Orvane HF # 1042 Firmware v2.1.4",
                       "offer",
                   }));
    EXPECT_EQ(Commands(server),
              (std::vector<uint8_t>{kEnquire, kSetTime, kEnquire, kSetTime, kStatusRead}));
    EXPECT_TRUE(program.Link().IsConnected());
    EXPECT_EQ(program.Link().Settings().port_number, 3);
    EXPECT_EQ(program.Link().Settings().timeout_ms, uint32_t(testing::kTestTimeoutMs));
    EXPECT_DOUBLE_EQ(port.Timeout(), testing::kTestTimeoutMs / 1000.0);
    EXPECT_EQ(StatusHistory(Panel::CONNECT),
              (std::vector<std::string>{"Connecting to device on port 3",
                                        "Connected to Orvane HF # 1042"}));
    EXPECT_EQ(MainStatus(), "Orvane HF # 1042 Firmware v2.1.4");
    EXPECT_GT(ui.DrawEvents(), 0);
}

TEST_F(ConnectionTest, Connect_SequenceByUnitKindAndOutcome) {
    struct Case {
        const char* name;
        UnitState unit;
        int restore_result;
        int retrieve_result;
        std::vector<std::string> steps;  // besides the identity lines
        std::vector<uint8_t> commands;
        const char* status;  // MAIN status line at the end
        uint32_t status_color;
    };
    UnitState asks_restore = Unit(4, 1042);
    asks_restore.settings_restored = 0;
    UnitState no_live_state = Unit(1, 8, "v1.4.0");
    no_live_state.status_present = 0;
    const Case cases[] = {
        {"settings not restored",
         asks_restore,
         0,
         0,
         {"restore", "retrieve", "offer"},
         {kEnquire, kSetTime, kEnquire, kSetTime, kStatusRead},
         "Orvane HF # 1042 Firmware v2.1.4",
         kColorBlack},
        {"no live state",
         no_live_state,
         0,
         0,
         {"restore", "retrieve", "offer"},
         {kEnquire, kEnquire},
         "Orvane LF # 8 Firmware v1.4.0",
         kColorBlack},
        {"restore fails",
         asks_restore,
         -1,
         0,
         {"restore", "offer"},
         {kEnquire, kSetTime},
         "Failed to retrieve table, please reset your unit",
         kColorRed},
        {"retrieve fails",
         Unit(6, 3, "v1.9.0"),
         0,
         -1,
         {"retrieve", "offer"},
         {kEnquire},
         "Failed to get configuration",
         kColorRed},
        {"admin mode",
         Unit(4, 1042, "v0.3.1"),
         0,
         0,
         {"offer"},
         {kEnquire},
         "Orvane HF # 1042 Admin Mode v0.3.1",
         kColorBlack},
        {"Quelmar HF",
         Unit(5, 21),
         0,
         0,
         {},
         {kEnquire},
         "Quelmar HF # 21 Firmware v2.1.4",
         kColorBlack},
        {"unknown type",
         Unit(0x33, 22),
         0,
         0,
         {},
         {kEnquire},
         "Unknown Device # 22 Firmware v2.1.4",
         kColorBlack},
    };
    int number = 1;
    for (const Case& c : cases) {
        sim::PtyServer& server = AddUnit(number, c.unit);
        ran.clear();
        RecordSteps(c.restore_result, c.retrieve_result);
        steps.apply_unit_type_limits = nullptr;
        steps.set_unit_controls_dimmed = nullptr;
        EXPECT_EQ(Connect(number), 0) << c.name;
        EXPECT_EQ(ran, c.steps) << c.name;
        EXPECT_EQ(Commands(server), c.commands) << c.name;
        EXPECT_EQ(MainStatus(), c.status) << c.name;
        EXPECT_EQ(MainStatusColor(), c.status_color) << c.name;
        EXPECT_TRUE(program.Link().IsConnected()) << c.name;
        ++number;
    }
}

TEST_F(ConnectionTest, Connect_WhileConnected_DisconnectsFirst) {
    AddUnit(3, Unit(4, 1042));
    AddUnit(4, Unit(4, 1043));
    ASSERT_EQ(Connect(3), 0);
    program.Identity().clock_offset = 77;
    ASSERT_EQ(Connect(4), 0);
    EXPECT_EQ(
        StatusHistory(Panel::CONNECT),
        (std::vector<std::string>{"Connecting to device on port 3", "Connected to Orvane HF # 1042",
                                  "Disconnected from Unit", "Connecting to device on port 4",
                                  "Connected to Orvane HF # 1043"}));
    EXPECT_EQ(MessagePopups("Unit replaced"), 0) << "disconnecting forgot the first unit";
    EXPECT_EQ(program.Link().Settings().port_number, 4);
}

TEST_F(ConnectionTest, UnitReplaced_OnlyWhileConnected) {
    sim::PtyServer& server = AddUnit(3, Unit(4, 1042));
    RecordSteps();
    ASSERT_EQ(Connect(3), 0);
    ran.clear();

    // Another unit on the same port while connected: the next poll notices.
    Change(server, [](sim::UnitSimulator& unit) { unit.State().serial_number = 2222; });
    ASSERT_GE(EnquireUnit(program, false), 0);
    EXPECT_EQ(MessagePopups("Unit replaced"), 1);
    EXPECT_EQ(ran,
              (std::vector<std::string>{"limits Orvane HF # 2222 Firmware v2.1.4", "retrieve"}));

    // Disconnected first, the next unit is just a new connection.
    Disconnect(program);
    Change(server, [](sim::UnitSimulator& unit) { unit.State().serial_number = 3333; });
    ASSERT_EQ(Connect(3), 0);
    EXPECT_EQ(MessagePopups("Unit replaced"), 1);
}

TEST_F(ConnectionTest, ConnectedState_LabelsColourAndDimming) {
    AddUnit(3);
    ASSERT_EQ(Connect(3), 0);
    EXPECT_EQ(ui.Label(Panel::CONNECT, Control::SEARCH), "Disconnect");
    EXPECT_EQ(ui.BackgroundColor(Panel::MAIN, Control::CONNECTION), 0xBDBB8Au);
    for (const Control control : {Control::PORT, Control::URL, Control::CONNECT,
                                  Control::COM_TIMEOUT, Control::DEVICE_LIST}) {
        EXPECT_TRUE(ui.IsDimmed(Panel::CONNECT, control)) << ControlName(control);
    }

    RecordSteps();
    program.Identity().clock_offset = 99;
    ui.SetText(Panel::MAIN, Control::TEMP_HUMI, "45.3% RH");
    Press(program, Panel::CONNECT, Control::SEARCH);  // reads "Disconnect" now
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(program.Identity().clock_offset, 0);
    EXPECT_EQ(program.Identity().SerialNumber(), 0);
    EXPECT_EQ(program.Identity().DeviceType(), 0);
    EXPECT_EQ(program.Unit().device_type, 4) << "the grid's rows keep going by their unit";
    EXPECT_EQ(program.Unit().firmware_version, 131332) << "kept";
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::TEMP_HUMI), "");
    EXPECT_EQ(ran, std::vector<std::string>{"dim"});
    EXPECT_EQ(ConnectStatus(), "Disconnected from Unit");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::DEVICE), "No Connection");
    EXPECT_EQ(MainStatus(), "No Connection");
    EXPECT_EQ(ui.Label(Panel::CONNECT, Control::SEARCH), "Find All Units");
    EXPECT_EQ(ui.BackgroundColor(Panel::MAIN, Control::CONNECTION), kColorWhite);
    for (const Control control :
         {Control::PORT, Control::URL, Control::CONNECT, Control::COM_TIMEOUT}) {
        EXPECT_FALSE(ui.IsDimmed(Panel::CONNECT, control)) << ControlName(control);
    }
    EXPECT_TRUE(ui.IsDimmed(Panel::CONNECT, Control::DEVICE_LIST)) << "empty list";
    EXPECT_FALSE(ui.WaitCursor());

    // Disconnecting again does nothing.
    const size_t messages = StatusHistory(Panel::CONNECT).size();
    Disconnect(program);
    EXPECT_EQ(StatusHistory(Panel::CONNECT).size(), messages);
}

TEST_F(ConnectionTest, Connect_SilentOrMissingUnit_FailsWithMessagesAndPopup) {
    sim::PtyServer& silent = AddUnit(5);
    Change(silent, [](sim::UnitSimulator& unit) { unit.InjectFault(Fault::Drop().Forever()); });

    ui.SetInt(Panel::CONNECT, Control::PORT, 5);
    Press(program, Panel::CONNECT, Control::CONNECT);
    EXPECT_EQ(Commands(silent), std::vector<uint8_t>(3, kEnquire));
    EXPECT_EQ(ConnectStatus(), "No Connection Established");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::DEVICE), "No Connection");
    ASSERT_EQ(MessagePopups("Connection Failed"), 1);
    EXPECT_EQ(ui.Popups().back().text, kConnectionFailedText);
    EXPECT_FALSE(ui.WaitCursor());

    // No pop-up without the flag.
    EXPECT_EQ(Connect(5), -1);
    EXPECT_EQ(MessagePopups("Connection Failed"), 1);

    // Nothing behind the port number: says so, at once.
    const auto start = SteadyClock::now();
    ui.SetInt(Panel::CONNECT, Control::PORT, 6);
    Press(program, Panel::CONNECT, Control::CONNECT);
    EXPECT_LT(SecondsSince(start), 0.1);
    EXPECT_EQ(ConnectStatus(),
              "No Connection Established - No serial device behind this port number");
    EXPECT_EQ(MessagePopups("Connection Failed"), 2);
}

TEST(ConnectionOpenFailure, EachCause_ToldInTheConnectStatusLine) {
    struct Case {
        int open_result;
        const char* status;
    };
    const Case cases[] = {
        {kSerialNoDevice, "No Connection Established - No serial device behind this port number"},
        {kSerialBusy, "No Connection Established - The port is busy: another program is using it"},
        {kSerialPermissionDenied,
         "No Connection Established - Permission denied: add your user to the 'dialout' group "
         "(sudo usermod -aG dialout $USER), then log in again"},
        {1, "No Connection Established"},
    };
    for (const Case& c : cases) {
        HeadlessUi ui;
        testing::FakePlatform platform;
        testing::FakeSerialPort port;
        port.SetOpenResult(c.open_result);
        Program program(ui, port, platform);
        ui.SetInt(Panel::CONNECT, Control::PORT, 8);
        EXPECT_EQ(ConnectToPort(program, false), -1);
        EXPECT_EQ(port.OpenedPort(), 8);
        EXPECT_TRUE(port.Written().empty()) << c.open_result;
        EXPECT_EQ(ui.TextValue(Panel::CONNECT, Control::STATUS_LINE), c.status);
    }
}

TEST_F(ConnectionTest, BusyPort_NamesTheProcessHoldingItInTheStatusLineAndTooltip) {
    sim::PtyServer& server = AddUnit(2);
    PosixSerialPort holder{PortDirectory(settings.Path(), devices.Path())};
    ASSERT_EQ(holder.Open(2), 0);
    std::string own_name;
    std::getline(std::ifstream("/proc/self/comm"), own_name);
    EXPECT_EQ(Connect(2), -1);
    const std::string told = "No Connection Established - The port is busy: " + server.Path() +
                             " is held by " + own_name + " (process " + std::to_string(::getpid()) +
                             ")";
    EXPECT_EQ(ConnectStatus(), told);
    EXPECT_EQ(ui.Tooltip(Panel::CONNECT, Control::STATUS_LINE), told);
}

TEST_F(ConnectionTest, PortNumber_ShowsTheDeviceItResolvesTo) {
    sim::PtyServer& server = AddUnit(3);
    ui.SetInt(Panel::CONNECT, Control::PORT, 3);
    Press(program, Panel::CONNECT, Control::PORT, UiEvent::ValueChanged);
    const std::string device = "ports/COM3 -> " + server.Path();
    EXPECT_EQ(ConnectStatus(), "Port 3: " + device);
    EXPECT_EQ(ui.Tooltip(Panel::CONNECT, Control::PORT), device);

    ui.SetInt(Panel::CONNECT, Control::PORT, 4);
    Press(program, Panel::CONNECT, Control::PORT, UiEvent::Commit);
    EXPECT_EQ(ConnectStatus(), "Port 4: no device");

    // Opening the panel brings the tooltip up to date but leaves the status line alone.
    ui.SetInt(Panel::CONNECT, Control::PORT, 3);
    Press(program, Panel::MAIN, Control::CONNECTION);
    EXPECT_TRUE(ui.IsPopupInstalled(Panel::CONNECT));
    EXPECT_EQ(ui.Tooltip(Panel::CONNECT, Control::PORT), device);
    EXPECT_EQ(ConnectStatus(), "Port 4: no device");
    Press(program, Panel::CONNECT, Control::ESCAPE);
    EXPECT_FALSE(ui.IsPopupInstalled(Panel::CONNECT));
}

TEST_F(ConnectionTest, UnitsList_ClickChoosesDoubleClickConnects) {
    AddUnit(3, Unit(4, 1042));
    AddUnit(7, Unit(4, 1077));
    ASSERT_EQ(FindUnits(program), 2);

    ui.SelectListItem(Panel::CONNECT, Control::DEVICE_LIST, 1);
    Press(program, Panel::CONNECT, Control::DEVICE_LIST, UiEvent::LeftClickRelease);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 7);
    EXPECT_FALSE(program.Link().IsConnected());

    Press(program, Panel::CONNECT, Control::DEVICE_LIST, UiEvent::LeftDoubleClick);
    EXPECT_TRUE(program.Link().IsConnected());
    EXPECT_EQ(program.Link().Settings().port_number, 7);
    EXPECT_EQ(ConnectStatus(), "Connected to Orvane HF # 1077");
    EXPECT_FALSE(ui.WaitCursor());
}

TEST_F(ConnectionTest, UnitsList_DoubleClickOnAUnitGone_SearchesAgain) {
    AddUnit(3, Unit(4, 1042));
    sim::PtyServer& leaving = AddUnit(7, Unit(4, 1077));
    ASSERT_EQ(FindUnits(program), 2);
    leaving.Stop();  // unplugged: its port entry goes too

    ui.SelectListItem(Panel::CONNECT, Control::DEVICE_LIST, 1);
    Press(program, Panel::CONNECT, Control::DEVICE_LIST, UiEvent::LeftDoubleClick);
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(MessagePopups("Connection Failed"), 1);
    EXPECT_EQ(ListValues(), std::vector<int>{3});
    EXPECT_EQ(ConnectStatus(), "Connection available");
}

TEST_F(ConnectionTest, Ethernet_ShowsTheAddressButManualConnectStillUsesTheSerialPort) {
    AddUnit(3);
    ui.SetInt(Panel::CONNECT, Control::PORT, 3);
    ui.AppendListItem(Panel::CONNECT, Control::DEVICE_LIST, "Port 3 - Orvane HF #1042", 3);

    ui.SetInt(Panel::CONNECT, Control::LINK_TYPE, 2);
    Press(program, Panel::CONNECT, Control::LINK_TYPE);
    EXPECT_FALSE(ui.IsVisible(Panel::CONNECT, Control::PORT));
    EXPECT_TRUE(ui.IsVisible(Panel::CONNECT, Control::URL));
    EXPECT_EQ(ui.ListCount(Panel::CONNECT, Control::DEVICE_LIST), 0);

    Press(program, Panel::CONNECT, Control::CONNECT);
    EXPECT_TRUE(program.Link().IsConnected());
    EXPECT_EQ(program.Link().Settings().port_number, 3);

    ui.SetInt(Panel::CONNECT, Control::LINK_TYPE, 1);
    Press(program, Panel::CONNECT, Control::LINK_TYPE);
    EXPECT_TRUE(ui.IsVisible(Panel::CONNECT, Control::PORT));
    EXPECT_FALSE(ui.IsVisible(Panel::CONNECT, Control::URL));
}

TEST_F(ConnectionTest, StoredSettings_ConnectOrOpenTheConnectPanel) {
    sim::PtyServer& server = AddUnit(3);
    ApplyConnectionSettings(program, ConnectionSettings{3, 0, 200});
    EXPECT_TRUE(program.Link().IsConnected());
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 3);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::COM_TIMEOUT), 200);
    EXPECT_DOUBLE_EQ(port.Timeout(), 0.2);
    EXPECT_FALSE(ui.IsPopupInstalled(Panel::CONNECT));
    EXPECT_FALSE(ui.WaitCursor());

    // A stored open flag is not the link's state; a time-out beyond 16 bits is held at the top.
    server.Stop();
    ApplyConnectionSettings(program, ConnectionSettings{3, 1, 70000});
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::COM_TIMEOUT), 65535);
    EXPECT_TRUE(ui.IsPopupInstalled(Panel::CONNECT));
    EXPECT_EQ(MessagePopups("Connection Failed"), 0);
    EXPECT_FALSE(ui.WaitCursor());
}

}  // namespace
}  // namespace keelsong
