// What the simulated unit takes from a SetupSet and what it refuses whole.
#include <gtest/gtest.h>

#include <vector>

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "sim/unit_simulator.h"

namespace keelsong {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes AnswerTo(sim::UnitSimulator& unit, const Bytes& request) {
    Bytes frame(request.size() + kFrameOverhead);
    frame.resize(BuildFrame(CommandCode(Command::SetupSet), request, frame));
    const Bytes response = unit.HandleRequest(frame);
    return Bytes(response.begin() + kPayloadOffset, response.end() - kFrameCrcSize);
}

Bytes Tagged(uint16_t tag, uint32_t value) {
    Bytes record = {0x15, 0x00, 0x01, 0x00, static_cast<uint8_t>(tag), 0x00, 0x04, 0x00};
    for (int i = 0; i < 4; ++i) {
        record.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    return record;
}

TEST(SimulatedUnitSetup, RefusedRequests_ChangeNothingAndAnswerNoFormat) {
    struct Case {
        const char* name;
        uint8_t device_type;
        Bytes request;
        bool taken;
    };
    const Case cases[] = {
        {"sync out", device_type::kOrvaneHf, Tagged(0, 1), true},
        {"sync mode 3", device_type::kOrvaneHf, Tagged(0, 3), false},
        {"magnetic switch 2", device_type::kOrvaneHf, Tagged(4, 2), false},
        {"AUX messages 7", device_type::kOrvaneHf, Tagged(5, 7), false},
        {"HF rest of 35 days", device_type::kOrvaneHf, Tagged(3, 30'240'000), true},
        {"HF rest over 35 days", device_type::kOrvaneHf, Tagged(3, 30'240'001), false},
        {"item running past the payload",
         device_type::kOrvaneHf,
         {0x15, 0x00, 0x01, 0x00, 0x02, 0x00, 0x04, 0x00, 0x05},
         false},
        {"short form to a tagged unit",
         device_type::kOrvaneHf,
         {0x11, 0x00, 0x01, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00},
         false},
        {"LF longest rest",
         device_type::kOrvaneLf,
         {0x0E, 0x00, 0x00, 0x00, 0xFA, 0xFF, 0xFF, 0xFF, 0x01},
         true},
        {"LF short record cut",
         device_type::kOrvaneLf,
         {0x0E, 0x00, 0x00, 0x00, 0xFA, 0xFF, 0xFF, 0xFF},
         false},
        {"LF magnetic switch 2",
         device_type::kOrvaneLf,
         {0x0E, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0x02},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitSimulator unit;
        unit.State().device_type = c.device_type;
        const sim::SetupState before = unit.Setup();
        const Bytes answer = AnswerTo(unit, c.request);
        if (c.taken) {
            EXPECT_NE(unit.Setup(), before);
            EXPECT_EQ(ReadLe16(answer.data()), unit.SetupFormat());
        } else {
            EXPECT_EQ(unit.Setup(), before);
            EXPECT_EQ(answer, (Bytes{0x00, 0x00}));
        }
    }
}

}  // namespace
}  // namespace keelsong
