#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace keelsong {

// Negative results of the serial port operations. Each names a cause the user can act on.
enum SerialError : int {
    kSerialNoDevice = -2,          // no device behind that port number
    kSerialNotOpen = -3,           // no port is open
    kSerialDeviceGone = -4,        // the device went away (unplugged, or its driver hung up)
    kSerialBusy = -5,              // another program holds the port
    kSerialPermissionDenied = -6,  // the user may not open the device
    kSerialConfigFailed = -7,      // the device refused the line settings
    kSerialIoError = -8,           // any other system error
};

// A short sentence for a serial error, for the status line or a message.
std::string SerialErrorText(int code);

// A serial device present now, under the lowest port number that reaches it.
struct PresentPort {
    int number = 0;
    std::string device;  // the device with every link followed
    // Changes whenever the device is made anew, even under its old name (a unit unplugged and
    // plugged in again), and stays the same while the device is only used.
    uint64_t device_number = 0;
    uint64_t node = 0;
    int64_t made_ns = 0;

    bool operator==(const PresentPort&) const = default;
};

// What the program needs of a serial (COM) port: 19200 baud, 8 data bits, no parity, 1 stop
// bit, raw bytes, and a time-out on every read and write.
class SerialPort {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~SerialPort() = default;

    // Opens port `port_number` with the fixed line settings. 0 on success, a SerialError
    // otherwise. Opening while a port is open closes that one first.
    virtual int Open(int port_number) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // For people: the device that port `number` stands for ("/dev/ttyUSB0",
    // "ports/COM3 -> /dev/pts/4", "no device").
    virtual std::string DescribePort(int number) const = 0;
    // Names the device behind port `number` so that two numbers reaching the same device give
    // the same name; empty when nothing stands behind it or the port cannot tell.
    virtual std::string DeviceIdentity(int /*number*/) const { return {}; }
    // Every serial device that a port number reaches now, in number order; empty when the port
    // cannot tell.
    virtual std::vector<PresentPort> PresentPorts() const { return {}; }
    // The whole reason why port `number` did not open with `code`: for a busy device who holds
    // it, for a denied permission what the user can do about it.
    virtual std::string ExplainOpenFailure(int /*number*/, int code) const {
        return SerialErrorText(code);
    }

    // The time-out of every later read and write, in seconds.
    virtual void SetTimeout(double seconds) = 0;
    virtual double Timeout() const = 0;

    // 0 while the open device is still there, kSerialDeviceGone once it hung up (unplugged),
    // without waiting and without touching the bytes in flight.
    virtual int CheckLine() { return 0; }

    // Discards every received byte not yet read.
    virtual int FlushInput() = 0;

    // Writes the bytes, waiting at most the time-out. The number written (fewer on time-out)
    // or a SerialError.
    virtual int Write(std::span<const uint8_t> bytes) = 0;

    // Reads up to buffer.size() bytes and returns as soon as they are all there, or when
    // `deadline` passes. The number read (0 when none came) or a SerialError.
    virtual int ReadUntil(std::span<uint8_t> buffer, Clock::time_point deadline) = 0;

    // Reads as ReadUntil, waiting at most the time-out.
    int Read(std::span<uint8_t> buffer) { return ReadUntil(buffer, DeadlineFromNow()); }

    Clock::time_point DeadlineFromNow() const {
        return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(Timeout()));
    }
};

}  // namespace keelsong
