#include "app/events/table_paste.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <variant>
#include <vector>

#include "app/events/event_grid.h"
#include "app/events/table_editing.h"
#include "app/shell/change_marks.h"
#include "app/shell/edit_history.h"
#include "app/shell/program.h"
#include "app/shell/text_format.h"

namespace keelsong {

namespace {

namespace col = grid_column;

constexpr char kFieldSeparator = '\t';
constexpr int kNumericColumns[] = {col::kDuration, col::kStartFrequency, col::kEndFrequency,
                                   col::kLevel, col::kPhase};

// One line, read and checked.
struct PastedRow {
    std::string type;
    std::optional<std::string> unit;
    std::array<std::optional<double>, col::kCount + 1> numbers;  // by column number
};

struct LineError {
    std::string why;
};

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The item the text names, spelled as the ring spells it; spreadsheets like to change case.
std::optional<std::string> ItemNamed(const std::vector<std::string>& items, std::string_view text) {
    for (const std::string& item : items) {
        if (SameLetters(item, text)) {
            return item;
        }
    }
    return std::nullopt;
}

// A plain decimal number: a comma is refused rather than guessed at, since "1,500" may mean
// one and a half or fifteen hundred.
std::optional<double> NumberOf(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::variant<PastedRow, LineError> ReadLine(const EventGridModel& grid, std::string_view line,
                                            const std::vector<std::string>& type_items) {
    std::vector<std::string_view> fields = Split(line, kFieldSeparator);
    for (std::string_view& field : fields) {
        field = Trimmed(field);
    }
    while (fields.size() > static_cast<size_t>(col::kCount) && fields.back().empty()) {
        fields.pop_back();
    }
    if (fields.size() > static_cast<size_t>(col::kCount)) {
        return LineError{FormatText("more than %d columns", col::kCount)};
    }
    fields.resize(col::kCount);
    PastedRow row;
    const std::string_view type_text = fields[col::kType - 1];
    const std::optional<std::string> type = ItemNamed(type_items, type_text);
    if (!type) {
        return LineError{type_text.empty()
                             ? std::string("no type")
                             : FormatText("unknown type \"%.*s\"",
                                          static_cast<int>(type_text.size()), type_text.data())};
    }
    row.type = *type;
    if (const std::string_view unit_text = fields[col::kUnit - 1]; !unit_text.empty()) {
        row.unit =
            ItemNamed({std::string(row_text::kSeconds), std::string(row_text::kCycles)}, unit_text);
        if (!row.unit) {
            return LineError{FormatText("unknown unit \"%.*s\"", static_cast<int>(unit_text.size()),
                                        unit_text.data())};
        }
    }
    for (int column : kNumericColumns) {
        const std::string_view text = fields[static_cast<size_t>(column - 1)];
        if (text.empty()) {
            continue;
        }
        row.numbers[static_cast<size_t>(column)] = NumberOf(text);
        if (!row.numbers[static_cast<size_t>(column)]) {
            return LineError{FormatText("%s \"%.*s\" is not a number",
                                        ColumnName(grid, column).c_str(),
                                        static_cast<int>(text.size()), text.data())};
        }
    }
    return row;
}

// A number as precise as the cell shows it, which is all a user can type into it: what the grid
// shows is then what it holds and what is sent.
double ShownPrecision(const GridCell& cell, double value) {
    if (cell.kind != CellKind::Real) {
        return value;
    }
    const double scale = std::pow(10.0, cell.decimals);
    const double rounded = std::round(value * scale) / scale;
    return std::isfinite(rounded) ? rounded : value;
}

// Sets the row as the user would, cell by cell, with the grid's reaction to each edit. Returns
// how many values were brought into their range.
int ApplyRow(Program& program, int row, const PastedRow& pasted) {
    EventGridModel& grid = program.Grid();
    int limited = 0;
    const auto took = [&](int column, EventGridModel::UserEdit edit) {
        if (edit.changed) {
            ApplyCellEdit(program, column, row);
        }
        limited += edit.limited ? 1 : 0;
    };
    took(col::kType, grid.UserSetText(col::kType, row, pasted.type));
    if (pasted.unit && grid.IsUserEditable(col::kUnit, row)) {
        took(col::kUnit, grid.UserSetText(col::kUnit, row, *pasted.unit));
    }
    for (int column : kNumericColumns) {
        const std::optional<double>& number = pasted.numbers[static_cast<size_t>(column)];
        if (number && grid.IsUserEditable(column, row)) {
            took(column,
                 grid.UserSetNumber(column, row, ShownPrecision(*grid.Cell(column, row), *number)));
        }
    }
    return limited;
}

void Refuse(Program& program, int line, const std::string& why) {
    program.ShowStatusMessage(false, FormatText("Paste refused, line %d: %s", line, why.c_str()));
}

}  // namespace

std::string CopyEventRows(const EventGridModel& grid, int first, int last) {
    std::string text;
    for (int row = std::max(first, 1); row <= std::min(last, grid.RowCount()); ++row) {
        for (int column = 1; column <= col::kCount; ++column) {
            if (column > 1) {
                text += kFieldSeparator;
            }
            if (!grid.IsDimmed(column, row)) {
                text += grid.DisplayText(column, row);
            }
        }
        text += '\n';
    }
    return text;
}

bool PasteEventRows(Program& program, int row, std::string_view text) {
    if (program.GetUi().IsDimmed(Panel::MAIN, Control::EVENT_TABLE)) {
        return false;
    }
    EventGridModel& grid = program.Grid();
    row = std::clamp(row, 1, grid.RowCount() + 1);
    std::vector<std::string_view> lines = Split(text, '\n');
    for (std::string_view& line : lines) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
    }
    // Text copied from a spreadsheet ends with a line break.
    if (lines.size() > 1 && lines.back().empty()) {
        lines.pop_back();
    }
    if (lines.size() == 1 && Trimmed(lines[0]).empty()) {
        program.ShowStatusMessage(false, "Nothing to paste: the clipboard holds no rows");
        return false;
    }

