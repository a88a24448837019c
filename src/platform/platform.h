#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace keelsong {

// Broken-down local or UTC time, with the calendar's own numbering (month 1-12, day 1-31).
struct CalendarTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CalendarTime&) const = default;
};

// MakeDir's result when the directory is already there.
inline constexpr int kMakeDirExists = -9;

// Clock, delay and folders: what the program needs of the machine besides the port and screen.
class Platform {
  public:
    virtual ~Platform() = default;

    // Seconds since 1970-01-01 00:00:00 UTC.
    virtual int64_t UtcNow() const = 0;
    // The local calendar time of a UTC instant, honouring TZ; nullopt when it cannot be shown.
    virtual std::optional<CalendarTime> ToLocal(int64_t utc_seconds) const = 0;
    // The UTC instant of a local calendar time (as mktime), or nullopt when it has none.
    virtual std::optional<int64_t> FromLocal(const CalendarTime& local) const = 0;

    // Blocks the caller for the given number of seconds.
    virtual void Delay(double seconds) = 0;

    // The folder holding Keelsong.ini (and ports/), without a trailing slash.
    virtual std::string SettingsFolder() const = 0;
    // The user's documents folder, without a trailing slash.
    virtual std::string DocumentsFolder() const = 0;
    // The folder for the program's own data (the service history), without a trailing slash;
    // empty where the program keeps none (test doubles, unless a test names one).
    virtual std::string DataFolder() const { return {}; }
    // The name of the computer's user running the program; empty when it cannot be told.
    virtual std::string UserName() const { return {}; }
    // Creates one directory: 0 on success, kMakeDirExists when it exists, another negative
    // code on failure.
    virtual int MakeDir(const std::string& path) = 0;
};

}  // namespace keelsong
