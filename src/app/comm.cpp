#include "app/comm.h"

#include "app/text_format.h"
#include "protocol/crc.h"

namespace keelsong {

int SerialLink::TransmitFrame(uint8_t command, uint16_t length, const uint8_t* payload) {
    const std::span<const uint8_t> bytes =
        payload ? std::span<const uint8_t>(payload, length) : std::span<const uint8_t>();
    if (bytes.size() != length) {
        status_.ShowStatusMessage(false, "Message Transmit Incomplete!");
        return 0;
    }
    const size_t frame_length = BuildFrame(command, bytes, request_);
    if (frame_length == 0) {
        status_.ShowStatusMessage(false, "Message too long to transmit!");
        return 0;
    }
    Checked(port_.FlushInput());
    const int written =
        Checked(port_.Write(std::span<const uint8_t>(request_.data(), frame_length)));
    if (written < 0) {
        status_.ShowStatusMessage(false, FormatText("Com-port Transmit Error, Code: %d", written));
        return written;
    }
    if (static_cast<size_t>(written) < frame_length) {
        status_.ShowStatusMessage(false, "Message Transmit Incomplete!");
        return 0;
    }
    return written;
}

int SerialLink::HuntForStartByte() {
    const SerialPort::Clock::time_point deadline = port_.DeadlineFromNow();
    for (;;) {
        if (SerialPort::Clock::now() >= deadline) {
            return 0;
        }
        const int got = Checked(port_.ReadUntil(std::span<uint8_t>(response_.data(), 1), deadline));
        if (got != 1 || response_[0] == kStartByte) {
            return got;
        }
    }
}

int SerialLink::ReceiveResponse(uint8_t command) {
    const int hunt = HuntForStartByte();
    if (hunt == 0) {
        status_.ShowStatusMessage(false, "No Response Received!");
        return 0;
    }
    if (hunt < 0) {
        status_.ShowStatusMessage(false, FormatText("Com-port Read Error, Code: %d", hunt));
        return hunt;
    }

    const int header =
        Checked(port_.Read(std::span<uint8_t>(response_.data() + 1, kFrameHeaderSize - 1)));
    if (header < 0) {
        status_.ShowStatusMessage(false, FormatText("Com-port Read Error, Code: %d", header));
        return header;
    }
    if (header < static_cast<int>(kFrameHeaderSize - 1)) {
        status_.ShowStatusMessage(false, "Read Timeout!");
        return 0;
    }
    if (response_[1] != command) {
        status_.ShowStatusMessage(false, "Response does not match command!");
        return 0;
    }

    const size_t rest = size_t{ReadLe16(&response_[2])} + kFrameCrcSize;
    if (rest > kMaxResponsePayload + kFrameCrcSize) {
        status_.ShowStatusMessage(false, "Response Corrupted");
        return 0;
    }
    const int body =
        Checked(port_.Read(std::span<uint8_t>(response_.data() + kFrameHeaderSize, rest)));
    if (body < static_cast<int>(rest)) {
        status_.ShowStatusMessage(false, "Full response not received!");
        return 0;
    }

    const size_t frame_length = kFrameHeaderSize + rest;
    if (CrcOf(std::span<const uint8_t>(response_.data(), frame_length)) != 0) {
        status_.ShowStatusMessage(false, "Response Corrupted (CRC Failure)!");
        return 0;
    }
    return static_cast<int>(frame_length);
}

int SerialLink::SendCommand(uint8_t command, uint16_t length, const uint8_t* payload) {
    int result = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
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
        status_.ShowStatusMessage(false, "Message too long to transmit!");
        return 0;
    }
    return SendCommand(CommandCode(command), static_cast<uint16_t>(payload.size()),
                       payload.empty() ? nullptr : payload.data());
}

std::span<const uint8_t> SerialLink::ResponsePayload() const {
    const size_t length = std::min<size_t>(ReadLe16(&response_[2]), kMaxResponsePayload);
    return std::span<const uint8_t>(response_.data() + kPayloadOffset, length);
}

void SerialLink::ClosePort() {
    if (port_.IsOpen()) {
        port_.Close();
    }
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
        port_.Close();
        // A search or a connection not yet made has its own way of telling the user.
        device_lost_ = settings_.open != 0;
    }
    return result;
}

}  // namespace keelsong
