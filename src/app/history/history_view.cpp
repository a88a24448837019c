#include "app/history/history_view.h"

#include "app/history/service_history.h"
#include "app/state/program.h"
#include "protocol/unit_identity.h"

namespace keelsong {

namespace {

// The connected unit as the records name it; nullopt while none is identified.
std::optional<HistoryFilter> UnitFilter(const Program& program) {
    const UnitIdentity& identity = program.Identity();
    if (identity.firmware_version < 0 || identity.DeviceType() == device_type::kNone) {
        return std::nullopt;
    }
    HistoryFilter filter;
    filter.serial = identity.SerialNumber();
    filter.type = std::string(DeviceTypeName(identity.DeviceType()));
    return filter;
}

}  // namespace

HistoryOutcome HistoryToShow(Program& program, std::vector<HistoryRecord>& records,
                             std::string& title) {
    const std::optional<HistoryFilter> unit = UnitFilter(program);
    title = unit ? "Service history of " + *unit->type + " # " + std::to_string(*unit->serial)
                 : "Service history of every unit";
    const std::string path = HistoryPath(program.GetPlatform());
    if (path.empty()) {
        records.clear();
        return {false, "this program keeps no service history", {}};
    }
    return HistoryStore(path).Read(unit.value_or(HistoryFilter{}), records);
}

std::vector<HistoryRecord> LatestChanges(Program& program, int count) {
    std::optional<HistoryFilter> unit = UnitFilter(program);
    const std::string path = HistoryPath(program.GetPlatform());
    std::vector<HistoryRecord> records;
    if (unit && !path.empty()) {
        unit->limit = count;
        HistoryStore(path).Read(*unit, records);
    }
    return records;
}

int ShowHistoryCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    std::vector<HistoryRecord> records;
    std::string title;
    const HistoryOutcome outcome = HistoryToShow(program, records, title);
    if (!outcome.ok) {
        program.ShowStatusMessage(false, "History not read: " + outcome.problem);
        return 0;
    }
    if (const ServiceHistory::Viewer& viewer = program.ServiceRecords().GetViewer()) {
        viewer(title, records);
    }
    return 0;
}

}  // namespace keelsong
