// Whatever the image, the check never fails to end, and the chunks it is sent in are requests
// the unit can take: no payload over 132 bytes, every byte of the image exactly once, offsets
// following each other without a gap (modulo 65536), only the last chunk short.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/firmware_image.h"
#include "protocol/frame.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The chunk layout of an image of `size` bytes, without the bytes.
void CheckLayout(size_t size) {
    using namespace keelsong;
    const size_t count = FirmwareChunkCount(size);
    size_t next = 0;
    for (size_t index = 0; index < count; ++index) {
        const FirmwareChunk chunk = FirmwareChunkAt(size, index);
        Check(chunk.begin == next);
        Check(chunk.WireOffset() == static_cast<uint16_t>(next));
        const bool last = index + 1 == count;
        Check(last ? chunk.size < kFirmwareChunkBytes : chunk.size == kFirmwareChunkBytes);
        next = chunk.Written();
    }
    Check(next == size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace keelsong;
    const std::span<const uint8_t> image(data, size);
    (void)FirmwareImageIntact(image);

    size_t next = 0;
    const size_t count = FirmwareChunkCount(size);
    for (size_t index = 0; index < count; ++index) {
        const FirmwareChunk chunk = FirmwareChunkAt(size, index);
        const std::vector<uint8_t> payload = FirmwareChunkPayload(image, chunk);
        Check(payload.size() <= kMemoryWriteHeaderBytes + kFirmwareChunkBytes);
        Check(payload.size() == kMemoryWriteHeaderBytes + payload[1]);
        Check(payload[0] == kFirmwareArea);
        Check(ReadLe16(&payload[2]) == static_cast<uint16_t>(next));
        for (size_t i = 0; i < payload[1]; ++i) {
            Check(payload[kMemoryWriteHeaderBytes + i] == image[next + i]);
        }
        next += payload[1];
    }
    Check(next == size);

    // Images past 64 KiB, whose offsets wrap: the layout alone, for a size the input names.
    if (size >= 3) {
        CheckLayout((size_t{data[0]} << 16 | size_t{data[1]} << 8 | data[2]) % (size_t{4} << 20));
    }
    return 0;
}
