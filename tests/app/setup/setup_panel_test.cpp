// The setup controls: what each field shows, what each edit marks, which controls each unit
// allows, the unit type's limits, and the ADVANCED pop-up.
#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "app/setup/setup_fixture.h"
#include "app/shell/text_format.h"
#include "app/state/change_marks.h"
#include "platform/posix_platform.h"

namespace keelsong {
namespace {

using testing::ScopedTimeZone;
using testing::SetupFixture;
using testing::UnitDescription;
namespace col = grid_column;

constexpr UnitDescription kLf{device_type::kOrvaneLf, 0x010103};
constexpr UnitDescription kLfCountingLastEvent{device_type::kOrvaneLf, 0x010102};
constexpr UnitDescription kHf{device_type::kOrvaneHf, 0x020104};
constexpr UnitDescription kOlderHf{device_type::kOrvaneHf, 0x010909};
constexpr UnitDescription kHfR1{device_type::kOrvaneHfR1, 0x020104};
constexpr UnitDescription kQuelmarHf{device_type::kQuelmarHf, 0x020104};
constexpr UnitDescription kHfInLoader{device_type::kOrvaneHf, 0x000301};

// ---- The enabled state for each unit ----

constexpr Control kUnitControls[] = {
    Control::PLAY,           Control::CONTINUOUS,   Control::PLAYBACKS,   Control::REST_TIME,
    Control::EVENT_INSERT,   Control::EVENT_ADD,    Control::EVENT_REM,   Control::CLEAR_TABLE,
    Control::EVENT_TABLE,    Control::STORE_EVENTS, Control::LOAD_EVENTS, Control::MAG_SWITCH,
    Control::ACCEPT_CHANGES, Control::UNDO_CHANGES,
};
constexpr Control kClockControls[] = {
    Control::SET_INSTRUMENT_TIME,
    Control::ENABLE_START_TIME,
    Control::YEAR,
    Control::MONTH,
    Control::DAY,
    Control::HOUR,
    Control::MIN,
    Control::TEXTMSG_ON,
    Control::SYNC_MODE,
    Control::ENCODE_TIME,
};
constexpr Control kClockIndicators[] = {Control::BATT_ICON, Control::PLAY_CODE_MSG,
                                        Control::SYNC_ICON};

struct EnabledCase {
    const char* name;
    UnitDescription unit;
    bool unit_controls;   // the repeat controls, the grid, Play, Accept and Undo
    bool clock_controls;  // start time, sync and "Set Using PC"
    bool advanced_button;
    bool autosave;
    bool reset;
};

class EnabledStateTest : public SetupFixture, public ::testing::WithParamInterface<EnabledCase> {};

TEST_P(EnabledStateTest, EveryControl_FollowsTheUnit) {
    const EnabledCase& c = GetParam();
    // From either starting state the same picture: every control is set, none left over.
    for (const bool start_dimmed : {true, false}) {
        SCOPED_TRACE(start_dimmed ? "from dimmed" : "from enabled");
        for (Panel panel : {Panel::MAIN, Panel::ADVANCED}) {
            for (Control control : ControlsOf(panel)) {
                ui.SetDimmed(panel, control, start_dimmed);
                ui.SetVisible(panel, control, !start_dimmed);
            }
        }
        // Values that would otherwise keep controls dimmed on any unit.
        ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 1);
        ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 1);
        ui.SetInt(Panel::MAIN, Control::SYNC_MODE, 0);
        program.Marks().table_changed = true;

        Identify(c.unit);

