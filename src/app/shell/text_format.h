#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace keelsong {

// printf-style formatting into a std::string: the program's messages carry printf
// conversions ("Code: %d"), and the compiler checks them against their arguments here.
[[gnu::format(printf, 1, 2)]] inline std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (needed > 0) {
        text.resize(static_cast<size_t>(needed));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    return text;
}

}  // namespace keelsong
