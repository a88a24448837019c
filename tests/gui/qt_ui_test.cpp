// The window's wiring and pop-ups, offscreen: the user's actions reach the callback table and
// the program's own changes do not; pop-ups answer as their buttons and keys say.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/connection/connection.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/wiring/startup.h"
#include "gui/event_loop_platform.h"
#include "gui/event_table_view.h"
#include "gui/qt_ui.h"
#include "gui_support.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

using testing::ClickButton;
using testing::CloseDialog;
using testing::PressKey;
using testing::SeenDialog;

class QtUiTest : public ::testing::Test, public testing::WithApplication {
  protected:
    QtUiTest() {
        platform_.SetSettingsFolder(temp_ / "config/Keelsong");
        platform_.SetDocumentsFolder(temp_ / "Documents");
        ui_.Attach(program_);
        StartProgram(program_, MakeDefaultFolder(platform_), [this] { ui_.MainWindow()->show(); });
    }
    ~QtUiTest() override { ui_.Detach(); }
    template <class W>
    W* Widget(Panel panel, Control control) {
        return qobject_cast<W*>(ui_.ControlWidget(panel, control));
    }

    testing::TempDir temp_;
    testing::FakePlatform platform_;
    testing::FakeSerialPort port_;
    QtUi ui_;
    Program program_{ui_, port_, platform_};
    std::vector<SeenDialog> seen_;
};

TEST_F(QtUiTest, ProgramSetsValues_NoCallbackRuns) {
    ui_.SetInt(Panel::CONNECT, Control::LINK_TYPE, 2);
    ui_.SetInt(Panel::MAIN, Control::PLAYBACKS, 9);
    ui_.SetInt(Panel::ADVANCED, Control::AUTOSAVE, 1);
    EXPECT_TRUE(ui_.IsVisible(Panel::CONNECT, Control::PORT));
    EXPECT_FALSE(program_.Marks().setup_changed);
    EXPECT_TRUE(ui_.IsDimmed(Panel::ADVANCED, Control::APPLY));
}

TEST_F(QtUiTest, UserChangesValues_TheirCallbacksRun) {
    ui_.InstallPopup(Panel::CONNECT);
    auto* ring = Widget<QComboBox>(Panel::CONNECT, Control::LINK_TYPE);
    ring->setFocus();
    QTest::keyClick(ring, Qt::Key_Down);  // "Ethernet": the address replaces the port
    EXPECT_EQ(ui_.IntValue(Panel::CONNECT, Control::LINK_TYPE), 2);
    EXPECT_FALSE(ui_.IsVisible(Panel::CONNECT, Control::PORT));
    EXPECT_TRUE(ui_.IsVisible(Panel::CONNECT, Control::URL));

    auto* repeats = Widget<QSpinBox>(Panel::MAIN, Control::PLAYBACKS);
    repeats->setEnabled(true);
    repeats->stepUp();
    EXPECT_TRUE(program_.Marks().setup_changed);
    ui_.RemovePopup(Panel::CONNECT);

    ui_.InstallPopup(Panel::ADVANCED);
    QTest::mouseClick(ui_.ControlWidget(Panel::ADVANCED, Control::AUTOSAVE), Qt::LeftButton);
    EXPECT_FALSE(ui_.IsDimmed(Panel::ADVANCED, Control::APPLY));
}

TEST_F(QtUiTest, HiddenControl_HidesItsCaptionToo) {
    QWidget* caption = ui_.PanelWidget(Panel::CONNECT)->findChild<QWidget*>("portLabel");
    ASSERT_NE(caption, nullptr);
    ui_.SetVisible(Panel::CONNECT, Control::PORT, false);
    EXPECT_TRUE(caption->isHidden());
    ui_.SetDimmed(Panel::CONNECT, Control::PORT, true);
    EXPECT_FALSE(caption->isEnabled());
}

