// The simulated unit's own checks of the events it is sent, and what it answers past the end
// of its table.
#include "sim/event_checks.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "sim/unit_simulator.h"

namespace keelsong::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const EventLimits kLf = EventLimitsFor(device_type::kOrvaneLf, 0x010103, kSetupShortLf);
const EventLimits kHf = EventLimitsFor(device_type::kOrvaneHf, 0x020104, kSetupTagged);
const EventLimits kHfOld = EventLimitsFor(device_type::kOrvaneHf, 0x020005, kSetupTagged);
const EventLimits kHf19 = EventLimitsFor(device_type::kOrvaneHf, 0x010909, kSetupShortHf);
const EventLimits kHfR1 = EventLimitsFor(device_type::kOrvaneHfR1, 0x020104, kSetupShortHf);

Bytes LeBytes(uint32_t value, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// EventAdd payloads at index 0.
Bytes Tone(uint8_t type, uint32_t hz, uint16_t duration, int8_t level) {
    return Join({{0x00, type}, LeBytes(hz, 4), LeBytes(duration, 2), {uint8_t(level)}});
}
Bytes Sweep(uint32_t from, uint32_t to, uint16_t tenths, int8_t level) {
    return Join(
        {{0x00, 0x02}, LeBytes(from, 4), LeBytes(to, 4), LeBytes(tenths, 2), {uint8_t(level)}});
}
Bytes Rest(uint16_t tenths) {
    return Join({{0x00, 0x03}, LeBytes(tenths, 2)});
}
Bytes Click(uint32_t hz, int16_t phase, uint16_t tenths, int8_t level) {
    return Join({{0x00, 0x04},
                 LeBytes(hz, 4),
                 LeBytes(uint16_t(phase), 2),
                 LeBytes(tenths, 2),
                 {uint8_t(level)}});
}

TEST(CheckEventAdd, ValuesByDeviceType_AnswerTheirResultCodes) {
    struct Case {
        const char* what;
        const EventLimits* limits;
        Bytes payload;
        int16_t expected;
    };
    const Case cases[] = {
        {"LF tone in cycles", &kLf, Tone(1, 440, 300, 12), kEventSuccess},
        {"LF lowest and highest", &kLf, Sweep(20, 8000, 10, 24), kEventSuccess},
        {"LF frequency too high", &kLf, Tone(1, 8001, 1, 0), kEventInvalidFrequency},
        {"LF frequency too low", &kLf, Tone(1, 19, 1, 0), kEventInvalidFrequency},
        {"LF attenuation negative", &kLf, Tone(1, 440, 1, -6), kEventInvalidGain},
        {"LF attenuation over 24", &kLf, Tone(1, 440, 1, 30), kEventInvalidGain},
        {"LF timed tone", &kLf, Tone(5, 440, 10, 0), kEventInvalidType},
        {"LF click", &kLf, Click(440, 0, 1, 0), kEventInvalidType},
        {"LF zero cycles", &kLf, Tone(1, 440, 0, 0), kEventInvalidDuration},
        {"HF timed tone", &kHf, Tone(5, 12000, 25, -6), kEventSuccess},
        {"HF tone in cycles", &kHf, Tone(1, 12000, 25, -6), kEventInvalidType},
        {"HF 2.0.6 level +7", &kHf, Tone(5, 12000, 25, 7), kEventSuccess},
        {"HF 2.0.6 level -25", &kHf, Tone(5, 12000, 25, -25), kEventInvalidGain},
        {"HF 2.0.5 level +1", &kHfOld, Tone(5, 12000, 25, 1), kEventInvalidGain},
        {"HF 2.0.5 level -20", &kHfOld, Tone(5, 12000, 25, -20), kEventSuccess},
        {"HF frequency under 3000", &kHf, Tone(5, 2999, 25, 0), kEventInvalidFrequency},
        {"HF sweep end over 200000", &kHf, Sweep(5000, 200001, 10, 0), kEventInvalidFrequency},
        {"HF sweep", &kHf, Sweep(5000, 20000, 10, 0), kEventSuccess},
        {"sweep standing still", &kHf, Sweep(5000, 5000, 10, 0), kEventSweepSlopeTooSmall},
        {"sweep 1 Hz in 1 s", &kHf, Sweep(5001, 5000, 10, 0), kEventSuccess},
        {"sweep 1 Hz in 1.1 s", &kHf, Sweep(5000, 5001, 11, 0), kEventSweepSlopeTooSmall},
        {"sweep of no time", &kHf, Sweep(5000, 20000, 0, 0), kEventInvalidDuration},
        {"rest of no time", &kHf, Rest(0), kEventInvalidDuration},
        {"rest", &kLf, Rest(65535), kEventSuccess},
        {"HF click", &kHf, Click(10000, -90, 1, -3), kEventSuccess},
        {"click phase 181", &kHf, Click(10000, 181, 1, 0), kEventInvalidPhase},
        {"click phase -180", &kHf, Click(10000, -180, 1, 0), kEventSuccess},
        {"click on short setup", &kHf19, Click(10000, 0, 1, 0), kEventInvalidType},
        {"HF(R1) tone in cycles", &kHfR1, Tone(1, 40000, 100, 0), kEventSuccess},
        {"HF(R1) timed tone", &kHfR1, Tone(5, 40000, 100, 0), kEventSuccess},
        {"HF(R1) click", &kHfR1, Click(10000, 0, 1, 0), kEventInvalidType},
        {"type 0", &kHf, {0x00, 0x00, 0x01, 0x00}, kEventInvalidType},
        {"type 6", &kHf, {0x00, 0x06, 0x01, 0x00}, kEventInvalidType},
        {"index only", &kHf, {0x00}, kEventPayloadTooSmall},
        {"sweep cut short", &kHf, {0x00, 0x02, 0x88, 0x13, 0x00, 0x00}, kEventPayloadTooSmall},
        // The size is checked before whether the unit plays the type at all.
        {"LF timed tone cut short", &kLf, {0x00, 0x05, 0x01}, kEventPayloadTooSmall},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckEventAdd(c.payload, 0, *c.limits), c.expected) << c.what;
    }
}

