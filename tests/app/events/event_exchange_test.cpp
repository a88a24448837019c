// The single-event exchanges against a scripted unit on a fake port: what goes out, what the
// status line says, and what the grid shows afterwards.
#include "app/events/event_exchange.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/events/event_table_fixture.h"
#include "protocol/commands.h"
#include "protocol/frame.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using Bytes = std::vector<uint8_t>;
using Unit = testing::EventTableFixture::Unit;

struct EventExchangeTest : testing::EventTableFixture {
    EventExchangeTest() {
        Connect(Unit::Hf);
        ui.RecordHistory(Panel::MAIN, Control::STATUS_LINE);
    }

    // The unit answers every request with this payload, echoing the command.
    void Answer(Bytes payload) {
        port.SetResponder([payload](std::span<const uint8_t> written) {
            Bytes frame(payload.size() + kFrameOverhead);
            frame.resize(BuildFrame(written[1], payload, frame));
            return frame;
        });
    }

    Bytes WrittenPayload(size_t i = 0) const {
        const Bytes& frame = port.Written().at(i);
        return Bytes(frame.begin() + kPayloadOffset, frame.end() - kFrameCrcSize);
    }

    void GridOfRests(int rows) {
        for (int i = 0; i < rows; ++i) {
            AddRow(TypeCode(EventType::Rest));
        }
    }

    void SayBefore() { program.ShowStatusMessage(true, "before"); }

    EventGridModel& grid = program.Grid();
};

TEST_F(EventExchangeTest, AddToneRow_SendsTheRowAndNamesTheStoredIndex) {
    const int row = AddRow(TypeCode(EventType::ToneSeconds));
    grid.SetNumber(col::kStartFrequency, row, 12000);
    grid.SetNumber(col::kDuration, row, 2.5);
    grid.SetNumber(col::kLevel, row, -6);
    EventRecord record;
    record.type = RowToEvent(program, record.body, row);

    Answer({0x00, 0x00,  // Success
            0x03});      // stored at index 3, not the index asked for
    EXPECT_EQ(AddUnitEvent(program, record, 0), 0);
    ASSERT_EQ(port.Written().size(), 1u);
    EXPECT_EQ(port.Written()[0][1], CommandCode(Command::EventAdd));
    EXPECT_EQ(WrittenPayload(), (Bytes{0x00, 0x05, 0xE0, 0x2E, 0x00, 0x00, 0x19, 0x00, 0xFA}));
    EXPECT_EQ(StatusText(), "Event #4 Added to Table");
    EXPECT_EQ(StatusColor(), kColorBlack);
}

TEST_F(EventExchangeTest, AddOutcomes_GiveCodeAndMessage) {
    struct Case {
        Bytes answer;  // empty: the unit stays silent
        uint16_t result;
        const char* message;
        bool success;
    };
    const Case cases[] = {
        {{0xFD, 0xFF, 0x00}, 0xFFFD, "Add Event Error: Invalid Frequency", false},
        {{0xF8, 0xFF}, 0xFFF8, "Add Event Error: Slope of Sweep Too Small", false},
        {{0x05, 0x00}, 5, "Add Event Error: Unknown Error", false},
        {{}, 1, "No response for event add command", false},
        // No index byte: the event is taken to be where it was asked to go.
        {{0x00, 0x00}, 0, "Event #8 Added to Table", true},
        {{0x00, 0x00, 0xFF}, 0, "Event #0 Added to Table", true},  // the number is 8 bits
    };
    EventRecord rest{TypeCode(EventType::Rest), {0x05, 0x00}};
    for (const Case& c : cases) {
        if (c.answer.empty()) {
            port.SetResponder(nullptr);
        } else {
            Answer(c.answer);
        }
        EXPECT_EQ(AddUnitEvent(program, rest, 7), c.result) << c.message;
        EXPECT_EQ(StatusText(), c.message);
        EXPECT_EQ(StatusColor(), c.success ? kColorBlack : kColorRed) << c.message;
    }
}

TEST_F(EventExchangeTest, AddTypeZero_SendsNothingAndSaysNothing) {
    Answer({0x00, 0x00, 0x00});
    SayBefore();
    EXPECT_EQ(AddUnitEvent(program, EventRecord{}, 0), 0xFFFB);
    EventRecord unknown{9, {}};
    EXPECT_EQ(AddUnitEvent(program, unknown, 0), 0xFFFB);
    EXPECT_TRUE(port.Written().empty());
    EXPECT_EQ(StatusText(), "before");
}

TEST_F(EventExchangeTest, EnquireSuccess_ShowsEventAndMovesTheTransferMark) {
    GridOfRests(3);
    grid.SetTransferMark(1, true);
    Answer({0x00, 0x00,              // Success
            0x01,                    // unit index 1: grid row 2
            0x02,                    // Sweep
            0x88, 0x13, 0x00, 0x00,  // 5000 Hz
            0x20, 0x4E, 0x00, 0x00,  // 20000 Hz
            0x0A, 0x00,              // 1.0 s
            0x00});                  // 0 dB
    EXPECT_EQ(EnquireUnitEvent(program, 1), 0);
    EXPECT_EQ(WrittenPayload(), Bytes{0x01});
    EXPECT_EQ(grid.Text(col::kType, 2), "Sweep");
    EXPECT_EQ(grid.Number(col::kEndFrequency, 2), 20000);
    EXPECT_FALSE(grid.HasTransferMark(1));
    EXPECT_TRUE(grid.HasTransferMark(2));
    EXPECT_EQ(StatusText(), "Event #2 Enquired from unit");
    EXPECT_EQ(StatusColor(), kColorBlack);
}

