// The differences between a unit's contents and a file's, as the user reads them.
#include <gtest/gtest.h>

#include "files/contents_compare.h"
#include "protocol/frame.h"
#include "protocol/unit_setup.h"

namespace keelsong {
namespace {

EventRecord Sweep(uint32_t start, uint16_t tenths, int8_t level) {
    EventRecord event{TypeCode(EventType::Sweep), {}};
    WriteLe32(event.body.data() + event_body::kStartFrequency, start);
    WriteLe32(event.body.data() + event_body::kEndFrequency, 20000);
    WriteLe16(event.body.data() + event_body::kSweepTime, tenths);
    event.body[event_body::kSweepLevel] = static_cast<uint8_t>(level);
    return event;
}

EventRecord Rest(uint16_t tenths) {
    EventRecord event{TypeCode(EventType::Rest), {}};
    WriteLe16(event.body.data() + event_body::kRestTime, tenths);
    return event;
}

// A tagged setup record of the given (tag, value) items.
std::vector<uint8_t> SetupRecord(std::vector<std::pair<uint16_t, uint32_t>> items) {
    std::vector<uint8_t> record(4, 0);
    WriteLe16(record.data(), setup_format::kTagged);
    WriteLe16(record.data() + 2, static_cast<uint16_t>(items.size()));
    for (const auto& [tag, value] : items) {
        uint8_t item[8];
        WriteLe16(item, tag);
        WriteLe16(item + 2, 4);
        WriteLe32(item + 4, value);
        record.insert(record.end(), item, item + 8);
    }
    return record;
}

ConfigFileContents Contents(std::vector<EventRecord> events, std::vector<uint8_t> setup = {}) {
    ConfigFileContents contents;
    contents.events = std::move(events);
    contents.setup = std::move(setup);
    return contents;
}

TEST(ContentsCompareTest, UnitAgainstFile_NamesEachDifferenceAsTheUserReadsIt) {
    const ConfigFileContents unit = Contents(
        {Sweep(5000, 15, -6), Rest(100), Rest(20)},
        SetupRecord({{setup_tag::kNumberOfPlays, 3}, {setup_tag::kTimeBetweenRepeats, 300}}));
    struct Case {
        const char* name;
        ConfigFileContents file;
        std::vector<std::string> expected;
    };
    ConfigFileContents old_table = Contents({Sweep(5000, 15, -6), Rest(100), Rest(20)});
    old_table.kind = ConfigFileKind::OldEventTable;
    old_table.events.push_back({});  // an empty record after the last event
    const std::vector<Case> cases = {
        {"same", Contents(unit.events, unit.setup), {}},
        {"cells",
         Contents({Sweep(6000, 25, 7), Rest(100), Rest(20)}, unit.setup),
         {"row 1: Duration 1.5 in the unit, 2.5 in the file",
          "row 1: Start Freq 5000 in the unit, 6000 in the file",
          "row 1: Level -6 in the unit, 7 in the file"}},
        {"type",
         Contents({Sweep(5000, 15, -6), Sweep(1, 1, 1), Rest(20)}, unit.setup),
         {"row 2: Type Rest in the unit, Sweep in the file"}},
        {"rows on one side",
         Contents({Sweep(5000, 15, -6), Rest(100), Rest(20), Rest(5), Rest(6)}, unit.setup),
         {"row 4: only in the file", "row 5: only in the file"}},
        {"row only in unit",
         Contents({Sweep(5000, 15, -6), Rest(100)}, unit.setup),
         {"row 3: only in the unit"}},
        {"setup, and only the fields both give",
         Contents(unit.events, SetupRecord({{setup_tag::kNumberOfPlays, 7},
                                            {setup_tag::kTimeBetweenRepeats, 300},
                                            {setup_tag::kStartTime, 1'800'000'000}})),
         {"Setup: Number of Repeats 3 in the unit, 7 in the file"}},
        // The unit keeps 16 bits of the number of plays: 65539 arrives as 3.
        {"width kept",
         Contents(unit.events, SetupRecord({{setup_tag::kNumberOfPlays, 65539}})),
         {}},
        {"file without setup", Contents(unit.events, SetupRecord({})), {}},
        {"older table: no setup, empty records no rows", old_table, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        for (const ContentsDifference& difference : CompareContents(unit, c.file)) {
            texts.push_back(DifferenceText(difference));
        }
        EXPECT_EQ(texts, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace keelsong
