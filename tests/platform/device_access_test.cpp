#include "platform/device_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct DeviceAccessTest : ::testing::Test {
    DeviceAccessTest() {
        std::ofstream(device).put('\n');
        ::chmod(device.c_str(), 0660);
        files.group_file = etc / "group";
        files.proc_folder = proc.Path();
    }

    // A process in the fake /proc: its name and the targets of its descriptors.
    void AddProcess(const std::string& pid, const std::string& name,
                    const std::vector<std::string>& open_files) {
        const fs::path folder = fs::path(proc.Path()) / pid;
        fs::create_directories(folder / "fd");
        std::ofstream(folder / "comm") << name << "\n";
        int fd = 0;
        for (const std::string& target : open_files) {
            fs::create_symlink(target, folder / "fd" / std::to_string(fd++));
        }
    }

    void WriteGroups(const std::string& text) { std::ofstream(etc / "group") << text; }

    // The device's own group id, as the group file must name it.
    unsigned DeviceGid() const {
        struct stat info {};
        ::stat(device.c_str(), &info);
        return info.st_gid;
    }

    TempDir dev;
    TempDir etc;
    TempDir proc;
    std::string device = dev / "ttyUSB0";
    SystemFiles files;
};

TEST_F(DeviceAccessTest, Busy_NamesTheLockHolderElseEveryProcessWithTheDeviceOpen) {
    AddProcess("812", "ModemManager", {"/dev/null", device, device});
    AddProcess("1300", "picocom", {device});
    AddProcess("77", "bash", {"/dev/pts/3"});
    AddProcess("4242", "minicom", {});
    fs::create_directories(fs::path(proc.Path()) / "self" / "fd");  // not a process id
    struct stat info {};
    ASSERT_EQ(::stat(device.c_str(), &info), 0);
    char node[64];
    std::snprintf(node, sizeof node, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    std::ofstream(fs::path(proc.Path()) / "locks")
        << "1: POSIX  ADVISORY  WRITE 99 00:05:7 0 EOF\n"
        << "2: FLOCK  ADVISORY  WRITE 4242 " << node << " 0 EOF\n"
        << "2: -> FLOCK  ADVISORY  WRITE 1300 " << node << " 0 EOF\n";
    EXPECT_EQ(ExplainDeviceOpenFailure(kSerialBusy, device, files, {}),
              "The port is busy: " + device + " is held by minicom (process 4242)");

    fs::remove(fs::path(proc.Path()) / "locks");
    EXPECT_EQ(ExplainDeviceOpenFailure(kSerialBusy, device, files, {}),
              "The port is busy: " + device +
                  " is held by ModemManager (process 812) and picocom (process 1300)");

    fs::remove_all(fs::path(proc.Path()) / "812");
    fs::remove_all(fs::path(proc.Path()) / "1300");
    EXPECT_EQ(ExplainDeviceOpenFailure(kSerialBusy, device, files, {}),
              "The port is busy: another program is using " + device +
                  " (not one of this user's, so its name cannot be shown)");
}

TEST_F(DeviceAccessTest, Busy_FoundThroughTheRealProcWhenThisProcessHoldsIt) {
    const int fd = ::open(device.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    std::string own_name;
    std::getline(std::ifstream("/proc/self/comm"), own_name);
    const std::vector<DeviceHolder> holders = FindDeviceHolders(device, "/proc");
    ::close(fd);
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, ::getpid());
    EXPECT_EQ(holders[0].name, own_name);
}

TEST_F(DeviceAccessTest, PermissionDenied_SaysWhatTheUserCanDo) {
    const unsigned gid = DeviceGid();
    const std::string denied = "Permission denied on " + device;
    struct Case {
        const char* name;
        std::string groups;  // the group file
        SessionIdentity session;
        mode_t mode = 0660;
        std::string text;
    };
    const std::string line = "dialout:x:" + std::to_string(gid) + ":";
    const Case cases[] = {
        {"listed, but the session began before",
         "users:x:" + std::to_string(gid + 1) + ":alice\n" + line + "bob,alice\n",
         {"alice", {1000, 27}},
         0660,
         denied + ": your user alice was added to its group 'dialout' after this login session "
                  "began. Log out and in again (or restart) to use it"},
        {"not listed",
         line + "bob\n",
         {"alice", {1000}},
         0660,
         denied + ": add your user to its group 'dialout' (sudo usermod -aG dialout $USER), "
                  "then log out and in again"},
        {"group missing from the file",
         "",
         {"alice", {1000}},
         0660,
         denied + ": add your user to its group '" + std::to_string(gid) + "' (sudo usermod -aG " +
             std::to_string(gid) + " $USER), then log out and in again"},
        {"session has the group",
         line + "alice\n",
         {"alice", {gid}},
         0660,
         denied + ", although this session is in its group 'dialout'"},
        {"group may not use it",
         line + "alice\n",
         {"alice", {}},
         0600,
         denied + ": neither you nor its group 'dialout' may read and write it"},
    };
    for (const Case& c : cases) {
        WriteGroups(c.groups);
        ::chmod(device.c_str(), c.mode);
        EXPECT_EQ(ExplainDeviceOpenFailure(kSerialPermissionDenied, device, files, c.session),
                  c.text)
            << c.name;
    }
    EXPECT_EQ(ExplainDeviceOpenFailure(kSerialNoDevice, device, files, {}),
              SerialErrorText(kSerialNoDevice));
}

TEST(FindGroup, ReadsNameAndMembersOfTheGroupWithThatId) {
    TempDir etc;
    std::ofstream(etc / "group") << "root:x:0:\n"
                                    "broken line\n"
                                    "uucp:x:14:\n"
                                    "dialout:x:20:alice,,bob\n";
    const std::optional<GroupEntry> dialout = FindGroup(etc / "group", 20);
    ASSERT_TRUE(dialout.has_value());
    EXPECT_EQ(dialout->name, "dialout");
    EXPECT_EQ(dialout->members, (std::vector<std::string>{"alice", "bob"}));
    EXPECT_TRUE(FindGroup(etc / "group", 14)->members.empty());
    EXPECT_FALSE(FindGroup(etc / "group", 99).has_value());
    EXPECT_FALSE(FindGroup(etc / "missing", 0).has_value());
}

}  // namespace
}  // namespace keelsong
