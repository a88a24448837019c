// The editing comforts in the real window, offscreen: Delete, Insert, copy and paste on the
// grid's rows, Ctrl+Z and Ctrl+Y wherever the focus is, and a window that fits a small screen.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "app/wiring/startup.h"
#include "gui/event_table_view.h"
#include "gui/qt_ui.h"
#include "gui_support.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

namespace col = grid_column;

class EditingKeysTest : public ::testing::Test, public testing::WithApplication {
  protected:
    EditingKeysTest() {
        platform_.SetSettingsFolder(temp_ / "config/Keelsong");
        platform_.SetDocumentsFolder(temp_ / "Documents");
        ui_.Attach(program_);
        StartProgram(program_, MakeDefaultFolder(platform_), [this] { ui_.MainWindow()->show(); });
        // An Orvane HF as the enquiry leaves it: the grid and the setup controls usable.
        program_.SetUnit({device_type::kOrvaneHf, 0x020104, 21});
        SetUnitControlsDimmed(program_, false);
        ui_.SetPopupDriver([this](QDialog& dialog) {
            seen_.push_back(testing::Describe(dialog));
            dialog.accept();
        });
        ui_.MainWindow()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(ui_.MainWindow()));
        grid_view_ =
            qobject_cast<EventTableView*>(ui_.ControlWidget(Panel::MAIN, Control::EVENT_TABLE));
    }
    ~EditingKeysTest() override { ui_.Detach(); }

    void Rests(int count) {
        for (int i = 0; i < count; ++i) {
            Press(program_, Panel::MAIN, Control::EVENT_ADD);
            const int row = grid_.RowCount();
            grid_.UserSetText(col::kType, row, "Rest");
            Press(program_, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row,
                  col::kType);
            grid_.UserSetNumber(col::kDuration, row, row);  // tells rows apart
            Press(program_, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row,
                  col::kDuration);
        }
    }
    void SelectRows(int first, int last) {
        grid_view_->setFocus();
        grid_view_->setCurrentIndex(grid_view_->model()->index(first - 1, 0));
        grid_view_->selectionModel()->select(
            QItemSelection(grid_view_->model()->index(first - 1, 0),
                           grid_view_->model()->index(last - 1, col::kCount - 1)),
            QItemSelectionModel::ClearAndSelect);
    }
    void Key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(widget, static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
    }
    double Duration(int row) const { return grid_.Number(col::kDuration, row); }

    testing::TempDir temp_;
    testing::FakePlatform platform_;
    testing::FakeSerialPort port_;
    QtUi ui_;
    Program program_{ui_, port_, platform_};
    EventGridModel& grid_ = program_.Grid();
    EventTableView* grid_view_ = nullptr;
    std::vector<testing::SeenDialog> seen_;
};

TEST_F(EditingKeysTest, DeleteInsertCopyPaste_ActOnTheSelectedRowsAsTheButtonsDo) {
    Rests(4);
    MarkTableChanged(program_, false);
    SelectRows(2, 3);
    Key(grid_view_, Qt::Key_Delete);
    ASSERT_EQ(grid_.RowCount(), 2);
    EXPECT_EQ(Duration(2), 4);
    EXPECT_TRUE(program_.Marks().table_changed);
    EXPECT_FALSE(ui_.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES));
    EXPECT_EQ(UndoDescription(program_), "Undo: Remove Event rows 2-3");

    SelectRows(2, 2);
    Key(grid_view_, Qt::Key_Insert);
    ASSERT_EQ(grid_.RowCount(), 3);
    EXPECT_EQ(grid_.Text(col::kType, 2), "None");
    EXPECT_EQ(grid_.ActiveCell(), (EventGridModel::CellAddress{col::kType, 2}));

    SelectRows(1, 3);
    Key(grid_view_, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              "Rest\t1.0\tSeconds\t\t\t\t\nNone\t\t\t\t\t\t\nRest\t4.0\tSeconds\t\t\t\t\n");
    SelectRows(3, 3);
    Key(grid_view_, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(grid_.RowCount(), 5);
    EXPECT_EQ(Duration(5), 4);
    EXPECT_EQ(ui_.TextValue(Panel::MAIN, Control::STATUS_LINE), "Pasted rows 3-5");

    // A full grid refuses the Insert key as it refuses the button.
    Rests(35);
    Key(grid_view_, Qt::Key_Insert);
    EXPECT_EQ(grid_.RowCount(), 40);
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].text, "Maximum number of events reached.");
}

