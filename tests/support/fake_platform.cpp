#include "support/fake_platform.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <ctime>

namespace keelsong::testing {

std::optional<CalendarTime> FakePlatform::ToLocal(int64_t utc_seconds) const {
    const time_t t = static_cast<time_t>(utc_seconds + local_offset_);
    tm broken{};
    if (!gmtime_r(&t, &broken)) {
        return std::nullopt;
    }
    return CalendarTime{broken.tm_year + 1900, broken.tm_mon + 1, broken.tm_mday,
                        broken.tm_hour,        broken.tm_min,     broken.tm_sec};
}

std::optional<int64_t> FakePlatform::FromLocal(const CalendarTime& local) const {
    tm broken{};
    broken.tm_year = local.year - 1900;
    broken.tm_mon = local.month - 1;
    broken.tm_mday = local.day;
    broken.tm_hour = local.hour;
    broken.tm_min = local.minute;
    broken.tm_sec = local.second;
    return static_cast<int64_t>(timegm(&broken)) - local_offset_;
}

void FakePlatform::Delay(double seconds) {
    delays_.push_back(seconds);
    pending_fraction_ += seconds;
    const double whole = std::floor(pending_fraction_);
    utc_now_ += static_cast<int64_t>(whole);
    pending_fraction_ -= whole;
    if (during_delay_) {
        during_delay_();
    }
}

int FakePlatform::MakeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) {
        return 0;
    }
    return errno == EEXIST ? kMakeDirExists : -1;
}

}  // namespace keelsong::testing
