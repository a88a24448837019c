#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace keelsong {

// `seconds` since 1970-01-01 00:00:00 UTC written by strftime's `format`, in UTC; `fallback`
// for a time the C library cannot break down.
inline std::string FormatUtc(int64_t seconds, const char* format, const char* fallback) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    char text[64];
    if (!gmtime_r(&time, &utc) || std::strftime(text, sizeof text, format, &utc) == 0) {
        return fallback;
    }
    return text;
}

}  // namespace keelsong
