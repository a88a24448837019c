// keelsong-cli's command line and its progress lines, without any unit.
#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/schedule/report.h"

#include "cli/progress_board.h"
#include "cli_fixture.h"

namespace keelsong {
namespace {

using testing::CliFixture;
using testing::CliRun;

class CliUsageTest : public CliFixture {};

TEST_F(CliUsageTest, UsageErrors_Exit2WithTheReasonAndAPointerToHelpOnStandardError) {
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
        {{"apply"}, "apply needs a MANIFEST.csv"},
        {{"report", "a.tlk", "b.pdf", "--type", "XF"}, "--type is LF, HF or HF-R1: 'XF'"},
        {{"--port", "1", "write", "a.tlk", "--type", "HF"}, "--type goes with report only"},
        {{"--port", "1", "read", "a.tlk", "--any-type"}, "--any-type goes with write only"},
        {{"--serial", "1201", "apply", "m.csv"},
         "apply finds the units the manifest names: --serial does not apply"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunBare(c.args);
        EXPECT_EQ(run.status, 2) << c.reason;
        EXPECT_EQ(run.out, "") << c.reason;
        EXPECT_EQ(run.err, "keelsong-cli: " + c.reason + "\nTry 'keelsong-cli --help'.\n");
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

// The man page is made from --help, which tells an entry's name from its text only by a gap of
// two spaces or more: a name that runs into its text makes the whole line the name.
TEST_F(CliUsageTest, Help_EveryEntrysNameStandsApartFromItsText) {
    std::istringstream text(RunBare({"--help"}).out);
    for (std::string line; std::getline(text, line);) {
        // "  $ " opens an example, set as it stands.
        if (!line.starts_with("  ") || line.size() < 3 || line[2] == ' ' || line[2] == '$') {
            continue;
        }
        std::istringstream name(line.substr(2, line.find("  ", 2) - 2));
        std::string word;
        name >> word;  // the command or option; what follows names its arguments
        while (name >> word) {
            EXPECT_TRUE(std::isupper(static_cast<unsigned char>(word[0])) || word[0] == '[')
                << "'" << word << "' in " << line;
        }
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
              (std::pair<std::string, std::string>{"Unit",
                                                   "none, the report of a configuration "
                                                   "file"}));
    // The type the events are read as for, and why: given, named by the file, or assumed.
    std::ofstream(tlk, std::ios::app) << "[Unit]\nType = Orvane LF\n";
    for (const auto& [extra, read_as] : {std::pair<std::vector<std::string>, std::string>{
                                             {"--type", "HF-R1"}, "Orvane HF(R1) (as given)"},
                                         {{}, "Orvane LF (from the file)"}}) {
        std::vector<std::string> args = {"report", tlk, "out.pdf"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_EQ(RunBare(args).status, 0);
        EXPECT_EQ(written->unit.back(),
                  (std::pair<std::string, std::string>{"Events read as for", read_as}));
    }

    // A file that does not load is said as the loader says it, and no report is written.
    const auto write = [this](const std::string& name, const std::string& text) {
        const std::string path = files.Path() + "/" + name;
        std::ofstream(path) << text;
        return path;
    };
    const struct {
        std::string file;
        std::string line;
    } unloadable[] = {
        {files.Path() + "/missing.tlk", "Failed to open file"},
        {files.Path(), "Failed to open file"},
        {write("notes.tlk", "shopping list\nbread\n"), "Failed to read from file"},
        {write("no-end.tlk", "[Event 01]\nStart Frequency = 5000\nTime = 10\nType = 2\n"),
         "Error reading events from file"},
    };
    for (const auto& c : unloadable) {
        written.reset();
        const CliRun failed = RunBare({"report", c.file, "out.pdf"});
        EXPECT_EQ(failed.status, 1) << c.file;
        EXPECT_EQ(failed.out, "-\t-\t-\t" + c.line + "\n") << c.file;
        EXPECT_FALSE(written) << c.file;
    }

    // Nor is a report written over the configuration file it reports.
    const CliRun over_itself = RunBare({"report", tlk, tlk});
    EXPECT_EQ(over_itself.status, 1);
    EXPECT_EQ(over_itself.out,
              "-\t-\t-\tFailed to save report: OUT.pdf is the configuration file itself\n");
    EXPECT_FALSE(written);

    writer_result = -1;
    const CliRun unwritten = RunBare({"report", tlk, "/no/such/folder/out.pdf"});
    EXPECT_EQ(unwritten.status, 1);
    EXPECT_EQ(unwritten.out, "-\t-\t-\tFailed to save report\n");
    EXPECT_EQ(RunBare({"--port", "1", "report", tlk, "out.pdf"}).status, 2);
    EXPECT_EQ(RunBare({"report", tlk}).status, 2);
}

// Setup fields the file does not hold are said to be missing, not shown as the blank controls
// hold them; the run they decide is left out of the totals.
TEST_F(CliUsageTest, Report_SetupFieldsNotInTheFile_SaidToBeMissing) {
    const std::string tlk = files.Path() + "/part.tlk";
    std::ofstream(tlk) << "[Event 01]\nTime = 41\nType = 3\n[Setup]\nMagnetic Switch = "
                          "1\nNumber of Plays = 3\n";
    std::optional<ReportContent> written;
    report_writer = [&](const ReportContent& report, const std::string&) {
        written = report;
        return 0;
    };
    ASSERT_EQ(RunBare({"report", tlk, "out.pdf"}).status, 0);
    ASSERT_TRUE(written);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(written->setup, (Pairs{{"Repeat Setup", "not in the file"},
                                     {"Start Delay", "not in the file"},
                                     {"Sync - PPS", "not in the file"},
                                     {"Magnetic Switch", "enabled"}}));
    EXPECT_EQ(written->totals, "One play 4.1 s");
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
