#include "cli/unit_commands.h"
#include "app/changes/accept_changes.h"
#include "app/changes/clock_and_settings.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/files/config_file_io.h"
#include "app/files/unit_contents.h"
#include "app/history/service_history.h"
#include "app/service/firmware_backup.h"
#include "app/service/firmware_update.h"
#include "app/service/service.h"
#include "app/setup/playback.h"
#include "app/setup/setup_panel.h"
#include "app/state/change_marks.h"
#include "app/unit/readiness.h"
#include "app/unit/readiness_battery.h"
#include "app/unit/status_display.h"
#include "cli/config_compare.h"
#include "files/config_file.h"
#include "files/contents_compare.h"
#include "protocol/unit_status.h"

namespace keelsong::cli {

namespace {

constexpr char kAdminMode[] =
    "Unit in admin mode: only a firmware update can bring it back (keelsong-cli firmware IMAGE)";
constexpr char kNothingToKeep[] =
    "Unit in admin mode: it has no table or setup to keep; nothing written (update it without "
    "--keep-table)";

constexpr std::string_view kNotInManifest = "not in manifest";

void ReplaceAll(std::string& text, std::string_view from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

int EventCount(Program& program) {
    int events = 0;
    for (int row = 1; row <= program.Grid().RowCount(); ++row) {
        EventBody body{};
        events += RowToEvent(program, body, row) != TypeCode(EventType::None);
    }
    return events;
}

// The configuration the program holds, as a save would write it; null when it cannot be made.
std::unique_ptr<IniDocument> ConfigurationOf(Program& program) {
    std::unique_ptr<IniDocument> document = Ini_New(1);
    if (document && PutConfiguration(program, *document) != 0) {
        document.reset();
    }
    return document;
}

// What errno says, safely from any unit's thread.
std::string ErrnoText() {
    return std::error_code(errno, std::generic_category()).message();
}

// Why a file could not be written at `path`, as far as its folder tells; empty when the folder
// gives no reason.
std::string WhyNotWritable(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    if (!fs::exists(folder, error)) {
        return "the folder " + folder.string() + " does not exist";
    }
    if (!fs::is_directory(folder, error)) {
        return folder.string() + " is not a folder";
    }
    if (fs::is_directory(target, error)) {
        return path + " is a folder";
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return "the folder " + folder.string() + ": " + ErrnoText();
    }
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
        return path + ": " + ErrnoText();
    }
    return {};
}

// The first few differences for a line, "; "-separated, and how many more there are.
std::string FirstDifferencesText(const std::vector<ContentsDifference>& differences) {
    constexpr size_t kShown = 5;
    std::string text;
    for (size_t k = 0; k < differences.size() && k < kShown; ++k) {
        text += (k == 0 ? "" : "; ") + DifferenceText(differences[k]);
    }
    if (differences.size() > kShown) {
        text += "; and " + std::to_string(differences.size() - kShown) + " more";
    }
    return text;
}

std::string DifferencesJson(const std::vector<ContentsDifference>& differences) {
    std::string json = "[";
    for (const ContentsDifference& difference : differences) {
        json += (json.size() > 1 ? "," : "") + std::string("{\"where\":") +
                JsonString(difference.where) + ",\"field\":" + JsonString(difference.field) +
                ",\"unit\":" + JsonString(difference.unit) +
                ",\"file\":" + JsonString(difference.file) + "}";
    }
    return json + "]";
}

class UnitRun {
  public:
    UnitRun(UnitSession& session, const CliRequest& request, FileClaims& claims,
            const ConfigFileContents* to_write, const Deployment* deployment)
        : session_(session),
          program_(session.Logic()),
          request_(request),
          claims_(claims),
          to_write_(to_write),
          deployment_(deployment) {}

