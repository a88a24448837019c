#include "sim/unit_simulator.h"

#include <algorithm>
#include <charconv>

#include "protocol/crc.h"
#include "protocol/frame.h"

namespace keelsong::sim {

namespace {

// A request the unit will read: start byte, a length field that matches the frame, good CRC.
bool WellFormed(std::span<const uint8_t> frame) {
    return frame.size() >= kFrameOverhead && frame[0] == kStartByte &&
           FramePayloadLength(frame) + kFrameOverhead == frame.size() && CrcOf(frame) == 0;
}

// Parses "v" followed by up to three dot-separated decimal numbers; returns how many it read.
int ParseFirmware(std::string_view text, int (&parts)[3]) {
    if (text.empty() || text[0] != 'v') {
        return 0;
    }
    const char* p = text.data() + 1;
    const char* end = text.data() + text.size();
    int count = 0;
    while (count < 3 && p < end) {
        unsigned value = 0;
        const auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc{} || value > 255) {
            break;
        }
        parts[count++] = static_cast<int>(value);
        p = next;
        if (p < end && *p == '.') {
            ++p;
        } else {
            break;
        }
    }
    return count;
}

}  // namespace

std::optional<int> FirmwareMajor(std::string_view text) {
    int parts[3] = {};
    if (ParseFirmware(text, parts) < 1) {
        return std::nullopt;
    }
    return parts[0];
}

std::optional<int32_t> FirmwareNumber(std::string_view text) {
    int parts[3] = {};
    if (ParseFirmware(text, parts) < 3) {
        return std::nullopt;
    }
    return parts[0] * 65536 + parts[1] * 256 + parts[2];
}

size_t EventBodyBytes(uint8_t type) {
    switch (type) {
        case 1:
            return 7;
        case 2:
            return 11;
        case 3:
            return 2;
        case 4:
            return 9;
        case 5:
            return 7;
        default:
            return 0;
    }
}

UnitSimulator::UnitSimulator() : clock_([] { return std::chrono::system_clock::now(); }) {}

std::vector<uint8_t> UnitSimulator::HandleRequest(std::span<const uint8_t> request_frame) {
    return Respond(request_frame).bytes;
}

Reply UnitSimulator::Respond(std::span<const uint8_t> request_frame) {
    if (!WellFormed(request_frame) || Restarting()) {
        return {};
    }
    const uint8_t command = request_frame[1];
    const auto payload = request_frame.subspan(kPayloadOffset, FramePayloadLength(request_frame));
    std::optional<Payload> answer = Answer(command, payload);
    if (!answer) {
        return {};
    }
    return faults_.Apply(command, OutgoingResponse{command, std::move(*answer)});
}

bool UnitSimulator::LoaderAnswers(uint8_t command) const {
    return command == CommandCode(Command::Enquire) ||
           command == CommandCode(Command::MemoryWrite) || command == CommandCode(Command::Reset);
}

std::optional<UnitSimulator::Payload> UnitSimulator::Answer(uint8_t command, In payload) {
    if (InAdminMode() && !LoaderAnswers(command)) {
        return std::nullopt;
    }
    CatchUpPlayState();
    switch (static_cast<Command>(command)) {
        case Command::Enquire:
            return OnEnquire(payload);
        case Command::SetTime:
            return OnSetTime(payload);
        case Command::StatusRead:
            return OnStatusRead(payload);
        case Command::EventAdd:
            return OnEventAdd(payload);
        case Command::EventRemove:
            return OnEventRemove(payload);
        case Command::EventEnquire:
            return OnEventEnquire(payload);
        case Command::SetupGet:
            return OnSetupGet(payload);
        case Command::SetupSet:
            return OnSetupSet(payload);
        case Command::Play:
            return OnPlay(payload);
        case Command::Stop:
            return OnStop(payload);
        case Command::SaveSettings:
            return OnSaveSettings(payload);
        case Command::RestoreSettings:
            return OnRestoreSettings(payload);
        case Command::MemoryWrite:
            return OnMemoryWrite(payload);
        case Command::Reset:
            return OnReset(payload);
    }
    return std::nullopt;
}

const std::string& UnitSimulator::ReportedFirmware() const {
    return state_.in_loader ? state_.loader_firmware : state_.firmware;
}

bool UnitSimulator::InAdminMode() const {
    return FirmwareMajor(ReportedFirmware()) == 0;
}

uint16_t UnitSimulator::SetupFormat() const {
    switch (state_.device_type) {
        case device_type::kOrvaneHf:
            return FirmwareNumber(state_.firmware).value_or(0) >= 0x020000 ? kSetupTagged
                                                                           : kSetupShortHf;
        case device_type::kOrvaneLf:
            return kSetupShortLf;
        case device_type::kOrvaneHfR1:
            return kSetupShortHf;
        default:
            return kSetupNone;
    }
}

int64_t UnitSimulator::UnitClock() const {
    const auto since_epoch = Now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count() +
           state_.clock_drift_seconds;
}

void UnitSimulator::StaySilentFor(std::chrono::milliseconds period) {
    silent_until_ = Now() + period;
}

bool UnitSimulator::Restarting() const {
    return silent_for_good_ || Now() < silent_until_;
}

void UnitSimulator::Restart(bool into_loader) {
    ++restarts_;
    if (state_.ignore_loader_word) {
        into_loader = false;
    } else if (!into_loader && state_.in_loader && state_.stay_in_loader) {
        into_loader = true;
    }
    if (!into_loader && upload_.complete) {
        // A new image replaces the application and leaves the unit empty.
        if (!state_.firmware_after_update.empty()) {
            state_.firmware = state_.firmware_after_update;
        }
        upload_ = {};
        events_.clear();
        setup_ = {};
        saved_ = {};
        state_.play_state = 0;
    }
    if (into_loader) {
        upload_ = {};
    }
    state_.in_loader = into_loader;
    silent_for_good_ = silent_for_good_ || restarts_ == state_.silent_after_restart;
    StaySilentFor(state_.restart_period);
}

std::vector<uint8_t> UnitSimulator::EnquirePayload() const {
    Payload payload(std::max(state_.enquire_payload_length, kEnquirePayloadLayout), 0);
    WriteLe16(&payload[0], state_.serial_number);
    const std::string& firmware = ReportedFirmware();
    std::copy_n(firmware.begin(), std::min(firmware.size(), kFirmwareTextBytes), &payload[2]);
    payload[28] = state_.device_type;
    payload[32] = state_.status_present;
    payload[33] = state_.battery_state;
    payload[34] = static_cast<uint8_t>(state_.battery_level);
    payload[35] = state_.sync_state;
    payload[36] = state_.clock_mode;
    payload[37] = state_.play_state;
    payload[38] = state_.settings_restored;
    payload.resize(state_.enquire_payload_length);
    return payload;
}

}  // namespace keelsong::sim
