#include "platform/port_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace keelsong {
namespace {

using testing::TempDir;

TEST(NaturalLess, OrdersNumbersByValue) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"ttyUSB2", "ttyUSB10", true}, {"ttyUSB10", "ttyUSB2", false},
        {"ttyUSB0", "ttyUSB0", false}, {"ttyUSB", "ttyUSB0", true},
        {"ttyUSB02", "ttyUSB3", true}, {"ttyACM9", "ttyUSB0", true},
        {"a1b2", "a1b10", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    }
}

struct PortDirectoryTest : ::testing::Test {
    PortDirectoryTest() {
        std::filesystem::create_directories(settings / "ports");
        std::filesystem::create_directories(dev.Path());
        for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty"}) {
            std::ofstream(dev / name).put('\n');
        }
    }
    TempDir settings_root;
    std::filesystem::path settings = settings_root.Path();
    TempDir dev;
    PortDirectory directory{settings_root.Path(), dev.Path()};
};

TEST_F(PortDirectoryTest, WithoutPortsEntries_CountsAcmThenUsbInNaturalOrder) {
    EXPECT_EQ(directory.Resolve(1)->path, dev / "ttyACM0");
    EXPECT_EQ(directory.Resolve(2)->path, dev / "ttyUSB2");
    EXPECT_EQ(directory.Resolve(3)->path, dev / "ttyUSB10");
    EXPECT_FALSE(directory.Resolve(4).has_value());
    EXPECT_FALSE(directory.Resolve(0).has_value());
    EXPECT_FALSE(directory.Resolve(-1).has_value());
    EXPECT_EQ(directory.Describe(4), "no device");
}

TEST_F(PortDirectoryTest, PortsEntry_WinsOverCountingAndIsDescribedWithItsTarget) {
    ASSERT_EQ(::symlink("/dev/pts/77", (settings / "ports/COM2").c_str()), 0);
    const auto resolved = directory.Resolve(2);
    ASSERT_TRUE(resolved.has_value());
    EXPECT_TRUE(resolved->from_ports_folder);
    EXPECT_EQ(resolved->path, (settings / "ports/COM2").string());
    EXPECT_EQ(directory.Describe(2), "ports/COM2 -> /dev/pts/77");
    EXPECT_EQ(directory.Describe(1), dev / "ttyACM0");
}

std::vector<std::pair<int, std::string>> NumbersAndDevices(const std::vector<PresentPort>& ports) {
    std::vector<std::pair<int, std::string>> seen;
    for (const PresentPort& port : ports) {
        seen.emplace_back(port.number, port.device);
    }
    return seen;
}

TEST_F(PortDirectoryTest, PresentPorts_EachDeviceOnceUnderItsLowestNumberStampedAnewWhenMadeAgain) {
    // COM2 takes number 2 from the counted ttyUSB2; COM5 reaches ttyACM0 (already port 1);
    // COM7 leads nowhere; COM05 and COMx are not port entries.
    ASSERT_EQ(::symlink((dev / "ttyUSB10").c_str(), (settings / "ports/COM2").c_str()), 0);
    ASSERT_EQ(::symlink((dev / "ttyACM0").c_str(), (settings / "ports/COM5").c_str()), 0);
    ASSERT_EQ(::symlink((dev / "gone").c_str(), (settings / "ports/COM7").c_str()), 0);
    std::ofstream(settings / "ports/COM05").put('\n');
    std::ofstream(settings / "ports/COMx").put('\n');
    const std::vector<PresentPort> before = directory.PresentPorts();
    EXPECT_EQ(NumbersAndDevices(before), (std::vector<std::pair<int, std::string>>{
                                             {1, dev / "ttyACM0"}, {2, dev / "ttyUSB10"}}))
        << "COM2 takes number 2 from ttyUSB2, and reaches ttyUSB10 before its count does";

    // Made anew under the same name, as a device unplugged and plugged in again (a moment
    // later: file times move on in clock ticks).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::filesystem::remove(dev / "ttyUSB10");
    std::ofstream(dev / "ttyUSB10").put('\n');
    const std::vector<PresentPort> after = directory.PresentPorts();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0], before[0]) << "untouched device keeps its stamp";
    EXPECT_EQ(after[1].device, before[1].device);
    EXPECT_NE(after[1], before[1]);
}

}  // namespace
}  // namespace keelsong
