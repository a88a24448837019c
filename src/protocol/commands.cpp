#include "protocol/commands.h"

namespace keelsong {

std::string_view CommandName(uint8_t code) {
    switch (static_cast<Command>(code)) {
        case Command::MemoryWrite:
            return "MemoryWrite";
        case Command::SaveSettings:
            return "SaveSettings";
        case Command::RestoreSettings:
            return "RestoreSettings";
        case Command::EventAdd:
            return "EventAdd";
        case Command::EventRemove:
            return "EventRemove";
        case Command::EventEnquire:
            return "EventEnquire";
        case Command::Play:
            return "Play";
        case Command::Stop:
            return "Stop";
        case Command::SetTime:
            return "SetTime";
        case Command::StatusRead:
            return "StatusRead";
        case Command::SetupSet:
            return "SetupSet";
        case Command::Enquire:
            return "Enquire";
        case Command::SetupGet:
            return "SetupGet";
        case Command::Reset:
            return "Reset";
    }
    return {};
}

}  // namespace keelsong
