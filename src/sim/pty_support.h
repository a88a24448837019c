// Small helpers of the pseudo-terminal server's two source files.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace keelsong::sim::detail {

inline bool Fail(std::string* error, const std::string& text) {
    if (error) {
        *error = text;
    }
    return false;
}

inline bool FailErrno(std::string* error, const std::string& what) {
    return Fail(error, what + ": " + std::strerror(errno));
}

inline void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace keelsong::sim::detail
