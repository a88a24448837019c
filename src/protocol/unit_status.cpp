#include "protocol/unit_status.h"

#include <algorithm>
#include <cstdio>

#include "protocol/frame.h"

namespace keelsong {

namespace {

constexpr size_t kFieldBytes = 2;

constexpr int64_t kMinute = 60;
constexpr int64_t kHour = 3'600;
constexpr int64_t kDay = 86'400;
constexpr int64_t kMonth = 2'592'000;  // 30 days
constexpr int64_t kYear = 31'536'000;  // 365 days

std::string Printf(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string CountIn(const char* format, int64_t count) {
    char text[48];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(count));
    return text;
}

}  // namespace

StatusReading WalkStatusPayload(std::span<const uint8_t> payload, uint8_t asked) {
    StatusReading reading;
    if (payload.empty()) {
        return reading;
    }
    const uint8_t flags = payload[0];
    size_t at = 1;
    const auto whole_field = [&] { return at + kFieldBytes <= payload.size(); };
    if (flags & status_flag::kSkipped) {
        at += kFieldBytes;
    }
    if (flags & status_flag::kHumidity) {
        if (whole_field() && (asked & status_flag::kHumidity)) {
            reading.humidity_tenths = ReadLe16(&payload[at]);
        }
        at += kFieldBytes;
    }
    if (flags & status_flag::kTemperature) {
        if (whole_field() && (asked & status_flag::kTemperature)) {
            reading.temperature_tenths = static_cast<int16_t>(ReadLe16(&payload[at]));
        }
    }
    return reading;
}

std::string HumidityText(uint16_t tenths) {
    if (tenths > kMostHumidityTenths) {
        return "--.-% RH";
    }
    return Printf("%.1f%% RH", tenths / 10.0);
}

std::string TemperatureText(int16_t tenths) {
    if (tenths < kLeastTemperatureTenths || tenths > kMostTemperatureTenths) {
        return "--.-\u00B0C ";
    }
    return Printf("%.1f\u00B0C ", tenths / 10.0);
}

std::string TemperatureHumidityText(const StatusReading& reading) {
    std::string text;
    if (reading.temperature_tenths) {
        text += TemperatureText(*reading.temperature_tenths);
    }
    if (reading.humidity_tenths) {
        text += HumidityText(*reading.humidity_tenths);
    }
    return text;
}

std::string_view SyncStateText(int code) {
    switch (code) {
        case 0:
            return "Sync Disabled";
        case 1:
        case 2:
            return "Sync Out";
        case 3:
        case 6:
            return "Not Synced";
        case 4:
        case 7:
            return "Syncing";
        case 5:
        case 8:
            return "Synced";
        default:
            return "";
    }
}

std::string_view PlayStateText(int state) {
    switch (state) {
        case play_state::kEmptyTable:
            return "Stopped (Empty Table)";
        case play_state::kPlaying:
            return "Playing";
        case play_state::kStopped:
            return "Stopped";
        default:
            return "";
    }
}

std::string CountdownText(int64_t remaining) {
    if (remaining <= kMinute) {
        return "Play in < 1 min";
    }
    if (remaining <= kHour) {
        return CountIn("Play in %u minutes", remaining / kMinute);
    }
    if (remaining <= kDay) {
        return CountIn("Play in %u hours", remaining / kHour);
    }
    if (remaining <= kMonth) {
        return CountIn("Play in %u days", remaining / kDay);
    }
    if (remaining <= kYear) {
        return CountIn("Play in %u months", remaining / kMonth);
    }
    return CountIn("Play in %u years", remaining / kYear);
}

std::string BatteryTooltip(int level_percent) {
    if (level_percent > 5) {
        char text[16];
        std::snprintf(text, sizeof text, "%d%%", level_percent);
        return text;
    }
    return "<5%";
}

int BatteryGaugeValue(int level_percent) {
    return std::clamp(level_percent / 10, 0, 10);
}

}  // namespace keelsong
