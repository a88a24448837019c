// The schedule worked out from the grid and the setup controls: each event type on each unit
// type, cycle-counted tones, counted and continuous runs with their start and end, a table of
// 40 rows with an empty one among them.
#include <gtest/gtest.h>

#include <optional>

#include "app/files/config_file_fixture.h"
#include "app/schedule/schedule.h"
#include "platform/posix_platform.h"

namespace keelsong {
namespace {

using testing::ConfigFileFixture;
using testing::RowValues;
using testing::ScopedTimeZone;
using testing::UnitDescription;

constexpr UnitDescription kLf{device_type::kOrvaneLf, 0x010103};
constexpr UnitDescription kHf{device_type::kOrvaneHf, 0x020104};
constexpr UnitDescription kHfR1{device_type::kOrvaneHfR1, 0x020104};
constexpr int64_t k9Dec2026At0600Utc = 1796796000;

class ScheduleTest : public ConfigFileFixture {
  protected:
    void Repeat(uint32_t plays, uint32_t rest_tenths) {
        ShowSetupField(program, setup_tag::kNumberOfPlays, plays);
        ShowSetupField(program, setup_tag::kTimeBetweenRepeats, rest_tenths);
    }
};

// ---- One row on each unit type ----

struct RowCase {
    const char* name;
    std::optional<UnitDescription> unit;  // nullopt: no unit identified yet
    RowValues row;
    int32_t type;  // the segment's type; 0 when the row plays nothing
    double seconds = 0;
    std::optional<double> start_frequency = std::nullopt;
    std::optional<double> end_frequency = std::nullopt;
    friend void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }
};

class RowScheduleTest : public ScheduleTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(RowScheduleTest, OneRow_SegmentAsTheUnitPlaysIt) {
    const RowCase& c = GetParam();
    if (c.unit) {
        Identify(*c.unit);
    }
    FillGrid({c.row});
    const Schedule schedule = ComputeSchedule(program);
    if (c.type == 0) {
        EXPECT_TRUE(schedule.segments.empty());
        EXPECT_EQ(schedule.play_seconds, 0);
        return;
    }
    ASSERT_EQ(schedule.segments.size(), 1u);
    const ScheduleSegment& segment = schedule.segments[0];
    EXPECT_EQ(segment.row, 1);
    EXPECT_EQ(segment.type, c.type);
    EXPECT_EQ(segment.start, 0);
    EXPECT_DOUBLE_EQ(segment.end, c.seconds);
    EXPECT_DOUBLE_EQ(schedule.play_seconds, c.seconds);
    EXPECT_EQ(segment.start_frequency, c.start_frequency);
    EXPECT_EQ(segment.end_frequency, c.end_frequency);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowScheduleTest,
    ::testing::Values(
        // Orvane LF: tones are counted in cycles and last cycles / frequency.
        RowCase{"lf_tone_1000_cycles_at_400_hz", kLf, {"Tone", 1, 1000, 400}, 1, 2.5, 400, 400},
        RowCase{"lf_sweep", kLf, {"Sweep", 2, 2.0, 100, 4000}, 2, 2.0, 100, 4000},
        RowCase{"lf_rest", kLf, {"Rest", 3, 0.5}, 3, 0.5},
        RowCase{"lf_click_it_cannot_hold", kLf, {"Click", 4, 0.1, 1000}, 0},
        // Orvane HF: tones in tenths; a duration is played as it is sent (1.25 s as 1.2 s).
        RowCase{"hf_tone", kHf, {"Tone", 5, 2.5, 12000}, 5, 2.5, 12000, 12000},
        RowCase{"hf_sweep", kHf, {"Sweep", 2, 1.0, 5000, 20000}, 2, 1.0, 5000, 20000},
        RowCase{"hf_rest_sent_in_tenths", kHf, {"Rest", 3, 1.25}, 3, 1.2},
        RowCase{"hf_click", kHf, {"Click", 4, 0.1, 10000, 0, -3, -90}, 4, 0.1, 10000, 10000},
        // Orvane HF(R1): the Unit cell decides.
        RowCase{
            "hfr1_tone_300_cycles_at_3000_hz", kHfR1, {"Tone", 1, 300, 3000}, 1, 0.1, 3000, 3000},
        RowCase{"hfr1_tone_seconds", kHfR1, {"Tone", 5, 1.5, 50000}, 5, 1.5, 50000, 50000},
        RowCase{"hfr1_sweep_down", kHfR1, {"Sweep", 2, 3.0, 80000, 4000}, 2, 3.0, 80000, 4000},
        RowCase{"hfr1_rest", kHfR1, {"Rest", 3, 6553.5}, 3, 6553.5},
        RowCase{"hfr1_click_it_cannot_hold", kHfR1, {"Click", 4, 0.1, 10000}, 0},
        // No unit yet: a tone is no event, everything else plays.
        RowCase{"no_unit_tone", std::nullopt, {"Tone", 5, 1.0, 1000}, 0},
        RowCase{"no_unit_sweep", std::nullopt, {"Sweep", 2, 1.0, 100, 1000}, 2, 1.0, 100, 1000},
        RowCase{"no_unit_rest", std::nullopt, {"Rest", 3, 2.0}, 3, 2.0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Totals ----

struct TotalsCase {
    const char* name;
    UnitDescription unit;
    uint32_t plays;
    uint32_t rest_tenths;
    std::optional<int64_t> start;  // ticked "Enable:" with this time
    double run_seconds;
    std::string text;
    friend void PrintTo(const TotalsCase& c, std::ostream* os) { *os << c.name; }
};

class TotalsTest : public ScheduleTest, public ::testing::WithParamInterface<TotalsCase> {};

TEST_P(TotalsTest, PlayOf72AndAHalfSeconds_RunAndLineOfTotals) {
    const TotalsCase& c = GetParam();
    Identify(c.unit);
    if (c.unit.device_type == device_type::kOrvaneLf) {
        FillGrid({{"Tone", 1, 1000, 400}, {"Sweep", 2, 70.0, 100, 8000}});
    } else {
        FillGrid({{"Tone", 5, 2.5, 12000}, {"Sweep", 2, 70.0, 5000, 20000}});
    }
    Repeat(c.plays, c.rest_tenths);
    if (c.start) {
        ShowStartTime(program, static_cast<int32_t>(*c.start));
    }
    const Schedule schedule = ComputeSchedule(program);
    EXPECT_DOUBLE_EQ(schedule.play_seconds, 72.5);
    EXPECT_DOUBLE_EQ(schedule.run_seconds, c.run_seconds);
    EXPECT_EQ(ScheduleTotalsText(schedule), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TotalsTest,
    ::testing::Values(
        TotalsCase{"five_plays_with_a_start", kHf, 5, 300, k9Dec2026At0600Utc, 5 * 72.5 + 4 * 30,
                   "One play 1 min 12.5 s \u00B7 5 plays, 30 s apart: 8 min 2.5 s \u00B7 starts 9 "
                   "Dec. 2026 06:00, ends 06:08:02"},
        TotalsCase{"continuous_with_a_start_has_no_end", kHf, 0, 300, k9Dec2026At0600Utc, 72.5 + 30,
                   "One play 1 min 12.5 s \u00B7 continuous, 30 s apart: a play every 1 min 42.5 s "
                   "\u00B7 starts 9 Dec. 2026 06:00"},
        TotalsCase{"once_past_midnight", kHf, 1, 300, k9Dec2026At0600Utc + 17 * 3600 + 59 * 60,
                   72.5,
                   "One play 1 min 12.5 s \u00B7 played once \u00B7 starts 9 Dec. 2026 23:59, ends "
                   "10 Dec. 2026 00:00:12"},
        // A unit of the short setup form keeps no start time, whatever the controls hold.
        TotalsCase{"lf_back_to_back_start_ignored", kLf, 3, 0, k9Dec2026At0600Utc, 3 * 72.5,
                   "One play 1 min 12.5 s \u00B7 3 plays, back to back: 3 min 37.5 s"},
        TotalsCase{"thirty_five_days_apart", kHf, 2, 30240000, std::nullopt, 2 * 72.5 + 3024000,
                   "One play 1 min 12.5 s \u00B7 2 plays, 35 d apart: 35 d 2 min 25 s"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScheduleTest, FortyRowsWithAnEmptyOne_PlayedBackToBackWithoutIt) {
    Identify(kHf);
    std::vector<RowValues> rows;
    const RowValues kinds[] = {{"Tone", 5, 0.5, 4000},
                               {"Sweep", 2, 0.5, 4000, 90000},
                               {"Rest", 3, 0.5},
                               {"Click", 4, 0.5, 60000}};
    for (int row = 1; row <= 40; ++row) {
        rows.push_back(row == 20 ? RowValues{"None", 0} : kinds[(row - 1) % 4]);
    }
    FillGrid(rows);
    const Schedule schedule = ComputeSchedule(program);
    ASSERT_EQ(schedule.segments.size(), 39u);
    double at = 0;
    for (size_t k = 0; k < schedule.segments.size(); ++k) {
        const ScheduleSegment& segment = schedule.segments[k];
        EXPECT_EQ(segment.row, static_cast<int>(k < 19 ? k + 1 : k + 2));
        EXPECT_DOUBLE_EQ(segment.start, at);
        at = segment.end;
    }
    EXPECT_EQ(SegmentOfRow(schedule, 20), nullptr);
    EXPECT_NEAR(schedule.play_seconds, 19.5, 1e-9);
    EXPECT_EQ(schedule.lowest_frequency, 3000);
    EXPECT_EQ(schedule.highest_frequency, 200000);
    EXPECT_EQ(SegmentText(*SegmentOfRow(schedule, 2)),
              "Row 2: Sweep 4000 to 90000 Hz, 0.5 s, at 0.5 s");
}

TEST_F(ScheduleTest, CountedRunAcrossTheSpringChange_EndsInSummerTime) {
    // Central European time: 02:00 on 29 March 2026 becomes 03:00.
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    PosixPlatform posix;
    Program local_program{ui, port, posix};
    local_program.SetUnit({device_type::kOrvaneHf, 0x020104, setup_format::kTagged});
    ASSERT_EQ(InsertEventRow(local_program, 1), 0);
    local_program.Grid().SetText(grid_column::kType, 1, "Rest");
    SetRowType(local_program, TypeCode(EventType::Rest), 1);
    local_program.Grid().SetNumber(grid_column::kDuration, 1, 3600);
    ShowSetupField(local_program, setup_tag::kNumberOfPlays, 2);
    ShowSetupField(local_program, setup_tag::kTimeBetweenRepeats, 0);
    ShowStartTime(local_program, 1774744200);  // 01:30 CET, 00:30 UTC

    const Schedule schedule = ComputeSchedule(local_program);
    ASSERT_TRUE(schedule.starts && schedule.ends);
    EXPECT_EQ(*schedule.starts, (CalendarTime{2026, 3, 29, 1, 30, 0}));
    // Two hours later by the clock on the wall is three.
    EXPECT_EQ(*schedule.ends, (CalendarTime{2026, 3, 29, 4, 30, 0}));
    EXPECT_EQ(ScheduleTotalsText(schedule),
              "One play 1 h \u00B7 2 plays, back to back: 2 h \u00B7 starts 29 Mar. 2026 01:30, "
              "ends 04:30:00");
}

}  // namespace
}  // namespace keelsong
