#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace keelsong {

// One line of a protocol trace: a frame that went over the line, or a response that was
// expected and failed. The program and the simulated unit write the same lines, so that a
// trace from either side reads alike and the two can be laid side by side.

// Which way the frame travelled, the same whichever side writes the trace.
enum class FrameDirection : uint8_t {
    ToUnit,    // a request, ">>"
    FromUnit,  // a response, "<<"
};

// What became of the frame.
enum class FrameOutcome : uint8_t {
    Sent,                // written whole
    Good,                // read whole with a good CRC (a response, or a request at the unit)
    NotSentBusy,         // refused: another transaction was under way
    NotSentTooLong,      // refused: the payload does not fit a frame
    TransmitError,       // the port failed the write; detail: its code
    TransmitIncomplete,  // fewer bytes went out than the frame holds; detail: bytes written
    TimeOut,             // nothing came before the time-out
    ReadError,           // the port failed the read; detail: its code
    HeaderTimeOut,       // the start byte came, the rest of the header did not
    WrongCommand,        // the response answers another command; detail: its code
    TooLong,             // the announced payload is longer than allowed; detail: that length
    Short,               // payload and CRC cut short; detail: bytes read, expected: announced
    CrcFailure,          // the CRC over the frame does not check
    Silent,              // the unit left the request unanswered
    Spoiled,             // the unit sent bytes that are no clean frame (the raw bytes follow)
};

struct FrameRecord {
    FrameDirection direction = FrameDirection::ToUnit;
    uint8_t command = 0;  // the request's command: what a response was expected to answer
    int attempt = 0;      // 1-3 within a transaction; 0 when the writer cannot know
    FrameOutcome outcome = FrameOutcome::Sent;
    int detail = 0;
    int expected = 0;
    size_t noise = 0;                    // bytes dropped before the start byte
    std::span<const uint8_t> payload{};  // the payload as sent or received, so far as it came
};

// "   103.4 << Enquire          1 good                 04 12 ..." for a record `elapsed` after
// the trace began; no line end.
std::string FormatTraceLine(std::chrono::nanoseconds elapsed, const FrameRecord& record);

// "  3012.4 -- port 1 opened: /dev/ttyUSB0" for something that befell the serial device rather
// than a frame, `elapsed` after the trace began; no line end.
std::string FormatTraceNote(std::chrono::nanoseconds elapsed, std::string_view text);

// The comment lines that open a trace, each ending in a line end: who wrote it (`side`, such
// as "keelsong" or "orvane-sim") and when it began, on the UTC clock, to the millisecond.
std::string FormatTraceHeader(std::string_view side, std::chrono::system_clock::time_point began);

}  // namespace keelsong
