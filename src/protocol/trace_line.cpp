#include "protocol/trace_line.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "protocol/commands.h"

namespace keelsong {

namespace {

constexpr int kCommandWidth = 15;  // "RestoreSettings"
constexpr int kOutcomeWidth = 20;

// The time column every line of a trace begins with, in milliseconds to the tenth.
std::string TimeColumn(std::chrono::nanoseconds elapsed) {
    const long long tenths = elapsed.count() / 100'000;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%8lld.%lld", tenths / 10, tenths % 10);
    return std::string(text, static_cast<size_t>(std::max(length, 0)));
}

std::string OutcomeText(const FrameRecord& record) {
    char text[64];
    switch (record.outcome) {
        case FrameOutcome::Sent:
            return "sent";
        case FrameOutcome::Good:
            return "good";
        case FrameOutcome::NotSentBusy:
            return "not-sent:busy";
        case FrameOutcome::NotSentTooLong:
            return "not-sent:too-long";
        case FrameOutcome::TransmitError:
            std::snprintf(text, sizeof text, "transmit-error:%d", record.detail);
            return text;
        case FrameOutcome::TransmitIncomplete:
            std::snprintf(text, sizeof text, "transmit-incomplete:%d", record.detail);
            return text;
        case FrameOutcome::TimeOut:
            return "time-out";
        case FrameOutcome::ReadError:
            std::snprintf(text, sizeof text, "read-error:%d", record.detail);
            return text;
        case FrameOutcome::HeaderTimeOut:
            return "header-time-out";
        case FrameOutcome::WrongCommand:
            std::snprintf(text, sizeof text, "wrong-command:0x%02X", record.detail & 0xFF);
            return text;
        case FrameOutcome::TooLong:
            std::snprintf(text, sizeof text, "too-long:%d", record.detail);
            return text;
        case FrameOutcome::Short:
            std::snprintf(text, sizeof text, "short:%d/%d", record.detail, record.expected);
            return text;
        case FrameOutcome::CrcFailure:
            return "crc-failure";
        case FrameOutcome::Silent:
            return "silent";
        case FrameOutcome::Spoiled:
            return "spoiled";
    }
    return "?";
}

}  // namespace

std::string FormatTraceNote(std::chrono::nanoseconds elapsed, std::string_view text) {
    std::string line = TimeColumn(elapsed);
    line += " -- ";
    line += text;
    return line;
}

std::string FormatTraceLine(std::chrono::nanoseconds elapsed, const FrameRecord& record) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string outcome = OutcomeText(record);
    if (record.noise > 0) {
        outcome += ",noise:" + std::to_string(record.noise);
    }
    std::string command(CommandName(record.command));
    if (command.empty()) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", record.command);
        command = code;
    }
    const char attempt =
        record.attempt > 0 && record.attempt < 10 ? static_cast<char>('0' + record.attempt) : '-';
    char head[160];
    const int length =
        std::snprintf(head, sizeof head, " %s %-*s %c %-*s",
                      record.direction == FrameDirection::ToUnit ? ">>" : "<<", kCommandWidth,
                      command.c_str(), attempt, kOutcomeWidth, outcome.c_str());
    std::string line = TimeColumn(elapsed);
    line.append(head, static_cast<size_t>(std::max(length, 0)));
    line.reserve(line.size() + 3 * record.payload.size());
    for (const uint8_t byte : record.payload) {
        line += ' ';
        line += kHex[byte >> 4];
        line += kHex[byte & 0x0F];
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

std::string FormatTraceHeader(std::string_view side, std::chrono::system_clock::time_point began) {
    const auto since_epoch = began.time_since_epoch();
    const std::time_t seconds =
        static_cast<std::time_t>(std::chrono::floor<std::chrono::seconds>(since_epoch).count());
    const auto millis = std::chrono::floor<std::chrono::milliseconds>(since_epoch).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char when[64];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &utc);
    char first[160];
    std::snprintf(first, sizeof first,
                  "# Orvane protocol trace written by %.*s, began %s.%03d UTC\n",
                  static_cast<int>(side.size()), side.data(), when, static_cast<int>(millis));
    return std::string(first) +
           "# ms since it began; >> request to the unit, << response from it; attempt 1-3 (- "
           "where unknown); outcome; payload in hex\n";
}

}  // namespace keelsong
