#include "app/files/screenshots.h"

#include <optional>
#include <string>

#include "app/shell/text_format.h"
#include "app/state/program.h"

namespace keelsong {

namespace {

constexpr char kFolderTitle[] = "Select Screenshot Folder";

// The folder dialog, starting from the remembered folder; a choice replaces it and counts for
// the rest of the run. False when cancelled.
bool ChooseScreenshotFolder(Program& program) {
    UserSettings& settings = program.Settings();
    const std::optional<std::string> folder =
        program.GetUi().DirSelectPopup(settings.ScreenshotFolder(), kFolderTitle);
    if (!folder) {
        return false;
    }
    settings.ScreenshotFolder() = *folder;
    settings.ScreenshotFolderChosen() = true;
    return true;
}

}  // namespace

std::string ScreenshotFileName(const std::string& folder, uint32_t serial_number,
                               const CalendarTime& local) {
    // An empty folder names the working directory, not the root.
    const bool needs_separator = !folder.empty() && folder.back() != '/';
    return folder + (needs_separator ? "/" : "") +
           FormatText("Keelsong_Unit%u_%02d%02d%02d_%02d%02d%02d.png", serial_number,
                      (local.year % 100 + 100) % 100, local.month, local.day, local.hour,
                      local.minute, local.second);
}

int SetScreenshotFolderCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        ChooseScreenshotFolder(program);
    }
    return 0;
}

int SaveScreenShotCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    if (!program.Settings().ScreenshotFolderChosen() && !ChooseScreenshotFolder(program)) {
        return 0;
    }
    Platform& platform = program.GetPlatform();
    const std::optional<CalendarTime> now = platform.ToLocal(platform.UtcNow());
    const uint32_t serial = program.Link().IsConnected() ? program.Identity().SerialNumber() : 0;
    const bool saved =
        now && program.GetUi().SavePanelPicture(
                   Panel::MAIN,
                   ScreenshotFileName(program.Settings().ScreenshotFolder(), serial, *now)) == 0;
    if (saved) {
        program.ShowStatusMessage(true, "Screenshot saved successfully");
    } else {
        program.ShowStatusMessage(false, "Save screenshot failed, please try again");
    }
    return 0;
}

}  // namespace keelsong
