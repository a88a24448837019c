// Comparing the connected unit with a file and taking the file's values of some rows: they are
// edits like the user's, and "Accept Changes" gives the unit exactly those rows.
#include <gtest/gtest.h>

#include "app/events/transfer_fixture.h"
#include "app/files/take_file_values.h"
#include "app/files/unit_contents.h"
#include "app/state/edit_history.h"
#include "files/config_file.h"
#include "files/contents_compare.h"

namespace keelsong {
namespace {

using testing::TransferFixture;
using testing::UnitRest;

class TakeFileValuesOverPtyTest : public TransferFixture {};

EventRecord Rest(uint16_t tenths) {
    EventRecord event{TypeCode(EventType::Rest), {}};
    event.body[0] = static_cast<uint8_t>(tenths);
    event.body[1] = static_cast<uint8_t>(tenths >> 8);
    return event;
}

TEST_F(TakeFileValuesOverPtyTest, TwoRowsTaken_OneUndoStepAndAcceptSendsJustThoseRows) {
    sim::PtyServer& unit =
        ConnectUnit(1, {}, {UnitRest(10), UnitRest(20), UnitRest(30), UnitRest(40)});
    ConfigFileContents file;
    file.events = {Rest(10), Rest(25), Rest(35), Rest(45), Rest(50)};
    ASSERT_EQ(CompareContents(UnitContents(program), file).size(), 4u);

    ASSERT_EQ(TakeFileValues(program, file, {2, 4}, false), 0);

    EXPECT_EQ(UnitEvents(unit).size(), 4u) << "taking sends nothing";
    EXPECT_EQ(UndoDescription(program), "Undo: Take the File's rows");
    ASSERT_TRUE(UndoEdit(program));
    EXPECT_EQ(CompareContents(UnitContents(program), file).size(), 4u);
    ASSERT_TRUE(RedoEdit(program));
    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);
    EXPECT_EQ(UnitEvents(unit), (std::vector<sim::StoredEvent>{UnitRest(10), UnitRest(25),
                                                               UnitRest(30), UnitRest(45)}));
}

TEST_F(TakeFileValuesOverPtyTest, RowAndSetupTaken_OneUndoStepPutsBothBack) {
    ConnectUnit(1, {}, {UnitRest(10)});
    const std::vector<EventGridModel::RowCells> rows = grid.RowImages();
    const SetupValues setup = ShownSetupValues(program);
    std::unique_ptr<IniDocument> document = Ini_New(1);
    ASSERT_EQ(document->PutUInt(kConfigSetupSection, "Number of Plays", 7), 0);
    ConfigFileContents file;
    file.events = {Rest(99)};
    file.setup = ReadConfigSetup(*document);

    ASSERT_EQ(TakeFileValues(program, file, {1}, true), 0);
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::PLAYBACKS), "7");
    EXPECT_NE(grid.RowImages(), rows);

    ASSERT_TRUE(UndoEdit(program));
    EXPECT_EQ(grid.RowImages(), rows);
    EXPECT_EQ(ShownSetupValues(program), setup);
    EXPECT_EQ(UndoDescription(program), "");
}

}  // namespace
}  // namespace keelsong
