#pragma once

#include <cstdint>

#include "protocol/event_record.h"
#include "protocol/unit_identity.h"

namespace keelsong {

// What the event table and the setup panel need to know of the connected unit, as
// Program::Unit() gives it. Until an enquiry succeeds it describes no unit at all, which the
// grid's rules treat as such (a tone is no event yet).
struct UnitContext {
    int device_type = device_type::kNone;
    // major * 65536 + minor * 256 + patch; -1 until an enquiry has succeeded.
    int32_t firmware_version = -1;
    // The setup record format; 17 until the first enquiry chooses one.
    uint16_t setup_format = 17;
};

// Units that keep a start time, sync mode and clock: an Orvane HF from this firmware on.
inline bool HasClockAndSync(const UnitContext& unit) {
    return unit.device_type == device_type::kOrvaneHf && unit.firmware_version >= kSyncFirmware;
}

// Why a file loaded without a unit is read as for its unit type: the report says which.
enum class StandInSource {
    Assumed,   // the type that can hold every event of the file
    FromFile,  // the file's "[Unit] Type"
    AsGiven,   // asked for (keelsong-cli report --type)
};

}  // namespace keelsong
