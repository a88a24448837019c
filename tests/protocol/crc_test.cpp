#include "protocol/crc.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace keelsong {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(Crc, CheckString_GivesArcCheckValue) {
    EXPECT_EQ(CrcOf(Bytes("123456789")), 0xBB3D);
}

TEST(Crc, Table_HasReflectedEntries) {
    EXPECT_EQ(kCrcTable[0], 0x0000);
    EXPECT_EQ(kCrcTable[1], 0xC0C1);
    EXPECT_EQ(kCrcTable[128], 0xA001);
    EXPECT_EQ(kCrcTable[255], 0x4040);
}

TEST(Crc, UpdateOneByte_MatchesBitwiseDefinition) {
    for (unsigned start : {0x0000u, 0x1234u, 0xFFFFu}) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            uint16_t bitwise = static_cast<uint16_t>(start ^ byte);
            for (int bit = 0; bit < 8; ++bit) {
                bitwise = (bitwise & 1) ? static_cast<uint16_t>((bitwise >> 1) ^ 0xA001)
                                        : static_cast<uint16_t>(bitwise >> 1);
            }
            ASSERT_EQ(CrcUpdate(static_cast<uint8_t>(byte), static_cast<uint16_t>(start)), bitwise)
                << "start " << start << " byte " << byte;
        }
    }
}

TEST(Crc, IntactFrameWithItsCrc_SumsToZero) {
    std::vector<uint8_t> frame = {0x2A, 0x45, 0x00, 0x00};
    const uint16_t crc = CrcOf(frame);
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    EXPECT_EQ(CrcOf(frame), 0);
    frame[1] ^= 0x01;
    EXPECT_NE(CrcOf(frame), 0);
}

}  // namespace
}  // namespace keelsong
