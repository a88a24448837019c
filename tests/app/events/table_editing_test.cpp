// The editing commands: the four buttons, the grid's context menu and the grid's reaction to
// the user's edits, pressed through the callback table as the window does.
#include "app/events/table_editing.h"

#include <gtest/gtest.h>

#include "app/events/event_table_fixture.h"
#include "app/shell/callbacks.h"
#include "sim/unit_simulator.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using Unit = testing::EventTableFixture::Unit;
using Address = EventGridModel::CellAddress;

struct TableEditingTest : testing::EventTableFixture {
    void PressButton(Control control, UiEvent event = UiEvent::Commit) {
        Press(program, Panel::MAIN, control, event);
    }
    // The user changes a cell: the grid takes the value, then tells its callback.
    void EditNumber(int column, int row, double value) {
        ASSERT_TRUE(grid.UserSetNumber(column, row, value));
        Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
    }
    void EditText(int column, int row, const std::string& text) {
        ASSERT_TRUE(grid.UserSetText(column, row, text));
        Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
    }
    void Rows(int count) {
        for (int i = 0; i < count; ++i) {
            AddRow(TypeCode(EventType::Rest));
            grid.SetNumber(col::kDuration, grid.RowCount(), grid.RowCount());  // tells rows apart
        }
    }
    bool Changed() { return program.Marks().table_changed; }

    EventGridModel& grid = program.Grid();
};

TEST_F(TableEditingTest, AppendEvent_OnEmptyGridAddsRowOneAndActivatesItsType) {
    PressButton(Control::EVENT_ADD);
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Text(col::kType, 1), "None");
    EXPECT_EQ(grid.ActiveCell(), (Address{col::kType, 1}));
    EXPECT_EQ(ui.ActiveCtrl(Panel::MAIN), Control::EVENT_TABLE);
    EXPECT_TRUE(Changed());
}

TEST_F(TableEditingTest, InsertAbove_PutsTheNewRowAboveTheActiveOne) {
    Rows(4);
    grid.SetActiveCell(col::kDuration, 3);
    PressButton(Control::EVENT_INSERT);
    ASSERT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Text(col::kType, 3), "None");
    EXPECT_EQ(grid.Number(col::kDuration, 4), 3);  // the old row 3
    EXPECT_EQ(grid.ActiveCell(), (Address{col::kType, 3}));
    EXPECT_TRUE(Changed());
}

TEST_F(TableEditingTest, InsertAbove_OnEmptyGridInsertsRowOne) {
    PressButton(Control::EVENT_INSERT);
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.ActiveCell(), (Address{col::kType, 1}));
}

TEST_F(TableEditingTest, RemoveEvent_ActiveCellMovesToTheRowThatFollowed) {
    struct Case {
        int active_row;
        int expected_row;
        double expected_duration;  // which old row is active afterwards
    };
    const Case cases[] = {{2, 2, 3}, {1, 1, 2}, {3, 2, 2}};  // the last row: the new last row
    for (const Case& c : cases) {
        EmptyEventGrid(program);
        Rows(3);
        grid.SetActiveCell(col::kDuration, c.active_row);
        PressButton(Control::EVENT_REM);
        EXPECT_EQ(grid.RowCount(), 2) << c.active_row;
        EXPECT_EQ(grid.ActiveCell(), (Address{col::kDuration, c.expected_row})) << c.active_row;
        EXPECT_EQ(grid.Number(col::kDuration, c.expected_row), c.expected_duration);
    }
}

TEST_F(TableEditingTest, EditsThatDoNothing_StillMarkTheTableChanged) {
    PressButton(Control::EVENT_REM);  // nothing to remove
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_TRUE(Changed());

    program.Marks().table_changed = false;
    Rows(40);
    grid.SetActiveCell(col::kType, 5);
    PressButton(Control::EVENT_INSERT);  // the grid is full
    EXPECT_EQ(grid.RowCount(), 40);
    EXPECT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(grid.ActiveCell(), (Address{col::kType, 5}));
    EXPECT_TRUE(Changed());

    program.Marks().table_changed = false;
    PressButton(Control::EVENT_ADD);
    EXPECT_EQ(ui.Popups().size(), 2u);
    EXPECT_TRUE(Changed());
}

