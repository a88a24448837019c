#include "sim/pty_server.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "protocol/frame.h"
#include "sim/pty_support.h"

namespace keelsong::sim {

namespace {

using detail::CloseFd;
using detail::Fail;

// The serving thread wakes at least this often even when nothing is due.
constexpr std::chrono::milliseconds kIdleWake{250};
// How late the serving thread may wake before a byte stream counts as interrupted.
constexpr std::chrono::milliseconds kStreamSlack{2};

timespec ToTimespec(std::chrono::nanoseconds duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((duration - seconds).count())};
}

}  // namespace

PtyServer::PtyServer(PtyServerOptions options, UnitSimulator simulator)
    : options_(std::move(options)), simulator_(std::move(simulator)), pacing_(options_.pacing) {}

PtyServer::~PtyServer() {
    Stop();
}

bool PtyServer::Start(std::string* error) {
    if (thread_.joinable() || master_fd_ >= 0 || unplugged_) {
        return Fail(error, "the server was already started");
    }
    if (!OpenTerminal(error)) {
        CloseTerminal();
        return false;
    }
    if (options_.port_number > 0 && !Publish(error)) {
        CloseTerminal();
        return false;
    }
    if (!options_.trace_path.empty()) {
        const std::string problem = trace_.Open(options_.trace_path);
        if (!problem.empty()) {
            CloseTerminal();
            Unpublish();
            return Fail(error, "cannot write the trace to " + options_.trace_path + ": " + problem);
        }
        trace_.Write(FormatTraceHeader("orvane-sim", std::chrono::system_clock::now()));
        trace_began_ = SteadyClock::now();
    }
    stop_requested_ = false;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void PtyServer::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_requested_ = true;
    }
    Wake();
    if (thread_.joinable()) {
        thread_.join();
    }
    CloseTerminal();
    Unpublish();
}

void PtyServer::Wake() {
    if (wake_fd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
    }
}

void PtyServer::SetPacing(bool pacing) {
    std::lock_guard lock(mutex_);
    pacing_ = pacing;
}

std::vector<LoggedRequest> PtyServer::RequestLog() const {
    std::lock_guard lock(mutex_);
    return log_;
}

size_t PtyServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return log_.size();
}

void PtyServer::ClearRequestLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

bool PtyServer::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return log_.size() >= count; });
}

void PtyServer::StartNoiseStream(std::vector<uint8_t> pattern) {
    std::erase(pattern, kStartByte);
    {
        std::lock_guard lock(mutex_);
        noise_pattern_ = std::move(pattern);
        noise_on_ = !noise_pattern_.empty();
    }
    Wake();
}

void PtyServer::StopNoiseStream() {
    std::lock_guard lock(mutex_);
    noise_on_ = false;
}

void PtyServer::Serve() {
    std::vector<uint8_t> pattern;
    while (true) {
        bool noise = false;
        bool unplug = false;
        std::optional<Terminal> plug_in;
        {
            std::lock_guard lock(mutex_);
            if (stop_requested_) {
                return;
            }
            unplug = unplug_requested_ && !unplugged_;
            unplug_requested_ = false;
            if (plug_in_requested_) {
                plug_in = plugged_in_;
                plug_in_requested_ = false;
            }
            noise = noise_on_;
            if (noise) {
                pattern = noise_pattern_;
            }
            serve_pacing_ = pacing_;
        }
        if (unplug) {
            CloseFd(master_fd_);
            CloseFd(slave_fd_);
            rx_.clear();
            rx_crossed_.clear();
            pending_.clear();
            tx_.clear();
            {
                std::lock_guard lock(mutex_);
                unplugged_ = true;
            }
            changed_.notify_all();
        }
        if (plug_in) {
            master_fd_ = plug_in->master;
            slave_fd_ = plug_in->slave;
            {
                std::lock_guard lock(mutex_);
                unplugged_ = false;
            }
            changed_.notify_all();
        }
        if (master_fd_ >= 0) {
            const auto now = SteadyClock::now();
            ScanReceived(now);
            AnswerArrived(now);
            TransmitDue(now);
            // Fed after transmitting, so that the next noise byte is queued before the wait.
            if (noise) {
                FeedNoise(now, pattern);
            }
        }
        WaitUntil(NextDeadline(SteadyClock::now()));
    }
}

