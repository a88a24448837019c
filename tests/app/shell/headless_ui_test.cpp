#include "headless/headless_ui.h"

#include <gtest/gtest.h>

namespace keelsong {
namespace {

TEST(HeadlessUi, NumericValues_AreBroughtIntoRange) {
    HeadlessUi ui;
    ui.SetRange(Panel::CONNECT, Control::PORT, 1, 30);
    ui.SetInt(Panel::CONNECT, Control::PORT, 45);
    EXPECT_EQ(ui.IntValue(Panel::CONNECT, Control::PORT), 30);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 5.5);
    ui.SetRange(Panel::MAIN, Control::REST_TIME, 0.0, 2.0);
    EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 2.0);
}

TEST(HeadlessUi, SameControlNameOnTwoPanels_AreSeparate) {
    HeadlessUi ui;
    ui.SetText(Panel::MAIN, Control::STATUS_LINE, "main");
    ui.SetText(Panel::CONNECT, Control::STATUS_LINE, "connect");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE), "main");
    EXPECT_EQ(ui.TextValue(Panel::CONNECT, Control::STATUS_LINE), "connect");
}

TEST(HeadlessUi, Popups_AnsweredFromScriptThenByDefaults) {
    HeadlessUi ui;
    ui.AnswerGeneric(1);
    EXPECT_EQ(ui.GenericMessagePopup("Quit", "Save changes before closing?",
                                     {"Save", "Quit without saving", "Cancel"}, 1, 3),
              1);
    EXPECT_EQ(ui.GenericMessagePopup("Quit", "again", {"a", "b", "c"}, 1, 3), 3);
    ui.CloseGeneric();
    EXPECT_EQ(ui.GenericMessagePopup("Quit", "closed", {"a", "b", "c"}, 1, 3), kPopupClosed);
    EXPECT_FALSE(ui.ConfirmPopup("t", "x"));
    ui.AnswerPrompt(std::string("123456789"));
    EXPECT_EQ(ui.PromptPopup("Serial", "New number", 5), std::optional<std::string>("12345"));
    EXPECT_EQ(ui.FileSelectPopup("/tmp", "*.tlk", "Load", false).choice, FileChoice::Cancelled);
    ASSERT_EQ(ui.Popups().size(), 6u);
    EXPECT_EQ(ui.Popups()[0].title, "Quit");
    EXPECT_EQ(ui.Popups()[0].kind, HeadlessUi::PopupKind::Generic);
}

TEST(HeadlessUi, ListItems_KeepLabelsValuesAndSelection) {
    HeadlessUi ui;
    EXPECT_EQ(ui.ListSelectedIndex(Panel::CONNECT, Control::DEVICE_LIST), -1);
    ui.AppendListItem(Panel::CONNECT, Control::DEVICE_LIST, "Port 3 - Orvane HF #12", 3);
    ui.AppendListItem(Panel::CONNECT, Control::DEVICE_LIST, "Port 7 - Orvane LF #4", 7);
    ui.SelectListItem(Panel::CONNECT, Control::DEVICE_LIST, 1);
    EXPECT_EQ(ui.ListCount(Panel::CONNECT, Control::DEVICE_LIST), 2);
    EXPECT_EQ(ui.ListValueAt(Panel::CONNECT, Control::DEVICE_LIST, 1), 7);
    EXPECT_EQ(ui.ListValueAt(Panel::CONNECT, Control::DEVICE_LIST, 2), std::nullopt);
    EXPECT_EQ(ui.ListSelectedIndex(Panel::CONNECT, Control::DEVICE_LIST), 1);
    ui.ClearList(Panel::CONNECT, Control::DEVICE_LIST);
    EXPECT_EQ(ui.ListCount(Panel::CONNECT, Control::DEVICE_LIST), 0);
    EXPECT_EQ(ui.ListSelectedIndex(Panel::CONNECT, Control::DEVICE_LIST), -1);
}

TEST(Controls, EveryControlOfEveryPanel_HasAName) {
    for (Panel panel : kAllPanels) {
        EXPECT_FALSE(PanelName(panel).empty());
        for (Control control : ControlsOf(panel)) {
            EXPECT_FALSE(ControlName(control).empty());
        }
    }
    EXPECT_EQ(ControlName(Control::EVENT_TABLE), "EVENT_TABLE");
    EXPECT_EQ(ControlName(Control::SETSCREENSHOTFOLDER), "SETSCREENSHOTFOLDER");
}

}  // namespace
}  // namespace keelsong