        EXPECT_FALSE(Dimmed(Control::ENQUIRE));
        EXPECT_TRUE(Dimmed(Control::STOP));  // not playing
        EXPECT_EQ(ui.IsVisible(Panel::MAIN, Control::TEMP_HUMI), c.unit_controls);
        for (Control control : kUnitControls) {
            EXPECT_EQ(Dimmed(control), !c.unit_controls) << ControlName(control);
        }
        for (Control control : kClockControls) {
            EXPECT_EQ(Dimmed(control), !c.clock_controls) << ControlName(control);
        }
        for (Control control : kClockIndicators) {
            EXPECT_EQ(ui.IsVisible(Panel::MAIN, control), c.clock_controls) << ControlName(control);
        }
        if (!c.clock_controls) {
            EXPECT_FALSE(ui.IsVisible(Panel::MAIN, Control::CHARGING_ICON));
        }
        EXPECT_EQ(Dimmed(Control::ADVANCED), !c.advanced_button);
        EXPECT_EQ(Dimmed(Control::AUTOSAVE, Panel::ADVANCED), !c.autosave);
        EXPECT_EQ(Dimmed(Control::RESET, Panel::ADVANCED), !c.reset);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Units, EnabledStateTest,
    ::testing::Values(EnabledCase{"OrvaneLf", kLf, true, false, true, true, false},
                      EnabledCase{"OrvaneHfBefore200", kOlderHf, true, false, true, true, true},
                      EnabledCase{"OrvaneHf214", kHf, true, true, true, true, true},
                      EnabledCase{"OrvaneHfR1", kHfR1, true, false, true, true, false},
                      EnabledCase{"QuelmarHf", kQuelmarHf, false, false, false, true, false},
                      EnabledCase{"AdminMode", kHfInLoader, false, false, true, false, false}),
    [](const ::testing::TestParamInfo<EnabledCase>& info) { return info.param.name; });

// ---- Limits ----

TEST_F(SetupFixture, UnitTypeLimits_RangesTitlesAndRest) {
    struct Case {
        const char* name;
        UnitDescription unit;
        std::pair<double, double> frequency;
        const char* level_title;
        std::pair<double, double> level;
        double longest_rest;
    };
    const Case cases[] = {
        {"LF", kLf, {20, 8000}, "Attenuation(dB)", {0, 24}, 429496729.0},
        {"HF 2.0.5",
         {device_type::kOrvaneHf, 0x020005},
         {3000, 200000},
         "Level(dB)",
         {-20, 0},
         3024000.0},
        {"HF 2.0.6",
         {device_type::kOrvaneHf, 0x020006},
         {3000, 200000},
         "Level(dB)",
         {-24, 7},
         3024000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Identify(c.unit);
        const EventGridModel& grid = program.Grid();
        for (int column : {col::kStartFrequency, col::kEndFrequency}) {
            EXPECT_EQ(grid.ColumnDefault(column)->minimum, c.frequency.first);
            EXPECT_EQ(grid.ColumnDefault(column)->maximum, c.frequency.second);
        }
        EXPECT_EQ(grid.ColumnTitle(col::kLevel), c.level_title);
        EXPECT_EQ(grid.ColumnDefault(col::kLevel)->minimum, c.level.first);
        EXPECT_EQ(grid.ColumnDefault(col::kLevel)->maximum, c.level.second);
        EXPECT_DOUBLE_EQ(grid.ColumnDefault(col::kDuration)->minimum, 0.1);
        EXPECT_EQ(ui.Range(Panel::MAIN, Control::REST_TIME), std::make_pair(0.0, c.longest_rest));
    }
}

TEST_F(SetupFixture, UnsupportedUnit_ReportedAndLimitsKept) {
    Identify(kHf);
    Identify(kQuelmarHf);
    EXPECT_EQ(StatusText(), "Unsupported: Quelmar HF # 1042 Firmware v2.1.4");
    EXPECT_EQ(StatusColor(), kColorRed);
    EXPECT_EQ(program.Grid().ColumnTitle(col::kLevel), "Level(dB)");
    EXPECT_EQ(program.Grid().ColumnDefault(col::kLevel)->maximum, 7);
}

TEST_F(SetupFixture, YearRange_EndsBeforeSignedSecondsRunOut) {
    const auto year = ui.Range(Panel::MAIN, Control::YEAR);
    ASSERT_TRUE(year);
    // The last minute the panel can show, in the zone furthest behind UTC, still fits.
    platform.SetLocalOffset(-12 * 3600);
    ui.SetInt(Panel::MAIN, Control::YEAR, 9999);  // held at the range's end
    ui.SetInt(Panel::MAIN, Control::MONTH, 11);
    ui.SetInt(Panel::MAIN, Control::DAY, 31);
    ui.SetInt(Panel::MAIN, Control::HOUR, 23);
    ui.SetInt(Panel::MAIN, Control::MIN, 59);
    EXPECT_EQ(Int(Control::YEAR), static_cast<int>(year->second));
    const int64_t latest = *platform.FromLocal({static_cast<int>(year->second), 12, 31, 23, 59, 0});
    EXPECT_LE(latest, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(StartTimeFromControls(program), latest);
    EXPECT_GE(year->first, 1970);
}

// ---- Fields on the controls ----

TEST_F(SetupFixture, OrvaneLf112_LastEventAllowanceOnTheWireOnly) {
    struct Case {
        const char* name;
        UnitDescription unit;
        const char* type_text;
        int32_t type;
        double duration;
        double frequency;
        uint32_t sent;  // for 5.0 s on the panel
    };
    const Case cases[] = {
        {"firmware 1.1.3", kLf, "Sweep", 2, 2.0, 100, 50},
        {"last tone of 1000 cycles at 400 Hz", kLfCountingLastEvent, "Tone", 1, 1000, 400, 70},
        {"last rest", kLfCountingLastEvent, "Rest", 3, 4.0, 0, 50},
        {"last sweep of 2.0 s", kLfCountingLastEvent, "Sweep", 2, 2.0, 100, 70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Identify(c.unit);
        EmptyEventGrid(program);
        AddRow("Sweep", 2);  // only the last row counts
        const int row = AddRow(c.type_text, c.type);
        program.Grid().SetNumber(col::kDuration, row, c.duration);
        program.Grid().SetNumber(col::kStartFrequency, row, c.frequency);

        ui.SetDouble(Panel::MAIN, Control::REST_TIME, 5.0);
        EXPECT_EQ(ReadSetupField(program, 3), c.sent);
        ui.SetDouble(Panel::MAIN, Control::REST_TIME, 0);
        ShowSetupField(program, 3, c.sent);
        EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 5.0);
    }
    // A returned rest at or below the last case's allowance (2.0 s) is shown as it came.
    ShowSetupField(program, 3, 15);
    EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 1.5);
}

// ---- Sync mode ----

TEST_F(SetupFixture, SyncModes_LabelAndDimTheTimeMessageBox) {
    struct Step {
        int mode;
        const char* label;
        bool encode_dimmed;
    };
    // Applied in order on an Orvane HF 2.1.4: "Disabled" keeps the label before it.
    const Step steps[] = {
        {1, "Encode time in PPS", false},   {4, "Encode time in PPS", true},
        {0, "Decode time from PPS", false}, {1, "Encode time in PPS", false},
        {2, "Decode time from PPS", false},
    };
    Identify(kHf);
    for (const Step& step : steps) {
        ShowSetupField(program, 0, static_cast<uint32_t>(step.mode));
        EXPECT_EQ(Int(Control::SYNC_MODE), step.mode);
        EXPECT_EQ(ui.Label(Panel::MAIN, Control::ENCODE_TIME), step.label) << step.mode;
        EXPECT_EQ(Dimmed(Control::ENCODE_TIME), step.encode_dimmed) << step.mode;
        EXPECT_EQ(ReadSetupField(program, 0), static_cast<uint32_t>(step.mode));
    }
}

TEST_F(SetupFixture, InvalidSyncMode_ReportedAndNothingChanges) {
    Identify(kHf);
    ShowSyncMode(program, 2);
    for (const int64_t mode : {3LL, 0xFFFFFFFFLL}) {
        ShowSetupField(program, 0, static_cast<uint32_t>(mode));
        EXPECT_EQ(StatusText(), FormatText("Unknown sync mode, Code: %d",
                                           static_cast<int>(static_cast<int32_t>(mode))));
        EXPECT_EQ(StatusColor(), kColorRed);
        EXPECT_EQ(Int(Control::SYNC_MODE), 2);
        EXPECT_FALSE(Dimmed(Control::ENCODE_TIME));
        EXPECT_EQ(ui.Label(Panel::MAIN, Control::ENCODE_TIME), "Decode time from PPS");
    }
}

// ---- Start time ----

TEST_F(SetupFixture, StartTimeAtUtcPlusOne_SentAsSecondsSince1970) {
    ScopedTimeZone zone("<+01>-1");  // one hour ahead of UTC, no daylight saving
    PosixPlatform posix;
    Program local_program{ui, port, posix};
    InstallSetupPanel(local_program);
    local_program.SetupFormat() = setup_format::kTagged;
    ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 1);
    ui.SetInt(Panel::MAIN, Control::YEAR, 2024);
    ui.SetInt(Panel::MAIN, Control::MONTH, 2);  // March
    ui.SetInt(Panel::MAIN, Control::DAY, 1);
    ui.SetInt(Panel::MAIN, Control::HOUR, 12);
    ui.SetInt(Panel::MAIN, Control::MIN, 30);
    EXPECT_EQ(ReadSetupField(local_program, 1), 1709292600u);

    // And back: the same minute on the controls, ticked and open.
    for (Control control : {Control::YEAR, Control::DAY, Control::HOUR, Control::MIN}) {
        ui.SetInt(Panel::MAIN, control, 1);
    }
    ShowSetupField(local_program, 1, 1709292600u);
    EXPECT_EQ(Int(Control::ENABLE_START_TIME), 1);
    EXPECT_EQ(Int(Control::YEAR), 2024);
    EXPECT_EQ(Int(Control::MONTH), 2);
    EXPECT_EQ(Int(Control::DAY), 1);
    EXPECT_EQ(Int(Control::HOUR), 12);
    EXPECT_EQ(Int(Control::MIN), 30);
    EXPECT_FALSE(Dimmed(Control::YEAR));
}

TEST_F(SetupFixture, NoStartTime_ShowsThePresentTimeUnticked) {
    platform.SetUtcNow(1709292600);  // 2024-03-01 11:30 UTC
    platform.SetLocalOffset(3600);
    Identify(kHf);
    for (const uint32_t none : {0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(none);
        ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 1);
        ui.SetInt(Panel::MAIN, Control::YEAR, 2030);
        MarkSetupChanged(program, false);
        ShowSetupField(program, 1, none);
        EXPECT_EQ(Int(Control::ENABLE_START_TIME), 0);
        EXPECT_EQ(Int(Control::YEAR), 2024);
        EXPECT_EQ(Int(Control::MONTH), 2);
        EXPECT_EQ(Int(Control::DAY), 1);
        EXPECT_EQ(Int(Control::HOUR), 12);
        EXPECT_EQ(Int(Control::MIN), 30);
        for (Control control : {Control::YEAR, Control::MONTH, Control::DAY, Control::HOUR,
                                Control::MIN, Control::TEXTMSG_ON}) {
            EXPECT_TRUE(Dimmed(control)) << ControlName(control);
        }
        EXPECT_EQ(ReadSetupField(program, 1), 0xFFFFFFFFu);
        // Showing a start time marks the setup; whoever read it clears the mark.
        EXPECT_TRUE(program.Marks().setup_changed);
    }
}

// ---- Change marks ----

TEST_F(SetupFixture, ChangeMarks_ButtonsFollowOnlyTheCombinedState) {
    enum class Mark { Table, Setup };
    struct Step {
        Mark mark;
        bool value;
        std::optional<bool> buttons_dimmed_before;  // set by hand to see whether it is touched
        bool buttons_dimmed_after;
    };
    const Step steps[] = {
        {Mark::Setup, true, true, false},    // clear → set: enabled
        {Mark::Table, true, true, true},     // already set: left alone
        {Mark::Setup, false, false, false},  // the table keeps it set
        {Mark::Setup, false, true, true},    // clearing a clear mark: left alone
        {Mark::Table, false, false, true},   // set → clear: dimmed
        {Mark::Table, false, false, false},  // still clear: left alone
        {Mark::Table, true, true, false},    // clear → set: enabled
    };
    Identify(kHf);
    MarkTableChanged(program, false);
    MarkSetupChanged(program, false);
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const Step& step = steps[i];
        if (step.buttons_dimmed_before) {
            ui.SetDimmed(Panel::MAIN, Control::ACCEPT_CHANGES, *step.buttons_dimmed_before);
            ui.SetDimmed(Panel::MAIN, Control::UNDO_CHANGES, *step.buttons_dimmed_before);
        }
        if (step.mark == Mark::Table) {
            MarkTableChanged(program, step.value);
        } else {
            MarkSetupChanged(program, step.value);
        }
        EXPECT_EQ(Dimmed(Control::ACCEPT_CHANGES), step.buttons_dimmed_after);
        EXPECT_EQ(Dimmed(Control::UNDO_CHANGES), step.buttons_dimmed_after);
    }
}