void PtyServer::ReceiveAvailable() {
    uint8_t buffer[4096];
    while (true) {
        const ssize_t count = ::read(master_fd_, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;
        }
        const auto now = SteadyClock::now();
        const auto start = serve_pacing_ ? std::max(line_in_free_, now) : now;
        for (ssize_t i = 0; i < count; ++i) {
            rx_.push_back(buffer[i]);
            rx_crossed_.push_back(serve_pacing_ ? start + (i + 1) * kLineByteTime : now);
        }
        if (serve_pacing_) {
            line_in_free_ = start + count * kLineByteTime;
        }
        if (static_cast<size_t>(count) < sizeof buffer) {
            return;
        }
    }
}

void PtyServer::DropReceived(size_t count) {
    count = std::min(count, rx_.size());
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(count));
    rx_crossed_.erase(rx_crossed_.begin(),
                      rx_crossed_.begin() + static_cast<std::ptrdiff_t>(count));
}

void PtyServer::ScanReceived(SteadyClock::time_point now) {
    while (!rx_.empty()) {
        const FrameScan scan = ScanFrame(rx_, kMaxRequestPayload);
        noise_dropped_ += scan.offset;
        if (scan.status == FrameScan::Status::Complete) {
            const size_t end = scan.offset + scan.length;
            pending_.push_back(PendingRequest{
                std::vector<uint8_t>(rx_.begin() + static_cast<std::ptrdiff_t>(scan.offset),
                                     rx_.begin() + static_cast<std::ptrdiff_t>(end)),
                rx_crossed_[end - 1], std::exchange(noise_dropped_, 0)});
            DropReceived(end);
        } else if (scan.status == FrameScan::Status::Bad) {
            TraceBadFrame(scan.offset, ReadLe16(&rx_[scan.offset + 2]) > kMaxRequestPayload);
            DropReceived(scan.offset + 1);
        } else {
            // Bytes before the first start byte can never begin a request.
            DropReceived(scan.offset);
            if (rx_.empty() || rx_crossed_.back() + options_.partial_request_timeout > now) {
                return;
            }
            DropReceived(1);
            ++noise_dropped_;
        }
    }
}

void PtyServer::AnswerArrived(SteadyClock::time_point now) {
    while (!pending_.empty() && pending_.front().arrival <= now) {
        const PendingRequest request = std::move(pending_.front());
        pending_.pop_front();
        Reply reply;
        {
            std::lock_guard lock(mutex_);
            reply = simulator_.Respond(request.frame);
            LoggedRequest& entry = log_.emplace_back();
            entry.command = request.frame[1];
            entry.payload.assign(request.frame.begin() + kPayloadOffset,
                                 request.frame.end() - kFrameCrcSize);
            entry.received = request.arrival;
            entry.response = reply.bytes;
        }
        changed_.notify_all();
        TraceAnswer(request, reply);
        Schedule(reply.bytes, request.arrival + reply.delay);
    }
}

void PtyServer::Trace(SteadyClock::time_point when, const FrameRecord& record) {
    if (trace_.IsOpen()) {
        std::string line = FormatTraceLine(when - trace_began_, record);
        line += '\n';
        trace_.Write(line);
    }
}

void PtyServer::TraceBadFrame(size_t offset, bool too_long) {
    if (!trace_.IsOpen()) {
        return;
    }
    const std::span<const uint8_t> frame = std::span<const uint8_t>(rx_).subspan(offset);
    const size_t length = ReadLe16(&frame[2]);
    FrameRecord record{.command = frame[1],
                       .outcome = too_long ? FrameOutcome::TooLong : FrameOutcome::CrcFailure,
                       .detail = static_cast<int>(length),
                       .noise = std::exchange(noise_dropped_, 0)};
    size_t last = offset + kFrameHeaderSize - 1;
    if (!too_long) {
        record.payload = frame.subspan(kPayloadOffset, length);
        last = offset + length + kFrameOverhead - 1;
    }
    Trace(rx_crossed_[last], record);
}

