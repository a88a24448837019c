#include "app/service/firmware_backup.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/events/event_grid.h"
#include "app/files/config_file_io.h"
#include "app/setup/playback.h"
#include "app/setup/setup_panel.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "files/config_file.h"
#include "files/config_file_read.h"

namespace keelsong {

namespace {

namespace fs = std::filesystem;

constexpr char kExtension[] = ".tlk";

std::string BackupPrefix(uint16_t serial) {
    return "unit" + std::to_string(serial) + "_";
}

// Whether `name` is a backup of the unit with `prefix`: the prefix, then yymmdd_hhmmss.
bool IsBackupName(const std::string& name, const std::string& prefix) {
    const std::string_view stamp_pattern = "000000_000000";
    if (name.size() != prefix.size() + stamp_pattern.size() + sizeof(kExtension) - 1 ||
        !name.starts_with(prefix) || !name.ends_with(kExtension)) {
        return false;
    }
    for (size_t k = 0; k < stamp_pattern.size(); ++k) {
        const char c = name[prefix.size() + k];
        if (stamp_pattern[k] == '_' ? c != '_' : (c < '0' || c > '9')) {
            return false;
        }
    }
    return true;
}

// What the program shows, put aside while the unit's own table and setup are read over it.
class ShownContents {
  public:
    explicit ShownContents(Program& program)
        : program_(program), marks_(program.Marks()), document_(Ini_New(1)) {
        // Only edits the unit lacks need keeping: otherwise reading shows the same again.
        if (document_ && (marks_.table_changed || marks_.setup_changed) &&
            PutConfiguration(program_, *document_) != 0) {
            document_.reset();
        }
    }
    bool Kept() const { return document_ != nullptr; }

    void PutBack() {
        if (!marks_.table_changed && !marks_.setup_changed) {
            return;
        }
        // The document is the program's own save: it always reads back.
        if (const std::optional<ConfigFileContents> kept = ContentsOfDocument(*document_)) {
            ReplaceGridEvents(program_, kept->events);
            DecodeSetup(program_, kept->setup, false);
        }
        ClearEditHistory(program_);
        MarkTableChanged(program_, marks_.table_changed);
        MarkSetupChanged(program_, marks_.setup_changed);
    }

  private:
    Program& program_;
    const ChangeMarks marks_;
    std::unique_ptr<IniDocument> document_;
};

}  // namespace

std::string BackupFolder(const Platform& platform) {
    return platform.DataFolder() + "/backups";
}

std::string BackupFileName(uint16_t serial, const CalendarTime& local) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d_%02d%02d%02d", local.year % 100, local.month,
                  local.day, local.hour, local.minute, local.second);
    return BackupPrefix(serial) + stamp + kExtension;
}

std::optional<std::string> NewestBackup(const std::string& folder, uint16_t serial) {
    const std::string prefix = BackupPrefix(serial);
    std::optional<std::string> newest;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        // The names differ only in their time, which reads in order as text.
        if (IsBackupName(name, prefix) && it->is_regular_file(error) &&
            (!newest || name > fs::path(*newest).filename().string())) {
            newest = it->path().string();
        }
    }
    return newest;
}

std::optional<std::string> BackUpUnit(Program& program, std::string& path) {
    path.clear();
    const auto fail = [&](std::string text) {
        program.ShowStatusMessage(false, text);
        return std::optional<std::string>(std::move(text));
    };
    Platform& platform = program.GetPlatform();
    if (platform.DataFolder().empty()) {
        return fail("No folder for backups: set XDG_DATA_HOME or HOME");
    }
    const std::string folder = BackupFolder(platform);
    const std::optional<CalendarTime> now = platform.ToLocal(platform.UtcNow());
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !now) {
        return fail("Backup folder " + folder +
                    " cannot be made: " + (error ? error.message() : "no local time"));
    }
    const std::string target =
        folder + "/" + BackupFileName(program.Identity().SerialNumber(), *now);
    if (fs::exists(target, error)) {
        // Never replace an earlier backup: it may be the only copy of another state.
        return fail("Backup " + target + " exists already");
    }
    ShownContents shown(program);
    if (!shown.Kept()) {
        return fail("Out of system memory");
    }
    const bool read = RetrieveTableAndSetup(program).ok;
    const bool saved = read && SaveConfigurationFile(program, target).ok;
    shown.PutBack();
    if (!read) {
        return fail("Table and setup to back up not read");
    }
    if (!saved) {
        fs::remove(target, error);
        return fail("Backup " + target + " not saved");
    }
    path = target;
    program.ShowStatusMessage(true, "Table and setup backed up to " + target);
    return std::nullopt;
}

}  // namespace keelsong
