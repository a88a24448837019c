#include "platform/port_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
}  // namespace keelsong
