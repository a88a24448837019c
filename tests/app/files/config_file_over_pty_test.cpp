// A configuration saved from one simulated unit and loaded while another is connected: the
// window shows what the first unit held, and "Accept Changes" gives the second unit exactly
// that.
#include <gtest/gtest.h>

#include <fstream>

#include "app/events/transfer_fixture.h"
#include "app/files/config_file_io.h"
#include "app/setup/setup_panel.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

using testing::TransferFixture;
using testing::UnitRest;

class ConfigFileOverPtyTest : public TransferFixture {
  protected:
    std::vector<std::string> Screen() {
        std::vector<std::string> cells;
        for (int row = 1; row <= grid.RowCount(); ++row) {
            for (int column = 1; column <= grid_column::kCount; ++column) {
                cells.push_back(grid.DisplayText(column, row));
            }
        }
        for (Control control : {Control::CONTINUOUS, Control::PLAYBACKS, Control::REST_TIME,
                                Control::ENABLE_START_TIME, Control::YEAR, Control::MONTH,
                                Control::DAY, Control::HOUR, Control::MIN, Control::SYNC_MODE,
                                Control::ENCODE_TIME, Control::MAG_SWITCH}) {
            cells.push_back(ui.TextValue(Panel::MAIN, control));
        }
        return cells;
    }

    testing::TempDir files;
};

TEST_F(ConfigFileOverPtyTest, SavedFromOneUnitLoadedIntoAnother_AcceptSendsTheSameTableAndSetup) {
    const std::vector<sim::StoredEvent> events = {
        // Sweep 3000 -> 200000 Hz, 1.5 s, -6 dB
        {2, {0xB8, 0x0B, 0x00, 0x00, 0x40, 0x0D, 0x03, 0x00, 0x0F, 0x00, 0xFA}},
        // Rest 10.0 s
        {3, {0x64, 0x00}},
        // Tone 12000 Hz, 2.0 s, 7 dB
        {5, {0xE0, 0x2E, 0x00, 0x00, 0x14, 0x00, 0x07}},
        // Click 50000 Hz, phase -90, 0.1 s, -24 dB
        {4, {0x50, 0xC3, 0x00, 0x00, 0xA6, 0xFF, 0x01, 0x00, 0xE8}},
    };
    sim::SetupState setup;
    setup.aux_function = 1;
    setup.start_time = 1772874300;  // a whole minute ahead of the test's clock
    setup.number_of_plays = 3;
    setup.time_between_repeats = 125;
    setup.magnetic_switch = 1;
    setup.aux_messages = 1;
    sim::UnitState first_state;
    first_state.serial_number = 1001;
    sim::PtyServer& first =
        ConnectUnit(1, first_state, events, [&](sim::UnitSimulator& u) { u.Setup() = setup; });
    const std::vector<std::string> first_screen = Screen();
    program.Settings().ConfigFolder() = files.Path();
    ui.AnswerFileSelect({FileChoice::NewFile, files / "fleet.tlk"});
    Press(program, Panel::MAIN, Control::STORE_EVENTS);
    ASSERT_EQ(MainStatus(), "Configuration saved successfully");

    sim::UnitState second_state;
    second_state.serial_number = 1002;
    sim::PtyServer& second = ConnectUnit(2, second_state, {UnitRest(5)});
    ASSERT_NE(Screen(), first_screen);
    ui.AnswerFileSelect({FileChoice::ExistingFile, files / "fleet.tlk"});
    Press(program, Panel::MAIN, Control::LOAD_EVENTS);
    ASSERT_EQ(MainStatus(), "Configuration loaded");
    EXPECT_EQ(Screen(), first_screen);
    EXPECT_TRUE(UnitEvents(second).size() == 1) << "loading sends nothing";

    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);
    EXPECT_EQ(UnitEvents(second), events);
    EXPECT_EQ(second.WithSimulator([](sim::UnitSimulator& u) { return u.Setup(); }), setup);
    EXPECT_EQ(UnitEvents(first), events);
}

TEST_F(ConfigFileOverPtyTest, LoadedRowOfUnknownType_AcceptSendsNothingAndNamesTheRow) {
    const std::vector<sim::StoredEvent> held = {UnitRest(5), UnitRest(6), UnitRest(7), UnitRest(8)};
    sim::PtyServer& unit = ConnectUnit(1, {}, held);
    const std::string path = files / "odd.tlk";
    std::ofstream(path, std::ios::binary)
        << "[Event 01]\nType = 3\nTime = 5\n[Event 02]\nType = 9\n"
           "[Event 03]\nType = 3\nTime = 7\n";
    ui.AnswerFileSelect({FileChoice::ExistingFile, path});
    Press(program, Panel::MAIN, Control::LOAD_EVENTS);
    ASSERT_EQ(MainStatus(), "Configuration loaded");

    // Both ways of accepting: the button, and playing with saving first.
    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);
    EXPECT_EQ(MainStatus(), "Row 2 cannot be sent: its event type is unknown");
    SetSaveBeforePlaying(program, true);
    Press(program, Panel::MAIN, Control::PLAY);
    EXPECT_EQ(MainStatus(), "Row 2 cannot be sent: its event type is unknown");
    EXPECT_EQ(UnitEvents(unit), held);
    EXPECT_TRUE(program.Marks().table_changed);
}

}  // namespace
}  // namespace keelsong
