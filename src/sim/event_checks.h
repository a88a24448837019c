#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace keelsong::sim {

// Result codes of the unit's event checks, besides the ones in unit_simulator.h.
inline constexpr int16_t kEventInvalidFrequency = -3;
inline constexpr int16_t kEventPastEndOfTable = -4;
inline constexpr int16_t kEventInvalidGain = -7;
inline constexpr int16_t kEventSweepSlopeTooSmall = -8;
inline constexpr int16_t kEventInvalidDuration = -9;
inline constexpr int16_t kEventInvalidPhase = -10;

// What a unit accepts in its event table. The unit's own choices, kept in line with the ranges
// the program's grid offers for the same unit:
// - Orvane LF: tones in cycles, sweeps and rests; 20-8000 Hz; attenuation 0 to 24 dB.
// - Orvane HF: timed tones, sweeps and rests, and clicks once it speaks the tagged setup
//   (firmware 2.0.0 or newer); 3000-200000 Hz; level -24 to +7 dB from firmware 2.0.6,
//   -20 to 0 dB before.
// - Orvane HF(R1): both kinds of tone, sweeps and rests; frequencies and levels as the HF
//   (it plays at a fixed level, so the program sends 0).
// - Any other device type is treated as an Orvane HF(R1).
// Every unit: at least 1 cycle or 1 tenth of a second; phase -180 to 180 degrees; a sweep must
// move at least 1 Hz per second.
struct EventLimits {
    bool tone_cycles = false;
    bool tone_seconds = false;
    bool click = false;
    uint32_t min_frequency = 0;
    uint32_t max_frequency = 0;
    int min_level = 0;
    int max_level = 0;
};

inline constexpr int kMinPhase = -180;
inline constexpr int kMaxPhase = 180;

// `firmware_number` is major * 65536 + minor * 256 + patch (0 when unknown); `setup_format`
// the format the unit speaks.
EventLimits EventLimitsFor(uint8_t device_type, int32_t firmware_number, uint16_t setup_format);

// The unit's verdict on an EventAdd payload (index, type, body) for a table already holding
// `stored_events`: 0 to store it, or the negative result code. The checks run in this order:
// payload too small for index and type; type outside 1-5; payload too small for the type's
// body; a type the unit cannot play (Invalid Type); table full; frequency; level; duration;
// phase; the sweep's slope.
int16_t CheckEventAdd(std::span<const uint8_t> payload, size_t stored_events,
                      const EventLimits& limits);

}  // namespace keelsong::sim
