#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace keelsong {

// The setup record format a unit speaks: bytes 0-1 of every setup record.
namespace setup_format {
inline constexpr uint16_t kShortLf = 14;   // Orvane LF
inline constexpr uint16_t kShortHf = 17;   // Orvane HF before 2.0.0, Orvane HF(R1)
inline constexpr uint16_t kTagged = 21;    // Orvane HF from 2.0.0
inline constexpr uint16_t kNone = 0xFFFF;  // a unit without a setup: nothing is exchanged
// Until the first enquiry chooses one.
inline constexpr uint16_t kInitial = kShortHf;
}  // namespace setup_format

bool IsKnownSetupFormat(uint16_t format);

// The format a unit of this type and firmware speaks.
uint16_t SetupFormatFor(int device_type, int32_t firmware_version);

// The six setup fields, by the tag that names them on the wire and in configuration files.
namespace setup_tag {
inline constexpr uint16_t kAuxFunction = 0;         // PPS sync mode: 0, 1, 2 or 4
inline constexpr uint16_t kStartTime = 1;           // seconds since 1970 UTC; 0 or less: none
inline constexpr uint16_t kNumberOfPlays = 2;       // 0 repeats continuously
inline constexpr uint16_t kTimeBetweenRepeats = 3;  // tenths of a second
inline constexpr uint16_t kMagneticSwitch = 4;
inline constexpr uint16_t kAuxMessages = 5;  // time messages on the PPS line
inline constexpr uint16_t kCount = 6;
}  // namespace setup_tag

// The configuration file's key of each tag, indexed by tag.
inline constexpr std::array<std::string_view, setup_tag::kCount> kSetupKeys = {
    "AUX Function",         "Start Time",      "Number of Plays",
    "Time Between Repeats", "Magnetic Switch", "AUX Messages",
};

// PPS sync modes (tag 0). 3 and anything else is no mode.
namespace sync_mode {
inline constexpr int kInFalling = 0;
inline constexpr int kOutFalling = 1;
inline constexpr int kInRising = 2;
inline constexpr int kDisabled = 4;
}  // namespace sync_mode
bool IsValidSyncMode(int64_t mode);

// The setup as the program remembers it from the unit. The widths are what the program keeps
// of each tag's 32-bit wire value.
struct UnitSetup {
    uint8_t aux_function = 0;
    int32_t start_time = 0;
    uint16_t number_of_plays = 0;
    // Unsigned: an Orvane LF's rest reaches 4,294,967,290 tenths.
    uint32_t time_between_repeats = 0;
    uint32_t magnetic_switch = 0;
    uint8_t aux_messages = 0;
    bool operator==(const UnitSetup&) const = default;
};

// Stores one field's wire value, cut to the width kept; a tag outside 0-5 changes nothing.
void RememberSetupField(UnitSetup& setup, uint16_t tag, uint32_t value);

// One field a record carries, in wire units.
struct SetupField {
    uint16_t tag = 0;
    uint32_t value = 0;
    bool operator==(const SetupField&) const = default;
};

struct DecodedSetup {
    uint16_t format = 0;
    // Short form: tags 4, 2 and 3, in the order they are shown. Tagged form: every 4-byte item
    // in record order, unknown tags included.
    std::vector<SetupField> fields;
};

// Reads a setup record in either form. Only what lies wholly inside `record` is read: a field
// or item cut off by the end of the received bytes is left out, and so is every one after it.
// nullopt when the record holds no format code or one other than 14, 17 and 21.
std::optional<DecodedSetup> ParseSetupRecord(std::span<const uint8_t> record);

// Short form, 9 bytes: format, number of plays, time between repeats, magnetic switch.
inline constexpr size_t kShortSetupSize = 9;
std::array<uint8_t, kShortSetupSize> EncodeShortSetup(uint16_t format, uint16_t number_of_plays,
                                                      uint32_t time_between_repeats,
                                                      bool magnetic_switch);

// Tagged SetupSet request, 60 bytes: format 21, six items of tags 0-5 with 4-byte values,
// then 8 zero bytes the unit expects as filler.
inline constexpr size_t kTaggedSetupRequestSize = 60;
std::array<uint8_t, kTaggedSetupRequestSize> EncodeTaggedSetup(
    const std::array<uint32_t, setup_tag::kCount>& values);

// What the last row of the event table holds, as the allowance reads it.
struct LastEventCells {
    std::string_view type_text;  // the "Type" cell
    double duration = 0;         // cycles for a tone, seconds otherwise
    double start_frequency = 0;  // Hz
};

// An Orvane LF up to firmware 1.1.2 counts the last event's duration into the rest between
// repeats, so on such a unit every table edit changes the setup too.
bool CountsLastEventInRest(int device_type, int32_t firmware_version);

// On such a unit the wire carries rest + this many tenths. 0 for every other unit, an empty table,
// and a last event that is neither a tone nor a sweep. A tone counts whole seconds only.
uint32_t LastEventTenths(int device_type, int32_t firmware_version,
                         const std::optional<LastEventCells>& last_event);

// The rest the panel shows (seconds) as wire tenths with the allowance added, saturating at
// the largest 32-bit value instead of wrapping; a negative or undefined rest is 0.
uint32_t RestSecondsToTenths(double seconds, uint32_t allowance);
// The wire tenths as the panel's seconds: the allowance comes off only when it is smaller.
double RestTenthsToSeconds(uint32_t tenths, uint32_t allowance);

}  // namespace keelsong