    UnitReport Run() {
        const Outcome connected = session_.Connect();
        if (!connected.ok) {
            return Fail(connected.message);
        }
        const UnitIdentity& identity = program_.Identity();
        if (identity.firmware_version < kNormalFirmware &&
            (request_.command != CommandKind::Firmware || request_.keep_table)) {
            return Fail(request_.command == CommandKind::Firmware ? kNothingToKeep : kAdminMode);
        }
        if (!HasEventTable(identity.DeviceType())) {
            return Fail("This type of unit keeps no event table: Keelsong has nothing to work on");
        }
        switch (request_.command) {
            case CommandKind::Info:
                return Info();
            case CommandKind::Read:
                return Read();
            case CommandKind::Write:
                return Write();
            case CommandKind::Play:
                return Step(PlayUnit(program_), Detail::Told);
            case CommandKind::Stop:
                return Step(StopUnit(program_));
            case CommandKind::SetTime:
                return Step(SyncPCTimeToInstrument(program_), Detail::Told);
            case CommandKind::Restore:
                return Step(RestoreUnitSettings(program_));
            case CommandKind::Serial:
                return Serial();
            case CommandKind::Reset:
                return Reset();
            case CommandKind::Firmware:
                return Firmware();
            case CommandKind::RestoreBackup:
                return RestoreBackup();
            case CommandKind::Check:
                return Check();
            case CommandKind::Apply:
                return Apply();
            case CommandKind::List:
            case CommandKind::Report:
            case CommandKind::History:
                break;
        }
        return Fail("nothing to do");
    }

  private:
    UnitReport Fail(std::string message) {
        UnitReport report = session_.Report();
        report.failure = std::move(message);
        return report;
    }

    UnitReport Succeed(std::string detail = {}, std::vector<ReportField> fields = {}) {
        UnitReport report = session_.Report();
        report.ok = true;
        report.detail = std::move(detail);
        report.fields.insert(report.fields.end(), fields.begin(), fields.end());
        return report;
    }

    // Takes the outcome of one operation of the window's; on failure its message is kept.
    bool Try(const Outcome& outcome) {
        (outcome.ok ? told_ : failure_) = outcome.message;
        return outcome.ok;
    }

    // Whether a command's line gives what its operation told of its success.
    enum class Detail { None, Told };

    // One operation is the whole command.
    UnitReport Step(const Outcome& outcome, Detail detail = Detail::None) {
        if (!Try(outcome)) {
            return Fail(failure_);
        }
        return Succeed(detail == Detail::Told ? told_ : std::string{});
    }

    // What MAIN shows of the unit: a display the window hides for this unit (the battery of a
    // unit without a clock) reads empty; the raw numbers go along for scripts.
    UnitReport Info() {
        const UnitIdentity& identity = program_.Identity();
        // Connecting left the setup unread, and the countdown runs to the setup's start time:
        // read it, as the window does on connecting.
        if (identity.StatusPresent() != 0 && identity.PlayState() == play_state::kWaiting) {
            if (!Try(ReadUnitSetup(program_))) {
                return Fail(failure_);
            }
        }
        const LiveState live = LiveStateOf(program_);
        const std::string offset = "clock offset " + std::to_string(identity.clock_offset) + " s";

        std::string detail;
        for (const std::string& part :
             {live.battery.empty() ? live.battery
                                   : "battery " + live.battery + (live.charging ? " charging" : ""),
              live.sync, live.play, offset, live.climate}) {
            if (!part.empty()) {
                detail += (detail.empty() ? "" : "; ") + part;
            }
        }
        return Succeed(detail, {{"battery", live.battery},
                                {"battery_level", int64_t{identity.BatteryLevel()}},
                                {"charging", live.charging},
                                {"sync", live.sync},
                                {"play_state", live.play},
                                {"play_state_code", int64_t{identity.PlayState()}},
                                {"clock_offset", int64_t{identity.clock_offset}},
                                {"temperature_humidity", live.climate}});
    }

    UnitReport Read() {
        if (!Try(RetrieveTableAndSetup(program_))) {
            return Fail(failure_);
        }
        const std::string path =
            FileForUnit(request_.file, session_.Target(), program_.Identity().SerialNumber());
        if (!claims_.Claim(path)) {
            return Fail("Another unit writes " + path);
        }
        if (!Try(SaveConfigurationFile(program_, path))) {
            const std::string why = WhyNotWritable(path);
            return Fail(failure_ + " " + path + (why.empty() ? "" : ": " + why));
        }
        return Succeed(path, {{"file", path}, {"events", int64_t{EventCount(program_)}}});
    }

    UnitReport Write() {
        if (!to_write_) {
            return Fail("Failed to open file");
        }
        return WriteContents(request_.file, *to_write_, request_.verify);
    }