TEST_F(EventExchangeTest, EnquireIntoEmptyGrid_AddsTheRowMarked) {
    Answer({0x00, 0x00, 0x00, 0x03, 0x05, 0x00});  // a rest of 0.5 s at index 0
    EXPECT_EQ(EnquireUnitEvent(program, 0), 0);
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Number(col::kDuration, 1), 0.5);
    EXPECT_TRUE(grid.HasTransferMark(1));
}

TEST_F(EventExchangeTest, EnquireSuccessWhereTheGridCannotShowIt_FailsAndLeavesTheGrid) {
    struct Case {
        int rows;
        uint8_t unit_index;  // where the unit says the event stands
        uint16_t result;
        const char* message;
    };
    const Case cases[] = {
        {2, 5, 2, "Event #6 Error: Out of Order"},  // rows 3-5 would be rows the unit never named
        {40, 40, 0xFFFE, "Event #41 Error: Too Many Events"},
        {3, 255, 0xFFFE, "Event #256 Error: Too Many Events"},
    };
    for (const Case& c : cases) {
        EmptyEventGrid(program);
        GridOfRests(c.rows);
        Answer({0x00, 0x00, c.unit_index, 0x03, 0x05, 0x00});  // Success: a rest of 0.5 s
        EXPECT_EQ(EnquireUnitEvent(program, 1), c.result) << c.message;
        EXPECT_EQ(StatusText(), c.message);
        EXPECT_EQ(StatusColor(), kColorRed);
        EXPECT_EQ(grid.RowCount(), c.rows) << c.message;
        EXPECT_TRUE(ui.Popups().empty()) << c.message;
    }
}

TEST_F(EventExchangeTest, EnquireDoesNotExist_DeletesRowsFromThereSilently) {
    struct Case {
        int rows;
        Bytes answer;
        int rows_after;
    };
    const Case cases[] = {
        {8, {0xFF, 0xFF, 0x05}, 5},                        // index 5: rows 6-8 go
        {5, {0xFF, 0xFF, 0x05}, 5},                        // nothing beyond row 5
        {6, {0xFF, 0xFF, 0x05}, 5}, {4, {0xFF, 0xFF}, 2},  // no index byte: the index asked for (2)
        {3, {0xFF, 0xFF, 0xFF}, 3},                        // a row number of 0 names no row
    };
    for (const Case& c : cases) {
        EmptyEventGrid(program);
        GridOfRests(c.rows);
        Answer(c.answer);
        SayBefore();
        EXPECT_EQ(EnquireUnitEvent(program, 2), 0xFFFF);
        EXPECT_EQ(grid.RowCount(), c.rows_after) << c.rows;
        EXPECT_EQ(StatusText(), "before");
    }
}

TEST_F(EventExchangeTest, EnquireRefusedOrUnanswered_LeavesGridAndSays) {
    GridOfRests(4);
    grid.SetNumber(col::kDuration, 3, 9.9);
    Answer({0xFC, 0xFF, 0x02});
    EXPECT_EQ(EnquireUnitEvent(program, 2), 0xFFFC);
    EXPECT_EQ(StatusText(), "Event #3 Error: Past End of Table");
    EXPECT_EQ(StatusColor(), kColorRed);

    port.SetResponder(nullptr);
    EXPECT_EQ(EnquireUnitEvent(program, 2), 1);
    EXPECT_EQ(StatusText(), "No response for event enquire command");
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Number(col::kDuration, 3), 9.9);
    EXPECT_FALSE(grid.HasTransferMark(3));
}

TEST_F(EventExchangeTest, EnquireShortBody_MissingFieldsReadAsZero) {
    // A click cut after its frequency: phase, time and level are missing.
    Answer({0x00, 0x00, 0x00, 0x04, 0x10, 0x27, 0x00, 0x00});
    EXPECT_EQ(EnquireUnitEvent(program, 0), 0);
    EXPECT_EQ(grid.Text(col::kType, 1), "Click");
    EXPECT_EQ(grid.Number(col::kStartFrequency, 1), 10000);
    EXPECT_EQ(grid.Number(col::kPhase, 1), 0);
    EXPECT_EQ(grid.Number(col::kLevel, 1), 0);
    EXPECT_EQ(grid.Number(col::kDuration, 1), 0.1);  // 0 tenths, brought up to the minimum
}

TEST_F(EventExchangeTest, RemoveOutcomes_OnlyFailuresAreShown) {
    struct Case {
        Bytes answer;
        uint16_t result;
        const char* message;
    };
    const Case cases[] = {
        {{0x00, 0x00}, 0, "before"},
        {{0xFF, 0xFF}, 0xFFFF, "before"},
        {{0xFC, 0xFF}, 0xFFFC, "Remove Event Error: Past End of Table"},
        {{}, 1, "No response for event remove command"},
    };
    for (const Case& c : cases) {
        if (c.answer.empty()) {
            port.SetResponder(nullptr);
        } else {
            Answer(c.answer);
        }
        SayBefore();
        EXPECT_EQ(RemoveUnitEvent(program, 0), c.result);
        EXPECT_EQ(StatusText(), c.message);
    }
    EXPECT_EQ(WrittenPayload(), Bytes{0x00});
    EXPECT_EQ(port.Written()[0][1], CommandCode(Command::EventRemove));
}

}  // namespace
}  // namespace keelsong
