#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace keelsong {

// CRC-16/ARC: polynomial 0x8005 bit-reflected (0xA001), initial value 0, no final XOR.
// Appended low byte first, so the CRC over an intact frame including its CRC is 0.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u)
                             : static_cast<uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}

inline constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

constexpr uint16_t CrcUpdate(uint8_t byte, uint16_t crc) {
    return static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFFu]);
}

constexpr uint16_t CrcOf(std::span<const uint8_t> bytes, uint16_t crc = 0) {
    for (uint8_t byte : bytes) {
        crc = CrcUpdate(byte, crc);
    }
    return crc;
}

}  // namespace keelsong
