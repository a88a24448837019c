#pragma once

#include "platform/posix_platform.h"

namespace keelsong::cli {

// The machine's platform with every pause taken at `pause_scale` of its length: 1 for real
// units; tests pair a smaller share with simulated units that restart as much faster, so that
// the wait still outlasts the restart.
class PacedPlatform final : public Platform {
  public:
    PacedPlatform(PosixPlatform::Environment environment, double pause_scale)
        : machine_(std::move(environment)), pause_scale_(pause_scale) {}

    int64_t UtcNow() const override { return machine_.UtcNow(); }
    std::optional<CalendarTime> ToLocal(int64_t utc_seconds) const override {
        return machine_.ToLocal(utc_seconds);
    }
    std::optional<int64_t> FromLocal(const CalendarTime& local) const override {
        return machine_.FromLocal(local);
    }
    void Delay(double seconds) override { machine_.Delay(seconds * pause_scale_); }
    std::string SettingsFolder() const override { return machine_.SettingsFolder(); }
    std::string DocumentsFolder() const override { return machine_.DocumentsFolder(); }
    std::string DataFolder() const override { return machine_.DataFolder(); }
    std::string UserName() const override { return machine_.UserName(); }
    int MakeDir(const std::string& path) override { return machine_.MakeDir(path); }

  private:
    PosixPlatform machine_;
    double pause_scale_;
};

}  // namespace keelsong::cli