    const std::vector<std::string> new_row_items = TypeRingItems(program);
    std::vector<PastedRow> rows;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int line = static_cast<int>(i) + 1;
        const int target = row + static_cast<int>(i);
        if (target > EventGridModel::kMaxRows) {
            Refuse(program, line,
                   FormatText("the table holds at most %d events", EventGridModel::kMaxRows));
            return false;
        }
        const GridCell* type_cell = grid.Cell(col::kType, target);
        auto read = ReadLine(grid, lines[i], type_cell ? type_cell->items : new_row_items);
        if (const LineError* error = std::get_if<LineError>(&read)) {
            Refuse(program, line, error->why);
            return false;
        }
        rows.push_back(std::get<PastedRow>(std::move(read)));
    }

    int limited = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int target = row + static_cast<int>(i);
        if (target > grid.RowCount()) {
            InsertEventRow(program, static_cast<uint8_t>(target));
        }
        limited += ApplyRow(program, target, rows[i]);
    }
    const int last = row + static_cast<int>(rows.size()) - 1;
    grid.SetActiveCell(col::kType, row);
    MarkTableChanged(program, true);
    const std::string rows_text =
        row == last ? FormatText("row %d", row) : FormatText("rows %d-%d", row, last);
    RecordTableEdit(program, "Paste " + rows_text, {col::kType, row});
    if (limited > 0) {
        program.ShowStatusMessage(
            false, FormatText("Pasted %s; %d %s limited to the column's range", rows_text.c_str(),
                              limited, limited == 1 ? "value" : "values"));
    } else {
        program.ShowStatusMessage(true, "Pasted " + rows_text);
    }
    return true;
}

}  // namespace keelsong
