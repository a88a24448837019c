#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/link/frame_trace.h"
#include "platform/serial_port.h"

namespace keelsong {

// The link's serial port as the program uses it: every call goes to the real port, and while a
// trace is set, what befalls the device goes to the trace as well: a port opened (on which
// device), not opened (and why), closed or lost with its device, and serial devices that
// appear or vanish between two listings. With the frames, that tells an unplugged unit's story.
class TracedPort final : public SerialPort {
  public:
    explicit TracedPort(SerialPort& port) : port_(port) {}

    // nullptr ends the notes. The trace must outlive the port or be unset first.
    void SetTrace(FrameTrace* trace);
    // The open port's device went away: closes the port and says so.
    void CloseLost();

    int Open(int port_number) override;
    void Close() override;
    bool IsOpen() const override { return port_.IsOpen(); }
    std::string DescribePort(int number) const override { return port_.DescribePort(number); }
    std::string DeviceIdentity(int number) const override { return port_.DeviceIdentity(number); }
    std::vector<PresentPort> PresentPorts() const override;
    std::string ExplainOpenFailure(int number, int code) const override {
        return port_.ExplainOpenFailure(number, code);
    }
    void SetTimeout(double seconds) override { port_.SetTimeout(seconds); }
    double Timeout() const override { return port_.Timeout(); }
    int CheckLine() override { return port_.CheckLine(); }
    int FlushInput() override { return port_.FlushInput(); }
    int Write(std::span<const uint8_t> bytes) override { return port_.Write(bytes); }
    int ReadUntil(std::span<uint8_t> buffer, Clock::time_point deadline) override {
        return port_.ReadUntil(buffer, deadline);
    }

  private:
    void Note(const std::string& text) const;

    SerialPort& port_;
    FrameTrace* trace_ = nullptr;
    int number_ = 0;      // of the port open now
    std::string device_;  // its device as it was when opened, for when it has gone
    // What the last listing held, to tell the devices that came and went since; a listing is
    // a question the program asks, so remembering its answer changes nothing it sees.
    mutable std::optional<std::vector<PresentPort>> listed_;
};

}  // namespace keelsong
