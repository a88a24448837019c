#include "protocol/frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/commands.h"
#include "protocol/crc.h"

namespace keelsong {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Build(uint8_t command, const Bytes& payload, size_t buffer_size = kRequestBufferSize) {
    Bytes out(buffer_size, 0xEE);
    const size_t n = BuildFrame(command, payload, out);
    out.resize(n);
    return out;
}

TEST(BuildFrame, EnquireRequest_IsTheKnownSixBytes) {
    EXPECT_EQ(Build(CommandCode(Command::Enquire), {}),
              (Bytes{0x2A,           // start byte
                     0x45,           // Enquire
                     0x00, 0x00,     // no payload
                     0x19, 0xCD}));  // CRC over the four header bytes, low byte first
}

TEST(BuildFrame, PayloadAndLength_AreLaidOutLittleEndian) {
    const Bytes frame = Build(CommandCode(Command::SetupGet), {0x15, 0x00});
    ASSERT_EQ(frame.size(), 8u);
    EXPECT_EQ(frame[2], 0x02);
    EXPECT_EQ(frame[3], 0x00);
    EXPECT_EQ(frame[4], 0x15);
    EXPECT_EQ(CrcOf(frame), 0);
}

TEST(BuildFrame, FirmwareChunkOf132Bytes_Fits) {
    const Bytes payload(132, 0x5A);
    const Bytes frame = Build(CommandCode(Command::MemoryWrite), payload);
    ASSERT_EQ(frame.size(), 138u);
    EXPECT_EQ(frame[2], 132);
    EXPECT_EQ(CrcOf(frame), 0);
}

TEST(BuildFrame, PayloadLargerThanBuffer_IsRefusedWithoutWriting) {
    const Bytes payload(kMaxRequestPayload + 1, 0x11);
    Bytes out(kRequestBufferSize + 8, 0xEE);
    EXPECT_EQ(BuildFrame(0x39, payload, std::span<uint8_t>(out.data(), kRequestBufferSize)), 0u);
    EXPECT_EQ(out, Bytes(kRequestBufferSize + 8, 0xEE));

    const Bytes largest(kMaxRequestPayload, 0x11);
    EXPECT_EQ(BuildFrame(0x39, largest, std::span<uint8_t>(out.data(), kRequestBufferSize)),
              kRequestBufferSize);
    EXPECT_EQ(out[kRequestBufferSize], 0xEE);
}

struct ScanCase {
    const char* name;
    Bytes bytes;
    FrameScan::Status status;
    size_t offset;
    size_t length;
};

TEST(ScanFrame, Cases) {
    const Bytes enquire = {0x2A, 0x45, 0x00, 0x00, 0x19, 0xCD};
    Bytes noisy = {0x00, 0xFF};
    noisy.insert(noisy.end(), enquire.begin(), enquire.end());
    Bytes flipped = enquire;
    flipped[4] ^= 0x01;
    const ScanCase cases[] = {
        {"empty", {}, FrameScan::Status::NeedMore, 0, 0},
        {"noise only", {0x01, 0x02}, FrameScan::Status::NeedMore, 2, 0},
        {"header partly", {0x2A, 0x45}, FrameScan::Status::NeedMore, 0, 0},
        {"frame partly", {0x2A, 0x45, 0x00, 0x00, 0x19}, FrameScan::Status::NeedMore, 0, 0},
        {"whole frame", enquire, FrameScan::Status::Complete, 0, 6},
        {"noise first", noisy, FrameScan::Status::Complete, 2, 6},
        {"bad crc", flipped, FrameScan::Status::Bad, 0, 0},
        {"length beyond bound", {0x2A, 0x45, 0xFF, 0x00}, FrameScan::Status::Bad, 0, 0},
    };
    for (const ScanCase& c : cases) {
        const FrameScan scan = ScanFrame(c.bytes, kMaxResponsePayload);
        EXPECT_EQ(scan.status, c.status) << c.name;
        EXPECT_EQ(scan.offset, c.offset) << c.name;
        EXPECT_EQ(scan.length, c.length) << c.name;
    }
}

// The unit's codes, written out: the program and the simulator share the enum, so only a table
// of literal values catches a wrong code.
TEST(CommandSet, EveryCommand_HasTheUnitsCodeAndItsName) {
    struct Case {
        Command command;
        uint8_t code;
        const char* name;
    };
    const Case cases[] = {
        {Command::MemoryWrite, 0x39, "MemoryWrite"},
        {Command::SaveSettings, 0x3A, "SaveSettings"},
        {Command::RestoreSettings, 0x3B, "RestoreSettings"},
        {Command::EventAdd, 0x3C, "EventAdd"},
        {Command::EventRemove, 0x3D, "EventRemove"},
        {Command::EventEnquire, 0x3E, "EventEnquire"},
        {Command::Play, 0x3F, "Play"},
        {Command::Stop, 0x40, "Stop"},
        {Command::SetTime, 0x41, "SetTime"},
        {Command::StatusRead, 0x43, "StatusRead"},
        {Command::SetupSet, 0x44, "SetupSet"},
        {Command::Enquire, 0x45, "Enquire"},
        {Command::SetupGet, 0x46, "SetupGet"},
        {Command::Reset, 0x59, "Reset"},
    };
    ASSERT_EQ(std::size(kAllCommands), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(CommandCode(c.command), c.code) << c.name;
        EXPECT_EQ(CommandName(c.code), c.name);
        EXPECT_EQ(kAllCommands[i], c.command) << c.name;
    }
}

TEST(CommandName, KnownAndUnknownCodes) {
    EXPECT_EQ(CommandName(0x45), "Enquire");
    EXPECT_EQ(CommandName(0x59), "Reset");
    EXPECT_EQ(CommandName(0x42), "");
    for (Command command : kAllCommands) {
        EXPECT_FALSE(CommandName(CommandCode(command)).empty());
    }
}

}  // namespace
}  // namespace keelsong
