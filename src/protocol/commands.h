#pragma once

#include <cstdint>
#include <string_view>

namespace keelsong {

// Command codes of the unit's protocol. The unit echoes the code in its response.
enum class Command : uint8_t {
    MemoryWrite = 0x39,
    SaveSettings = 0x3A,
    RestoreSettings = 0x3B,
    EventAdd = 0x3C,
    EventRemove = 0x3D,
    EventEnquire = 0x3E,
    Play = 0x3F,
    Stop = 0x40,
    SetTime = 0x41,
    StatusRead = 0x43,
    SetupSet = 0x44,
    Enquire = 0x45,
    SetupGet = 0x46,
    Reset = 0x59,
};

inline constexpr Command kAllCommands[] = {
    Command::MemoryWrite, Command::SaveSettings, Command::RestoreSettings,
    Command::EventAdd,    Command::EventRemove,  Command::EventEnquire,
    Command::Play,        Command::Stop,         Command::SetTime,
    Command::StatusRead,  Command::SetupSet,     Command::Enquire,
    Command::SetupGet,    Command::Reset,
};

// The name of a command, or an empty view for a byte that is no command.
std::string_view CommandName(uint8_t code);

constexpr uint8_t CommandCode(Command command) {
    return static_cast<uint8_t>(command);
}

// Pause between writing a request and reading its response.
inline constexpr double kResponsePauseSeconds = 0.1;
// The payload of a Reset that restarts the unit into its loader (admin mode): the mode word
// and its zero byte. Any other Reset restarts it into its application firmware.
inline constexpr uint8_t kLoaderModeWord[] = {'K', 'O', 'R', 'V', 'A', 0};

// Pause after a Reset before the unit is enquired again.
inline constexpr double kRestartPauseSeconds = 5.0;

}  // namespace keelsong
