#include "app/shell/status_line.h"

#include <string>

namespace keelsong {

void StatusLine::ShowStatusMessage(bool success, std::string_view text) {
    ui_.SetTextColor(Panel::MAIN, Control::STATUS_LINE, success ? kColorBlack : kColorRed);
    ui_.SetText(Panel::MAIN, Control::STATUS_LINE, std::string(text));
    activity_.idle_seconds = 0;
    ++shown_;
    if (success) {
        last_success_at_ = shown_;
        last_success_ = std::string(text);
    } else {
        last_failure_at_ = shown_;
        last_failure_ = std::string(text);
    }
}

}  // namespace keelsong
