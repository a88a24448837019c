#include "sim/faults.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "protocol/crc.h"
#include "protocol/frame.h"
#include "sim/unit_simulator.h"

namespace keelsong::sim {
namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

Bytes Request(Command command, const Bytes& payload = {}) {
    Bytes frame(payload.size() + kFrameOverhead);
    frame.resize(BuildFrame(CommandCode(command), payload, frame));
    return frame;
}

// Play on an empty table: the unit answers 2A 3F 01 00 | 00 | 44 12.
const Bytes kCleanPlay = {0x2A, 0x3F, 0x01, 0x00, 0x00, 0x44, 0x12};

struct FaultCase {
    std::string name;
    Fault fault;
    std::function<void(const Bytes&)> check;
};

TEST(SimulatorFaults, EachFault_SpoilsThePlayAnswerAsItSays) {
    const FaultCase cases[] = {
        {"drop", Fault::Drop(), [](const Bytes& got) { EXPECT_TRUE(got.empty()); }},
        {"one payload bit flipped, CRC kept", Fault::CorruptCrc(0),
         [](const Bytes& got) {
             EXPECT_EQ(got, (Bytes{0x2A, 0x3F, 0x01, 0x00, 0x01, 0x44, 0x12}));
             EXPECT_NE(CrcOf(got), 0);
         }},
        {"noise before the start byte", Fault::NoisePrefix({0x00, 0xFF}),
         [](const Bytes& got) {
             EXPECT_EQ(got, (Bytes{0x00, 0xFF, 0x2A, 0x3F, 0x01, 0x00, 0x00, 0x44, 0x12}));
         }},
        {"payload cut short", Fault::CutShort(5),
         [](const Bytes& got) {
             EXPECT_EQ(got, Bytes(kCleanPlay.begin(), kCleanPlay.begin() + 5));
         }},
        {"header incomplete", Fault::HeaderIncomplete(2),
         [](const Bytes& got) {
             EXPECT_EQ(got, (Bytes{0x2A, 0x3F, 0x01}));
         }},
        {"wrong command echoed, CRC good", Fault::WrongCommand(),
         [](const Bytes& got) {
             ASSERT_EQ(got.size(), kCleanPlay.size());
             EXPECT_EQ(got[1], 0x40);
             EXPECT_EQ(Bytes(got.begin() + 2, got.end() - 2), (Bytes{0x01, 0x00, 0x00}));
             EXPECT_EQ(CrcOf(got), 0);
         }},
        {"94-byte payload, a valid frame", Fault::AnnounceLength(94),
         [](const Bytes& got) {
             ASSERT_EQ(got.size(), 100u);
             EXPECT_EQ(FramePayloadLength(got), 94);
             EXPECT_EQ(got[4], 0x00);  // the real payload leads
             EXPECT_EQ(CrcOf(got), 0);
         }},
        {"95-byte payload announced", Fault::AnnounceLength(95),
         [](const Bytes& got) {
             ASSERT_GE(got.size(), 4u);
             EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), (Bytes{0x2A, 0x3F, 0x5F, 0x00}));
         }},
        {"payload replaced", Fault::ReplacePayload({0x07, 0x08}),
         [](const Bytes& got) {
             ASSERT_EQ(got.size(), 8u);
             EXPECT_EQ(Bytes(got.begin() + 2, got.end() - 2), (Bytes{0x02, 0x00, 0x07, 0x08}));
             EXPECT_EQ(CrcOf(got), 0);
         }},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        UnitSimulator unit;
        ASSERT_EQ(unit.HandleRequest(Request(Command::Play)), kCleanPlay);
        unit.InjectFault(c.fault);
        c.check(unit.HandleRequest(Request(Command::Play)));
        EXPECT_EQ(unit.HandleRequest(Request(Command::Play)), kCleanPlay) << "one-shot";
    }
}

