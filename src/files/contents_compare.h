// What a unit holds against what a configuration file holds, difference by difference, as a
// user reads them: "row 3: Start Freq 5000 in the unit, 6000 in the file". Both sides are in
// wire units, so what sending would change anyway (seconds cut to tenths, a level cut to its
// byte) is equal already.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "files/config_file_read.h"

namespace keelsong {

struct ContentsDifference {
    std::string where;  // "row 3" or "Setup"
    std::string field;  // "Start Freq"; empty when the whole row stands on one side only
    std::string unit;   // the value in the unit; empty when the row is only in the file
    std::string file;   // the value in the file; empty when the row is only in the unit
    bool operator==(const ContentsDifference&) const = default;
};

// "row 3: Start Freq 5000 in the unit, 6000 in the file", "row 5: only in the file".
std::string DifferenceText(const ContentsDifference& difference);

// Every difference, rows first in row order, then the setup in the panel's order. Only the
// setup fields both give are compared: loading the file keeps the unit's value of any other,
// and a unit keeps only the fields of its setup form. An older table file has no setup, and its
// empty rows count as no event. Each field is compared at the width the unit keeps it.
std::vector<ContentsDifference> CompareContents(const ConfigFileContents& unit,
                                                const ConfigFileContents& file);

// The grid's columns a row is shown by, side by side: Type, Duration, Start Freq, End Freq,
// Level, Phase (empty where the event carries no such value).
inline constexpr size_t kComparedCells = 6;
inline constexpr std::array<std::string_view, kComparedCells> kComparedColumns = {
    "Type", "Duration", "Start Freq", "End Freq", "Level", "Phase"};
struct ComparedRow {
    int row = 0;
    std::array<std::string, kComparedCells> unit, file;
    std::array<bool, kComparedCells> differs{};
};

// What the unit and the file hold, row by row, and the setup fields that differ.
struct SideBySide {
    std::vector<ComparedRow> rows;
    std::vector<ContentsDifference> setup;
};
SideBySide CompareSideBySide(const ConfigFileContents& unit, const ConfigFileContents& file);

}  // namespace keelsong
