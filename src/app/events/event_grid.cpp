#include "app/events/event_grid.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "app/shell/program.h"

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

int InsertEventRow(Program& program, uint8_t row) {
    EventGridModel& grid = program.Grid();
    if (grid.RowCount() >= EventGridModel::kMaxRows) {
        program.GetUi().MessagePopup("Error", "Maximum number of events reached.");
        return -1;
    }
    if (!grid.InsertRows(row, 1)) {
        return -1;
    }
    grid.DeleteRingItems(col::kType, row);
    int item = 0;
    for (std::string& text : TypeRingItems(program)) {
        grid.InsertRingItem(col::kType, row, item++, std::move(text));
    }
    grid.SetText(col::kType, row, std::string(row_text::kNone));
    grid.SetDimmed(col::kType, row, false);
    grid.InsertRingItem(col::kUnit, row, 0, std::string(row_text::kSeconds));
    grid.InsertRingItem(col::kUnit, row, 1, std::string(row_text::kCycles));
    SetRowType(program, TypeCode(EventType::None), row);
    return 0;
}

std::vector<std::string> TypeRingItems(const Program& program) {
    std::vector<std::string> items;
    for (std::string_view text :
         {row_text::kNone, row_text::kTone, row_text::kSweep, row_text::kRest}) {
        items.emplace_back(text);
    }
    if (program.Unit().setup_format == kClickSetupFormat) {
        items.emplace_back(row_text::kClick);
    }
    return items;
}

void SetRowType(Program& program, int32_t type, int row) {
    EventGridModel& grid = program.Grid();
    const int device_type = program.Unit().device_type;
    // Only a unit that plays both kinds of tone lets the user choose how a tone is measured.
    const bool unit_choice = device_type != device_type::kOrvaneLf &&
                             device_type != device_type::kOrvaneHf && IsTone(type);
    grid.SetChoosable(col::kUnit, row, unit_choice);
    SetDurationUnit(program, type, row);
    grid.SetNumber(col::kDuration, row, 1.0);
    grid.SetNumber(col::kStartFrequency, row, 0);
    grid.SetNumber(col::kEndFrequency, row, kEndFrequencyDefault);
    grid.SetNumber(col::kLevel, row, 0);
    grid.SetNumber(col::kPhase, row, 0);
    SetRowDimming(program, type, row);
}

void SetDurationUnit(Program& program, int32_t type, int row) {
    EventGridModel& grid = program.Grid();
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

void SetRowDimming(Program& program, int32_t type, int row) {
    EventGridModel& grid = program.Grid();
    const bool none = type == TypeCode(EventType::None);
    grid.SetDimmed(col::kDuration, row, none);
    grid.SetDimmed(col::kUnit, row, none);
    grid.SetDimmed(col::kStartFrequency, row, !HasFrequency(type));
    grid.SetDimmed(col::kEndFrequency, row, type != TypeCode(EventType::Sweep));
    // The Orvane HF(R1) plays at a fixed level.
    grid.SetDimmed(col::kLevel, row,
                   !HasFrequency(type) || program.Unit().device_type == device_type::kOrvaneHfR1);
    grid.SetDimmed(col::kPhase, row, type != TypeCode(EventType::Click));
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

int32_t RowToEvent(Program& program, EventBody& body, int row) {
    const RowValues values = ReadRowValues(program.Grid(), row);
    const int device_type = program.Unit().device_type;
    const std::string_view unit_text =
        device_type == device_type::kOrvaneHfR1 ? std::string_view(values.unit_text) : "";
    const int32_t type = EventTypeOfRow(values.type_text, unit_text, device_type);
    FillEventBody(type, values, body);
    return type;
}

void EventToRow(Program& program, const EventBody& body, int32_t type, uint8_t row) {
    EventGridModel& grid = program.Grid();
    if (grid.RowCount() < row) {
        InsertEventRow(program, row);
    }
    const UnitContext& unit = program.Unit();
    const EventRowImage image = RowImageOfEvent(type, body, unit.device_type, unit.setup_format);
    SetRowType(program, image.row_type, row);
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

void EmptyEventGrid(Program& program) {
    program.Grid().DeleteAllRows();
}

}  // namespace keelsong
