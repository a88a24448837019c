#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace keelsong::testing {

// An in-memory serial port. Bytes the "unit" sends wait in a queue; a read takes what is
// there and returns at once (the time-out is spent instantly). A responder, when set, answers
// every written frame by queueing bytes, like a unit on the far side of the line.
class FakeSerialPort final : public SerialPort {
  public:
    using Responder = std::function<std::vector<uint8_t>(std::span<const uint8_t> written)>;

    int Open(int port_number) override;
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    std::string DescribePort(int number) const override {
        return "fake port " + std::to_string(number);
    }
    void SetTimeout(double seconds) override { timeout_ = seconds; }
    double Timeout() const override { return timeout_; }
    int FlushInput() override;
    int Write(std::span<const uint8_t> bytes) override;
    int ReadUntil(std::span<uint8_t> buffer, Clock::time_point deadline) override;

    // Script.
    void Queue(std::span<const uint8_t> bytes) {
        incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
    }
    void SetResponder(Responder responder) { responder_ = std::move(responder); }
    // Results of the next writes: a negative error, or a count of bytes that go out.
    void QueueWriteResult(int result) { write_results_.push_back(result); }
    // Every read fails with this code (or not, when nullopt).
    void SetReadError(std::optional<int> code) { read_error_ = code; }
    // Reads are answered with this byte forever, never the start byte: a line full of noise.
    void SetEndlessNoise(std::optional<uint8_t> byte) { endless_noise_ = byte; }
    void SetOpenResult(int result) { open_result_ = result; }

    // Inspection.
    const std::vector<std::vector<uint8_t>>& Written() const { return written_; }
    int Flushes() const { return flushes_; }
    int Reads() const { return reads_; }
    int OpenedPort() const { return opened_port_; }

  private:
    bool open_ = true;
    int open_result_ = 0;
    int opened_port_ = 0;
    double timeout_ = 0.6;
    std::deque<uint8_t> incoming_;
    std::deque<int> write_results_;
    std::optional<int> read_error_;
    std::optional<uint8_t> endless_noise_;
    Responder responder_;
    std::vector<std::vector<uint8_t>> written_;
    int flushes_ = 0;
    int reads_ = 0;
};

}  // namespace keelsong::testing
