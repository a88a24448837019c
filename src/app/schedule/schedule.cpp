#include "app/schedule/schedule.h"

#include <cmath>

#include "app/events/event_grid.h"
#include "app/setup/setup_panel.h"
#include "app/shell/text_format.h"
#include "app/state/program.h"
#include "protocol/event_record.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

constexpr double kTenthsPerSecond = 10.0;
// Sums of tenths that are not exact in binary must not lose a whole second when cut down.
constexpr double kSecondEpsilon = 1e-6;

// How long the event plays, from the body the unit is sent: a tone counted in cycles lasts
// its cycles at its frequency, everything else its time in tenths.
double EventSeconds(int32_t type, const EventRowImage& image) {
    const double duration = image.duration.value_or(0);
    if (type != TypeCode(EventType::ToneCycles)) {
        return duration;
    }
    const double frequency = image.start_frequency.value_or(0);
    return frequency > 0 ? duration / frequency : 0;
}

ScheduleSegment SegmentOf(int row, int32_t type, const EventRowImage& image, double start) {
    ScheduleSegment segment;
    segment.row = row;
    segment.type = type;
    segment.start = start;
    segment.end = start + EventSeconds(type, image);
    if (type != TypeCode(EventType::Rest) && image.start_frequency) {
        segment.start_frequency = *image.start_frequency;
        segment.end_frequency = image.end_frequency.value_or(*image.start_frequency);
    }
    return segment;
}

// The start time the unit will keep: only a unit of the tagged setup form has one.
std::optional<int64_t> StartUtc(Program& program) {
    if (program.Unit().setup_format != setup_format::kTagged) {
        return std::nullopt;
    }
    const auto start = static_cast<int32_t>(
        ReadSetupField(program, setup_tag::kStartTime).value_or(static_cast<uint32_t>(-1)));
    if (start <= 0) {
        return std::nullopt;
    }
    return start;
}

std::string_view TypeName(int32_t type) {
    switch (static_cast<EventType>(type)) {
        case EventType::ToneCycles:
        case EventType::ToneSeconds:
            return row_text::kTone;
        case EventType::Sweep:
            return row_text::kSweep;
        case EventType::Rest:
            return row_text::kRest;
        case EventType::Click:
            return row_text::kClick;
        case EventType::None:
            break;
    }
    return row_text::kNone;
}

constexpr const char* kMonthNames[] = {"Jan.", "Feb.", "Mar.", "Apr.", "May",  "June",
                                       "July", "Aug.", "Sep.", "Oct.", "Nov.", "Dec."};

std::string FrequencyText(double hz) {
    return FormatText("%.0f", hz);
}

}  // namespace

Schedule ComputeSchedule(Program& program) {
    Schedule schedule;
    const UnitContext unit = program.Unit();
    const EventGridModel& grid = program.Grid();
    double at = 0;
    for (int row = 1; row <= grid.RowCount(); ++row) {
        EventBody body{};
        const int32_t type = RowToEvent(program, body, row);
        const EventRowImage image =
            RowImageOfEvent(type, body, unit.device_type, unit.setup_format);
        if (image.row_type < TypeCode(EventType::ToneCycles) ||
            image.row_type > TypeCode(EventType::ToneSeconds)) {
            continue;  // an empty row, or an event this unit cannot hold: nothing plays
        }
        schedule.segments.push_back(SegmentOf(row, image.row_type, image, at));
        at = schedule.segments.back().end;
    }
    schedule.play_seconds = at;

    schedule.plays = ReadSetupField(program, setup_tag::kNumberOfPlays).value_or(0);
    // As the unit gets it, in whole tenths, without what some units add for the last event.
    const double rest = program.GetUi().DoubleValue(Panel::MAIN, Control::REST_TIME);
    schedule.rest_seconds = RestSecondsToTenths(rest, 0) / kTenthsPerSecond;
    if (schedule.plays == 0) {
        schedule.run_seconds = schedule.play_seconds + schedule.rest_seconds;
    } else {
        schedule.run_seconds =
            schedule.plays * schedule.play_seconds + (schedule.plays - 1) * schedule.rest_seconds;
    }

    if (const GridCell* frequencies = grid.ColumnDefault(grid_column::kStartFrequency)) {
        schedule.lowest_frequency = frequencies->minimum;
        schedule.highest_frequency = frequencies->maximum;
    }

    schedule.start_utc = StartUtc(program);
    if (schedule.start_utc) {
        const Platform& platform = program.GetPlatform();
        schedule.starts = platform.ToLocal(*schedule.start_utc);
        if (schedule.plays > 0) {
            const auto end = static_cast<int64_t>(std::floor(
                static_cast<double>(*schedule.start_utc) + schedule.run_seconds + kSecondEpsilon));
            schedule.ends = platform.ToLocal(end);
        }
    }
    return schedule;
}

