// Whatever text the clipboard holds, pasting it into the event table either changes nothing
// and says why, or pastes rows that stay inside the grid's rules, copy out and paste back as
// they are, and go again with one undo.
//
// Input: byte 0 picks the unit and the row pasted at; the rest is the clipboard's text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/events/table_paste.h"
#include "app/state/edit_history.h"
#include "config_load_check.h"

namespace {

using namespace keelsong;
using fuzz::Check;

bool InsideTheRules(const EventGridModel& grid) {
    for (int row = 1; row <= grid.RowCount(); ++row) {
        for (int column = 1; column <= grid_column::kCount; ++column) {
            const GridCell* cell = grid.Cell(column, row);
            if (cell->kind != CellKind::Ring &&
                (cell->number < cell->minimum || cell->number > cell->maximum)) {
                return false;
            }
        }
    }
    return grid.RowCount() <= EventGridModel::kMaxRows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    HeadlessUi ui;
    testing::FakePlatform platform;
    testing::FakeSerialPort port;
    Program program(ui, port, platform);
    program.SetUnit(fuzz::kUnits[data[0] % std::size(fuzz::kUnits)]);
    ApplyUnitTypeLimits(program, "");
    EventGridModel& grid = program.Grid();
    for (int row = 1; row <= 3; ++row) {
        InsertEventRow(program, static_cast<uint8_t>(row));
    }
    ClearEditHistory(program);
    const int at = 1 + (data[0] >> 2) % 4;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto before = grid.RowImages();
    if (!PasteEventRows(program, at, text)) {
        Check(grid.RowImages() == before);
        Check(UndoDescription(program).empty());
        const std::string status = ui.TextValue(Panel::MAIN, Control::STATUS_LINE);
        Check(status.starts_with("Paste refused, line ") || status.starts_with("Nothing to paste"));
        return 0;
    }
    Check(InsideTheRules(grid));
    const auto pasted = grid.RowImages();
    const std::string copied = CopyEventRows(grid, 1, grid.RowCount());
    Check(PasteEventRows(program, 1, copied));
    Check(grid.RowImages() == pasted);
    // Pasting what is there is no step: one undo goes back to before the first paste, unless
    // that one changed nothing either.
    if (pasted != before) {
        Check(UndoEdit(program));
        Check(grid.RowImages() == before);
    }
    Check(!UndoEdit(program));
    return 0;
}