    // The manifest's file for this unit, written and verified; a unit it does not name is left
    // as it is.
    UnitReport Apply() {
        const uint16_t serial = program_.Identity().SerialNumber();
        const auto entry = deployment_ ? deployment_->find(serial) : Deployment::const_iterator{};
        if (!deployment_ || entry == deployment_->end()) {
            return Succeed(std::string(kNotInManifest), {{"in_manifest", false}});
        }
        UnitReport report = WriteContents(entry->second.path, entry->second.contents, true);
        report.fields.push_back({"in_manifest", true});
        return report;
    }

    // The unit's newest firmware backup, or --from's file, written back as write --verify does.
    UnitReport RestoreBackup() {
        std::string file = request_.file;
        if (file.empty()) {
            const std::string folder = BackupFolder(program_.GetPlatform());
            const uint16_t serial = program_.Identity().SerialNumber();
            const std::optional<std::string> newest = NewestBackup(folder, serial);
            if (!newest) {
                return Fail("No backup of unit " + std::to_string(serial) + " in " + folder);
            }
            file = *newest;
        }
        const ConfigFileRead read = ReadConfigurationFile(file);
        const std::optional<std::string> refusal =
            read.contents ? RefusedForEveryUnit(*read.contents) : read.failure;
        if (refusal) {
            return Fail(file + ": " + *refusal);
        }
        // Recorded as what it is, with the backup it wrote and how the check came out; the
        // "Accept Changes" inside it is part of that record.
        UnitReport report;
        RecordOperation(program_, "Restore Backup", file, [&] {
            report = WriteContents(file, *read.contents, true);
            return report.ok ? Outcome::Done(report.detail) : Outcome::Failed(report.failure);
        });
        return report;
    }

    UnitReport WriteContents(const std::string& file, const ConfigFileContents& contents,
                             bool verify) {
        const int type = program_.Identity().DeviceType();
        if (const std::optional<int> named = EventTableTypeNamed(contents.provenance.type);
            named && *named != type && !request_.any_type) {
            return Fail("The file is for an " + contents.provenance.type + ", this unit is an " +
                        std::string(DeviceTypeName(type)) +
                        ": nothing written (write --any-type writes it all the same)");
        }
        // What the file does not say keeps the unit's value, as when the window loads a file
        // over what it read on connecting.
        if (!Try(ReadUnitSetup(program_)) || !Try(ApplyConfiguration(program_, contents))) {
            return Fail(failure_);
        }
        // The service history names the file the change comes from.
        program_.ServiceRecords().NoteLoadedFile(file, contents.sha256);
        // The grid shows what this unit would be sent; any event it does not show as the file
        // holds it would be sent otherwise, or not at all.
        if (const std::optional<std::string> refusal = NotAsInFile(contents)) {
            return Fail(*refusal);
        }
        // An older table file is loaded as shown only; writing it means sending it.
        MarkTableChanged(program_, true);
        std::unique_ptr<IniDocument> sent;
        if (verify && !(sent = ConfigurationOf(program_))) {
            return Fail("Out of system memory");
        }
        if (!Try(AcceptChanges(program_))) {
            return Fail(failure_);
        }
        std::vector<ReportField> fields = {{"file", file},
                                           {"events", int64_t{EventCount(program_)}}};
        if (!verify) {
            return Succeed({}, fields);
        }
        if (!Try(RetrieveTableAndSetup(program_))) {
            return Fail(failure_);
        }
        const std::unique_ptr<IniDocument> read = ConfigurationOf(program_);
        if (!read) {
            return Fail("Out of system memory");
        }
        const std::optional<ConfigFileContents> as_sent = ContentsOfDocument(*sent);
        const std::optional<ConfigFileContents> as_read = ContentsOfDocument(*read);
        if (!as_sent || !as_read) {
            return Fail("Verify failed: the table read back cannot be compared");
        }
        if (const std::vector<ContentsDifference> differences = CompareContents(*as_read, *as_sent);
            !differences.empty()) {
            return Fail("Verify failed: " + FirstDifferencesText(differences));
        }
        fields.push_back({"verified", true});
        return Succeed("verified", fields);
    }

