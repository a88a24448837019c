#pragma once

#include <optional>
#include <string_view>

namespace keelsong {

// One command-line argument: "--name=value" gives the name and the value; any other argument,
// "--name" among them, comes back whole with no value.
struct LongOption {
    std::string_view name;
    std::optional<std::string_view> value;
};

inline LongOption SplitLongOption(std::string_view argument) {
    if (const size_t eq = argument.find('='); argument.starts_with("--") && eq != argument.npos) {
        return {argument.substr(0, eq), argument.substr(eq + 1)};
    }
    return {argument, std::nullopt};
}

}  // namespace keelsong
