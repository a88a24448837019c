// Sending and reading the whole event table, "Accept Changes" and the resync after an update,
// end to end against simulated units over pseudo-terminals.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>

#include "app/changes/accept_changes.h"
#include "app/connection/connection.h"
#include "app/events/event_transfer.h"
#include "app/events/transfer_fixture.h"
#include "app/files/config_file_io.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "protocol/unit_status.h"
#include "sim/event_checks.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using sim::Fault;
using testing::CommandsOf;
using testing::UnitRest;

struct TransferTest : testing::TransferFixture {
    bool TableMarked() const { return program.Marks().table_changed; }
    bool SetupMarked() const { return program.Marks().setup_changed; }
    bool AnyTransferMark() {
        for (int row = 1; row <= program.Grid().RowCount(); ++row) {
            if (program.Grid().HasTransferMark(row)) {
                return true;
            }
        }
        return false;
    }
    // The commands the unit received, up to the enquiry that "Accept Changes" ends with.
    static testing::Commands UpTo(const testing::Commands& commands, Command last) {
        testing::Commands head;
        for (uint8_t code : commands) {
            head.push_back(code);
            if (code == CommandCode(last)) {
                break;
            }
        }
        return head;
    }
};

TEST_F(TransferTest, AcceptChanges_ToneNoneSweep_SentAtUnitIndices0And1) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5), UnitRest(7)}, [](auto& u) {
        u.State().play_state = play_state::kPlaying;
    });
    ASSERT_EQ(grid.RowCount(), 2);
    EditText(col::kType, 1, "Tone");
    EditNumber(col::kStartFrequency, 1, 12000);
    EditNumber(col::kDuration, 1, 2.5);
    EditNumber(col::kLevel, 1, -6);
    EditText(col::kType, 2, "None");
    const int sweep = AppendRow("Sweep");
    EditNumber(col::kStartFrequency, sweep, 5000);
    EditNumber(col::kEndFrequency, sweep, 20000);
    const size_t progress_before = ui.ProgressHistory(Panel::MAIN).size();

    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);

    EXPECT_EQ(UpTo(Commands(unit), Command::Enquire),
              CommandsOf({Command::EventRemove, Command::EventRemove, Command::EventRemove,
                          Command::EventAdd, Command::EventAdd, Command::SaveSettings,
                          Command::Play, Command::Enquire}));
    const std::vector<sim::LoggedRequest> log = unit.RequestLog();
    EXPECT_EQ(log[3].payload,
              (std::vector<uint8_t>{0x00, 0x05, 0xE0, 0x2E, 0x00, 0x00, 0x19, 0x00, 0xFA}));
    EXPECT_EQ(log[4].payload[0], 1) << "the empty row leaves no gap";
    EXPECT_EQ(log[4].payload[1], 2);
    EXPECT_EQ(NewMessages(), (std::vector<std::string>{
                                 "Clearing events in your unit", "Events Cleared",
                                 "Event #1 Added to Table", "Event #2 Added to Table",
                                 "Events updated successfully", "Settings saved successfully",
                                 "Accept changes successfully", "Playback started"}));
    EXPECT_EQ(UnitEvents(unit).size(), 2u);
    EXPECT_EQ(unit.WithSimulator([](auto& u) { return u.Saved().events; }), UnitEvents(unit));
    EXPECT_FALSE(TableMarked());
    EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES));
    EXPECT_FALSE(AnyTransferMark());
    // Seven steps: three removals (the unit held two), two additions, the save, the play.
    const std::vector<int>& progress = ui.ProgressHistory(Panel::MAIN);
    EXPECT_EQ(std::vector<int>(progress.begin() + static_cast<std::ptrdiff_t>(progress_before),
                               progress.end()),
              (std::vector<int>{0, 14, 28, 42, 57, 71, 85, 100}));
    EXPECT_FALSE(ui.Progress(Panel::MAIN).has_value());
    EXPECT_FALSE(ui.WaitCursor());
}

TEST_F(TransferTest, AcceptChanges_EmptyGrid_EmptiesTheUnit) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5), UnitRest(7), UnitRest(9)});
    Press(program, Panel::MAIN, Control::CLEAR_TABLE);

    EXPECT_EQ(AcceptChanges(program).code, 0);

    EXPECT_EQ(Commands(unit),
              CommandsOf({Command::EventRemove, Command::EventRemove, Command::EventRemove,
                          Command::EventRemove, Command::SaveSettings, Command::Play}));
    EXPECT_EQ(NewMessages(), (std::vector<std::string>{
                                 "Clearing events in your unit", "Events Cleared",
                                 "Events updated successfully", "Settings saved successfully",
                                 "Accept changes successfully", "No Events To Play"}));
    EXPECT_TRUE(UnitEvents(unit).empty());
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::PLAY_CODE_MSG), "Stopped (Empty Table)");
}

