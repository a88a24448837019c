#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace keelsong {

// A MemoryWrite request payload: memory area, count of data bytes, offset of the first of them
// within the area (16-bit, little-endian), then the data.
inline constexpr size_t kMemoryWriteHeaderBytes = 4;
// The unit's memory areas: the firmware image, and the identity that holds the serial number.
inline constexpr uint8_t kFirmwareArea = 0;
inline constexpr uint8_t kIdentityArea = 1;
inline constexpr uint16_t kSerialNumberOffset = 4;

// Every chunk of an image but the last carries this many bytes; a shorter chunk, possibly an
// empty one, tells the unit that the image is complete.
inline constexpr size_t kFirmwareChunkBytes = 128;
// An image is its data followed by the two bytes of its CRC: anything shorter carries no data,
// and an empty image would pass the check, since the CRC of no bytes is 0.
inline constexpr size_t kMinFirmwareImageBytes = 3;

// Whether an image ends in the CRC-16 of the bytes before it, low byte first: the CRC run from
// 0 over every byte, those two included, comes to 0. Images shorter than
// kMinFirmwareImageBytes are refused.
bool FirmwareImageIntact(std::span<const uint8_t> image);

// One MemoryWrite payload. `data` holds at most 255 bytes (its count travels in one byte).
std::vector<uint8_t> MemoryWritePayload(uint8_t area, uint16_t offset,
                                        std::span<const uint8_t> data);

// The serial-number write: two bytes, little-endian, at offset 4 of the identity area.
std::vector<uint8_t> SerialNumberPayload(uint16_t serial_number);

// Where one chunk of an image lies.
struct FirmwareChunk {
    size_t begin = 0;  // its first byte in the image
    size_t size = 0;   // 0 to kFirmwareChunkBytes
    // The bytes of the image written once this chunk is.
    size_t Written() const { return begin + size; }
    // What the request carries: the chunk's place in the image, kept to its low 16 bits.
    uint16_t WireOffset() const { return static_cast<uint16_t>(begin); }
};

// The number of chunks an image of `image_size` bytes is sent in: one per whole 128 bytes and
// one closing chunk of the remainder, so an image whose size is a multiple of 128 ends with an
// empty chunk.
size_t FirmwareChunkCount(size_t image_size);
// Chunk `index` (below FirmwareChunkCount) of an image of `image_size` bytes.
FirmwareChunk FirmwareChunkAt(size_t image_size, size_t index);
// The MemoryWrite payload that carries `chunk` of `image` into the firmware area.
std::vector<uint8_t> FirmwareChunkPayload(std::span<const uint8_t> image,
                                          const FirmwareChunk& chunk);

// The least time the chunks from `first_chunk` on of an image of `image_size` bytes take to
// write: each chunk's exchange lasts the pause before its answer is read or its request's and
// answer's time on the line (10 bits a byte at 19200 baud), whichever is longer. A 64 KiB image
// (513 chunks, each held up by the 0.1 s pause) takes 51.3 s.
double FirmwareWriteSeconds(size_t image_size, size_t first_chunk = 0);

}  // namespace keelsong
