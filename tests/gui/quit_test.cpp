// Quitting through the real window, offscreen: the QUIT button and the title bar's close take
// the same path, with the "Quit" question answered on the real dialog.
#include <gtest/gtest.h>

#include <QCursor>
#include <filesystem>
#include <optional>

#include "app/shell/callbacks.h"
#include "app/state/program.h"
#include "app/wiring/startup.h"
#include "gui/qt_ui.h"
#include "gui_support.h"
#include "sim/unit_simulator.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

using testing::ClickButton;
using testing::PressKey;
using testing::SeenDialog;

// The program in the real window, started as keelsong starts it (no settings file yet, so no
// connection is attempted and the file appears only when the settings are saved).
class QuitTest : public ::testing::Test, public testing::WithApplication {
  protected:
    QuitTest() {
        platform_.SetSettingsFolder(temp_ / "config/Keelsong");
        platform_.SetDocumentsFolder(temp_ / "Documents");
        ui_.Attach(program_);
        program_.GetShell().SetQuitHandler([this] { ++event_loop_ends_; });
        StartProgram(program_, MakeDefaultFolder(platform_), [this] { ui_.MainWindow()->show(); });
    }
    ~QuitTest() override { ui_.Detach(); }

    void HaveUnsentEdits(bool connected) {
        program_.Link().Settings().open = connected ? 1 : 0;
        program_.Marks().table_changed = true;
    }
    // The unit on the line answers "Accept Changes", or stays silent so that it fails; every
    // frame sent notes whether the wait cursor was on.
    void UnitAnswers(bool answers) {
        port_.SetResponder([this, answers](std::span<const uint8_t> written) {
            ++frames_sent_;
            const QCursor* cursor = QApplication::overrideCursor();
            wait_cursor_during_accept_ = cursor && cursor->shape() == Qt::WaitCursor;
            return answers ? unit_.HandleRequest(written) : std::vector<uint8_t>{};
        });
    }
    bool SettingsSaved() const {
        return std::filesystem::exists(temp_ / "config/Keelsong/Keelsong.ini");
    }
    bool Quit() const { return program_.GetShell().QuitRequested(); }

    testing::TempDir temp_;
    testing::FakePlatform platform_;
    testing::FakeSerialPort port_;
    QtUi ui_;
    Program program_{ui_, port_, platform_};
    std::vector<SeenDialog> seen_;
    int event_loop_ends_ = 0;
    sim::UnitSimulator unit_;
    int frames_sent_ = 0;
    bool wait_cursor_during_accept_ = false;
};

struct QuitCase {
    const char* name;
    bool connected;
    bool unit_answers;
    // How the question is answered: a button's text, or a key.
    const char* click;
    Qt::Key key;
    bool asks;
    int accepts;
    bool quits;
    int result;
    friend void PrintTo(const QuitCase& c, std::ostream* os) { *os << c.name; }
};

class QuitPathTest : public QuitTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitPathTest, QuitButton_AnsweredOnTheRealDialog) {
    const QuitCase& c = GetParam();
    HaveUnsentEdits(c.connected);
    UnitAnswers(c.unit_answers);
    ui_.SetPopupDriver(c.click ? ClickButton(c.click, &seen_) : PressKey(c.key, &seen_));

    EXPECT_EQ(Press(program_, Panel::MAIN, Control::QUIT), c.result);

