#include "app/link/comm.h"

#include <algorithm>
#include <string>

#include "app/shell/text_format.h"
#include "protocol/crc.h"

namespace keelsong {

int SerialLink::TransmitFrame(uint8_t command, uint16_t length, const uint8_t* payload) {
    const std::span<const uint8_t> bytes =
        payload ? std::span<const uint8_t>(payload, length) : std::span<const uint8_t>();
    FrameRecord record{.direction = FrameDirection::ToUnit, .command = command, .payload = bytes};
    if (bytes.size() != length) {
        record.outcome = FrameOutcome::TransmitIncomplete;
        Trace(record);
        ShowFailure("Message Transmit Incomplete!");
        return 0;
    }
    const size_t frame_length = BuildFrame(command, bytes, request_);
    if (frame_length == 0) {
        record.outcome = FrameOutcome::NotSentTooLong;
        Trace(record);
        ShowFailure("Message too long to transmit!");
        return 0;
    }
    Checked(port_.FlushInput());
    const int written =
        Checked(port_.Write(std::span<const uint8_t>(request_.data(), frame_length)));
    record.detail = written;
    if (written < 0) {
        record.outcome = FrameOutcome::TransmitError;
        Trace(record);
        ShowFailure(FormatText("Com-port Transmit Error, Code: %d", written));
        return written;
    }
    if (static_cast<size_t>(written) < frame_length) {
        record.outcome = FrameOutcome::TransmitIncomplete;
        Trace(record);
        ShowFailure("Message Transmit Incomplete!");
        return 0;
    }
    record.outcome = FrameOutcome::Sent;
    Trace(record);
    return written;
}

int SerialLink::HuntForStartByte(size_t& noise) {
    const SerialPort::Clock::time_point deadline = port_.DeadlineFromNow();
    for (;; ++noise) {
        if (SerialPort::Clock::now() >= deadline) {
            return 0;
        }
        const int got = Checked(port_.ReadUntil(std::span<uint8_t>(response_.data(), 1), deadline));
        if (got != 1 || response_[0] == kStartByte) {
            return got;
        }
    }
}

SerialLink::Reception SerialLink::ReadResponse(uint8_t command) {
    Reception got;
    const int hunt = HuntForStartByte(got.noise);
    if (hunt <= 0) {
        got.outcome = hunt == 0 ? FrameOutcome::TimeOut : FrameOutcome::ReadError;
        got.detail = hunt;
        return got;
    }
    const int header =
        Checked(port_.Read(std::span<uint8_t>(response_.data() + 1, kFrameHeaderSize - 1)));
    if (header < 0) {
        got.outcome = FrameOutcome::ReadError;
        got.detail = header;
        return got;
    }
    if (header < static_cast<int>(kFrameHeaderSize - 1)) {
        got.outcome = FrameOutcome::HeaderTimeOut;
        return got;
    }
    if (response_[1] != command) {
        got.outcome = FrameOutcome::WrongCommand;
        got.detail = response_[1];
        return got;
    }

    const size_t payload = ReadLe16(&response_[2]);
    if (payload > kMaxResponsePayload) {
        got.outcome = FrameOutcome::TooLong;
        got.detail = static_cast<int>(payload);
        return got;
    }
    const size_t rest = payload + kFrameCrcSize;
    const int body =
        Checked(port_.Read(std::span<uint8_t>(response_.data() + kFrameHeaderSize, rest)));
    if (body < static_cast<int>(rest)) {
        got.outcome = FrameOutcome::Short;
        got.detail = std::max(body, 0);
        got.expected = static_cast<int>(rest);
        got.payload_read = std::min<size_t>(got.detail, payload);
        return got;
    }
    got.payload_read = payload;
    got.outcome = CrcOf(std::span<const uint8_t>(response_.data(), kFrameHeaderSize + rest)) == 0
                      ? FrameOutcome::Good
                      : FrameOutcome::CrcFailure;
    return got;
}

int SerialLink::ReceiveResponse(uint8_t command) {
    const Reception got = ReadResponse(command);
    Trace(
        {.direction = FrameDirection::FromUnit,
         .command = command,
         .outcome = got.outcome,
         .detail = got.detail,
         .expected = got.expected,
         .noise = got.noise,
         .payload = std::span<const uint8_t>(response_.data() + kPayloadOffset, got.payload_read)});
    switch (got.outcome) {
        case FrameOutcome::Good:
            return static_cast<int>(got.payload_read + kFrameOverhead);
        case FrameOutcome::ReadError:
            ShowFailure(FormatText("Com-port Read Error, Code: %d", got.detail));
            return got.detail;
        case FrameOutcome::HeaderTimeOut:
            ShowFailure("Read Timeout!");
            return 0;
        case FrameOutcome::WrongCommand:
            ShowFailure("Response does not match command!");
            return 0;
        case FrameOutcome::TooLong:
            ShowFailure("Response Corrupted");
            return 0;
        case FrameOutcome::Short:
            ShowFailure("Full response not received!");
            return 0;
        case FrameOutcome::CrcFailure:
            ShowFailure("Response Corrupted (CRC Failure)!");
            return 0;
        default:
            ShowFailure("No Response Received!");
            return 0;
    }
}

int SerialLink::SendCommand(uint8_t command, uint16_t length, const uint8_t* payload) {
    if (transaction_running_) {
        // Its frames would run into those of the transaction waiting for its answer, and its
        // answer would overwrite the one that transaction is about to read.
        // Traced without an attempt: the one under way is the other transaction's.
        if (trace_) {
            trace_->Record({.command = command, .outcome = FrameOutcome::NotSentBusy});
        }
        std::string name(CommandName(command));
        ShowFailure(FormatText(
            "%s not sent: another exchange with the unit is under way",
            name.empty() ? FormatText("Command 0x%02X", command).c_str() : name.c_str()));
        return 0;
    }
    failure_.clear();
    struct Running {
        SerialLink& link;
        ~Running() {
            link.transaction_running_ = false;
            link.attempt_ = 0;
        }
    } running{*this};
    transaction_running_ = true;

    int result = 0;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        attempt_ = attempt;
        status_.Activity().idle_seconds = 0;
        result = TransmitFrame(command, length, payload);
        if (result <= 0) {
            continue;
        }
        platform_.Delay(kResponsePauseSeconds);
        result = ReceiveResponse(command);
        if (result > 0) {
            break;
        }
    }
    if (result > 0) {
        status_.Activity().failed_polls = 0;
    }
    return result;
}

