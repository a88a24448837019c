// The event grid: how a row is set up for each type and unit, the cell rules that keep values
// in range, and the conversions between rows and event records.
#include "app/events/event_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/events/event_table_fixture.h"
#include "app/state/event_grid_model.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using Unit = testing::EventTableFixture::Unit;

struct EventGridTest : testing::EventTableFixture {
    EventGridModel& grid = program.Grid();
};

// Columns 2-7 in order: Duration, Unit, Start Freq, End Freq, Level, Phase.
using Dimming = std::array<bool, 6>;

TEST_F(EventGridTest, NewRow_ShowsNoneWithDefaultsAndEverythingButTypeDimmed) {
    Connect(Unit::Hf);
    ASSERT_EQ(InsertEventRow(program, 1), 0);
    EXPECT_EQ(grid.Text(col::kType, 1), "None");
    EXPECT_FALSE(grid.IsDimmed(col::kType, 1));
    EXPECT_EQ(grid.DisplayText(col::kDuration, 1), "1.0");
    EXPECT_EQ(grid.Text(col::kUnit, 1), "Seconds");
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 3000);  // the column minimum
    EXPECT_EQ(grid.Number(col::kEndFrequency, 1), 200000);  // the column maximum
    EXPECT_EQ(grid.Number(col::kLevel, 1), 0);
    EXPECT_EQ(grid.Number(col::kPhase, 1), 0);
    for (int column = col::kDuration; column <= col::kPhase; ++column) {
        EXPECT_TRUE(grid.IsDimmed(column, 1)) << column;
    }
    EXPECT_EQ(grid.Cell(col::kUnit, 1)->items, (std::vector<std::string>{"Seconds", "Cycles"}));
}

TEST_F(EventGridTest, RowTypes_DimAndSetUpCellsByTypeAndDevice) {
    struct Expect {
        int32_t type;
        Dimming dimmed;  // on an LF or HF; an HF(R1) also dims Level
        bool cycles;
    };
    const Expect types[] = {
        {0, {true, true, true, true, true, true}, false},
        {1, {false, false, false, true, false, true}, true},
        {2, {false, false, false, false, false, true}, false},
        {3, {false, false, true, true, true, true}, false},
        {4, {false, false, false, true, false, false}, false},
        {5, {false, false, false, true, false, true}, false},
        {9, {false, false, true, true, true, true}, false},  // unknown: only 4-7 dimmed
    };
    struct Device {
        Unit unit;
        bool level_always_dimmed;
        bool tone_unit_choice;
    };
    const Device devices[] = {
        {Unit::None, false, true},
        {Unit::Lf, false, false},
        {Unit::Hf, false, false},
        {Unit::HfR1, true, true},
    };
    for (const Device& device : devices) {
        Connect(device.unit);
        for (const Expect& e : types) {
            SCOPED_TRACE(::testing::Message()
                         << "device " << program.Unit().device_type << " type " << e.type);
            EmptyEventGrid(program);
            ASSERT_EQ(InsertEventRow(program, 1), 0);
            grid.SetNumber(col::kLevel, 1, -5);  // leftovers the new type must reset
            grid.SetNumber(col::kDuration, 1, 77);
            SetRowType(program, e.type, 1);

            Dimming dimmed;
            for (int column = col::kDuration; column <= col::kPhase; ++column) {
                dimmed[static_cast<size_t>(column - col::kDuration)] = grid.IsDimmed(column, 1);
            }
            Dimming expected = e.dimmed;
            if (device.level_always_dimmed) {
                expected[col::kLevel - col::kDuration] = true;
            }
            EXPECT_EQ(dimmed, expected);
            EXPECT_FALSE(grid.IsDimmed(col::kType, 1));

            const GridCell* duration = grid.Cell(col::kDuration, 1);
            EXPECT_EQ(duration->kind, e.cycles ? CellKind::Integer : CellKind::Real);
            EXPECT_EQ(duration->minimum, e.cycles ? 1.0 : 0.1);
            EXPECT_EQ(duration->number, 1.0);
            EXPECT_EQ(grid.Text(col::kUnit, 1), e.cycles ? "Cycles" : "Seconds");
            const bool tone = e.type == 1 || e.type == 5;
            EXPECT_EQ(grid.Cell(col::kUnit, 1)->choosable, tone && device.tone_unit_choice);
            EXPECT_EQ(grid.Number(col::kLevel, 1), 0);
            EXPECT_EQ(grid.Number(col::kStartFrequency, 1),
                      grid.ColumnDefault(col::kStartFrequency)->minimum);
            EXPECT_EQ(grid.Number(col::kEndFrequency, 1),
                      grid.ColumnDefault(col::kEndFrequency)->maximum);
        }
    }
}

