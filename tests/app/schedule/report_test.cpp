// "Export Report…": what the report says, where its file dialog starts, and how the writer's
// outcome reaches the status line.
#include <gtest/gtest.h>

#include <utility>

#include "app/files/config_file_fixture.h"
#include "app/schedule/report.h"
#include "keelsong_version.h"

namespace keelsong {
namespace {

using testing::ConfigFileFixture;
using testing::UnitDescription;
using Pairs = std::vector<std::pair<std::string, std::string>>;

constexpr UnitDescription kHf{device_type::kOrvaneHf, 0x020104};
constexpr int64_t k9Dec2026At0600Utc = 1796796000;

class ReportTest : public ConfigFileFixture {
  protected:
    ReportTest() {
        platform.SetUtcNow(k9Dec2026At0600Utc);
        program.GetShell().SetReportWriter(
            [this](const ReportContent& report, const std::string& path) {
                written.emplace_back(report, path);
                return writer_result;
            });
    }

    void ConnectHf() {
        Identify(kHf);
        program.Link().Settings().open = 1;
    }

    std::vector<std::pair<ReportContent, std::string>> written;
    int writer_result = 0;
};

TEST_F(ReportTest, UnitSetupAndTable_AsTheWindowShowsThem) {
    ConnectHf();
    FillGrid({{"Tone", 5, 2.5, 12000}, {"None", 0}, {"Rest", 3, 1.0}});
    ShowSetup({sync_mode::kOutFalling, static_cast<uint32_t>(k9Dec2026At0600Utc), 5, 300, 1, 1});

    const ReportContent report = MakeReport(program);
    EXPECT_EQ(report.made, "9 Dec. 2026 06:00");
    EXPECT_EQ(
        report.unit,
        (Pairs{{"Unit type", "Orvane HF"}, {"Serial number", "1042"}, {"Firmware", "v2.1.4"}}));
    EXPECT_EQ(report.setup, (Pairs{{"Repeat Setup", "5 plays, 30 s between plays"},
                                   {"Start Delay", "9 Dec. 2026 06:00 local time"},
                                   {"Sync - PPS", "Sync Out - Falling Edge, Encode time in PPS"},
                                   {"Magnetic Switch", "enabled"}}));
    EXPECT_EQ(report.column_titles[5], "Level(dB)");
    ASSERT_EQ(report.rows.size(), 3u);
    EXPECT_EQ(report.rows[0][0].text, "Tone");
    EXPECT_EQ(report.rows[0][1].text, "2.5");
    EXPECT_EQ(report.rows[0][3].text, "12000");
    EXPECT_FALSE(report.rows[0][3].dimmed);
    EXPECT_EQ(report.rows[1][0].text, "None");
    EXPECT_TRUE(report.rows[1][1].dimmed);
    EXPECT_EQ(report.schedule.segments.size(), 2u);
    EXPECT_EQ(report.totals,
              "One play 3.5 s \u00B7 5 plays, 30 s apart: 2 min 17.5 s \u00B7 starts 9 Dec. 2026 "
              "06:00, ends 06:02:17");
    EXPECT_EQ(report.program_version, kVersion);

    // A unit without the tagged setup has no start or sync lines; without a connection, or from
    // a file, the unit's fields say so.
    program.Link().Settings().open = 0;
    EXPECT_EQ(MakeReport(program).unit, (Pairs{{"Unit", "not connected"}}));
    EXPECT_EQ(MakeReport(program, ReportUnitSource::File).unit,
              (Pairs{{"Unit type", "from file"},
                     {"Serial number", "from file"},
                     {"Firmware", "from file"}}));
    program.SetupFormat() = setup_format::kShortHf;
    EXPECT_EQ(MakeReport(program).setup, (Pairs{{"Repeat Setup", "5 plays, 30 s between plays"},
                                                {"Magnetic Switch", "enabled"}}));
}

TEST_F(ReportTest, ExportReport_StartsInConfigPathAndSaysHowTheWritingWent) {
    ConnectHf();
    program.Settings().ConfigFolder() = files / "last.tlk";
    const std::string offered = files / "Keelsong_Report_Unit1042_261209_0600.pdf";

    // Cancelled: nothing written, nothing said.
    const std::string status_before = StatusText();
    Press(program, Panel::MAIN, Control::EXPORT_REPORT);
    ASSERT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(ui.Popups()[0].kind, HeadlessUi::PopupKind::FileSelect);
    EXPECT_EQ(ui.Popups()[0].title, "Export Report");
    EXPECT_EQ(ui.Popups()[0].text, offered);
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(StatusText(), status_before);

    const std::string chosen = files / "deployment.pdf";
    ui.AnswerFileSelect({FileChoice::NewFile, chosen});
    Press(program, Panel::MAIN, Control::EXPORT_REPORT);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].second, chosen);
    EXPECT_EQ(StatusText(), "Report saved successfully");
    EXPECT_EQ(StatusColor(), kColorBlack);
    EXPECT_FALSE(ui.WaitCursor());

    writer_result = -1;
    ui.AnswerFileSelect({FileChoice::ExistingFile, chosen});
    Press(program, Panel::MAIN, Control::EXPORT_REPORT);
    EXPECT_EQ(StatusText(), "Failed to save report");
    EXPECT_EQ(StatusColor(), kColorRed);

    // The report's folder is not where configuration files are kept: "Config Path" stays.
    EXPECT_EQ(program.Settings().ConfigFolder(), files / "last.tlk");
}

}  // namespace
}  // namespace keelsong