TEST_F(TransferTest, AcceptChanges_UnitRefuses_StopsThereAndKeepsTheMarks) {
    struct Case {
        const char* name;
        uint8_t device_type = device_type::kOrvaneHf;
        std::optional<Fault> fault = std::nullopt;
        int16_t past_end_result = sim::kEventDoesNotExist;
        bool table_edited = true;
        std::vector<sim::StoredEvent> events = {UnitRest(50)};
        std::vector<std::string> messages;
        testing::Commands commands;
        bool table_marked = true;
        bool setup_marked = false;
    };
    const Fault third_add_refused =
        Fault::ReplacePayload({0xFD, 0xFF, 0x02}).OnlyFor(Command::EventAdd).After(2);
    const std::vector<Case> cases = {
        {.name = "third event, Orvane HF",
         .fault = third_add_refused,
         .messages = {"Clearing events in your unit", "Events Cleared", "Event #1 Added to Table",
                      "Event #2 Added to Table", "Add Event Error: Invalid Frequency",
                      "Failed to add event #3", "Settings restored successfully",
                      "Send events failed", "Accept changes failed, please try again"},
         .commands = CommandsOf({Command::EventRemove, Command::EventRemove, Command::EventAdd,
                                 Command::EventAdd, Command::EventAdd, Command::RestoreSettings,
                                 Command::Enquire})},
        {.name = "third event, Orvane LF",
         .device_type = device_type::kOrvaneLf,
         .fault = third_add_refused,
         .messages = {"Clearing events in your unit", "Events Cleared", "Event #1 Added to Table",
                      "Event #2 Added to Table", "Add Event Error: Invalid Frequency",
                      "Failed to add event #3", "Send events failed",
                      "Accept changes failed, please try again"},
         .commands = CommandsOf({Command::EventRemove, Command::EventRemove, Command::EventAdd,
                                 Command::EventAdd, Command::EventAdd, Command::Enquire})},
        {.name = "first removal past the end",
         .past_end_result = sim::kEventPastEndOfTable,
         .events = {},
         .messages = {"Clearing events in your unit", "Remove Event Error: Past End of Table",
                      "Event Remove Error, Code: 65532", "Settings restored successfully",
                      "Send events failed", "Accept changes failed, please try again"},
         .commands =
             CommandsOf({Command::EventRemove, Command::RestoreSettings, Command::Enquire})},
        {.name = "setup refused",
         .fault = Fault::ReplacePayload({0x00, 0x00}).OnlyFor(Command::SetupSet),
         .table_edited = false,
         .messages = {"Setup was not accepted", "Send settings failed",
                      "Accept changes failed, please try again"},
         .commands = CommandsOf({Command::SetupSet, Command::Enquire}),
         .table_marked = false,
         .setup_marked = true},
        {.name = "save unanswered",
         .fault = Fault::Drop().OnlyFor(Command::SaveSettings).Forever(),
         .table_edited = false,
         .messages = {"Settings accepted sucessfully", "No Response Received!",
                      "No Response Received!", "No Response Received!",
                      "No response for save command", "Failed to save settings to unit",
                      "Accept changes failed, please try again"},
         .commands = CommandsOf({Command::SetupSet, Command::SaveSettings, Command::SaveSettings,
                                 Command::SaveSettings, Command::Enquire}),
         .table_marked = false},
    };
    int port = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitState state;
        state.device_type = c.device_type;
        state.firmware = c.device_type == device_type::kOrvaneLf ? "v1.2.0" : "v2.1.4";
        state.serial_number = static_cast<uint16_t>(2000 + port);
        state.past_end_result = c.past_end_result;
        ++port;
        if (TableMarked()) {
            ui.AnswerGeneric(2);  // the last case's unsent edits: "Read Unit" over them
        }
        sim::PtyServer& unit = ConnectUnit(port, state, c.events);
        if (c.table_edited) {
            Press(program, Panel::MAIN, Control::CLEAR_TABLE);
            for (double seconds : {1.0, 2.0, 3.0}) {
                AppendRest(seconds);
            }
        } else {
            EditSetup();
        }
        NewMessages();
        if (c.fault) {
            Change(unit, [&](sim::UnitSimulator& u) { u.InjectFault(*c.fault); });
        }

        Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);

        EXPECT_EQ(UpTo(Commands(unit), Command::Enquire), c.commands);
        EXPECT_EQ(NewMessages(), c.messages);
        EXPECT_EQ(TableMarked(), c.table_marked);
        EXPECT_EQ(SetupMarked(), c.setup_marked);
        EXPECT_EQ(ui.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES),
                  !c.table_marked && !c.setup_marked);
        EXPECT_FALSE(AnyTransferMark()) << "no row left marked as being sent";
        // The unit may hold part of the table, or the setup sent: going back to what it held
        // before is still a change to send.
        while (UndoEdit(program)) {
        }
        EXPECT_TRUE(TableMarked() || SetupMarked());
        if (c.device_type == device_type::kOrvaneHf && c.table_edited) {
            EXPECT_EQ(UnitEvents(unit), c.events) << "restored to what it had saved";
        }
    }
}

