#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/device_type.h"
#include "sim/faults.h"

namespace keelsong::sim {

// Setup record format codes.
inline constexpr uint16_t kSetupShortLf = 14;
inline constexpr uint16_t kSetupShortHf = 17;
inline constexpr uint16_t kSetupTagged = 21;
inline constexpr uint16_t kSetupNone = 0;

// Event result codes the unit answers with.
inline constexpr int16_t kEventSuccess = 0;
inline constexpr int16_t kEventDoesNotExist = -1;
inline constexpr int16_t kEventTooMany = -2;
inline constexpr int16_t kEventInvalidType = -5;
inline constexpr int16_t kEventPayloadTooSmall = -6;

inline constexpr size_t kMaxEvents = 40;
inline constexpr size_t kEnquirePayloadLayout = 40;
inline constexpr size_t kFirmwareTextBytes = 7;

// Who the unit is and what its Enquire answer reports. Every byte is settable so that tests can
// present any unit; Play, Stop, Reset and MemoryWrite change some of them as a unit would.
struct UnitState {
    uint8_t device_type = device_type::kOrvaneHf;
    uint16_t serial_number = 1042;
    // The application firmware, "v" major.minor.patch; a major of 0 is the loader (admin mode).
    std::string firmware = "v2.1.4";
    // What the unit reports while it runs its loader after a Reset with the mode word.
    std::string loader_firmware = "v0.3.1";
    bool in_loader = false;
    // Adopted as `firmware` by the first plain restart after a complete image was written.
    std::string firmware_after_update;

    // Live-state bytes, payload offsets 32-38 of the Enquire answer.
    uint8_t status_present = 1;
    // 3 shows the gauge without the charging indicator and, like 1 (charging), has the program
    // ask for the temperature too: a unit on its cable, idle, then reports both readings of its
    // StatusRead, as a connected unit is expected to.
    uint8_t battery_state = 3;
    int8_t battery_level = 87;
    uint8_t sync_state = 0;
    uint8_t clock_mode = 1;
    uint8_t play_state = 0;
    uint8_t settings_restored = 1;

    // How many Enquire payload bytes are sent: shorter cuts the layout off, longer pads zeros.
    size_t enquire_payload_length = kEnquirePayloadLayout;

    // StatusRead readings: tenths of a percent RH and tenths of a degree Celsius.
    uint16_t humidity_tenths = 453;
    int16_t temperature_tenths = 215;

    // Unit clock = host UTC + this many seconds. SetTime with a non-zero value changes it.
    int64_t clock_drift_seconds = 0;

    // Silence after a Reset answer, while the unit restarts.
    std::chrono::milliseconds restart_period{2000};

    // What EventEnquire and EventRemove answer for an index past the end of the table:
    // "Does not Exist" (-1) or, as some units do, "Past End of Table" (-4).
    int16_t past_end_result = -1;

