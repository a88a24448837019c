// keelsong-cli's command line and its progress lines, without any unit.
#include <fstream>
#include <sstream>

#include "app/schedule/report.h"

#include "cli/progress_board.h"
#include "cli_fixture.h"

namespace keelsong {
namespace {

using testing::CliFixture;
using testing::CliRun;

class CliUsageTest : public CliFixture {};

TEST_F(CliUsageTest, UsageErrors_Exit2WithTheReasonAndTheUsageOnStandardError) {
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"--port", "1", "frobnicate"}, "unknown command 'frobnicate'"},
        {{"--port", "1", "write"}, "write needs a FILE"},
        {{"--port", "0", "info"}, "port numbers run from 1 to 30: '0'"},
        {{"--port", "31", "info"}, "port numbers run from 1 to 30: '31'"},
        {{"--port", "1", "serial", "abc"}, "the new serial number runs from 1 to 65535: 'abc'"},
        {{"--port", "1,2", "read", "same.tlk"},
         "reading several units needs {port} or {serial} in FILE, so that each unit has a file "
         "of its own"},
        {{"info"}, "info needs the units: --port, --device or --serial"},
        {{"--port", "1,2", "reset"}, "reset works on one unit only"},
        {{"--port", "1", "read", "a.tlk", "--ignore-battery"},
         "--ignore-battery goes with firmware only"},
        {{"--port", "1", "write", "a.tlk", "--from", "b.tlk"},
         "--from goes with restore-backup only"},
        {{"--port", "1,2", "restore-backup", "--from", "b.tlk"},
         "restore-backup --from FILE writes one file: give one unit"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunBare(c.args);
        EXPECT_EQ(run.status, 2) << c.reason;
        EXPECT_EQ(run.out, "") << c.reason;
        EXPECT_TRUE(run.err.starts_with("keelsong-cli: " + c.reason + "\n\nUsage: keelsong-cli"))
            << run.err;
    }
}

TEST_F(CliUsageTest, Help_ListsEveryCommandWithAnExample) {
    const CliRun run = RunBare({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    for (const std::string command :
         {"list", "info", "read", "write", "play", "stop", "set-time", "restore", "serial", "reset",
          "firmware", "restore-backup", "report"}) {
        bool listed = false;
        bool example = false;
        std::istringstream text(run.out);
        for (std::string line; std::getline(text, line);) {
            listed |= line.starts_with("  " + command + " ");
            example |= line.find("  keelsong-cli ") != std::string::npos &&
                       (line + " ").find(" " + command + " ") != std::string::npos;
        }
        EXPECT_TRUE(listed && example) << command;
    }
}

TEST_F(CliUsageTest, Report_WritesTheFilesTableWithTheUnitFromFileAndSaysWhatFailed) {
    const std::string tlk = files.Path() + "/deployment.tlk";
    std::ofstream(tlk) << "[Event 01]\nTime = 50\nType = 3\n[Event 02]\nTime = 20\nType = 3\n"
                          "[Setup]\nNumber of Plays = 4\n";
    std::optional<ReportContent> written;
    std::string written_to;
    int writer_result = 0;
    report_writer = [&](const ReportContent& report, const std::string& path) {
        written = report;
        written_to = path;
        return writer_result;
    };

    const CliRun run = RunBare({"report", tlk, "out.pdf"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "-\t-\t-\tok\tout.pdf\n");
    ASSERT_TRUE(written);
    EXPECT_EQ(written_to, "out.pdf");
    EXPECT_EQ(written->rows.size(), 2u);
    EXPECT_EQ(written->schedule.plays, 4u);
    EXPECT_EQ(written->unit.front(),
              (std::pair<std::string, std::string>{"Unit type", "from file"}));

    writer_result = -1;
    const struct {
        std::vector<std::string> args;
        std::string line;
    } failures[] = {
        {{"report", files.Path() + "/missing.tlk", "out.pdf"}, "Failed to open file"},
        {{"report", tlk, "/no/such/folder/out.pdf"}, "Failed to save report"},
    };
    for (const auto& c : failures) {
        const CliRun failed = RunBare(c.args);
        EXPECT_EQ(failed.status, 1) << c.line;
        EXPECT_EQ(failed.out, "-\t-\t-\t" + c.line + "\n");
    }
    EXPECT_EQ(RunBare({"--port", "1", "report", tlk, "out.pdf"}).status, 2);
    EXPECT_EQ(RunBare({"report", tlk}).status, 2);
}

TEST(ProgressBoardTest, OnATerminal_LinesOfUnitsAtWorkStayBelowTheResults) {
    std::ostringstream terminal;
    std::ostringstream out;
    {
        cli::ProgressBoard board(terminal, true, 40);
        const size_t first = board.Add("port 1");
        const size_t second = board.Add("port 2");
        board.Update(first, "Event #12 Enquired from unit, and a long tail that is cut");
        board.Update(second, "Connecting to device on port 2");
        board.Done(second);
        board.Print(out, "2\t/dev/pts/4\tOrvane HF # 1042 Firmware v2.1.4\tok");
    }
    EXPECT_EQ(out.str(), "2\t/dev/pts/4\tOrvane HF # 1042 Firmware v2.1.4\tok\n");
    // Drawn (unless the drawing thread already did), then erased at the end.
    const std::string line = "port 1: Event #12 Enquired from unit, a\x1b[K\n";  // 39 columns
    EXPECT_NE(terminal.str().find(line), std::string::npos) << terminal.str();
    EXPECT_EQ(terminal.str().find("port 2"), std::string::npos);
    EXPECT_TRUE(terminal.str().ends_with(line + "\x1b[1A\x1b[2K")) << terminal.str();

    std::ostringstream quiet;
    {
        cli::ProgressBoard board(quiet, false, 40);
        board.Update(board.Add("port 1"), "Connecting");
        board.Print(out, "line");
    }
    EXPECT_EQ(quiet.str(), "");
}

}  // namespace
}  // namespace keelsong