TEST(SimulatorFaults, CorruptCrcWithoutPayload_FlipsACrcBitOnly) {
    UnitSimulator unit;
    const Bytes clean = unit.HandleRequest(Request(Command::Stop));
    ASSERT_EQ(clean.size(), kFrameOverhead);
    unit.InjectFault(Fault::CorruptCrc(3));
    const Bytes got = unit.HandleRequest(Request(Command::Stop));
    ASSERT_EQ(got.size(), clean.size());
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), Bytes(clean.begin(), clean.begin() + 4));
    EXPECT_EQ(got[4], clean[4] ^ 0x08);
    EXPECT_NE(CrcOf(got), 0);
}

TEST(SimulatorFaults, Late_DelaysAnIntactAnswer) {
    UnitSimulator unit;
    unit.InjectFault(Fault::Late(milliseconds(300)));
    const Reply reply = unit.Respond(Request(Command::Play));
    EXPECT_EQ(reply.bytes, kCleanPlay);
    EXPECT_EQ(reply.delay, milliseconds(300));
    EXPECT_EQ(unit.Respond(Request(Command::Play)).delay, milliseconds(0));
}

// Which of six Play requests get an answer.
std::vector<bool> AnsweredOfSix(UnitSimulator& unit, Command command = Command::Play) {
    std::vector<bool> answered;
    for (int i = 0; i < 6; ++i) {
        answered.push_back(!unit.HandleRequest(Request(command)).empty());
    }
    return answered;
}

TEST(SimulatorFaults, Counting_TimesAfterAndForever) {
    struct Case {
        std::string name;
        Fault fault;
        std::vector<bool> answered;
    };
    const Case cases[] = {
        {"first only", Fault::Drop(), {false, true, true, true, true, true}},
        {"answers only the fourth",
         Fault::Drop().Times(3),
         {false, false, false, true, true, true}},
        {"second only", Fault::Drop().After(1), {true, false, true, true, true, true}},
        {"never", Fault::Drop().Forever(), {false, false, false, false, false, false}},
        {"none", Fault::Drop().Times(0), {true, true, true, true, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitSimulator unit;
        unit.InjectFault(c.fault);
        EXPECT_EQ(AnsweredOfSix(unit), c.answered);
    }
}

TEST(SimulatorFaults, OnlyFor_LeavesOtherCommandsAlone) {
    UnitSimulator unit;
    unit.InjectFault(Fault::Drop().OnlyFor(Command::Enquire));
    EXPECT_FALSE(unit.HandleRequest(Request(Command::Play)).empty());
    EXPECT_TRUE(unit.HandleRequest(Request(Command::Enquire)).empty());
    EXPECT_FALSE(unit.HandleRequest(Request(Command::Enquire)).empty());
}

TEST(SimulatorFaults, UnansweredRequest_DoesNotUseUpAFault) {
    UnitSimulator unit;
    unit.InjectFault(Fault::Drop());
    Bytes unknown(kFrameOverhead);
    BuildFrame(0x42, {}, unknown);
    EXPECT_TRUE(unit.HandleRequest(unknown).empty());
    EXPECT_EQ(unit.ActiveFaults(), 1u);
    EXPECT_TRUE(unit.HandleRequest(Request(Command::Play)).empty());
    EXPECT_EQ(unit.ActiveFaults(), 0u);
}

TEST(SimulatorFaults, Combined_ActInFixedOrderWhateverTheInjectionOrder) {
    UnitSimulator unit;
    unit.InjectFault(Fault::NoisePrefix({0x11}));
    unit.InjectFault(Fault::CutShort(3));
    // The cut counts frame bytes; the noise goes in front of what is left.
    EXPECT_EQ(unit.HandleRequest(Request(Command::Play)), (Bytes{0x11, 0x2A, 0x3F, 0x01}));

    unit.InjectFault(Fault::Drop());
    unit.InjectFault(Fault::NoisePrefix());
    EXPECT_TRUE(unit.HandleRequest(Request(Command::Play)).empty());
}

TEST(SimulatorFaults, DroppedAnswer_CommandStillTakesEffect) {
    UnitSimulator unit;
    unit.InjectFault(Fault::Drop());
    EXPECT_TRUE(unit.HandleRequest(Request(Command::EventAdd, {0x00, 0x03, 0x05, 0x00})).empty());
    EXPECT_EQ(unit.Events().size(), 1u);
}

}  // namespace
}  // namespace keelsong::sim
