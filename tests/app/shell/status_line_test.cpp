#include "app/shell/status_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/shell/outcome.h"
#include "headless/headless_ui.h"

namespace keelsong {
namespace {

TEST(StatusLine, FailureThenSuccess_ShowsSecondTextInBlack) {
    HeadlessUi ui;
    StatusLine status(ui);
    status.ShowStatusMessage(false, "No Response Received!");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE), "No Response Received!");
    EXPECT_EQ(ui.TextColor(Panel::MAIN, Control::STATUS_LINE), kColorRed);

    status.ShowStatusMessage(true, "Connected");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE), "Connected");
    EXPECT_EQ(ui.TextColor(Panel::MAIN, Control::STATUS_LINE), kColorBlack);
}

TEST(StatusLine, EmptyText_ClearsTheLine) {
    HeadlessUi ui;
    StatusLine status(ui);
    status.ShowStatusMessage(true, "something");
    status.ShowStatusMessage(true, "");
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE), "");
}

TEST(StatusLine, EveryMessage_ResetsIdleSecondsOnly) {
    HeadlessUi ui;
    StatusLine status(ui);
    status.Activity().idle_seconds = 5;
    status.Activity().failed_polls = 2;
    status.ShowStatusMessage(false, "x");
    EXPECT_EQ(status.Activity().idle_seconds, 0);
    EXPECT_EQ(status.Activity().failed_polls, 2);
}

// An operation's outcome comes from what it told while it ran, never from what was told before.
TEST(StatusLine, RunOperation_OutcomeIsWhatTheOperationTold) {
    struct Case {
        const char* name;
        std::function<int(StatusLine&)> operation;
        ToldIn told;
        Outcome expected;
    };
    const std::vector<Case> cases = {
        {"success: what it ended on",
         [](StatusLine& s) {
             s.ShowStatusMessage(true, "Playing");
             return 0;
         },
         ToldIn::StatusLine,
         {true, "Playing"}},
        {"a failure on the way, a success at the end",
         [](StatusLine& s) {
             s.ShowStatusMessage(false, "No Response Received!");
             s.ShowStatusMessage(true, "Reset unit successfully");
             return -1;
         },
         ToldIn::StatusLine,
         {false, "No Response Received!"}},
        {"the status line's failure before a pop-up",
         [](StatusLine& s) {
             s.ShowStatusMessage(false, "Reset Failed");
             s.ShowMessagePopup("Error", "Reset Failed, please try again.");
             return -1;
         },
         ToldIn::StatusLine,
         {false, "Reset Failed"}},
        {"told in a pop-up: the pop-up first",
         [](StatusLine& s) {
             s.ShowStatusMessage(false, "No Response Received!");
             s.ShowMessagePopup("Error", "Failed to update seral number.");
             return -1;
         },
         ToldIn::Popup,
         {false, "Failed to update seral number."}},
        {"a failure told only in a pop-up",
         [](StatusLine& s) {
             s.ShowMessagePopup("Error", "Reset Failed, please try again.");
             return -1;
         },
         ToldIn::StatusLine,
         {false, "Reset Failed, please try again."}},
        {"nothing told: the line as it stands, not an earlier failure",
         [](StatusLine&) { return -1; },
         ToldIn::StatusLine,
         {false, "Connected"}},
    };
    for (const Case& c : cases) {
        HeadlessUi ui;
        StatusLine status(ui);
        status.ShowStatusMessage(false, "earlier failure");
        status.ShowMessagePopup("Error", "earlier pop-up");
        status.ShowStatusMessage(true, "Connected");
        const Outcome outcome = RunOperation(
            status, [&] { return c.operation(status); }, c.told);
        EXPECT_EQ(outcome.ok, c.expected.ok) << c.name;
        EXPECT_EQ(outcome.message, c.expected.message) << c.name;
    }
}

}  // namespace
}  // namespace keelsong