TEST_F(EventGridTest, FortyRows_AcceptedAndTheFortyFirstRefusedWithMessage) {
    Connect(Unit::Hf);
    for (int row = 1; row <= 40; ++row) {
        ASSERT_EQ(InsertEventRow(program, static_cast<uint8_t>(row)), 0) << row;
    }
    EXPECT_TRUE(ui.Popups().empty());
    EXPECT_EQ(InsertEventRow(program, 41), -1);
    EXPECT_EQ(InsertEventRow(program, 1), -1);
    EXPECT_EQ(grid.RowCount(), 40);
    ASSERT_EQ(ui.Popups().size(), 2u);
    EXPECT_EQ(ui.Popups()[0].kind, HeadlessUi::PopupKind::Message);
    EXPECT_EQ(ui.Popups()[0].title, "Error");
    EXPECT_EQ(ui.Popups()[0].text, "Maximum number of events reached.");
}

TEST_F(EventGridTest, RowOutsideTheGrid_InsertsNothing) {
    EXPECT_EQ(InsertEventRow(program, 0), -1);
    EXPECT_EQ(InsertEventRow(program, 2), -1);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_TRUE(ui.Popups().empty());
}

TEST_F(EventGridTest, ClickItem_OfferedOnlyWithTheTaggedSetup) {
    const std::vector<std::string> four = {"None", "Tone", "Sweep", "Rest"};
    std::vector<std::string> five = four;
    five.push_back("Click");
    const std::pair<Unit, const std::vector<std::string>*> cases[] = {
        {Unit::Hf, &five}, {Unit::HfOldFirmware, &four}, {Unit::Lf, &four}, {Unit::None, &four}};
    for (const auto& [unit, items] : cases) {
        Connect(unit);
        EmptyEventGrid(program);
        InsertEventRow(program, 1);
        EXPECT_EQ(grid.Cell(col::kType, 1)->items, *items) << program.Unit().setup_format;
    }
}

TEST_F(EventGridTest, NumericCells_KeepValuesInRange) {
    Connect(Unit::Lf);
    const int tone = AddRow(TypeCode(EventType::ToneCycles));
    const int rest = AddRow(TypeCode(EventType::Rest));
    struct Case {
        int column;
        int row;
        double set;
        double stored;
    };
    const Case cases[] = {
        {col::kStartFrequency, tone, 9000, 8000},
        {col::kStartFrequency, tone, 5, 20},
        {col::kStartFrequency, tone, 440.6, 441},  // integer cells hold whole numbers
        {col::kLevel, tone, 30, 24},
        {col::kLevel, tone, -1, 0},
        {col::kDuration, tone, 0, 1},  // at least one cycle
        {col::kDuration, tone, 70000, 65535},
        {col::kDuration, rest, 0.01, 0.1},
        {col::kDuration, rest, 1.25, 1.25},  // kept as given; shown with one decimal
        {col::kDuration, rest, 7000, 6553.5},
        {col::kPhase, tone, -200, -180},
        {col::kPhase, tone, std::numeric_limits<double>::quiet_NaN(), -180},
    };
    for (const Case& c : cases) {
        grid.SetNumber(c.column, c.row, c.set);
        EXPECT_EQ(grid.Number(c.column, c.row), c.stored) << c.column << " set " << c.set;
    }
}

TEST_F(EventGridTest, NewUnitLimits_BringValuesIntoRange_TheSameLimitsAgainChangeNoCell) {
    Connect(Unit::Lf);
    const int sweep = AddRow(TypeCode(EventType::Sweep));
    grid.SetNumber(col::kStartFrequency, sweep, 440);
    grid.SetNumber(col::kLevel, sweep, 18);
    Connect(Unit::Hf);
    EXPECT_EQ(grid.Number(col::kStartFrequency, sweep), 3000);
    EXPECT_EQ(grid.Number(col::kEndFrequency, sweep), 8000);
    EXPECT_EQ(grid.Number(col::kLevel, sweep), 7);
    EXPECT_EQ(grid.ColumnTitle(col::kLevel), "Level(dB)");

    // As every poll's enquiry applies them: a view told of a change would put the cell's value
    // over what the user is typing there.
    struct CellChanges final : EventGridObserver {
        int count = 0;
        void CellChanged(int, int) override { ++count; }
    } changes;
    grid.AddObserver(&changes);
    Connect(Unit::Hf);
    grid.SetColumnMinimum(col::kDuration, grid.ColumnDefault(col::kDuration)->minimum);
    grid.RemoveObserver(&changes);
    EXPECT_EQ(changes.count, 0);
}

