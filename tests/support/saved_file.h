#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace keelsong::testing {

// A saved ".tlk"'s table and setup: its bytes before the "[Unit]" and "[Saved]" sections a
// save adds after them, which name the unit and the time and so differ from save to save.
inline std::string SavedTableAndSetup(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    const std::string text = bytes.str();
    return text.substr(0, text.find("[Unit]\r\n"));
}

}  // namespace keelsong::testing
