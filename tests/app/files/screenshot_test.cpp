// "Take Screenshot" and "Choose Folder…": the file name, when the folder is asked for, and
// folders that cannot take the picture.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/files/screenshots.h"
#include "app/shell/callbacks.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

namespace fs = std::filesystem;

constexpr int64_t k20260307_090503 = 1772874303;  // UTC; local time is UTC here

TEST(ScreenshotFileName, SerialAndLocalTime_TwoDigitFieldsInTheFolder) {
    struct Case {
        std::string folder;
        uint32_t serial;
        CalendarTime local;
        std::string name;
    };
    const Case cases[] = {
        {"/shots", 1042, {2026, 3, 7, 9, 5, 3}, "/shots/Keelsong_Unit1042_260307_090503.png"},
        {"/shots/", 65535, {2009, 1, 2, 3, 4, 5}, "/shots/Keelsong_Unit65535_090102_030405.png"},
        {"/", 0, {2100, 12, 31, 23, 59, 59}, "/Keelsong_Unit0_001231_235959.png"},
        {"", 7, {1999, 10, 11, 12, 13, 14}, "Keelsong_Unit7_991011_121314.png"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScreenshotFileName(c.folder, c.serial, c.local), c.name);
    }
}

class ScreenshotTest : public ::testing::Test {
  protected:
    ScreenshotTest() {
        platform.SetUtcNow(k20260307_090503);
        program.Identity().SetSerialNumber(1042);
        program.Settings().ScreenshotFolder() = "/remembered";
        ui.RecordHistory(Panel::MAIN, Control::STATUS_LINE);
    }
    int Shoot() { return Press(program, Panel::MAIN, Control::SCREENSHOT); }
    std::string Status() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }
    size_t Messages() const { return ui.History(Panel::MAIN, Control::STATUS_LINE).size(); }
    size_t Files() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(shots.Path()), {}));
    }

    testing::TempDir shots;
    HeadlessUi ui;
    testing::FakePlatform platform;
    testing::FakeSerialPort port;
    Program program{ui, port, platform};
};

TEST_F(ScreenshotTest, FirstPress_AsksFromTheRememberedFolderThenSavesWithoutAsking) {
    ui.AnswerDirSelect(shots.Path());
    EXPECT_EQ(Shoot(), 0);
    ASSERT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(ui.Popups()[0].kind, HeadlessUi::PopupKind::DirSelect);
    EXPECT_EQ(ui.Popups()[0].title, "Select Screenshot Folder");
    EXPECT_EQ(ui.Popups()[0].text, "/remembered");
    EXPECT_EQ(program.Settings().ScreenshotFolder(), shots.Path());
    // No unit connected: serial number 0, whatever the last enquiry said.
    EXPECT_TRUE(fs::is_regular_file(shots / "Keelsong_Unit0_260307_090503.png"));
    EXPECT_EQ(Status(), "Screenshot saved successfully");
    EXPECT_EQ(ui.TextColor(Panel::MAIN, Control::STATUS_LINE), kColorBlack);

    program.Link().Settings().open = 1;
    platform.SetUtcNow(k20260307_090503 + 1);
    Shoot();
    EXPECT_EQ(ui.Popups().size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(shots / "Keelsong_Unit1042_260307_090504.png"));
}

TEST_F(ScreenshotTest, FolderDialogCancelled_NothingSavedNothingShownAskedAgain) {
    Shoot();
    EXPECT_EQ(program.Settings().ScreenshotFolder(), "/remembered");
    EXPECT_TRUE(ui.SavedPictures().empty());
    EXPECT_EQ(Messages(), 0u);

    Shoot();
    EXPECT_EQ(ui.Popups().size(), 2u);
}

TEST_F(ScreenshotTest, FolderChosenWithItsButton_ScreenshotDoesNotAsk) {
    Press(program, Panel::MAIN, Control::SETSCREENSHOTFOLDER);  // cancelled: nothing changes
    ui.AnswerDirSelect(shots.Path());
    Press(program, Panel::MAIN, Control::SETSCREENSHOTFOLDER);
    ASSERT_EQ(ui.Popups().size(), 2u);
    EXPECT_EQ(ui.Popups()[1].title, "Select Screenshot Folder");

    Shoot();
    EXPECT_EQ(ui.Popups().size(), 2u);
    EXPECT_EQ(Files(), 1u);
}

TEST_F(ScreenshotTest, FolderThatCannotTakeThePicture_FailureShownNothingElseChanges) {
    const std::string plain_file = shots / "not-a-folder";
    std::ofstream(plain_file) << "x";
    const std::string read_only = shots / "read-only";
    fs::create_directory(read_only);
    ::chmod(read_only.c_str(), 0555);
    struct Case {
        const char* name;
        std::string folder;
    };
    std::vector<Case> cases = {
        {"missing", shots / "missing"},
        {"a_file", plain_file},
        {"longer_than_a_path", shots / std::string(5000, 'x')},
    };
    if (::geteuid() != 0) {
        cases.push_back({"read_only", read_only});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.AnswerDirSelect(c.folder);
        Press(program, Panel::MAIN, Control::SETSCREENSHOTFOLDER);
        Shoot();
        EXPECT_EQ(Status(), "Save screenshot failed, please try again");
        EXPECT_EQ(ui.TextColor(Panel::MAIN, Control::STATUS_LINE), kColorRed);
        EXPECT_EQ(program.Settings().ScreenshotFolder(), c.folder);
    }
    EXPECT_EQ(Files(), 2u);  // the plain file and the read-only folder, still empty
    EXPECT_TRUE(fs::is_empty(read_only));
    ::chmod(read_only.c_str(), 0755);
}

}  // namespace
}  // namespace keelsong
