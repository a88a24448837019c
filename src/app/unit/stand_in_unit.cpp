#include "app/unit/stand_in_unit.h"

#include "app/shell/program.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

// 2.0.6: past the last-event allowance of early Orvane LFs, with the tagged setup and the
// wider level range of the Orvane HF.
constexpr int32_t kStandInFirmware = 0x020006;

// Whether `events` hold a tone that a unit of `type` does not play: one in seconds for an
// Orvane LF, one in cycles for an Orvane HF.
bool HoldsToneItCannotPlay(std::span<const EventRecord> events, int type) {
    for (const EventRecord& event : events) {
        if ((type == device_type::kOrvaneLf && event.type == TypeCode(EventType::ToneSeconds)) ||
            (type == device_type::kOrvaneHf && event.type == TypeCode(EventType::ToneCycles))) {
            return true;
        }
    }
    return false;
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
    if (const std::optional<int> given = program.GivenUnitType()) {
        unit.device_type = *given;
        program.SetStandInUnit(unit, StandInSource::AsGiven);
    } else if (named && !HoldsToneItCannotPlay(events, *named)) {
        unit.device_type = *named;
        program.SetStandInUnit(unit, StandInSource::FromFile);
    } else {
        program.SetStandInUnit(unit, StandInSource::Assumed);
    }
    if (named) {
        program.ContentsUnit() = {provenance.type, provenance.serial, provenance.firmware, {}, {}};
    }
}

void DimUnitControlsWithoutUnit(Program& program) {
    if (program.Identity().DeviceType() == device_type::kNone) {
        program.Steps().SetUnitControlsDimmed(program, true);
        // What a file brought can go to another file, and another file can be opened.
        program.GetUi().SetDimmed(Panel::MAIN, Control::STORE_EVENTS, false);
        program.GetUi().SetDimmed(Panel::MAIN, Control::LOAD_EVENTS, false);
    }
}

}  // namespace keelsong