TEST_F(TransferTest, AcceptChanges_WhatIsSentFollowsTheMarksAndThePlayState) {
    struct Case {
        const char* name;
        uint8_t device_type = device_type::kOrvaneHf;
        uint8_t play_state = play_state::kPlaying;
        std::optional<int64_t> start_in = std::nullopt;  // seconds from now
        bool setup_edited = false;
        testing::Commands commands;
        const char* last_message;
    };
    const std::vector<Case> cases = {
        {.name = "nothing changed, playing",
         .commands = CommandsOf({Command::SaveSettings, Command::Play}),
         .last_message = "Playback started"},
        {.name = "nothing changed, stopped",
         .play_state = play_state::kStopped,
         .commands = CommandsOf({Command::SaveSettings}),
         .last_message = "Accept changes successfully"},
        {.name = "nothing changed, Orvane LF",
         .device_type = device_type::kOrvaneLf,
         .commands = CommandsOf({Command::Play}),
         .last_message = "Playback started"},
        {.name = "only the setup changed",
         .setup_edited = true,
         .commands = CommandsOf({Command::SetupSet, Command::SaveSettings, Command::Play}),
         .last_message = "Playback started"},
        {.name = "stopped, start time an hour ahead",
         .play_state = play_state::kStopped,
         .start_in = 3600,
         .commands = CommandsOf({Command::SaveSettings, Command::Play}),
         .last_message = "Playback will begin when start time is reached"},
        {.name = "stopped, start time an hour past",
         .play_state = play_state::kStopped,
         .start_in = -3600,
         .commands = CommandsOf({Command::SaveSettings}),
         .last_message = "Accept changes successfully"},
    };
    int port = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitState state;
        state.device_type = c.device_type;
        state.firmware = c.device_type == device_type::kOrvaneLf ? "v1.2.0" : "v2.1.4";
        state.serial_number = static_cast<uint16_t>(3000 + port);
        state.play_state = c.play_state;
        ++port;
        sim::PtyServer& unit = ConnectUnit(port, state, {UnitRest(50)}, [&](auto& u) {
            if (c.start_in) {
                u.Setup().start_time = static_cast<int32_t>(UnitClock() + *c.start_in);
            }
        });
        ASSERT_EQ(ui.IntValue(Panel::MAIN, Control::ENABLE_START_TIME), c.start_in ? 1 : 0);
        if (c.setup_edited) {
            EditSetup();
        }

        EXPECT_EQ(AcceptChanges(program).code, 0);

        EXPECT_EQ(Commands(unit), c.commands);
        EXPECT_EQ(MainStatus(), c.last_message);
        EXPECT_FALSE(SetupMarked());
    }
}

