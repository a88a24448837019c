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
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"

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

// "1,500" or "-15,000": one to three digits, a comma, three digits. Fifteen hundred in one
// spreadsheet's grouping, one and a half in another's decimals: not guessed at.
bool LooksGrouped(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
    }
    const size_t comma = text.find(',');
    return comma >= 1 && comma <= 3 && text.size() == comma + 4 &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return c == ',' || std::isdigit(static_cast<unsigned char>(c));
           });
}

// A decimal number whose decimal mark is a point or, as spreadsheets in many languages give
// it, a comma; no other separator. Otherwise why it is not one, to follow the quoted text.
std::variant<double, std::string> NumberOf(std::string_view text) {
    std::string plain(text);
    if (LooksGrouped(plain)) {
        std::string whole = plain;
        whole.erase(whole.find(','), 1);
        std::string decimal = plain;
        decimal[decimal.find(',')] = '.';
        return FormatText("could be %s or %s: write one of them", whole.c_str(), decimal.c_str());
    }
    if (!plain.empty() && plain.front() == '+') {
        plain.erase(0, 1);
    }
    double value = 0;
    const bool one_mark =
        std::count(plain.begin(), plain.end(), ',') + std::count(plain.begin(), plain.end(), '.') <=
        1;
    std::replace(plain.begin(), plain.end(), ',', '.');
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (!one_mark || error != std::errc() || end != plain.data() + plain.size() ||
        !std::isfinite(value)) {
        return std::string("is not a number");
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
    if (!type && type_text.find(',') != std::string_view::npos) {
        return LineError{"its fields are separated by commas, not tabs"};
    }
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
        const std::variant<double, std::string> number = NumberOf(text);
        if (const std::string* why = std::get_if<std::string>(&number)) {
            return LineError{FormatText("%s \"%.*s\" %s", ColumnName(grid, column).c_str(),
                                        static_cast<int>(text.size()), text.data(), why->c_str())};
        }
        row.numbers[static_cast<size_t>(column)] = std::get<double>(number);
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

// Sets the row as the user would, cell by cell, with the grid's reaction to each edit. The
// cells whose number was brought into their range are added to `limited`.
void ApplyRow(Program& program, int row, const PastedRow& pasted,
              std::vector<EventGridModel::CellAddress>& limited) {
    EventGridModel& grid = program.Grid();
    const auto took = [&](int column, EventGridModel::UserEdit edit) {
        if (edit.changed) {
            ApplyCellEdit(program, column, row);
        }
        if (edit.limited) {
            limited.push_back({column, row});
        }
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
}

// Titles compared as a person reads them: case and blanks aside.
std::string TitleKey(std::string_view title) {
    std::string key;
    for (char c : title) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return key;
}

bool IsHeading(const EventGridModel& grid, int column, std::string_view field) {
    const std::string key = TitleKey(field);
    if (key == TitleKey(grid.ColumnTitle(column))) {
        return true;
    }
    // The Level column's title follows the unit type ("Attenuation(dB)" on an Orvane LF), so
    // a sheet headed on one unit is still read on another.
    constexpr std::string_view kDecibels = "(db)";
    return column == col::kLevel && key.size() > kDecibels.size() && key.ends_with(kDecibels);
}

enum class Header { None, Matching, Mismatched };

// A first line that starts with the Type column's title is a header, never a row; it is passed
// over when the rest of it names the grid's columns in order, and stops the paste when it
// names others, whose numbers would land in the wrong cells.
Header ReadHeader(const EventGridModel& grid, std::string_view line, std::string* why) {
    std::vector<std::string_view> fields = Split(line, kFieldSeparator);
    while (fields.size() > 1 && Trimmed(fields.back()).empty()) {
        fields.pop_back();
    }
    if (!IsHeading(grid, col::kType, fields.front())) {
        return Header::None;
    }
    for (size_t i = 1; i < fields.size(); ++i) {
        const int column = static_cast<int>(i) + 1;
        const std::string_view field = Trimmed(fields[i]);
        if (column > col::kCount || !IsHeading(grid, column, field)) {
            *why = FormatText("the header names column %d \"%.*s\"", column,
                              static_cast<int>(field.size()), field.data());
            if (column <= col::kCount) {
                *why += ", not \"" + grid.ColumnTitle(column) + "\"";
            }
            return Header::Mismatched;
        }
    }
    return Header::Matching;
}

// "Level row 3 limited to 7", or the count and the first few such cells.
std::string LimitedCellsText(const EventGridModel& grid,
                             const std::vector<EventGridModel::CellAddress>& cells) {
    constexpr size_t kNamed = 3;
    if (cells.size() == 1) {
        return CellEditName(grid, cells[0].column, cells[0].row) + " limited to " +
               grid.DisplayText(cells[0].column, cells[0].row);
    }
    std::string text = FormatText("%zu values limited to their column's range: ", cells.size());
    for (size_t i = 0; i < std::min(cells.size(), kNamed); ++i) {
        text += (i > 0 ? ", " : "") + CellEditName(grid, cells[i].column, cells[i].row);
    }
    if (cells.size() > kNamed) {
        text += FormatText(" and %zu more", cells.size() - kNamed);
    }
    return text;
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

    std::string header_problem;
    const Header header = ReadHeader(grid, lines[0], &header_problem);
    if (header == Header::Mismatched) {
        Refuse(program, 1, header_problem);
        return false;
    }
    const size_t first_row_line = header == Header::Matching ? 1 : 0;
    if (first_row_line == lines.size()) {
        program.ShowStatusMessage(false, "Nothing to paste: the clipboard holds only a header");
        return false;
    }

    const std::vector<std::string> new_row_items = TypeRingItems(program);
    std::vector<PastedRow> rows;
    for (size_t i = first_row_line; i < lines.size(); ++i) {
        const int line = static_cast<int>(i) + 1;
        const int target = row + static_cast<int>(i - first_row_line);
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

    std::vector<EventGridModel::CellAddress> limited;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int target = row + static_cast<int>(i);
        if (target > grid.RowCount()) {
            InsertEventRow(program, static_cast<uint8_t>(target));
        }
        ApplyRow(program, target, rows[i], limited);
    }
    const int last = row + static_cast<int>(rows.size()) - 1;
    grid.SetActiveCell(col::kType, row);
    MarkTableChanged(program, true);
    const std::string rows_text =
        row == last ? FormatText("row %d", row) : FormatText("rows %d-%d", row, last);
    RecordTableEdit(program, "Paste " + rows_text, {col::kType, row});
    if (!limited.empty()) {
        program.ShowStatusMessage(false,
                                  "Pasted " + rows_text + "; " + LimitedCellsText(grid, limited));
    } else {
        program.ShowStatusMessage(true, "Pasted " + rows_text);
    }
    return true;
}

}  // namespace keelsong
