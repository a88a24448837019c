// Play, Stop, Set Using PC, Undo, the housekeeping commands and how start-up ties them in,
// end to end against simulated units over pseudo-terminals.
#include "app/setup/playback.h"
#include "app/changes/accept_changes.h"

#include <gtest/gtest.h>

#include <optional>

#include "app/events/transfer_fixture.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "app/wiring/startup.h"
#include "protocol/unit_status.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using sim::Fault;
using testing::CommandsOf;
using testing::UnitRest;

struct PlaybackTest : testing::TransferFixture {
    std::string PlayText() const { return ui.TextValue(Panel::MAIN, Control::PLAY_CODE_MSG); }
    void PressMain(Control control) { Press(program, Panel::MAIN, control); }
    void PressAuto(Control control) { Press(program, Panel::AUTO, control); }
};

TEST_F(PlaybackTest, Play_WithoutPendingEdits_AcceptsThenPlays) {
    struct Case {
        const char* name;
        uint8_t play_state;
        testing::Commands commands;
    };
    const Case cases[] = {
        {"playing: accepting plays too", play_state::kPlaying,
         CommandsOf({Command::SaveSettings, Command::Play, Command::Play})},
        {"stopped", play_state::kStopped, CommandsOf({Command::SaveSettings, Command::Play})},
    };
    int port = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitState state;
        state.serial_number = static_cast<uint16_t>(5000 + port);
        state.play_state = c.play_state;
        sim::PtyServer& unit = ConnectUnit(++port, state, {UnitRest(5)});
        PressMain(Control::PLAY);
        EXPECT_FALSE(ui.IsPopupInstalled(Panel::AUTO));
        EXPECT_EQ(Commands(unit), c.commands);
        EXPECT_EQ(MainStatus(), "Playback started");
        EXPECT_EQ(PlayText(), "Playing");
        EXPECT_FALSE(ui.WaitCursor());
    }
}

TEST_F(PlaybackTest, Play_WithPendingEdits_AsksUnlessTheChoiceIsRemembered) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5)});
    const testing::Commands accept_and_play =
        CommandsOf({Command::SetupSet, Command::SaveSettings, Command::Play, Command::Play});

    EditSetup();
    PressMain(Control::PLAY);
    EXPECT_TRUE(ui.IsPopupInstalled(Panel::AUTO));
    ui.SetInt(Panel::AUTO, Control::REMEMBER, 1);
    PressAuto(Control::CANCEL);
    EXPECT_FALSE(ui.IsPopupInstalled(Panel::AUTO));
    EXPECT_EQ(ui.IntValue(Panel::AUTO, Control::REMEMBER), 0) << "Cancel forgets the tick";
    EXPECT_EQ(unit.RequestCount(), 0u);
    EXPECT_TRUE(program.Marks().setup_changed);

    PressMain(Control::PLAY);
    PressAuto(Control::YES);
    EXPECT_FALSE(ui.IsPopupInstalled(Panel::AUTO));
    EXPECT_EQ(Commands(unit), accept_and_play);
    EXPECT_FALSE(SaveBeforePlaying(program));
    EXPECT_FALSE(program.Marks().setup_changed);

    EditSetup();
    unit.ClearRequestLog();
    PressMain(Control::PLAY);
    ASSERT_TRUE(ui.IsPopupInstalled(Panel::AUTO)) << "asks again";
    ui.SetInt(Panel::AUTO, Control::REMEMBER, 1);
    PressAuto(Control::YES);
    EXPECT_EQ(Commands(unit), accept_and_play);
    EXPECT_TRUE(SaveBeforePlaying(program));
    EXPECT_EQ(ui.IntValue(Panel::ADVANCED, Control::AUTOSAVE), 1);
    EXPECT_EQ(ui.IntValue(Panel::AUTO, Control::REMEMBER), 1);

    EditSetup();
    unit.ClearRequestLog();
    PressMain(Control::PLAY);
    EXPECT_FALSE(ui.IsPopupInstalled(Panel::AUTO)) << "remembered";
    EXPECT_EQ(Commands(unit), accept_and_play);
}

TEST_F(PlaybackTest, Play_FailedAccept_ReportsAndDoesNotPlay) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5)});
    EditSetup();
    SetSaveBeforePlaying(program, true);
    Change(unit, [](auto& u) {
        u.InjectFault(Fault::ReplacePayload({0, 0}).OnlyFor(Command::SetupSet));
    });
    PressMain(Control::PLAY);
    EXPECT_EQ(Commands(unit), CommandsOf({Command::SetupSet}));
    EXPECT_EQ(MainStatus(), "Failed to save changes before playing");
    EXPECT_EQ(MainStatusColor(), kColorRed);
}

