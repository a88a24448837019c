// Undo and redo of the user's single edits: every kind of edit of the grid and of the setup
// controls goes back and comes again whole, and the history starts afresh whenever the grid and
// the controls are filled from the unit.
#include "app/state/edit_history.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/events/event_table_fixture.h"
#include "app/events/table_editing.h"
#include "app/events/table_paste.h"
#include "app/events/transfer_fixture.h"
#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using Unit = testing::EventTableFixture::Unit;

struct EditHistoryTest : testing::EventTableFixture {
    EditHistoryTest() {
        Connect(Unit::Hf);
        BuildTableMenu(program);
        StartOver();
    }
    // A Tone, a Sweep and a Rest with the cursor in the Sweep, read from the unit as it were.
    void StartOver() {
        EmptyEventGrid(program);
        AddRow(TypeCode(EventType::ToneSeconds));
        AddRow(TypeCode(EventType::Sweep));
        AddRow(TypeCode(EventType::Rest));
        grid.SetNumber(col::kLevel, 2, -5);
        grid.SetActiveCell(col::kStartFrequency, 2);
        ShowSyncMode(program, 0);
        ui.SetDouble(Panel::MAIN, Control::REST_TIME, 0);
        MarkTableChanged(program, false);
        MarkSetupChanged(program, false);
        ClearEditHistory(program);
    }

    struct State {
        std::vector<EventGridModel::RowCells> rows;
        SetupValues setup;
        std::string pps_label;
        bool operator==(const State&) const = default;
    };
    State Now() const {
        SetupValues setup;
        for (Control control : kUndoableSetupControls) {
            setup.push_back(ui.Value(Panel::MAIN, control));
        }
        return {grid.RowImages(), setup, ui.Label(Panel::MAIN, Control::ENCODE_TIME)};
    }
    void EditCell(int column, int row, const std::string& text) {
        ASSERT_TRUE(grid.UserSetText(column, row, text));
        Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
    }
    void EditCell(int column, int row, double value) {
        ASSERT_TRUE(grid.UserSetNumber(column, row, value));
        Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
    }
    void EditSetup(Control control, ControlValue value) {
        ui.SetValue(Panel::MAIN, control, value);
        Press(program, Panel::MAIN, control, UiEvent::ValueChanged);
        Press(program, Panel::MAIN, control, UiEvent::Commit);
    }
    std::string MenuTooltip(std::string_view item) const {
        return ui.FindMenuItem(Panel::MAIN, Control::EVENT_TABLE, item)->tooltip;
    }

    EventGridModel& grid = program.Grid();
};

TEST_F(EditHistoryTest, EveryKindOfEdit_UndoneWholeAndRedone_MarksFollowWhatTheUnitHolds) {
    struct Case {
        std::string undo_text;
        std::function<void(EditHistoryTest&)> edit;
    };
    using T = EditHistoryTest;
    const Case cases[] = {
        {"Undo: Start Freq row 2", [](T& t) { t.EditCell(col::kStartFrequency, 2, 5000.0); }},
        // The Sweep becomes a Tone: every cell of the row is reset and dimmed anew.
        {"Undo: Type row 2", [](T& t) { t.EditCell(col::kType, 2, "Tone"); }},
        {"Undo: Append Event", [](T& t) { Press(t.program, Panel::MAIN, Control::EVENT_ADD); }},
        {"Undo: Insert Above row 2",
         [](T& t) { Press(t.program, Panel::MAIN, Control::EVENT_INSERT); }},
        {"Undo: Remove Event row 2",
         [](T& t) { Press(t.program, Panel::MAIN, Control::EVENT_REM); }},
        {"Undo: Remove Event rows 1-2", [](T& t) { RemoveEventRows(t.program, 1, 2); }},
        {"Undo: Clear Table", [](T& t) { Press(t.program, Panel::MAIN, Control::CLEAR_TABLE); }},
        {"Undo: Paste rows 2-4",
         [](T& t) {
             PasteEventRows(t.program, 2, "Click\t0.5\t\t4000\t\t3\t90\nRest\t2\nTone\n");
         }},
        {"Undo: Time Between Repeats", [](T& t) { t.EditSetup(Control::REST_TIME, 12.5); }},
        // The check box's caption follows the sync mode there and back.
        {"Undo: Sync Mode", [](T& t) { t.EditSetup(Control::SYNC_MODE, 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.undo_text);
        StartOver();
        const State before = Now();
        c.edit(*this);
        const State after = Now();
        ASSERT_NE(after, before);
        EXPECT_EQ(UndoDescription(program), c.undo_text);
        EXPECT_EQ(MenuTooltip(kUndoMenuItem), c.undo_text);

        ASSERT_TRUE(ui.PressMenuKeys(Panel::MAIN, "Ctrl+Z"));
        EXPECT_EQ(Now(), before);
        // Back to what the unit holds: nothing to send, as before the edit.
        EXPECT_FALSE(program.Marks().table_changed);
        EXPECT_FALSE(program.Marks().setup_changed);
        EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES));
        EXPECT_EQ(UndoDescription(program), "");
        EXPECT_TRUE(ui.FindMenuItem(Panel::MAIN, Control::EVENT_TABLE, kUndoMenuItem)->dimmed);
        EXPECT_EQ(MenuTooltip(kRedoMenuItem), "Redo:" + c.undo_text.substr(5));

        ASSERT_TRUE(ui.PressMenuKeys(Panel::MAIN, "Ctrl+Y"));
        EXPECT_EQ(Now(), after);
        EXPECT_TRUE(program.Marks().table_changed || program.Marks().setup_changed);
        EXPECT_FALSE(ui.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES));
        ASSERT_TRUE(ui.PressMenuKeys(Panel::MAIN, "Ctrl+Z"));
        ASSERT_TRUE(ui.PressMenuKeys(Panel::MAIN, "Ctrl+Shift+Z"));
        EXPECT_EQ(Now(), after);
        EXPECT_FALSE(ui.PressMenuKeys(Panel::MAIN, "Ctrl+Y"));  // nothing left to redo
    }
}

