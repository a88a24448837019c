// "Export Report…": what the report says, where its file dialog starts, and how the writer's
// outcome reaches the status line.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "app/files/config_file_fixture.h"
#include "app/schedule/report.h"
#include "app/state/event_grid_model.h"
#include "app/unit/enquiry.h"
#include "app/unit/status_display.h"
#include "files/sha256.h"
#include "keelsong_version.h"

namespace keelsong {
namespace {

using testing::Bytes;
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
    EXPECT_EQ(report.made, "9 Dec. 2026 06:00 UTC+00:00");
    // The rows were typed in, not read from the unit.
    EXPECT_EQ(report.unit, (Pairs{{"Unit type", "Orvane HF"},
                                  {"Serial number", "1042"},
                                  {"Firmware", "v2.1.4"},
                                  {"Table and setup", "Not sent to the unit"}}));
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
    EXPECT_EQ(report.rows[1][1].text, "") << "a cell the row does not use holds no value";
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
              (Pairs{{"Unit", "none, the report of a configuration file"}}));
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

// A file saved from a connected unit and opened at a desk: the window's report and the file's
// (keelsong-cli report) say the same of the unit and the file, and the file is the one read.
TEST_F(ReportTest, SavedFromUnit_OpenedWithout_ReportNamesUnitAndFile) {
    ConnectHf();
    FillGrid({{"Tone", 5, 2.5, 12000}, {"Rest", 3, 1.0}});
    ShowSetup({sync_mode::kOutFalling, static_cast<uint32_t>(k9Dec2026At0600Utc), 5, 300, 1, 1});
    const std::string path = files / "deployment.tlk";
    Save(path);
    ShowNoConnection(program);
    program.Link().Settings().open = 0;
    Load(path);

    const ReportContent window = MakeReport(program);
    const ReportContent file = MakeReport(program, ReportUnitSource::File);
    EXPECT_EQ(window.unit, (Pairs{{"Unit type", "Orvane HF (from the file)"},
                                  {"Serial number", "1042"},
                                  {"Firmware", "v2.1.4"},
                                  {"Events read as for", "Orvane HF (from the file)"}}));
    EXPECT_EQ(window.file,
              (Pairs{{"File", "deployment.tlk"},
                     {"Saved", "2026-12-09T06:00:00Z by Keelsong " + std::string(kVersion)},
                     {"SHA-256", Sha256Hex(ReadFile(path))}}));
    EXPECT_EQ(file.unit, window.unit);
    EXPECT_EQ(file.file, window.file);
    EXPECT_EQ(file.setup, window.setup);
    EXPECT_EQ(file.totals, window.totals);
    ASSERT_EQ(file.rows.size(), window.rows.size());
    for (size_t row = 0; row < file.rows.size(); ++row) {
        for (size_t column = 0; column < file.rows[row].size(); ++column) {
            EXPECT_EQ(file.rows[row][column].text, window.rows[row][column].text);
        }
    }
}

// "Unit type" with no unit: a type that plays every row is taken (the rows, the report and a
// save go by it); one that cannot is refused and nothing changes; a unit's own type wins.
TEST_F(ReportTest, UnitTypeChoice_TakenOnlyWhereItPlaysEveryRow) {
    Load(WriteFile("desk.tlk",
                   "[Event 01]\nFrequency = 4000\nLevel = 0\nTime = 25\nType = 5\n[Event "
                   "02]\nTime = 10\nType = 3\n[Unit]\nType = Orvane HF\n"));
    ASSERT_EQ(ui.IntValue(Panel::MAIN, Control::UNIT_TYPE), device_type::kOrvaneHf);
    ASSERT_FALSE(ui.IsDimmed(Panel::MAIN, Control::UNIT_TYPE));
    const auto choose = [&](int type) {
        ui.SetInt(Panel::MAIN, Control::UNIT_TYPE, type);
        Press(program, Panel::MAIN, Control::UNIT_TYPE, UiEvent::ValueChanged);
    };

    choose(device_type::kOrvaneLf);
    EXPECT_EQ(StatusText(),
              "An Orvane LF cannot play row 1 as it stands: the table stays as for "
              "an Orvane HF");
    EXPECT_EQ(StatusColor(), kColorRed);
    EXPECT_EQ(program.Unit().device_type, device_type::kOrvaneHf);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::UNIT_TYPE), device_type::kOrvaneHf);

    choose(device_type::kOrvaneHfR1);
    EXPECT_EQ(StatusText(), "Events read as for an Orvane HF(R1)");
    EXPECT_EQ(program.Unit().device_type, device_type::kOrvaneHfR1);
    const ReportContent report = MakeReport(program);
    EXPECT_EQ(report.unit.back(), (std::pair<std::string, std::string>{
                                      "Events read as for", "Orvane HF(R1) (as given)"}));
    EXPECT_NEAR(report.schedule.play_seconds, 3.5, 1e-9) << "the tone kept its 2.5 s";
    Save(files / "again.tlk");
    EXPECT_NE(ReadFile(files / "again.tlk").find("[Unit]\r\nType = Orvane HF(R1)\r\n"),
              std::string::npos);

    ConnectHf();
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::UNIT_TYPE), device_type::kOrvaneHf);
    EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::UNIT_TYPE));
}

