#include "app/link/comm.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/link/frame_trace.h"
#include "headless/headless_ui.h"
#include "protocol/crc.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace keelsong {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FakePlatform;
using testing::FakeSerialPort;

constexpr uint8_t kEnquire = 0x45;

Bytes Frame(uint8_t command, const Bytes& payload) {
    Bytes out(payload.size() + kFrameOverhead + 8);
    out.resize(BuildFrame(command, payload, out));
    return out;
}

Bytes Concat(const Bytes& first, const Bytes& second) {
    Bytes out;
    out.reserve(first.size() + second.size());
    out.insert(out.end(), first.begin(), first.end());
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

// What the link told its trace, the payloads copied.
struct RecordingTrace final : FrameTrace {
    struct Entry {
        FrameDirection direction;
        int attempt;
        FrameOutcome outcome;
        size_t noise;
        Bytes payload;
        bool operator==(const Entry&) const = default;
    };
    void Record(const FrameRecord& record) override {
        entries.push_back({record.direction, record.attempt, record.outcome, record.noise,
                           Bytes(record.payload.begin(), record.payload.end())});
    }
    void Note(std::string_view /*text*/) override {}
    FrameOutcome LastOutcome() const {
        return entries.empty() ? FrameOutcome::Silent : entries.back().outcome;
    }
    std::vector<Entry> entries;
};

// A link over a fake port, with the status line's history and the link's trace kept.
struct LinkFixture : ::testing::Test {
    LinkFixture() {
        ui.RecordHistory(Panel::MAIN, Control::STATUS_LINE);
        link.SetTrace(&trace);
    }

    std::string StatusText() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }
    uint32_t StatusColor() const { return ui.TextColor(Panel::MAIN, Control::STATUS_LINE); }

    HeadlessUi ui;
    FakePlatform platform;
    FakeSerialPort port;
    StatusLine status{ui};
    SerialLink link{port, platform, status};
    RecordingTrace trace;
};

using TransmitFrameTest = LinkFixture;

TEST_F(TransmitFrameTest, EnquireRequest_FlushesThenWritesSixBytes) {
    EXPECT_EQ(link.TransmitFrame(kEnquire, 0, nullptr), 6);
    ASSERT_EQ(port.Written().size(), 1u);
    EXPECT_EQ(port.Written()[0], (Bytes{0x2A, 0x45, 0x00, 0x00, 0x19, 0xCD}));
    EXPECT_EQ(port.Flushes(), 1);
}

TEST_F(TransmitFrameTest, WriteOutcomes_GiveResultAndMessage) {
    struct Case {
        int write_result;
        int expected;
        const char* message;
        FrameOutcome traced;
    };
    const Case cases[] = {
        {kSerialIoError, kSerialIoError, "Com-port Transmit Error, Code: -8",
         FrameOutcome::TransmitError},
        {3, 0, "Message Transmit Incomplete!", FrameOutcome::TransmitIncomplete},
    };
    for (const Case& c : cases) {
        port.QueueWriteResult(c.write_result);
        EXPECT_EQ(link.TransmitFrame(kEnquire, 0, nullptr), c.expected);
        EXPECT_EQ(StatusText(), c.message);
        EXPECT_EQ(StatusColor(), kColorRed);
        EXPECT_EQ(trace.LastOutcome(), c.traced);
    }
}

TEST_F(TransmitFrameTest, PayloadBeyondBuffer_IsRefusedAndNothingWritten) {
    const Bytes payload(kMaxRequestPayload + 1, 0x00);
    EXPECT_EQ(link.TransmitFrame(0x39, static_cast<uint16_t>(payload.size()), payload.data()), 0);
    EXPECT_TRUE(port.Written().empty());
    EXPECT_EQ(StatusColor(), kColorRed);
}

using ReceiveResponseTest = LinkFixture;

