// The window's operations as the service history records them, against a simulated unit.
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "app/changes/clock_and_settings.h"
#include "app/events/transfer_fixture.h"
#include "app/files/config_file_io.h"
#include "app/history/history_view.h"
#include "app/history/service_history.h"
#include "app/schedule/report.h"
#include "app/setup/playback.h"
#include "files/sha256.h"
#include "support/saved_file.h"

namespace keelsong {
namespace {

class ServiceHistoryOverPtyTest : public testing::TransferFixture {
  protected:
    ServiceHistoryOverPtyTest() { platform.SetDataFolder(data.Path()); }

    std::vector<HistoryRecord> Records() {
        std::vector<HistoryRecord> records;
        const HistoryOutcome outcome = HistoryStore(HistoryPath(platform)).Read({}, records);
        EXPECT_TRUE(outcome.ok) << outcome.problem;
        return records;
    }

    testing::TempDir data;
    testing::TempDir files;
};

TEST_F(ServiceHistoryOverPtyTest, AcceptChanges_AfterLoadingAFile_RecordsTheFileWithItsChanges) {
    sim::UnitState state;
    state.serial_number = 1203;
    ConnectUnit(1, state, {testing::UnitRest(20)});
    const std::string file = files / "deployment.tlk";
    ASSERT_EQ(SaveConfigurationFile(program, file).code, 0);
    ASSERT_EQ(LoadConfigurationFile(program, file).code, 0);
    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);
    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);  // nothing from the file this time

    const std::vector<HistoryRecord> records = Records();
    ASSERT_EQ(records.size(), 2u);
    const HistoryRecord& sent = records[1];
    EXPECT_EQ(sent.operation, "Accept Changes");
    EXPECT_EQ(sent.user, "tester");
    EXPECT_EQ(sent.program.rfind("keelsong ", 0), 0u) << sent.program;
    EXPECT_EQ(sent.type, "Orvane HF");
    EXPECT_EQ(sent.serial, 1203);
    EXPECT_EQ(sent.firmware, "v2.1.4");
    EXPECT_EQ(sent.firmware_after, "");
    EXPECT_EQ(sent.file, file);
    EXPECT_EQ(sent.sha256, FileSha256Hex(file));
    EXPECT_EQ(sent.contents_sha256, Sha256Hex(testing::SavedTableAndSetup(file)));
    EXPECT_TRUE(sent.ok);
    EXPECT_EQ(sent.message, "Playback started");  // the unit played before: it plays again
    EXPECT_EQ(records[0].file, "");
    EXPECT_EQ(records[0].contents_sha256, sent.contents_sha256);
}

TEST_F(ServiceHistoryOverPtyTest, Report_AfterSixChanges_ListsTheLastFiveNewestFirst) {
    ConnectUnit(1);
    ASSERT_EQ(RestoreUnitSettings(program).code, 0);
    for (int k = 0; k < 5; ++k) {
        platform.SetUtcNow(platform.UtcNow() + 60);
        ASSERT_EQ(SyncPCTimeToInstrument(program).code, 0);
    }
    const ReportContent report = MakeReport(program);
    ASSERT_EQ(report.recent_changes.size(), 5u);
    EXPECT_EQ(report.recent_changes[0].first, "14 Nov. 2023 22:18");
    EXPECT_EQ(report.recent_changes[0].second.rfind("Set Time, ok (tester, keelsong ", 0), 0u)
        << report.recent_changes[0].second;
    EXPECT_EQ(report.recent_changes[4].first, "14 Nov. 2023 22:14");
    EXPECT_TRUE(MakeReport(program, ReportUnitSource::File).recent_changes.empty());
}

TEST_F(ServiceHistoryOverPtyTest, HistoryButton_ShowsTheConnectedUnitsRecordsOrTellsWhyNot) {
    std::string title;
    std::vector<HistoryRecord> shown;
    program.ServiceRecords().SetViewer(
        [&](const std::string& t, const std::vector<HistoryRecord>& records) {
            title = t;
            shown = records;
        });
    const HistoryRecord other{1,       "ana", "keelsong 1", "Orvane HF", 9,    "v2.1.4", "",
                              "Reset", "",    "",           "",          true, "done"};
    ASSERT_TRUE(HistoryStore(HistoryPath(platform)).Append(other).ok);
    sim::UnitState state;
    state.serial_number = 1203;
    ConnectUnit(1, state);
    ASSERT_EQ(SyncPCTimeToInstrument(program).code, 0);
    Press(program, Panel::MAIN, Control::HISTORY);
    EXPECT_EQ(title, "Service history of Orvane HF # 1203");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].operation, "Set Time");

    std::ofstream(HistoryPath(platform), std::ios::binary) << std::string(2048, 'x');
    Press(program, Panel::MAIN, Control::HISTORY);
    const std::string status = ui.TextValue(Panel::MAIN, Control::STATUS_LINE);
    EXPECT_EQ(status.rfind("History not read: " + HistoryPath(platform), 0), 0u) << status;
}

TEST_F(ServiceHistoryOverPtyTest, OperationInsideAnotherOrThrowing_OneRecordOfTheOutcome) {
    const Outcome result = RecordOperation(program, "Reset", {}, [&] {
        EXPECT_EQ(
            RecordOperation(program, "Accept Changes", {}, [] { return Outcome::Done(); }).code, 0);
        program.ShowStatusMessage(true, "Something after");
        return Outcome::Failed("Reset Failed");
    });
    EXPECT_EQ(result.code, -1);
    const std::vector<HistoryRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operation, "Reset");
    EXPECT_FALSE(records[0].ok);
    EXPECT_EQ(records[0].message, "Reset Failed");
    EXPECT_EQ(records[0].serial, -1);  // no unit identified

    // What escapes an operation is its failure, recorded on the way out.
    EXPECT_THROW(
        RecordOperation(program, "Restore", {},
                        []() -> Outcome { throw std::runtime_error("Out of system memory"); }),
        std::runtime_error);
    const std::vector<HistoryRecord> after = Records();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].operation, "Restore");
    EXPECT_FALSE(after[0].ok);
    EXPECT_EQ(after[0].message, "Out of system memory");
}

TEST_F(ServiceHistoryOverPtyTest, StoreCannotBeMade_OperationSucceedsAndTheStatusLineSaysSo) {
    ConnectUnit(1);
    platform.SetDataFolder("/proc/keelsong-none");
    EXPECT_EQ(SyncPCTimeToInstrument(program).code, 0);
    const std::string status = ui.TextValue(Panel::MAIN, Control::STATUS_LINE);
    EXPECT_EQ(status.rfind("Orvane HF time set to ", 0), 0u) << status;
    EXPECT_NE(status.find(" - History not written: /proc/keelsong-none"), std::string::npos)
        << status;
}

}  // namespace
}  // namespace keelsong
