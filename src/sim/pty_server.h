#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/line_file.h"
#include "protocol/trace_line.h"
#include "sim/unit_simulator.h"

namespace keelsong::sim {

// Time one byte takes on the line: 10 bits (start, 8 data, stop) at 19200 baud.
inline constexpr std::chrono::nanoseconds kLineByteTime{520833};

struct PtyServerOptions {
    // Pace the traffic at the line rate: a request counts as arrived when its last byte would
    // have crossed the line, and the answer leaves no faster than the line carries it.
    bool pacing = true;
    // When above 0, the terminal is published as <settings_folder>/ports/COM<port_number>.
    int port_number = 0;
    std::string settings_folder;
    // A partial request that gets no further byte for this long is given up one byte at a time,
    // so that a stray start byte cannot hold back the requests behind it.
    std::chrono::milliseconds partial_request_timeout{50};
    // When not empty, a protocol trace from the unit's side goes into this file: a line for
    // every request received (or refused as a bad frame) and for every answer sent or left out.
    std::string trace_path{};
};

// One request as the unit received it, and what it sent back.
struct LoggedRequest {
    uint8_t command = 0;
    std::vector<uint8_t> payload;
    std::chrono::steady_clock::time_point received;  // when its last byte crossed the line
    std::vector<uint8_t> response;                   // after faults; empty when silent
};

// Serves one UnitSimulator on a pseudo-terminal from a background thread. The client opens
// Path() as it would a serial device. Tests reach the simulator while it serves through
// WithSimulator, and read what arrived through the request log.
class PtyServer {
  public:
    using SteadyClock = std::chrono::steady_clock;

    explicit PtyServer(PtyServerOptions options = {}, UnitSimulator simulator = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the terminal, publishes it when asked and starts serving. On failure returns false
    // with the reason in `error` (when given) and leaves nothing behind.
    bool Start(std::string* error = nullptr);
    // Stops serving, closes the terminal and removes the published link. Idempotent.
    void Stop();

    // The device the client opens (the terminal's slave side).
    const std::string& Path() const { return path_; }
    // The published link, or empty.
    const std::string& LinkPath() const { return link_path_; }

    // Runs f(simulator) under the lock that the serving thread takes for each request.
    template <class F>
    auto WithSimulator(F&& f) {
        std::lock_guard lock(mutex_);
        return std::forward<F>(f)(simulator_);
    }

    void SetPacing(bool pacing);

    std::vector<LoggedRequest> RequestLog() const;
    size_t RequestCount() const;
    void ClearRequestLog();
    // Waits until the log holds at least `count` requests; false on time-out.
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;

    // Streams `pattern` over and over at the line rate, between any answers, until stopped:
    // a line that never falls quiet. Start bytes are taken out of the pattern.
    void StartNoiseStream(std::vector<uint8_t> pattern = {0x55, 0x00, 0xFF, 0xAA});
    void StopNoiseStream();

    // The device goes away as if unplugged: the terminal is closed, so the client's reads and
    // writes fail, and the published link is removed. Returns once it is done.
    void Unplug();
    bool Unplugged() const;
    // The unplugged unit, with everything it held, comes back on a new terminal under another
    // device name (as a replugged USB device may), published again when it was before.
    bool PlugIn(std::string* error = nullptr);

  private:
    struct PendingRequest {
        std::vector<uint8_t> frame;
        SteadyClock::time_point arrival;
        size_t noise = 0;  // bytes dropped before its start byte
    };
    struct OutgoingByte {
        uint8_t byte;
        SteadyClock::time_point due;
    };

    struct Terminal {
        int master = -1;
        int slave = -1;
        std::string path;
    };

    static bool OpenPty(Terminal& terminal, std::string* error);
    bool OpenTerminal(std::string* error);
    bool Publish(std::string* error);
    void Unpublish();
    void CloseTerminal();
    void Wake();

    // The serving thread and what only it touches.
    void Serve();
    void ReceiveAvailable();
    void DropReceived(size_t count);
    void ScanReceived(SteadyClock::time_point now);
    void AnswerArrived(SteadyClock::time_point now);
    void FeedNoise(SteadyClock::time_point now, const std::vector<uint8_t>& pattern);
    void Schedule(const std::vector<uint8_t>& bytes, SteadyClock::time_point earliest);
    void TransmitDue(SteadyClock::time_point now);
    SteadyClock::time_point NextDeadline(SteadyClock::time_point now) const;
    void WaitUntil(SteadyClock::time_point deadline);

    // The trace, when one was asked for; only the serving thread writes it once started.
    void Trace(SteadyClock::time_point when, const FrameRecord& record);
    void TraceBadFrame(size_t offset, bool too_long);
    void TraceAnswer(const PendingRequest& request, const Reply& reply);

    LineFile trace_;
    SteadyClock::time_point trace_began_{};
    size_t noise_dropped_ = 0;  // bytes before the next request's start byte

    std::vector<uint8_t> rx_;
    std::vector<SteadyClock::time_point> rx_crossed_;  // when each byte of rx_ crossed the line
    std::deque<PendingRequest> pending_;
    std::deque<OutgoingByte> tx_;
    SteadyClock::time_point line_in_free_{};
    SteadyClock::time_point line_out_free_{};
    size_t noise_position_ = 0;
    bool serve_pacing_ = true;

    PtyServerOptions options_;
    std::string path_;
    std::string link_path_;
    int master_fd_ = -1;
    int slave_fd_ = -1;  // held so that the master never sees a hang-up between clients
    int wake_fd_ = -1;
    std::thread thread_;

    // Shared with the serving thread, under mutex_.
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    UnitSimulator simulator_;
    std::vector<LoggedRequest> log_;
    std::vector<uint8_t> noise_pattern_;
    bool noise_on_ = false;
    bool pacing_ = true;
    bool stop_requested_ = false;
    bool unplug_requested_ = false;
    bool unplugged_ = false;
    bool plug_in_requested_ = false;
    Terminal plugged_in_;  // the terminal the serving thread takes on plugging in
};

}  // namespace keelsong::sim