TEST_F(SetupFixture, ChangeMarks_WithNoUnit_ButtonsStayDimmed) {
    // A unit was there, then the no-connection display dimmed its controls.
    Identify(kHf);
    MarkTableChanged(program, false);
    MarkSetupChanged(program, false);
    SetUnitControlsDimmed(program, true);

    // Marks set while no unit can take them (a file opened from the command line, say).
    MarkSetupChanged(program, true);
    MarkTableChanged(program, true);
    EXPECT_TRUE(Dimmed(Control::ACCEPT_CHANGES));
    EXPECT_TRUE(Dimmed(Control::UNDO_CHANGES));

    // A unit again: the marks show.
    SetUnitControlsDimmed(program, false);
    EXPECT_FALSE(Dimmed(Control::ACCEPT_CHANGES));
}

TEST_F(SetupFixture, StartTimeEnabled_InThePast_WarnsInTheStatusLine) {
    struct Case {
        const char* name;
        int64_t start_from_now;  // seconds
        Control edited;
        bool warned;
    };
    const Case cases[] = {
        // "Enable:" ticked shows the present minute, which has begun already.
        {"ticked on the present minute", 0, Control::ENABLE_START_TIME, true},
        {"ticked an hour ahead", 3600, Control::ENABLE_START_TIME, false},
        {"day set back by one", -86400, Control::DAY, true},
        {"minute set a minute ahead", 120, Control::MIN, false},
    };
    Identify(kHf);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShowStartTime(program, static_cast<int32_t>(platform.UtcNow() + c.start_from_now));
        ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, c.edited == Control::ENABLE_START_TIME);
        program.ShowStatusMessage(true, "before");

        if (c.edited == Control::ENABLE_START_TIME) {
            ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 1);
            Press(program, Panel::MAIN, Control::ENABLE_START_TIME);
        } else {
            ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 1);
            Press(program, Panel::MAIN, c.edited, UiEvent::ValueChanged);
        }

        if (c.warned) {
            EXPECT_EQ(StatusText(), kStartTimePassedText);
            EXPECT_EQ(StatusColor(), kColorRed);
        } else {
            EXPECT_EQ(StatusText(), "before");
        }
    }
    // Unticked, a past time says nothing: the unit is not told to wait for it.
    ShowStartTime(program, static_cast<int32_t>(platform.UtcNow() - 86400));
    ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 0);
    program.ShowStatusMessage(true, "before");
    Press(program, Panel::MAIN, Control::ENABLE_START_TIME);
    Press(program, Panel::MAIN, Control::HOUR, UiEvent::ValueChanged);
    EXPECT_EQ(StatusText(), "before");
}

