#include "protocol/firmware_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/commands.h"
#include "protocol/frame.h"

namespace keelsong {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(Command command, const Bytes& payload) {
    Bytes out(kRequestBufferSize);
    out.resize(BuildFrame(CommandCode(command), payload, out));
    return out;
}

struct ChunkCase {
    size_t image_size;
    std::vector<size_t> sizes;
    std::vector<uint16_t> offsets;
    std::vector<size_t> written;
};

TEST(FirmwareChunks, ImageSizes_GiveChunkSizesOffsetsAndProgress) {
    const ChunkCase cases[] = {
        {300, {128, 128, 44}, {0, 128, 256}, {128, 256, 300}},
        {256, {128, 128, 0}, {0, 128, 256}, {128, 256, 256}},
        {3, {3}, {0}, {3}},
    };
    for (const ChunkCase& c : cases) {
        SCOPED_TRACE(c.image_size);
        ASSERT_EQ(FirmwareChunkCount(c.image_size), c.sizes.size());
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            const FirmwareChunk chunk = FirmwareChunkAt(c.image_size, i);
            EXPECT_EQ(chunk.size, c.sizes[i]) << i;
            EXPECT_EQ(chunk.WireOffset(), c.offsets[i]) << i;
            EXPECT_EQ(chunk.Written(), c.written[i]) << i;
        }
    }
    // Past 64 KiB the offset wraps: the chunk starting at byte 65536 carries 0.
    const FirmwareChunk wrapped = FirmwareChunkAt(65536 + 300, 512);
    EXPECT_EQ(wrapped.begin, 65536u);
    EXPECT_EQ(wrapped.WireOffset(), 0);
    EXPECT_EQ(FirmwareChunkAt(65536 + 300, 513).WireOffset(), 128);
}

TEST(FirmwareChunks, ClosingChunkOf132ByteImage_IsTheKnownFrame) {
    Bytes image(132, 0x00);
    image[128] = 0xDE;
    image[129] = 0xAD;
    image[130] = 0xBE;
    image[131] = 0xEF;
    EXPECT_EQ(Frame(Command::MemoryWrite, FirmwareChunkPayload(image, FirmwareChunkAt(132, 1))),
              (Bytes{0x2A,                    // start byte
                     0x39,                    // MemoryWrite
                     0x08, 0x00,              // 8 payload bytes
                     0x00,                    // area 0: the firmware image
                     0x04,                    // 4 data bytes
                     0x80, 0x00,              // offset 128
                     0xDE, 0xAD, 0xBE, 0xEF,  // the image's last 4 bytes
                     0x08, 0x34}));           // CRC, low byte first
}

TEST(SerialNumberWrite, Number4464_IsTheKnownFrame) {
    EXPECT_EQ(Frame(Command::MemoryWrite, SerialNumberPayload(4464)),
              (Bytes{0x2A, 0x39, 0x06, 0x00,  // MemoryWrite, 6 payload bytes
                     0x01,                    // area 1: the identity
                     0x02,                    // 2 data bytes
                     0x04, 0x00,              // at offset 4
                     0x70, 0x11,              // 4464, low byte first
                     0x03, 0xDC}));           // CRC
}

// Each chunk waits out the 0.1 s pause: even a full one is only 146 bytes (76 ms) on the line.
TEST(FirmwareWriteSeconds, ImageSizes_OnePauseAChunk) {
    EXPECT_NEAR(FirmwareWriteSeconds(65536), 51.3, 1e-9);  // 512 full chunks and an empty one
    EXPECT_NEAR(FirmwareWriteSeconds(300), 0.3, 1e-9);
    EXPECT_NEAR(FirmwareWriteSeconds(300, 1), 0.2, 1e-9);  // what is left after the first chunk
    EXPECT_EQ(FirmwareWriteSeconds(300, 3), 0.0);
}

TEST(FirmwareImageIntact, Images_AcceptedOnlyWithDataAndTheirCrcLowByteFirst) {
    const Bytes good = {0x55, 0xC0, 0x3F};  // 0x55 and its CRC 0x3FC0, low byte first
    EXPECT_TRUE(FirmwareImageIntact(good));
    EXPECT_FALSE(FirmwareImageIntact(Bytes{0x55, 0x3F, 0xC0})) << "CRC high byte first";
    for (size_t i = 0; i < good.size(); ++i) {
        Bytes changed = good;
        changed[i] ^= 0x10;
        EXPECT_FALSE(FirmwareImageIntact(changed)) << "byte " << i;
    }
    // The CRC over these comes to 0, but none of them carries any data.
    EXPECT_FALSE(FirmwareImageIntact(Bytes{}));
    EXPECT_FALSE(FirmwareImageIntact(Bytes{0x00}));
    EXPECT_FALSE(FirmwareImageIntact(Bytes{0x00, 0x00}));
}

}  // namespace
}  // namespace keelsong
