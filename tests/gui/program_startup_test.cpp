// The keelsong program started where it cannot show a window: it says why and fails, but
// answers --help and --version all the same.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "keelsong_version.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

TEST(KeelsongProgram, NoDisplay_TellsStartupFailureWithQtsReasonAndFails) {
    testing::TempDir temp;
    // No display to connect to; only the standard error is kept.
    const std::string command =
        "exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME='" + temp.Path() +
        "' XDG_CONFIG_HOME='" + temp / "config" + "' XDG_DOCUMENTS_DIR='" + temp / "Documents" +
        "' '" KEELSONG_PATH "' 2>&1 >/dev/null";
    FILE* program = ::popen(command.c_str(), "r");
    ASSERT_NE(program, nullptr);
    std::string error_text;
    char buffer[512];
    while (const size_t got = std::fread(buffer, 1, sizeof buffer, program)) {
        error_text.append(buffer, got);
    }
    const int status = ::pclose(program);

    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << error_text;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(error_text.find("Program Startup Failure: This application failed to start because "
                              "no Qt platform plugin could be initialized"),
              std::string::npos)
        << error_text;
}

// keelsong with `arguments` and no display to connect to: its standard output and exit status.
std::pair<std::string, int> RunWithoutDisplay(const std::string& arguments) {
    const std::string command =
        "exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" KEELSONG_PATH "' " +
        arguments + " 2>/dev/null";
    FILE* program = ::popen(command.c_str(), "r");
    if (!program) {
        return {"", -1};
    }
    std::string output;
    char buffer[512];
    while (const size_t got = std::fread(buffer, 1, sizeof buffer, program)) {
        output.append(buffer, got);
    }
    const int status = ::pclose(program);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(KeelsongProgram, HelpAndVersion_AnsweredWithoutADisplay) {
    const auto [help, help_status] = RunWithoutDisplay("--help");
    EXPECT_EQ(help_status, 0);
    EXPECT_EQ(help.rfind("Usage: keelsong [options] [FILE]\n", 0), 0u) << help;

    const auto [version, version_status] = RunWithoutDisplay("--version");
    EXPECT_EQ(version_status, 0);
    EXPECT_EQ(version, std::string("keelsong ") + kVersion + "\n");
}

}  // namespace
}  // namespace keelsong