TEST_F(QtUiTest, TimerTickInsideAnotherCallback_IsDropped) {
    ui_.SetText(Panel::MAIN, Control::DATE, "");
    program_.Link().Settings().open = 1;
    program_.Marks().table_changed = true;
    std::string date_inside;
    ui_.SetPopupDriver([&](QDialog& dialog) {
        ui_.Dispatch(Panel::MAIN, Control::TIMER, UiEvent::TimerTick);
        date_inside = ui_.TextValue(Panel::MAIN, Control::DATE);
        dialog.reject();
    });
    ui_.Dispatch(Panel::MAIN, Control::QUIT, UiEvent::Commit);  // asks, and waits in the pop-up
    EXPECT_EQ(date_inside, "");

    ui_.Dispatch(Panel::MAIN, Control::TIMER, UiEvent::TimerTick);
    EXPECT_NE(ui_.TextValue(Panel::MAIN, Control::DATE), "");

    // Inside an operation that talks to the unit (a pause, a pop-up) the clock goes on, and
    // still nothing is polled, however long the program has been quiet.
    ui_.SetText(Panel::MAIN, Control::DATE, "");
    program_.Status().Activity().idle_seconds = 100;
    const size_t written = port_.Written().size();
    {
        UnitOperationScope operation(program_);
        ui_.Dispatch(Panel::MAIN, Control::QUIT, UiEvent::Commit);
    }
    EXPECT_NE(date_inside, "");
    EXPECT_EQ(port_.Written().size(), written);
}

TEST_F(QtUiTest, ProgressBars_ShownBesideTheirLinesWhileInUse) {
    for (Panel panel : {Panel::MAIN, Panel::ADVANCED}) {
        SCOPED_TRACE(PanelName(panel));
        auto* bar = ui_.PanelWidget(panel)->findChild<QProgressBar*>(QStringLiteral("progressBar"));
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(bar->isHidden());
        ui_.ShowProgress(panel, 42, "Events read: 17 (42%)");
        EXPECT_FALSE(bar->isHidden());
        EXPECT_EQ(bar->value(), 42);
        EXPECT_EQ(bar->text(), "Events read: 17 (42%)");
        ui_.HideProgress(panel);
        EXPECT_TRUE(bar->isHidden());
    }
}

TEST_F(QtUiTest, WindowsPause_LastsItsTimeAndRunsTimersMeanwhile) {
    using std::chrono::milliseconds;
    // A stall is the thread held up for longer than the whole pause, as a loaded machine
    // may do to it: the timers due meanwhile still run before the pause ends.
    for (const bool stalled : {false, true}) {
        SCOPED_TRACE(stalled ? "thread stalled" : "thread free");
        EventLoopPlatform platform(platform_);
        bool early = false;
        bool late = false;
        QTimer::singleShot(milliseconds(5), Qt::PreciseTimer, [&] {
            early = true;
            if (stalled) {
                std::this_thread::sleep_for(milliseconds(120));
            }
        });
        QTimer::singleShot(milliseconds(55), Qt::PreciseTimer, [&] { late = true; });
        const auto start = std::chrono::steady_clock::now();
        platform.Delay(0.06);
        EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(60));
        EXPECT_TRUE(early);
        EXPECT_TRUE(late);
    }
}

TEST_F(QtUiTest, PopupPanel_OpensWithoutWaitingAndEscapeRunsItsCancelButton) {
    ui_.InstallPopup(Panel::CONNECT);
    EXPECT_TRUE(ui_.IsPopupInstalled(Panel::CONNECT));
    EXPECT_EQ(ui_.PanelWidget(Panel::CONNECT)->windowModality(), Qt::ApplicationModal);
    QTest::keyClick(ui_.PanelWidget(Panel::CONNECT), Qt::Key_Escape);
    EXPECT_FALSE(ui_.IsPopupInstalled(Panel::CONNECT));

    // ADVANCED with an unapplied change asks first; "Cancel" keeps the panel open.
    ui_.InstallPopup(Panel::ADVANCED);
    ui_.SetDimmed(Panel::ADVANCED, Control::APPLY, false);
    ui_.SetPopupDriver(ClickButton("Cancel", &seen_));
    QTest::keyClick(ui_.PanelWidget(Panel::ADVANCED), Qt::Key_Escape);
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].title, "Prompts");
    EXPECT_TRUE(ui_.IsPopupInstalled(Panel::ADVANCED));
    ui_.RemovePopup(Panel::ADVANCED);
    EXPECT_FALSE(ui_.IsPopupInstalled(Panel::ADVANCED));
}

