#include "app/schedule/report.h"

#include <filesystem>
#include <new>
#include <optional>
#include <system_error>

#include "app/setup/setup_panel.h"
#include "app/shell/program.h"
#include "app/shell/text_format.h"
#include "keelsong_version.h"
#include "protocol/unit_identity.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

constexpr char kPattern[] = "*.pdf";
constexpr char kDialogTitle[] = "Export Report";

std::string SyncModeText(int mode) {
    switch (mode) {
        case sync_mode::kInFalling:
            return "Sync In - Falling Edge";
        case sync_mode::kInRising:
            return "Sync In - Rising Edge";
        case sync_mode::kOutFalling:
            return "Sync Out - Falling Edge";
        case sync_mode::kDisabled:
            return "Disabled";
        default:
            return FormatText("Unknown sync mode, Code: %d", mode);
    }
}

std::string RepeatText(const Schedule& schedule) {
    const std::string rest = DurationText(schedule.rest_seconds) + " between plays";
    if (schedule.plays == 0) {
        return "Continuous Repeat, " + rest;
    }
    if (schedule.plays == 1) {
        return "Played once";
    }
    return FormatText("%u plays, ", schedule.plays) + rest;
}

std::vector<std::pair<std::string, std::string>> UnitLines(Program& program,
                                                           ReportUnitSource source) {
    const UnitIdentity& identity = program.Identity();
    std::vector<std::pair<std::string, std::string>> lines;
    if (source == ReportUnitSource::File) {
        // A configuration file names no unit.
        lines.emplace_back("Unit", "none, the report of a configuration file");
    } else if (!program.Link().IsConnected() || identity.firmware_version < 0) {
        lines.emplace_back("Unit", "not connected");
    }
    if (!lines.empty()) {
        if (identity.DeviceType() == device_type::kNone && program.StandInUnit()) {
            lines.emplace_back("Events read as for",
                               std::string(DeviceTypeName(program.StandInUnit()->device_type)));
        }
        return lines;
    }
    return {{"Unit type", std::string(DeviceTypeName(identity.DeviceType()))},
            {"Serial number", std::to_string(identity.SerialNumber())},
            {"Firmware", FirmwareVersionText(identity.firmware_version)}};
}

std::vector<std::pair<std::string, std::string>> SetupLines(Program& program,
                                                            const Schedule& schedule) {
    const Ui& ui = program.GetUi();
    std::vector<std::pair<std::string, std::string>> lines;
    lines.emplace_back("Repeat Setup", RepeatText(schedule));
    // Only units of the tagged setup form keep a start time and use the PPS line.
    if (program.Unit().setup_format == setup_format::kTagged) {
        lines.emplace_back("Start Delay",
                           schedule.starts ? DateTimeText(*schedule.starts, false) + " local time"
                                           : std::string("none"));
        const auto mode =
            static_cast<int32_t>(ReadSetupField(program, setup_tag::kAuxFunction).value_or(0));
        std::string sync = SyncModeText(mode);
        if (mode != sync_mode::kDisabled &&
            ReadSetupField(program, setup_tag::kAuxMessages).value_or(0) != 0) {
            sync += ", " + ui.Label(Panel::MAIN, Control::ENCODE_TIME);
        }
        lines.emplace_back("Sync - PPS", sync);
    }
    lines.emplace_back("Magnetic Switch",
                       ReadSetupField(program, setup_tag::kMagneticSwitch).value_or(0) != 0
                           ? "enabled"
                           : "disabled");
    return lines;
}

// The folder a report's file dialog starts in: the "Config Path" folder, which may name the
// configuration file chosen last.
std::string ReportFolder(const std::string& config_path) {
    if (config_path.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path path(config_path);
    if (std::filesystem::is_directory(path, error)) {
        return path.string();
    }
    return path.parent_path().string();
}

void ExportReport(Program& program) {
    Ui& ui = program.GetUi();
    Platform& platform = program.GetPlatform();
    const bool connected = program.Link().IsConnected();
    const CalendarTime now = platform.ToLocal(platform.UtcNow()).value_or(CalendarTime{});
    const std::string folder = ReportFolder(program.Settings().ConfigFolder());
    const std::string offered =
        (folder.empty() || folder.back() == '/' ? folder : folder + "/") +
        DefaultReportName(connected, program.Identity().SerialNumber(), now);
    const FileSelection chosen = ui.FileSelectPopup(offered, kPattern, kDialogTitle, true);
    if (chosen.choice == FileChoice::Cancelled) {
        return;
    }
    ui.SetWaitCursor(true);
    const int result = program.GetShell().WriteReport(MakeReport(program), chosen.path);
    ui.SetWaitCursor(false);
    if (result == 0) {
        program.ShowStatusMessage(true, "Report saved successfully");
    } else {
        program.ShowStatusMessage(false, "Failed to save report");
    }
}

}  // namespace

ReportContent MakeReport(Program& program, ReportUnitSource source) {
    ReportContent report;
    Platform& platform = program.GetPlatform();
    if (const std::optional<CalendarTime> now = platform.ToLocal(platform.UtcNow())) {
        report.made = DateTimeText(*now, false);
    }
    report.unit = UnitLines(program, source);
    report.schedule = ComputeSchedule(program);
    report.setup = SetupLines(program, report.schedule);

    const EventGridModel& grid = program.Grid();
    for (int column = 1; column <= grid_column::kCount; ++column) {
        report.column_titles.push_back(grid.ColumnTitle(column));
    }
    for (int row = 1; row <= grid.RowCount(); ++row) {
        std::vector<ReportCell>& cells = report.rows.emplace_back();
        for (int column = 1; column <= grid_column::kCount; ++column) {
            cells.push_back({grid.DisplayText(column, row), grid.IsDimmed(column, row)});
        }
    }
    report.totals = ScheduleTotalsText(report.schedule);
    report.program_version = kVersion;
    return report;
}

std::string DefaultReportName(bool connected, uint32_t serial_number, const CalendarTime& local) {
    const std::string unit = connected ? FormatText("Unit%u_", serial_number) : std::string();
    return "Keelsong_Report_" + unit +
           FormatText("%02d%02d%02d_%02d%02d.pdf", (local.year % 100 + 100) % 100, local.month,
                      local.day, local.hour, local.minute);
}

int ExportReportCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    try {
        ExportReport(program);
    } catch (const std::bad_alloc&) {
        program.GetUi().SetWaitCursor(false);
        program.ShowStatusMessage(false, "Out of system memory");
    }
    return 0;
}

}  // namespace keelsong