TEST_F(EditingKeysTest, CtrlVInAnEditorOpenedInsideASelection_PastesRowsAndAValueIntoTheField) {
    Rests(3);
    struct Case {
        int column;
        const char* rows;
        double second;
        double third;
    };
    const Case cases[] = {{col::kDuration, "Rest\t7.0\nRest\t8.0\n", 7, 8},
                          {col::kType, "Rest\t5,0\nRest\t6,0\n", 5, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        QApplication::clipboard()->setText(c.rows);
        SelectRows(1, 3);
        // A click on a selected cell opens its editor: a drop-down at once, a number field
        // once no second click can make it a double click.
        QTest::mouseClick(
            grid_view_->viewport(), Qt::LeftButton, {},
            grid_view_->visualRect(grid_view_->model()->index(1, c.column - 1)).center());
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        ASSERT_NE(QApplication::focusWidget(), grid_view_) << "no editor opened";
        Key(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Duration(2), c.second);
        EXPECT_EQ(Duration(3), c.third);
        EXPECT_EQ(ui_.TextValue(Panel::MAIN, Control::STATUS_LINE), "Pasted rows 2-3");
    }
    // One value is the field's to paste.
    QApplication::clipboard()->setText("5.5");
    grid_view_->setCurrentIndex(grid_view_->model()->index(0, col::kDuration - 1));
    Key(grid_view_, Qt::Key_F2);
    Key(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    Key(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Duration(1), 5.5);
}

TEST_F(EditingKeysTest, CtrlZAndCtrlY_UndoAndRedoWhereverTheFocusIs) {
    Rests(1);
    ClearEditHistory(program_);
    grid_view_->setFocus();
    grid_view_->setCurrentIndex(grid_view_->model()->index(0, col::kDuration - 1));
    QTest::keyClicks(grid_view_, "7");
    Key(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_EQ(Duration(1), 7);
    QAction* undo = grid_view_->ContextMenu()->actions().at(7);
    EXPECT_EQ(undo->toolTip(), "Undo: Duration row 1");
    EXPECT_TRUE(undo->isEnabled());

    Key(grid_view_, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Duration(1), 1);
    // From a button of the setup column too.
    QWidget* advanced = ui_.ControlWidget(Panel::MAIN, Control::ADVANCED);
    advanced->setFocus();
    Key(advanced, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Duration(1), 7);
    Key(advanced, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);  // nothing more to redo
    EXPECT_EQ(Duration(1), 7);
    Key(grid_view_, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Duration(1), 1);
    EXPECT_FALSE(undo->isEnabled());

    // In a number field the keys undo the field's whole change, not its last keystroke.
    QWidget* rest = ui_.ControlWidget(Panel::MAIN, Control::REST_TIME);
    const double before = ui_.DoubleValue(Panel::MAIN, Control::REST_TIME);
    rest->setFocus();
    Key(rest, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(rest, "45");
    ASSERT_EQ(ui_.DoubleValue(Panel::MAIN, Control::REST_TIME), 45);
    Key(rest, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui_.DoubleValue(Panel::MAIN, Control::REST_TIME), before);
    EXPECT_EQ(RedoDescription(program_), "Redo: Time Between Repeats");
}

TEST_F(EditingKeysTest, MainWindow_FitsASmallScreenAtScale1And1Point5WithEveryControlReachable) {
    QWidget* window = ui_.MainWindow();
    // The unit strip as a connected unit fills it: its texts do not widen the window.
    ui_.SetText(Panel::MAIN, Control::DEVICE, "Orvane HF(R1) # 65535 Firmware v12.10.10");
    ui_.SetText(Panel::MAIN, Control::PLAY_CODE_MSG, "Playback will begin in 12 days 03:04:05");
    ui_.SetText(Panel::MAIN, Control::TEMP_HUMI, "21.5\u00b0C 45.3% RH");
    for (Control icon : {Control::BATT_ICON, Control::CHARGING_ICON, Control::SYNC_ICON}) {
        ui_.SetVisible(Panel::MAIN, icon, true);
    }
    QApplication::processEvents();
    const QSize minimum = window->minimumSize();
    // Logical pixels: a scale factor multiplies them on the screen.
    for (double scale : {1.0, 1.5}) {
        EXPECT_LE(minimum.width() * scale, 1300) << scale;
        EXPECT_LE(minimum.height() * scale, 660) << scale;
    }
    window->resize(minimum);
    QApplication::processEvents();
    auto* setup = window->findChild<QAbstractScrollArea*>("setupScroll");
    ASSERT_NE(setup, nullptr);
    for (Control control : ControlsOf(Panel::MAIN)) {
        QWidget* widget = ui_.ControlWidget(Panel::MAIN, control);
        if (!widget || !widget->isVisibleTo(window)) {
            continue;
        }
        const QRect place(widget->mapTo(window, QPoint(0, 0)), widget->size());
        // The setup column scrolls; everything else lies inside the window, not squeezed.
        if (!setup->isAncestorOf(widget)) {
            EXPECT_TRUE(window->rect().contains(place)) << ControlName(control);
        }
        const int least =
            widget->minimumWidth() > 0 ? widget->minimumWidth() : widget->minimumSizeHint().width();
        EXPECT_GE(widget->width(), least) << ControlName(control);
    }
    // A strip text cut short shows whole in its tooltip.
    QWidget* device = ui_.ControlWidget(Panel::MAIN, Control::DEVICE);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), device->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(device, &help);
    EXPECT_EQ(QToolTip::text(), "Orvane HF(R1) # 65535 Firmware v12.10.10");
    EXPECT_EQ(setup->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(setup->verticalScrollBar()->maximum(), 0);

    // The grid's columns share the width that a wider window gives them.
    window->resize(1300, 660);
    QApplication::processEvents();
    int columns = 0;
    for (int column = 0; column < col::kCount; ++column) {
        columns += grid_view_->columnWidth(column);
    }
    EXPECT_EQ(columns, grid_view_->viewport()->width());
    EXPECT_GT(grid_view_->columnWidth(col::kStartFrequency - 1),
              grid_view_->columnWidth(col::kType - 1));
}

}  // namespace
}  // namespace keelsong