// A file opened with no unit, then a unit connected: nothing of the file is read over unless the
// user says so; kept, the rows a unit of another type would not take as the file meant them
// are named.
TEST_F(TransferTest, FileOpenedWithoutUnit_Connecting_AsksBeforeReadingOverIt) {
    struct Case {
        const char* name;
        uint8_t device_type;
        int answer;  // 1 "Keep Edits", 2 "Read Unit"
        std::vector<double> durations;
        std::string status;
    };
    const std::vector<Case> cases = {
        {"kept",
         device_type::kOrvaneHf,
         1,
         {2.5, 1.0},
         "Edits kept, not sent to Orvane HF # 3000: \"Accept Changes\" sends them"},
        {"read over", device_type::kOrvaneHf, 2, {2.0}, ""},
        {"kept for another type",
         device_type::kOrvaneLf,
         1,
         {2.5, 1.0},
         "Edits kept, not sent to Orvane LF # 3002: \"Accept Changes\" sends them; row 1 "
         "cannot be sent to it as they stand"},
    };
    testing::TempDir files;
    const std::string path = files.Path() + "/desk.tlk";
    std::ofstream(path) << "[Event 01]\nFrequency = 4000\nLevel = 0\nTime = 25\nType = 5\n"
                           "[Event 02]\nTime = 10\nType = 3\n[Unit]\nType = Orvane HF\n";
    int port = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Disconnect(program);
        ASSERT_EQ(LoadConfigurationFile(program, path).code, 0) << MainStatus();
        ui.AnswerGeneric(c.answer);
        sim::UnitState state;
        state.device_type = c.device_type;
        state.firmware = c.device_type == device_type::kOrvaneLf ? "v1.2.0" : "v2.1.4";
        state.serial_number = static_cast<uint16_t>(3000 + port);
        const size_t told_before = StatusHistory(Panel::MAIN).size();
        ConnectUnit(++port, state, {UnitRest(20)});

        std::vector<double> durations;
        for (int row = 1; row <= grid.RowCount(); ++row) {
            durations.push_back(grid.Number(col::kDuration, row));
        }
        EXPECT_EQ(durations, c.durations);
        EXPECT_EQ(TableMarked(), c.answer == 1);
        std::vector<std::string> kept;
        const std::vector<std::string> told = StatusHistory(Panel::MAIN);
        for (size_t k = told_before; k < told.size(); ++k) {
            if (told[k].starts_with("Edits kept")) {
                kept.push_back(told[k]);
            }
        }
        EXPECT_EQ(kept, c.status.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{c.status});
        if (c.answer == 1) {
            EXPECT_EQ(MainStatus(), c.status) << "what was kept is what the window says last";
        }
    }
}

TEST_F(TransferTest, RetrieveEventTable_FiveEventsIntoEightRows) {
    struct Case {
        const char* name;
        int16_t past_end_result;
        int rows_after;
    };
    const Case cases[] = {
        {"ended by Does not Exist", sim::kEventDoesNotExist, 5},
        {"ended by Past End of Table", sim::kEventPastEndOfTable, 8},
    };
    int port = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitState state;
        state.serial_number = static_cast<uint16_t>(4000 + port);
        state.past_end_result = c.past_end_result;
        ++port;
        std::vector<sim::StoredEvent> eight;
        for (uint16_t tenths = 1; tenths <= 8; ++tenths) {
            eight.push_back(UnitRest(tenths));
        }
        sim::PtyServer& unit = ConnectUnit(port, state, eight);
        ASSERT_EQ(grid.RowCount(), 8);
        Change(unit, [](sim::UnitSimulator& u) {
            u.Events().clear();
            for (uint16_t tenths = 11; tenths <= 15; ++tenths) {
                u.Events().push_back(UnitRest(tenths));
            }
        });
        EXPECT_EQ(RetrieveEventTable(program), 0);

        EXPECT_EQ(unit.RequestCount(), 6u);
        ASSERT_EQ(grid.RowCount(), c.rows_after);
        for (int row = 1; row <= 5; ++row) {
            EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, row), 1.0 + row / 10.0) << row;
        }
        if (c.rows_after == 8) {
            EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, 6), 0.6) << "left as it was";
        }
        EXPECT_EQ(NewMessages().back(), "Table retrieved successfully");
        EXPECT_FALSE(AnyTransferMark());
        EXPECT_EQ(ui.ProgressText(Panel::MAIN), "Events read: 5");
        EXPECT_EQ(ui.ProgressHistory(Panel::MAIN).back(), 5 * 100 / 40);
        EXPECT_FALSE(ui.Progress(Panel::MAIN).has_value());
    }
}

TEST_F(TransferTest, RefreshTable_EndedByPastEndOfTable_DropsTheRowsBeyondAsUndoDoes) {
    sim::UnitState state;
    state.past_end_result = sim::kEventPastEndOfTable;
    sim::PtyServer& unit = ConnectUnit(1, state, {UnitRest(5), UnitRest(6)});
    BuildTableMenu(program);
    AppendRest(3.0);
    unit.ClearRequestLog();

    ASSERT_TRUE(ui.ChooseMenuItem(Panel::MAIN, Control::EVENT_TABLE, "Refresh Table"));

    EXPECT_EQ(unit.RequestCount(), 3u);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, 2), 0.6);
    EXPECT_FALSE(TableMarked());
    EXPECT_EQ(MainStatus(), "Table refreshed successfully");
}

