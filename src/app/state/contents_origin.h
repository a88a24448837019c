#pragma once

#include <cstdint>
#include <optional>

#include "protocol/unit_identity.h"

namespace keelsong {

// One unit told apart from every other: its type and serial number.
struct UnitKey {
    uint8_t device_type = 0;
    uint16_t serial_number = 0;
    bool operator==(const UnitKey&) const = default;
};

inline UnitKey KeyOf(const UnitIdentity& identity) {
    return {identity.DeviceType(), identity.SerialNumber()};
}

// Which unit the grid and the setup controls hold the contents of: the one each was last read
// from in full or sent to. Unknown before the first read and after a read that broke off, when
// a part holds neither the unit's contents nor only the user's edits. Connecting again to that
// same unit keeps the edits not yet sent instead of reading over them (playback.h,
// ReloadUnitContents).
struct ContentsOrigin {
    std::optional<UnitKey> table;
    std::optional<UnitKey> setup;
};

}  // namespace keelsong
