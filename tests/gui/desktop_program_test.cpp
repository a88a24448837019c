// The desktop program around the window: its command line and what the desktop knows it by.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/event_grid.h"
#include "gui/command_line.h"
#include "gui/desktop_program.h"
#include "gui_support.h"
#include "keelsong_version.h"
#include "sim/pty_server.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

using Action = CommandLine::Action;

struct CommandLineCase {
    const char* name;
    QStringList arguments;  // after the program's name
    Action action;
    const char* text_part;  // a piece of the text to print; "" for none
    const char* config_file;
    friend void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.name; }
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, Arguments_GiveTheirAction) {
    const CommandLineCase& c = GetParam();
    const CommandLine line = ReadCommandLine(QStringList{"/usr/bin/keelsong"} + c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_TRUE(line.text.contains(QString::fromUtf8(c.text_part))) << line.text.toStdString();
    if (std::string(c.text_part).empty()) {
        EXPECT_TRUE(line.text.isEmpty()) << line.text.toStdString();
    }
    EXPECT_EQ(line.config_file.toStdString(), c.config_file);
}

const std::string kVersionLine = std::string("keelsong ") + kVersion + "\n";

INSTANTIATE_TEST_SUITE_P(
    Keelsong, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"Nothing_Runs", {}, Action::kRun, "", ""},
        CommandLineCase{
            "File_RunsAndLoadsIt", {"setup one.tlk"}, Action::kRun, "", "setup one.tlk"},
        CommandLineCase{"Help_UsageByTheProgramsName",
                        {"--help"},
                        Action::kShowHelp,
                        "Usage: keelsong [options] [FILE]\n",
                        ""},
        CommandLineCase{"ShortHelpBesideABadOption_StillHelps",
                        {"--bogus", "-h"},
                        Action::kShowHelp,
                        "-v, --version",
                        ""},
        CommandLineCase{
            "Version_NameAndRelease", {"-v"}, Action::kShowVersion, kVersionLine.c_str(), ""},
        CommandLineCase{"UnknownOption_NamedWithAPointerToHelp",
                        {"--bogus"},
                        Action::kBadUsage,
                        "keelsong: Unknown option 'bogus'.\nTry 'keelsong --help'.\n",
                        ""},
        // Qt's own one-dash options are words: "-reverse" must not read as -r -e -v ...
        CommandLineCase{"OneDashWord_IsOneOption",
                        {"-reverse"},
                        Action::kBadUsage,
                        "Unknown option 'reverse'",
                        ""},
        CommandLineCase{"TwoFiles_Refused",
                        {"a.tlk", "b.tlk"},
                        Action::kBadUsage,
                        "Only one FILE can be loaded.",
                        ""}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) {
        return std::string(info.param.name);
    });

struct DesktopIdentityTest : ::testing::Test, testing::WithApplication {};

TEST_F(DesktopIdentityTest, Set_WindowsShowTheDesktopEntrysIcon) {
    SetDesktopIdentity();
    EXPECT_EQ(QGuiApplication::desktopFileName().toStdString(), "com.vantrel.Keelsong");
    // Drawn from the SVG, so both the resource and Qt's SVG support must be there.
    const QPixmap icon = QApplication::windowIcon().pixmap(48, 48);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.toImage().pixelColor(24, 24).alpha(), 255);
}

// Sets an environment variable for as long as it lives.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// keelsong started as on a user's machine whose settings name port 1, where a simulated
// Orvane HF holding one event waits: the desktop program itself, on its real platform and port.
class OpenAtStartTest : public ::testing::Test, public testing::WithApplication {
  protected:
    OpenAtStartTest() {
        std::filesystem::create_directories(temp_ / "config/Keelsong");
        WriteFile(temp_ / "config/Keelsong/Keelsong.ini",
                  "[Connection]\r\nSerial Port = 1\r\nSerial Timeout = 600\r\n\r\n");
        sim::UnitSimulator unit;
        unit.Events().push_back({3, {0x2C, 0x01}});  // Rest, 300 tenths
        server_.emplace(sim::PtyServerOptions{false, 1, temp_ / "config/Keelsong"}, unit);
        std::string error;
        started_ = server_->Start(&error);
        EXPECT_TRUE(started_) << error;
    }

    // Starts the program as `keelsong file` does; the pop-ups it shows are noted and closed.
    void Start(const std::string& file) {
        ASSERT_TRUE(started_);
        program_.emplace();
        program_->Window().SetPopupDriver(testing::CloseDialog(&seen_));
        program_->Start(file);
    }
    Program& Logic() { return program_->Logic(); }
    std::string StatusText() {
        return program_->Window().TextValue(Panel::MAIN, Control::STATUS_LINE);
    }
    int32_t RowType(int row) {
        EventBody body{};
        return RowToEvent(Logic(), body, row);
    }

    testing::TempDir temp_;
    ScopedEnv config_home_{"XDG_CONFIG_HOME", temp_ / "config"};
    ScopedEnv documents_{"XDG_DOCUMENTS_DIR", temp_ / "Documents"};
    std::optional<sim::PtyServer> server_;
    bool started_ = false;
    std::optional<DesktopProgram> program_;
    std::vector<testing::SeenDialog> seen_;
};

TEST_F(OpenAtStartTest, TlkFile_LoadedAfterTheConnectionReadTheUnitsTable) {
    // One Sweep, and a setup of 5 plays: the unit holds a Rest and its own setup.
    const std::string file = temp_ / "sweep.tlk";
    WriteFile(file,
              "[Event 01]\r\nEnd Frequency = 2000\r\nLevel = -6\r\nStart Frequency = 1000\r\n"
              "Time = 20\r\nType = 2\r\n\r\n[Setup]\r\nNumber of Plays = 5\r\n\r\n");
    Start(file);

    EXPECT_TRUE(Logic().Link().IsConnected());
    EXPECT_TRUE(seen_.empty()) << seen_.front().text;
    EXPECT_EQ(StatusText(), "Configuration loaded");
    ASSERT_EQ(Logic().Grid().RowCount(), 1);
    EXPECT_EQ(RowType(1), 2);
    EXPECT_EQ(program_->Window().IntValue(Panel::MAIN, Control::PLAYBACKS), 5);
    EXPECT_TRUE(Logic().Marks().table_changed);
    EXPECT_EQ(Logic().Settings().ConfigFolder(), file);
}

TEST_F(OpenAtStartTest, MissingFile_FailsAsLoadDoesAndTheProgramRunsOn) {
    Start(temp_ / "missing.tlk");

    EXPECT_TRUE(Logic().Link().IsConnected());
    EXPECT_EQ(StatusText(), "Failed to open file");
    EXPECT_EQ(program_->Window().TextColor(Panel::MAIN, Control::STATUS_LINE), kColorRed);
    ASSERT_EQ(Logic().Grid().RowCount(), 1);
    EXPECT_EQ(RowType(1), 3);  // the unit's Rest
    EXPECT_FALSE(Logic().Marks().table_changed);
    EXPECT_TRUE(program_->Window().MainWindow()->isVisible());
}

}  // namespace
}  // namespace keelsong