TEST_F(TransferTest, UndoChanges_UnitAnswersAnIndexFarPastTheGrid_NoRowLeftMarked) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(1), UnitRest(2), UnitRest(3), UnitRest(4)});
    AppendRest(5.0);
    // The fourth enquiry is answered "success" for index 200: result 0, index, a rest of 0.5 s.
    Change(unit, [](sim::UnitSimulator& u) {
        u.InjectFault(Fault::ReplacePayload({0x00, 0x00, 200, 0x03, 0x05, 0x00})
                          .OnlyFor(Command::EventEnquire)
                          .After(3));
    });

    Press(program, Panel::MAIN, Control::UNDO_CHANGES);

    EXPECT_EQ(MainStatus(), "Undo changes failed");
    EXPECT_TRUE(TableMarked());
    EXPECT_FALSE(AnyTransferMark()) << "row 3, the last one read, is not left marked";
}

TEST_F(TransferTest, UnitThatNeverEnds_ReadingAndClearingStopAfterFortyEvents) {
    sim::PtyServer& unit = ConnectUnit(1);
    Change(unit, [](sim::UnitSimulator& u) { u.Events().assign(45, UnitRest(5)); });

    EXPECT_EQ(RetrieveEventTable(program), 0xFFFE);
    EXPECT_EQ(unit.RequestCount(), 41u);
    EXPECT_EQ(grid.RowCount(), 40);
    EXPECT_EQ(MainStatus(), "Event #41 Error: Too Many Events");
    EXPECT_FALSE(AnyTransferMark());

    Change(unit, [](sim::UnitSimulator& u) {
        u.InjectFault(Fault::ReplacePayload({0, 0}).OnlyFor(Command::EventRemove).Forever());
    });
    unit.ClearRequestLog();
    EXPECT_EQ(SendEventTable(program).code, 0xFFFE);
    EXPECT_EQ(unit.RequestCount(), 41u);
    EXPECT_EQ(MainStatus(), "Event Remove Error, Code: 65534");
}

TEST_F(TransferTest, ResyncAfterUpdate_KeepOrReread) {
    // Rows made while the unit took clicks; the update brought firmware without them.
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5), UnitRest(6)});
    ASSERT_EQ(grid.RingItemCount(col::kType, 1), 5);
    Change(unit, [](sim::UnitSimulator& u) {
        u.State().firmware = "v1.9.9";
        u.Events().clear();
        u.InjectFault(Fault::ReplacePayload({0xFB, 0xFF, 0x00}).OnlyFor(Command::EventAdd));
    });
    ASSERT_GE(EnquireUnit(program, false), 0);
    unit.ClearRequestLog();
    NewMessages();

    ResyncAfterUpdate(program, true);
    EXPECT_EQ(UpTo(Commands(unit), Command::RestoreSettings),
              CommandsOf({Command::EventRemove, Command::EventAdd, Command::RestoreSettings}));
    EXPECT_EQ(MainStatus(), "Accept changes failed");
    EXPECT_EQ(grid.RingItemCount(col::kType, 1), 4);
    EXPECT_EQ(grid.RingItemCount(col::kType, 2), 4);
    EXPECT_TRUE(TableMarked());

    Change(unit, [](sim::UnitSimulator& u) {
        u.Events().clear();
        u.Saved() = {};
    });
    unit.ClearRequestLog();
    ResyncAfterUpdate(program, true);
    EXPECT_EQ(UnitEvents(unit), (std::vector<sim::StoredEvent>{UnitRest(5), UnitRest(6)}))
        << "sent although the table was not edited";
    EXPECT_EQ(MainStatus(), "Retrieved table and setup successfully");
    EXPECT_FALSE(TableMarked());

    Change(unit, [](sim::UnitSimulator& u) {
        u.InjectFault(Fault::Drop().OnlyFor(Command::EventEnquire).Forever());
    });
    unit.ClearRequestLog();
    ResyncAfterUpdate(program, false);
    EXPECT_EQ(Commands(unit)[0], CommandCode(Command::EventEnquire)) << "nothing sent first";
    EXPECT_EQ(MainStatus(), "Update display failed");
}

}  // namespace
}  // namespace keelsong
