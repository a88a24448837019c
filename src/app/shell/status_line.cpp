#include "app/shell/status_line.h"

#include <string>

namespace keelsong {

void StatusLine::ShowStatusMessage(bool success, std::string_view text) {
    ui_.SetTextColor(Panel::MAIN, Control::STATUS_LINE, success ? kColorBlack : kColorRed);
    ui_.SetText(Panel::MAIN, Control::STATUS_LINE, std::string(text));
    activity_.idle_seconds = 0;
    TellStage(text);
}

void StatusLine::ShowMessagePopup(std::string_view title, std::string_view text) {
    ui_.MessagePopup(title, text);
}

void StatusLine::ShowStage(std::string_view text) {
    ui_.SetText(Panel::MAIN, Control::STATUS_LINE, std::string(text));
    TellStage(text);
}

void StatusLine::TellStage(std::string_view text) const {
    if (listener_) {
        listener_(text);
    }
}

}  // namespace keelsong
