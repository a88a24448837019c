#pragma once

#include "platform/platform.h"

namespace keelsong {

// Another platform, every operation passed on to it: the base of a platform that changes one
// thing (how a pause is waited) and nothing else.
class DelegatingPlatform : public Platform {
  public:
    explicit DelegatingPlatform(Platform& machine) : machine_(machine) {}

    int64_t UtcNow() const override { return machine_.UtcNow(); }
    std::optional<CalendarTime> ToLocal(int64_t utc_seconds) const override {
        return machine_.ToLocal(utc_seconds);
    }
    std::optional<int64_t> FromLocal(const CalendarTime& local) const override {
        return machine_.FromLocal(local);
    }
    void Delay(double seconds) override { machine_.Delay(seconds); }
    std::string SettingsFolder() const override { return machine_.SettingsFolder(); }
    std::string DocumentsFolder() const override { return machine_.DocumentsFolder(); }
    std::string DataFolder() const override { return machine_.DataFolder(); }
    std::string UserName() const override { return machine_.UserName(); }
    int MakeDir(const std::string& path) override { return machine_.MakeDir(path); }

  protected:
    Platform& Machine() { return machine_; }

  private:
    Platform& machine_;
};

}  // namespace keelsong
