#pragma once

#include <optional>
#include <string>

#include "files/ini.h"

namespace keelsong::cli {

// Compares a configuration as sent with the same unit's configuration as read back (both as a
// save writes them). The first difference, for people ("Setup: Number Of Plays sent 3, read 7";
// "Event 04: missing from the unit"), or nullopt when they are the same.
std::optional<std::string> FirstDifference(const IniDocument& sent, const IniDocument& read);

}  // namespace keelsong::cli
