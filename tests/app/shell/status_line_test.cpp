#include "app/shell/status_line.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace keelsong
