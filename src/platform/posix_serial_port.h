#pragma once

#include "platform/port_directory.h"
#include "platform/serial_port.h"

namespace keelsong {

// SerialPort on a POSIX terminal device: raw 19200 8N1, non-blocking descriptor, and poll()
// against a deadline for every read and write, so a read returns the moment its bytes are
// there. The port is locked with flock() so two programs cannot talk over each other.
class PosixSerialPort final : public SerialPort {
  public:
    explicit PosixSerialPort(PortDirectory directory) : directory_(std::move(directory)) {}
    ~PosixSerialPort() override { Close(); }
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    int Open(int port_number) override;
    // Opens a device by path, bypassing the port numbers (tools and tests).
    int OpenPath(const std::string& path);
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    std::string DescribePort(int number) const override { return directory_.Describe(number); }
    std::string DeviceIdentity(int number) const override {
        return directory_.DeviceIdentity(number);
    }
    std::vector<PresentPort> PresentPorts() const override { return directory_.PresentPorts(); }
    std::string ExplainOpenFailure(int number, int code) const override;
    void SetTimeout(double seconds) override { timeout_seconds_ = seconds < 0 ? 0 : seconds; }
    double Timeout() const override { return timeout_seconds_; }
    int CheckLine() override;
    int FlushInput() override;
    int Write(std::span<const uint8_t> bytes) override;
    int ReadUntil(std::span<uint8_t> buffer, Clock::time_point deadline) override;

    const PortDirectory& Directory() const { return directory_; }

  private:
    PortDirectory directory_;
    int fd_ = -1;
    double timeout_seconds_ = 0.6;
};

// The SerialError for an errno value of open(), read() or write().
int SerialErrorFromErrno(int error_number);

}  // namespace keelsong