bool AffectsSchedule(Control control) {
    switch (control) {
        case Control::CONTINUOUS:
        case Control::PLAYBACKS:
        case Control::REST_TIME:
        case Control::ENABLE_START_TIME:
        case Control::YEAR:
        case Control::MONTH:
        case Control::DAY:
        case Control::HOUR:
        case Control::MIN:
            return true;
        default:
            return false;
    }
}

const ScheduleSegment* SegmentOfRow(const Schedule& schedule, int row) {
    for (const ScheduleSegment& segment : schedule.segments) {
        if (segment.row == row) {
            return &segment;
        }
    }
    return nullptr;
}

std::string DurationText(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) {
        return "0 s";
    }
    if (seconds < 0.1 - 0.05 / kTenthsPerSecond) {
        // A few cycles of a high tone: tenths would show nothing at all.
        return FormatText("%.3g ms", seconds * 1000.0);
    }
    auto tenths = static_cast<int64_t>(std::llround(seconds * kTenthsPerSecond));
    constexpr int64_t kMinute = 600;
    constexpr int64_t kHour = 60 * kMinute;
    constexpr int64_t kDay = 24 * kHour;
    std::string text;
    const auto part = [&](int64_t size, const char* unit) {
        if (tenths >= size) {
            text += FormatText("%s%lld %s", text.empty() ? "" : " ",
                               static_cast<long long>(tenths / size), unit);
            tenths %= size;
        }
    };
    part(kDay, "d");
    part(kHour, "h");
    part(kMinute, "min");
    if (tenths > 0 || text.empty()) {
        const long long whole = tenths / 10;
        const long long tenth = tenths % 10;
        text += (text.empty() ? "" : " ") + (tenth == 0 ? FormatText("%lld s", whole)
                                                        : FormatText("%lld.%lld s", whole, tenth));
    }
    return text;
}

std::string DateTimeText(const CalendarTime& time, bool with_seconds) {
    const char* month = time.month >= 1 && time.month <= 12 ? kMonthNames[time.month - 1] : "?";
    std::string text =
        FormatText("%d %s %d %02d:%02d", time.day, month, time.year, time.hour, time.minute);
    if (with_seconds) {
        text += FormatText(":%02d", time.second);
    }
    return text;
}

std::string ScheduleTotalsText(const Schedule& schedule) {
    if (schedule.segments.empty()) {
        return {};
    }
    const std::string apart = schedule.rest_seconds > 0
                                  ? DurationText(schedule.rest_seconds) + " apart"
                                  : std::string("back to back");
    std::string text = "One play " + DurationText(schedule.play_seconds);
    if (schedule.plays == 0) {
        text +=
            " \u00B7 continuous, " + apart + ": a play every " + DurationText(schedule.run_seconds);
    } else if (schedule.plays == 1) {
        text += " \u00B7 played once";
    } else {
        text += FormatText(" \u00B7 %u plays, ", schedule.plays) + apart + ": " +
                DurationText(schedule.run_seconds);
    }
    if (schedule.starts) {
        text += " \u00B7 starts " + DateTimeText(*schedule.starts, false);
        if (schedule.ends) {
            const bool same_day = schedule.ends->year == schedule.starts->year &&
                                  schedule.ends->month == schedule.starts->month &&
                                  schedule.ends->day == schedule.starts->day;
            text += ", ends " + (same_day ? FormatText("%02d:%02d:%02d", schedule.ends->hour,
                                                       schedule.ends->minute, schedule.ends->second)
                                          : DateTimeText(*schedule.ends, true));
        }
    }
    return text;
}

std::string SegmentText(const ScheduleSegment& segment) {
    std::string text =
        FormatText("Row %d: %s", segment.row, std::string(TypeName(segment.type)).c_str());
    if (segment.start_frequency) {
        text += " " + FrequencyText(*segment.start_frequency);
        if (segment.end_frequency && *segment.end_frequency != *segment.start_frequency) {
            text += " to " + FrequencyText(*segment.end_frequency);
        }
        text += " Hz";
    }
    text +=
        ", " + DurationText(segment.end - segment.start) + ", at " + DurationText(segment.start);
    return text;
}

}  // namespace keelsong
