// A trace alone has to tell what befell the unit's serial device: which program on which
// devices, a port that would not open and why, the connection, the unplug, the device that
// came back and the reconnection, in the order they happened.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/connection/connection_fixture.h"
#include "app/link/frame_trace.h"

namespace keelsong {
namespace {

class DeviceTraceTest : public testing::ConnectionFixture {
  protected:
    // The header's comment lines and, of the rest, what the device notes say, in order.
    void ReadTrace() {
        std::ifstream in(files / "keelsong.trace");
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("#")) {
                header.push_back(line);
            } else if (const size_t note = line.find(" -- "); note != std::string::npos) {
                notes.push_back(line.substr(note + 4));
            }
        }
    }

    testing::TempDir files;
    std::vector<std::string> header;
    std::vector<std::string> notes;
};

TEST_F(DeviceTraceTest, UnplugAndReplug_TheTraceTellsTheDevicesStory) {
    sim::PtyServer& unit = AddUnit(1);
    const std::string first = unit.Path();
    std::string error;
    const std::unique_ptr<FileFrameTrace> trace = FileFrameTrace::Open(
        files / "keelsong.trace",
        {"keelsong", "9.8.7", {"keelsong", "--trace", "bug report.trace"}, DescribePorts(port, {})},
        &error);
    ASSERT_TRUE(trace) << error;
    program.Link().SetTrace(trace.get());

    EXPECT_LT(Connect(2), 0);
    ASSERT_EQ(Connect(1), 0);
    unit.Unplug();
    Tick();
    ASSERT_FALSE(program.Link().IsConnected());
    ASSERT_TRUE(unit.PlugIn(&error)) << error;
    Tick();
    ASSERT_TRUE(program.Link().IsConnected()) << MainStatus();
    const std::string second = unit.Path();
    program.Link().ClosePort();
    program.Link().SetTrace(nullptr);

    ReadTrace();
    ASSERT_GE(header.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(header.begin() + 3, header.end()),
              (std::vector<std::string>{
                  "# keelsong 9.8.7, started as: keelsong --trace 'bug report.trace'",
                  "# port 1: ports/COM1 -> " + first}));
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "port 2 not opened: No serial device behind this port number",
                         "port 1 opened: ports/COM1 -> " + first,
                         "port 1 closed: its device ports/COM1 -> " + first +
                             " went away (unplugged or hung up)",
                         "port 1 device vanished: " + first,
                         "port 1 device appeared: ports/COM1 -> " + second,
                         // asked who it is, then connected to
                         "port 1 opened: ports/COM1 -> " + second,
                         "port 1 closed",
                         "port 1 opened: ports/COM1 -> " + second,
                         "port 1 closed",
                     }));
}

}  // namespace
}  // namespace keelsong
