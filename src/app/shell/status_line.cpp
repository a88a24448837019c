#include "app/shell/status_line.h"

#include <string>

namespace keelsong {

void StatusLine::ShowStatusMessage(bool success, std::string_view text) {
    ui_.SetTextColor(Panel::MAIN, Control::STATUS_LINE, success ? kColorBlack : kColorRed);
    ui_.SetText(Panel::MAIN, Control::STATUS_LINE, std::string(text));
    activity_.idle_seconds = 0;
    ++shown_;
    current_ = std::string(text);
    if (success) {
        last_success_at_ = shown_;
        last_success_ = current_;
    } else {
        last_failure_at_ = shown_;
        last_failure_ = current_;
    }
    TellStage(text);
}

void StatusLine::ShowMessagePopup(std::string_view title, std::string_view text) {
    ++popups_;
    last_popup_ = std::string(text);
    ui_.MessagePopup(title, text);
}

void StatusLine::ShowStage(std::string_view text) {
    current_ = std::string(text);
    ui_.SetText(Panel::MAIN, Control::STATUS_LINE, current_);
    TellStage(text);
}

void StatusLine::TellStage(std::string_view text) const {
    if (listener_) {
        listener_(text);
    }
}

std::string StatusLine::FailureSince(const Mark& mark, bool popup_first) const {
    const bool failure_told = last_failure_at_ > mark.messages;
    const bool popup_told = popups_ > mark.popups;
    if (popup_told && (popup_first || !failure_told)) {
        return last_popup_;
    }
    return failure_told ? last_failure_ : current_;
}

}  // namespace keelsong