int SerialLink::SendCommand(Command command, std::span<const uint8_t> payload) {
    if (payload.size() > 0xFFFF) {
        ShowFailure("Message too long to transmit!");
        return 0;
    }
    return SendCommand(CommandCode(command), static_cast<uint16_t>(payload.size()),
                       payload.empty() ? nullptr : payload.data());
}

void SerialLink::ShowFailure(std::string text) {
    status_.ShowStatusMessage(false, text);
    failure_ = std::move(text);
}

std::span<const uint8_t> SerialLink::ResponsePayload() const {
    const size_t length = std::min<size_t>(ReadLe16(&response_[2]), kMaxResponsePayload);
    return std::span<const uint8_t>(response_.data() + kPayloadOffset, length);
}

void SerialLink::ClosePort() {
    port_.Close();
    settings_.open = 0;
    device_lost_ = false;
}

void SerialLink::CheckDevice() {
    if (port_.IsOpen()) {
        Checked(port_.CheckLine());
    }
}

int SerialLink::Checked(int result) {
    if (result == kSerialDeviceGone && port_.IsOpen()) {
        port_.CloseLost();
        // A search or a connection not yet made has its own way of telling the user.
        device_lost_ = settings_.open != 0;
    }
    return result;
}

}  // namespace keelsong
