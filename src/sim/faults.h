#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "protocol/commands.h"

namespace keelsong::sim {

// One way of spoiling the unit's responses, for exercising the program's receive and retry
// paths. A fault spoils the next `times` responses that match it (after leaving `skip` matching
// responses intact), then disappears. Only responses the unit actually sends count: a request
// that the unit ignores (unknown code, restarting) neither consumes nor triggers a fault.
//
// Several faults can be active at once and combine. Whatever order they were injected in, they
// act on a response in this order: ReplacePayload, AnnounceLength, WrongCommand (these shape
// the frame, which then gets a correct CRC), CorruptCrc, CutShort, NoisePrefix, Late, Drop.
// So CutShort counts frame bytes without the noise, and Drop wins over everything.
struct Fault {
    enum class Kind {
        Drop,            // stay silent; the command still takes effect, only the answer is lost
        CorruptCrc,      // flip one bit after the CRC was computed
        NoisePrefix,     // send `bytes` before the start byte
        CutShort,        // send only the first `amount` bytes of the frame
        WrongCommand,    // echo the request's code plus `amount` (CRC correct)
        AnnounceLength,  // announce `amount` payload bytes: the payload is zero-padded or
                         // truncated to that length and the CRC is correct
        Late,            // wait `delay` before the first byte leaves
        ReplacePayload,  // answer with `bytes` as the payload instead of the real one
    };

    static constexpr int kForever = -1;

    Kind kind = Kind::Drop;
    std::vector<uint8_t> bytes;
    size_t amount = 0;
    std::chrono::milliseconds delay{0};
    int times = 1;
    int skip = 0;
    std::optional<uint8_t> command;

    static Fault Drop() { return Make(Kind::Drop); }
    // Flips bit `bit` of the payload (bit 0 is the lowest bit of payload byte 0). A response
    // without payload gets the bit flipped in its CRC instead.
    static Fault CorruptCrc(size_t bit = 0) { return Make(Kind::CorruptCrc, {}, bit); }
    // Bytes before the start byte, sent as given: a start byte among them makes a false start.
    static Fault NoisePrefix(std::vector<uint8_t> noise = {0x00, 0xFF}) {
        return Make(Kind::NoisePrefix, std::move(noise));
    }
    static Fault CutShort(size_t keep_bytes) { return Make(Kind::CutShort, {}, keep_bytes); }
    // The start byte and only `header_bytes` (0-2) of the three header bytes after it.
    static Fault HeaderIncomplete(size_t header_bytes) { return CutShort(1 + header_bytes); }
    static Fault WrongCommand(uint8_t added = 1) { return Make(Kind::WrongCommand, {}, added); }
    static Fault AnnounceLength(uint16_t payload_length) {
        return Make(Kind::AnnounceLength, {}, payload_length);
    }
    static Fault Late(std::chrono::milliseconds delay) {
        Fault fault = Make(Kind::Late);
        fault.delay = delay;
        return fault;
    }
    static Fault ReplacePayload(std::vector<uint8_t> payload) {
        return Make(Kind::ReplacePayload, std::move(payload));
    }

    Fault Times(int n) const {
        Fault copy = *this;
        copy.times = n;
        return copy;
    }
    Fault Forever() const { return Times(kForever); }
    Fault After(int intact_responses) const {
        Fault copy = *this;
        copy.skip = intact_responses;
        return copy;
    }
    Fault OnlyFor(Command only) const {
        Fault copy = *this;
        copy.command = CommandCode(only);
        return copy;
    }

  private:
    static Fault Make(Kind kind, std::vector<uint8_t> bytes = {}, size_t amount = 0) {
        Fault fault;
        fault.kind = kind;
        fault.bytes = std::move(bytes);
        fault.amount = amount;
        return fault;
    }
};

// A response on its way out: the frame's parts before they are put together, so that faults
// can reshape them.
struct OutgoingResponse {
    uint8_t command = 0;
    std::vector<uint8_t> payload;
};

// What leaves the unit for one request: the bytes (empty = silence) and how long after the
// request arrived the first of them starts.
struct Reply {
    std::vector<uint8_t> bytes;
    std::chrono::milliseconds delay{0};
};

// The active faults of one unit.
class FaultSet {
  public:
    void Add(Fault fault);
    void Clear() { faults_.clear(); }
    size_t Size() const { return faults_.size(); }

    // Builds the reply for `response` to a request with code `request_command`, spoiled by
    // every fault that takes this response; those faults are used up by one.
    Reply Apply(uint8_t request_command, OutgoingResponse response);

  private:
    // The faults that take this response, counting down skips and uses.
    std::vector<Fault> Take(uint8_t request_command);

    std::vector<Fault> faults_;
};

// Frames `payload` with a correct CRC and a length field announcing payload.size().
std::vector<uint8_t> FrameBytes(uint8_t command, const std::vector<uint8_t>& payload);

}  // namespace keelsong::sim
