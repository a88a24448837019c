#include "cli/history_command.h"

#include <ctime>

#include "app/history/service_history.h"
#include "cli/unit_report.h"
#include "protocol/utc_text.h"

namespace keelsong::cli {

namespace {

std::string UtcText(int64_t seconds) {
    return FormatUtc(seconds, "%Y-%m-%dT%H:%M:%SZ", "-");
}

std::string OrDash(const std::string& text) {
    return text.empty() ? std::string("-") : OneLine(text);
}

std::string OrNull(const std::string& text) {
    return text.empty() ? std::string("null") : JsonString(text);
}

}  // namespace

std::string FormatHistoryLine(const HistoryRecord& r) {
    const std::string firmware = r.firmware_after.empty() || r.firmware_after == r.firmware
                                     ? r.firmware
                                     : r.firmware + ">" + r.firmware_after;
    std::string line = UtcText(r.time);
    for (const std::string& field :
         {r.user, r.program, r.type, r.serial >= 0 ? std::to_string(r.serial) : std::string{},
          firmware, r.operation, r.file, r.sha256, r.contents_sha256,
          std::string(r.ok ? "ok" : "failed"), r.message}) {
        line += '\t' + OrDash(field);
    }
    return line;
}

std::string FormatHistoryJson(const HistoryRecord& r) {
    std::string json = "{\"time\":" + JsonString(UtcText(r.time));
    json += ",\"user\":" + OrNull(r.user);
    json += ",\"program\":" + OrNull(r.program);
    json += ",\"type\":" + OrNull(r.type);
    json += ",\"serial\":" + (r.serial >= 0 ? std::to_string(r.serial) : std::string("null"));
    json += ",\"firmware\":" + OrNull(r.firmware);
    json += ",\"firmware_after\":" + OrNull(r.firmware_after);
    json += ",\"operation\":" + OrNull(r.operation);
    json += ",\"file\":" + OrNull(r.file);
    json += ",\"sha256\":" + OrNull(r.sha256);
    json += ",\"contents_sha256\":" + OrNull(r.contents_sha256);
    json += std::string(",\"ok\":") + (r.ok ? "true" : "false");
    json += ",\"message\":" + JsonString(r.message);
    return json + '}';
}

int RunHistoryCommand(const CliRequest& request, const CliEnvironment& environment) {
    const std::string path = HistoryPath(PosixPlatform(environment.environment));
    HistoryFilter filter;
    if (!request.serials.empty()) {
        filter.serial = request.serials.front();
    }
    filter.since = request.since;
    std::vector<HistoryRecord> records;
    const HistoryOutcome outcome = HistoryStore(path).Read(filter, records);
    if (!outcome.ok) {
        environment.err << "keelsong-cli: cannot read the service history " << outcome.problem
                        << std::endl;
        return kExitUnitFailed;
    }
    if (records.empty()) {
        // Said apart from the records, so that a script reading them reads none.
        environment.err << "keelsong-cli: no such records in the service history " << path
                        << std::endl;
    }
    for (const HistoryRecord& record : records) {
        environment.out << (request.json ? FormatHistoryJson(record) : FormatHistoryLine(record))
                        << '\n';
    }
    environment.out << std::flush;
    return kExitOk;
}

}  // namespace keelsong::cli
