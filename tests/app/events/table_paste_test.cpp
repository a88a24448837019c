// Copying rows out as tab-separated text and pasting such text in, as a spreadsheet gives it.
#include "app/events/table_paste.h"

#include <gtest/gtest.h>

#include "app/events/event_table_fixture.h"
#include "app/state/edit_history.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using Unit = testing::EventTableFixture::Unit;

struct TablePasteTest : testing::EventTableFixture {
    TablePasteTest() { Connect(Unit::Hf); }
    // A Tone, a Sweep and a Rest, as read from the unit.
    void ThreeRows() {
        AddRow(TypeCode(EventType::ToneSeconds));
        AddRow(TypeCode(EventType::Sweep));
        AddRow(TypeCode(EventType::Rest));
        MarkTableChanged(program, false);
        ClearEditHistory(program);
    }
    std::string Row(int row) const { return CopyEventRows(grid, row, row); }

    EventGridModel& grid = program.Grid();
};

TEST_F(TablePasteTest, GoodBlockOverRows2To4OfThree_SetsEachRowAsTheUserWouldAndAddsOne) {
    ThreeRows();
    const std::string first_row = Row(1);
    // Types in any case, more decimals than the cell shows, a field for a cell the type does not
    // use, a Level above the column's maximum of 7, trailing tabs and Windows line ends, as
    // spreadsheets give them.
    ASSERT_TRUE(PasteEventRows(program, 2,
                               "click\t0.25\t\t4000\t\t3\t90\r\n"
                               "Tone\t2.5\tSeconds\t5000\t9000\t20\t\t\t\r\n"
                               "Sweep\t1\t\t3000\t12000\t-4\t\r\n"));
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(Row(1), first_row);
    EXPECT_EQ(Row(2), "Click\t0.3\tSeconds\t4000\t\t3\t90\n");
    EXPECT_EQ(grid.Number(col::kDuration, 2), 0.3);
    EXPECT_EQ(Row(3), "Tone\t2.5\tSeconds\t5000\t\t7\t\n");
    EXPECT_EQ(Row(4), "Sweep\t1.0\tSeconds\t3000\t12000\t-4\t\n");
    EXPECT_EQ(StatusText(), "Pasted rows 2-4; Level row 3 limited to 7");
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_EQ(grid.ActiveCell(), (EventGridModel::CellAddress{col::kType, 2}));

    // One paste, one step.
    EXPECT_EQ(UndoDescription(program), "Undo: Paste rows 2-4");
    ASSERT_TRUE(UndoEdit(program));
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(Row(2), "Sweep\t1.0\tSeconds\t3000\t200000\t0\t\n");
    EXPECT_EQ(UndoDescription(program), "");
}

TEST_F(TablePasteTest, UnreadableLine_PastesNothingAndSaysWhichLineAndWhy) {
    struct Case {
        std::string bad_line;
        std::string message;
    };
    const Case cases[] = {
        {"Tonne\t1.0", "Paste refused, line 2: unknown type \"Tonne\""},
        {"\t1.0", "Paste refused, line 2: no type"},
        {"Tone\t1,5.0", "Paste refused, line 2: Duration \"1,5.0\" is not a number"},
        {"Tone\t1.5,0", "Paste refused, line 2: Duration \"1.5,0\" is not a number"},
        {"Sweep\t1\t\t15,000",
         "Paste refused, line 2: Start Freq \"15,000\" could be 15000 or 15.000: write one of "
         "them"},
        {"Tone,1.0,Seconds,3000",
         "Paste refused, line 2: its fields are separated by commas, not tabs"},
        {"Sweep\t1\t\t3k", "Paste refused, line 2: Start Freq \"3k\" is not a number"},
        {"Tone\t1\tMinutes", "Paste refused, line 2: unknown unit \"Minutes\""},
        {"Rest\t1\t\t\t\t\t\tnote", "Paste refused, line 2: more than 7 columns"},
    };
    ThreeRows();
    const auto before = grid.RowImages();
    for (const Case& c : cases) {
        EXPECT_FALSE(PasteEventRows(program, 1, "Rest\t9\n" + c.bad_line + "\nRest\t8\n"));
        EXPECT_EQ(StatusText(), c.message);
        EXPECT_EQ(StatusColor(), kColorRed);
        EXPECT_EQ(grid.RowImages(), before) << c.bad_line;
        EXPECT_FALSE(program.Marks().table_changed);
        EXPECT_EQ(UndoDescription(program), "");
    }
}

