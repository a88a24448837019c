#pragma once

#include <filesystem>
#include <string>

#include "platform/posix_serial_port.h"

namespace keelsong::cli {

// A serial port that stands for one device given by its path, whatever port number the program
// asks for: --device in place of a port number.
class DevicePort final : public SerialPort {
  public:
    DevicePort(std::string path, PortDirectory directory)
        : path_(std::move(path)), port_(std::move(directory)) {}

    // A path with nothing behind it is no device, as a port number with nothing behind it.
    int Open(int /*port_number*/) override {
        std::error_code error;
        return std::filesystem::exists(path_, error) ? port_.OpenPath(path_) : kSerialNoDevice;
    }
    void Close() override { port_.Close(); }
    bool IsOpen() const override { return port_.IsOpen(); }
    std::string DescribePort(int /*number*/) const override { return path_; }
    std::string DeviceIdentity(int /*number*/) const override {
        return port_.Directory().StableNameOf(path_);
    }
    void SetTimeout(double seconds) override { port_.SetTimeout(seconds); }
    double Timeout() const override { return port_.Timeout(); }
    int FlushInput() override { return port_.FlushInput(); }
    int Write(std::span<const uint8_t> bytes) override { return port_.Write(bytes); }
    int ReadUntil(std::span<uint8_t> buffer, Clock::time_point deadline) override {
        return port_.ReadUntil(buffer, deadline);
    }

  private:
    std::string path_;
    PosixSerialPort port_;
};

}  // namespace keelsong::cli