TEST_F(SetupFixture, TableChangeOnOrvaneLf_AlsoASetupChangeUpTo112) {
    for (const auto& [unit, setup_too] :
         {std::pair{kLfCountingLastEvent, true}, std::pair{kLf, false}, std::pair{kHf, false}}) {
        Identify(unit);
        MarkTableChanged(program, false);
        MarkSetupChanged(program, false);
        MarkTableChanged(program, true);
        EXPECT_TRUE(program.Marks().table_changed);
        EXPECT_EQ(program.Marks().setup_changed, setup_too) << unit.firmware;
        EXPECT_FALSE(Dimmed(Control::ACCEPT_CHANGES));
    }
}

TEST_F(SetupFixture, ContinuousChosen_DimsCountAndEnablesAccept) {
    Identify(kHf);
    ShowSetupField(program, 2, 4);
    MarkSetupChanged(program, false);
    ASSERT_TRUE(Dimmed(Control::ACCEPT_CHANGES));

    ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 0);
    Press(program, Panel::MAIN, Control::CONTINUOUS, UiEvent::Commit);
    Press(program, Panel::MAIN, Control::CONTINUOUS, UiEvent::ValueChanged);
    EXPECT_TRUE(Dimmed(Control::PLAYBACKS));
    EXPECT_TRUE(program.Marks().setup_changed);
    EXPECT_FALSE(Dimmed(Control::ACCEPT_CHANGES));
    EXPECT_FALSE(Dimmed(Control::UNDO_CHANGES));

    ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 1);
    Press(program, Panel::MAIN, Control::CONTINUOUS, UiEvent::Commit);
    EXPECT_FALSE(Dimmed(Control::PLAYBACKS));
}

