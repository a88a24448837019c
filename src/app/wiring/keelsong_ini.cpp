#include "app/shell/keelsong_ini.h"

#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/connection/connection.h"
#include "app/setup/setup_panel.h"
#include "app/state/program.h"
#include "app/wiring/startup.h"

namespace keelsong {

namespace {

constexpr char kConnection[] = "Connection";
constexpr char kSerialPort[] = "Serial Port";
constexpr char kSerialTimeout[] = "Serial Timeout";
constexpr char kSettings[] = "Settings";
constexpr char kAutosave[] = "Autosave";
constexpr char kPaths[] = "Paths";
constexpr char kScreenshotPath[] = "Screenshot Path";
constexpr char kConfigPath[] = "Config Path";

constexpr uint32_t kDefaultTimeoutMs = 600;

// The settings folder, made when missing. Its parent levels are made too: on a fresh Linux
// account even ~/.config may not exist yet, where the Windows application-data folder always
// did. An existing entry counts only when it is a folder; a file of that name cannot hold
// Keelsong.ini.
bool MakeSettingsFolder(Platform& platform, const std::string& folder) {
    const std::filesystem::path path(folder);
    if (path.has_parent_path() && path.parent_path() != path.root_path()) {
        MakeDirectoryPath(platform, path.parent_path().string());
    }
    const int made = platform.MakeDir(folder);
    if (made == 0) {
        return true;
    }
    std::error_code ignored;
    return made == kMakeDirExists && std::filesystem::is_directory(path, ignored);
}

std::string ReadFolder(const IniDocument& document, const char* item) {
    std::vector<char> buffer(kFolderBufferSize, '\0');
    document.GetStringIntoBuffer(kPaths, item, buffer.data(), buffer.size());
    return std::string(buffer.data());
}

}  // namespace

int LoadUserSettings(Program& program) {
    UserSettings& settings = program.Settings();
    const std::string folder = program.GetPlatform().SettingsFolder();
    if (!MakeSettingsFolder(program.GetPlatform(), folder)) {
        program.Status().ShowMessagePopup(folder, kSettingsFolderError);
        return -1;
    }
    settings.file_path_ = folder + "/" + kSettingsFileName;

    std::unique_ptr<IniDocument> document = Ini_New(1);
    if (!document) {
        program.Status().ShowMessagePopup("ERROR", "Not enough free memory!");
        return -1;
    }
    const int read = document->ReadFromFile(settings.file_path_);
    settings.document_ = std::move(document);
    if (read < 0) {
        return read;
    }

    uint32_t port = 0;
    uint32_t timeout = kDefaultTimeoutMs;
    bool autosave = false;
    {
        std::lock_guard<std::mutex> hold(settings.lock_);
        const IniDocument& ini = *settings.document_;
        // A bad value fails only its own read: the value keeps its default.
        ini.GetUInt(kConnection, kSerialPort, &port);
        ini.GetUInt(kConnection, kSerialTimeout, &timeout);
        ini.GetBoolean(kSettings, kAutosave, &autosave);
        settings.screenshot_folder_ = ReadFolder(ini, kScreenshotPath);
        settings.config_folder_ = ReadFolder(ini, kConfigPath);
    }

    SetSaveBeforePlaying(program, autosave);
    ConnectionSettings connection;
    connection.port_number = static_cast<int>(port);
    connection.timeout_ms = timeout;
    ApplyConnectionSettings(program, connection);
    return 0;
}

int SaveUserSettings(Program& program) {
    UserSettings& settings = program.Settings();
    const ConnectionSettings connection = program.Link().Settings();
    const bool autosave = SaveBeforePlaying(program);
    const std::string screenshot_folder = settings.screenshot_folder_;
    const std::string config_folder = settings.config_folder_;

    std::lock_guard<std::mutex> hold(settings.lock_);
    if (!settings.document_) {
        // The folder could not be made at start-up and the user was told then.
        return -1;
    }
    IniDocument& ini = *settings.document_;
    ini.PutUInt(kConnection, kSerialPort, static_cast<uint32_t>(connection.port_number));
    ini.PutUInt(kConnection, kSerialTimeout, connection.timeout_ms);
    ini.PutBoolean(kSettings, kAutosave, autosave);
    ini.PutString(kPaths, kScreenshotPath, screenshot_folder);
    ini.PutString(kPaths, kConfigPath, config_folder);
    return ini.WriteToFile(settings.file_path_);
}

}  // namespace keelsong