TEST_F(QtUiTest, FocusedButtonDimmed_FocusGoesToTheEventTableNeverToQuit) {
    QWidget* grid = ui_.ControlWidget(Panel::MAIN, Control::EVENT_TABLE);
    for (const bool grid_in_use : {true, false}) {
        for (const Control control :
             {Control::ACCEPT_CHANGES, Control::UNDO_CHANGES, Control::STOP}) {
            SCOPED_TRACE(std::string(ControlName(control)) + (grid_in_use ? "" : ", grid dimmed"));
            ui_.SetDimmed(Panel::MAIN, Control::EVENT_TABLE, !grid_in_use);
            ui_.SetDimmed(Panel::MAIN, control, false);
            QWidget* button = ui_.ControlWidget(Panel::MAIN, control);
            button->setFocus();
            ASSERT_EQ(ui_.MainWindow()->focusWidget(), button);

            ui_.SetDimmed(Panel::MAIN, control, true);
            QWidget* focus = ui_.MainWindow()->focusWidget();
            EXPECT_NE(focus, ui_.ControlWidget(Panel::MAIN, Control::QUIT));
            EXPECT_EQ(focus, grid_in_use ? grid : nullptr);
        }
    }
}

TEST(QtUiStartUp, NoConnectionAfterStartUp_ConnectButtonIsWhite) {
    testing::App();
    for (const bool attempted : {false, true}) {
        SCOPED_TRACE(attempted ? "attempt failed" : "no attempt");
        testing::TempDir temp;
        testing::FakePlatform platform;
        testing::FakeSerialPort port;
        port.SetOpenResult(-1);
        platform.SetSettingsFolder(temp / "Keelsong");
        platform.SetDocumentsFolder(temp / "Documents");
        if (attempted) {
            std::filesystem::create_directories(temp / "Keelsong");
            std::ofstream(temp / "Keelsong/Keelsong.ini") << "[Connection]\nSerial Port = 3\n";
        }
        QtUi ui;
        Program program{ui, port, platform};
        ui.Attach(program);
        StartProgram(program, MakeDefaultFolder(platform), [&ui] { ui.MainWindow()->show(); });
        EXPECT_EQ(ui.IsPopupInstalled(Panel::CONNECT), attempted);
        const QWidget* button = ui.ControlWidget(Panel::MAIN, Control::CONNECTION);
        EXPECT_EQ(button->palette().color(QPalette::Button).name().toStdString(), "#ffffff");
        ui.Detach();
    }
}

TEST_F(QtUiTest, ConnectStatusLine_ShowsALongReasonWholeAndInItsTooltip) {
    ui_.InstallPopup(Panel::CONNECT);
    port_.SetOpenResult(kSerialPermissionDenied);
    EXPECT_EQ(ConnectToPort(program_, false), -1);
    QApplication::processEvents();  // the panel lays itself out again

    auto* line = Widget<QLabel>(Panel::CONNECT, Control::STATUS_LINE);
    ASSERT_NE(line, nullptr);
    EXPECT_NE(line->text().indexOf("dialout"), -1);
    EXPECT_EQ(line->toolTip().toStdString(), line->text().toStdString());
    const QRect room = line->contentsRect().marginsRemoved(
        QMargins(line->margin(), line->margin(), line->margin(), line->margin()));
    const QRect needed = line->fontMetrics().boundingRect(room, Qt::TextWordWrap, line->text());
    EXPECT_LE(needed.width(), room.width());
    EXPECT_LE(needed.height(), room.height());
}

TEST_F(QtUiTest, StartTimeMinutes_ShowTwoDigits) {
    ui_.SetInt(Panel::MAIN, Control::HOUR, 23);
    ui_.SetInt(Panel::MAIN, Control::MIN, 3);
    EXPECT_EQ(Widget<QSpinBox>(Panel::MAIN, Control::HOUR)->text().toStdString() + " : " +
                  Widget<QSpinBox>(Panel::MAIN, Control::MIN)->text().toStdString(),
              "23 : 03");
    EXPECT_EQ(ui_.IntValue(Panel::MAIN, Control::MIN), 3);
}