TEST_F(SetupFixture, EverySetupEdit_MarksTheSetup) {
    Identify(kHf);
    for (Control control :
         {Control::PLAYBACKS, Control::REST_TIME, Control::YEAR, Control::MONTH, Control::DAY,
          Control::HOUR, Control::MIN, Control::ENCODE_TIME, Control::MAG_SWITCH}) {
        MarkSetupChanged(program, false);
        Press(program, Panel::MAIN, control, UiEvent::Commit);
        EXPECT_FALSE(program.Marks().setup_changed) << ControlName(control);
        Press(program, Panel::MAIN, control, UiEvent::ValueChanged);
        EXPECT_TRUE(program.Marks().setup_changed) << ControlName(control);
    }
}

// ---- The ADVANCED pop-up ----

TEST_F(SetupFixture, AdvancedApply_TakesTheChoiceAndStaysOpen) {
    Press(program, Panel::MAIN, Control::ADVANCED, UiEvent::Commit);
    ui.SetInt(Panel::ADVANCED, Control::AUTOSAVE, 1);
    Press(program, Panel::ADVANCED, Control::AUTOSAVE, UiEvent::ValueChanged);
    EXPECT_FALSE(program.Marks().setup_changed);  // the AUTOSAVE box is no setup edit
    Press(program, Panel::ADVANCED, Control::APPLY, UiEvent::Commit);
    EXPECT_TRUE(SaveBeforePlaying(program));
    EXPECT_EQ(StatusText(), "Applied advanced settings");
    EXPECT_TRUE(Dimmed(Control::APPLY, Panel::ADVANCED));
    EXPECT_TRUE(ui.IsPopupInstalled(Panel::ADVANCED));

    Press(program, Panel::ADVANCED, Control::CANCEL, UiEvent::Commit);
    EXPECT_TRUE(ui.Popups().empty());  // nothing left to apply: no question
    EXPECT_FALSE(ui.IsPopupInstalled(Panel::ADVANCED));
}