TEST_F(EditHistoryTest, NumberTypedKeyByKey_IsOneStepUntilCommitted) {
    for (double typed : {1.0, 12.0, 120.0}) {
        ui.SetDouble(Panel::MAIN, Control::REST_TIME, typed);
        Press(program, Panel::MAIN, Control::REST_TIME, UiEvent::ValueChanged);
    }
    Press(program, Panel::MAIN, Control::REST_TIME, UiEvent::Commit);
    EditSetup(Control::REST_TIME, 7.0);
    ASSERT_TRUE(UndoEdit(program));
    EXPECT_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 120.0);
    ASSERT_TRUE(UndoEdit(program));
    EXPECT_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 0.0);
    EXPECT_FALSE(UndoEdit(program));

    // With the grid dimmed (no unit) nothing is undone.
    ASSERT_TRUE(RedoEdit(program));
    ui.SetDimmed(Panel::MAIN, Control::EVENT_TABLE, true);
    EXPECT_FALSE(UndoEdit(program));
    EXPECT_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 120.0);
}

struct EditHistoryOverPtyTest : testing::TransferFixture {
    bool CanUndo() const { return !UndoDescription(program).empty(); }
};

TEST_F(EditHistoryOverPtyTest, ReadsAcceptsAndLoads_StartTheHistoryAfresh) {
    AppendRest(1.5);
    EditSetup();
    ASSERT_TRUE(CanUndo());
    ui.AnswerGeneric(2);  // the edits made with no unit: "Read Unit" over them
    ConnectUnit(1, {}, {testing::UnitRest(20)});  // reads table and setup
    ASSERT_FALSE(ui.Popups().empty());
    EXPECT_EQ(ui.Popups().back().title, "Edits not sent") << "asked before reading over them";
    EXPECT_FALSE(CanUndo());

    AppendRest(2.5);
    ASSERT_TRUE(CanUndo());
    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);
    EXPECT_EQ(program.Marks().table_changed, false);
    EXPECT_FALSE(CanUndo());

    // Undoing back to what the unit holds still leaves the table marked changed.
    AppendRest(3.5);
    ASSERT_TRUE(UndoEdit(program));
    EXPECT_TRUE(program.Marks().table_changed);
    EditSetup();
    Press(program, Panel::MAIN, Control::UNDO_CHANGES);
    EXPECT_FALSE(CanUndo());
    EXPECT_FALSE(program.Marks().table_changed);

    testing::TempDir files;
    ui.AnswerFileSelect({FileChoice::NewFile, files / "saved.tlk"});
    Press(program, Panel::MAIN, Control::STORE_EVENTS);
    AppendRest(4.5);
    ASSERT_TRUE(CanUndo());
    ui.AnswerFileSelect({FileChoice::ExistingFile, files / "saved.tlk"});
    Press(program, Panel::MAIN, Control::LOAD_EVENTS);
    ASSERT_EQ(MainStatus(), "Configuration loaded");
    EXPECT_FALSE(CanUndo());
}

}  // namespace
}  // namespace keelsong