// With no unit the grid keeps the type's ranges and level title, and no value shown is ever cut
// to them: a type whose ranges a row lies outside is refused as one that cannot play it, and a
// file whose rows fit no type's ranges is shown as it is.
TEST_F(ReportTest, UnitTypeWithoutUnit_RangesFollowItAndNoValueIsCut) {
    namespace col = grid_column;
    const auto choose = [&](int type) {
        ui.SetInt(Panel::MAIN, Control::UNIT_TYPE, type);
        Press(program, Panel::MAIN, Control::UNIT_TYPE, UiEvent::ValueChanged);
    };
    const auto level = [&] { return program.Grid().Number(col::kLevel, 1); };
    // A sweep of 100-5000 Hz at 10 dB attenuation: an Orvane LF's, out of an Orvane HF's ranges.
    Load(WriteFile("lf.tlk",
                   "[Event 01]\nStart Frequency = 100\nEnd Frequency = 5000\nTime = 20\n"
                   "Level = 10\nType = 2\n[Unit]\nType = Orvane LF\n"));
    ASSERT_EQ(program.Unit().device_type, device_type::kOrvaneLf);
    EXPECT_EQ(program.Grid().ColumnTitle(col::kLevel), "Attenuation(dB)");
    EXPECT_EQ(program.Grid().ColumnDefault(col::kStartFrequency)->maximum, 8000);

    choose(device_type::kOrvaneHf);
    EXPECT_EQ(StatusText(),
              "An Orvane HF cannot play row 1 as it stands: the table stays as for an Orvane LF");
    EXPECT_EQ(program.Grid().Number(col::kStartFrequency, 1), 100);
    EXPECT_EQ(level(), 10);

    Load(WriteFile("hf.tlk", "[Event 01]\nFrequency = 4000\nLevel = -20\nTime = 25\nType = 5\n"));
    EXPECT_EQ(program.Grid().ColumnTitle(col::kLevel), "Level(dB)");
    EXPECT_EQ(program.Grid().ColumnDefault(col::kLevel)->minimum, -24);
    EXPECT_EQ(level(), -20);

    // Named an Orvane HF, but 20 dB lies beyond any Orvane HF's level.
    Load(WriteFile("odd.tlk",
                   "[Event 01]\nFrequency = 4000\nLevel = 20\nTime = 25\nType = 5\n"
                   "[Unit]\nType = Orvane HF\n"));
    EXPECT_EQ(level(), 20);
}

// ---- A configuration file with no unit identified ----

// What a file's report says of the unit and of its events: all of them, as the unit type that
// can hold each one plays them.
struct FileCase {
    const char* name;
    std::string bytes;
    std::string read_as;
    std::vector<std::string> type_texts;
    std::vector<int32_t> segment_types;
    double play_seconds;
    // The unit type the file's "[Unit]" names, which the report gives as the unit's.
    std::string named_unit = {};
    friend void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }
};

class FileReportTest : public ReportTest, public ::testing::WithParamInterface<FileCase> {};

// One binary record: the type, then the body's first bytes.
std::string OldRecord(uint8_t type, std::initializer_list<uint8_t> body) {
    std::string record(16, '\0');
    record[0] = static_cast<char>(type);
    std::copy(body.begin(), body.end(), record.begin() + 4);
    return record;
}

