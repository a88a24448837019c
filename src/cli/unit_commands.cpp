#include "cli/unit_commands.h"

#include <filesystem>
#include <memory>

#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/files/config_file_io.h"
#include "app/service/firmware_update.h"
#include "app/service/service.h"
#include "app/setup/playback.h"
#include "app/setup/setup_panel.h"
#include "app/shell/change_marks.h"
#include "cli/config_compare.h"
#include "files/config_file.h"

namespace keelsong::cli {

namespace {

constexpr char kAdminMode[] =
    "Unit in admin mode: only a firmware update can bring it back (keelsong-cli firmware IMAGE)";

// How a step tells its failure: most in the status line, the serial-number update in a pop-up.
enum class ToldIn { StatusLine, Popup };

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

std::string VisibleTooltip(const HeadlessUi& ui, Control control) {
    return ui.IsVisible(Panel::MAIN, control) ? ui.Tooltip(Panel::MAIN, control) : std::string{};
}

class UnitRun {
  public:
    UnitRun(UnitSession& session, const CliRequest& request, FileClaims& claims,
            const ConfigFileContents* to_write)
        : session_(session),
          program_(session.Logic()),
          request_(request),
          claims_(claims),
          to_write_(to_write) {}

    UnitReport Run() {
        if (session_.Connect() != 0) {
            return Fail(session_.ConnectionStatus());
        }
        const UnitIdentity& identity = program_.Identity();
        if (identity.firmware_version < kNormalFirmware &&
            request_.command != CommandKind::Firmware) {
            return Fail(kAdminMode);
        }
        if (!HasEventTable(identity.DeviceType())) {
            return Fail(session_.StepFailure());
        }
        switch (request_.command) {
            case CommandKind::Info:
                return Info();
            case CommandKind::Read:
                return Read();
            case CommandKind::Write:
                return Write();
            case CommandKind::Play:
                return Step([&] { return PlayUnit(program_); }, &UnitSession::StatusText);
            case CommandKind::Stop:
                return Step([&] { return StopUnit(program_); });
            case CommandKind::SetTime:
                return Step([&] { return SyncPCTimeToInstrument(program_); },
                            &UnitSession::StatusText);
            case CommandKind::Restore:
                return Step([&] { return RestoreUnitSettings(program_); });
            case CommandKind::Serial:
                return Step([&] { return UpdateSerialNumber(program_, request_.new_serial); },
                            nullptr, ToldIn::Popup);
            case CommandKind::Reset:
                // Nothing of the program's own waits to be sent: "Reset without saving".
                return Step([&] { return ResetUnit(program_, false); });
            case CommandKind::Firmware:
                return Step([&] {
                    return UpdateFirmware(program_, request_.file, request_.keep_table,
                                          Panel::ADVANCED, Control::FW_STAGE_STR);
                });
            case CommandKind::List:
            case CommandKind::Report:
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

    // Runs one operation of the window's; 0 is success, otherwise its message is kept.
    template <class Operation>
    bool Try(Operation&& operation, ToldIn told = ToldIn::StatusLine) {
        session_.BeginStep();
        if (operation() == 0) {
            return true;
        }
        failure_ = session_.StepFailure(told == ToldIn::Popup);
        return false;
    }

    // One operation is the whole command; `detail` gives what a success adds to the line.
    template <class Operation>
    UnitReport Step(Operation&& operation, std::string (UnitSession::*detail)() const = nullptr,
                    ToldIn told = ToldIn::StatusLine) {
        if (!Try(operation, told)) {
            return Fail(failure_);
        }
        return Succeed(detail ? (session_.*detail)() : std::string{});
    }

    // What MAIN shows of the unit: a display the window hides for this unit (the battery of a
    // unit without a clock) reads empty; the raw numbers go along for scripts.
    UnitReport Info() {
        const HeadlessUi& ui = session_.Screen();
        const UnitIdentity& identity = program_.Identity();
        const std::string battery = VisibleTooltip(ui, Control::BATT_ICON);
        const bool charging = !battery.empty() && ui.IsVisible(Panel::MAIN, Control::CHARGING_ICON);
        const std::string sync = VisibleTooltip(ui, Control::SYNC_ICON);
        const std::string play = ui.IsVisible(Panel::MAIN, Control::PLAY_CODE_MSG)
                                     ? ui.TextValue(Panel::MAIN, Control::PLAY_CODE_MSG)
                                     : std::string{};
        const std::string climate = ui.TextValue(Panel::MAIN, Control::TEMP_HUMI);
        const std::string offset = "clock offset " + std::to_string(identity.clock_offset) + " s";

        std::string detail;
        for (const std::string& part :
             {battery.empty() ? battery : "battery " + battery + (charging ? " charging" : ""),
              sync, play, offset, climate}) {
            if (!part.empty()) {
                detail += (detail.empty() ? "" : "; ") + part;
            }
        }
        return Succeed(detail, {{"battery", battery},
                                {"battery_level", int64_t{identity.BatteryLevel()}},
                                {"charging", charging},
                                {"sync", sync},
                                {"play_state", play},
                                {"play_state_code", int64_t{identity.PlayState()}},
                                {"clock_offset", int64_t{identity.clock_offset}},
                                {"temperature_humidity", climate}});
    }

    UnitReport Read() {
        if (!Try([&] { return RetrieveTableAndSetup(program_); })) {
            return Fail(failure_);
        }
        const std::string path =
            FileForUnit(request_.file, session_.Target(), program_.Identity().SerialNumber());
        if (!claims_.Claim(path)) {
            return Fail("Another unit writes " + path);
        }
        if (!Try([&] { return SaveConfigurationFile(program_, path); })) {
            return Fail(failure_);
        }
        return Succeed(path, {{"file", path}, {"events", int64_t{EventCount(program_)}}});
    }

    UnitReport Write() {
        if (!to_write_) {
            return Fail("Failed to open file");
        }
        // What the file does not say keeps the unit's value, as when the window loads a file
        // over what it read on connecting.
        if (!Try([&] { return ReadUnitSetup(program_); }) ||
            !Try([&] { return ApplyConfiguration(program_, *to_write_); })) {
            return Fail(failure_);
        }
        // The grid shows what this unit would be sent; any event it does not show as the file
        // holds it would be sent otherwise, or not at all.
        if (const std::optional<std::string> refusal = NotAsInFile()) {
            return Fail(*refusal);
        }
        // An older table file is loaded as shown only; writing it means sending it.
        MarkTableChanged(program_, true);
        std::unique_ptr<IniDocument> sent;
        if (request_.verify && !(sent = ConfigurationOf(program_))) {
            return Fail("Out of system memory");
        }
        if (!Try([&] { return AcceptChanges(program_); })) {
            return Fail(failure_);
        }
        std::vector<ReportField> fields = {{"file", request_.file},
                                           {"events", int64_t{EventCount(program_)}}};
        if (!request_.verify) {
            return Succeed({}, fields);
        }
        if (!Try([&] { return RetrieveTableAndSetup(program_); })) {
            return Fail(failure_);
        }
        const std::unique_ptr<IniDocument> read = ConfigurationOf(program_);
        if (!read) {
            return Fail("Out of system memory");
        }
        if (const auto difference = FirstDifference(*sent, *read)) {
            return Fail("Verify failed: " + *difference);
        }
        fields.push_back({"verified", true});
        return Succeed("verified", fields);
    }

    std::optional<std::string> NotAsInFile() {
        const std::vector<EventRecord>& events = to_write_->events;
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
    std::string failure_;
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
                          const ConfigFileContents* to_write) {
    return UnitRun(session, request, claims, to_write).Run();
}

}  // namespace keelsong::cli