TEST_F(ReceiveResponseTest, ByteStreams_GiveResultAndMessage) {
    Bytes good = Frame(kEnquire, Bytes(30, 0x07));
    const Bytes noisy = Concat({0x00, 0xFF}, good);
    Bytes wrong_command = Frame(kEnquire + 1, {});
    Bytes flipped = good;
    flipped[10] ^= 0x04;
    Bytes cut = good;
    cut.resize(20);
    Bytes announce_95 = {0x2A, kEnquire, 95, 0x00};
    announce_95.resize(4 + 97, 0x00);
    const Bytes full_94 = Frame(kEnquire, Bytes(94, 0x33));

    using enum FrameOutcome;
    struct Case {
        const char* name;
        Bytes line;
        int expected;
        const char* message;  // nullptr: the status line is left alone
        FrameOutcome traced;
        size_t payload_traced = 0;
        size_t noise_traced = 0;
    };
    const Case cases[] = {
        {"zero payload", Frame(kEnquire, {}), 6, nullptr, Good},
        {"noise before start byte", noisy, 36, nullptr, Good, 30, 2},
        {"94-byte payload", full_94, 100, nullptr, Good, 94},
        {"nothing", {}, 0, "No Response Received!", TimeOut},
        {"noise only", {0x01, 0x02, 0x03}, 0, "No Response Received!", TimeOut, 0, 3},
        {"header cut", {0x2A, kEnquire}, 0, "Read Timeout!", HeaderTimeOut},
        {"wrong command", wrong_command, 0, "Response does not match command!", WrongCommand},
        {"95-byte payload", announce_95, 0, "Response Corrupted", TooLong},
        {"payload cut", cut, 0, "Full response not received!", Short, 16},
        {"bit flipped", flipped, 0, "Response Corrupted (CRC Failure)!", CrcFailure, 30},
    };
    for (const Case& c : cases) {
        status.ShowStatusMessage(true, "before");
        port.FlushInput();
        port.Queue(c.line);
        EXPECT_EQ(link.ReceiveResponse(kEnquire), c.expected) << c.name;
        EXPECT_EQ(StatusText(), c.message ? c.message : "before") << c.name;
        EXPECT_EQ(StatusColor(), c.message ? kColorRed : kColorBlack) << c.name;
        ASSERT_FALSE(trace.entries.empty());
        const RecordingTrace::Entry& traced = trace.entries.back();
        EXPECT_EQ(traced.outcome, c.traced) << c.name;
        EXPECT_EQ(traced.payload.size(), c.payload_traced) << c.name;
        EXPECT_EQ(traced.noise, c.noise_traced) << c.name;
    }
}

TEST_F(ReceiveResponseTest, Announced95_IsRejectedBeforeAnyPayloadIsRead) {
    Bytes line = {0x2A, kEnquire, 95, 0x00, 0xAB};
    port.Queue(line);
    EXPECT_EQ(link.ReceiveResponse(kEnquire), 0);
    // The payload byte is still waiting: only the start byte and the header were taken.
    uint8_t next = 0;
    EXPECT_EQ(port.Read(std::span<uint8_t>(&next, 1)), 1);
    EXPECT_EQ(next, 0xAB);
}

TEST_F(ReceiveResponseTest, SuccessfulFrame_LeavesPayloadInResponseFrame) {
    port.Queue(Frame(kEnquire, {0x12, 0x04, 'v', '2'}));
    ASSERT_EQ(link.ReceiveResponse(kEnquire), 10);
    EXPECT_EQ(link.ResponseFrame()[4], 0x12);
    EXPECT_EQ(link.ResponseFrame()[5], 0x04);
    ASSERT_EQ(link.ResponsePayload().size(), 4u);
    EXPECT_EQ(link.ResponsePayload()[2], 'v');
}

TEST_F(ReceiveResponseTest, PortErrors_AreReportedWithTheirCode) {
    port.SetReadError(kSerialDeviceGone);
    EXPECT_EQ(link.ReceiveResponse(kEnquire), kSerialDeviceGone);
    EXPECT_EQ(StatusText(), "Com-port Read Error, Code: -4");
}

TEST_F(ReceiveResponseTest, EndlessNoise_EndsWithinTheTimeout) {
    port.SetTimeout(0.05);
    port.SetEndlessNoise(0x55);
    const auto start = SerialPort::Clock::now();
    EXPECT_EQ(link.ReceiveResponse(kEnquire), 0);
    const double seconds = std::chrono::duration<double>(SerialPort::Clock::now() - start).count();
    EXPECT_EQ(StatusText(), "No Response Received!");
    EXPECT_LT(seconds, 0.5);
    EXPECT_GT(port.Reads(), 1);
}

using SendCommandTest = LinkFixture;

TEST_F(SendCommandTest, UnitAnswersOnlySecondRequest_SecondAttemptSucceeds) {
    int requests = 0;
    port.SetResponder([&](std::span<const uint8_t>) {
        return ++requests == 2 ? Frame(kEnquire, Bytes(30, 0)) : Bytes{};
    });
    status.Activity().failed_polls = 2;
    EXPECT_EQ(link.SendCommand(Command::Enquire), 36);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(platform.Delays(), (std::vector<double>{0.1, 0.1}));
    EXPECT_EQ(status.Activity().failed_polls, 0);
    // The first attempt's failure was shown, then left alone by the success.
    const auto& history = ui.History(Panel::MAIN, Control::STATUS_LINE);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(std::get<std::string>(history[0].value), "No Response Received!");
    using enum FrameDirection;
    using enum FrameOutcome;
    EXPECT_EQ(trace.entries, (std::vector<RecordingTrace::Entry>{
                                 {ToUnit, 1, Sent, 0, {}},
                                 {FromUnit, 1, TimeOut, 0, {}},
                                 {ToUnit, 2, Sent, 0, {}},
                                 {FromUnit, 2, Good, 0, Bytes(30, 0)},
                             }));
}

