#pragma once

#include <optional>
#include <string>
#include <vector>

namespace keelsong {

// Why a serial device will not open, in words a user can act on: which process holds a busy
// device, and whether a denied permission only waits for a new login. The system's files are
// read below paths that tests replace with their own.

struct SystemFiles {
    std::string group_file = "/etc/group";
    std::string proc_folder = "/proc";
};

// The user this program runs as and the groups its login session has.
struct SessionIdentity {
    std::string user;
    std::vector<unsigned> groups;  // the effective group and the supplementary groups
};
SessionIdentity CurrentSession();

struct GroupEntry {
    std::string name;
    unsigned gid = 0;
    std::vector<std::string> members;
};
// The group with id `gid` in a group file of lines "name:password:gid:member,member", or
// nullopt.
std::optional<GroupEntry> FindGroup(const std::string& group_file, unsigned gid);

struct DeviceHolder {
    int pid = 0;
    std::string name;  // the process's command name
};
// The processes that hold `device`, each once: those holding a lock on it by
// <proc_folder>/locks (any user's), else those that have it open by the descriptor links under
// <proc_folder>/<pid>/fd (only those whose descriptors this user may read).
std::vector<DeviceHolder> FindDeviceHolders(const std::string& device,
                                            const std::string& proc_folder);

// The reason an open of `device` failed with `code`: for kSerialBusy who holds the device, for
// kSerialPermissionDenied what the user can do about it; SerialErrorText for other codes.
std::string ExplainDeviceOpenFailure(int code, const std::string& device, const SystemFiles& files,
                                     const SessionIdentity& session);

}  // namespace keelsong