struct GenericCase {
    const char* name;
    QtUi::PopupDriver driver;
    int answer;
};

TEST_F(QtUiTest, GenericPopup_AnswersTheButtonClickedOrTheKeysButtonOrClosed) {
    const std::array<std::string, 3> buttons = {"One", "Two", "Three"};
    const GenericCase cases[] = {
        {"first", ClickButton("One"), 1},        {"second", ClickButton("Two"), 2},
        {"third", ClickButton("Three"), 3},      {"enter", PressKey(Qt::Key_Return), 2},
        {"escape", PressKey(Qt::Key_Escape), 1}, {"title bar close", CloseDialog(), kPopupClosed},
    };
    for (const GenericCase& c : cases) {
        ui_.SetPopupDriver(c.driver);
        EXPECT_EQ(ui_.GenericMessagePopup("Title", "Text", buttons, 2, 1), c.answer) << c.name;
    }
}

TEST_F(QtUiTest, GenericPopup_EmptyThirdLabel_TwoButtonsOnly) {
    const std::array<std::string, 3> buttons = {"Keep Edits", "Read Unit", ""};
    std::vector<SeenDialog> seen;
    ui_.SetPopupDriver(ClickButton("Read Unit", &seen));
    EXPECT_EQ(ui_.GenericMessagePopup("Unit replaced", "Text", buttons, 1, 1), 2);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].buttons, (std::vector<std::string>{"Keep Edits", "Read Unit"}));
    ui_.SetPopupDriver(PressKey(Qt::Key_Escape));
    EXPECT_EQ(ui_.GenericMessagePopup("Unit replaced", "Text", buttons, 1, 1), 1);
}

TEST_F(QtUiTest, ConfirmAndPromptPopups_AnswerAsTheUserDid) {
    ui_.SetPopupDriver(PressKey(Qt::Key_Return));
    EXPECT_TRUE(ui_.ConfirmPopup("Continue", "Sure?"));
    ui_.SetPopupDriver(PressKey(Qt::Key_Escape));
    EXPECT_FALSE(ui_.ConfirmPopup("Continue", "Sure?"));

    ui_.SetPopupDriver([](QDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>(), "123456789");
        dialog.accept();
    });
    EXPECT_EQ(ui_.PromptPopup("Serial Number", "New number", 5),
              std::optional<std::string>("12345"));
    ui_.SetPopupDriver([](QDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(ui_.PromptPopup("Serial Number", "New number", 5), std::nullopt);
}

TEST_F(QtUiTest, GridContextMenu_HoldsTheProgramsItemsOnly) {
    auto* grid = Widget<EventTableView>(Panel::MAIN, Control::EVENT_TABLE);
    ASSERT_NE(grid, nullptr);
    QStringList labels;
    for (QAction* action : grid->ContextMenu()->actions()) {
        labels << (action->isSeparator() ? QString() : action->text());
    }
    EXPECT_EQ(labels, (QStringList{"Add Event", "Insert Above", "Remove Event", "", "Refresh Table",
                                   "Clear Table", "", "Undo", "Redo"}));
    grid->ContextMenu()->actions().first()->trigger();
    EXPECT_EQ(program_.Grid().RowCount(), 1);
    EXPECT_EQ(grid->model()->rowCount(), 1);
}

TEST_F(QtUiTest, PanelPicture_IsAPngOfTheWholePanel) {
    const std::string path = temp_ / "main.png";
    ASSERT_EQ(ui_.SavePanelPicture(Panel::MAIN, path), 0);
    const QImage picture(QString::fromStdString(path), "PNG");
    EXPECT_EQ(picture.size(), ui_.MainWindow()->size() * ui_.MainWindow()->devicePixelRatio());
    EXPECT_LT(ui_.SavePanelPicture(Panel::MAIN, temp_ / "missing/folder/x.png"), 0);
}

}  // namespace
}  // namespace keelsong
