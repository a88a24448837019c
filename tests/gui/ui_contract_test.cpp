// What the program's logic relies on from any Ui: the same checks run against HeadlessUi (the
// tests' Ui) and, offscreen, QtUi (the window), so the two cannot drift apart.
#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <memory>

#include "gui/qt_ui.h"
#include "gui_support.h"
#include "headless/headless_ui.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

struct UiMaker {
    const char* name;
    std::function<std::unique_ptr<Ui>()> make;
    friend void PrintTo(const UiMaker& m, std::ostream* os) { *os << m.name; }
};

// HeadlessUi starts empty: give it the ring the window's form brings.
std::unique_ptr<Ui> MakeHeadless() {
    auto ui = std::make_unique<HeadlessUi>();
    for (auto [label, value] : {std::pair{"Sync In - Falling Edge", 0},
                                {"Sync In - Rising Edge", 2},
                                {"Sync Out - Falling Edge", 1},
                                {"Disabled", 4}}) {
        ui->AppendListItem(Panel::MAIN, Control::SYNC_MODE, label, value);
    }
    return ui;
}

class UiContractTest : public ::testing::TestWithParam<UiMaker>, public testing::WithApplication {
  protected:
    std::unique_ptr<Ui> ui_ = GetParam().make();
};

TEST_P(UiContractTest, Numeric_ValueOutsideRange_ComesToTheNearestLimit) {
    Ui& ui = *ui_;
    ui.SetRange(Panel::CONNECT, Control::PORT, 1, 30);
    ui.SetInt(Panel::CONNECT, Control::PORT, 45);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 30);
    ui.SetInt(Panel::CONNECT, Control::PORT, -4);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 1);
    ui.SetInt(Panel::CONNECT, Control::PORT, 17);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 17);

    ui.SetRange(Panel::MAIN, Control::REST_TIME, 0.0, 3024000.0);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 12.5);
    EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 12.5);
    // A narrower range brings the value already there inside it.
    ui.SetRange(Panel::MAIN, Control::REST_TIME, 0.0, 2.0);
    EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 2.0);
}

TEST_P(UiContractTest, Ring_ValueOfNoItem_LeavesTheChoiceAsItWas) {
    Ui& ui = *ui_;
    ui.SetInt(Panel::MAIN, Control::SYNC_MODE, 1);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::SYNC_MODE), 1);
    for (int stray : {3, -1, 5, 255}) {
        ui.SetInt(Panel::MAIN, Control::SYNC_MODE, stray);
        EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::SYNC_MODE), 1) << stray;
    }
    ui.SetInt(Panel::MAIN, Control::SYNC_MODE, 4);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::SYNC_MODE), 4);
}

TEST_P(UiContractTest, Attributes_ReadBackAsSet) {
    Ui& ui = *ui_;
    const auto [panel, control] = std::pair{Panel::CONNECT, Control::SEARCH};
    for (bool flag : {true, false}) {
        ui.SetDimmed(panel, control, flag);
        EXPECT_EQ(ui.IsDimmed(panel, control), flag);
        ui.SetVisible(panel, control, !flag);
        EXPECT_EQ(ui.IsVisible(panel, control), !flag);
    }
    ui.SetLabel(panel, control, "Disconnect");
    EXPECT_EQ(ui.Label(panel, control), "Disconnect");
    ui.SetTooltip(Panel::MAIN, Control::BATT_ICON, "<5%");
    EXPECT_EQ(ui.Tooltip(Panel::MAIN, Control::BATT_ICON), "<5%");
    for (uint32_t colour : {kColorRed, kColorBlack}) {
        ui.SetTextColor(Panel::MAIN, Control::STATUS_LINE, colour);
        EXPECT_EQ(ui.TextColor(Panel::MAIN, Control::STATUS_LINE), colour);
    }
    ui.SetText(Panel::MAIN, Control::STATUS_LINE, "No Connection");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE), "No Connection");
    // A control name on two panels is two controls.
    ui.SetText(Panel::CONNECT, Control::STATUS_LINE, "connect");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE), "No Connection");
    EXPECT_EQ(ui.TextValue(Panel::CONNECT, Control::STATUS_LINE), "connect");
}

TEST_P(UiContractTest, List_ItemsKeepValuesAndTheFirstIsSelected) {
    Ui& ui = *ui_;
    const auto [panel, control] = std::pair{Panel::CONNECT, Control::DEVICE_LIST};
    EXPECT_EQ(ui.ListSelectedIndex(panel, control), -1);
    ui.AppendListItem(panel, control, "Port 3 - Orvane HF #1042", 3);
    ui.AppendListItem(panel, control, "Port 7 - Orvane LF #12", 7);
    EXPECT_EQ(ui.ListCount(panel, control), 2);
    EXPECT_EQ(ui.ListSelectedIndex(panel, control), 0);
    EXPECT_EQ(ui.ListValueAt(panel, control, 1), 7);
    EXPECT_EQ(ui.ListValueAt(panel, control, 2), std::nullopt);
    ui.ClearList(panel, control);
    EXPECT_EQ(ui.ListCount(panel, control), 0);
    EXPECT_EQ(ui.ListSelectedIndex(panel, control), -1);
}

TEST_P(UiContractTest, PanelPicture_WrittenAsPngOrFailsWhereNoFileCanBe) {
    testing::TempDir folder;
    ASSERT_EQ(ui_->SavePanelPicture(Panel::MAIN, folder / "main.png"), 0);
    EXPECT_FALSE(QImage(QString::fromStdString(folder / "main.png"), "PNG").isNull());
    EXPECT_LT(ui_->SavePanelPicture(Panel::MAIN, folder / "missing/main.png"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    BothUis, UiContractTest,
    ::testing::Values(UiMaker{"Headless", MakeHeadless},
                      UiMaker{"Qt", [] { return std::unique_ptr<Ui>(std::make_unique<QtUi>()); }}),
    [](const ::testing::TestParamInfo<UiMaker>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace keelsong
