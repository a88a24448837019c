#include "sim/unit_simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/commands.h"
#include "protocol/crc.h"
#include "protocol/frame.h"

namespace keelsong::sim {
namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::seconds;
using std::chrono::system_clock;

Bytes Request(Command command, const Bytes& payload = {}) {
    Bytes frame(payload.size() + kFrameOverhead);
    frame.resize(BuildFrame(CommandCode(command), payload, frame));
    return frame;
}

// The payload of a response, after checking that it is one intact frame answering `command`.
Bytes PayloadOf(const Bytes& response, Command command) {
    EXPECT_GE(response.size(), kFrameOverhead);
    if (response.size() < kFrameOverhead) {
        return {};
    }
    EXPECT_EQ(response[0], kStartByte);
    EXPECT_EQ(response[1], CommandCode(command));
    EXPECT_EQ(FramePayloadLength(response) + kFrameOverhead, response.size());
    EXPECT_EQ(CrcOf(response), 0);
    return Bytes(response.begin() + kPayloadOffset, response.end() - kFrameCrcSize);
}

// A simulator on a clock that only moves when told.
struct FakeClockUnit {
    system_clock::time_point now = system_clock::time_point(seconds(1'700'000'000));
    UnitSimulator unit;
    FakeClockUnit() {
        unit.SetClock([this] { return now; });
    }
    Bytes Ask(Command command, const Bytes& payload = {}) {
        return PayloadOf(unit.HandleRequest(Request(command, payload)), command);
    }
};

TEST(UnitSimulatorEnquire, KnownIdentity_FrameMatchesLayoutByteForByte) {
    UnitSimulator unit;
    UnitState& state = unit.State();
    state.device_type = device_type::kOrvaneHf;
    state.serial_number = 1042;
    state.firmware = "v2.1.3";
    state.status_present = 1;
    state.battery_state = 3;
    state.battery_level = 85;
    state.sync_state = 5;
    state.clock_mode = 2;
    state.play_state = 3;
    state.settings_restored = 0;

    const Bytes expected = {
        0x2A, 0x45, 0x28, 0x00,                                // start, Enquire, payload length 40
        0x12, 0x04,                                            // serial number 1042
        0x76, 0x32, 0x2E, 0x31, 0x2E, 0x33, 0x00,              // "v2.1.3", padded to 7
        0x00,                                                  // terminator
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // reserved 10-27
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //
        0x04,                                                  // device type: Orvane HF
        0x00, 0x00, 0x00,                                      // reserved 29-31
        0x01,                                                  // status present
        0x03,                                                  // battery state
        0x55,                                                  // battery level 85 %
        0x05,                                                  // sync state
        0x02,                                                  // clock mode
        0x03,                                                  // play state
        0x00,                                                  // settings restored
        0x00,                                                  // reserved 39
        0x1E, 0x2A,                                            // CRC
    };
    EXPECT_EQ(unit.HandleRequest(Bytes{0x2A, 0x45, 0x00, 0x00, 0x19, 0xCD}), expected);
}

TEST(UnitSimulatorEnquire, PayloadLengthSetting_CutsOrPadsTheLayout) {
    for (size_t length : {size_t{29}, size_t{30}, size_t{33}, size_t{40}, size_t{94}}) {
        SCOPED_TRACE(length);
        UnitSimulator unit;
        unit.State().battery_level = -1;
        const Bytes full = unit.EnquirePayload();
        unit.State().enquire_payload_length = length;
        const Bytes payload =
            PayloadOf(unit.HandleRequest(Request(Command::Enquire)), Command::Enquire);
        ASSERT_EQ(payload.size(), length);
        for (size_t i = 0; i < length; ++i) {
            EXPECT_EQ(payload[i], i < full.size() ? full[i] : 0) << "offset " << i;
        }
    }
}

TEST(UnitSimulatorEnquire, LongFirmwareText_OnlySevenCharactersAndTerminatorZero) {
    UnitSimulator unit;
    unit.State().firmware = "v12.34.56";
    const Bytes payload = unit.EnquirePayload();
    EXPECT_EQ(std::string(payload.begin() + 2, payload.begin() + 9), "v12.34.");
    EXPECT_EQ(payload[9], 0);
}

// A request each command's sender could send; what matters is that every code is answered.
struct CommandCase {
    Command command;
    Bytes payload;
};

TEST(UnitSimulatorCommands, EveryCommandOfTheSet_AnsweredWithIntactFrameEchoingTheCode) {
    const CommandCase cases[] = {
        {Command::MemoryWrite, {0x01, 0x02, 0x04, 0x00, 0x39, 0x05}},
        {Command::SaveSettings, {}},
        {Command::RestoreSettings, {}},
        {Command::EventAdd, {0x00, 0x03, 0x05, 0x00}},
        {Command::EventRemove, {0x00}},
        {Command::EventEnquire, {0x00}},
        {Command::Play, {}},
        {Command::Stop, {}},
        {Command::SetTime, {0x00, 0x00, 0x00, 0x00}},
        {Command::StatusRead, {0x06}},
        {Command::SetupSet, {0x11, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x00}},
        {Command::Enquire, {}},
        {Command::SetupGet, {0x15, 0x00}},
        {Command::Reset, {}},
    };
    ASSERT_EQ(std::size(cases), std::size(kAllCommands));
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(CommandName(CommandCode(c.command)));
        UnitSimulator unit;
        const Bytes response = unit.HandleRequest(Request(c.command, c.payload));
        const Bytes payload = PayloadOf(response, c.command);
        EXPECT_LE(payload.size(), kMaxResponsePayload);
    }
}

TEST(UnitSimulatorCommands, CodesOutsideTheSet_Ignored) {
    UnitSimulator unit;
    for (int code = 0; code < 256; ++code) {
        if (!CommandName(static_cast<uint8_t>(code)).empty()) {
            continue;
        }
        Bytes frame(kFrameOverhead);
        BuildFrame(static_cast<uint8_t>(code), {}, frame);
        EXPECT_TRUE(unit.HandleRequest(frame).empty()) << "code " << code;
    }
}

TEST(UnitSimulatorCommands, MalformedRequests_Ignored) {
    const Bytes good = Request(Command::Enquire);
    Bytes bad_crc = good;
    bad_crc[5] ^= 0x01;
    Bytes bad_start = good;
    bad_start[0] = 0x2B;
    Bytes long_length = good;  // announces one payload byte that is not there
    long_length[2] = 0x01;
    const Bytes cases[] = {bad_crc, bad_start, long_length, Bytes(good.begin(), good.end() - 1),
                           Bytes{}};
    UnitSimulator unit;
    for (const Bytes& request : cases) {
        EXPECT_TRUE(unit.HandleRequest(request).empty());
    }
    EXPECT_FALSE(unit.HandleRequest(good).empty());
}

TEST(UnitSimulatorClock, SetTime_ZeroReadsDriftedClock_OtherValueSetsIt) {
    FakeClockUnit sim;
    sim.unit.State().clock_drift_seconds = -90;
    EXPECT_EQ(ReadLe32(sim.Ask(Command::SetTime, {0, 0, 0, 0}).data()), 1'700'000'000u - 90);

    const Bytes set = {0x80, 0x84, 0x1E, 0x00};  // 2'000'000
    EXPECT_EQ(ReadLe32(sim.Ask(Command::SetTime, set).data()), 2'000'000u);
    sim.now += seconds(5);
    EXPECT_EQ(ReadLe32(sim.Ask(Command::SetTime, {0, 0, 0, 0}).data()), 2'000'005u);
}

TEST(UnitSimulatorStatus, StatusRead_AnswersRequestedFieldsInOrder) {
    struct Case {
        uint8_t flags;
        Bytes expected;
    };
    const Case cases[] = {
        {0x00, {0x00}},
        {0x02, {0x02, 0xC5, 0x01}},                          // humidity 453
        {0x04, {0x04, 0xE7, 0xFF}},                          // temperature -25
        {0x06, {0x06, 0xC5, 0x01, 0xE7, 0xFF}},              //
        {0x07, {0x07, 0x00, 0x00, 0xC5, 0x01, 0xE7, 0xFF}},  // skipped field first
        {0xF2, {0x02, 0xC5, 0x01}},                          // unknown bits dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        FakeClockUnit sim;
        sim.unit.State().humidity_tenths = 453;
        sim.unit.State().temperature_tenths = -25;
        EXPECT_EQ(sim.Ask(Command::StatusRead, {c.flags}), c.expected);
    }
}

const Bytes kTone = {0x00, 0x05, 0xE0, 0x2E, 0x00, 0x00, 0x19, 0x00, 0xFA};
const Bytes kSweep = {0x03, 0x02, 0x88, 0x13, 0x00, 0x00, 0x20, 0x4E, 0x00, 0x00, 0x0A, 0x00, 0x00};
const Bytes kRest = {0x01, 0x03, 0x05, 0x00};
const Bytes kClick = {0x02, 0x04, 0x10, 0x27, 0x00, 0x00, 0xA6, 0xFF, 0x01, 0x00, 0xFD};

TEST(UnitSimulatorEvents, AddedEvents_EnquiredBackWithTheirBodies) {
    FakeClockUnit sim;
    EXPECT_EQ(sim.Ask(Command::EventAdd, kTone), (Bytes{0x00, 0x00, 0x00}));
    EXPECT_EQ(sim.Ask(Command::EventAdd, kRest), (Bytes{0x00, 0x00, 0x01}));
    EXPECT_EQ(sim.Ask(Command::EventAdd, kClick), (Bytes{0x00, 0x00, 0x02}));
    // Index 3 lies past the end of a three-event table only by one: stored there.
    EXPECT_EQ(sim.Ask(Command::EventAdd, kSweep), (Bytes{0x00, 0x00, 0x03}));

    const Bytes* added[] = {&kTone, &kRest, &kClick, &kSweep};
    for (uint8_t index = 0; index < 4; ++index) {
        Bytes expected = {0x00, 0x00, index};
        expected.insert(expected.end(), added[index]->begin() + 1, added[index]->end());
        EXPECT_EQ(sim.Ask(Command::EventEnquire, {index}), expected);
    }
    EXPECT_EQ(sim.Ask(Command::EventEnquire, {4}), (Bytes{0xFF, 0xFF, 0x04}));
}

TEST(UnitSimulatorEvents, IndexFarPastTheEnd_AppendedAndStoredIndexReported) {
    FakeClockUnit sim;
    Bytes rest_at_9 = kRest;
    rest_at_9[0] = 9;
    EXPECT_EQ(sim.Ask(Command::EventAdd, rest_at_9), (Bytes{0x00, 0x00, 0x00}));
}

TEST(UnitSimulatorEvents, RemoveFirstRepeatedly_ClosesGapsUntilDoesNotExist) {
    FakeClockUnit sim;
    sim.Ask(Command::EventAdd, kTone);
    sim.Ask(Command::EventAdd, kRest);
    EXPECT_EQ(sim.Ask(Command::EventRemove, {0}), (Bytes{0x00, 0x00}));
    EXPECT_EQ(sim.Ask(Command::EventEnquire, {0}), (Bytes{0x00, 0x00, 0x00, 0x03, 0x05, 0x00}));
    EXPECT_EQ(sim.Ask(Command::EventRemove, {0}), (Bytes{0x00, 0x00}));
    EXPECT_EQ(sim.Ask(Command::EventRemove, {0}), (Bytes{0xFF, 0xFF}));
}

TEST(UnitSimulatorEvents, RefusedAdds_AnswerTheirResultCodes) {
    struct Case {
        const char* what;
        Bytes payload;
        Bytes expected;
    };
    const Case cases[] = {
        {"type 0", {0x00, 0x00, 0x01, 0x00}, {0xFB, 0xFF}},
        {"type 6", {0x00, 0x06, 0x01, 0x00}, {0xFB, 0xFF}},
        {"body cut", Bytes(kTone.begin(), kTone.end() - 1), {0xFA, 0xFF}},
        {"index only", {0x00}, {0xFA, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeClockUnit sim;
        EXPECT_EQ(sim.Ask(Command::EventAdd, c.payload), c.expected);
        EXPECT_TRUE(sim.unit.Events().empty());
    }
}

TEST(UnitSimulatorEvents, FortyFirstEvent_TooManyEvents) {
    FakeClockUnit sim;
    for (size_t i = 0; i < kMaxEvents; ++i) {
        ASSERT_EQ(sim.Ask(Command::EventAdd, kRest)[0], 0x00);
    }
    EXPECT_EQ(sim.Ask(Command::EventAdd, kRest), (Bytes{0xFE, 0xFF}));
}

TEST(UnitSimulatorSetup, SetupFormat_FollowsDeviceTypeAndFirmware) {
    struct Case {
        uint8_t type;
        const char* firmware;
        uint16_t format;
    };
    const Case cases[] = {
        {device_type::kOrvaneHf, "v2.1.4", kSetupTagged},
        {device_type::kOrvaneHf, "v2.0.0", kSetupTagged},
        {device_type::kOrvaneHf, "v1.9.9", kSetupShortHf},
        {device_type::kOrvaneLf, "v2.1.4", kSetupShortLf},
        {device_type::kOrvaneHfR1, "v2.1.4", kSetupShortHf},
        {device_type::kQuelmarMf, "v2.1.4", kSetupNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firmware);
        FakeClockUnit sim;
        sim.unit.State().device_type = c.type;
        sim.unit.State().firmware = c.firmware;
        const Bytes answer = sim.Ask(Command::SetupGet, {0x15, 0x00});
        ASSERT_GE(answer.size(), 3u);
        EXPECT_EQ(ReadLe16(&answer[1]), c.format);
    }
}

TEST(UnitSimulatorSetup, DefaultTaggedSetup_ReadAsSixFourByteItems) {
    FakeClockUnit sim;
    const Bytes expected = {
        0x00,                                            // not examined by the program
        0x15, 0x00, 0x06, 0x00,                          // format 21, six items
        0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x00,  // sync disabled
        0x01, 0x00, 0x04, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,  // no start time
        0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,  // continuous
        0x03, 0x00, 0x04, 0x00, 0x2C, 0x01, 0x00, 0x00,  // 30.0 s between repeats
        0x04, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,  // magnetic switch off
        0x05, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,  // AUX messages off
    };
    EXPECT_EQ(sim.Ask(Command::SetupGet, {0x15, 0x00}), expected);
}

TEST(UnitSimulatorSetup, TaggedSetupSet_SkipsOddItemsAndAnswersTheNewRecord) {
    FakeClockUnit sim;
    const Bytes request = {
        0x15, 0x00, 0x03, 0x00,                          // format 21, three items
        0x09, 0x00, 0x02, 0x00, 0xAA, 0xBB,              // two-byte item: stepped over
        0x02, 0x00, 0x04, 0x00, 0x05, 0x00, 0x00, 0x00,  // five plays
        0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // magnetic switch on
    };
    const Bytes answer = sim.Ask(Command::SetupSet, request);
    EXPECT_EQ(sim.unit.Setup().number_of_plays, 5u);
    EXPECT_EQ(sim.unit.Setup().magnetic_switch, 1u);
    EXPECT_EQ(sim.unit.Setup().aux_function, 4u);
    const Bytes got = sim.Ask(Command::SetupGet, {0x15, 0x00});
    EXPECT_EQ(answer, Bytes(got.begin() + 1, got.end()));
}

TEST(UnitSimulatorSetup, ShortSetupSetOnOrvaneLf_StoredAndEchoed) {
    FakeClockUnit sim;
    sim.unit.State().device_type = device_type::kOrvaneLf;
    const Bytes record = {0x0E, 0x00, 0x00, 0x00, 0x7D, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(sim.Ask(Command::SetupSet, record), record);
    EXPECT_EQ(sim.unit.Setup().time_between_repeats, 125u);
}

TEST(UnitSimulatorPlayback, PlayAndStop_AnswerAndReportTheirPlayState) {
    FakeClockUnit sim;
    EXPECT_EQ(sim.Ask(Command::Play), Bytes{0});  // empty table
    sim.Ask(Command::EventAdd, kRest);
    EXPECT_EQ(sim.Ask(Command::Enquire)[37], 3) << "a table with events is no longer empty";
    EXPECT_EQ(sim.Ask(Command::Play), Bytes{1});
    EXPECT_EQ(sim.Ask(Command::Enquire)[37], 1);
    EXPECT_TRUE(sim.Ask(Command::Stop).empty());
    EXPECT_EQ(sim.Ask(Command::Enquire)[37], 3);

    sim.unit.Setup().start_time = 1'700'000'000 + 3600;
    EXPECT_EQ(sim.Ask(Command::Play), Bytes{2});
    sim.now += seconds(3601);
    EXPECT_EQ(sim.Ask(Command::Play), Bytes{1});
}

TEST(UnitSimulatorPlayback, RestoreSettings_BringsBackSavedTableAndSetsFlag) {
    FakeClockUnit sim;
    sim.Ask(Command::EventAdd, kTone);
    sim.Ask(Command::SaveSettings);
    sim.Ask(Command::EventRemove, {0});
    sim.unit.Setup().number_of_plays = 9;
    sim.unit.State().settings_restored = 0;

    EXPECT_EQ(sim.Ask(Command::Enquire)[37], 0);
    EXPECT_TRUE(sim.Ask(Command::RestoreSettings).empty());
    EXPECT_EQ(sim.Ask(Command::Enquire)[37], 3);
    ASSERT_EQ(sim.unit.Events().size(), 1u);
    EXPECT_EQ(sim.unit.Events()[0].type, 5);
    EXPECT_EQ(sim.unit.Setup().number_of_plays, 0u);
    EXPECT_EQ(sim.Ask(Command::Enquire)[38], 1);
}

const Bytes kLoaderWord = {'K', 'O', 'R', 'V', 'A', 0};

TEST(UnitSimulatorRestart, ResetIntoLoader_SilentWhileRestartingThenAdminMode) {
    FakeClockUnit sim;
    sim.unit.State().restart_period = std::chrono::milliseconds(2000);
    EXPECT_TRUE(sim.Ask(Command::Reset, kLoaderWord).empty());
    EXPECT_TRUE(sim.unit.HandleRequest(Request(Command::Enquire)).empty());
    sim.now += std::chrono::milliseconds(1999);
    EXPECT_TRUE(sim.unit.HandleRequest(Request(Command::Enquire)).empty());
    sim.now += std::chrono::milliseconds(1);

    const Bytes identity = sim.Ask(Command::Enquire);
    EXPECT_EQ(std::string(identity.begin() + 2, identity.begin() + 8), "v0.3.1");
    EXPECT_TRUE(sim.unit.InAdminMode());
    // The loader answers only what an update needs.
    EXPECT_TRUE(sim.unit.HandleRequest(Request(Command::Play)).empty());
    EXPECT_TRUE(sim.unit.HandleRequest(Request(Command::StatusRead, {0x02})).empty());

    sim.Ask(Command::Reset);
    sim.now += seconds(2);
    EXPECT_FALSE(sim.unit.InAdminMode());
    EXPECT_EQ(sim.unit.ReportedFirmware(), "v2.1.4");
}

TEST(UnitSimulatorRestart, SerialNumberWrite_ReportedByTheNextEnquiry) {
    FakeClockUnit sim;
    // 4464 is what 70000 leaves in 16 bits.
    EXPECT_EQ(sim.Ask(Command::MemoryWrite, {0x01, 0x02, 0x04, 0x00, 0x70, 0x11}),
              (Bytes{0x00, 0x02}));
    EXPECT_EQ(ReadLe16(sim.Ask(Command::Enquire).data()), 4464);
}

Bytes Chunk(size_t offset, size_t count) {
    Bytes payload = {0x00, static_cast<uint8_t>(count), static_cast<uint8_t>(offset),
                     static_cast<uint8_t>(offset >> 8)};
    for (size_t i = 0; i < count; ++i) {
        payload.push_back(static_cast<uint8_t>(offset + i));
    }
    return payload;
}

TEST(UnitSimulatorRestart, FirmwareUpload_CompletedByShortChunkAndAdoptedOnRestart) {
    FakeClockUnit sim;
    sim.Ask(Command::EventAdd, kTone);
    sim.unit.State().firmware_after_update = "v2.2.0";
    sim.Ask(Command::Reset, kLoaderWord);
    sim.now += seconds(3);

    EXPECT_EQ(sim.Ask(Command::MemoryWrite, Chunk(0, 128)), (Bytes{0x00, 128}));
    EXPECT_EQ(sim.Ask(Command::MemoryWrite, Chunk(200, 128))[0], 2);  // out of sequence
    EXPECT_EQ(sim.Ask(Command::MemoryWrite, Chunk(128, 128)), (Bytes{0x00, 128}));
    EXPECT_FALSE(sim.unit.Upload().complete);
    EXPECT_EQ(sim.Ask(Command::MemoryWrite, Chunk(256, 44)), (Bytes{0x00, 44}));
    EXPECT_TRUE(sim.unit.Upload().complete);
    EXPECT_EQ(sim.unit.Upload().image.size(), 300u);
    EXPECT_EQ(sim.unit.Upload().image[299], static_cast<uint8_t>(299));

    sim.Ask(Command::Reset);
    sim.now += seconds(3);
    EXPECT_EQ(sim.unit.ReportedFirmware(), "v2.2.0");
    EXPECT_TRUE(sim.unit.Events().empty());
}

TEST(UnitSimulatorRestart, FaultOptions_RefuseSilenceAndMissTheLoader) {
    {
        SCOPED_TRACE("image only in the loader, refused chunk");
        FakeClockUnit sim;
        sim.unit.State().refuse_memory_write = 2;
        EXPECT_EQ(sim.Ask(Command::MemoryWrite, Chunk(0, 128)), (Bytes{0x03, 0}));
        sim.Ask(Command::Reset, kLoaderWord);
        sim.now += seconds(3);
        EXPECT_EQ(sim.Ask(Command::MemoryWrite, Chunk(0, 128)), (Bytes{0x03, 0}));
        EXPECT_TRUE(sim.unit.Upload().image.empty());
    }
    {
        SCOPED_TRACE("silent after the second restart");
        FakeClockUnit sim;
        sim.unit.State().silent_after_restart = 2;
        EXPECT_TRUE(sim.Ask(Command::Reset, kLoaderWord).empty());
        sim.now += seconds(3);
        EXPECT_TRUE(sim.Ask(Command::Reset).empty()) << "answered, then gone";
        sim.now += std::chrono::hours(1);
        EXPECT_TRUE(sim.unit.HandleRequest(Request(Command::Enquire)).empty());
    }
    {
        SCOPED_TRACE("mode word ignored");
        FakeClockUnit sim;
        sim.unit.State().ignore_loader_word = true;
        sim.Ask(Command::Reset, kLoaderWord);
        sim.now += seconds(3);
        EXPECT_FALSE(sim.unit.InAdminMode());
    }
    {
        SCOPED_TRACE("image does not boot");
        FakeClockUnit sim;
        sim.unit.State().stay_in_loader = true;
        sim.unit.State().firmware_after_update = "v2.2.0";
        sim.Ask(Command::Reset, kLoaderWord);
        sim.now += seconds(3);
        sim.Ask(Command::MemoryWrite, Chunk(0, 10));
        sim.Ask(Command::Reset);
        sim.now += seconds(3);
        EXPECT_TRUE(sim.unit.InAdminMode());
        EXPECT_EQ(sim.unit.State().firmware, "v2.1.4");
    }
}

}  // namespace
}  // namespace keelsong::sim
