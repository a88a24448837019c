// One handler per command: each takes the request payload and gives the response payload, or
// nullopt when the unit does not answer.

#include <algorithm>

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "sim/event_checks.h"
#include "sim/unit_simulator.h"

namespace keelsong::sim {

namespace {

using Payload = std::vector<uint8_t>;

Payload ResultPayload(int16_t result) {
    Payload payload(2);
    WriteLe16(payload.data(), static_cast<uint16_t>(result));
    return payload;
}

void AppendLe16(Payload& payload, uint16_t value) {
    payload.push_back(static_cast<uint8_t>(value));
    payload.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendLe32(Payload& payload, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        payload.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

constexpr uint8_t kStatusSkipped = 0x01;
constexpr uint8_t kStatusHumidity = 0x02;
constexpr uint8_t kStatusTemperature = 0x04;

constexpr uint8_t kPlayEmpty = 0;
constexpr uint8_t kPlayPlaying = 1;
constexpr uint8_t kPlayWaiting = 2;
constexpr uint8_t kPlayStopped = 3;

constexpr size_t kMemoryChunkBytes = 128;
constexpr uint8_t kMemoryWritten = 0;
constexpr uint8_t kMemoryMalformed = 1;
constexpr uint8_t kMemoryOutOfSequence = 2;
constexpr uint8_t kMemoryRefused = 3;
constexpr uint8_t kAreaFirmware = 0;
constexpr uint8_t kAreaIdentity = 1;
constexpr uint16_t kSerialNumberOffset = 4;

constexpr size_t kSetupFieldCount = 6;

}  // namespace

std::optional<Payload> UnitSimulator::OnEnquire(In) {
    return EnquirePayload();
}

std::optional<Payload> UnitSimulator::OnSetTime(In payload) {
    if (payload.size() >= 4) {
        const auto requested = static_cast<int32_t>(ReadLe32(payload.data()));
        if (requested != 0) {
            state_.clock_drift_seconds += requested - UnitClock();
        }
    }
    Payload answer;
    AppendLe32(answer, static_cast<uint32_t>(UnitClock()));
    return answer;
}

std::optional<Payload> UnitSimulator::OnStatusRead(In payload) {
    const uint8_t flags =
        payload.empty() ? 0 : payload[0] & (kStatusSkipped | kStatusHumidity | kStatusTemperature);
    Payload answer{flags};
    if (flags & kStatusSkipped) {
        AppendLe16(answer, 0);
    }
    if (flags & kStatusHumidity) {
        AppendLe16(answer, state_.humidity_tenths);
    }
    if (flags & kStatusTemperature) {
        AppendLe16(answer, static_cast<uint16_t>(state_.temperature_tenths));
    }
    return answer;
}

std::optional<Payload> UnitSimulator::OnEventAdd(In payload) {
    const int16_t verdict =
        CheckEventAdd(payload, events_.size(),
                      EventLimitsFor(state_.device_type,
                                     FirmwareNumber(state_.firmware).value_or(0), SetupFormat()));
    if (verdict != kEventSuccess) {
        return ResultPayload(verdict);
    }
    const uint8_t index = payload[0];
    const uint8_t type = payload[1];
    const size_t body_bytes = EventBodyBytes(type);
    const size_t stored_at = std::min<size_t>(index, events_.size());
    const auto body = payload.subspan(2, body_bytes);
    events_.insert(events_.begin() + static_cast<std::ptrdiff_t>(stored_at),
                   StoredEvent{type, Payload(body.begin(), body.end())});
    LeaveEmptyTableState();
    Payload answer = ResultPayload(kEventSuccess);
    answer.push_back(static_cast<uint8_t>(stored_at));
    return answer;
}

std::optional<Payload> UnitSimulator::OnEventRemove(In payload) {
    if (payload.empty()) {
        return ResultPayload(kEventPayloadTooSmall);
    }
    const uint8_t index = payload[0];
    if (index >= events_.size()) {
        return ResultPayload(state_.past_end_result);
    }
    events_.erase(events_.begin() + index);
    if (events_.empty()) {
        state_.play_state = kPlayEmpty;
    }
    return ResultPayload(kEventSuccess);
}

std::optional<Payload> UnitSimulator::OnEventEnquire(In payload) {
    if (payload.empty()) {
        return ResultPayload(kEventPayloadTooSmall);
    }
    const uint8_t index = payload[0];
    if (index >= events_.size()) {
        Payload answer = ResultPayload(state_.past_end_result);
        answer.push_back(index);
        return answer;
    }
    const StoredEvent& event = events_[index];
    Payload answer = ResultPayload(kEventSuccess);
    answer.push_back(index);
    answer.push_back(event.type);
    answer.insert(answer.end(), event.body.begin(), event.body.end());
    return answer;
}

UnitSimulator::Payload UnitSimulator::SetupRecord() const {
    const uint16_t format = SetupFormat();
    Payload record;
    AppendLe16(record, format);
    if (format == kSetupTagged) {
        const uint32_t values[kSetupFieldCount] = {
            setup_.aux_function,    static_cast<uint32_t>(setup_.start_time),
            setup_.number_of_plays, setup_.time_between_repeats,
            setup_.magnetic_switch, setup_.aux_messages,
        };
        AppendLe16(record, kSetupFieldCount);
        for (uint16_t tag = 0; tag < kSetupFieldCount; ++tag) {
            AppendLe16(record, tag);
            AppendLe16(record, 4);
            AppendLe32(record, values[tag]);
        }
    } else if (format != kSetupNone) {
        AppendLe16(record, static_cast<uint16_t>(setup_.number_of_plays));
        AppendLe32(record, setup_.time_between_repeats);
        record.push_back(setup_.magnetic_switch ? 1 : 0);
    }
    return record;
}

namespace {

// The longest rest between repeats an Orvane HF or HF(R1) takes: 35 days, in tenths.
constexpr uint32_t kLongestHfRestTenths = 30'240'000;

bool IsSyncMode(uint32_t value) {
    return value == 0 || value == 1 || value == 2 || value == 4;
}

bool IsSwitch(uint32_t value) {
    return value <= 1;
}

}  // namespace

bool UnitSimulator::SetupFitsUnit(const SetupState& setup) const {
    const bool lf = state_.device_type == device_type::kOrvaneLf;
    return IsSyncMode(setup.aux_function) && IsSwitch(setup.magnetic_switch) &&
           IsSwitch(setup.aux_messages) &&
           (lf || setup.time_between_repeats <= kLongestHfRestTenths);
}

bool UnitSimulator::ApplyTaggedSetup(In record) {
    if (record.size() < 4) {
        return false;
    }
    SetupState taken = setup_;
    const size_t count = ReadLe16(&record[2]);
    size_t at = 4;
    for (size_t item = 0; item < count; ++item) {
        if (record.size() - at < 4) {
            return false;
        }
        const uint16_t tag = ReadLe16(&record[at]);
        const size_t length = ReadLe16(&record[at + 2]);
        if (record.size() - at - 4 < length) {
            return false;
        }
        if (length == 4) {
            const uint32_t value = ReadLe32(&record[at + 4]);
            switch (tag) {
                case 0:
                    taken.aux_function = value;
                    break;
                case 1:
                    taken.start_time = static_cast<int32_t>(value);
                    break;
                case 2:
                    taken.number_of_plays = value;
                    break;
                case 3:
                    taken.time_between_repeats = value;
                    break;
                case 4:
                    taken.magnetic_switch = value;
                    break;
                case 5:
                    taken.aux_messages = value;
                    break;
                default:
                    break;
            }
        }
        at += 4 + length;
    }
    if (!SetupFitsUnit(taken)) {
        return false;
    }
    setup_ = taken;
    return true;
}

bool UnitSimulator::ApplyShortSetup(In record) {
    if (record.size() < 9) {
        return false;
    }
    SetupState taken = setup_;
    taken.number_of_plays = ReadLe16(&record[2]);
    taken.time_between_repeats = ReadLe32(&record[4]);
    taken.magnetic_switch = record[8];
    if (!SetupFitsUnit(taken)) {
        return false;
    }
    setup_ = taken;
    return true;
}

std::optional<Payload> UnitSimulator::OnSetupGet(In) {
    Payload answer{0};
    const Payload record = SetupRecord();
    answer.insert(answer.end(), record.begin(), record.end());
    return answer;
}

std::optional<Payload> UnitSimulator::OnSetupSet(In payload) {
    const uint16_t format = SetupFormat();
    const uint16_t sent = payload.size() >= 2 ? ReadLe16(payload.data()) : kSetupNone;
    bool taken = false;
    if (format != kSetupNone && sent == format) {
        taken = format == kSetupTagged ? ApplyTaggedSetup(payload) : ApplyShortSetup(payload);
    }
    if (!taken) {
        Payload refusal;
        AppendLe16(refusal, kSetupNone);
        return refusal;
    }
    if (state_.altered_number_of_plays) {
        setup_.number_of_plays = *state_.altered_number_of_plays;
    }
    return SetupRecord();
}

std::optional<Payload> UnitSimulator::OnPlay(In) {
    if (events_.empty()) {
        state_.play_state = kPlayEmpty;
    } else if (SetupFormat() == kSetupTagged && setup_.start_time > 0 &&
               setup_.start_time > UnitClock()) {
        state_.play_state = kPlayWaiting;
    } else {
        state_.play_state = kPlayPlaying;
    }
    return Payload{state_.play_state};
}

void UnitSimulator::CatchUpPlayState() {
    // Without a start time of its own (a state set from outside) the unit keeps waiting.
    if (state_.play_state == kPlayWaiting && setup_.start_time > 0 &&
        setup_.start_time <= UnitClock()) {
        state_.play_state = kPlayPlaying;
    }
}

void UnitSimulator::LeaveEmptyTableState() {
    // A table that gets events is no longer empty: the unit holds them, stopped.
    if (!events_.empty() && state_.play_state == kPlayEmpty) {
        state_.play_state = kPlayStopped;
    }
}

std::optional<Payload> UnitSimulator::OnStop(In) {
    state_.play_state = events_.empty() ? kPlayEmpty : kPlayStopped;
    return Payload{};
}

std::optional<Payload> UnitSimulator::OnSaveSettings(In) {
    saved_ = StoredSettings{events_, setup_};
    return Payload{};
}

std::optional<Payload> UnitSimulator::OnRestoreSettings(In) {
    events_ = saved_.events;
    setup_ = saved_.setup;
    state_.settings_restored = 1;
    if (events_.empty()) {
        state_.play_state = kPlayEmpty;
    }
    LeaveEmptyTableState();
    return Payload{};
}

std::optional<Payload> UnitSimulator::OnMemoryWrite(In payload) {
    if (payload.size() < 4 || payload.size() != 4u + payload[1]) {
        return Payload{kMemoryMalformed, 0};
    }
    if (++memory_writes_ == state_.refuse_memory_write) {
        return Payload{kMemoryRefused, 0};
    }
    const uint8_t area = payload[0];
    const uint8_t count = payload[1];
    const uint16_t offset = ReadLe16(&payload[2]);
    const auto data = payload.subspan(4, count);
    if (area == kAreaFirmware) {
        if (!InAdminMode()) {
            return Payload{kMemoryRefused, 0};
        }
        if (upload_.complete || offset != static_cast<uint16_t>(upload_.image.size())) {
            return Payload{kMemoryOutOfSequence, 0};
        }
        upload_.image.insert(upload_.image.end(), data.begin(), data.end());
        ++upload_.chunks;
        upload_.complete = count < kMemoryChunkBytes;
    } else if (area == kAreaIdentity && offset == kSerialNumberOffset && count == 2) {
        state_.serial_number = ReadLe16(data.data());
    } else {
        return Payload{kMemoryMalformed, 0};
    }
    return Payload{kMemoryWritten, count};
}

std::optional<Payload> UnitSimulator::OnReset(In payload) {
    // The word itself, its zero byte aside.
    const std::span<const uint8_t> word(kLoaderModeWord, sizeof kLoaderModeWord - 1);
    const bool into_loader =
        payload.size() >= word.size() && std::equal(word.begin(), word.end(), payload.begin());
    Restart(into_loader);
    return Payload{};
}

}  // namespace keelsong::sim
