#include "protocol/firmware_image.h"

#include <algorithm>

#include "protocol/commands.h"
#include "protocol/crc.h"
#include "protocol/frame.h"

namespace keelsong {

bool FirmwareImageIntact(std::span<const uint8_t> image) {
    return image.size() >= kMinFirmwareImageBytes && CrcOf(image) == 0;
}

std::vector<uint8_t> MemoryWritePayload(uint8_t area, uint16_t offset,
                                        std::span<const uint8_t> data) {
    const size_t count = std::min<size_t>(data.size(), 0xFF);
    std::vector<uint8_t> payload(kMemoryWriteHeaderBytes + count);
    payload[0] = area;
    payload[1] = static_cast<uint8_t>(count);
    WriteLe16(&payload[2], offset);
    std::copy_n(data.begin(), count, payload.begin() + kMemoryWriteHeaderBytes);
    return payload;
}

std::vector<uint8_t> SerialNumberPayload(uint16_t serial_number) {
    uint8_t number[2];
    WriteLe16(number, serial_number);
    return MemoryWritePayload(kIdentityArea, kSerialNumberOffset, number);
}

size_t FirmwareChunkCount(size_t image_size) {
    return image_size / kFirmwareChunkBytes + 1;
}

FirmwareChunk FirmwareChunkAt(size_t image_size, size_t index) {
    FirmwareChunk chunk;
    chunk.begin = std::min(index * kFirmwareChunkBytes, image_size);
    chunk.size = std::min(kFirmwareChunkBytes, image_size - chunk.begin);
    return chunk;
}

std::vector<uint8_t> FirmwareChunkPayload(std::span<const uint8_t> image,
                                          const FirmwareChunk& chunk) {
    const size_t begin = std::min(chunk.begin, image.size());
    const size_t size = std::min(chunk.size, image.size() - begin);
    return MemoryWritePayload(kFirmwareArea, chunk.WireOffset(), image.subspan(begin, size));
}

double FirmwareWriteSeconds(size_t image_size, size_t first_chunk) {
    constexpr double kLineSecondsPerByte = 10.0 / 19200;
    // The shortest answer that acknowledges a chunk: its result byte and the count taken.
    constexpr size_t kAnswerFrameBytes = kFrameOverhead + 2;
    double seconds = 0;
    for (size_t index = first_chunk; index < FirmwareChunkCount(image_size); ++index) {
        const size_t bytes = kFrameOverhead + kMemoryWriteHeaderBytes +
                             FirmwareChunkAt(image_size, index).size + kAnswerFrameBytes;
        seconds +=
            std::max(kResponsePauseSeconds, static_cast<double>(bytes) * kLineSecondsPerByte);
    }
    return seconds;
}

}  // namespace keelsong
