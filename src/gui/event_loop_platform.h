#pragma once

#include <chrono>

#include "platform/platform.h"

namespace keelsong {

// The machine's platform as the window needs it: every pause (the 0.1 s of each exchange with
// the unit, the 5 s while it restarts) waits in short slices that let the window repaint and
// its timers run, but take no user input, so the window stays painted while the program
// blocks. Everything else is the wrapped platform's.
class EventLoopPlatform final : public Platform {
  public:
    // The longest stretch between two looks at the window's events.
    static constexpr std::chrono::milliseconds kSlice{15};

    explicit EventLoopPlatform(Platform& machine) : machine_(machine) {}

    int64_t UtcNow() const override { return machine_.UtcNow(); }
    std::optional<CalendarTime> ToLocal(int64_t utc_seconds) const override {
        return machine_.ToLocal(utc_seconds);
    }
    std::optional<int64_t> FromLocal(const CalendarTime& local) const override {
        return machine_.FromLocal(local);
    }
    // Blocks for at least `seconds`, painting and running timers all the while.
    void Delay(double seconds) override;
    std::string SettingsFolder() const override { return machine_.SettingsFolder(); }
    std::string DocumentsFolder() const override { return machine_.DocumentsFolder(); }
    std::string DataFolder() const override { return machine_.DataFolder(); }
    std::string UserName() const override { return machine_.UserName(); }
    int MakeDir(const std::string& path) override { return machine_.MakeDir(path); }

  private:
    Platform& machine_;
};

}  // namespace keelsong
