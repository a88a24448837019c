// The serial link against the simulated unit over a real pseudo-terminal, the way the program
// meets a unit: every way a response can go wrong, and the transaction's retries.
#include <gtest/gtest.h>

#include <chrono>

#include "app/link/comm.h"
#include "headless/headless_ui.h"
#include "platform/posix_serial_port.h"
#include "sim/pty_server.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

using sim::Fault;
using sim::PtyServer;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kEnquire = 0x45;
constexpr double kTimeout = 0.3;

struct LinkOverPty : ::testing::Test {
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        ASSERT_EQ(port.OpenPath(server.Path()), 0);
        port.SetTimeout(kTimeout);
    }

    void Inject(const Fault& fault) {
        server.WithSimulator([&](sim::UnitSimulator& unit) { unit.InjectFault(fault); });
    }

    // One attempt without retries: transmit, pause, receive.
    int OneExchange() {
        if (link.TransmitFrame(kEnquire, 0, nullptr) != 6) {
            return -100;
        }
        server.WaitForRequests(server.RequestCount() + 1, std::chrono::milliseconds(500));
        return link.ReceiveResponse(kEnquire);
    }

    std::string StatusText() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }
    uint32_t StatusColor() const { return ui.TextColor(Panel::MAIN, Control::STATUS_LINE); }

    testing::TempDir settings;
    PtyServer server;
    HeadlessUi ui;
    testing::FakePlatform platform;
    PosixSerialPort port{PortDirectory(settings.Path())};
    StatusLine status{ui};
    SerialLink link{port, platform, status};
};

TEST_F(LinkOverPty, ResponseFaults_GiveResultAndMessage) {
    struct Case {
        const char* name;
        Fault fault;
        int expected;         // frame length, or 0
        const char* message;  // nullptr: success leaves the line alone
    };
    const Case cases[] = {
        {"noise before start byte", Fault::NoisePrefix({0x00, 0xFF}), 46, nullptr},
        {"94-byte payload", Fault::AnnounceLength(94), 100, nullptr},
        {"wrong command echoed", Fault::WrongCommand(1), 0, "Response does not match command!"},
        {"95-byte payload", Fault::AnnounceLength(95), 0, "Response Corrupted"},
        {"one bit flipped", Fault::CorruptCrc(13), 0, "Response Corrupted (CRC Failure)!"},
        {"payload cut short", Fault::CutShort(20), 0, "Full response not received!"},
        {"header incomplete", Fault::HeaderIncomplete(1), 0, "Read Timeout!"},
        {"silence", Fault::Drop(), 0, "No Response Received!"},
    };
    for (const Case& c : cases) {
        status.ShowStatusMessage(true, "before");
        Inject(c.fault);
        EXPECT_EQ(OneExchange(), c.expected) << c.name;
        EXPECT_EQ(StatusText(), c.message ? c.message : "before") << c.name;
        EXPECT_EQ(StatusColor(), c.message ? kColorRed : kColorBlack) << c.name;
    }
}

TEST_F(LinkOverPty, Announced95_LeavesTheRestOfTheFrameUnread) {
    Inject(Fault::AnnounceLength(95));
    EXPECT_EQ(OneExchange(), 0);
    uint8_t rest[8];
    EXPECT_GT(port.Read(rest), 0) << "the payload was left in the input queue";
    // The next request's flush clears it, and the exchange after works.
    EXPECT_EQ(OneExchange(), 46);
}

TEST_F(LinkOverPty, EndlessNoise_EndsWithinTheTimeout) {
    ASSERT_EQ(link.TransmitFrame(kEnquire, 0, nullptr), 6);
    server.WithSimulator([](sim::UnitSimulator& unit) { unit.InjectFault(Fault::Drop()); });
    server.StartNoiseStream();
    const auto start = Clock::now();
    EXPECT_EQ(link.ReceiveResponse(kEnquire), 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    server.StopNoiseStream();
    EXPECT_EQ(StatusText(), "No Response Received!");
    EXPECT_GE(seconds, kTimeout * 0.9);
    EXPECT_LT(seconds, kTimeout * 1.5);
}

TEST_F(LinkOverPty, UnitUnplugged_PortClosedAtOnceAndTheLossToldOnlyForAConnection) {
    link.Settings().open = 1;
    Inject(Fault::Drop());
    ASSERT_EQ(link.TransmitFrame(kEnquire, 0, nullptr), 6);
    server.Unplug();
    EXPECT_EQ(link.ReceiveResponse(kEnquire), kSerialDeviceGone);
    EXPECT_EQ(StatusText(), "Com-port Read Error, Code: -4");
    EXPECT_EQ(StatusColor(), kColorRed);
    EXPECT_FALSE(port.IsOpen()) << "no later exchange on a dead descriptor";
    EXPECT_TRUE(link.DeviceLost());
    EXPECT_TRUE(link.IsConnected()) << "ending the connection is the connection layer's";

    EXPECT_EQ(link.TransmitFrame(kEnquire, 0, nullptr), kSerialNotOpen);
    EXPECT_EQ(StatusText(), "Com-port Transmit Error, Code: -3");
    link.ClosePort();
    EXPECT_FALSE(link.DeviceLost());

    // Plugged in again, then gone while idle (no exchange): the line check notices; while not
    // connected (a search, a probe) the port closes all the same, but no loss is told.
    for (const int open : {1, 0}) {
        ASSERT_TRUE(server.PlugIn());
        ASSERT_EQ(port.OpenPath(server.Path()), 0);
        link.Settings().open = open;
        link.CheckDevice();
        EXPECT_TRUE(port.IsOpen());
        server.Unplug();
        link.CheckDevice();
        EXPECT_FALSE(port.IsOpen()) << open;
        EXPECT_EQ(link.DeviceLost(), open == 1);
        link.ClosePort();
    }
}

TEST_F(LinkOverPty, SendCommand_UnitAnsweringOnlyTheSecondRequest) {
    Inject(Fault::Drop());
    status.Activity().failed_polls = 2;
    EXPECT_EQ(link.SendCommand(Command::Enquire), 46);
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(status.Activity().failed_polls, 0);
    EXPECT_EQ(link.ResponsePayload()[28], 4) << "device type of the default unit";
}

TEST_F(LinkOverPty, SendCommand_UnitNeverAnswering_ThreeAttempts) {
    Inject(Fault::Drop().Forever());
    const auto start = Clock::now();
    EXPECT_EQ(link.SendCommand(Command::Enquire), 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(platform.Delays(), (std::vector<double>{0.1, 0.1, 0.1}));
    EXPECT_EQ(StatusText(), "No Response Received!");
    EXPECT_GE(seconds, 3 * kTimeout * 0.9);
}

}  // namespace
}  // namespace keelsong
