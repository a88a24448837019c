#include "protocol/frame.h"

#include <algorithm>

#include "protocol/crc.h"

namespace keelsong {

size_t BuildFrame(uint8_t command, std::span<const uint8_t> payload, std::span<uint8_t> out) {
    if (payload.size() > 0xFFFF || payload.size() + kFrameOverhead > out.size()) {
        return 0;
    }
    const size_t length = payload.size();
    out[0] = kStartByte;
    out[1] = command;
    WriteLe16(&out[2], static_cast<uint16_t>(length));
    std::copy(payload.begin(), payload.end(), out.begin() + kPayloadOffset);
    const uint16_t crc = CrcOf(out.first(kFrameHeaderSize + length));
    WriteLe16(&out[kFrameHeaderSize + length], crc);
    return length + kFrameOverhead;
}

FrameScan ScanFrame(std::span<const uint8_t> bytes, size_t max_payload) {
    FrameScan scan;
    const auto start = std::find(bytes.begin(), bytes.end(), kStartByte);
    scan.offset = static_cast<size_t>(start - bytes.begin());
    const auto rest = bytes.subspan(scan.offset);
    if (rest.size() < kFrameHeaderSize) {
        return scan;
    }
    const size_t payload = ReadLe16(&rest[2]);
    if (payload > max_payload) {
        scan.status = FrameScan::Status::Bad;
        return scan;
    }
    const size_t length = payload + kFrameOverhead;
    if (rest.size() < length) {
        return scan;
    }
    if (CrcOf(rest.first(length)) != 0) {
        scan.status = FrameScan::Status::Bad;
        return scan;
    }
    scan.status = FrameScan::Status::Complete;
    scan.length = length;
    return scan;
}

uint16_t FramePayloadLength(std::span<const uint8_t> frame) {
    return frame.size() < kFrameHeaderSize ? 0 : ReadLe16(&frame[2]);
}

}  // namespace keelsong
