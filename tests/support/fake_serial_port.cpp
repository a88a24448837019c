#include "support/fake_serial_port.h"

#include <algorithm>

namespace keelsong::testing {

int FakeSerialPort::Open(int port_number) {
    opened_port_ = port_number;
    open_ = open_result_ == 0;
    return open_result_;
}

int FakeSerialPort::FlushInput() {
    ++flushes_;
    incoming_.clear();
    return open_ ? 0 : kSerialNotOpen;
}

int FakeSerialPort::Write(std::span<const uint8_t> bytes) {
    if (!open_) {
        return kSerialNotOpen;
    }
    int result = static_cast<int>(bytes.size());
    if (!write_results_.empty()) {
        result = write_results_.front();
        write_results_.pop_front();
    }
    if (result > 0) {
        const auto sent = bytes.first(std::min(bytes.size(), static_cast<size_t>(result)));
        written_.emplace_back(sent.begin(), sent.end());
        if (responder_ && sent.size() == bytes.size()) {
            const std::vector<uint8_t> answer = responder_(sent);
            incoming_.insert(incoming_.end(), answer.begin(), answer.end());
        }
    }
    return result;
}

int FakeSerialPort::ReadUntil(std::span<uint8_t> buffer, Clock::time_point /*deadline*/) {
    ++reads_;
    if (!open_) {
        return kSerialNotOpen;
    }
    if (read_error_) {
        return *read_error_;
    }
    if (endless_noise_) {
        std::fill(buffer.begin(), buffer.end(), *endless_noise_);
        return static_cast<int>(buffer.size());
    }
    const size_t n = std::min(buffer.size(), incoming_.size());
    std::copy_n(incoming_.begin(), n, buffer.begin());
    incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int>(n);
}

}  // namespace keelsong::testing
