#include "app/unit/stand_in_unit.h"

#include "app/shell/program.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

// 2.0.6: past the last-event allowance of early Orvane LFs, with the tagged setup and the
// wider level range of the Orvane HF.
constexpr int32_t kStandInFirmware = 0x020006;

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

void GoByUnitHolding(Program& program, std::span<const EventRecord> events) {
    if (program.Identity().DeviceType() != device_type::kNone) {
        return;
    }
    program.SetStandInUnit(UnitHoldingEvents(events));
}

void DimUnitControlsWithoutUnit(Program& program) {
    if (program.Identity().DeviceType() == device_type::kNone) {
        program.Steps().SetUnitControlsDimmed(program, true);
    }
}

}  // namespace keelsong
