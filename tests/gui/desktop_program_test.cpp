// The desktop program around the window: its command line and what the desktop knows it by.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <string>

#include "gui/command_line.h"
#include "gui/desktop_program.h"
#include "gui_support.h"
#include "keelsong_version.h"

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

}  // namespace
}  // namespace keelsong
