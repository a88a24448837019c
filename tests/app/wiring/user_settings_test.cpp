// The user settings store: Keelsong.ini read at start-up (ending in the connection attempt) and
// written at quit, on a real folder in a temporary directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "app/shell/keelsong_ini.h"
#include "app/state/program.h"
#include "app/wiring/startup.h"
#include "files/ini.h"
#include "headless/headless_ui.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

using testing::FakePlatform;
using testing::FakeSerialPort;
using testing::TempDir;

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWhole(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class UserSettingsTest : public ::testing::Test {
  protected:
    UserSettingsTest() {
        platform_.SetSettingsFolder(temp_ / "config/Keelsong");
        platform_.SetDocumentsFolder(temp_ / "Documents");
    }

    std::string SettingsFile() const { return temp_ / "config/Keelsong/Keelsong.ini"; }
    void GiveSettings(const std::string& text) {
        std::filesystem::create_directories(temp_ / "config/Keelsong");
        WriteWhole(SettingsFile(), text);
    }
    // Start-up as the program runs it: default folder, panels' start state, settings.
    int StartUp() { return StartProgram(program_, MakeDefaultFolder(platform_), {}); }
    std::string DefaultFolder() const { return temp_ / "Documents/Vantrel/Keelsong"; }
    bool ConnectionAttempted() const { return port_.OpenedPort() != 0 || !port_.Written().empty(); }

    TempDir temp_;
    FakePlatform platform_;
    FakeSerialPort port_;
    HeadlessUi ui_;
    Program program_{ui_, port_, platform_};
};

TEST_F(UserSettingsTest, FirstRun_NoFile_NoConnectionAndQuitWritesAllFiveKeys) {
    EXPECT_EQ(StartUp(), kIniCannotOpen);
    EXPECT_FALSE(ConnectionAttempted());
    EXPECT_FALSE(ui_.IsPopupInstalled(Panel::CONNECT));
    EXPECT_TRUE(ui_.Popups().empty());
    EXPECT_TRUE(std::filesystem::is_directory(DefaultFolder()));
    EXPECT_EQ(ui_.Tooltip(Panel::MAIN, Control::BATT_ICON), "0%");
    // The start date offers today (14 Nov. 2023), not the form's own date, and is no edit.
    EXPECT_EQ(ui_.IntValue(Panel::MAIN, Control::YEAR), 2023);
    EXPECT_EQ(ui_.IntValue(Panel::MAIN, Control::MONTH), 10);
    EXPECT_EQ(ui_.IntValue(Panel::MAIN, Control::DAY), 14);
    EXPECT_FALSE(program_.Marks().setup_changed);

    EXPECT_EQ(Press(program_, Panel::MAIN, Control::QUIT), 0);
    EXPECT_TRUE(program_.GetShell().QuitRequested());

    IniDocument written;
    ASSERT_EQ(written.ReadFromFile(SettingsFile()), 0);
    uint32_t port = 99, timeout = 0;
    bool autosave = true;
    char screenshots[512] = {}, configs[512] = {};
    EXPECT_EQ(written.GetUInt("Connection", "Serial Port", &port), 1);
    EXPECT_EQ(written.GetUInt("Connection", "Serial Timeout", &timeout), 1);
    EXPECT_EQ(written.GetBoolean("Settings", "Autosave", &autosave), 1);
    EXPECT_EQ(written.GetStringIntoBuffer("Paths", "Screenshot Path", screenshots, 512), 1);
    EXPECT_EQ(written.GetStringIntoBuffer("Paths", "Config Path", configs, 512), 1);
    EXPECT_EQ(port, 0u);
    EXPECT_EQ(timeout, 600u);
    EXPECT_FALSE(autosave);
    EXPECT_EQ(std::string(screenshots), DefaultFolder());
    EXPECT_EQ(std::string(configs), DefaultFolder());
}

struct LoadCase {
    const char* name;
    const char* file;
    uint32_t timeout_ms;
    bool autosave;
    const char* screenshot_folder;
    const char* config_folder;
    friend void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }
};

