#include "app/history/service_history.h"

#include <exception>
#include <new>

#include "app/files/config_file_io.h"
#include "app/state/program.h"
#include "files/sha256.h"
#include "keelsong_version.h"
#include "protocol/unit_identity.h"

namespace keelsong {

namespace {

constexpr char kHistoryFileName[] = "history.sqlite";

bool Identified(const UnitIdentity& identity) {
    return identity.firmware_version >= 0 && identity.DeviceType() != device_type::kNone;
}

// The table and setup as a ".tlk" save would write them, hashed; empty unless the program
// holds exactly what the unit holds (both read from or sent to this unit, nothing edited
// since).
std::string ContentsSha256(Program& program) {
    const UnitKey unit = KeyOf(program.Identity());
    const ChangeMarks& marks = program.Marks();
    // A unit left in its loader holds no table, whatever the program last read from it.
    if (!Identified(program.Identity()) || program.Identity().firmware_version < kNormalFirmware ||
        program.Origin().table != unit || program.Origin().setup != unit || marks.table_changed ||
        marks.setup_changed) {
        return {};
    }
    try {
        const std::unique_ptr<IniDocument> document = Ini_New(1);
        if (!document || PutConfiguration(program, *document) != 0) {
            return {};
        }
        return Sha256Hex(document->ToText());
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// `told` is what the operation ended on, which stays readable before the warning.
void Warn(Program& program, const ServiceHistory::WarningSink& sink, const std::string& told,
          const std::string& text) {
    if (sink) {
        sink(text);
        return;
    }
    program.ShowStatusMessage(false, told.empty() ? text : told + " - " + text);
}

// Writes the record and tells what went wrong on the way.
void FinishRecord(Program& program, const std::string& path, const HistoryRecord& record,
                  const std::string& told, const ServiceHistory::WarningSink& sink) {
    const HistoryOutcome outcome = HistoryStore(path).Append(record);
    if (!outcome.moved_aside.empty()) {
        Warn(program, sink, told,
             "History damaged: moved aside to " + outcome.moved_aside + ", a new one begun");
    }
    if (!outcome.ok) {
        Warn(program, sink, told, "History not written: " + outcome.problem);
    }
}

}  // namespace

std::string HistoryPath(const Platform& platform) {
    const std::string folder = platform.DataFolder();
    return folder.empty() ? std::string{} : folder + "/" + kHistoryFileName;
}

Outcome RecordOperation(Program& program, std::string_view operation, const std::string& file,
                        const std::function<Outcome()>& run) {
    ServiceHistory& history = program.ServiceRecords();
    Platform& platform = program.GetPlatform();
    const std::string path = HistoryPath(platform);
    if (history.depth_ > 0 || path.empty()) {
        return run();
    }

    HistoryRecord record;
    record.time = platform.UtcNow();
    record.user = platform.UserName();
    record.program = history.program_name_ + " " + kVersion;
    record.operation = std::string(operation);
    const UnitIdentity& identity = program.Identity();
    const bool known_before = Identified(identity);
    const int32_t firmware_before = identity.firmware_version;
    if (known_before) {
        record.type = std::string(DeviceTypeName(identity.DeviceType()));
        record.serial = identity.SerialNumber();
        record.firmware = FirmwareVersionText(firmware_before);
    }
    if (!file.empty()) {
        record.file = file;
        record.sha256 = file == history.loaded_file_ ? history.loaded_sha256_
                                                     : FileSha256Hex(file).value_or("");
    }
    ++history.depth_;
    Outcome result;
    try {
        result = run();
    } catch (const std::exception& error) {
        // Whatever escapes is the operation's failure (keelsong-cli tells it as the unit's):
        // recorded as such, then passed on.
        --history.depth_;
        record.message = error.what();
        FinishRecord(program, path, record, record.message, history.warning_sink_);
        throw;
    } catch (...) {
        --history.depth_;
        throw;
    }
    --history.depth_;

    record.ok = result.ok;
    if (Identified(identity)) {
        if (!known_before) {
            record.type = std::string(DeviceTypeName(identity.DeviceType()));
        }
        // A renumbered unit is found under its new number, with the old one told.
        if (known_before && identity.SerialNumber() != record.serial) {
            record.message = "serial number was " + std::to_string(record.serial) + "; ";
        }
        record.serial = identity.SerialNumber();
        if (identity.firmware_version != firmware_before) {
            record.firmware_after = FirmwareVersionText(identity.firmware_version);
        }
    }
    // What the operation ended on (an "Accept Changes" that resumes playback ends saying so).
    if (!result.message.empty()) {
        record.message += result.message;
    } else {
        record.message += record.ok ? "done" : "failed";
    }
    record.contents_sha256 = ContentsSha256(program);
    FinishRecord(program, path, record, result.message, history.warning_sink_);
    return result;
}

Outcome RecordAcceptChanges(Program& program, const std::function<Outcome()>& run) {
    ServiceHistory& history = program.ServiceRecords();
    const ChangeMarks& marks = program.Marks();
    // The file goes with the changes it brought: once they are sent, later edits are not its.
    const std::string file =
        marks.table_changed || marks.setup_changed ? history.loaded_file_ : std::string{};
    Outcome result = RecordOperation(program, "Accept Changes", file, run);
    if (result.ok && history.depth_ == 0) {
        history.loaded_file_.clear();
        history.loaded_sha256_.clear();
    }
    return result;
}

}  // namespace keelsong