    // Reads the unit's table and setup and compares them with the file, when there is one;
    // nothing is sent. A difference or a warning leaves the line ok but fails the exit status.
    UnitReport Check() {
        if (!Try(RetrieveTableAndSetup(program_))) {
            return Fail(failure_);
        }
        const std::vector<std::string> warnings =
            ReadinessWarnings(ReadinessFactsOf(program_), kMinReadinessBattery);
        std::vector<std::string> parts;
        std::vector<ReportField> fields;
        // The file to compare with: check's own, or the deployment's for this unit's serial.
        const ConfigFileContents* file = to_write_;
        std::string file_name = request_.file;
        if (deployment_) {
            const auto entry = deployment_->find(program_.Identity().SerialNumber());
            const bool in_manifest = entry != deployment_->end();
            file = in_manifest ? &entry->second.contents : nullptr;
            file_name = in_manifest ? entry->second.path : std::string();
            fields.push_back({"in_manifest", in_manifest});
            if (!in_manifest) {
                parts.emplace_back(kNotInManifest);
            }
        }
        bool matches = true;
        if (file) {
            const std::vector<ContentsDifference> differences =
                CompareContents(UnitContents(program_), *file);
            matches = differences.empty();
            parts.push_back(matches ? "matches" : "differs");
            if (!matches) {
                parts.push_back(FirstDifferencesText(differences));
            }
            fields.push_back({"file", file_name});
            fields.push_back({"matches", matches});
            fields.push_back({"difference_count", static_cast<int64_t>(differences.size())});
            fields.push_back({"differences", JsonText{DifferencesJson(differences)}});
        }
        std::string warnings_json = "[";
        for (const std::string& warning : warnings) {
            parts.push_back("warning: " + warning);
            warnings_json += (warnings_json.size() > 1 ? "," : "") + JsonString(warning);
        }
        fields.push_back({"warnings", JsonText{warnings_json + "]"}});
        std::string detail = parts.empty() ? "ready" : "";
        for (const std::string& part : parts) {
            detail += (detail.empty() ? "" : "; ") + part;
        }
        UnitReport report = Succeed(detail, fields);
        report.attention = !matches || !warnings.empty();
        return report;
    }

    // The unit after a restart: ok only when it answers in its application firmware; a failure
    // tells the state it is in (and what `failure_` says went wrong before, when `failed`).
    UnitReport AfterRestart(bool failed, std::string detail = {},
                            std::vector<ReportField> fields = {}) {
        if (const std::optional<std::string> not_back = UnitNotBackText(program_)) {
            if (!failed) {
                return Fail(*not_back);
            }
            // The step's own message may tell the state already (a pop-up that says it).
            return Fail(failure_.find(*not_back) != std::string::npos
                            ? failure_
                            : failure_ + ": " + *not_back);
        }
        if (failed) {
            return Fail(failure_);
        }
        return Succeed(std::move(detail), std::move(fields));
    }

    UnitReport Serial() {
        const bool failed = !Try(UpdateSerialNumber(program_, request_.new_serial));
        if (!failed && program_.Identity().SerialNumber() != request_.new_serial) {
            failure_ = "The unit reports serial number " +
                       std::to_string(program_.Identity().SerialNumber()) + ", not " +
                       std::to_string(request_.new_serial);
            return AfterRestart(true);
        }
        return AfterRestart(failed);
    }

    UnitReport Reset() {
        // Only an Orvane HF is restarted; the window counts the others' reset as done all the
        // same, and so does the line, but it does not claim a restart that never happened.
        const bool restarted = program_.Identity().DeviceType() == device_type::kOrvaneHf;
        // Nothing of the program's own waits to be sent: "Reset without saving".
        return AfterRestart(!Try(ResetUnit(program_, false)),
                            restarted ? "" : "not restarted: Keelsong restarts only an Orvane HF",
                            {{"restarted", restarted}});
    }

