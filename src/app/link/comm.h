#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "app/link/frame_trace.h"
#include "app/link/traced_port.h"
#include "app/shell/status_line.h"
#include "platform/platform.h"
#include "platform/serial_port.h"
#include "protocol/commands.h"
#include "protocol/frame.h"

namespace keelsong {

// The serial port the link uses and how. The settings store copies it in and out whole.
struct ConnectionSettings {
    int port_number = 0;
    int open = 0;               // 1 while a unit is connected on the port
    uint32_t timeout_ms = 600;  // every read and write waits at most this long

    bool operator==(const ConnectionSettings&) const = default;
};

// The serial link to the unit: frames a request, writes it, reads and checks the response,
// and retries the whole exchange up to three times. Every outcome is told in the status line,
// and to the trace when one is set. One request buffer and one response buffer serve every
// transaction; transactions never overlap: every caller runs on the user-interface thread,
// and a transaction asked for while another waits (from a timer that ticks in its pause)
// is refused.
class SerialLink {
  public:
    static constexpr int kAttempts = 3;

    SerialLink(SerialPort& port, Platform& platform, StatusLine& status)
        : port_(port), platform_(platform), status_(status) {}

    // Builds the request frame and writes it. The bytes written (length + 6), a negative port
    // error code, or 0 when fewer bytes went out (or the payload does not fit the buffer).
    int TransmitFrame(uint8_t command, uint16_t length, const uint8_t* payload);

    // Reads one response into ResponseFrame and checks it against `command`. The frame length
    // on success; 0 on a protocol failure; a negative port error code when the port failed
    // while hunting for the start byte or reading the header.
    int ReceiveResponse(uint8_t command);

    // One transaction: up to three attempts, each transmit, pause 0.1 s, receive. A positive
    // result is the response frame length, and its payload lies in ResponseFrame from offset 4.
    // Called while another transaction runs, it sends nothing, says so and gives 0.
    int SendCommand(uint8_t command, uint16_t length, const uint8_t* payload);
    int SendCommand(Command command, std::span<const uint8_t> payload = {});

    // The last response as received. Valid until the next transaction.
    const std::array<uint8_t, kResponseBufferSize>& ResponseFrame() const { return response_; }
    // The payload of the last successful response.
    std::span<const uint8_t> ResponsePayload() const;
    // What the status line was told of the last transaction's failure (empty when it got its
    // answer), for an operation that has nothing to add to it.
    const std::string& Failure() const { return failure_; }

    bool IsConnected() const { return settings_.open != 0; }
    // Closes the port and forgets a lost device.
    void ClosePort();

    // True once the device of the connected unit went away (unplugged): the port was closed at
    // that moment, so every later exchange fails at once, and the connection still counts as
    // open until the connection layer ends it. ClosePort clears it.
    bool DeviceLost() const { return device_lost_; }
    // Asks the port, without waiting, whether its device is still there.
    void CheckDevice();

    ConnectionSettings& Settings() { return settings_; }
    const ConnectionSettings& Settings() const { return settings_; }
    // The port, as traced: what befalls its device is in the trace with the frames.
    SerialPort& Port() { return port_; }

    // Every frame written and every response read or failed from now on is recorded there
    // too, and every port opened, closed or lost; nullptr ends that. The trace must outlive
    // the link or be unset first.
    void SetTrace(FrameTrace* trace) {
        trace_ = trace;
        port_.SetTrace(trace);
    }

  private:
    void ShowFailure(std::string text);
    // Passes a port result through; a device that went away closes the port.
    int Checked(int result);

    // What one reading of a response came to; the payload bytes read lie in response_ from
    // offset 4.
    struct Reception {
        FrameOutcome outcome = FrameOutcome::TimeOut;
        int detail = 0;    // the port's error code, the command answered, the length announced
        int expected = 0;  // payload and CRC bytes announced, when they were cut short
        size_t noise = 0;  // bytes dropped before the start byte
        size_t payload_read = 0;
    };

    // Reads one byte at a time until the start byte, counting the bytes dropped. Bounded by
    // the time-out from the start of the hunt, so a line that streams noise without pause
    // cannot hold the program.
    int HuntForStartByte(size_t& noise);
    Reception ReadResponse(uint8_t command);
    void Trace(FrameRecord record) const {
        if (trace_) {
            record.attempt = attempt_;
            trace_->Record(record);
        }
    }

    TracedPort port_;
    Platform& platform_;
    StatusLine& status_;
    ConnectionSettings settings_;
    bool device_lost_ = false;
    std::array<uint8_t, kRequestBufferSize> request_{};
    std::array<uint8_t, kResponseBufferSize> response_{};
    FrameTrace* trace_ = nullptr;
    bool transaction_running_ = false;
    int attempt_ = 0;  // of the transaction under way; 0 outside one
    std::string failure_;
};

}  // namespace keelsong
