#include "protocol/event_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace keelsong {
namespace {

using Bytes = std::vector<uint8_t>;

// A row as an Orvane HF with the tagged setup shows it, turned into the EventAdd payload.
Bytes HfRowPayload(const RowValues& row, uint8_t index) {
    EventRecord record;
    record.type = EventTypeOfRow(row.type_text, row.unit_text, device_type::kOrvaneHf);
    FillEventBody(record.type, row, record.body);
    return BuildEventAddPayload(record, index);
}

RowValues Row(const char* type, double duration, uint32_t start, uint32_t end, int8_t level,
              int16_t phase) {
    RowValues row;
    row.type_text = type;
    row.unit_text = "Seconds";
    row.duration = duration;
    row.start_frequency = start;
    row.end_frequency = end;
    row.level = level;
    row.phase = phase;
    return row;
}

TEST(EventAddPayload, WorkedExamples_MatchByteForByte) {
    EXPECT_EQ(HfRowPayload(Row("Tone", 2.5, 12000, 0, -6, 0), 0),
              (Bytes{0x00,                    // unit index 0
                     0x05,                    // ToneSeconds (an Orvane HF times its tones)
                     0xE0, 0x2E, 0x00, 0x00,  // 12000 Hz
                     0x19, 0x00,              // 25 tenths
                     0xFA}));                 // -6 dB
    EXPECT_EQ(HfRowPayload(Row("Sweep", 1.0, 5000, 20000, 0, 0), 3),
              (Bytes{0x03,                    // unit index 3
                     0x02,                    // Sweep
                     0x88, 0x13, 0x00, 0x00,  // from 5000 Hz
                     0x20, 0x4E, 0x00, 0x00,  // to 20000 Hz
                     0x0A, 0x00,              // 10 tenths
                     0x00}));                 // 0 dB
    EXPECT_EQ(HfRowPayload(Row("Rest", 0.5, 0, 0, 0, 0), 1),
              (Bytes{0x01,           // unit index 1
                     0x03,           // Rest
                     0x05, 0x00}));  // 5 tenths
    EXPECT_EQ(HfRowPayload(Row("Click", 0.1, 10000, 0, -3, -90), 2),
              (Bytes{0x02,                    // unit index 2
                     0x04,                    // Click
                     0x10, 0x27, 0x00, 0x00,  // 10000 Hz
                     0xA6, 0xFF,              // -90 degrees
                     0x01, 0x00,              // 1 tenth
                     0xFD}));                 // -3 dB

    // A tone counted in cycles, as an Orvane HF(R1) row with the Unit "Cycles" holds it.
    RowValues cycles = Row("Tone", 500, 3000, 0, -12, 0);
    cycles.unit_text = "Cycles";
    EventRecord record;
    record.type = EventTypeOfRow(cycles.type_text, cycles.unit_text, device_type::kOrvaneHfR1);
    FillEventBody(record.type, cycles, record.body);
    EXPECT_EQ(BuildEventAddPayload(record, 4),
              (Bytes{0x04,                    // unit index 4
                     0x01,                    // ToneCycles
                     0xB8, 0x0B, 0x00, 0x00,  // 3000 Hz
                     0xF4, 0x01,              // 500 cycles
                     0xF4}));                 // -12 dB
}

// Each type's EventEnquire answer, written out, as the grid shows it.
TEST(EventEnquireAnswer, EachType_ReadFromTheWire) {
    struct Case {
        Bytes payload;
        int device_type;
        EventRowImage shown;
    };
    const Case cases[] = {
        {{0x00, 0x00, 0x04,        // Success, unit index 4
          0x01,                    // ToneCycles
          0xB8, 0x0B, 0x00, 0x00,  // 3000 Hz
          0xF4, 0x01,              // 500 cycles
          0xF4},                   // -12 dB
         device_type::kOrvaneHfR1,
         {1, "Tone", 500.0, 3000, std::nullopt, -12, std::nullopt}},
        {{0x00, 0x00, 0x00, 0x05,  // index 0, ToneSeconds
          0xE0, 0x2E, 0x00, 0x00,  // 12000 Hz
          0x19, 0x00,              // 25 tenths
          0xFA},                   // -6 dB
         device_type::kOrvaneHf,
         {5, "Tone", 2.5, 12000, std::nullopt, -6, std::nullopt}},
        {{0x00, 0x00, 0x03, 0x02,  // index 3, Sweep
          0x88, 0x13, 0x00, 0x00,  // from 5000 Hz
          0x20, 0x4E, 0x00, 0x00,  // to 20000 Hz
          0x0A, 0x00,              // 10 tenths
          0x02},                   // +2 dB
         device_type::kOrvaneHf,
         {2, "Sweep", 1.0, 5000, 20000, 2, std::nullopt}},
        {{0x00, 0x00, 0x01, 0x03,  // index 1, Rest
          0x05, 0x00},             // 5 tenths
         device_type::kOrvaneHf,
         {3, "Rest", 0.5, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        {{0x00, 0x00, 0x02, 0x04,  // index 2, Click
          0x10, 0x27, 0x00, 0x00,  // 10000 Hz
          0xA6, 0xFF,              // -90 degrees
          0x01, 0x00,              // 1 tenth
          0xFD},                   // -3 dB
         device_type::kOrvaneHf,
         {4, "Click", 0.1, 10000, std::nullopt, -3, -90}},
    };
    for (const Case& c : cases) {
        const EventEnquireAnswer answer = DecodeEventEnquireAnswer(c.payload);
        EXPECT_EQ(answer.result, 0);
        EXPECT_EQ(answer.index, c.payload[2]);
        const EventRowImage image =
            RowImageOfEvent(answer.type, answer.body, c.device_type, kClickSetupFormat);
        SCOPED_TRACE(c.shown.type_text);
        EXPECT_EQ(image.row_type, c.shown.row_type);
        EXPECT_EQ(image.type_text, c.shown.type_text);
        ASSERT_TRUE(image.duration);
        EXPECT_DOUBLE_EQ(*image.duration, *c.shown.duration);
        EXPECT_EQ(image.start_frequency, c.shown.start_frequency);
        EXPECT_EQ(image.end_frequency, c.shown.end_frequency);
        EXPECT_EQ(image.level, c.shown.level);
        EXPECT_EQ(image.phase, c.shown.phase);
    }
}

TEST(EventAddPayload, TypeOutsideOneToFive_GivesNoPayload) {
    for (int32_t type : {0, 6, -1, 0x105}) {
        EventRecord record;
        record.type = type;
        EXPECT_TRUE(BuildEventAddPayload(record, 0).empty()) << type;
    }
}

TEST(EventTypeOfRow, ToneFollowsDeviceType_OtherTypesByText) {
    struct Case {
        const char* type_text;
        const char* unit_text;
        int device_type;
        int32_t expected;
    };
    const Case cases[] = {
        {"Tone", "Seconds", device_type::kOrvaneLf, 1},  // an LF counts every tone in cycles
        {"Tone", "Cycles", device_type::kOrvaneHf, 5},   // an HF times every tone
        {"Tone", "Cycles", device_type::kOrvaneHfR1, 1},
        {"Tone", "Seconds", device_type::kOrvaneHfR1, 5},
        {"Tone", "", device_type::kOrvaneHfR1, 0},
        {"Tone", "Seconds", device_type::kNone, 0},  // no unit: neither sent nor saved
        {"Tone", "Seconds", 5, 0},                   // a unit without an event table
        {"Sweep", "", device_type::kNone, 2},
        {"Click", "", device_type::kOrvaneLf, 4},
        {"Rest", "Cycles", device_type::kOrvaneHf, 3},
        {"None", "Seconds", device_type::kOrvaneHf, 0},
        {"?", "Seconds", device_type::kOrvaneHf, 0},
        {"", "", device_type::kOrvaneHf, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EventTypeOfRow(c.type_text, c.unit_text, c.device_type), c.expected)
            << c.type_text << "/" << c.unit_text << " on device " << c.device_type;
    }
}

TEST(SecondsToTenths, TruncatesAndKeepsWithinSixteenBits) {
    struct Case {
        double seconds;
        uint16_t tenths;
    };
    const Case cases[] = {
        {1.25, 12},     {0.15, 1},
        {0.1, 1},       {6553.5, 65535},
        {2.5, 25},      {0.0, 0},
        {-3.0, 0},      {0.09, 0},
        {6553.6, 0},  // 65536 keeps its low bits
        {1e12, 0xFFFF}, {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SecondsToTenths(c.seconds), c.tenths) << c.seconds;
    }
}

TEST(RowImageOfEvent, TimeReadBack_ShowsTenths) {
    EventBody body{};
    body[0] = 12;  // a rest of 12 tenths, as 1.25 s was sent
    const EventRowImage image = RowImageOfEvent(3, body, device_type::kOrvaneHf, 21);
    EXPECT_EQ(image.type_text, "Rest");
    ASSERT_TRUE(image.duration);
    EXPECT_DOUBLE_EQ(*image.duration, 1.2);
}

TEST(RowImageOfEvent, DeviceFilters_ShowEventsTheUnitCannotHoldAsNone) {
    struct Case {
        int32_t type;
        int device_type;
        uint16_t setup_format;
        int32_t row_type;
        const char* text;
    };
    const Case cases[] = {
        {4, device_type::kOrvaneHf, 17, 0, "None"},  // a click needs the tagged setup
        {4, device_type::kOrvaneHf, 21, 4, "Click"},
        {1, device_type::kOrvaneHf, 21, 0, "None"},  // an HF holds no cycle-counted tone
        {5, device_type::kOrvaneLf, 14, 0, "None"},  // an LF holds no timed tone
        {1, device_type::kOrvaneHfR1, 17, 1, "Tone"},
        {5, device_type::kOrvaneHfR1, 17, 5, "Tone"},
        {5, device_type::kNone, 17, 5, "Tone"},
        {-1, device_type::kOrvaneHf, 21, -1, "?"},
        {6, device_type::kOrvaneHf, 21, 6, "?"},
    };
    EventBody body{};
    body[0] = 0x40;
    for (const Case& c : cases) {
        const EventRowImage image = RowImageOfEvent(c.type, body, c.device_type, c.setup_format);
        EXPECT_EQ(image.row_type, c.row_type) << c.type << " on " << c.device_type;
        EXPECT_EQ(image.type_text, c.text) << c.type << " on " << c.device_type;
        if (c.row_type == 0 || c.row_type > 5 || c.row_type < 0) {
            EXPECT_FALSE(image.start_frequency || image.duration || image.level);
        }
    }
}

TEST(EventResultText, KnownCodesAndTheRest) {
    struct Case {
        uint16_t code;
        const char* text;
    };
    const Case cases[] = {
        {0x0000, "Success"},
        {0xFFFF, "Does not Exist"},
        {0xFFFE, "Too Many Events"},
        {0xFFFD, "Invalid Frequency"},
        {0xFFFC, "Past End of Table"},
        {0xFFFB, "Invalid Type"},
        {0xFFFA, "Payload Too Small"},
        {0xFFF9, "Invalid Gain"},
        {0xFFF8, "Slope of Sweep Too Small"},
        {0xFFF7, "Invalid Duration"},
        {0xFFF6, "Invalid Phase"},
        {3, "Unknown Error"},
        {1, "Unknown Error"},
        {0xFFF5, "Unknown Error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EventResultText(c.code), c.text) << c.code;
    }
}

TEST(DecodeEventEnquireAnswer, LongBody_KeepsTwelveBytes) {
    Bytes payload = {0x00, 0x00, 0x07, 0x02};
    for (uint8_t i = 1; i <= 20; ++i) {
        payload.push_back(i);
    }
    const EventEnquireAnswer answer = DecodeEventEnquireAnswer(payload);
    EXPECT_EQ(answer.result, 0);
    EXPECT_EQ(answer.index, 7);
    EXPECT_EQ(answer.type, 2);
    EXPECT_EQ(answer.body_bytes, kEventBodySize);
    EXPECT_EQ(answer.body, (EventBody{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(DecodeEventEnquireAnswer, ShortAnswers_LeaveMissingFieldsZero) {
    struct Case {
        Bytes payload;
        uint16_t result;
        std::optional<uint8_t> index;
        int32_t type;
        EventBody body;
    };
    const Case cases[] = {
        {{}, 0, std::nullopt, 0, {}},
        {{0xFF}, 0x00FF, std::nullopt, 0, {}},
        {{0xFF, 0xFF}, 0xFFFF, std::nullopt, 0, {}},
        {{0x00, 0x00, 0x05}, 0, 5, 0, {}},
        {{0x00, 0x00, 0x05, 0xFE}, 0, 5, -2, {}},  // the type is signed
        // A sweep cut after its start frequency: the rest of the body stays zero.
        {{0x00, 0x00, 0x01, 0x02, 0x88, 0x13, 0x00}, 0, 1, 2, {0x88, 0x13, 0x00}},
    };
    for (const Case& c : cases) {
        const EventEnquireAnswer answer = DecodeEventEnquireAnswer(c.payload);
        EXPECT_EQ(answer.result, c.result) << c.payload.size();
        EXPECT_EQ(answer.index, c.index) << c.payload.size();
        EXPECT_EQ(answer.type, c.type) << c.payload.size();
        EXPECT_EQ(answer.body, c.body) << c.payload.size();
    }
}

TEST(DecodeEventAddAnswer, IndexByteOnlyWhenPresent) {
    EXPECT_EQ(DecodeEventAddAnswer(Bytes{0x00, 0x00, 0x04}).stored_index, 4);
    EXPECT_EQ(DecodeEventAddAnswer(Bytes{0xFD, 0xFF}).result, 0xFFFD);
    EXPECT_FALSE(DecodeEventAddAnswer(Bytes{0xFD, 0xFF}).stored_index);
}

}  // namespace
}  // namespace keelsong