TEST_F(PlaybackTest, PlayUnit_TheUnitsAnswer_InDisplayAndStatusLine) {
    struct Case {
        const char* name;
        Fault answer;
        int result;
        const char* status;
        std::optional<const char*> play_text;  // nullopt: the countdown
    };
    const Case cases[] = {
        {"0", Fault::ReplacePayload({0}), -1, "No Events To Play", "Stopped (Empty Table)"},
        {"1", Fault::ReplacePayload({1}), 0, "Playback started", "Playing"},
        {"2", Fault::ReplacePayload({2}), 0, "Playback will begin when start time is reached",
         std::nullopt},
        {"3", Fault::ReplacePayload({3}), -1, "Wrong play response has been received", "Stopped"},
        {"no play state", Fault::ReplacePayload({}), -1, "Wrong play response has been received",
         ""},
        {"silent: the display keeps what it showed", Fault::Drop().Forever(), -1,
         "No response for play command, please try again", ""},
    };
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Change(unit, [&](auto& u) {
            u.ClearFaults();
            u.InjectFault(c.answer.OnlyFor(Command::Play));
        });
        EXPECT_EQ(PlayUnit(program).code, c.result);
        EXPECT_EQ(MainStatus(), c.status);
        EXPECT_EQ(MainStatusColor(), c.result == 0 ? kColorBlack : kColorRed);
        if (c.play_text) {
            EXPECT_EQ(PlayText(), *c.play_text);
        } else {
            EXPECT_TRUE(PlayText().starts_with("Play in")) << PlayText();
        }
    }
}

TEST_F(PlaybackTest, Stop_AsksFirstOnlyWhileWaiting) {
    struct Case {
        const char* name;
        uint8_t play_state;
        std::optional<bool> answer;  // nullopt: nothing asked
        bool sent;
        // What accepting sends right after: a stopped unit resumes only to wait for a start
        // time still ahead.
        testing::Commands then_accepting;
    };
    const Case cases[] = {
        {"waiting, No", play_state::kWaiting, false, false, {}},
        {"waiting, Yes", play_state::kWaiting, true, true,
         CommandsOf({Command::SaveSettings, Command::Play})},
        {"playing", play_state::kPlaying, std::nullopt, true, CommandsOf({Command::SaveSettings})},
    };
    int port = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitState state;
        state.serial_number = static_cast<uint16_t>(6000 + port);
        state.play_state = c.play_state;
        sim::PtyServer& unit = ConnectUnit(++port, state, {UnitRest(5)}, [&](auto& u) {
            if (c.play_state == play_state::kWaiting) {
                u.Setup().start_time = static_cast<int32_t>(UnitClock() + 3600);
            }
        });
        const size_t asked = ui.Popups().size();
        if (c.answer) {
            ui.AnswerConfirm(*c.answer);
        }
        const std::string text_before = PlayText();

        PressMain(Control::STOP);

        ASSERT_EQ(ui.Popups().size() - asked, c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(ui.Popups().back().title, "Continue");
            EXPECT_EQ(ui.Popups().back().text,
                      "Warning: Stopping with prevent unit from playing at the start "
                      "time.\nContinue?");
        }
        EXPECT_EQ(Commands(unit), c.sent ? CommandsOf({Command::Stop}) : testing::Commands{});
        EXPECT_EQ(PlayText(), c.sent ? "Stopped" : text_before);
        if (c.sent) {
            EXPECT_EQ(MainStatus(), "Playback stopped");
            // The unit's answer counts at once, before the next enquiry: accepting now must not
            // start a unit the user has just stopped.
            unit.ClearRequestLog();
            EXPECT_EQ(AcceptChanges(program).code, 0);
            EXPECT_EQ(Commands(unit), c.then_accepting);
        }
    }
}

TEST_F(PlaybackTest, Simulator_WaitingUnitPlaysOnceItsStartTimeComes) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5)}, [&](auto& u) {
        u.Setup().start_time = static_cast<int32_t>(UnitClock() + 60);
    });
    EXPECT_EQ(PlayUnit(program).code, 0);
    EXPECT_EQ(unit.WithSimulator([](auto& u) { return u.State().play_state; }), 2);
    SetUnitClock(UnitClock() + 61);
    ASSERT_GE(EnquireUnit(program, false), 0);
    EXPECT_EQ(program.Identity().PlayState(), play_state::kPlaying);
}

