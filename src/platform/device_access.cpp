#include "platform/device_access.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/serial_port.h"

namespace keelsong {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

bool IsNumber(const char* text) {
    if (!*text) {
        return false;
    }
    for (; *text; ++text) {
        if (!std::isdigit(static_cast<unsigned char>(*text))) {
            return false;
        }
    }
    return true;
}

// The device with every link followed, as the descriptor links under /proc name it.
std::string Resolved(const std::string& device) {
    char resolved[PATH_MAX];
    return realpath(device.c_str(), resolved) ? resolved : device;
}

std::string ReadLink(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string{};
}

// Whether the process behind <proc>/<pid> has `device` open.
bool HoldsDevice(const std::string& process_folder, const std::string& device) {
    const std::string fd_folder = process_folder + "/fd";
    DIR* dir = opendir(fd_folder.c_str());
    if (!dir) {
        return false;
    }
    bool holds = false;
    while (const dirent* entry = readdir(dir)) {
        if (IsNumber(entry->d_name) && ReadLink(fd_folder + "/" + entry->d_name) == device) {
            holds = true;
            break;
        }
    }
    closedir(dir);
    return holds;
}

std::string ProcessName(const std::string& process_folder) {
    std::ifstream comm(process_folder + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "a program" : name;
}

// The processes holding a lock on `device`, from lines of <proc>/locks such as
// "1: FLOCK  ADVISORY  WRITE 812 00:1a:3 0 EOF" (process id, then the file system's device
// numbers in hexadecimal and the file's node). Lines of waiters ("1: -> FLOCK ...") are left out.
std::vector<DeviceHolder> LockHolders(const std::string& device, const std::string& proc_folder) {
    std::vector<DeviceHolder> holders;
    struct stat info {};
    if (stat(device.c_str(), &info) != 0) {
        return holders;
    }
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    std::ifstream locks(proc_folder + "/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string id, type, mode, access, pid, file;
        if (!(fields >> id >> type >> mode >> access >> pid >> file) || type == "->" ||
            file != wanted || !IsNumber(pid.c_str())) {
            continue;
        }
        const int number = std::atoi(pid.c_str());
        if (std::none_of(holders.begin(), holders.end(),
                         [&](const DeviceHolder& h) { return h.pid == number; })) {
            holders.push_back(DeviceHolder{number, ProcessName(proc_folder + "/" + pid)});
        }
    }
    return holders;
}

std::string BusyText(const std::string& device, const std::vector<DeviceHolder>& holders) {
    if (holders.empty()) {
        // Whatever this user runs is in view, so the holder belongs to someone else.
        return "The port is busy: another program is using " + device +
               " (not one of this user's, so its name cannot be shown)";
    }
    std::string names;
    for (size_t i = 0; i < holders.size(); ++i) {
        if (i > 0) {
            names += i + 1 == holders.size() ? " and " : ", ";
        }
        names += holders[i].name + " (process " + std::to_string(holders[i].pid) + ")";
    }
    return "The port is busy: " + device + " is held by " + names;
}

std::string PermissionText(const std::string& device, const SystemFiles& files,
                           const SessionIdentity& session) {
    struct stat info {};
    if (stat(device.c_str(), &info) != 0) {
        return SerialErrorText(kSerialPermissionDenied);
    }
    const unsigned gid = info.st_gid;
    const std::optional<GroupEntry> group = FindGroup(files.group_file, gid);
    const std::string group_name = "'" + (group ? group->name : std::to_string(gid)) + "'";
    const std::string denied = "Permission denied on " + device;
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        return denied + ": neither you nor its group " + group_name + " may read and write it";
    }
    const bool in_session =
        std::find(session.groups.begin(), session.groups.end(), gid) != session.groups.end();
    if (in_session) {
        return denied + ", although this session is in its group " + group_name;
    }
    const bool listed = group && std::find(group->members.begin(), group->members.end(),
                                           session.user) != group->members.end();
    if (listed) {
        return denied + ": your user " + session.user + " was added to its group " + group_name +
               " after this login session began. Log out and in again (or restart) to use it";
    }
    return denied + ": add your user to its group " + group_name + " (sudo usermod -aG " +
           (group ? group->name : std::to_string(gid)) + " $USER), then log out and in again";
}

}  // namespace

SessionIdentity CurrentSession() {
    SessionIdentity session;
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
        session.user = found->pw_name;
    }
    session.groups.push_back(getegid());
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<size_t>(count));
        const int got = getgroups(count, groups.data());
        for (int i = 0; i < got; ++i) {
            session.groups.push_back(groups[static_cast<size_t>(i)]);
        }
    }
    return session;
}

std::optional<GroupEntry> FindGroup(const std::string& group_file, unsigned gid) {
    std::ifstream file(group_file);
    std::string line;
    while (std::getline(file, line)) {
        const std::vector<std::string> fields = Split(line, ':');
        if (fields.size() < 3 || !IsNumber(fields[2].c_str()) ||
            std::strtoul(fields[2].c_str(), nullptr, 10) != gid) {
            continue;
        }
        GroupEntry group{fields[0], gid, {}};
        if (fields.size() > 3) {
            for (const std::string& member : Split(fields[3], ',')) {
                if (!member.empty()) {
                    group.members.push_back(member);
                }
            }
        }
        return group;
    }
    return std::nullopt;
}

std::vector<DeviceHolder> FindDeviceHolders(const std::string& device,
                                            const std::string& proc_folder) {
    const std::string target = Resolved(device);
    std::vector<DeviceHolder> holders = LockHolders(target, proc_folder);
    if (!holders.empty()) {
        return holders;
    }
    DIR* dir = opendir(proc_folder.c_str());
    if (!dir) {
        return holders;
    }
    while (const dirent* entry = readdir(dir)) {
        if (!IsNumber(entry->d_name)) {
            continue;
        }
        const std::string folder = proc_folder + "/" + entry->d_name;
        if (HoldsDevice(folder, target)) {
            holders.push_back(DeviceHolder{std::atoi(entry->d_name), ProcessName(folder)});
        }
    }
    closedir(dir);
    std::sort(holders.begin(), holders.end(),
              [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
    return holders;
}

std::string ExplainDeviceOpenFailure(int code, const std::string& device, const SystemFiles& files,
                                     const SessionIdentity& session) {
    const std::string shown = Resolved(device);
    switch (code) {
        case kSerialBusy:
            return BusyText(shown, FindDeviceHolders(shown, files.proc_folder));
        case kSerialPermissionDenied:
            return PermissionText(shown, files, session);
        default:
            return SerialErrorText(code);
    }
}

}  // namespace keelsong
