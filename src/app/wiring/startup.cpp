#include "app/wiring/startup.h"
#include "app/changes/accept_changes.h"

#include <string>

#include "app/connection/connection.h"
#include "app/events/event_transfer.h"
#include "app/events/table_editing.h"
#include "app/files/config_file_io.h"
#include "app/service/firmware_update.h"
#include "app/setup/setup_panel.h"
#include "app/shell/keelsong_ini.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"

namespace keelsong {

void MakeDirectoryPath(Platform& platform, const std::string& path) {
    // Every level is attempted, the first one included: on Linux it is a plain folder (there
    // is no drive or server name to leave alone), and an existing level fails harmlessly.
    std::string running = path.starts_with('/') ? "" : ".";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            running += "/" + path.substr(start, end - start);
            platform.MakeDir(running);
        }
        start = end + 1;
    }
}

std::string MakeDefaultFolder(Platform& platform) {
    const std::string folder = platform.DocumentsFolder() + kDefaultFolderSuffix;
    MakeDirectoryPath(platform, folder);
    return folder;
}

int StartProgram(Program& program, const std::string& default_folder,
                 const std::function<void()>& display_main) {
    program.Settings().ScreenshotFolder() = default_folder;
    program.Settings().ConfigFolder() = default_folder;
    InstallSetupPanel(program);
    // Until a unit or a file gives a start time, the fields offer today rather than whatever
    // date the form was drawn with.
    ShowStartDate(program, program.GetPlatform().UtcNow());
    BuildTableMenu(program);
    program.Grid().DeleteAllRows();
    ClearEditHistory(program);
    program.GetUi().SetTooltip(Panel::MAIN, Control::BATT_ICON, "0%");
    // The look of "not connected" from the first moment, not only after a disconnection: the
    // connection attempt below may fail or not be made at all.
    ShowConnectedState(program, false);
    // A file can be opened before any unit is connected, or with none at all.
    program.GetUi().SetDimmed(Panel::MAIN, Control::LOAD_EVENTS, false);
    if (display_main) {
        display_main();
    }
    return LoadUserSettings(program);
}

void ShutDownProgram(Program& program) {
    program.Link().ClosePort();
}

int QuitCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    const ChangeMarks& marks = program.Marks();
    if (program.Link().IsConnected() && (marks.table_changed || marks.setup_changed)) {
        Ui& ui = program.GetUi();
        const int answer = ui.GenericMessagePopup("Quit", "Save changes before closing?",
                                                  {"Save", "Quit without saving", "Cancel"}, 1, 3);
        if (answer == 1) {
            ui.SetWaitCursor(true);
            if (!AcceptChanges(program).ok) {
                program.ShowStatusMessage(false, "Accept changes failed");
                ui.SetWaitCursor(false);
                return -1;
            }
            ui.SetWaitCursor(false);
        } else if (answer != 2) {
            // "Cancel", or the question closed without an answer: stay.
            return 0;
        }
    } else if (!program.Link().IsConnected() && program.History().unsaved_edits) {
        // Edits made with no unit live nowhere else: only a file can keep them.
        const int answer = program.GetUi().GenericMessagePopup(
            "Quit", "The table and setup hold edits not saved to a file. Save them before closing?",
            {"Save…", "Quit without saving", "Cancel"}, 1, 3);
        if ((answer == 1 && !SaveConfigFile(program).ok) || (answer != 1 && answer != 2)) {
            return 0;
        }
    }
    SaveUserSettings(program);
    program.GetShell().QuitUserInterface();
    return 0;
}

}  // namespace keelsong
