// The Qt grid over the event-grid model, offscreen: it shows what the model holds, keeps to
// its rules when the user types or chooses, and follows the model's changes.
#include "gui/event_table_view.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <memory>

#include "app/events/event_grid.h"
#include "app/events/table_editing.h"
#include "app/shell/callbacks.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace keelsong {
namespace {

namespace col = grid_column;

// One application for the whole run, taken down before the process exits: a QApplication
// left to static destruction outlives parts of Qt it depends on.
class QtApplicationEnvironment final : public ::testing::Environment {
  public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[24] = "event_table_view_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

struct EventTableViewTest : ::testing::Test {
    EventTableViewTest() {
        program.SetUnit({device_type::kOrvaneHf, 0x020104, 21});
        grid.SetColumnRange(col::kStartFrequency, 3000, 200000);
        grid.SetColumnRange(col::kEndFrequency, 3000, 200000);
        grid.SetColumnRange(col::kLevel, -24, 7);
        // The window connects the grid's edits to its callback the same way.
        QObject::connect(&model, &EventTableModel::cellEdited, [this](int row, int column) {
            Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
        });
        QObject::connect(&model, &EventTableModel::cellLimited,
                         [this](int row, int column) { ReportCellLimited(program, column, row); });
        view.SetGridModel(&model);
        view.resize(820, 300);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    int AddRow(const char* type) {
        const int row = grid.RowCount() + 1;
        InsertEventRow(program, static_cast<uint8_t>(row));
        grid.SetText(col::kType, row, type);
        grid.SetActiveCell(col::kType, row);
        Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, col::kType);
        return row;
    }

    QModelIndex At(int column, int row) const { return model.IndexOf(column, row); }

    void TypeInto(int column, int row, const QString& text) {
        view.setCurrentIndex(At(column, row));
        view.setFocus();
        // The first key opens the editor; the rest go to whatever has the focus then.
        QTest::keyClicks(&view, text.left(1));
        QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents();  // the editor commits from the event loop
    }