TEST_F(SendCommandTest, UnitNeverAnswers_ThreeAttemptsThreePauses) {
    status.Activity().failed_polls = 1;
    EXPECT_EQ(link.SendCommand(Command::Enquire), 0);
    EXPECT_EQ(port.Written().size(), 3u);
    EXPECT_EQ(platform.Delays(), (std::vector<double>{0.1, 0.1, 0.1}));
    EXPECT_EQ(StatusText(), "No Response Received!");
    EXPECT_EQ(status.Activity().failed_polls, 1);
}

TEST_F(SendCommandTest, TransmitErrorEveryAttempt_NoPausesAndCodeReturned) {
    for (int i = 0; i < 3; ++i) {
        port.QueueWriteResult(kSerialIoError);
    }
    EXPECT_EQ(link.SendCommand(Command::Enquire), kSerialIoError);
    EXPECT_TRUE(platform.Delays().empty());
    EXPECT_EQ(ui.History(Panel::MAIN, Control::STATUS_LINE).size(), 3u);
    EXPECT_EQ(StatusText(), "Com-port Transmit Error, Code: -8");
}

TEST_F(SendCommandTest, ClosedPort_FailsWithTransmitErrorEachAttempt) {
    port.Close();
    EXPECT_EQ(link.SendCommand(Command::Enquire), kSerialNotOpen);
    EXPECT_EQ(StatusText(), "Com-port Transmit Error, Code: -3");
}

TEST_F(SendCommandTest, IdleSeconds_ResetAtEveryAttempt) {
    // The message of each failed attempt resets it too, so only the first attempt tells the
    // transaction's own reset apart: nothing has been shown before it.
    std::vector<int> idle_seen_at_write;
    port.SetResponder([&](std::span<const uint8_t>) {
        idle_seen_at_write.push_back(status.Activity().idle_seconds);
        status.Activity().idle_seconds = 7;  // as if the timer ticked during the exchange
        return Bytes{};
    });
    status.Activity().idle_seconds = 9;
    link.SendCommand(Command::Enquire);
    EXPECT_EQ(idle_seen_at_write, (std::vector<int>{0, 0, 0}));
}

TEST_F(SendCommandTest, PayloadTravelsInTheRequest) {
    port.SetResponder([&](std::span<const uint8_t>) { return Frame(0x46, {0x00, 0x0E}); });
    const Bytes payload = {0x15, 0x00};
    EXPECT_EQ(link.SendCommand(Command::SetupGet, payload), 8);
    ASSERT_EQ(port.Written().size(), 1u);
    EXPECT_EQ(port.Written()[0], (Bytes{0x2A, 0x46, 0x02, 0x00, 0x15, 0x00, 0x81, 0x2D}));
}

TEST_F(SendCommandTest, AnotherStartedInItsPause_SendsNothingAndSaysSo) {
    port.SetResponder([&](std::span<const uint8_t> written) {
        return Frame(written[1], {0x01, 0x02});
    });
    std::vector<int> nested;
    platform.SetDuringDelay([&] {
        if (nested.empty()) {
            nested.push_back(link.SendCommand(Command::StatusRead, Bytes{0x02}));
        }
    });
    EXPECT_EQ(link.SendCommand(Command::Enquire), 8);
    EXPECT_EQ(nested, std::vector<int>{0});
    ASSERT_EQ(port.Written().size(), 1u) << "the refused request never reached the line";
    EXPECT_EQ(port.Written()[0][1], kEnquire);
    EXPECT_EQ(link.ResponseFrame()[1], kEnquire);
    EXPECT_EQ(link.ResponsePayload()[1], 0x02);
    const auto& history = ui.History(Panel::MAIN, Control::STATUS_LINE);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(std::get<std::string>(history[0].value),
              "StatusRead not sent: another exchange with the unit is under way");
    ASSERT_EQ(trace.entries.size(), 3u);
    EXPECT_EQ(trace.entries[1].outcome, FrameOutcome::NotSentBusy);
    EXPECT_EQ(trace.entries[1].attempt, 0) << "no attempt of its own";

    // Once the transaction is over, the next one goes out as usual.
    EXPECT_EQ(link.SendCommand(Command::StatusRead, Bytes{0x02}), 8);
    EXPECT_EQ(port.Written().size(), 2u);
}

TEST(SerialLinkState, IsConnectedFollowsOpenFlagAndClosePortClears) {
    HeadlessUi ui;
    FakePlatform platform;
    FakeSerialPort port;
    StatusLine status(ui);
    SerialLink link(port, platform, status);
    EXPECT_FALSE(link.IsConnected());
    link.Settings().open = 1;
    EXPECT_TRUE(link.IsConnected());
    link.ClosePort();
    EXPECT_FALSE(link.IsConnected());
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace keelsong
