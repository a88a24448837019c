#include "sim/faults.h"

#include <algorithm>

#include "protocol/frame.h"

namespace keelsong::sim {

namespace {

bool Has(const std::vector<Fault>& faults, Fault::Kind kind) {
    return std::any_of(faults.begin(), faults.end(),
                       [kind](const Fault& fault) { return fault.kind == kind; });
}

void ForEach(const std::vector<Fault>& faults, Fault::Kind kind, auto&& action) {
    for (const Fault& fault : faults) {
        if (fault.kind == kind) {
            action(fault);
        }
    }
}

}  // namespace

std::vector<uint8_t> FrameBytes(uint8_t command, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame(payload.size() + kFrameOverhead);
    const size_t length = BuildFrame(command, payload, frame);
    frame.resize(length);
    return frame;
}

void FaultSet::Add(Fault fault) {
    if (fault.times != 0) {
        faults_.push_back(std::move(fault));
    }
}

std::vector<Fault> FaultSet::Take(uint8_t request_command) {
    std::vector<Fault> taken;
    for (Fault& fault : faults_) {
        if (fault.command && *fault.command != request_command) {
            continue;
        }
        if (fault.skip > 0) {
            --fault.skip;
            continue;
        }
        taken.push_back(fault);
        if (fault.times > 0) {
            --fault.times;
        }
    }
    std::erase_if(faults_, [](const Fault& fault) { return fault.times == 0; });
    return taken;
}

Reply FaultSet::Apply(uint8_t request_command, OutgoingResponse response) {
    const std::vector<Fault> faults = Take(request_command);

    ForEach(faults, Fault::Kind::ReplacePayload,
            [&](const Fault& fault) { response.payload = fault.bytes; });
    ForEach(faults, Fault::Kind::AnnounceLength,
            [&](const Fault& fault) { response.payload.resize(fault.amount, 0); });
    ForEach(faults, Fault::Kind::WrongCommand, [&](const Fault& fault) {
        response.command = static_cast<uint8_t>(response.command + fault.amount);
    });

    Reply reply;
    reply.bytes = FrameBytes(response.command, response.payload);

    ForEach(faults, Fault::Kind::CorruptCrc, [&](const Fault& fault) {
        const size_t region = response.payload.empty() ? kFrameCrcSize : response.payload.size();
        const size_t bit = fault.amount % (region * 8);
        const size_t offset = response.payload.empty() ? kFrameHeaderSize : kPayloadOffset;
        reply.bytes[offset + bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    });
    ForEach(faults, Fault::Kind::CutShort, [&](const Fault& fault) {
        reply.bytes.resize(std::min(reply.bytes.size(), fault.amount));
    });
    ForEach(faults, Fault::Kind::NoisePrefix, [&](const Fault& fault) {
        reply.bytes.insert(reply.bytes.begin(), fault.bytes.begin(), fault.bytes.end());
    });
    ForEach(faults, Fault::Kind::Late, [&](const Fault& fault) { reply.delay += fault.delay; });
    if (Has(faults, Fault::Kind::Drop)) {
        reply.bytes.clear();
    }
    return reply;
}

}  // namespace keelsong::sim
