// The setup record's decoding bounds and the rest conversion's 32-bit edges.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "protocol/unit_setup.h"

namespace keelsong {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(SetupDecoding, RecordsCutShort_OnlyWholeFieldsInsideThePayload) {
    struct Case {
        const char* name;
        Bytes record;
        std::vector<SetupField> fields;
    };
    const Case cases[] = {
        {"tagged: count past the payload",
         {
             0x15, 0x00, 0x06, 0x00,                          // six items announced
             0x03, 0x00, 0x04, 0x00, 0x2C, 0x01, 0x00, 0x00,  // 30.0 s
             0x05, 0x00, 0x04, 0x00, 0x01,                    // cut inside the value
         },
         {{3, 300}}},
        {"tagged: length running past the payload",
         {
             0x15, 0x00, 0x02, 0x00,                    // two items
             0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00,  // 65535 bytes announced
         },
         {}},
        {"tagged: item header cut short", {0x15, 0x00, 0x01, 0x00, 0x02, 0x00, 0x04}, {}},
        {"short: rest cut after two bytes", {0x0E, 0x00, 0x03, 0x00, 0x32, 0x00}, {{2, 3}}},
    };
    for (const Case& c : cases) {
        const auto decoded = ParseSetupRecord(c.record);
        ASSERT_TRUE(decoded) << c.name;
        EXPECT_EQ(decoded->fields, c.fields) << c.name;
    }
}

TEST(RestConversion, SecondsToTenths_UnsignedAndSaturating) {
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    struct Case {
        double seconds;
        uint32_t allowance;
        uint32_t tenths;
    };
    const Case cases[] = {
        // The Orvane LF's longest rest: above the signed range, exact in unsigned.
        {429496729.0, 0, 4294967290u},
        // Rest and allowance beyond 32 bits stop at the largest value instead of wrapping.
        {429496729.0, 20, kMax},
        {-3.0, 0, 0},
        {std::numeric_limits<double>::quiet_NaN(), 5, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RestSecondsToTenths(c.seconds, c.allowance), c.tenths) << c.seconds;
    }
}

}  // namespace
}  // namespace keelsong
