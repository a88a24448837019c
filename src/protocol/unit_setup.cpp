#include "protocol/unit_setup.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "protocol/frame.h"
#include "protocol/unit_identity.h"

namespace keelsong {

namespace {

// Last firmware of the Orvane LF that counts the last event into the rest.
constexpr int32_t kLastAllowanceFirmware = 0x010102;  // 1.1.2

constexpr size_t kTaggedHeaderSize = 4;
constexpr size_t kItemHeaderSize = 4;
constexpr uint16_t kFieldLength = 4;

constexpr double kMaxTenths = std::numeric_limits<uint32_t>::max();

}  // namespace

bool IsKnownSetupFormat(uint16_t format) {
    return format == setup_format::kShortLf || format == setup_format::kShortHf ||
           format == setup_format::kTagged;
}

uint16_t SetupFormatFor(int device_type, int32_t firmware_version) {
    if (device_type == device_type::kOrvaneHf && firmware_version >= kSyncFirmware) {
        return setup_format::kTagged;
    }
    if (device_type == device_type::kOrvaneLf) {
        return setup_format::kShortLf;
    }
    if (device_type == device_type::kOrvaneHf || device_type == device_type::kOrvaneHfR1) {
        return setup_format::kShortHf;
    }
    return setup_format::kNone;
}

bool IsValidSyncMode(int64_t mode) {
    return mode == sync_mode::kInFalling || mode == sync_mode::kOutFalling ||
           mode == sync_mode::kInRising || mode == sync_mode::kDisabled;
}

void RememberSetupField(UnitSetup& setup, uint16_t tag, uint32_t value) {
    switch (tag) {
        case setup_tag::kAuxFunction:
            setup.aux_function = static_cast<uint8_t>(value);
            break;
        case setup_tag::kStartTime:
            setup.start_time = static_cast<int32_t>(value);
            break;
        case setup_tag::kNumberOfPlays:
            setup.number_of_plays = static_cast<uint16_t>(value);
            break;
        case setup_tag::kTimeBetweenRepeats:
            setup.time_between_repeats = value;
            break;
        case setup_tag::kMagneticSwitch:
            setup.magnetic_switch = value;
            break;
        case setup_tag::kAuxMessages:
            setup.aux_messages = static_cast<uint8_t>(value);
            break;
        default:
            break;
    }
}

std::optional<DecodedSetup> ParseSetupRecord(std::span<const uint8_t> record) {
    if (record.size() < 2) {
        return std::nullopt;
    }
    DecodedSetup decoded;
    decoded.format = ReadLe16(record.data());
    if (decoded.format == setup_format::kShortLf || decoded.format == setup_format::kShortHf) {
        // Offsets: plays 2-3, rest 4-7, magnetic switch 8.
        if (record.size() >= 9) {
            decoded.fields.push_back({setup_tag::kMagneticSwitch, record[8]});
        }
        if (record.size() >= 4) {
            decoded.fields.push_back({setup_tag::kNumberOfPlays, ReadLe16(&record[2])});
        }
        if (record.size() >= 8) {
            decoded.fields.push_back({setup_tag::kTimeBetweenRepeats, ReadLe32(&record[4])});
        }
        return decoded;
    }
    if (decoded.format != setup_format::kTagged) {
        return std::nullopt;
    }
    if (record.size() < kTaggedHeaderSize) {
        return decoded;
    }
    const size_t count = ReadLe16(&record[2]);
    size_t at = kTaggedHeaderSize;
    for (size_t item = 0; item < count; ++item) {
        if (record.size() - at < kItemHeaderSize) {
            break;
        }
        const uint16_t tag = ReadLe16(&record[at]);
        const size_t length = ReadLe16(&record[at + 2]);
        if (record.size() - at - kItemHeaderSize < length) {
            break;
        }
        if (length == kFieldLength) {
            decoded.fields.push_back({tag, ReadLe32(&record[at + kItemHeaderSize])});
        }
        at += kItemHeaderSize + length;
    }
    return decoded;
}

std::array<uint8_t, kShortSetupSize> EncodeShortSetup(uint16_t format, uint16_t number_of_plays,
                                                      uint32_t time_between_repeats,
                                                      bool magnetic_switch) {
    std::array<uint8_t, kShortSetupSize> record{};
    WriteLe16(&record[0], format);
    WriteLe16(&record[2], number_of_plays);
    WriteLe32(&record[4], time_between_repeats);
    record[8] = magnetic_switch ? 1 : 0;
    return record;
}

std::array<uint8_t, kTaggedSetupRequestSize> EncodeTaggedSetup(
    const std::array<uint32_t, setup_tag::kCount>& values) {
    std::array<uint8_t, kTaggedSetupRequestSize> request{};
    WriteLe16(&request[0], setup_format::kTagged);
    WriteLe16(&request[2], setup_tag::kCount);
    size_t at = kTaggedHeaderSize;
    for (uint16_t tag = 0; tag < setup_tag::kCount; ++tag) {
        WriteLe16(&request[at], tag);
        WriteLe16(&request[at + 2], kFieldLength);
        WriteLe32(&request[at + kItemHeaderSize], values[tag]);
        at += kItemHeaderSize + kFieldLength;
    }
    return request;
}

bool CountsLastEventInRest(int device_type, int32_t firmware_version) {
    return device_type == device_type::kOrvaneLf && firmware_version <= kLastAllowanceFirmware;
}

uint32_t LastEventTenths(int device_type, int32_t firmware_version,
                         const std::optional<LastEventCells>& last_event) {
    if (!CountsLastEventInRest(device_type, firmware_version) || !last_event) {
        return 0;
    }
    const double duration = std::isnan(last_event->duration) ? 0 : last_event->duration;
    if (last_event->type_text.find("Tone") != std::string_view::npos) {
        const double frequency =
            std::isnan(last_event->start_frequency) ? 0 : last_event->start_frequency;
        const auto cycles = static_cast<uint16_t>(std::clamp(duration, 0.0, 65535.0));
        const auto hertz = static_cast<int32_t>(std::clamp(frequency, -2147483648.0, 2147483647.0));
        if (hertz <= 0) {
            return 0;
        }
        return static_cast<uint32_t>(cycles / hertz) * 10;
    }
    if (last_event->type_text.find("Sweep") != std::string_view::npos) {
        return static_cast<uint32_t>(std::clamp(10.0 * duration, 0.0, kMaxTenths));
    }
    return 0;
}

uint32_t RestSecondsToTenths(double seconds, uint32_t allowance) {
    const double tenths = std::isnan(seconds) ? 0 : std::clamp(seconds * 10.0, 0.0, kMaxTenths);
    const auto rest = static_cast<uint32_t>(tenths);
    return rest > std::numeric_limits<uint32_t>::max() - allowance
               ? std::numeric_limits<uint32_t>::max()
               : rest + allowance;
}

double RestTenthsToSeconds(uint32_t tenths, uint32_t allowance) {
    if (allowance < tenths) {
        tenths -= allowance;
    }
    return tenths / 10.0;
}

}  // namespace keelsong
