#pragma once

#include <string>

#include "app/shell/text_format.h"
#include "app/shell/ui.h"

namespace keelsong {

// A panel's progress bar for as long as a long operation runs: shown from the start, hidden
// once the operation is over, however it ends.
class ProgressBar {
  public:
    ProgressBar(Ui& ui, Panel panel) : ui_(ui), panel_(panel) { ui_.ShowProgress(panel_, 0, "0%"); }
    ~ProgressBar() { ui_.HideProgress(panel_); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // `done` of `total` as a percentage; a total of 0 counts as all done.
    void ShowPart(size_t done, size_t total) {
        const int percent =
            total == 0 ? 100 : static_cast<int>(std::min(done, total) * 100 / total);
        ui_.ShowProgress(panel_, percent, FormatText("%d%%", percent));
    }
    // A count where the total is not known beforehand: `done` against the most there can be,
    // with `text` telling the count.
    void ShowCount(int done, int most, const std::string& text) {
        ui_.ShowProgress(panel_, most <= 0 ? 100 : std::min(done, most) * 100 / most, text);
    }

  private:
    Ui& ui_;
    Panel panel_;
};

}  // namespace keelsong