    // Faults of the restart and memory-write path (0 or false: none). Counts start at 1 with
    // the simulator's first request of that kind.
    // The Nth MemoryWrite is refused: result 3, nothing written.
    int refuse_memory_write = 0;
    // The Nth Reset is the unit's last answer: it never comes back from that restart.
    int silent_after_restart = 0;
    // A Reset with the mode word restarts into the application firmware, not the loader.
    bool ignore_loader_word = false;
    // A plain Reset while the loader runs comes back in the loader, as if the new image
    // did not boot.
    bool stay_in_loader = false;
    // A unit that changes a value it was sent: every SetupSet it takes stores (and answers)
    // this number of plays instead of the one sent.
    std::optional<uint32_t> altered_number_of_plays;
};

// The six setup fields, in wire units.
struct SetupState {
    uint32_t aux_function = 4;  // sync disabled
    int32_t start_time = -1;    // no delayed start
    uint32_t number_of_plays = 0;
    uint32_t time_between_repeats = 300;  // tenths of a second
    uint32_t magnetic_switch = 0;
    uint32_t aux_messages = 0;
    bool operator==(const SetupState&) const = default;
};

// One stored event: its type code and the body bytes its type carries on the wire.
struct StoredEvent {
    uint8_t type = 0;
    std::vector<uint8_t> body;
    bool operator==(const StoredEvent&) const = default;
};

// What the unit stores and can go back to (SaveSettings / RestoreSettings).
struct StoredSettings {
    std::vector<StoredEvent> events;
    SetupState setup;
    bool operator==(const StoredSettings&) const = default;
};

// The received firmware image (MemoryWrite area 0).
struct FirmwareUpload {
    std::vector<uint8_t> image;
    size_t chunks = 0;
    bool complete = false;
};

// The unit's behaviour: one request frame in, the bytes of its answer out. No I/O, no threads;
// time comes from the clock handed in (system_clock by default).
//
// Choices where the unit's working is its own:
// - Requests whose frame is malformed (bad start byte, length field, CRC) are ignored.
// - An unknown command code is ignored (silence), as is everything but Enquire, MemoryWrite
//   and Reset while the unit runs its loader (firmware major 0).
// - Enquire: the 40-byte layout (serial, firmware text, terminator 0, device type at 28,
//   live state at 32-38), reserved bytes 0, cut or zero-padded to enquire_payload_length.
// - SetTime: value 0 only reads the clock; any other value sets it. Answers the clock
//   (4 bytes) after the command.
// - StatusRead: answers the requested flags (bits 0-2) followed by their fields: bit 0 two zero
//   bytes, bit 1 humidity, bit 2 temperature.
// - EventAdd: checked as event_checks.h says (payload size, type, the types and value ranges
//   of the device type, a full table of 40, the sweep's slope), refusals answering their
//   result code. Otherwise the event is inserted at the index, or appended when the index
//   lies past the end; the answer carries the result and the index where it was stored.
// - EventRemove: removes the event at the index and closes the gap (0), or past_end_result
//   past the end.
// - EventEnquire: result 0, the index, the type and its body bytes; past the end
//   past_end_result and the index. An empty payload answers -6 for all three.
// - SetupGet: a zero byte and then the setup record in the unit's own form (tagged, 21, for
//   an Orvane HF with firmware 2.0.0 or newer; short 14 for an Orvane LF; short 17 for an older
//   Orvane HF and the Orvane HF(R1); units without a setup answer format 0 and no fields).
// - SetupSet: takes the fields from a request in the unit's own form (tagged items of length 4
//   in any order, others and unknown tags stepped over) and answers the resulting record from
//   byte 0. It refuses, changing nothing and answering only the format code 0, a request in
//   another form, one cut short (a short record under 9 bytes, a tagged item running past the
//   payload), a sync mode other than 0, 1, 2 or 4, a magnetic switch or AUX messages value
//   other than 0 or 1, and on an Orvane HF or HF(R1) a rest over 35 days (30,240,000 tenths).
// - Play: an empty table answers 0; a start time ahead (tagged form only) answers 2; else 1.
//   The answer is the new play state. A unit waiting for its start time starts playing once
//   its clock reaches it (seen at the next request); one waiting without a start time stays so.
// - Stop: empty payload; the play state becomes 3 (0 when the table is empty).
// - SaveSettings stores the table and setup; RestoreSettings brings them back and sets the
//   settings-restored flag. Both answer an empty payload.
// - MemoryWrite: payload byte 0 the result (0 written, 1 malformed, 2 offset out of sequence,
//   3 refused), byte 1 the data bytes taken. Area 0 collects the firmware image, only while
//   the loader runs and only at the offset that follows the bytes so far (kept to 16 bits, so
//   an image past 64 KiB wraps to 0); a chunk under 128 bytes completes it, and nothing more is
//   taken until the next restart. Area 1 offset 4 with 2 bytes sets the serial number at once,
//   in either mode.
// - Reset: answers an empty payload, then stays silent for restart_period. With the mode word
//   "KORVA" it comes back in its loader, ready for a fresh image; otherwise in its application
//   firmware. A plain restart after a complete image adopts firmware_after_update (when set)
//   and comes back empty: no events, default setup, nothing saved. The fault fields of
//   UnitState change this on request.
// - The play state byte follows Play and Stop, drops to 0 when the table is emptied, and goes
//   from 0 to stopped (3) when events are added or restored into an empty table.
class UnitSimulator {
  public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    UnitSimulator();

