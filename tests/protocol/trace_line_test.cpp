#include "protocol/trace_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keelsong {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

TEST(TraceLine, Records_GiveTheirColumnsAsWrittenOut) {
    const Bytes index = {0x05};
    const Bytes cut = {0xAB, 0x0C, 0xFF};
    struct Case {
        std::chrono::nanoseconds elapsed;
        FrameRecord record;
        std::string line;
    };
    const Case cases[] = {
        {0ns,
         {.direction = FrameDirection::ToUnit,
          .command = 0x3E,
          .attempt = 2,
          .outcome = FrameOutcome::Sent,
          .payload = index},
         // ms, request, command padded to 15, attempt, outcome padded to 20, payload
         "       0.0 >> EventEnquire    2 sent                 05"},
        {1'234'567'890'000ns,
         {.direction = FrameDirection::FromUnit,
          .command = 0x45,
          .attempt = 3,
          .outcome = FrameOutcome::WrongCommand,
          .detail = 0x46},
         " 1234567.8 << Enquire         3 wrong-command:0x46"},
        {5'050'000ns,
         {.direction = FrameDirection::FromUnit,
          .command = 0x77,  // no command: its code stands for its name
          .outcome = FrameOutcome::Short,
          .detail = 3,
          .expected = 12,
          .noise = 2,
          .payload = cut},
         "       5.0 << 0x77            - short:3/12,noise:2   AB 0C FF"},
        {99'990'000ns,
         {.command = 0x59, .attempt = 1, .outcome = FrameOutcome::TransmitError, .detail = -4},
         "      99.9 >> Reset           1 transmit-error:-4"},
        {100'000'000ns,
         {.command = 0x3A, .attempt = 1, .outcome = FrameOutcome::NotSentBusy},
         "     100.0 >> SaveSettings    1 not-sent:busy"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTraceLine(c.elapsed, c.record), c.line);
    }
    // A note on the device keeps the time column of the frames around it.
    EXPECT_EQ(FormatTraceNote(1'234'567'890'000ns, "port 1 closed"), " 1234567.8 -- port 1 closed");
}

TEST(TraceLine, Header_NamesTheWriterAndTheUtcStartToTheMillisecond) {
    // 2026-12-09 00:41:14.123 UTC
    const std::chrono::system_clock::time_point began{1'796'776'874'123ms};
    const std::string header = FormatTraceHeader("orvane-sim", began);
    EXPECT_EQ(header.substr(0, header.find('\n')),
              "# Orvane protocol trace written by orvane-sim, began 2026-12-09 00:41:14.123 UTC");
    EXPECT_EQ(header.back(), '\n');
    EXPECT_EQ(header[header.find('\n') + 1], '#') << "every header line is a comment";
}

}  // namespace
}  // namespace keelsong