void PtyServer::TraceAnswer(const PendingRequest& request, const Reply& reply) {
    if (!trace_.IsOpen()) {
        return;
    }
    const std::span<const uint8_t> frame = request.frame;
    Trace(request.arrival,
          {.command = frame[1],
           .outcome = FrameOutcome::Good,
           .noise = request.noise,
           .payload = frame.subspan(kPayloadOffset, frame.size() - kFrameOverhead)});
    const std::span<const uint8_t> answer = reply.bytes;
    FrameRecord record{.direction = FrameDirection::FromUnit, .command = frame[1]};
    if (answer.empty()) {
        record.outcome = FrameOutcome::Silent;
    } else if (const FrameScan scan = ScanFrame(answer, kMaxResponsePayload);
               scan.status == FrameScan::Status::Complete && scan.offset == 0 &&
               scan.length == answer.size()) {
        record.command = answer[1];
        record.outcome = FrameOutcome::Sent;
        record.payload = answer.subspan(kPayloadOffset, answer.size() - kFrameOverhead);
    } else {
        record.outcome = FrameOutcome::Spoiled;
        record.payload = answer;
    }
    Trace(request.arrival + reply.delay, record);
}

void PtyServer::Schedule(const std::vector<uint8_t>& bytes, SteadyClock::time_point earliest) {
    if (bytes.empty()) {
        return;
    }
    if (!serve_pacing_) {
        for (uint8_t byte : bytes) {
            tx_.push_back(OutgoingByte{byte, earliest});
        }
        line_out_free_ = std::max(line_out_free_, earliest);
        return;
    }
    // Each byte is handed over when its stop bit would have left, so the client never sees
    // a byte earlier than a real line could have delivered it.
    const auto start = std::max(earliest, line_out_free_);
    for (size_t i = 0; i < bytes.size(); ++i) {
        tx_.push_back(OutgoingByte{bytes[i], start + static_cast<int64_t>(i + 1) * kLineByteTime});
    }
    line_out_free_ = start + static_cast<int64_t>(bytes.size()) * kLineByteTime;
}

void PtyServer::FeedNoise(SteadyClock::time_point now, const std::vector<uint8_t>& pattern) {
    // One byte ahead at a time, so that an answer only waits for the byte on the line.
    if (!tx_.empty() || pattern.empty()) {
        return;
    }
    const uint8_t byte = pattern[noise_position_++ % pattern.size()];
    // Back to back with the byte before, even when this thread woke a little late; only after a
    // real pause does the stream start afresh from now.
    const bool streaming = now - line_out_free_ < kStreamSlack;
    const auto start = streaming ? line_out_free_ : now;
    tx_.push_back(OutgoingByte{byte, start + kLineByteTime});
    line_out_free_ = start + kLineByteTime;
}

void PtyServer::TransmitDue(SteadyClock::time_point now) {
    std::vector<uint8_t> out;
    while (!tx_.empty() && tx_.front().due <= now) {
        out.push_back(tx_.front().byte);
        tx_.pop_front();
    }
    size_t written = 0;
    while (written < out.size()) {
        const ssize_t count = ::write(master_fd_, out.data() + written, out.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        // A receiver whose queue is full loses what it cannot take, as on a real line.
        if (count <= 0) {
            return;
        }
        written += static_cast<size_t>(count);
    }
}

PtyServer::SteadyClock::time_point PtyServer::NextDeadline(SteadyClock::time_point now) const {
    auto deadline = now + kIdleWake;
    if (master_fd_ < 0) {
        return deadline;
    }
    if (!pending_.empty()) {
        deadline = std::min(deadline, pending_.front().arrival);
    }
    if (!tx_.empty()) {
        deadline = std::min(deadline, tx_.front().due);
    }
    if (!rx_.empty()) {
        deadline = std::min(deadline, rx_crossed_.back() + options_.partial_request_timeout);
    }
    return deadline;
}

void PtyServer::WaitUntil(SteadyClock::time_point deadline) {
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {master_fd_, POLLIN, 0}};
    const nfds_t count = master_fd_ >= 0 ? 2 : 1;
    const auto remaining = std::max(deadline - SteadyClock::now(), SteadyClock::duration::zero());
    const timespec timeout = ToTimespec(remaining);
    if (::ppoll(fds, count, &timeout, nullptr) <= 0) {
        return;
    }
    if (fds[0].revents & POLLIN) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t got = ::read(wake_fd_, &value, sizeof value);
    }
    if (count == 2 && (fds[1].revents & POLLIN)) {
        ReceiveAvailable();
    }
}

}  // namespace keelsong::sim
