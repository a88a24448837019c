// The service history as keelsong-cli writes and reads it, against simulated units.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/cli_fixture.h"
#include "files/sha256.h"
#include "protocol/commands.h"
#include "support/saved_file.h"

namespace keelsong {
namespace {

using testing::CliFixture;
using testing::CliRun;

class CliHistoryOverPtyTest : public CliFixture {
  protected:
    CliHistoryOverPtyTest() { variables["USER"] = "ana"; }

    std::string StorePath() const { return data / "Keelsong/history.sqlite"; }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(CliHistoryOverPtyTest, WriteTwiceAndSetTime_HistoryHasThreeRecordsNewestFirst) {
    AddUnit(1, 1203);
    const std::string file = files / "deployment.tlk";
    ASSERT_EQ(Run({"--port", "1", "read", file}).status, 0);
    const std::string file_sha = *FileSha256Hex(file);
    const std::string contents_sha = Sha256Hex(testing::SavedTableAndSetup(file));
    for (const char* command : {"write", "write", "set-time"}) {
        const CliRun run = command == std::string("write") ? Run({"--port", "1", command, file})
                                                           : Run({"--port", "1", command});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
    }

    const std::vector<std::string> json = Run({"history", "--json"}).Lines();
    ASSERT_EQ(json.size(), 3u);
    EXPECT_TRUE(Has(json[0], "\"operation\":\"Set Time\"")) << json[0];
    EXPECT_TRUE(Has(json[0], "\"file\":null,\"sha256\":null")) << json[0];
    for (size_t k = 1; k < 3; ++k) {
        EXPECT_TRUE(Has(json[k], "\"operation\":\"Accept Changes\"")) << json[k];
        EXPECT_TRUE(Has(json[k], "\"file\":\"" + file + "\",\"sha256\":\"" + file_sha + "\""))
            << json[k];
        // What the unit holds afterwards is what the file holds, saved as the file was (its
        // table and setup; the sections naming the unit and the time are no part of them).
        EXPECT_TRUE(Has(json[k], "\"contents_sha256\":\"" + contents_sha + "\"")) << json[k];
    }
    for (const std::string& line : json) {
        EXPECT_TRUE(Has(line, "\"user\":\"ana\",\"program\":\"keelsong-cli ")) << line;
        EXPECT_TRUE(Has(line, "\"type\":\"Orvane HF\",\"serial\":1203,\"firmware\":\"v2.1.4\""))
            << line;
        EXPECT_TRUE(Has(line, "\"ok\":true")) << line;
    }

    const std::vector<std::string> lines = Run({"history", "--serial", "1203"}).Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(Has(lines[1], "\tana\tkeelsong-cli ")) << lines[1];
    EXPECT_TRUE(Has(lines[1], "\tOrvane HF\t1203\tv2.1.4\tAccept Changes\t" + file + "\t" +
                                  file_sha + "\t" + contents_sha + "\tok\t"))
        << lines[1];
    const CliRun other = Run({"history", "--serial", "1204"});
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(other.out, "");
    EXPECT_EQ(other.err,
              "keelsong-cli: no such records in the service history " + StorePath() + "\n");
    EXPECT_TRUE(Run({"history", "--since", "2999-01-01"}).out.empty());
}

TEST_F(CliHistoryOverPtyTest, FailedSetTime_RecordedAsFailedWithItsMessage) {
    sim::PtyServer& unit = AddUnit(1, 1203);
    unit.WithSimulator([](sim::UnitSimulator& u) {
        u.InjectFault(sim::Fault::Drop().OnlyFor(Command::SetTime).Forever());
    });
    EXPECT_EQ(Run({"--port", "1", "set-time"}).status, 1);
    const std::vector<std::string> lines = Run({"history"}).Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(Has(lines[0], "\tSet Time\t-\t-\t-\tfailed\tSet time failed")) << lines[0];
}

// Two units on two threads write at once; a damaged store is put aside for a new one; a store
// that cannot be made leaves the operation done and says so on standard error.
TEST_F(CliHistoryOverPtyTest, Store_BusyDamagedOrUnwritable_TheOperationOnTheUnitSucceeds) {
    AddUnit(1, 1201);
    AddUnit(2, 1202);
    std::filesystem::create_directories(data / "Keelsong");
    std::ofstream(StorePath(), std::ios::binary) << std::string(2048, '\x7f');
    const CliRun damaged = Run({"--port", "1,2", "set-time"});
    EXPECT_EQ(damaged.status, 0) << damaged.out << damaged.err;
    EXPECT_TRUE(Has(damaged.err, "History damaged: moved aside to " + StorePath() + ".corrupt-"))
        << damaged.err;
    EXPECT_EQ(Run({"history", "--serial", "1201"}).Lines().size(), 1u);
    EXPECT_EQ(Run({"history", "--serial", "1202"}).Lines().size(), 1u);

    variables["XDG_DATA_HOME"] = "/proc/keelsong-none";
    const CliRun unwritable = Run({"--port", "1", "set-time"});
    EXPECT_EQ(unwritable.status, 0);
    ASSERT_EQ(unwritable.Lines().size(), 1u);
    EXPECT_TRUE(Has(unwritable.Lines()[0], "\tok\t")) << unwritable.out;
    EXPECT_TRUE(Has(unwritable.err,
                    "keelsong-cli: port 1: History not written: "
                    "/proc/keelsong-none/Keelsong"))
        << unwritable.err;
}

}  // namespace
}  // namespace keelsong
