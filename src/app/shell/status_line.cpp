#include "app/shell/status_line.h"

#include <string>

namespace keelsong {

void StatusLine::ShowStatusMessage(bool success, std::string_view text) {
    ui_.SetTextColor(Panel::MAIN, Control::STATUS_LINE, success ? kColorBlack : kColorRed);
    ui_.SetText(Panel::MAIN, Control::STATUS_LINE, std::string(text));
    activity_.idle_seconds = 0;
}

}  // namespace keelsong
