#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace keelsong {

// Frame layout, both directions: start byte, command, payload length (LE 16), payload, CRC (LE 16).
inline constexpr uint8_t kStartByte = 0x2A;
inline constexpr size_t kFrameHeaderSize = 4;
inline constexpr size_t kFrameCrcSize = 2;
inline constexpr size_t kFrameOverhead = kFrameHeaderSize + kFrameCrcSize;
inline constexpr size_t kPayloadOffset = kFrameHeaderSize;

// A response carries at most 94 payload bytes; the receive buffer holds header, payload and CRC.
inline constexpr size_t kMaxResponsePayload = 94;
inline constexpr size_t kResponseBufferSize =
    kFrameHeaderSize + kMaxResponsePayload + kFrameCrcSize;

// The largest request sent is a 132-byte firmware chunk; leave room for growth but stay bounded.
inline constexpr size_t kMaxRequestPayload = 250;
inline constexpr size_t kRequestBufferSize = kMaxRequestPayload + kFrameOverhead;

// Writes a complete frame into `out`. Returns its length (payload + 6), or 0 when the payload
// does not fit into `out` or exceeds what a 16-bit length can announce; `out` is then untouched.
size_t BuildFrame(uint8_t command, std::span<const uint8_t> payload, std::span<uint8_t> out);

// Result of looking for one frame at the front of a byte stream (the simulator's side of the
// line, which receives requests).
struct FrameScan {
    enum class Status {
        NeedMore,  // the bytes so far may begin a frame; wait for more
        Complete,  // a frame of `length` bytes starts at `offset` and its CRC is good
        Bad,       // no frame can start at `offset`; drop one byte there and scan again
    };
    Status status = Status::NeedMore;
    size_t offset = 0;  // where the frame (or the bad start) begins; bytes before it are noise
    size_t length = 0;  // frame length when Complete
};

// Skips noise up to the first start byte, then checks the header, length bound and CRC.
// `max_payload` bounds the announced length, so a corrupt length cannot stall the scanner.
FrameScan ScanFrame(std::span<const uint8_t> bytes, size_t max_payload);

uint16_t FramePayloadLength(std::span<const uint8_t> frame);

inline uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

}  // namespace keelsong
