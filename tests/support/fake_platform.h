#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace keelsong::testing {

// A platform with a clock the test sets. Delays return at once and move the clock on; local
// time is UTC plus a fixed offset. Folders are whatever the test names; MakeDir is real.
class FakePlatform final : public Platform {
  public:
    int64_t UtcNow() const override { return utc_now_; }
    std::optional<CalendarTime> ToLocal(int64_t utc_seconds) const override;
    std::optional<int64_t> FromLocal(const CalendarTime& local) const override;
    void Delay(double seconds) override;
    std::string SettingsFolder() const override { return settings_folder_; }
    std::string DocumentsFolder() const override { return documents_folder_; }
    std::string DataFolder() const override { return data_folder_; }
    std::string UserName() const override { return user_name_; }
    int MakeDir(const std::string& path) override;

    void SetUtcNow(int64_t seconds) { utc_now_ = seconds; }
    void SetLocalOffset(int64_t seconds) { local_offset_ = seconds; }
    void SetSettingsFolder(std::string folder) { settings_folder_ = std::move(folder); }
    void SetDocumentsFolder(std::string folder) { documents_folder_ = std::move(folder); }
    // Empty (the default) keeps no service history.
    void SetDataFolder(std::string folder) { data_folder_ = std::move(folder); }
    void SetUserName(std::string name) { user_name_ = std::move(name); }
    const std::vector<double>& Delays() const { return delays_; }
    // Runs inside every later delay, as a window's timers run in its pauses.
    void SetDuringDelay(std::function<void()> action) { during_delay_ = std::move(action); }

  private:
    int64_t utc_now_ = 1'700'000'000;
    int64_t local_offset_ = 0;
    double pending_fraction_ = 0;
    std::string settings_folder_ = "/tmp/keelsong-test/config";
    std::string documents_folder_ = "/tmp/keelsong-test/Documents";
    std::string data_folder_;
    std::string user_name_ = "tester";
    std::vector<double> delays_;
    std::function<void()> during_delay_;
};

}  // namespace keelsong::testing
