#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/device_type.h"

namespace keelsong {

// Event type codes: what travels on the wire and what a configuration file stores as "Type".
enum class EventType : int32_t {
    None = 0,
    ToneCycles = 1,  // a tone counted in cycles
    Sweep = 2,
    Rest = 3,
    Click = 4,
    ToneSeconds = 5,  // a tone timed in tenths of a second
};

inline constexpr int32_t TypeCode(EventType type) {
    return static_cast<int32_t>(type);
}

// The setup format of the units that can play clicks (the tagged setup form).
inline constexpr uint16_t kClickSetupFormat = 21;

inline constexpr size_t kEventBodySize = 12;
using EventBody = std::array<uint8_t, kEventBodySize>;

// One event: the type code, then a 12-byte body laid out per type, little-endian. Bytes a type
// does not use are never sent. The configuration file's binary form stores these 16 bytes as
// they are, type first.
struct EventRecord {
    int32_t type = 0;
    EventBody body{};
};

// Body offsets per type.
namespace event_body {
inline constexpr size_t kFrequency = 0;  // u32, tones and clicks
inline constexpr size_t kStartFrequency = 0;
inline constexpr size_t kEndFrequency = 4;  // u32, sweep
inline constexpr size_t kToneDuration = 4;  // u16: cycles (type 1) or tenths (type 5)
inline constexpr size_t kToneLevel = 6;     // s8
inline constexpr size_t kSweepTime = 8;     // u16 tenths
inline constexpr size_t kSweepLevel = 10;   // s8
inline constexpr size_t kRestTime = 0;      // u16 tenths
inline constexpr size_t kClickPhase = 4;    // s16 degrees
inline constexpr size_t kClickTime = 6;     // u16 tenths
inline constexpr size_t kClickLevel = 8;    // s8
}  // namespace event_body

// The body bytes an event of `type` carries on the wire; 0 for a type outside 1-5.
size_t EventBodyBytes(int32_t type);

// The unit's answer to an event command: a signed 16-bit code handled as unsigned (-1 is
// 0xFFFF). Besides these, the program's exchanges return 1 when no valid answer came, and 2
// when an event read from the unit names a place the grid cannot reach from its last row.
namespace event_result {
inline constexpr uint16_t kSuccess = 0x0000;
inline constexpr uint16_t kDoesNotExist = 0xFFFF;
inline constexpr uint16_t kTooManyEvents = 0xFFFE;
inline constexpr uint16_t kInvalidFrequency = 0xFFFD;
inline constexpr uint16_t kPastEndOfTable = 0xFFFC;
inline constexpr uint16_t kInvalidType = 0xFFFB;
inline constexpr uint16_t kPayloadTooSmall = 0xFFFA;
inline constexpr uint16_t kInvalidGain = 0xFFF9;
inline constexpr uint16_t kSweepSlopeTooSmall = 0xFFF8;
inline constexpr uint16_t kInvalidDuration = 0xFFF7;
inline constexpr uint16_t kInvalidPhase = 0xFFF6;
inline constexpr uint16_t kNoResponse = 1;
inline constexpr uint16_t kOutOfOrder = 2;
}  // namespace event_result

// The message for a result code; "Unknown Error" for every code the unit does not define.
std::string_view EventResultText(uint16_t code);

// ---- Rows of the event grid --------------------------------------------------------------

// Texts of the grid's Type and Unit rings.
namespace row_text {
inline constexpr std::string_view kNone = "None";
inline constexpr std::string_view kTone = "Tone";
inline constexpr std::string_view kSweep = "Sweep";
inline constexpr std::string_view kRest = "Rest";
inline constexpr std::string_view kClick = "Click";
inline constexpr std::string_view kUnknown = "?";
inline constexpr std::string_view kSeconds = "Seconds";
inline constexpr std::string_view kCycles = "Cycles";
}  // namespace row_text

// The values of one grid row as the conversions read them.
struct RowValues {
    std::string type_text;
    double duration = 0;  // whole cycles for type 1, seconds otherwise
    std::string unit_text;
    uint32_t start_frequency = 0;
    uint32_t end_frequency = 0;
    int8_t level = 0;
    int16_t phase = 0;
};

// The type a row stands for. Both tones show as "Tone": the device type decides between them,
// and only the Orvane HF(R1) lets the Unit text choose. Without an identified unit a tone is 0.
int32_t EventTypeOfRow(std::string_view type_text, std::string_view unit_text, int device_type);

// Seconds to tenths on the wire: times ten, truncated toward zero, low 16 bits. A value the
// grid would never hold (negative, not a number, 2^32 tenths or more) gives 0 or 65535 rather
// than undefined behaviour.
uint16_t SecondsToTenths(double seconds);

// Fills the body fields that `type` carries from the row. Other types leave the body alone.
void FillEventBody(int32_t type, const RowValues& row, EventBody& body);

// The type a unit's event shows as: a click needs the tagged setup format, an Orvane HF
// cannot hold a cycle-counted tone and an Orvane LF cannot hold a timed one. Those become 0.
int32_t FilterEventType(int32_t type, int device_type, uint16_t setup_format);

// What the grid shows for one event: the type to set the row up for, and the cells the event
// carries (the others keep the row's defaults).
struct EventRowImage {
    int32_t row_type = 0;  // after the device filters; may lie outside 0-5
    std::string type_text;
    std::optional<double> duration;
    std::optional<uint32_t> start_frequency;
    std::optional<uint32_t> end_frequency;
    std::optional<int> level;
    std::optional<int> phase;
};
EventRowImage RowImageOfEvent(int32_t type, const EventBody& body, int device_type,
                              uint16_t setup_format);

// ---- Payloads ----------------------------------------------------------------------------

// EventAdd request: index, type, the type's body bytes. Empty for a type outside 1-5.
std::vector<uint8_t> BuildEventAddPayload(const EventRecord& record, uint8_t index);

// Fields of event answers. An answer shorter than a field leaves it at zero; an index the
// answer does not carry is absent.
struct EventAddAnswer {
    uint16_t result = 0;
    std::optional<uint8_t> stored_index;
};
EventAddAnswer DecodeEventAddAnswer(std::span<const uint8_t> payload);

struct EventEnquireAnswer {
    uint16_t result = 0;
    std::optional<uint8_t> index;
    int32_t type = 0;  // signed 8 bits on the wire
    EventBody body{};  // at most 12 body bytes are kept; missing ones are 0
    size_t body_bytes = 0;
};
EventEnquireAnswer DecodeEventEnquireAnswer(std::span<const uint8_t> payload);

// The result code of any event answer (bytes 0-1).
uint16_t DecodeEventResult(std::span<const uint8_t> payload);

}  // namespace keelsong