TEST_F(TableEditingTest, ClearTable_DeletesEveryRow) {
    Rows(6);
    PressButton(Control::CLEAR_TABLE);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_TRUE(Changed());
}

TEST_F(TableEditingTest, ButtonsIgnoreEventsOtherThanCommit) {
    Rows(2);
    for (Control button :
         {Control::EVENT_ADD, Control::EVENT_INSERT, Control::EVENT_REM, Control::CLEAR_TABLE}) {
        PressButton(button, UiEvent::ValueChanged);
        PressButton(button, UiEvent::LeftDoubleClick);
    }
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_FALSE(Changed());
}

TEST_F(TableEditingTest, ChangingType_ResetsTheRowToTheNewTypesDefaults) {
    Connect(Unit::Hf);
    Rows(1);
    EditText(col::kType, 1, "Sweep");
    EditNumber(col::kStartFrequency, 1, 5000);
    EditNumber(col::kEndFrequency, 1, 20000);
    EditNumber(col::kDuration, 1, 4.5);
    EditNumber(col::kLevel, 1, -6);
    program.Marks().table_changed = false;

    EditText(col::kType, 1, "Tone");
    EXPECT_EQ(grid.Number(col::kDuration, 1), 1.0);
    EXPECT_EQ(grid.Text(col::kUnit, 1), "Seconds");
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 3000);
    EXPECT_EQ(grid.Number(col::kEndFrequency, 1), 200000);
    EXPECT_EQ(grid.Number(col::kLevel, 1), 0);
    EXPECT_EQ(grid.Number(col::kPhase, 1), 0);
    EXPECT_TRUE(grid.IsDimmed(col::kEndFrequency, 1));
    EXPECT_TRUE(grid.IsDimmed(col::kPhase, 1));
    EXPECT_FALSE(grid.IsDimmed(col::kLevel, 1));
    EXPECT_TRUE(Changed());
}

TEST_F(TableEditingTest, LevelOnLf_RoundsToSixDecibelSteps) {
    struct Case {
        Unit unit;
        int typed;
        int kept;
    };
    const Case cases[] = {
        {Unit::Lf, 10, 12}, {Unit::Lf, 2, 0},   {Unit::Lf, 21, 24},
        {Unit::Lf, 3, 6},   {Unit::Lf, 8, 6},   {Unit::Lf, 15, 18},
        {Unit::Lf, 0, 0},   {Unit::Hf, -7, -7}, {Unit::Hf, 5, 5},
    };
    for (const Case& c : cases) {
        Connect(c.unit);
        EmptyEventGrid(program);
        AddRow(c.unit == Unit::Lf ? 1 : 5);
        EditNumber(col::kLevel, 1, c.typed);
        EXPECT_EQ(grid.Number(col::kLevel, 1), c.kept) << c.typed;
    }
}

TEST_F(TableEditingTest, UnitOnHfR1_SwitchesDurationKindButKeepsItsValue) {
    Connect(Unit::HfR1);
    Rows(1);
    EditText(col::kType, 1, "Tone");
    EditNumber(col::kDuration, 1, 3.0);
    EditNumber(col::kStartFrequency, 1, 12000);

    EditText(col::kUnit, 1, "Cycles");
    const GridCell* duration = grid.Cell(col::kDuration, 1);
    EXPECT_EQ(duration->kind, CellKind::Integer);
    EXPECT_EQ(duration->minimum, 1);
    EXPECT_EQ(duration->number, 3);
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 12000);  // a unit change resets nothing
    EventBody body{};
    EXPECT_EQ(RowToEvent(program, body, 1), TypeCode(EventType::ToneCycles));

    EditNumber(col::kDuration, 1, 250);
    EditText(col::kUnit, 1, "Seconds");
    EXPECT_EQ(grid.Cell(col::kDuration, 1)->kind, CellKind::Real);
    EXPECT_EQ(grid.Number(col::kDuration, 1), 250);
    EXPECT_EQ(RowToEvent(program, body, 1), TypeCode(EventType::ToneSeconds));
}