TEST_P(FileReportTest, NoUnit_EveryEventAsTheTypeThatHoldsThemAll) {
    const FileCase& c = GetParam();
    ASSERT_EQ(LoadConfigurationFile(program, WriteFile("deployment.tlk", c.bytes)).code, 0)
        << StatusText();

    const ReportContent report = MakeReport(program);
    const std::pair<std::string, std::string> unit =
        c.named_unit.empty()
            ? std::pair<std::string, std::string>{"Unit", "not connected"}
            : std::pair<std::string, std::string>{"Unit type", c.named_unit + " (from the file)"};
    EXPECT_EQ(report.unit, (Pairs{unit, {"Events read as for", c.read_as}}));
    std::vector<std::string> type_texts;
    for (const std::vector<ReportCell>& row : report.rows) {
        type_texts.push_back(row[0].text);
    }
    EXPECT_EQ(type_texts, c.type_texts);
    std::vector<int32_t> segment_types;
    for (const ScheduleSegment& segment : report.schedule.segments) {
        segment_types.push_back(segment.type);
    }
    EXPECT_EQ(segment_types, c.segment_types);
    EXPECT_NEAR(report.schedule.play_seconds, c.play_seconds, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileReportTest,
    ::testing::Values(
        FileCase{"SweepRestToneClick",
                 "[Event 01]\nEnd Frequency = 20000\nLevel = 0\nStart Frequency = 5000\nTime = "
                 "10\nType = 2\n[Event 02]\nTime = 5\nType = 3\n[Event 03]\nFrequency = "
                 "12000\nLevel = -6\nTime = 25\nType = 5\n[Event 04]\nFrequency = 10000\nLevel "
                 "= -3\nPhase = -90\nTime = 1\nType = 4\n",
                 "Orvane HF (assumed)",
                 {"Sweep", "Rest", "Tone", "Click"},
                 {2, 3, 5, 4},
                 4.1},
        // 1000 cycles at 400 Hz last 2.5 s.
        FileCase{"TonesInCycles",
                 "[Event 01]\nCycles = 1000\nFrequency = 400\nLevel = 6\nType = 1\n[Event "
                 "02]\nTime = 5\nType = 3\n",
                 "Orvane LF (assumed)",
                 {"Tone", "Rest"},
                 {1, 3},
                 3.0},
        FileCase{"TonesOfBothKinds",
                 "[Event 01]\nCycles = 1000\nFrequency = 400\nLevel = 0\nType = 1\n[Event "
                 "02]\nFrequency = 4000\nLevel = 0\nTime = 15\nType = 5\n",
                 "Orvane HF(R1) (assumed)",
                 {"Tone", "Tone"},
                 {1, 5},
                 4.0},
        // A timed tone of 2.5 s at 12000 Hz and a click of 0.1 s at 10000 Hz.
        FileCase{"OldBinaryTable",
                 OldRecord(5, {0xE0, 0x2E, 0x00, 0x00, 25, 0}) +
                     OldRecord(4, {0x10, 0x27, 0x00, 0x00, 0xA6, 0xFF, 1, 0}),
                 "Orvane HF (assumed)",
                 {"Tone", "Click"},
                 {5, 4},
                 2.6},
        // The type the file names, where it can play every event; else the one that can.
        FileCase{"NamedTypeHoldsThem",
                 "[Event 01]\nTime = 5\nType = 3\n[Event 02]\nFrequency = 4000\nLevel = "
                 "0\nTime = 15\nType = 5\n[Unit]\nType = Orvane HF(R1)\n",
                 "Orvane HF(R1) (from the file)",
                 {"Rest", "Tone"},
                 {3, 5},
                 2.0,
                 "Orvane HF(R1)"},
        FileCase{"NamedTypeCannotPlayThem",
                 "[Event 01]\nCycles = 1000\nFrequency = 400\nLevel = 6\nType = 1\n[Event "
                 "02]\nTime = 5\nType = 3\n[Unit]\nType = Orvane HF\n",
                 "Orvane LF (assumed)",
                 {"Tone", "Rest"},
                 {1, 3},
                 3.0,
                 "Orvane HF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportTest, FileWithStartAndSync_NoUnit_ReportKeepsThem) {
    ASSERT_EQ(LoadConfigurationFile(
                  program, WriteFile("deployment.tlk",
                                     "[Event 01]\nTime = 5\nType = 3\n[Setup]\nAUX Function = "
                                     "1\nAUX Messages = 1\nMagnetic Switch = 1\nNumber of Plays "
                                     "= 5\nStart Time = 1796796000\nTime Between Repeats = 300\n"))
                  .code,
              0);
    EXPECT_EQ(MakeReport(program, ReportUnitSource::File).setup,
              (Pairs{{"Repeat Setup", "5 plays, 30 s between plays"},
                     {"Start Delay", "9 Dec. 2026 06:00 local time"},
                     {"Sync - PPS", "Sync Out - Falling Edge, Encode time in PPS"},
                     {"Magnetic Switch", "enabled"}}));
}

TEST_F(ReportTest, StandIn_OnlyUntilAUnitIsIdentified) {
    const std::string cycles = WriteFile(
        "cycles.tlk", "[Event 01]\nCycles = 1000\nFrequency = 400\nLevel = 0\nType = 1\n");

    // A file loaded with a unit identified goes by the unit.
    ConnectHf();
    ASSERT_EQ(LoadConfigurationFile(program, cycles).code, 0);
    EXPECT_FALSE(program.StandInUnit());

    // Without one, by the stand-in, until an enquiry tells what the unit is.
    program.Identity().SetDeviceType(device_type::kNone);
    ASSERT_EQ(LoadConfigurationFile(program, cycles).code, 0);
    EXPECT_EQ(program.Unit().device_type, device_type::kOrvaneLf);

    Bytes enquiry(kIdentityPayloadBytes, 0);
    const std::string firmware = "v1.1.3";
    std::copy(firmware.begin(), firmware.end(), &enquiry[kFirmwareTextOffset]);
    enquiry[UnitIdentity::kDeviceTypeOffset] = device_type::kOrvaneHfR1;
    AnswerWith(enquiry);
    ASSERT_EQ(EnquireUnit(program, false), 0x010103);
    EXPECT_EQ(program.Unit().device_type, device_type::kOrvaneHfR1);
    // A unit gone leaves the grid going by no unit, not by the file loaded before it came.
    program.Identity().SetDeviceType(device_type::kNone);
    EXPECT_EQ(program.Unit().device_type, device_type::kNone);
}

}  // namespace
}  // namespace keelsong
