#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "files/ini.h"

namespace keelsong {

class Program;

inline constexpr char kSettingsFileName[] = "Keelsong.ini";
inline constexpr char kSettingsFolderError[] =
    "ERROR: Could not access AppData directory. Password and program settings cannot be saved!";

// A folder as the settings file holds it. Linux paths may be far longer than the 259 characters
// a Windows path could reach, so the store keeps up to PATH_MAX rather than cutting them short.
inline constexpr std::size_t kFolderBufferSize = 4096;

// The user settings between runs: the INI document read at start-up and written at quit (the
// same document, so that sections, items and comments the program does not know survive), the
// lock that guards it, and the two folders the settings name.
class UserSettings {
  public:
    // The folder for screenshots and the place the configuration-file dialogs start.
    std::string& ScreenshotFolder() { return screenshot_folder_; }
    std::string& ConfigFolder() { return config_folder_; }
    const std::string& ScreenshotFolder() const { return screenshot_folder_; }
    const std::string& ConfigFolder() const { return config_folder_; }
    // Whether the user picked the screenshot folder in the folder dialog during this run: the
    // first screenshot of every run asks for it. Not saved.
    bool& ScreenshotFolderChosen() { return screenshot_folder_chosen_; }

    // The full path of Keelsong.ini once the settings folder was found; empty before or when
    // the folder could not be made.
    const std::string& FilePath() const { return file_path_; }
    bool HasDocument() const { return document_ != nullptr; }

  private:
    friend int LoadUserSettings(Program& program);
    friend int SaveUserSettings(Program& program);

    std::mutex lock_;
    std::unique_ptr<IniDocument> document_;
    std::string file_path_;
    std::string screenshot_folder_;
    std::string config_folder_;
    bool screenshot_folder_chosen_ = false;
};

// Finds (making it when needed) the settings folder, reads Keelsong.ini and applies what it
// holds: the save-before-playing choice, the two folders, and the port and time-out, which are
// handed to the connection (ending in a connection attempt). 0 on success; the INI layer's
// negative code when the file cannot be read (then nothing is applied and nothing connects);
// -1 when the folder cannot be made or the document cannot be created.
int LoadUserSettings(Program& program);

// Puts the five settings as they are now into the document read at start-up and writes it.
// The write's result (0 or a negative INI code); -1 when there is no document because the
// settings folder was not available at start-up.
int SaveUserSettings(Program& program);

}  // namespace keelsong