TEST_F(SetupFixture, AdvancedCloseWithUnappliedChange_AnswersYesNoCancel) {
    struct Case {
        int button;
        bool save_before_playing;
        int autosave_box;
        bool still_open;
    };
    const Case cases[] = {
        {1, true, 1, false},             // Yes: applied
        {2, false, 0, false},            // No: the box goes back
        {3, false, 1, true},             // Cancel: nothing changes, the pop-up stays
        {kPopupClosed, false, 1, true},  // the question closed: as Cancel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        HeadlessUi fresh_ui;
        Program fresh{fresh_ui, port, platform};
        InstallSetupPanel(fresh);
        fresh_ui.RecordHistory(Panel::MAIN, Control::STATUS_LINE);
        fresh_ui.SetText(Panel::ADVANCED, Control::FW_STAGE_STR, "Stage 3");
        Press(fresh, Panel::MAIN, Control::ADVANCED, UiEvent::Commit);
        fresh_ui.SetInt(Panel::ADVANCED, Control::AUTOSAVE, 1);
        Press(fresh, Panel::ADVANCED, Control::AUTOSAVE, UiEvent::ValueChanged);
        fresh_ui.AnswerGeneric(c.button);

        Press(fresh, Panel::ADVANCED, Control::CANCEL, UiEvent::Commit);
        ASSERT_EQ(fresh_ui.Popups().size(), 1u);
        EXPECT_EQ(fresh_ui.Popups()[0].title, "Prompts");
        EXPECT_EQ(fresh_ui.Popups()[0].text, "Save new settings before closing?");
        EXPECT_EQ(fresh_ui.Popups()[0].buttons, (std::vector<std::string>{"Yes", "No", "Cancel"}));
        EXPECT_EQ(fresh_ui.Popups()[0].enter_button, 1);
        EXPECT_EQ(fresh_ui.Popups()[0].escape_button, 2);
        EXPECT_EQ(SaveBeforePlaying(fresh), c.save_before_playing);
        EXPECT_EQ(fresh_ui.IntValue(Panel::ADVANCED, Control::AUTOSAVE), c.autosave_box);
        EXPECT_EQ(fresh_ui.IsPopupInstalled(Panel::ADVANCED), c.still_open);
        EXPECT_EQ(fresh_ui.IsDimmed(Panel::ADVANCED, Control::APPLY), !c.still_open);
        EXPECT_EQ(fresh_ui.TextValue(Panel::ADVANCED, Control::FW_STAGE_STR), "");
        EXPECT_TRUE(fresh_ui.History(Panel::MAIN, Control::STATUS_LINE).empty());
    }
}

}  // namespace
}  // namespace keelsong
