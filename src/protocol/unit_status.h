#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace keelsong {

// StatusRead flags, in the request (what to send) and in the answer's byte 0 (what follows).
namespace status_flag {
inline constexpr uint8_t kSkipped = 0x01;  // a 2-byte field the program steps over
inline constexpr uint8_t kHumidity = 0x02;
inline constexpr uint8_t kTemperature = 0x04;
}  // namespace status_flag

// What a StatusRead answer carried. A field announced by its flag but cut off by the end of the
// payload is absent: only whole fields inside the answer are read.
struct StatusReading {
    std::optional<uint16_t> humidity_tenths;    // tenths of a percent relative humidity
    std::optional<int16_t> temperature_tenths;  // tenths of a degree Celsius
};

// Walks the answer: the flags byte, then the skipped field, humidity and temperature, each only
// when its flag is set. Only the fields `asked` for (the request's flags) are kept; the others
// are stepped over.
StatusReading WalkStatusPayload(std::span<const uint8_t> payload, uint8_t asked);

// What the unit's sensors can report; a reading outside is no measurement and shows unknown.
inline constexpr uint16_t kMostHumidityTenths = 1000;     // 100.0 % RH
inline constexpr int16_t kLeastTemperatureTenths = -400;  // -40.0 °C
inline constexpr int16_t kMostTemperatureTenths = 850;    // +85.0 °C

// "45.3% RH", or "--.-% RH" above 100 %
std::string HumidityText(uint16_t tenths);
// "21.5°C " (UTF-8 degree sign, trailing blank), or "--.-°C " outside -40 to +85 °C
std::string TemperatureText(int16_t tenths);
// Temperature text then humidity text; an absent field gives an empty part.
std::string TemperatureHumidityText(const StatusReading& reading);

// The synchronisation indicator's tooltip for a state code 0-8; empty for any other code.
std::string_view SyncStateText(int code);

// Play states of the Enquire answer.
namespace play_state {
inline constexpr int kEmptyTable = 0;
inline constexpr int kPlaying = 1;
inline constexpr int kWaiting = 2;  // waiting for the start time
inline constexpr int kStopped = 3;
}  // namespace play_state

// The text for play states 0, 1 and 3; empty for others (state 2 shows a countdown).
std::string_view PlayStateText(int state);

// The countdown to the start time, in the largest unit it reaches; each boundary belongs to the
// smaller unit, and a start time already passed reads "Play in < 1 min".
std::string CountdownText(int64_t remaining_seconds);

// The battery gauge's tooltip: "87%", or "<5%" at 5 and below.
std::string BatteryTooltip(int level_percent);
// The gauge's value 0-10: tenths of the level, kept inside the gauge's scale.
int BatteryGaugeValue(int level_percent);

}  // namespace keelsong
