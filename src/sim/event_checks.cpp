#include "sim/event_checks.h"

#include <cstdlib>

#include "protocol/event_record.h"
#include "protocol/frame.h"
#include "sim/unit_simulator.h"

namespace keelsong::sim {

namespace {

constexpr uint32_t kLfMinFrequency = 20;
constexpr uint32_t kLfMaxFrequency = 8000;
constexpr uint32_t kHfMinFrequency = 3000;
constexpr uint32_t kHfMaxFrequency = 200000;
constexpr int32_t kWideLevelFirmware = 0x020006;
constexpr int32_t kClickFirmware = 0x020000;

bool CanPlay(const EventLimits& limits, uint8_t type) {
    switch (static_cast<EventType>(type)) {
        case EventType::ToneCycles:
            return limits.tone_cycles;
        case EventType::ToneSeconds:
            return limits.tone_seconds;
        case EventType::Click:
            return limits.click;
        case EventType::Sweep:
        case EventType::Rest:
            return true;
        case EventType::None:
            break;
    }
    return false;
}

bool FrequencyOk(const EventLimits& limits, uint32_t hz) {
    return hz >= limits.min_frequency && hz <= limits.max_frequency;
}

bool LevelOk(const EventLimits& limits, const uint8_t* byte) {
    const int level = static_cast<int8_t>(*byte);
    return level >= limits.min_level && level <= limits.max_level;
}

}  // namespace

EventLimits EventLimitsFor(uint8_t device_type, int32_t firmware_number, uint16_t setup_format) {
    EventLimits limits;
    if (device_type == device_type::kOrvaneLf) {
        limits.tone_cycles = true;
        limits.min_frequency = kLfMinFrequency;
        limits.max_frequency = kLfMaxFrequency;
        limits.min_level = 0;
        limits.max_level = 24;
        return limits;
    }
    const bool wide_levels = firmware_number >= kWideLevelFirmware;
    limits.min_frequency = kHfMinFrequency;
    limits.max_frequency = kHfMaxFrequency;
    limits.min_level = wide_levels ? -24 : -20;
    limits.max_level = wide_levels ? 7 : 0;
    limits.tone_seconds = true;
    if (device_type == device_type::kOrvaneHf) {
        limits.click = setup_format == kSetupTagged && firmware_number >= kClickFirmware;
    } else {
        limits.tone_cycles = true;
    }
    return limits;
}

int16_t CheckEventAdd(std::span<const uint8_t> payload, size_t stored_events,
                      const EventLimits& limits) {
    using namespace event_body;
    if (payload.size() < 2) {
        return kEventPayloadTooSmall;
    }
    const uint8_t type = payload[1];
    const size_t body_bytes = keelsong::EventBodyBytes(type);
    if (body_bytes == 0) {
        return kEventInvalidType;
    }
    if (payload.size() < 2 + body_bytes) {
        return kEventPayloadTooSmall;
    }
    if (!CanPlay(limits, type)) {
        return kEventInvalidType;
    }
    if (stored_events >= kMaxEvents) {
        return kEventTooMany;
    }
    const uint8_t* body = payload.data() + 2;
    switch (static_cast<EventType>(type)) {
        case EventType::ToneCycles:
        case EventType::ToneSeconds:
            if (!FrequencyOk(limits, ReadLe32(body + kFrequency))) {
                return kEventInvalidFrequency;
            }
            if (!LevelOk(limits, body + kToneLevel)) {
                return kEventInvalidGain;
            }
            if (ReadLe16(body + kToneDuration) == 0) {
                return kEventInvalidDuration;
            }
            break;
        case EventType::Sweep: {
            const uint32_t start = ReadLe32(body + kStartFrequency);
            const uint32_t end = ReadLe32(body + kEndFrequency);
            if (!FrequencyOk(limits, start) || !FrequencyOk(limits, end)) {
                return kEventInvalidFrequency;
            }
            if (!LevelOk(limits, body + kSweepLevel)) {
                return kEventInvalidGain;
            }
            const uint16_t tenths = ReadLe16(body + kSweepTime);
            if (tenths == 0) {
                return kEventInvalidDuration;
            }
            // At least 1 Hz per second: the span in Hz times ten against the tenths.
            const uint64_t span = start > end ? start - end : end - start;
            if (span * 10 < tenths) {
                return kEventSweepSlopeTooSmall;
            }
            break;
        }
        case EventType::Rest:
            if (ReadLe16(body + kRestTime) == 0) {
                return kEventInvalidDuration;
            }
            break;
        case EventType::Click: {
            if (!FrequencyOk(limits, ReadLe32(body + kFrequency))) {
                return kEventInvalidFrequency;
            }
            if (!LevelOk(limits, body + kClickLevel)) {
                return kEventInvalidGain;
            }
            if (ReadLe16(body + kClickTime) == 0) {
                return kEventInvalidDuration;
            }
            const int phase = static_cast<int16_t>(ReadLe16(body + kClickPhase));
            if (phase < kMinPhase || phase > kMaxPhase) {
                return kEventInvalidPhase;
            }
            break;
        }
        case EventType::None:
            break;
    }
    return kEventSuccess;
}

}  // namespace keelsong::sim
