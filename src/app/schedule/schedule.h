#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/controls.h"
#include "platform/platform.h"

namespace keelsong {

class Program;

// What the unit will play, worked out from the grid's rows and the setup controls as they
// stand: where each event lies within one play of the table, how often the table is played
// and when. Working it out reads only what the program shows: it marks nothing changed and
// never talks to the unit.

// One event within one play of the table.
struct ScheduleSegment {
    int row = 0;       // the grid row it comes from, from 1
    int32_t type = 0;  // its EventType code, 1-5
    double start = 0;  // seconds from the start of the play
    double end = 0;
    // Hz. A tone and a click have one frequency (start = end), a sweep runs from start to end,
    // a rest has none.
    std::optional<double> start_frequency;
    std::optional<double> end_frequency;
};

struct Schedule {
    std::vector<ScheduleSegment> segments;  // in playing order; empty rows leave no segment
    double play_seconds = 0;                // one play of the table
    uint32_t plays = 0;                     // 0: repeated until stopped
    double rest_seconds = 0;                // between two plays
    // A counted run: all its plays and the rests between them. A continuous one: one play and
    // the rest after it, the time from the start of one play to the start of the next.
    double run_seconds = 0;
    // The delayed start and, for a counted run, when its last play ends (local time); only
    // when a start time is set on a unit that keeps one.
    std::optional<int64_t> start_utc;
    std::optional<CalendarTime> starts;
    std::optional<CalendarTime> ends;
    // The frequencies the connected unit type plays (the grid's frequency range), in Hz.
    double lowest_frequency = 0;
    double highest_frequency = 0;
};

Schedule ComputeSchedule(Program& program);
// Whether the schedule reads this MAIN control (the repeat and start-time controls).
bool AffectsSchedule(Control control);

// The segment of `row`, or nullptr when the row plays nothing.
const ScheduleSegment* SegmentOfRow(const Schedule& schedule, int row);

// A length of time in words: "30 s", "1 min 12.5 s", "2 h 5 min", "12.5 ms" below a tenth.
std::string DurationText(double seconds);
// "9 Dec. 2026 06:00", with the seconds ("06:07:02") when asked.
std::string DateTimeText(const CalendarTime& time, bool with_seconds);
// The totals in one line: "One play 1 min 12.5 s · 5 plays, 30 s apart: 8 min 2.5 s · starts
// 9 Dec. 2026 06:00, ends 06:08:02". Empty for an empty table.
std::string ScheduleTotalsText(const Schedule& schedule);
// What one segment plays, for a tooltip: "Row 3: Sweep 5000 to 20000 Hz, 1 s, at 2.5 s".
std::string SegmentText(const ScheduleSegment& segment);

}  // namespace keelsong
