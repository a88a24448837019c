// The desktop program around the window: its command line and what the desktop knows it by.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/events/event_grid.h"
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
    const char* trace_file = "";
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
    EXPECT_EQ(line.trace_file.toStdString(), c.trace_file);
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
        CommandLineCase{"Trace_RunsAndTracesThere",
                        {"--trace", "bug.trace", "a.tlk"},
                        Action::kRun,
                        "",
                        "a.tlk",
                        "bug.trace"},
        CommandLineCase{"TraceWithoutFile_Refused",
                        {"--trace"},
                        Action::kBadUsage,
                        "Missing value after '--trace'.",
                        ""},
        CommandLineCase{
            "TraceToNothing_Refused", {"--trace="}, Action::kBadUsage, "--trace needs a file.", ""},
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
        ServeUnit({});
    }

    // The simulated unit on port 1, tracing its side into `trace_path` unless it is empty.
    void ServeUnit(const std::string& trace_path) {
        server_.reset();
        sim::UnitSimulator unit;
        unit.Events().push_back({3, {0x2C, 0x01}});  // Rest, 300 tenths
        server_.emplace(sim::PtyServerOptions{.pacing = false,
                                              .port_number = 1,
                                              .settings_folder = temp_ / "config/Keelsong",
                                              .trace_path = trace_path},
                        unit);
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
    ScopedEnv data_home_{"XDG_DATA_HOME", temp_ / "data"};
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

// The columns of a trace's frame lines after the time: direction, command, attempt, outcome
// and payload bytes; the header's comment lines and the notes on the device left out.
std::vector<std::vector<std::string>> TraceColumns(const std::string& path) {
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        std::vector<std::string> columns;
        for (std::string word; words >> word;) {
            columns.push_back(word);
        }
        columns.erase(columns.begin());
        if (!columns.empty() && columns.front() == "--") {
            continue;
        }
        lines.push_back(columns);
    }
    return lines;
}

std::vector<std::string> Head(const std::vector<std::string>& columns) {
    return {columns.begin(), columns.begin() + std::min<std::ptrdiff_t>(4, columns.size())};
}

std::vector<std::string> Payload(const std::vector<std::string>& columns) {
    return {columns.begin() + std::min<std::ptrdiff_t>(4, columns.size()), columns.end()};
}

TEST_F(OpenAtStartTest, Traced_ConnectionReadsAsItsSequenceAndTheUnitsTraceMatchesIt) {
    const std::string unit_trace = temp_ / "unit.trace";
    const std::string program_trace = temp_ / "keelsong.trace";
    ServeUnit(unit_trace);
    program_.emplace();
    ASSERT_EQ(program_->TraceTo(program_trace), "");
    program_->Window().SetPopupDriver(testing::CloseDialog(&seen_));
    program_->Start();
    ASSERT_TRUE(Logic().Link().IsConnected());
    server_.reset();  // its trace is complete once it has stopped

    std::ifstream header(program_trace);
    std::string first;
    std::getline(header, first);
    EXPECT_EQ(first.rfind("# Orvane protocol trace written by keelsong, began ", 0), 0u) << first;

    // Connecting: the identity and the clock set; then the table, event by event until the
    // unit has none left, and the setup; then the identity, the clock and the readings again.
    const std::vector<std::vector<std::string>> expected = {
        {">>", "Enquire", "1", "sent"},      {"<<", "Enquire", "1", "good"},
        {">>", "SetTime", "1", "sent"},      {"<<", "SetTime", "1", "good"},
        {">>", "EventEnquire", "1", "sent"}, {"<<", "EventEnquire", "1", "good"},
        {">>", "EventEnquire", "1", "sent"}, {"<<", "EventEnquire", "1", "good"},
        {">>", "SetupGet", "1", "sent"},     {"<<", "SetupGet", "1", "good"},
        {">>", "Enquire", "1", "sent"},      {"<<", "Enquire", "1", "good"},
        {">>", "SetTime", "1", "sent"},      {"<<", "SetTime", "1", "good"},
        {">>", "StatusRead", "1", "sent"},   {"<<", "StatusRead", "1", "good"},
    };
    const auto program_lines = TraceColumns(program_trace);
    std::vector<std::vector<std::string>> heads;
    for (const auto& columns : program_lines) {
        heads.push_back(Head(columns));
    }
    EXPECT_EQ(heads, expected);
    ASSERT_GE(program_lines.size(), 7u);
    EXPECT_EQ(Payload(program_lines[4]), (std::vector<std::string>{"00"})) << "index 0";
    // Result 0, index 0, a Rest of 300 tenths.
    const std::vector<std::string> rest = Payload(program_lines[5]);
    EXPECT_EQ(
        std::vector<std::string>(rest.begin(), rest.begin() + std::min<size_t>(6, rest.size())),
        (std::vector<std::string>{"00", "00", "00", "03", "2C", "01"}));
    EXPECT_EQ(Payload(program_lines[6]), (std::vector<std::string>{"01"})) << "index 1";

    // The unit saw every request as sent and sent every answer as read.
    const auto unit_lines = TraceColumns(unit_trace);
    ASSERT_EQ(unit_lines.size(), program_lines.size());
    for (size_t k = 0; k < unit_lines.size(); ++k) {
        SCOPED_TRACE(k);
        const std::vector<std::string>& theirs = unit_lines[k];
        const std::vector<std::string>& ours = program_lines[k];
        ASSERT_GE(theirs.size(), 4u);
        EXPECT_EQ(theirs[0], ours[0]);
        EXPECT_EQ(theirs[1], ours[1]);
        EXPECT_EQ(theirs[3], ours[0] == ">>" ? "good" : "sent");
        EXPECT_EQ(Payload(theirs), Payload(ours));
    }
}

}  // namespace
}  // namespace keelsong