    // With --keep-table, what the unit holds is read before anything is written, and read back
    // after the update to see that it was kept. The update itself backs the unit up first.
    UnitReport Firmware() {
        const bool from_loader = program_.Identity().firmware_version < kNormalFirmware;
        std::unique_ptr<IniDocument> kept;
        if (request_.keep_table) {
            if (!Try(RetrieveTableAndSetup(program_))) {
                return Fail("Table and setup to keep not read, nothing written: " + failure_);
            }
            if (!(kept = ConfigurationOf(program_))) {
                return Fail("Out of system memory");
            }
        }
        std::string backup;
        const Outcome updated = UpdateFirmware(
            program_, request_.file, request_.keep_table, kAdvancedPanelStages,
            request_.ignore_battery ? BatteryGate::Ignore : BatteryGate::Refuse, &backup);
        const bool failed = !Try(updated);
        if (updated.code == kUpdateNotStarted) {
            // A unit in its loader may give no reading: say why the rail cannot be met, and how
            // to go on.
            if (from_loader && failure_ == LowBatteryText(BatteryReading(program_.Identity()))) {
                failure_ +=
                    "; the unit is in admin mode, so nothing could be backed up; "
                    "--ignore-battery updates it all the same";
            }
            return Fail(failure_);
        }
        std::vector<ReportField> fields = {
            {"file", request_.file}, {"kept", request_.keep_table}, {"backup", backup}};
        const std::string backed_up =
            backup.empty() ? "nothing backed up: the unit was in admin mode" : "backup " + backup;
        UnitReport report;
        if (failed || !kept) {
            report = AfterRestart(failed, backed_up, fields);
        } else if (const std::unique_ptr<IniDocument> read = ConfigurationOf(program_); !read) {
            report = Fail("Out of system memory");
        } else if (const auto difference = FirstDifference(*kept, *read)) {
            report = Fail("Table and setup not kept: " + *difference);
        } else {
            fields.push_back({"events", int64_t{EventCount(program_)}});
            report = AfterRestart(false, "table and setup kept; " + backed_up, fields);
        }
        // The pop-up of an update that wrote its image names the backup already.
        if (!report.ok && !backup.empty() && report.failure.find(backup) == std::string::npos) {
            report.failure += (report.failure.ends_with('.') ? " The" : "; the") +
                              std::string(" unit's table and setup before the update: ") + backup;
        }
        return report;
    }

    std::optional<std::string> NotAsInFile(const ConfigFileContents& contents) {
        const std::vector<EventRecord>& events = contents.events;
        for (size_t k = 0; k < events.size(); ++k) {
            const int row = static_cast<int>(k + 1);
            EventRecord shown;
            shown.type = row <= program_.Grid().RowCount() ? RowToEvent(program_, shown.body, row)
                                                           : TypeCode(EventType::None);
            const std::string event = ConfigEventSection(row) + " cannot be sent: ";
            if (shown.type != events[k].type) {
                return event + "this " + std::string(DeviceTypeName(program_.Unit().device_type)) +
                       " has no event of Type " + std::to_string(events[k].type);
            }
            if (const std::optional<std::string> item = DifferingEventItem(events[k], shown)) {
                return event + *item + " is out of this unit's range";
            }
        }
        return std::nullopt;
    }

    UnitSession& session_;
    Program& program_;
    const CliRequest& request_;
    FileClaims& claims_;
    const ConfigFileContents* to_write_;
    const Deployment* deployment_;
    std::string failure_;
    std::string told_;
};

}  // namespace

bool FileClaims::Claim(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string key = (error ? std::filesystem::path(path) : absolute).lexically_normal();
    std::lock_guard lock(mutex_);
    return claimed_.insert(key).second;
}

std::string FileForUnit(const std::string& pattern, const UnitTarget& target, uint16_t serial) {
    std::string path = pattern;
    ReplaceAll(path, kPortPlaceholder,
               target.port ? std::to_string(*target.port)
                           : std::filesystem::path(target.device_path).filename().string());
    ReplaceAll(path, kSerialPlaceholder, std::to_string(serial));
    return path;
}

std::optional<std::string> RefusedForEveryUnit(const ConfigFileContents& contents) {
    if (std::optional<std::string> event = UnsendableEvent(contents)) {
        return event;
    }
    if (!contents.duplicate_sections.empty()) {
        return "Section " + contents.duplicate_sections.front() +
               " stands twice: which one to send is not known";
    }
    return std::nullopt;
}

UnitReport RunUnitCommand(UnitSession& session, const CliRequest& request, FileClaims& claims,
                          const ConfigFileContents* to_write, const Deployment* deployment) {
    return UnitRun(session, request, claims, to_write, deployment).Run();
}

}  // namespace keelsong::cli