TEST_F(PlaybackTest, SetUsingPc_TheUnitsClockOrFailure) {
    struct Case {
        const char* name;
        std::optional<Fault> answer;
        const char* status;
    };
    const Case cases[] = {
        {"answered its new clock", std::nullopt, "Orvane HF time set to 22:13:20 UTC"},
        {"answered FF FF FF FF", Fault::ReplacePayload({0xFF, 0xFF, 0xFF, 0xFF}),
         "Set time failed"},
        {"answered a 7-byte frame", Fault::ReplacePayload({0x00}), "Set time failed"},
        {"answered 3 bytes of clock", Fault::ReplacePayload({0x00, 0x01, 0x02}), "Set time failed"},
        {"silent", Fault::Drop().Forever(), "Set time failed"},
    };
    sim::PtyServer& unit = ConnectUnit(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.SetUtcNow(1'700'000'000);  // 22:13:20 UTC
        Change(unit, [&](auto& u) {
            u.ClearFaults();
            if (c.answer) {
                u.InjectFault(c.answer->OnlyFor(Command::SetTime));
            }
        });
        unit.ClearRequestLog();
        SetUnitClock(1'600'000'000);
        PressMain(Control::SET_INSTRUMENT_TIME);
        EXPECT_EQ(unit.RequestLog().at(0).payload, (std::vector<uint8_t>{0x00, 0xF1, 0x53, 0x65}));
        EXPECT_EQ(MainStatus(), c.status);
        EXPECT_FALSE(ui.WaitCursor());
    }
}

TEST_F(PlaybackTest, Undo_ReadsBackOnlyWhatIsMarked) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(5), UnitRest(6)});
    EditSetup();
    PressMain(Control::UNDO_CHANGES);
    EXPECT_EQ(Commands(unit), CommandsOf({Command::SetupGet}));
    EXPECT_EQ(MainStatus(), "Undo changes successfully");
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::MAG_SWITCH), 0);
    EXPECT_FALSE(program.Marks().setup_changed);
    EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::UNDO_CHANGES));

    // A table that ends with "Past End of Table": rows the user added beyond it go too.
    Change(unit, [](auto& u) { u.State().past_end_result = sim::kEventPastEndOfTable; });
    AppendRest(3.0);
    EditNumber(col::kDuration, 1, 9.0);
    unit.ClearRequestLog();
    PressMain(Control::UNDO_CHANGES);
    EXPECT_EQ(unit.RequestCount(), 3u);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, 1), 0.5);
    EXPECT_FALSE(program.Marks().table_changed);

    // The table fails: the setup edits stay.
    AppendRest(3.0);
    EditSetup();
    Change(unit,
           [](auto& u) { u.InjectFault(Fault::Drop().OnlyFor(Command::EventEnquire).Forever()); });
    unit.ClearRequestLog();
    NewMessages();
    PressMain(Control::UNDO_CHANGES);
    const std::vector<std::string> messages = NewMessages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(messages.end() - 3, messages.end()),
              (std::vector<std::string>{"No response for event enquire command",
                                        "Retrieve table failed", "Undo changes failed"}));
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_TRUE(program.Marks().setup_changed);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::MAG_SWITCH), 1);
}

TEST_F(PlaybackTest, RetrieveTableAndSetup_FailingHalfWay_KeepsTheRowsReadSoFar) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(1), UnitRest(2), UnitRest(3), UnitRest(4)});
    Change(unit, [](auto& u) {
        u.Setup().magnetic_switch = 1;
        u.InjectFault(Fault::Drop().OnlyFor(Command::EventEnquire).After(3).Forever());
    });
    EXPECT_EQ(RetrieveTableAndSetup(program).code, -1);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(MainStatus(), "Retrieve table failed");
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_FALSE(program.Marks().setup_changed);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::MAG_SWITCH), 0) << "setup not read";
    EXPECT_EQ(Commands(unit).back(), CommandCode(Command::EventEnquire));
}

TEST_F(PlaybackTest, StartUp_TiesConnectionRefreshAndQuitToTheUnit) {
    // The connection restores the settings when the unit asks, then reads table and setup.
    sim::UnitState state;
    state.settings_restored = 0;
    sim::PtyServer& unit = AddUnit(1, state);
    Change(unit, [](auto& u) {
        u.Events() = {UnitRest(9)};
        u.Saved().events = {UnitRest(5), UnitRest(6)};
    });
    ASSERT_EQ(Connect(1), 0);
    const testing::Commands connecting = Commands(unit);
    EXPECT_EQ(testing::Commands(connecting.begin() + 2, connecting.begin() + 7),
              CommandsOf({Command::RestoreSettings, Command::EventEnquire, Command::EventEnquire,
                          Command::EventEnquire, Command::SetupGet}));
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_FALSE(program.Marks().table_changed);

    // "Refresh Table" reads through the transfer.
    BuildTableMenu(program);
    Change(unit, [](auto& u) { u.Events() = {UnitRest(7)}; });
    ASSERT_TRUE(ui.ChooseMenuItem(Panel::MAIN, Control::EVENT_TABLE, "Refresh Table"));
    EXPECT_EQ(grid.RowCount(), 1);

    // Quitting with "Save" accepts the changes first.
    platform.SetSettingsFolder(settings.Path());
    AppendRest(4.0);
    ui.AnswerGeneric(1);
    PressMain(Control::QUIT);
    const HeadlessUi::PopupRecord& question = ui.Popups().back();
    EXPECT_EQ(question.title, "Quit");
    EXPECT_EQ(question.text, "Save changes before closing?");
    EXPECT_EQ(question.buttons,
              (std::vector<std::string>{"Save", "Quit without saving", "Cancel"}));
    EXPECT_EQ(question.enter_button, 1);
    EXPECT_EQ(question.escape_button, 3);
    EXPECT_EQ(UnitEvents(unit), (std::vector<sim::StoredEvent>{UnitRest(7), UnitRest(40)}));
    EXPECT_TRUE(program.GetShell().QuitRequested());
}

}  // namespace
}  // namespace keelsong