TEST(CheckEventAdd, FullTable_TooManyEventsBeforeValues) {
    EXPECT_EQ(CheckEventAdd(Rest(5), kMaxEvents - 1, kHf), kEventSuccess);
    EXPECT_EQ(CheckEventAdd(Rest(5), kMaxEvents, kHf), kEventTooMany);
    EXPECT_EQ(CheckEventAdd(Rest(0), kMaxEvents, kHf), kEventTooMany);
}

Bytes Ask(UnitSimulator& unit, Command command, const Bytes& payload) {
    Bytes frame(payload.size() + kFrameOverhead);
    frame.resize(BuildFrame(CommandCode(command), payload, frame));
    const Bytes response = unit.HandleRequest(frame);
    if (response.size() < kFrameOverhead) {
        return {};
    }
    return Bytes(response.begin() + kPayloadOffset, response.end() - kFrameCrcSize);
}

TEST(UnitSimulatorEventTable, PastTheEnd_AnswersTheConfiguredCode) {
    struct Case {
        int16_t past_end;
        Bytes enquire;
        Bytes remove;
    };
    const Case cases[] = {
        {kEventDoesNotExist, {0xFF, 0xFF, 0x01}, {0xFF, 0xFF}},
        {kEventPastEndOfTable, {0xFC, 0xFF, 0x01}, {0xFC, 0xFF}},
    };
    for (const Case& c : cases) {
        UnitSimulator unit;
        unit.State().past_end_result = c.past_end;
        ASSERT_EQ(Ask(unit, Command::EventAdd, Rest(5)), (Bytes{0x00, 0x00, 0x00}));
        EXPECT_EQ(Ask(unit, Command::EventEnquire, {0x01}), c.enquire);
        EXPECT_EQ(Ask(unit, Command::EventRemove, {0x01}), c.remove);
        EXPECT_EQ(Ask(unit, Command::EventRemove, {0x00}), (Bytes{0x00, 0x00}));
        EXPECT_EQ(Ask(unit, Command::EventRemove, {0x00}), c.remove);
    }
}

TEST(UnitSimulatorEventTable, RefusedEvent_IsNotStored) {
    UnitSimulator unit;
    unit.State().device_type = device_type::kOrvaneLf;
    unit.State().firmware = "v1.1.3";
    EXPECT_EQ(Ask(unit, Command::EventAdd, Tone(1, 9000, 10, 0)), (Bytes{0xFD, 0xFF}));
    EXPECT_TRUE(unit.Events().empty());
    EXPECT_EQ(Ask(unit, Command::EventAdd, Tone(1, 440, 10, 6)), (Bytes{0x00, 0x00, 0x00}));
    EXPECT_EQ(unit.Events().size(), 1u);
}

}  // namespace
}  // namespace keelsong::sim
