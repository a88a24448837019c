#include "app/unit/stand_in_unit.h"

#include "app/events/event_grid.h"
#include "app/events/unit_limits.h"
#include "app/shell/text_format.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

// 2.0.6: past the last-event allowance of early Orvane LFs, with the tagged setup and the
// wider level range of the Orvane HF.
constexpr int32_t kStandInFirmware = 0x020006;

// The grid goes by the stand-in's ranges when the rows fit them, else by ranges wide enough for
// every unit's values: nothing shown is cut to a range.
void GoByStandInLimits(Program& program, bool rows_fit) {
    const UnitLimits* limits = LimitsFor(program.Unit());
    ApplyUnitLimits(program, rows_fit && limits ? *limits : AnyUnitLimits());
}

}  // namespace

UnitContext UnitHoldingEvents(std::span<const EventRecord> events) {
    bool cycles = false;
    bool seconds = false;
    for (const EventRecord& event : events) {
        cycles |= event.type == TypeCode(EventType::ToneCycles);
        seconds |= event.type == TypeCode(EventType::ToneSeconds);
    }
    int device = device_type::kOrvaneHf;
    if (cycles && seconds) {
        device = device_type::kOrvaneHfR1;
    } else if (cycles) {
        device = device_type::kOrvaneLf;
    }
    return {device, kStandInFirmware, setup_format::kTagged};
}

void GoByUnitHolding(Program& program, std::span<const EventRecord> events,
                     const ConfigProvenance& provenance) {
    if (program.Identity().DeviceType() != device_type::kNone) {
        return;
    }
    UnitContext unit = UnitHoldingEvents(events);
    const std::optional<int> named = EventTableTypeNamed(provenance.type);
    UnitContext as_named = unit;
    as_named.device_type = named.value_or(device_type::kNone);
    if (const std::optional<int> given = program.GivenUnitType()) {
        unit.device_type = *given;
        program.SetStandInUnit(unit, StandInSource::AsGiven);
    } else if (named && RowsNotHeldBy(program, as_named, events).empty()) {
        unit = as_named;
        program.SetStandInUnit(unit, StandInSource::FromFile);
    } else {
        program.SetStandInUnit(unit, StandInSource::Assumed);
    }
    // The file's own type was taken only where its rows fit it.
    GoByStandInLimits(program, program.StandInSourceOf() == StandInSource::FromFile ||
                                   RowsNotHeldBy(program, unit, events).empty());
    if (named) {
        program.ContentsUnit() = {provenance.type, provenance.serial, provenance.firmware, {}, {}};
    }
}

void ShowUnitTypeChoice(Program& program) {
    Ui& ui = program.GetUi();
    const int type = program.Unit().device_type;
    if (HasEventTable(type)) {
        ui.SetInt(Panel::MAIN, Control::UNIT_TYPE, type);
    }
    // A unit's own type is not the user's to choose.
    ui.SetDimmed(Panel::MAIN, Control::UNIT_TYPE,
                 program.Identity().DeviceType() != device_type::kNone);
}

int UnitTypeCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::ValueChanged) {
        return 0;
    }
    const int wanted = program.GetUi().IntValue(Panel::MAIN, Control::UNIT_TYPE);
    const int current = program.Unit().device_type;
    if (program.Identity().DeviceType() != device_type::kNone || wanted == current ||
        !HasEventTable(wanted)) {
        ShowUnitTypeChoice(program);
        return 0;
    }
    // The rows as the events they are now, shown again as for the type chosen; a type that
    // cannot hold one of them as it stands (an event it does not play, a value outside its
    // ranges) is refused, so that nothing is dropped or cut on the way.
    std::vector<EventRecord> events(static_cast<size_t>(program.Grid().RowCount()));
    for (size_t k = 0; k < events.size(); ++k) {
        events[k].type = RowToEvent(program, events[k].body, static_cast<int>(k + 1));
    }
    UnitContext unit = UnitHoldingEvents(events);
    unit.device_type = wanted;
    std::string refused;
    for (const int row : RowsNotHeldBy(program, unit, events)) {
        refused += (refused.empty() ? "" : ", ") + std::to_string(row);
    }
    const std::string name(DeviceTypeName(wanted));
    if (!refused.empty()) {
        program.ShowStatusMessage(
            false,
            FormatText("An %s cannot play row%s %s as it stands: the table stays as for an %s",
                       name.c_str(), refused.find(',') == std::string::npos ? "" : "s",
                       refused.c_str(), std::string(DeviceTypeName(current)).c_str()));
        ShowUnitTypeChoice(program);
        return 0;
    }
    program.SetStandInUnit(unit, StandInSource::AsGiven);
    GoByStandInLimits(program, true);  // refused above unless every row fits
    ReplaceGridEvents(program, events);
    ClearEditHistory(program);
    // The first type chosen opens the table and the setup for editing.
    DimUnitControlsWithoutUnit(program);
    program.ShowStatusMessage(true, "Events read as for an " + name);
    return 0;
}

void DimUnitControlsWithoutUnit(Program& program) {
    if (program.Identity().DeviceType() == device_type::kNone) {
        program.Steps().SetUnitControlsDimmed(program, true);
        // What a file brought can go to another file, and another file can be opened.
        program.GetUi().SetDimmed(Panel::MAIN, Control::STORE_EVENTS, false);
        program.GetUi().SetDimmed(Panel::MAIN, Control::LOAD_EVENTS, false);
    }
    ShowUnitTypeChoice(program);
}

}  // namespace keelsong
