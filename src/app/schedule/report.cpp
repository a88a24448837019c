#include "app/schedule/report.h"

#include <filesystem>
#include <initializer_list>
#include <new>
#include <optional>
#include <system_error>

#include "app/history/history_view.h"
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
            static constexpr const char* kWhy[] = {"assumed", "from the file", "as given"};
            lines.emplace_back("Events read as for",
                               std::string(DeviceTypeName(program.StandInUnit()->device_type)) +
                                   " (" + kWhy[static_cast<int>(program.StandInSourceOf())] + ")");
        }
        return lines;
    }
    return {{"Unit type", std::string(DeviceTypeName(identity.DeviceType()))},
            {"Serial number", std::to_string(identity.SerialNumber())},
            {"Firmware", FirmwareVersionText(identity.firmware_version)}};
}

constexpr char kNotInFile[] = "not in the file";

bool AllShown(const SetupFieldsShown& shown, std::initializer_list<uint16_t> tags) {
    for (uint16_t tag : tags) {
        if (!shown[tag]) {
            return false;
        }
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> SetupLines(Program& program,
                                                            const Schedule& schedule,
                                                            const SetupFieldsShown& shown) {
    const Ui& ui = program.GetUi();
    std::vector<std::pair<std::string, std::string>> lines;
    lines.emplace_back("Repeat Setup",
                       AllShown(shown, {setup_tag::kNumberOfPlays, setup_tag::kTimeBetweenRepeats})
                           ? RepeatText(schedule)
                           : kNotInFile);
    // Only units of the tagged setup form keep a start time and use the PPS line.
    if (program.Unit().setup_format == setup_format::kTagged) {
        std::string start = kNotInFile;
        if (shown[setup_tag::kStartTime]) {
            start = schedule.starts ? DateTimeText(*schedule.starts, false) + " local time"
                                    : std::string("none");
        }
        lines.emplace_back("Start Delay", start);
        std::string sync = kNotInFile;
        if (shown[setup_tag::kAuxFunction]) {
            const auto mode =
                static_cast<int32_t>(ReadSetupField(program, setup_tag::kAuxFunction).value_or(0));
            sync = SyncModeText(mode);
            if (mode != sync_mode::kDisabled && shown[setup_tag::kAuxMessages] &&
                ReadSetupField(program, setup_tag::kAuxMessages).value_or(0) != 0) {
                sync += ", " + ui.Label(Panel::MAIN, Control::ENCODE_TIME);
            }
        }
        lines.emplace_back("Sync - PPS", sync);
    }
    std::string magnetic = kNotInFile;
    if (shown[setup_tag::kMagneticSwitch]) {
        magnetic = ReadSetupField(program, setup_tag::kMagneticSwitch).value_or(0) != 0
                       ? "enabled"
                       : "disabled";
    }
    lines.emplace_back("Magnetic Switch", magnetic);
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

// "Accept Changes, ok: deployment.tlk (ana, keelsong 1.2.0)" under its local time.
std::vector<std::pair<std::string, std::string>> RecentChanges(Program& program) {
    std::vector<std::pair<std::string, std::string>> lines;
    const Platform& platform = program.GetPlatform();
    for (const HistoryRecord& r : LatestChanges(program, kReportedChanges)) {
        const std::optional<CalendarTime> when = platform.ToLocal(r.time);
        std::string what = r.operation + (r.ok ? ", ok" : ", failed: " + r.message);
        if (!r.file.empty()) {
            what += (r.ok ? ": " : "; ") + std::filesystem::path(r.file).filename().string();
        }
        if (!r.firmware_after.empty()) {
            what += "; firmware " + r.firmware + " to " + r.firmware_after;
        }
        what += " (" + (r.user.empty() ? std::string() : r.user + ", ") + r.program + ")";
        lines.emplace_back(when ? DateTimeText(*when, false) : std::to_string(r.time), what);
    }
    return lines;
}

}  // namespace

ReportContent MakeReport(Program& program, ReportUnitSource source, const SetupFieldsShown& shown) {
    ReportContent report;
    Platform& platform = program.GetPlatform();
    if (const std::optional<CalendarTime> now = platform.ToLocal(platform.UtcNow())) {
        report.made = DateTimeText(*now, false);
    }
    report.unit = UnitLines(program, source);
    if (source == ReportUnitSource::Connection) {
        report.recent_changes = RecentChanges(program);
    }
    report.schedule = ComputeSchedule(program);
    if (!shown[setup_tag::kStartTime]) {
        report.schedule.start_utc.reset();
        report.schedule.starts.reset();
        report.schedule.ends.reset();
    }
    report.setup = SetupLines(program, report.schedule, shown);

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
    if (!report.totals.empty() &&
        !AllShown(shown, {setup_tag::kNumberOfPlays, setup_tag::kTimeBetweenRepeats})) {
        // How often and how far apart the table is played is not known: one play is.
        report.totals = "One play " + DurationText(report.schedule.play_seconds);
    }
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
