#include "protocol/event_record.h"

#include <algorithm>
#include <cmath>

#include "protocol/frame.h"

namespace keelsong {

namespace {

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

void PutLevel(EventBody& body, size_t offset, int8_t level) {
    body[offset] = static_cast<uint8_t>(level);
}

int LevelAt(const EventBody& body, size_t offset) {
    return static_cast<int8_t>(body[offset]);
}

double TenthsAt(const EventBody& body, size_t offset) {
    return ReadLe16(&body[offset]) / 10.0;
}

}  // namespace

size_t EventBodyBytes(int32_t type) {
    switch (static_cast<EventType>(type)) {
        case EventType::ToneCycles:
        case EventType::ToneSeconds:
            return 7;
        case EventType::Sweep:
            return 11;
        case EventType::Rest:
            return 2;
        case EventType::Click:
            return 9;
        case EventType::None:
            break;
    }
    return 0;
}

std::string_view EventResultText(uint16_t code) {
    switch (code) {
        case event_result::kSuccess:
            return "Success";
        case event_result::kDoesNotExist:
            return "Does not Exist";
        case event_result::kTooManyEvents:
            return "Too Many Events";
        case event_result::kInvalidFrequency:
            return "Invalid Frequency";
        case event_result::kPastEndOfTable:
            return "Past End of Table";
        case event_result::kInvalidType:
            return "Invalid Type";
        case event_result::kPayloadTooSmall:
            return "Payload Too Small";
        case event_result::kInvalidGain:
            return "Invalid Gain";
        case event_result::kSweepSlopeTooSmall:
            return "Slope of Sweep Too Small";
        case event_result::kInvalidDuration:
            return "Invalid Duration";
        case event_result::kInvalidPhase:
            return "Invalid Phase";
        default:
            return "Unknown Error";
    }
}

int32_t EventTypeOfRow(std::string_view type_text, std::string_view unit_text, int device_type) {
    if (Contains(type_text, row_text::kTone)) {
        switch (device_type) {
            case device_type::kOrvaneLf:
                return TypeCode(EventType::ToneCycles);
            case device_type::kOrvaneHf:
                return TypeCode(EventType::ToneSeconds);
            case device_type::kOrvaneHfR1:
                if (Contains(unit_text, row_text::kCycles)) {
                    return TypeCode(EventType::ToneCycles);
                }
                if (Contains(unit_text, row_text::kSeconds)) {
                    return TypeCode(EventType::ToneSeconds);
                }
                return TypeCode(EventType::None);
            default:
                return TypeCode(EventType::None);
        }
    }
    if (Contains(type_text, row_text::kSweep)) {
        return TypeCode(EventType::Sweep);
    }
    if (Contains(type_text, row_text::kClick)) {
        return TypeCode(EventType::Click);
    }
    if (Contains(type_text, row_text::kRest)) {
        return TypeCode(EventType::Rest);
    }
    return TypeCode(EventType::None);
}

uint16_t SecondsToTenths(double seconds) {
    const double tenths = std::trunc(seconds * 10.0);
    if (!(tenths > 0)) {
        return 0;
    }
    if (tenths >= 4294967296.0) {
        return 0xFFFF;
    }
    return static_cast<uint16_t>(static_cast<uint32_t>(tenths));
}

void FillEventBody(int32_t type, const RowValues& row, EventBody& body) {
    using namespace event_body;
    switch (static_cast<EventType>(type)) {
        case EventType::ToneCycles: {
            // The cell holds whole cycles inside 1-65535; a stray fraction or overflow must not
            // wrap into a different count.
            const double cycles = std::clamp(std::trunc(row.duration), 0.0, 65535.0);
            WriteLe32(&body[kFrequency], row.start_frequency);
            WriteLe16(&body[kToneDuration], static_cast<uint16_t>(cycles));
            PutLevel(body, kToneLevel, row.level);
            break;
        }
        case EventType::ToneSeconds:
            WriteLe32(&body[kFrequency], row.start_frequency);
            WriteLe16(&body[kToneDuration], SecondsToTenths(row.duration));
            PutLevel(body, kToneLevel, row.level);
            break;
        case EventType::Sweep:
            WriteLe32(&body[kStartFrequency], row.start_frequency);
            WriteLe32(&body[kEndFrequency], row.end_frequency);
            WriteLe16(&body[kSweepTime], SecondsToTenths(row.duration));
            PutLevel(body, kSweepLevel, row.level);
            break;
        case EventType::Rest:
            WriteLe16(&body[kRestTime], SecondsToTenths(row.duration));
            break;
        case EventType::Click:
            WriteLe32(&body[kFrequency], row.start_frequency);
            WriteLe16(&body[kClickPhase], static_cast<uint16_t>(row.phase));
            WriteLe16(&body[kClickTime], SecondsToTenths(row.duration));
            PutLevel(body, kClickLevel, row.level);
            break;
        case EventType::None:
            break;
    }
}

int32_t FilterEventType(int32_t type, int device_type, uint16_t setup_format) {
    if (type == TypeCode(EventType::Click) && setup_format != kClickSetupFormat) {
        return TypeCode(EventType::None);
    }
    if (type == TypeCode(EventType::ToneCycles) && device_type == device_type::kOrvaneHf) {
        return TypeCode(EventType::None);
    }
    if (type == TypeCode(EventType::ToneSeconds) && device_type == device_type::kOrvaneLf) {
        return TypeCode(EventType::None);
    }
    return type;
}

EventRowImage RowImageOfEvent(int32_t type, const EventBody& body, int device_type,
                              uint16_t setup_format) {
    using namespace event_body;
    EventRowImage image;
    image.row_type = FilterEventType(type, device_type, setup_format);
    switch (image.row_type) {
        case TypeCode(EventType::None):
            image.type_text = row_text::kNone;
            break;
        case TypeCode(EventType::ToneCycles):
            image.type_text = row_text::kTone;
            image.start_frequency = ReadLe32(&body[kFrequency]);
            image.duration = ReadLe16(&body[kToneDuration]);
            image.level = LevelAt(body, kToneLevel);
            break;
        case TypeCode(EventType::ToneSeconds):
            image.type_text = row_text::kTone;
            image.start_frequency = ReadLe32(&body[kFrequency]);
            image.duration = TenthsAt(body, kToneDuration);
            image.level = LevelAt(body, kToneLevel);
            break;
        case TypeCode(EventType::Sweep):
            image.type_text = row_text::kSweep;
            image.start_frequency = ReadLe32(&body[kStartFrequency]);
            image.end_frequency = ReadLe32(&body[kEndFrequency]);
            image.duration = TenthsAt(body, kSweepTime);
            image.level = LevelAt(body, kSweepLevel);
            break;
        case TypeCode(EventType::Rest):
            image.type_text = row_text::kRest;
            image.duration = TenthsAt(body, kRestTime);
            break;
        case TypeCode(EventType::Click):
            image.type_text = row_text::kClick;
            image.duration = TenthsAt(body, kClickTime);
            image.start_frequency = ReadLe32(&body[kFrequency]);
            image.level = LevelAt(body, kClickLevel);
            image.phase = static_cast<int16_t>(ReadLe16(&body[kClickPhase]));
            break;
        default:
            image.type_text = row_text::kUnknown;
            break;
    }
    return image;
}

std::vector<uint8_t> BuildEventAddPayload(const EventRecord& record, uint8_t index) {
    const size_t body_bytes = EventBodyBytes(record.type);
    if (body_bytes == 0) {
        return {};
    }
    std::vector<uint8_t> payload;
    payload.reserve(2 + body_bytes);
    payload.push_back(index);
    payload.push_back(static_cast<uint8_t>(record.type));
    payload.insert(payload.end(), record.body.begin(),
                   record.body.begin() + static_cast<std::ptrdiff_t>(body_bytes));
    return payload;
}

uint16_t DecodeEventResult(std::span<const uint8_t> payload) {
    uint8_t bytes[2] = {0, 0};
    std::copy_n(payload.begin(), std::min<size_t>(payload.size(), 2), bytes);
    return ReadLe16(bytes);
}

EventAddAnswer DecodeEventAddAnswer(std::span<const uint8_t> payload) {
    EventAddAnswer answer;
    answer.result = DecodeEventResult(payload);
    if (payload.size() > 2) {
        answer.stored_index = payload[2];
    }
    return answer;
}

EventEnquireAnswer DecodeEventEnquireAnswer(std::span<const uint8_t> payload) {
    constexpr size_t kBodyOffset = 4;
    EventEnquireAnswer answer;
    answer.result = DecodeEventResult(payload);
    if (payload.size() > 2) {
        answer.index = payload[2];
    }
    if (payload.size() > 3) {
        answer.type = static_cast<int8_t>(payload[3]);
    }
    if (payload.size() > kBodyOffset) {
        answer.body_bytes = std::min(payload.size() - kBodyOffset, kEventBodySize);
        std::copy_n(payload.begin() + kBodyOffset, answer.body_bytes, answer.body.begin());
    }
    return answer;
}

}  // namespace keelsong
