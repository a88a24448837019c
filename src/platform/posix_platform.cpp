#include "platform/posix_platform.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <thread>
#include <vector>

namespace keelsong {

namespace {

// One slash between levels and none at the end ("/" stays), however the folder was given:
// "/home/u/docs/" + "/Vantrel" must not become "/home/u/docs//Vantrel".
std::string NormalFolder(const std::string& folder) {
    std::string normal;
    for (const char c : folder) {
        if (c != '/' || normal.empty() || normal.back() != '/') {
            normal.push_back(c);
        }
    }
    if (normal.size() > 1 && normal.back() == '/') {
        normal.pop_back();
    }
    return normal;
}

std::string Home(const std::string& home) {
    return home.empty() ? std::string("/tmp") : home;
}

// The documents folder as xdg-user-dirs records it: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string DocumentsFromUserDirs(const std::string& config_folder, const std::string& home) {
    std::ifstream file(config_folder + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(file, line)) {
        if (line.compare(0, key.size(), key) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        const std::string home_var = "$HOME";
        if (value.compare(0, home_var.size(), home_var) == 0) {
            value = home + value.substr(home_var.size());
        }
        if (!value.empty() && value.front() == '/') {
            return value;
        }
    }
    return {};
}

}  // namespace

PosixPlatform::Environment PosixPlatform::ProcessEnvironment() {
    Environment environment;
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "XDG_DATA_HOME", "USER", "LOGNAME"}) {
        if (const char* value = std::getenv(name)) {
            environment[name] = value;
        }
    }
    return environment;
}

std::string PosixPlatform::Get(const std::string& name) const {
    const auto it = environment_.find(name);
    return it == environment_.end() ? std::string{} : it->second;
}

int64_t PosixPlatform::UtcNow() const {
    return static_cast<int64_t>(std::time(nullptr));
}

std::optional<CalendarTime> PosixPlatform::ToLocal(int64_t utc_seconds) const {
    const time_t t = static_cast<time_t>(utc_seconds);
    tm local{};
    if (!localtime_r(&t, &local)) {
        return std::nullopt;
    }
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::optional<int64_t> PosixPlatform::FromLocal(const CalendarTime& local) const {
    tm broken{};
    broken.tm_year = local.year - 1900;
    broken.tm_mon = local.month - 1;
    broken.tm_mday = local.day;
    broken.tm_hour = local.hour;
    broken.tm_min = local.minute;
    broken.tm_sec = local.second;
    broken.tm_isdst = -1;
    errno = 0;
    const time_t t = std::mktime(&broken);
    if (t == static_cast<time_t>(-1) && errno != 0) {
        return std::nullopt;
    }
    return static_cast<int64_t>(t);
}

void PosixPlatform::Delay(double seconds) {
    if (seconds > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
}

std::string PosixPlatform::SettingsFolder() const {
    const std::string config = Get("XDG_CONFIG_HOME");
    const std::string base =
        !config.empty() && config.front() == '/' ? config : Home(Get("HOME")) + "/.config";
    return NormalFolder(base + "/Keelsong");
}

std::string PosixPlatform::DocumentsFolder() const {
    const std::string documents = Get("XDG_DOCUMENTS_DIR");
    if (!documents.empty() && documents.front() == '/') {
        return NormalFolder(documents);
    }
    const std::string home = Home(Get("HOME"));
    const std::string config = Get("XDG_CONFIG_HOME");
    const std::string config_folder =
        !config.empty() && config.front() == '/' ? config : home + "/.config";
    const std::string from_user_dirs = DocumentsFromUserDirs(config_folder, home);
    return NormalFolder(from_user_dirs.empty() ? home + "/Documents" : from_user_dirs);
}

std::string PosixPlatform::DataFolder() const {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules say.
    const std::string data = Get("XDG_DATA_HOME");
    const std::string base =
        !data.empty() && data.front() == '/' ? data : Home(Get("HOME")) + "/.local/share";
    return NormalFolder(base + "/Keelsong");
}

// The login name the environment gives, else the password database's name for this process's
// user: a program started from a service manager may have neither USER nor LOGNAME.
std::string PosixPlatform::UserName() const {
    for (const char* name : {"USER", "LOGNAME"}) {
        if (const std::string value = Get(name); !value.empty()) {
            return value;
        }
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name) {
        return found->pw_name;
    }
    return {};
}

int PosixPlatform::MakeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) {
        return 0;
    }
    return errno == EEXIST ? kMakeDirExists : -1;
}

}  // namespace keelsong
