// The event exchanges against the simulated unit over a real pseudo-terminal: a table sent
// row by row comes back the same, and the unit's own refusals reach the status line.
#include <gtest/gtest.h>

#include "app/events/event_exchange.h"
#include "app/events/event_grid.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "platform/posix_serial_port.h"
#include "sim/event_checks.h"
#include "sim/pty_server.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

namespace col = grid_column;

struct EventTableOverPty : ::testing::Test {
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        ASSERT_EQ(port.OpenPath(server.Path()), 0);
        port.SetTimeout(0.5);
        // An Orvane HF with firmware 2.1.4, as the simulator starts.
        program.SetUnit({device_type::kOrvaneHf, 0x020104, 21});
        grid.SetColumnRange(col::kStartFrequency, 3000, 200000);
        grid.SetColumnRange(col::kEndFrequency, 3000, 200000);
        grid.SetColumnRange(col::kLevel, -24, 7);
    }

    int Row(const char* type) {
        const int row = grid.RowCount() + 1;
        EXPECT_EQ(InsertEventRow(program, static_cast<uint8_t>(row)), 0);
        grid.SetText(col::kType, row, type);
        const GridCell* cell = grid.Cell(col::kType, row);
        SetRowType(program, EventTypeOfRow(cell->text, "", device_type::kOrvaneHf), row);
        return row;
    }

    // Sends every non-empty row, in order, as accepting the changes does.
    void SendRows() {
        uint8_t index = 0;
        for (int row = 1; row <= grid.RowCount(); ++row) {
            EventRecord record;
            record.type = RowToEvent(program, record.body, row);
            if (record.type != 0) {
                ASSERT_EQ(AddUnitEvent(program, record, index++), 0) << StatusText();
            }
        }
    }

    std::string StatusText() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }

    testing::TempDir settings;
    sim::PtyServer server;
    HeadlessUi ui;
    testing::FakePlatform platform;
    PosixSerialPort port{PortDirectory(settings.Path())};
    Program program{ui, port, platform};
    EventGridModel& grid = program.Grid();
};

TEST_F(EventTableOverPty, TableSentRowByRow_ReadsBackTheSame) {
    const int tone = Row("Tone");
    grid.SetNumber(col::kStartFrequency, tone, 12000);
    grid.SetNumber(col::kDuration, tone, 2.5);
    grid.SetNumber(col::kLevel, tone, -6);
    Row("None");
    const int sweep = Row("Sweep");
    grid.SetNumber(col::kStartFrequency, sweep, 5000);
    grid.SetNumber(col::kEndFrequency, sweep, 20000);
    const int click = Row("Click");
    grid.SetNumber(col::kStartFrequency, click, 10000);
    grid.SetNumber(col::kPhase, click, -90);
    grid.SetNumber(col::kDuration, click, 0.1);
    grid.SetNumber(col::kLevel, click, -3);

    SendRows();
    EXPECT_EQ(StatusText(), "Event #3 Added to Table");
    EXPECT_EQ(server.WithSimulator([](sim::UnitSimulator& unit) { return unit.Events().size(); }),
              3u);

    // Read back over a grid with rows to spare: the enquiry past the end trims them.
    uint16_t result = 0;
    uint8_t index = 0;
    while ((result = EnquireUnitEvent(program, index)) == 0) {
        ++index;
    }
    EXPECT_EQ(result, 0xFFFF);
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Text(col::kType, 1), "Tone");
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 12000);
    EXPECT_EQ(grid.DisplayText(col::kDuration, 1), "2.5");
    EXPECT_EQ(grid.Number(col::kLevel, 1), -6);
    EXPECT_EQ(grid.Text(col::kType, 2), "Sweep");
    EXPECT_EQ(grid.Number(col::kEndFrequency, 2), 20000);
    EXPECT_EQ(grid.Text(col::kType, 3), "Click");
    EXPECT_EQ(grid.Number(col::kPhase, 3), -90);
    EXPECT_EQ(grid.Number(col::kLevel, 3), -3);
    EXPECT_TRUE(grid.HasTransferMark(3));
    EXPECT_EQ(StatusText(), "Event #3 Enquired from unit");

    // Emptied from the front until the unit has nothing left.
    int removed = 0;
    while (RemoveUnitEvent(program, 0) == 0) {
        ++removed;
    }
    EXPECT_EQ(removed, 3);
}

TEST_F(EventTableOverPty, UnitsOwnRefusals_ReachTheStatusLine) {
    // A sweep that does not move, and a click on a unit whose setup has no clicks.
    EventRecord sweep{TypeCode(EventType::Sweep),
                      {0x88, 0x13, 0x00, 0x00, 0x88, 0x13, 0x00, 0x00, 0x0A, 0x00, 0x00}};
    EXPECT_EQ(AddUnitEvent(program, sweep, 0), 0xFFF8);
    EXPECT_EQ(StatusText(), "Add Event Error: Slope of Sweep Too Small");

    server.WithSimulator([](sim::UnitSimulator& unit) { unit.State().firmware = "v1.9.9"; });
    EventRecord click{TypeCode(EventType::Click),
                      {0x10, 0x27, 0x00, 0x00, 0xA6, 0xFF, 0x01, 0x00, 0xFD}};
    EXPECT_EQ(AddUnitEvent(program, click, 0), 0xFFFB);
    EXPECT_EQ(StatusText(), "Add Event Error: Invalid Type");
    EXPECT_EQ(server.WithSimulator([](sim::UnitSimulator& unit) { return unit.Events().size(); }),
              0u);
}

TEST_F(EventTableOverPty, PastEndOfTable_LeavesTheRowsBeyond) {
    server.WithSimulator([](sim::UnitSimulator& unit) {
        unit.State().past_end_result = sim::kEventPastEndOfTable;
        unit.Events() = {{3, {0x05, 0x00}}, {3, {0x0A, 0x00}}};
    });
    for (int i = 0; i < 5; ++i) {
        Row("Rest");
    }
    EXPECT_EQ(EnquireUnitEvent(program, 0), 0);
    EXPECT_EQ(EnquireUnitEvent(program, 1), 0);
    EXPECT_EQ(EnquireUnitEvent(program, 2), 0xFFFC);
    EXPECT_EQ(StatusText(), "Event #3 Error: Past End of Table");
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Number(col::kDuration, 2), 1.0);
    EXPECT_TRUE(grid.HasTransferMark(2));
}

}  // namespace
}  // namespace keelsong