    HeadlessUi ui;
    testing::FakePlatform platform;
    testing::FakeSerialPort port;
    Program program{ui, port, platform};
    EventGridModel& grid = program.Grid();
    EventTableModel model{grid};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    EventTableView view;
};

TEST_F(EventTableViewTest, ShowsTheGridsTextsTitlesAndRules) {
    const int sweep = AddRow("Sweep");
    grid.SetNumber(col::kDuration, sweep, 1.25);
    const int rest = AddRow("Rest");

    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(At(col::kType, sweep).data().toString(), "Sweep");
    EXPECT_EQ(At(col::kDuration, sweep).data().toString(), "1.2");
    EXPECT_EQ(At(col::kEndFrequency, sweep).data().toString(), "200000");
    EXPECT_TRUE(At(col::kEndFrequency, sweep).flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(At(col::kEndFrequency, rest).flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(At(col::kUnit, rest).flags() & Qt::ItemIsEditable);  // shown, not chosen
    EXPECT_NE(At(col::kEndFrequency, rest).data(Qt::ForegroundRole),
              At(col::kEndFrequency, sweep).data(Qt::ForegroundRole));

    grid.SetColumnTitle(col::kLevel, "Attenuation(dB)");
    EXPECT_EQ(model.headerData(col::kLevel - 1, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Attenuation(dB)");
}

// The darkest point of a cell as drawn: its text, against the lighter background.
int DarkestGrey(const QImage& image, const QRect& cell) {
    int darkest = 255;
    for (int y = cell.top() + 2; y < cell.bottom() - 1; ++y) {
        for (int x = cell.left() + 2; x < cell.right() - 1; ++x) {
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        }
    }
    return darkest;
}

TEST_F(EventTableViewTest, CellsThatDoNotApply_DrawnFainterThanTheValuesInAnOpenOrDimmedGrid) {
    const int tone = AddRow("Tone");
    grid.SetNumber(col::kStartFrequency, tone, 100000);  // digits like End Freq's 200000
    for (bool enabled : {true, false}) {
        SCOPED_TRACE(enabled ? "grid open" : "grid dimmed");
        view.setEnabled(enabled);
        view.clearSelection();
        view.setCurrentIndex({});
        const QImage drawn = view.viewport()->grab().toImage();
        const int value = DarkestGrey(drawn, view.visualRect(At(col::kStartFrequency, tone)));
        const int not_applying = DarkestGrey(drawn, view.visualRect(At(col::kEndFrequency, tone)));
        EXPECT_LT(value + 20, not_applying);
    }
}

TEST_F(EventTableViewTest, TransferMark_HighlightsTheWholeRow) {
    AddRow("Tone");
    AddRow("Tone");
    const QVariant plain = At(col::kStartFrequency, 1).data(Qt::BackgroundRole);
    grid.SetTransferMark(1, true);
    for (int column = 1; column <= col::kCount; ++column) {
        EXPECT_NE(At(column, 1).data(Qt::BackgroundRole), At(column, 2).data(Qt::BackgroundRole))
            << column;
    }
    EXPECT_NE(At(col::kStartFrequency, 1).data(Qt::BackgroundRole), plain);
    grid.SetTransferMark(1, false);
    EXPECT_EQ(At(col::kStartFrequency, 1).data(Qt::BackgroundRole), plain);
}

TEST_F(EventTableViewTest, TypingANumber_EditsWithinTheCellsRange) {
    const int tone = AddRow("Tone");
    TypeInto(col::kStartFrequency, tone, "12000");
    EXPECT_EQ(grid.Number(col::kStartFrequency, tone), 12000);
    EXPECT_TRUE(program.Marks().table_changed);
    TypeInto(col::kLevel, tone, "-7");
    EXPECT_EQ(grid.Number(col::kLevel, tone), -7);
    TypeInto(col::kDuration, tone, "2,5");  // a comma is the decimal mark, not a separator
    EXPECT_EQ(grid.Number(col::kDuration, tone), 2.5);
}

TEST_F(EventTableViewTest, TypingANumberOutsideTheRange_TakesTheNearestLimitAndSaysSo) {
    grid.SetColumnTitle(col::kLevel, "Level(dB)");
    const int sweep = AddRow("Sweep");
    struct Case {
        int column;
        const char* typed;
        double kept;
        const char* status;
    };
    const Case cases[] = {
        {col::kEndFrequency, "250000", 200000, "End Freq (Hz) limited to 200000"},
        {col::kLevel, "12", 7, "Level(dB) limited to 7"},
        {col::kDuration, "99999", 6553.5, "Duration limited to 6553.5"},
        {col::kDuration, "0.0", 0.1, "Duration limited to 0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.SetText(Panel::MAIN, Control::STATUS_LINE, "");
        TypeInto(c.column, sweep, c.typed);
        EXPECT_DOUBLE_EQ(grid.Number(c.column, sweep), c.kept);
        EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE), c.status);
        EXPECT_EQ(ui.TextColor(Panel::MAIN, Control::STATUS_LINE), kColorRed);
    }
}

TEST_F(EventTableViewTest, CellChangedUnderAnOpenEditor_TheNumberTypedIsWhatReturnCommits) {
    const int rest = AddRow("Rest");
    view.setCurrentIndex(At(col::kDuration, rest));
    view.setFocus();
    QTest::keyClicks(&view, "4");
    QTest::keyClicks(QApplication::focusWidget(), ".4");
    grid.SetNumber(col::kDuration, rest, 2.0);  // the program's change, as a transfer makes
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(grid.Number(col::kDuration, rest), 4.4);
}

TEST_F(EventTableViewTest, EditsThatLeaveTheValueAsItWas_ResetNothingAndMarkNothing) {
    const int tone = AddRow("Tone");
    grid.SetNumber(col::kStartFrequency, tone, 12000);
    grid.SetNumber(col::kDuration, tone, 2.5);
    grid.SetNumber(col::kLevel, tone, -6);
    const int rest = AddRow("Rest");
    MarkTableChanged(program, false);
    auto click = [this](int column, int row) {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.visualRect(At(column, row)).center());
        QApplication::processEvents();
    };
    auto open_type_list = [&] {
        click(col::kType, tone);
        // The focus is in the open list, which belongs to the editor.
        QWidget* combo = QApplication::focusWidget();
        while (combo && !qobject_cast<QComboBox*>(combo)) {
            combo = combo->parentWidget();
        }
        EXPECT_NE(combo, nullptr);
        return qobject_cast<QComboBox*>(combo);
    };

    // The Type drop-down opened by a click and left by clicking another cell (the first click
    // closes the open list, the second lands on the cell).
    open_type_list();
    click(col::kDuration, rest);
    click(col::kDuration, rest);
    // The same type chosen again.
    if (QComboBox* combo = open_type_list()) {
        emit combo->activated(combo->findText("Tone"));
        QApplication::processEvents();
    }
    // A number opened with F2 and committed untouched.
    view.setCurrentIndex(At(col::kStartFrequency, tone));
    QTest::keyClick(&view, Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();

    EXPECT_EQ(grid.Text(col::kType, tone), "Tone");
    EXPECT_EQ(grid.Number(col::kStartFrequency, tone), 12000);
    EXPECT_EQ(grid.Number(col::kDuration, tone), 2.5);
    EXPECT_EQ(grid.Number(col::kLevel, tone), -6);
    EXPECT_FALSE(program.Marks().table_changed);
}

TEST_F(EventTableViewTest, DimmedCell_TypingChangesNothing) {
    const int rest = AddRow("Rest");
    TypeInto(col::kPhase, rest, "45");
    EXPECT_EQ(grid.Number(col::kPhase, rest), 0);
    EXPECT_FALSE(model.setData(At(col::kPhase, rest), 45, Qt::EditRole));
}

TEST_F(EventTableViewTest, F4OpensTheTypeDropDownAndAChoiceSetsTheRowUp) {
    const int row = AddRow("None");
    view.setCurrentIndex(At(col::kType, row));
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_F4);
    auto* combo = qobject_cast<QComboBox*>(QApplication::focusWidget());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 5);  // the tagged setup offers clicks
    combo->setCurrentIndex(combo->findText("Sweep"));
    emit combo->activated(combo->currentIndex());
    QApplication::processEvents();

    EXPECT_EQ(grid.Text(col::kType, row), "Sweep");
    EXPECT_FALSE(grid.IsDimmed(col::kEndFrequency, row));  // the callback set the row up
    EXPECT_TRUE(At(col::kEndFrequency, row).flags() & Qt::ItemIsEditable);
}

TEST_F(EventTableViewTest, TabAndArrows_MoveTheActiveCell_AClickOpensADropDown) {
    AddRow("Tone");
    AddRow("Rest");
    view.setCurrentIndex(At(col::kType, 1));
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(grid.ActiveCell(), (EventGridModel::CellAddress{col::kDuration, 1}));
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(grid.ActiveCell(), (EventGridModel::CellAddress{col::kDuration, 2}));

    const QRect type_cell = view.visualRect(At(col::kType, 2));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, type_cell.center());
    EXPECT_NE(qobject_cast<QComboBox*>(QApplication::focusWidget()), nullptr);
    EXPECT_EQ(grid.ActiveCell(), (EventGridModel::CellAddress{col::kType, 2}));
}

TEST_F(EventTableViewTest, ActiveCell_FollowsBothWays) {
    AddRow("Tone");
    AddRow("Sweep");
    AddRow("Rest");
    grid.SetActiveCell(col::kLevel, 2);
    EXPECT_EQ(view.currentIndex(), At(col::kLevel, 2));

    view.setCurrentIndex(At(col::kDuration, 3));
    EXPECT_EQ(grid.ActiveCell(), (EventGridModel::CellAddress{col::kDuration, 3}));

    // Removing the active row leaves the row that followed active, in view and grid alike.
    grid.SetActiveCell(col::kDuration, 2);
    Press(program, Panel::MAIN, Control::EVENT_REM);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(grid.ActiveCell(), (EventGridModel::CellAddress{col::kDuration, 2}));
    EXPECT_EQ(view.currentIndex(), At(col::kDuration, 2));

    Press(program, Panel::MAIN, Control::EVENT_INSERT);
    EXPECT_EQ(view.currentIndex(), At(col::kType, 2));
    EXPECT_EQ(At(col::kType, 2).data().toString(), "None");
}

TEST_F(EventTableViewTest, ContextMenu_HoldsTheAppendedItemsInOrder) {
    int chosen = 0;
    view.AppendMenuItem("Add Event", [&] { ++chosen; });
    view.AppendMenuSeparator();
    view.AppendMenuItem("Clear Table", [&] { chosen += 10; });
    const QList<QAction*> actions = view.ContextMenu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "Add Event");
    EXPECT_TRUE(actions[1]->isSeparator());
    actions[2]->trigger();
    EXPECT_EQ(chosen, 10);
}

}  // namespace
}  // namespace keelsong