TEST_F(EventGridTest, UserEdits_RefusedOnDimmedCellsFixedUnitsAndStrangeItems) {
    Connect(Unit::Hf);
    const int rest = AddRow(TypeCode(EventType::Rest));
    EXPECT_FALSE(grid.UserSetNumber(col::kStartFrequency, rest, 5000));  // dimmed
    EXPECT_EQ(grid.Number(col::kStartFrequency, rest), 3000);
    EXPECT_FALSE(grid.UserSetText(col::kUnit, rest, "Cycles"));  // no choice on an HF
    EXPECT_EQ(grid.Text(col::kUnit, rest), "Seconds");
    EXPECT_FALSE(grid.UserSetText(col::kType, rest, "Chirp"));
    EXPECT_FALSE(grid.UserSetNumber(col::kDuration, rest, std::nan("")));
    EXPECT_EQ(grid.Text(col::kType, rest), "Rest");

    AddRow(TypeCode(EventType::None));
    EXPECT_TRUE(grid.UserSetNumber(col::kDuration, rest, 99999));
    EXPECT_EQ(grid.Number(col::kDuration, rest), 6553.5);
    EXPECT_EQ(grid.ActiveCell(), (EventGridModel::CellAddress{col::kDuration, rest}));
}

TEST_F(EventGridTest, RowToEvent_ToneWithoutUnitIsNoEvent) {
    const int row = AddRow(TypeCode(EventType::None));
    grid.SetText(col::kType, row, "Tone");
    EventBody body{};
    body.fill(0xAB);
    EXPECT_EQ(RowToEvent(program, body, row), 0);
    EXPECT_EQ(body[0], 0xAB);  // nothing read into the body
}

TEST_F(EventGridTest, RowToEvent_HfR1UnitChoiceDecidesTheTone) {
    Connect(Unit::HfR1);
    const int row = AddRow(TypeCode(EventType::ToneSeconds));
    grid.SetNumber(col::kStartFrequency, row, 12000);
    grid.SetNumber(col::kDuration, row, 2.5);
    EventBody body{};
    EXPECT_EQ(RowToEvent(program, body, row), 5);
    EXPECT_EQ(body[4] | body[5] << 8, 25);

    ASSERT_TRUE(grid.UserSetText(col::kUnit, row, "Cycles"));
    SetDurationUnit(program, 1, row);
    grid.SetNumber(col::kDuration, row, 300);
    EXPECT_EQ(RowToEvent(program, body, row), 1);
    EXPECT_EQ(body[4] | body[5] << 8, 300);
    EXPECT_EQ(body[6], 0);  // the level the HF(R1) cannot change
}

TEST_F(EventGridTest, EventToRow_ShowsEventsAndAddsMissingRows) {
    Connect(Unit::Hf);
    // Sweep 5000-20000 Hz, 1.0 s, -4 dB into row 1 of an empty grid.
    const EventBody sweep = {0x88, 0x13, 0, 0, 0x20, 0x4E, 0, 0, 0x0A, 0x00, 0xFC, 0};
    EventToRow(program, sweep, 2, 1);
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Text(col::kType, 1), "Sweep");
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 5000);
    EXPECT_EQ(grid.Number(col::kEndFrequency, 1), 20000);
    EXPECT_EQ(grid.DisplayText(col::kDuration, 1), "1.0");
    EXPECT_EQ(grid.Number(col::kLevel, 1), -4);
    EXPECT_FALSE(grid.IsDimmed(col::kEndFrequency, 1));

    // The same row rewritten as a rest: the sweep's values give way to the rest's defaults.
    const EventBody rest = {0x05, 0x00};
    EventToRow(program, rest, 3, 1);
    EXPECT_EQ(grid.Text(col::kType, 1), "Rest");
    EXPECT_EQ(grid.Number(col::kDuration, 1), 0.5);
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 3000);
    EXPECT_TRUE(grid.IsDimmed(col::kEndFrequency, 1));
}

TEST_F(EventGridTest, EventToRow_FilteredAndUnknownTypes) {
    Connect(Unit::HfOldFirmware);  // setup format 17: no clicks
    const EventBody click = {0x10, 0x27, 0, 0, 0xA6, 0xFF, 0x01, 0x00, 0xFD};
    EventToRow(program, click, 4, 1);
    EXPECT_EQ(grid.Text(col::kType, 1), "None");
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 3000);
    EXPECT_EQ(grid.Number(col::kPhase, 1), 0);
    EXPECT_TRUE(grid.IsDimmed(col::kDuration, 1));

    EventToRow(program, click, 0x7F, 2);
    EXPECT_EQ(grid.Text(col::kType, 2), "?");
    EXPECT_FALSE(grid.IsDimmed(col::kDuration, 2));
    EXPECT_TRUE(grid.IsDimmed(col::kStartFrequency, 2));
    EventBody body{};
    EXPECT_EQ(RowToEvent(program, body, 2), 0);  // shown, but never sent
}

TEST_F(EventGridTest, EventToRow_PastAFullGridShowsTheMessageOnly) {
    Connect(Unit::Hf);
    for (int row = 1; row <= 40; ++row) {
        InsertEventRow(program, static_cast<uint8_t>(row));
    }
    const EventBody rest = {0x05, 0x00};
    EventToRow(program, rest, 3, 41);
    EXPECT_EQ(grid.RowCount(), 40);
    EXPECT_EQ(grid.Text(col::kType, 40), "None");
    ASSERT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(ui.Popups()[0].text, "Maximum number of events reached.");
}

}  // namespace
}  // namespace keelsong
