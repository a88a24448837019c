// The configuration file's contents as event records and setup records: ".tlk" sections read
// into event bodies and tagged setup records, and the older binary file's records. Expected
// bytes are written out by hand from the field layouts, never taken from the writer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/config_file.h"
#include "files/ini.h"

namespace keelsong {
namespace {

using Bytes = std::vector<uint8_t>;

// One event slot: type and the 12 body bytes.
struct Slot {
    int32_t type;
    Bytes body;
};

std::string Section(const std::string& name, const std::string& items) {
    return "[" + name + "]\r\n" + items + "\r\n";
}

std::string Rests(int first, int count) {
    std::string text;
    for (int number = first; number < first + count; ++number) {
        text += Section(ConfigEventSection(number), "Type = 3\r\nTime = 50\r\n");
    }
    return text;
}

const Bytes kRest50 = {0x32, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

struct EventsCase {
    const char* name;
    std::string text;
    int result;
    std::vector<Slot> slots;  // from slot 1, up to and including the one that ends the list
    friend void PrintTo(const EventsCase& c, std::ostream* os) { *os << c.name; }
};

class ReadConfigEventsTest : public testing::TestWithParam<EventsCase> {};

TEST_P(ReadConfigEventsTest, Document_SlotsHoldTheEventsAsTheyFit) {
    const EventsCase& c = GetParam();
    IniDocument document;
    ASSERT_EQ(document.ReadFromText(c.text), 0);
    ConfigEventSlots slots;
    ASSERT_EQ(ReadConfigEvents(document, slots), c.result);
    for (size_t k = 0; k < c.slots.size(); ++k) {
        SCOPED_TRACE("slot " + std::to_string(k + 1));
        EXPECT_EQ(slots[k].type, c.slots[k].type);
        EXPECT_EQ(Bytes(slots[k].body.begin(), slots[k].body.end()), c.slots[k].body);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadConfigEventsTest,
    testing::Values(
        EventsCase{
            "every_type_in_its_fields",
            Section("Event 01", "Cycles = 1000\r\nFrequency = 400\r\nLevel = 12\r\nType = 1\r\n") +
                Section("Event 02",
                        "End Frequency = 4294967295\r\nLevel = -20\r\n"
                        "Start Frequency = 3000\r\nTime = 65535\r\nType = 2\r\n") +
                Section("Event 03", "Time = 50\r\nType = 3\r\n") +
                Section("Event 04",
                        "Frequency = 50000\r\nLevel = -24\r\nPhase = -90\r\nTime = 1\r\n"
                        "Type = 4\r\n") +
                Section("Event 05", "Frequency = 12000\r\nLevel = 7\r\nTime = 20\r\nType = 5\r\n"),
            0,
            {
                // Frequency 400 | Cycles 1000 | Level 12
                {1, {0x90, 0x01, 0x00, 0x00, 0xE8, 0x03, 0x0C, 0, 0, 0, 0, 0}},
                // Start 3000 | End 0xFFFFFFFF | Time 65535 | Level -20
                {2, {0xB8, 0x0B, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEC, 0}},
                {3, kRest50},
                // Frequency 50000 | Phase -90 | Time 1 | Level -24
                {4, {0x50, 0xC3, 0x00, 0x00, 0xA6, 0xFF, 0x01, 0x00, 0xE8, 0, 0, 0}},
                // Frequency 12000 | Time 20 | Level 7
                {5, {0xE0, 0x2E, 0x00, 0x00, 0x14, 0x00, 0x07, 0, 0, 0, 0, 0}},
                {0, Bytes(12, 0)},
            }},
        EventsCase{
            "narrow_fields_keep_their_low_bits",
            Section("Event 01", "Type = 5\r\nFrequency = 8000\r\nTime = 70000\r\nLevel = 300\r\n"),
            0,
            // Time 70000 -> 4464 (0x1170) | Level 300 -> 44 (0x2C)
            {{5, {0x40, 0x1F, 0x00, 0x00, 0x70, 0x11, 0x2C, 0, 0, 0, 0, 0}}}},
        EventsCase{"names_without_the_leading_zero",
                   Section("Event 1", "Type = 3\r\nTime = 50\r\n") + Rests(2, 1) +
                       Section("Event 3", "Type = 3\r\nTime = 50\r\n"),
                   0,
                   {{3, kRest50}, {3, kRest50}, {3, kRest50}, {0, Bytes(12, 0)}}},
        EventsCase{"a_missing_section_ends_the_list",
                   Rests(1, 1) + Rests(3, 1),
                   0,
                   {{3, kRest50}, {0, Bytes(12, 0)}}},
        EventsCase{"type_0_ends_the_list",
                   Section("Event 01", "Type = 0\r\n") + Rests(2, 1),
                   0,
                   {{0, Bytes(12, 0)}}},
        EventsCase{"a_section_without_type_ends_the_list",
                   Section("Event 01", "Time = 50\r\n") + Rests(2, 1),
                   0,
                   {{0, Bytes(12, 0)}}},
        EventsCase{"an_unknown_type_is_kept_and_reading_goes_on",
                   Section("Event 01", "Type = 9\r\nTime = 50\r\n") + Rests(2, 1),
                   0,
                   {{9, Bytes(12, 0)}, {3, kRest50}, {0, Bytes(12, 0)}}},
        EventsCase{"of_two_sections_of_one_name_the_first_counts",
                   Rests(1, 1) + Section("Event 01", "Type = 3\r\nTime = 70\r\n"),
                   0,
                   {{3, kRest50}, {0, Bytes(12, 0)}}},
        EventsCase{"a_sweep_without_end_frequency_fails",
                   Rests(1, 1) + Section("Event 02",
                                         "Type = 2\r\nStart Frequency = 3000\r\nTime = 10\r\n"
                                         "Level = 0\r\n"),
                   -1,
                   {}},
        EventsCase{
            "a_value_beyond_32_bits_fails",
            Section("Event 01", "Type = 5\r\nFrequency = 4294967296\r\nTime = 1\r\nLevel = 0\r\n"),
            -1,
            {}},
        EventsCase{"a_negative_unsigned_value_fails",
                   Section("Event 01", "Type = 3\r\nTime = -5\r\n"),
                   -1,
                   {}},
        EventsCase{
            "a_level_that_is_no_number_fails",
            Section("Event 01", "Type = 5\r\nFrequency = 8000\r\nTime = 1\r\nLevel = 3dB\r\n"),
            -1,
            {}},
        EventsCase{"a_type_that_is_no_unsigned_number_fails",
                   Rests(1, 1) + Section("Event 02", "Type = -3\r\nTime = 50\r\n"),
                   -1,
                   {}}),
    [](const testing::TestParamInfo<EventsCase>& info) { return std::string(info.param.name); });

TEST(ReadConfigEventsLimit, FortyFiveSections_FortyRead) {
    IniDocument document;
    ASSERT_EQ(document.ReadFromText(Rests(1, 45)), 0);
    ConfigEventSlots slots;
    ASSERT_EQ(ReadConfigEvents(document, slots), 0);
    for (const EventRecord& slot : slots) {
        EXPECT_EQ(slot.type, 3);
    }
}

TEST(ReadConfigSetup, Sections_TaggedRecordOfTheValidKeysInTagOrder) {
    struct Case {
        std::string text;
        Bytes record;
    };
    const Case cases[] = {
        {Section("Setup",
                 "AUX Function = 4\r\nAUX Messages = 1\r\nMagnetic Switch = 1\r\n"
                 "Number of Plays = 3\r\nStart Time = -1\r\nTime Between Repeats = 600\r\n"),
         {0x15, 0x00, 0x06, 0x00,                            // format 21, six items
          0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x00,    // AUX Function 4
          0x01, 0x00, 0x04, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,    // Start Time -1
          0x02, 0x00, 0x04, 0x00, 0x03, 0x00, 0x00, 0x00,    // Number of Plays 3
          0x03, 0x00, 0x04, 0x00, 0x58, 0x02, 0x00, 0x00,    // Time Between Repeats 600
          0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,    // Magnetic Switch 1
          0x05, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00}},  // AUX Messages 1
        // Bad and missing keys are left out; a signed start time is taken.
        {Section("Setup",
                 "Number of Plays = x1\r\nStart Time = -5\r\nTime Between Repeats = -1\r\n"),
         {0x15, 0x00, 0x01, 0x00,                            // format 21, one item
          0x01, 0x00, 0x04, 0x00, 0xFB, 0xFF, 0xFF, 0xFF}},  // Start Time -5
        {Rests(1, 1), {0x15, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        IniDocument document;
        ASSERT_EQ(document.ReadFromText(c.text), 0);
        EXPECT_EQ(ReadConfigSetup(document), c.record) << c.text;
    }
}

TEST(ReadOldEventTable, Bytes_WholeRecordsUpToForty) {
    const Bytes three = {
        0x03, 0x00, 0x00, 0x00,  // Rest
        0x32, 0x00, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
        0xAA, 0xAA, 0xAA, 0x04, 0x00, 0x00, 0x00,  // Click
        0x50, 0xC3, 0x00, 0x00, 0xA6, 0xFF, 0x01, 0x00, 0xE8,
        0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x80,  // type 0x80000107, kept as it is
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05,  // a stray tail
    };
    const std::vector<EventRecord> records = ReadOldEventTable(three);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].type, 3);
    EXPECT_EQ(Bytes(records[0].body.begin(), records[0].body.end()),
              Bytes(three.begin() + 4, three.begin() + 16));
    EXPECT_EQ(records[1].type, 4);
    EXPECT_EQ(Bytes(records[1].body.begin(), records[1].body.end()),
              Bytes(three.begin() + 20, three.begin() + 32));
    EXPECT_EQ(records[2].type, static_cast<int32_t>(0x80000107u));

    EXPECT_EQ(ReadOldEventTable(Bytes(41 * 16, 0x03)).size(), 40u);
    EXPECT_TRUE(ReadOldEventTable(Bytes(15, 0x03)).empty());

    for (int first = 0; first < 256; ++first) {
        EXPECT_EQ(IsOldEventTableFile(static_cast<uint8_t>(first)), first <= 5) << first;
    }
}

}  // namespace
}  // namespace keelsong