    ASSERT_EQ(seen_.size(), c.asks ? 1u : 0u);
    if (c.asks) {
        EXPECT_EQ(seen_[0].title, "Quit");
        EXPECT_EQ(seen_[0].text, "Save changes before closing?");
        EXPECT_EQ(seen_[0].buttons,
                  (std::vector<std::string>{"Save", "Quit without saving", "Cancel"}));
        EXPECT_EQ(seen_[0].default_button, "Save");
    }
    EXPECT_EQ(frames_sent_ > 0, c.accepts > 0);  // "Accept Changes" ran
    EXPECT_EQ(Quit(), c.quits);
    EXPECT_EQ(event_loop_ends_, c.quits ? 1 : 0);
    EXPECT_EQ(SettingsSaved(), c.quits);
    if (c.accepts > 0) {
        EXPECT_TRUE(wait_cursor_during_accept_);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Quit, QuitPathTest,
    ::testing::Values(
        QuitCase{"NoUnitConnected_NeverAsksAndSaves", false, true, "Save", Qt::Key_unknown, false,
                 0, true, 0},
        QuitCase{"Save_AcceptsThenQuits", true, true, "Save", Qt::Key_unknown, true, 1, true, 0},
        QuitCase{"EnterKey_AnswersSave", true, true, nullptr, Qt::Key_Return, true, 1, true, 0},
        QuitCase{"QuitWithoutSaving_SendsNothing", true, true, "Quit without saving",
                 Qt::Key_unknown, true, 0, true, 0},
        QuitCase{"Cancel_StaysWithNothingSaved", true, true, "Cancel", Qt::Key_unknown, true, 0,
                 false, 0},
        QuitCase{"EscapeKey_AnswersCancel", true, true, nullptr, Qt::Key_Escape, true, 0, false, 0},
        QuitCase{"SaveFails_StaysRunning", true, false, "Save", Qt::Key_unknown, true, 1, false,
                 -1}),
    [](const ::testing::TestParamInfo<QuitCase>& info) { return std::string(info.param.name); });

TEST_F(QuitTest, SaveFails_StatusLineSaysSoInRed) {
    HaveUnsentEdits(true);
    UnitAnswers(false);
    ui_.SetPopupDriver(ClickButton("Save"));
    EXPECT_EQ(Press(program_, Panel::MAIN, Control::QUIT), -1);
    EXPECT_EQ(ui_.TextValue(Panel::MAIN, Control::STATUS_LINE), "Accept changes failed");
    EXPECT_EQ(ui_.TextColor(Panel::MAIN, Control::STATUS_LINE), kColorRed);
    EXPECT_TRUE(ui_.MainWindow()->isVisible());
}

TEST_F(QuitTest, ConnectedWithoutEdits_QuitsWithoutAsking) {
    program_.Link().Settings().open = 1;
    ui_.SetPopupDriver(ClickButton("Cancel", &seen_));
    EXPECT_EQ(Press(program_, Panel::MAIN, Control::QUIT), 0);
    EXPECT_TRUE(seen_.empty());
    EXPECT_TRUE(Quit());
}

TEST_F(QuitTest, TitleBarClose_TakesTheQuitPathAndClosesOnlyWhenItQuits) {
    HaveUnsentEdits(true);
    ui_.SetPopupDriver(ClickButton("Cancel", &seen_));
    EXPECT_FALSE(ui_.MainWindow()->close());
    EXPECT_TRUE(ui_.MainWindow()->isVisible());
    EXPECT_FALSE(Quit());
    EXPECT_FALSE(SettingsSaved());
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].text, "Save changes before closing?");

    ui_.SetPopupDriver(ClickButton("Quit without saving", &seen_));
    EXPECT_TRUE(ui_.MainWindow()->close());
    EXPECT_FALSE(ui_.MainWindow()->isVisible());
    EXPECT_TRUE(Quit());
    EXPECT_TRUE(SettingsSaved());
}

TEST_F(QuitTest, OtherEventsOnQuit_DoNothing) {
    for (UiEvent event : {UiEvent::ValueChanged, UiEvent::KeyPress, UiEvent::LeftDoubleClick,
                          UiEvent::LeftClickRelease, UiEvent::TimerTick}) {
        EXPECT_EQ(Press(program_, Panel::MAIN, Control::QUIT, event), 0);
    }
    EXPECT_FALSE(Quit());
    EXPECT_FALSE(SettingsSaved());
}

}  // namespace
}  // namespace keelsong