TEST_F(TableEditingTest, ContextMenu_FiveItemsWithSeparatorBeforeRefreshThenUndoRedo) {
    BuildTableMenu(program);
    EXPECT_EQ(ui.MenuLayout(Panel::MAIN, Control::EVENT_TABLE),
              (std::vector<std::string>{"Add Event", "Insert Above", "Remove Event", "",
                                        "Refresh Table", "Clear Table", "", "Undo", "Redo"}));
}

TEST_F(TableEditingTest, MenuEdits_ActLikeTheButtonsWithoutTakingFocus) {
    BuildTableMenu(program);
    Rows(3);
    grid.SetActiveCell(col::kPhase, 2);
    ASSERT_TRUE(ui.ChooseMenuItem(Panel::MAIN, Control::EVENT_TABLE, "Insert Above"));
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.ActiveCell(), (Address{col::kType, 2}));

    ui.ChooseMenuItem(Panel::MAIN, Control::EVENT_TABLE, "Remove Event");
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Number(col::kDuration, 2), 2);

    ui.ChooseMenuItem(Panel::MAIN, Control::EVENT_TABLE, "Add Event");
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.ActiveCell(), (Address{col::kType, 4}));

    ui.ChooseMenuItem(Panel::MAIN, Control::EVENT_TABLE, "Clear Table");
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_FALSE(ui.ActiveCtrl(Panel::MAIN));
    EXPECT_TRUE(Changed());
}

TEST_F(TableEditingTest, RefreshTable_ReportsTheRetrievalAndSetsTheMark) {
    // How the unit on the line answers: with its two rests, not at all, or garbled.
    enum class Line { Answers, Silent, Garbled };
    struct Case {
        Line line;
        bool success;
        const char* message;
        bool changed;
    };
    const Case cases[] = {
        {Line::Answers, true, "Table refreshed successfully", false},
        {Line::Silent, false, "Retrieve table failed, please try again", true},
        {Line::Garbled, false, "Retrieve table failed, please try again", true},
    };
    BuildTableMenu(program);
    program.Link().Settings().open = 1;
    for (const Case& c : cases) {
        Rows(2);
        sim::UnitSimulator unit;
        unit.Events() = {{3, {10, 0}}, {3, {20, 0}}};
        if (c.line == Line::Garbled) {
            sim::Fault garble = sim::Fault::CorruptCrc();
            garble.times = sim::Fault::kForever;
            unit.InjectFault(garble);
        }
        bool waiting_while_reading = false;
        port.SetResponder([&](std::span<const uint8_t> written) {
            waiting_while_reading = ui.WaitCursor();
            return c.line == Line::Silent ? std::vector<uint8_t>{} : unit.HandleRequest(written);
        });
        program.Marks().table_changed = !c.changed;
        const int rows_before = grid.RowCount();
        ui.ChooseMenuItem(Panel::MAIN, Control::EVENT_TABLE, "Refresh Table");
        EXPECT_TRUE(waiting_while_reading);
        EXPECT_FALSE(ui.WaitCursor());
        EXPECT_EQ(StatusText(), c.message);
        EXPECT_EQ(StatusColor(), c.success ? kColorBlack : kColorRed);
        EXPECT_EQ(Changed(), c.changed);
        EXPECT_EQ(grid.RowCount(), rows_before);  // not emptied first
    }
}

}  // namespace
}  // namespace keelsong
