#include "platform/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/device_access.h"

namespace keelsong {

namespace {

using Clock = SerialPort::Clock;

bool ConfigureRaw19200(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // With VMIN 1 on a non-blocking descriptor, "no data yet" reads as EAGAIN and a hung-up
    // device as end of file, so the two cannot be confused; poll() does the waiting.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, B19200) != 0 || cfsetospeed(&tio, B19200) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Waits until the descriptor is ready for `events` or the deadline passes. 1 when ready,
// 0 on time-out, a SerialError on failure.
int WaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto now = Clock::now();
        const auto left = deadline > now ? deadline - now : Clock::duration::zero();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd pfd{fd, events, 0};
        const int ready = ppoll(&pfd, 1, &wait, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SerialErrorFromErrno(errno);
        }
        if (ready == 0) {
            return 0;
        }
        if (pfd.revents & POLLNVAL) {
            return kSerialNotOpen;
        }
        // Hung up with nothing left to read: no later read or write can succeed.
        if ((pfd.revents & (POLLHUP | POLLERR)) && !(pfd.revents & POLLIN)) {
            return kSerialDeviceGone;
        }
        // Readable, writable, or hung up: the next read or write tells which.
        return 1;
    }
}

}  // namespace

int SerialErrorFromErrno(int error_number) {
    switch (error_number) {
        case ENOENT:
            return kSerialDeviceGone;
        case ENXIO:
        case ENODEV:
        case EIO:
            return kSerialDeviceGone;
        case EBUSY:
        case EWOULDBLOCK:
            return kSerialBusy;
        case EACCES:
        case EPERM:
            return kSerialPermissionDenied;
        case EBADF:
            return kSerialNotOpen;
        default:
            return kSerialIoError;
    }
}

int PosixSerialPort::Open(int port_number) {
    Close();
    const std::optional<PortDirectory::Resolution> device = directory_.Resolve(port_number);
    if (!device) {
        return kSerialNoDevice;
    }
    return OpenPath(device->path);
}

int PosixSerialPort::OpenPath(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return SerialErrorFromErrno(errno);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? kSerialBusy : SerialErrorFromErrno(error);
    }
    if (!ConfigureRaw19200(fd)) {
        ::close(fd);
        return kSerialConfigFailed;
    }
    tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    return 0;
}

std::string PosixSerialPort::ExplainOpenFailure(int number, int code) const {
    const std::optional<PortDirectory::Resolution> device = directory_.Resolve(number);
    if (!device) {
        return SerialErrorText(code);
    }
    return ExplainDeviceOpenFailure(code, device->path, SystemFiles{}, CurrentSession());
}

int PosixSerialPort::CheckLine() {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    pollfd pfd{fd_, 0, 0};
    if (::poll(&pfd, 1, 0) <= 0) {
        return 0;
    }
    if (pfd.revents & POLLNVAL) {
        return kSerialNotOpen;
    }
    return (pfd.revents & (POLLHUP | POLLERR)) ? kSerialDeviceGone : 0;
}

void PosixSerialPort::Close() {
    if (fd_ >= 0) {
        ::close(fd_);  // also releases the flock
        fd_ = -1;
    }
}

int PosixSerialPort::FlushInput() {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    return tcflush(fd_, TCIFLUSH) == 0 ? 0 : SerialErrorFromErrno(errno);
}

int PosixSerialPort::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    const Clock::time_point deadline = DeadlineFromNow();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return done > 0 ? static_cast<int>(done) : SerialErrorFromErrno(errno);
        }
        const int ready = WaitReady(fd_, POLLOUT, deadline);
        if (ready < 0) {
            return done > 0 ? static_cast<int>(done) : ready;
        }
        if (ready == 0) {
            break;  // time-out: report what went out
        }
    }
    return static_cast<int>(done);
}

int PosixSerialPort::ReadUntil(std::span<uint8_t> buffer, Clock::time_point deadline) {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(fd_, buffer.data() + done, buffer.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || (n < 0 && errno != EAGAIN)) {
            // End of file on a terminal means the device hung up.
            const int error = n == 0 ? kSerialDeviceGone : SerialErrorFromErrno(errno);
            return done > 0 ? static_cast<int>(done) : error;
        }
        const int ready = WaitReady(fd_, POLLIN, deadline);
        if (ready < 0) {
            return done > 0 ? static_cast<int>(done) : ready;
        }
        if (ready == 0) {
            break;
        }
    }
    return static_cast<int>(done);
}

}  // namespace keelsong
