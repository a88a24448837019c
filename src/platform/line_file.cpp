#include "platform/line_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace keelsong {

std::string LineFile::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        return std::strerror(errno);
    }
    return {};
}

void LineFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool LineFile::Write(std::string_view text) {
    if (fd_ < 0) {
        return false;
    }
    for (;;) {
        const ssize_t written = ::write(fd_, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        return written == static_cast<ssize_t>(text.size());
    }
}

}  // namespace keelsong
