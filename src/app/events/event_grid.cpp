#include "app/events/event_grid.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "app/events/unit_limits.h"
#include "app/state/program.h"
#include "files/config_file.h"

namespace keelsong {

namespace {

namespace col = grid_column;

constexpr double kCyclesMinimum = 1;
constexpr double kCyclesMaximum = 65535;  // what the 16-bit field holds
constexpr double kSecondsMinimum = 0.1;
constexpr double kSecondsMaximum = 6553.5;
// Written into End Freq so that the cell settles on its column's maximum.
constexpr double kEndFrequencyDefault = 2147483647;

bool IsTone(int32_t type) {
    return type == TypeCode(EventType::ToneCycles) || type == TypeCode(EventType::ToneSeconds);
}

bool HasFrequency(int32_t type) {
    return IsTone(type) || type == TypeCode(EventType::Sweep) || type == TypeCode(EventType::Click);
}

// Cells hold whole numbers inside their ranges; these guard the casts all the same.
uint32_t AsU32(double value) {
    return static_cast<uint32_t>(std::clamp(std::round(value), 0.0, 4294967295.0));
}

int64_t AsInteger(double value) {
    return static_cast<int64_t>(std::clamp(std::round(value), -2147483648.0, 2147483647.0));
}

}  // namespace

namespace {

// The rows' rules over any grid, so that a whole table can be built aside and swapped in.

std::vector<std::string> TypeRingItemsFor(const UnitContext& unit) {
    std::vector<std::string> items;
    for (std::string_view text :
         {row_text::kNone, row_text::kTone, row_text::kSweep, row_text::kRest}) {
        items.emplace_back(text);
    }
    if (unit.setup_format == kClickSetupFormat) {
        items.emplace_back(row_text::kClick);
    }
    return items;
}

void SetDurationUnitIn(EventGridModel& grid, int32_t type, int row) {
    if (type == TypeCode(EventType::ToneCycles)) {
        // The range first, so that the value is not cut to the seconds' maximum on the way.
        grid.SetRange(col::kDuration, row, kCyclesMinimum, kCyclesMaximum);
        grid.SetKind(col::kDuration, row, CellKind::Integer);
        grid.SetText(col::kUnit, row, std::string(row_text::kCycles));
    } else {
        grid.SetKind(col::kDuration, row, CellKind::Real);
        grid.SetRange(col::kDuration, row, kSecondsMinimum, kSecondsMaximum);
        grid.SetDecimals(col::kDuration, row, 1);
        grid.SetText(col::kUnit, row, std::string(row_text::kSeconds));
    }
}

void SetRowDimmingIn(EventGridModel& grid, const UnitContext& unit, int32_t type, int row) {
    const bool none = type == TypeCode(EventType::None);
    grid.SetDimmed(col::kDuration, row, none);
    grid.SetDimmed(col::kUnit, row, none);
    grid.SetDimmed(col::kStartFrequency, row, !HasFrequency(type));
    grid.SetDimmed(col::kEndFrequency, row, type != TypeCode(EventType::Sweep));
    // The Orvane HF(R1) plays at a fixed level.
    grid.SetDimmed(col::kLevel, row,
                   !HasFrequency(type) || unit.device_type == device_type::kOrvaneHfR1);
    grid.SetDimmed(col::kPhase, row, type != TypeCode(EventType::Click));
}

void SetRowTypeIn(EventGridModel& grid, const UnitContext& unit, int32_t type, int row) {
    // Only a unit that plays both kinds of tone lets the user choose how a tone is measured.
    const bool unit_choice = unit.device_type != device_type::kOrvaneLf &&
                             unit.device_type != device_type::kOrvaneHf && IsTone(type);
    grid.SetChoosable(col::kUnit, row, unit_choice);
    SetDurationUnitIn(grid, type, row);
    grid.SetNumber(col::kDuration, row, 1.0);
    grid.SetNumber(col::kStartFrequency, row, 0);
    grid.SetNumber(col::kEndFrequency, row, kEndFrequencyDefault);
    grid.SetNumber(col::kLevel, row, 0);
    grid.SetNumber(col::kPhase, row, 0);
    SetRowDimmingIn(grid, unit, type, row);
}

// False when the grid is full or `row` lies outside it.
bool InsertRowIn(EventGridModel& grid, const UnitContext& unit, int row) {
    if (!grid.InsertRows(row, 1)) {
        return false;
    }
    grid.DeleteRingItems(col::kType, row);
    int item = 0;
    for (std::string& text : TypeRingItemsFor(unit)) {
        grid.InsertRingItem(col::kType, row, item++, std::move(text));
    }
    grid.SetText(col::kType, row, std::string(row_text::kNone));
    grid.SetDimmed(col::kType, row, false);
    grid.InsertRingItem(col::kUnit, row, 0, std::string(row_text::kSeconds));
    grid.InsertRingItem(col::kUnit, row, 1, std::string(row_text::kCycles));
    SetRowTypeIn(grid, unit, TypeCode(EventType::None), row);
    return true;
}

// Shows the event in a row that exists (and changes nothing when it does not).
void ShowEventIn(EventGridModel& grid, const UnitContext& unit, const EventBody& body, int32_t type,
                 int row) {
    const EventRowImage image = RowImageOfEvent(type, body, unit.device_type, unit.setup_format);
    SetRowTypeIn(grid, unit, image.row_type, row);
    grid.SetText(col::kType, row, image.type_text);
    if (image.duration) {
        grid.SetNumber(col::kDuration, row, *image.duration);
    }
    if (image.start_frequency) {
        grid.SetNumber(col::kStartFrequency, row, *image.start_frequency);
    }
    if (image.end_frequency) {
        grid.SetNumber(col::kEndFrequency, row, *image.end_frequency);
    }
    if (image.level) {
        grid.SetNumber(col::kLevel, row, *image.level);
    }
    if (image.phase) {
        grid.SetNumber(col::kPhase, row, *image.phase);
    }
}

}  // namespace

int InsertEventRow(Program& program, uint8_t row) {
    EventGridModel& grid = program.Grid();
    if (grid.RowCount() >= EventGridModel::kMaxRows) {
        program.Status().ShowMessagePopup("Error", "Maximum number of events reached.");
        return -1;
    }
    return InsertRowIn(grid, program.Unit(), row) ? 0 : -1;
}

std::vector<std::string> TypeRingItems(const Program& program) {
    return TypeRingItemsFor(program.Unit());
}

void SetRowType(Program& program, int32_t type, int row) {
    SetRowTypeIn(program.Grid(), program.Unit(), type, row);
}

void SetDurationUnit(Program& program, int32_t type, int row) {
    SetDurationUnitIn(program.Grid(), type, row);
}

void SetRowDimming(Program& program, int32_t type, int row) {
    SetRowDimmingIn(program.Grid(), program.Unit(), type, row);
}

RowValues ReadRowValues(const EventGridModel& grid, int row) {
    RowValues values;
    values.type_text = grid.Text(col::kType, row);
    values.unit_text = grid.Text(col::kUnit, row);
    values.duration = grid.Number(col::kDuration, row);
    values.start_frequency = AsU32(grid.Number(col::kStartFrequency, row));
    values.end_frequency = AsU32(grid.Number(col::kEndFrequency, row));
    // Only the low bits reach the narrow fields, whatever the cell holds.
    values.level = static_cast<int8_t>(AsInteger(grid.Number(col::kLevel, row)));
    values.phase = static_cast<int16_t>(AsInteger(grid.Number(col::kPhase, row)));
    return values;
}

namespace {

// The event type a row's values stand for on a unit of `device_type`: only an Orvane HF(R1)
// has tones of both kinds, told apart by the Unit column.
int32_t RowTypeOn(const RowValues& values, int device_type) {
    const std::string_view unit_text =
        device_type == device_type::kOrvaneHfR1 ? std::string_view(values.unit_text) : "";
    return EventTypeOfRow(values.type_text, unit_text, device_type);
}

}  // namespace

int32_t RowToEvent(Program& program, EventBody& body, int row) {
    const RowValues values = ReadRowValues(program.Grid(), row);
    const int32_t type = RowTypeOn(values, program.Unit().device_type);
    FillEventBody(type, values, body);
    return type;
}

void EventToRow(Program& program, const EventBody& body, int32_t type, uint8_t row) {
    if (program.Grid().RowCount() < row) {
        InsertEventRow(program, row);
    }
    ShowEventIn(program.Grid(), program.Unit(), body, type, row);
}

void ReplaceGridEvents(Program& program, std::span<const EventRecord> events) {
    EventGridModel built;
    built.AdoptColumnDefaults(program.Grid());
    const size_t count = std::min<size_t>(events.size(), EventGridModel::kMaxRows);
    for (size_t k = 0; k < count; ++k) {
        const int row = static_cast<int>(k + 1);
        InsertRowIn(built, program.Unit(), row);
        ShowEventIn(built, program.Unit(), events[k].body, events[k].type, row);
    }
    program.Grid().TakeRowsOf(built);
}

std::vector<int> RowsNotHeldBy(Program& program, const UnitContext& unit,
                               std::span<const EventRecord> events) {
    EventGridModel trial;
    trial.AdoptColumnDefaults(program.Grid());
    const UnitLimits* limits = LimitsFor(unit);
    ApplyGridLimits(trial, limits ? *limits : AnyUnitLimits());
    std::vector<int> rows;
    const size_t count = std::min<size_t>(events.size(), EventGridModel::kMaxRows);
    for (size_t k = 0; k < count; ++k) {
        const int row = static_cast<int>(k + 1);
        InsertRowIn(trial, unit, row);
        ShowEventIn(trial, unit, events[k].body, events[k].type, row);
        const RowValues values = ReadRowValues(trial, row);
        EventRecord shown{};
        shown.type = RowTypeOn(values, unit.device_type);
        FillEventBody(shown.type, values, shown.body);
        if (shown.type != events[k].type || DifferingEventItem(events[k], shown)) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<int> RowsNotAsMadeFor(Program& program, int made_for) {
    const EventGridModel& grid = program.Grid();
    const int device_type = program.Unit().device_type;
    std::vector<int> rows;
    for (int row = 1; row <= grid.RowCount(); ++row) {
        const RowValues values = ReadRowValues(grid, row);
        const int32_t type = RowTypeOn(values, device_type);
        const bool unsendable =
            type == TypeCode(EventType::None) && grid.Text(col::kType, row) != row_text::kNone;
        if (unsendable || type != RowTypeOn(values, made_for)) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::optional<int> FirstUnsendableRow(Program& program) {
    const std::vector<int> rows = RowsNotAsMadeFor(program, program.Unit().device_type);
    return rows.empty() ? std::nullopt : std::optional<int>(rows.front());
}

void EmptyEventGrid(Program& program) {
    program.Grid().DeleteAllRows();
}

}  // namespace keelsong