class SettingsLoadTest : public UserSettingsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoadTest, StoredFile_EachKeyLoadsOrKeepsItsDefault) {
    const LoadCase& c = GetParam();
    GiveSettings(c.file);
    EXPECT_EQ(StartUp(), 0);
    EXPECT_EQ(program_.Link().Settings().timeout_ms, c.timeout_ms);
    EXPECT_EQ(ui_.IntValue(Panel::CONNECT, Control::COM_TIMEOUT), static_cast<int>(c.timeout_ms));
    EXPECT_EQ(SaveBeforePlaying(program_), c.autosave);
    EXPECT_EQ(ui_.IntValue(Panel::ADVANCED, Control::AUTOSAVE), c.autosave ? 1 : 0);
    EXPECT_EQ(program_.Settings().ScreenshotFolder(), c.screenshot_folder);
    EXPECT_EQ(program_.Settings().ConfigFolder(), c.config_folder);
    // A stored file always ends in a connection attempt on the stored port.
    EXPECT_TRUE(ConnectionAttempted());
    EXPECT_EQ(port_.OpenedPort(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    UserSettings, SettingsLoadTest,
    ::testing::Values(
        LoadCase{"AllKeys",
                 "[Connection]\r\nSerial Port = 3\r\nSerial Timeout = 250\r\n"
                 "[Paths]\r\nConfig Path = \"/data/tlk/a.tlk\"\r\n"
                 "Screenshot Path = \"/data/shots\"\r\n[Settings]\r\nAutosave = True\r\n",
                 250, true, "/data/shots", "/data/tlk/a.tlk"},
        LoadCase{"TimeoutMissing_Gives600", "[Connection]\r\nSerial Port = 3\r\n", 600, false, "",
                 ""},
        LoadCase{"ScreenshotPathMissing_LeavesFolderEmpty",
                 "[Connection]\r\nSerial Port = 3\r\n[Paths]\r\nConfig Path = \"/c\"\r\n", 600,
                 false, "", "/c"},
        LoadCase{"BadTimeout_KeepsDefaultOthersLoad",
                 "[Connection]\r\nSerial Port = 3\r\nSerial Timeout = fast\r\n"
                 "[Settings]\r\nAutosave = True\r\n[Paths]\r\nScreenshot Path = \"/s\"\r\n",
                 600, true, "/s", ""},
        LoadCase{"BadAutosave_KeepsFalseOthersLoad",
                 "[Connection]\r\nSerial Port = 3\r\nSerial Timeout = 900\r\n"
                 "[Settings]\r\nAutosave = perhaps\r\n",
                 900, false, "", ""}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST_F(UserSettingsTest, BadPortNumber_KeepsDefaultZeroAndTimeoutStillLoads) {
    GiveSettings("[Connection]\r\nSerial Port = COM3\r\nSerial Timeout = 800\r\n");
    EXPECT_EQ(StartUp(), 0);
    EXPECT_EQ(ui_.IntValue(Panel::CONNECT, Control::PORT), 0);
    EXPECT_EQ(program_.Link().Settings().timeout_ms, 800u);
}

TEST_F(UserSettingsTest, UnknownSectionsItemsAndComments_SurviveTheSaveAtQuit) {
    GiveSettings(
        "; written by hand\r\n[Connection]\r\nSerial Port = 3\r\n; the unit on the bench\r\n"
        "Baud Hint = 19200\r\n; kept for later\r\n[Zeta]\r\nColour = \"teal\"\r\n");
    ASSERT_EQ(StartUp(), 0);
    program_.Link().Settings().port_number = 7;
    program_.Settings().ScreenshotFolder() = "/new/shots";

    ASSERT_EQ(SaveUserSettings(program_), 0);
    const std::string text = ReadWhole(SettingsFile());
    EXPECT_NE(text.find("; written by hand"), std::string::npos) << text;
    EXPECT_NE(text.find("; the unit on the bench"), std::string::npos) << text;
    EXPECT_NE(text.find("Baud Hint = 19200"), std::string::npos) << text;
    EXPECT_NE(text.find("; kept for later\r\n[Zeta]"), std::string::npos) << text;
    EXPECT_NE(text.find("Colour = \"teal\""), std::string::npos) << text;
    EXPECT_NE(text.find("Serial Port = 7"), std::string::npos) << text;
    EXPECT_EQ(text.find("Serial Port = 3"), std::string::npos) << text;
    EXPECT_NE(text.find("Screenshot Path = \"/new/shots\""), std::string::npos) << text;
}

TEST_F(UserSettingsTest, PortSavedAtQuit_IsTheOneTheLinkLastUsed) {
    ASSERT_EQ(StartUp(), kIniCannotOpen);
    program_.Link().Settings().port_number = 30;  // as a search that found nothing leaves it
    program_.Link().Settings().timeout_ms = 1500;
    SetSaveBeforePlaying(program_, true);
    ASSERT_EQ(SaveUserSettings(program_), 0);

    FakeSerialPort next_port;
    HeadlessUi next_ui;
    Program next{next_ui, next_port, platform_};
    EXPECT_EQ(LoadUserSettings(next), 0);
    EXPECT_EQ(next_port.OpenedPort(), 30);
    EXPECT_EQ(next.Link().Settings().timeout_ms, 1500u);
    EXPECT_TRUE(SaveBeforePlaying(next));
}

TEST_F(UserSettingsTest, FolderLongerThanAWindowsPath_RoundTripsWhole) {
    const std::string deep = "/" + std::string(300, 'd') + "/" + std::string(300, 'e');
    ASSERT_EQ(StartUp(), kIniCannotOpen);
    program_.Settings().ConfigFolder() = deep;
    ASSERT_EQ(SaveUserSettings(program_), 0);

    FakeSerialPort next_port;
    HeadlessUi next_ui;
    Program next{next_ui, next_port, platform_};
    ASSERT_EQ(LoadUserSettings(next), 0);
    EXPECT_EQ(next.Settings().ConfigFolder(), deep);
}

TEST_F(UserSettingsTest, ConfigHomeMissing_IsMadeAlongTheWay) {
    platform_.SetSettingsFolder(temp_ / "home/.config/Keelsong");
    EXPECT_EQ(LoadUserSettings(program_), kIniCannotOpen);
    EXPECT_TRUE(std::filesystem::is_directory(temp_ / "home/.config/Keelsong"));
    EXPECT_TRUE(ui_.Popups().empty());
    EXPECT_EQ(SaveUserSettings(program_), 0);
    EXPECT_TRUE(std::filesystem::exists(temp_ / "home/.config/Keelsong/Keelsong.ini"));
}

struct BlockedFolderCase {
    const char* name;
    const char* blocker;  // a regular file put here
    const char* settings_folder;
    friend void PrintTo(const BlockedFolderCase& c, std::ostream* os) { *os << c.name; }
};

class BlockedSettingsFolderTest : public UserSettingsTest,
                                  public ::testing::WithParamInterface<BlockedFolderCase> {};

TEST_P(BlockedSettingsFolderTest, FolderCannotBeMade_ToldOnceAndQuitStillSucceeds) {
    const BlockedFolderCase& c = GetParam();
    WriteWhole(temp_ / c.blocker, "not a folder");
    const std::string folder = temp_ / c.settings_folder;
    platform_.SetSettingsFolder(folder);

    EXPECT_EQ(StartUp(), -1);
    ASSERT_EQ(ui_.Popups().size(), 1u);
    EXPECT_EQ(ui_.Popups()[0].kind, HeadlessUi::PopupKind::Message);
    EXPECT_EQ(ui_.Popups()[0].title, folder);
    EXPECT_EQ(ui_.Popups()[0].text,
              "ERROR: Could not access AppData directory. Password and program settings "
              "cannot be saved!");
    EXPECT_FALSE(ConnectionAttempted());

    EXPECT_EQ(Press(program_, Panel::MAIN, Control::QUIT), 0);
    EXPECT_TRUE(program_.GetShell().QuitRequested());
    EXPECT_EQ(ui_.Popups().size(), 1u);
    EXPECT_LT(SaveUserSettings(program_), 0);
}

INSTANTIATE_TEST_SUITE_P(
    UserSettings, BlockedSettingsFolderTest,
    ::testing::Values(BlockedFolderCase{"ParentIsAFile", "config", "config/Keelsong"},
                      BlockedFolderCase{"FolderIsAFile", "Keelsong", "Keelsong"}),
    [](const ::testing::TestParamInfo<BlockedFolderCase>& info) {
        return std::string(info.param.name);
    });

TEST(DirectoryPath, EveryLevelMissing_AllAreMade) {
    TempDir temp;
    FakePlatform platform;
    platform.SetDocumentsFolder(temp / "a/b/Documents");
    const std::string folder = MakeDefaultFolder(platform);
    EXPECT_EQ(folder, temp / "a/b/Documents/Vantrel/Keelsong");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace
}  // namespace keelsong
