#pragma once

// The program's end of the line, reduced to what the simulator tests need: plain POSIX on the
// terminal's slave side, raw, with deadlines.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace keelsong::sim::testing {

class PtyClient {
  public:
    using Clock = std::chrono::steady_clock;

    explicit PtyClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            return;
        }
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(fd_, TCSANOW, &tio);
        ::tcflush(fd_, TCIOFLUSH);
    }
    ~PtyClient() { Close(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool Write(const std::vector<uint8_t>& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes came or `timeout` passed. `hung_up` tells whether the line went
    // away (end of file or an error) before that.
    std::vector<uint8_t> Read(size_t count, std::chrono::milliseconds timeout,
                              bool* hung_up = nullptr) {
        const auto deadline = Clock::now() + timeout;
        std::vector<uint8_t> got;
        if (hung_up) {
            *hung_up = false;
        }
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() < 0) {
                break;
            }
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count()) + 1) <= 0) {
                continue;
            }
            uint8_t buffer[512];
            const size_t want = std::min(sizeof buffer, count - got.size());
            const ssize_t n = ::read(fd_, buffer, want);
            if (n <= 0) {
                if (n == 0 || errno != EAGAIN) {
                    if (hung_up) {
                        *hung_up = true;
                    }
                    break;
                }
                continue;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    // Everything that arrives within `period`.
    std::vector<uint8_t> ReadFor(std::chrono::milliseconds period) {
        return Read(SIZE_MAX, period);
    }

  private:
    int fd_ = -1;
};

}  // namespace keelsong::sim::testing
