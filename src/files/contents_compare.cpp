#include "files/contents_compare.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <optional>
#include <span>
#include <string_view>

#include "files/config_file.h"
#include "protocol/frame.h"
#include "protocol/unit_setup.h"
#include "protocol/utc_text.h"

namespace keelsong {

namespace {

enum class Shown { Number, Signed, Tenths };

// One cell of a row, named as the grid's column, and the body field behind it.
struct Cell {
    const char* name;
    size_t offset;
    size_t width;
    Shown shown;
};

struct TypeCells {
    std::array<Cell, 4> cells;
    size_t count;
    std::span<const Cell> All() const { return {cells.data(), count}; }
};

namespace body = event_body;

// In the grid's column order.
const TypeCells* CellsOf(int32_t type) {
    static const std::array<TypeCells, 5> kTable = {{
        {{{{"Duration", body::kToneDuration, 2, Shown::Number},
           {"Start Freq", body::kFrequency, 4, Shown::Number},
           {"Level", body::kToneLevel, 1, Shown::Signed}}},
         3},
        {{{{"Duration", body::kSweepTime, 2, Shown::Tenths},
           {"Start Freq", body::kStartFrequency, 4, Shown::Number},
           {"End Freq", body::kEndFrequency, 4, Shown::Number},
           {"Level", body::kSweepLevel, 1, Shown::Signed}}},
         4},
        {{{{"Duration", body::kRestTime, 2, Shown::Tenths}}}, 1},
        {{{{"Duration", body::kClickTime, 2, Shown::Tenths},
           {"Start Freq", body::kFrequency, 4, Shown::Number},
           {"Level", body::kClickLevel, 1, Shown::Signed},
           {"Phase", body::kClickPhase, 2, Shown::Signed}}},
         4},
        {{{{"Duration", body::kToneDuration, 2, Shown::Tenths},
           {"Start Freq", body::kFrequency, 4, Shown::Number},
           {"Level", body::kToneLevel, 1, Shown::Signed}}},
         3},
    }};
    return type >= 1 && type <= static_cast<int32_t>(kTable.size()) ? &kTable[type - 1] : nullptr;
}

std::string TypeText(int32_t type) {
    switch (type) {
        case 1:
            return "Tone in cycles";
        case 2:
            return "Sweep";
        case 3:
            return "Rest";
        case 4:
            return "Click";
        case 5:
            return "Tone in seconds";
        default:
            return "Type " + std::to_string(type);
    }
}

int64_t FieldValue(const EventBody& event, const Cell& cell) {
    const uint8_t* p = event.data() + cell.offset;
    const bool is_signed = cell.shown == Shown::Signed;
    switch (cell.width) {
        case 1:
            return is_signed ? int64_t{static_cast<int8_t>(p[0])} : int64_t{p[0]};
        case 2:
            return is_signed ? int64_t{static_cast<int16_t>(ReadLe16(p))} : int64_t{ReadLe16(p)};
        default:
            return int64_t{ReadLe32(p)};
    }
}

std::string TenthsText(uint64_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string CellText(int64_t value, Shown shown) {
    return shown == Shown::Tenths ? TenthsText(static_cast<uint64_t>(value))
                                  : std::to_string(value);
}

// Slot k holds event k+1; an older table's empty record is no event.
std::vector<EventRecord> Events(const ConfigFileContents& contents) {
    std::vector<EventRecord> events = contents.events;
    while (!events.empty() && events.back().type == TypeCode(EventType::None)) {
        events.pop_back();
    }
    return events;
}

// The setup fields a record carries, by tag, at the width the unit keeps.
struct KeptSetup {
    UnitSetup values;
    std::array<bool, setup_tag::kCount> given{};
};

KeptSetup KeptOf(const std::vector<uint8_t>& record) {
    KeptSetup kept;
    const std::optional<DecodedSetup> decoded = ParseSetupRecord(record);
    if (!decoded) {
        return kept;
    }
    for (const SetupField& field : decoded->fields) {
        if (field.tag < setup_tag::kCount) {
            RememberSetupField(kept.values, field.tag, field.value);
            kept.given[field.tag] = true;
        }
    }
    return kept;
}

std::string StartTimeText(int32_t start) {
    if (start <= 0) {
        return "none";
    }
    return FormatUtc(start, "%Y-%m-%d %H:%M:%S UTC", "an unknown time");
}

struct SetupRow {
    const char* name;
    std::string (*text)(const UnitSetup&);
};

// The panel's order and names.
constexpr std::array<std::pair<uint16_t, SetupRow>, setup_tag::kCount> kSetupRows = {{
    {setup_tag::kNumberOfPlays,
     {"Number of Repeats",
      [](const UnitSetup& s) {
          return s.number_of_plays == 0 ? std::string("Continuous Repeat")
                                        : std::to_string(s.number_of_plays);
      }}},
    {setup_tag::kTimeBetweenRepeats,
     {"Time Between Repeats",
      [](const UnitSetup& s) { return TenthsText(s.time_between_repeats) + " s"; }}},
    {setup_tag::kStartTime,
     {"Start Time", [](const UnitSetup& s) { return StartTimeText(s.start_time); }}},
    {setup_tag::kAuxFunction,
     {"Sync Mode", [](const UnitSetup& s) { return std::to_string(s.aux_function); }}},
    {setup_tag::kAuxMessages,
     {"Time in PPS", [](const UnitSetup& s) { return std::to_string(s.aux_messages); }}},
    {setup_tag::kMagneticSwitch,
     {"Magnetic Switch", [](const UnitSetup& s) { return std::to_string(s.magnetic_switch); }}},
}};

std::array<std::string, kComparedCells> RowCells(const std::vector<EventRecord>& events, size_t k) {
    std::array<std::string, kComparedCells> cells;
    if (k >= events.size() || events[k].type == TypeCode(EventType::None)) {
        return cells;
    }
    cells[0] = TypeText(events[k].type);
    if (const TypeCells* type = CellsOf(events[k].type)) {
        for (const Cell& cell : type->All()) {
            for (size_t column = 1; column < kComparedCells; ++column) {
                if (kComparedColumns[column] == cell.name) {
                    cells[column] = CellText(FieldValue(events[k].body, cell), cell.shown);
                }
            }
        }
    }
    return cells;
}

}  // namespace

SideBySide CompareSideBySide(const ConfigFileContents& unit, const ConfigFileContents& file) {
    SideBySide side;
    const std::vector<EventRecord> in_unit = Events(unit);
    const std::vector<EventRecord> in_file = Events(file);
    for (size_t k = 0; k < std::max(in_unit.size(), in_file.size()); ++k) {
        ComparedRow row;
        row.row = static_cast<int>(k + 1);
        row.unit = RowCells(in_unit, k);
        row.file = RowCells(in_file, k);
        for (size_t column = 0; column < kComparedCells; ++column) {
            row.differs[column] = row.unit[column] != row.file[column];
        }
        side.rows.push_back(row);
    }
    for (ContentsDifference& difference : CompareContents(unit, file)) {
        if (difference.where == kConfigSetupSection) {
            side.setup.push_back(std::move(difference));
        }
    }
    return side;
}

std::string DifferenceText(const ContentsDifference& difference) {
    std::string text = difference.where + ": ";
    if (difference.field.empty()) {
        return text + (difference.unit.empty() ? "only in the file" : "only in the unit");
    }
    return text + difference.field + " " + difference.unit + " in the unit, " + difference.file +
           " in the file";
}

std::vector<ContentsDifference> CompareContents(const ConfigFileContents& unit,
                                                const ConfigFileContents& file) {
    std::vector<ContentsDifference> differences;
    const std::vector<EventRecord> in_unit = Events(unit);
    const std::vector<EventRecord> in_file = Events(file);
    for (size_t k = 0; k < std::max(in_unit.size(), in_file.size()); ++k) {
        const std::string where = "row " + std::to_string(k + 1);
        const bool has_unit = k < in_unit.size() && in_unit[k].type != TypeCode(EventType::None);
        const bool has_file = k < in_file.size() && in_file[k].type != TypeCode(EventType::None);
        if (has_unit != has_file) {
            differences.push_back({where, "", has_unit ? "event" : "", has_file ? "event" : ""});
            continue;
        }
        if (!has_unit) {
            continue;
        }
        const EventRecord& a = in_unit[k];
        const EventRecord& b = in_file[k];
        if (a.type != b.type) {
            differences.push_back({where, "Type", TypeText(a.type), TypeText(b.type)});
            continue;
        }
        const TypeCells* cells = CellsOf(a.type);
        if (!cells) {
            continue;
        }
        for (const Cell& cell : cells->All()) {
            const int64_t u = FieldValue(a.body, cell);
            const int64_t f = FieldValue(b.body, cell);
            if (u != f) {
                differences.push_back(
                    {where, cell.name, CellText(u, cell.shown), CellText(f, cell.shown)});
            }
        }
    }
    if (file.kind == ConfigFileKind::OldEventTable) {
        return differences;
    }
    const KeptSetup unit_setup = KeptOf(unit.setup);
    const KeptSetup file_setup = KeptOf(file.setup);
    for (const auto& [tag, row] : kSetupRows) {
        if (!file_setup.given[tag] || !unit_setup.given[tag]) {
            continue;
        }
        const std::string u = row.text(unit_setup.values);
        const std::string f = row.text(file_setup.values);
        if (u != f) {
            differences.push_back({std::string(kConfigSetupSection), row.name, u, f});
        }
    }
    return differences;
}

}  // namespace keelsong