    // The bytes the unit sends back, after faults; empty means it stays silent.
    std::vector<uint8_t> HandleRequest(std::span<const uint8_t> request_frame);
    // The same, with the delay a Late fault adds before the first byte.
    Reply Respond(std::span<const uint8_t> request_frame);

    UnitState& State() { return state_; }
    const UnitState& State() const { return state_; }
    SetupState& Setup() { return setup_; }
    std::vector<StoredEvent>& Events() { return events_; }
    StoredSettings& Saved() { return saved_; }
    const FirmwareUpload& Upload() const { return upload_; }

    // The firmware text the Enquire answer carries now.
    const std::string& ReportedFirmware() const;
    bool InAdminMode() const;
    // The setup record format this unit speaks.
    uint16_t SetupFormat() const;
    int64_t UnitClock() const;

    void InjectFault(Fault fault) { faults_.Add(std::move(fault)); }
    void ClearFaults() { faults_.Clear(); }
    size_t ActiveFaults() const { return faults_.Size(); }
    // Silence for a while, as during a restart.
    void StaySilentFor(std::chrono::milliseconds period);
    bool Restarting() const;

    void SetClock(Clock clock) { clock_ = std::move(clock); }

    std::vector<uint8_t> EnquirePayload() const;

  private:
    using Payload = std::vector<uint8_t>;
    using In = std::span<const uint8_t>;

    // The unanswered request gives nullopt.
    std::optional<Payload> Answer(uint8_t command, In payload);
    bool LoaderAnswers(uint8_t command) const;

    std::optional<Payload> OnEnquire(In payload);
    std::optional<Payload> OnSetTime(In payload);
    std::optional<Payload> OnStatusRead(In payload);
    std::optional<Payload> OnEventAdd(In payload);
    std::optional<Payload> OnEventRemove(In payload);
    std::optional<Payload> OnEventEnquire(In payload);
    std::optional<Payload> OnSetupGet(In payload);
    std::optional<Payload> OnSetupSet(In payload);
    std::optional<Payload> OnPlay(In payload);
    std::optional<Payload> OnStop(In payload);
    std::optional<Payload> OnSaveSettings(In payload);
    std::optional<Payload> OnRestoreSettings(In payload);
    std::optional<Payload> OnMemoryWrite(In payload);
    std::optional<Payload> OnReset(In payload);
    // Waiting for the start time turns into playing once the clock has reached it.
    void CatchUpPlayState();
    // "Empty Table" turns into stopped once the table holds events.
    void LeaveEmptyTableState();

    Payload SetupRecord() const;
    // Take a SetupSet record whole, or (false) nothing of it.
    bool ApplyTaggedSetup(In record);
    bool ApplyShortSetup(In record);
    bool SetupFitsUnit(const SetupState& setup) const;
    void Restart(bool into_loader);

    std::chrono::system_clock::time_point Now() const { return clock_(); }

    UnitState state_;
    SetupState setup_;
    std::vector<StoredEvent> events_;
    StoredSettings saved_;
    FirmwareUpload upload_;
    FaultSet faults_;
    Clock clock_;
    std::chrono::system_clock::time_point silent_until_{};
    int restarts_ = 0;
    int memory_writes_ = 0;
    bool silent_for_good_ = false;
};

// The body bytes an event of `type` carries on the wire (0 for a type outside 1-5).
size_t EventBodyBytes(uint8_t type);

// The major version of a firmware text "vM.m.p", or nullopt when it does not parse.
std::optional<int> FirmwareMajor(std::string_view text);
// major * 65536 + minor * 256 + patch, or nullopt.
std::optional<int32_t> FirmwareNumber(std::string_view text);

}  // namespace keelsong::sim