TEST_F(TablePasteTest, SheetWithHeaderAndCommaDecimals_PastesItsRowsAndNamesTheLimitedCells) {
    ThreeRows();
    // Headed as an Orvane LF titles its Level column, in other case and spacing.
    ASSERT_TRUE(PasteEventRows(program, 1,
                               "type\tDuration\tUnit\tStart Freq(Hz)\tEnd Freq (Hz)\t"
                               "Attenuation (dB)\tPhase (Deg)\n"
                               "Tone\t2,5\t\t1500\t\t-3,0\n"
                               "Sweep\t0,04\t\t3000\t250000\t8\n"))
        << StatusText();
    EXPECT_EQ(Row(1), "Tone\t2.5\tSeconds\t3000\t\t-3\t\n");
    EXPECT_EQ(Row(2), "Sweep\t0.1\tSeconds\t3000\t200000\t7\t\n");
    EXPECT_EQ(StatusText(),
              "Pasted rows 1-2; 4 values limited to their column's range: Start Freq row 1, "
              "Duration row 2, End Freq row 2 and 1 more");
    EXPECT_EQ(StatusColor(), kColorRed);

    // A header that names other columns would put numbers in the wrong cells.
    const auto before = grid.RowImages();
    EXPECT_FALSE(PasteEventRows(program, 1, "Type\tUnit\tDuration\nTone\tSeconds\t2\n"));
    EXPECT_EQ(StatusText(),
              "Paste refused, line 1: the header names column 2 \"Unit\", not \"Duration\"");
    EXPECT_EQ(grid.RowImages(), before);
}

TEST_F(TablePasteTest, RowsPastTheFortieth_RefusedAtTheLineThatWouldBeRow41) {
    ThreeRows();
    std::string rests;
    for (int i = 0; i < 38; ++i) {
        rests += "Rest\t1.0\n";
    }
    const auto before = grid.RowImages();
    EXPECT_FALSE(PasteEventRows(program, 3, rests + "Rest\t1.0\n"));
    EXPECT_EQ(StatusText(), "Paste refused, line 39: the table holds at most 40 events");
    EXPECT_EQ(grid.RowImages(), before);

    EXPECT_TRUE(PasteEventRows(program, 3, rests));
    EXPECT_EQ(grid.RowCount(), 40);
}

TEST_F(TablePasteTest, CopyThenPaste_GivesTheSameRowsOnEveryUnit) {
    struct Case {
        Unit unit;
        std::vector<std::string> types;
    };
    const Case cases[] = {
        {Unit::Hf, {"Tone", "Sweep", "Rest", "Click", "None"}},
        {Unit::HfR1, {"Tone", "Sweep", "Rest", "None"}},
        {Unit::Lf, {"Tone", "Sweep", "Rest"}},
    };
    for (const Case& c : cases) {
        EmptyEventGrid(program);
        Connect(c.unit);
        // Values away from the defaults, in every cell each type uses.
        for (const std::string& type : c.types) {
            const int row = grid.RowCount() + 1;
            ASSERT_EQ(InsertEventRow(program, static_cast<uint8_t>(row)), 0);
            PasteEventRows(program, row, type + "\t3.5\t\t5000\t6000\t12\t-90\n");
        }
        if (c.unit == Unit::HfR1) {
            // A tone counted in cycles: the Unit ring is the R1's choice.
            PasteEventRows(program, 1, "Tone\t250\tCycles\t5000\n");
            ASSERT_EQ(Row(1), "Tone\t250\tCycles\t5000\t\t\t\n");
        }
        const auto rows = grid.RowImages();
        const std::string copied = CopyEventRows(grid, 1, grid.RowCount());

        EmptyEventGrid(program);
        ASSERT_TRUE(PasteEventRows(program, 1, copied)) << StatusText();
        EXPECT_EQ(grid.RowImages(), rows) << copied;
    }
}

}  // namespace
}  // namespace keelsong
