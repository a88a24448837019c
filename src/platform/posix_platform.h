#pragma once

#include <map>
#include <string>

#include "platform/platform.h"

namespace keelsong {

// Platform on the real machine. The folders follow the XDG base directories, read from the
// environment given at construction (so that tests can give their own).
class PosixPlatform final : public Platform {
  public:
    using Environment = std::map<std::string, std::string>;

    // The variables the platform reads (HOME, XDG_CONFIG_HOME, XDG_DOCUMENTS_DIR,
    // XDG_DATA_HOME, USER, LOGNAME), from the process environment.
    static Environment ProcessEnvironment();

    PosixPlatform() : PosixPlatform(ProcessEnvironment()) {}
    explicit PosixPlatform(Environment environment) : environment_(std::move(environment)) {}

    int64_t UtcNow() const override;
    std::optional<CalendarTime> ToLocal(int64_t utc_seconds) const override;
    std::optional<int64_t> FromLocal(const CalendarTime& local) const override;
    void Delay(double seconds) override;
    std::string SettingsFolder() const override;
    std::string DocumentsFolder() const override;
    std::string DataFolder() const override;
    std::string UserName() const override;
    int MakeDir(const std::string& path) override;

  private:
    std::string Get(const std::string& name) const;
    Environment environment_;
};

}  // namespace keelsong
