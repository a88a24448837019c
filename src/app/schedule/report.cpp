#include "app/schedule/report.h"

#include <filesystem>
#include <initializer_list>
#include <new>
#include <optional>
#include <system_error>

#include "app/history/history_view.h"
#include "app/setup/setup_panel.h"
#include "app/shell/text_format.h"
#include "app/state/program.h"
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
    if (source == ReportUnitSource::File || !program.Link().IsConnected() ||
        identity.firmware_version < 0) {
        const std::optional<Program::SourceFile>& file = program.ContentsFile();
        const ConfigProvenance saved_for = file ? file->provenance : ConfigProvenance{};
        if (!saved_for.type.empty()) {
            // The unit the file was saved from, as the file says.
            lines.emplace_back("Unit type", saved_for.type + " (from the file)");
            if (saved_for.serial) {
                lines.emplace_back("Serial number", std::to_string(*saved_for.serial));
            }
            if (!saved_for.firmware.empty()) {
                lines.emplace_back("Firmware", saved_for.firmware);
            }
        } else {
            lines.emplace_back("Unit", source == ReportUnitSource::File
                                           ? "none, the report of a configuration file"
                                           : "not connected");
        }
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
    lines = {{"Unit type", std::string(DeviceTypeName(identity.DeviceType()))},
             {"Serial number", std::to_string(identity.SerialNumber())},
             {"Firmware", FirmwareVersionText(identity.firmware_version)}};
    if (program.Marks().table_changed || program.Marks().setup_changed) {
        lines.emplace_back("Table and setup", "Not sent to the unit");
    }
    return lines;
}

// Where the contents came from: the file, when and by what it was saved, and its SHA-256.
std::vector<std::pair<std::string, std::string>> FileLines(Program& program) {
    const std::optional<Program::SourceFile>& file = program.ContentsFile();
    if (!file) {
        return {};
    }
    std::vector<std::pair<std::string, std::string>> lines;
    lines.emplace_back("File", std::filesystem::path(file->path).filename().string());
    const ConfigProvenance& saved = file->provenance;
    if (!saved.time.empty() || !saved.program.empty()) {
        lines.emplace_back("Saved", saved.time.empty()      ? saved.program
                                    : saved.program.empty() ? saved.time
                                                            : saved.time + " by " + saved.program);
    }
    if (!file->sha256.empty()) {
        lines.emplace_back("SHA-256", file->sha256);
    }
    return lines;
}

// "+01:00": how far the local clock is ahead of UTC now.
std::string UtcOffsetText(Platform& platform, int64_t utc, const CalendarTime& local) {
    const std::optional<int64_t> as_utc = platform.FromLocal(local);
    if (!as_utc) {
        return {};
    }
    // The local time carries whole seconds; the offset is rounded to whole minutes.
    const int64_t minutes = (*as_utc - utc + (*as_utc >= utc ? 30 : -30)) / 60;
    const int64_t size = minutes < 0 ? -minutes : minutes;
    return FormatText("UTC%c%02lld:%02lld", minutes < 0 ? '-' : '+',
                      static_cast<long long>(size / 60), static_cast<long long>(size % 60));
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
    const int64_t utc_now = platform.UtcNow();
    if (const std::optional<CalendarTime> now = platform.ToLocal(utc_now)) {
        const std::string offset = UtcOffsetText(platform, utc_now, *now);
        report.made = DateTimeText(*now, false) + (offset.empty() ? "" : " " + offset);
    }
    report.unit = UnitLines(program, source);
    report.file = FileLines(program);
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
            // A cell the row's type does not use holds no value of the event's.
            const bool dimmed = grid.IsDimmed(column, row);
            cells.push_back({dimmed ? std::string() : grid.DisplayText(column, row), dimmed});
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
