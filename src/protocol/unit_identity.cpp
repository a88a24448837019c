#include "protocol/unit_identity.h"

#include <algorithm>

#include "protocol/frame.h"

namespace keelsong {

std::string_view DeviceTypeName(int device_type) {
    switch (device_type) {
        case device_type::kOrvaneLf:
            return "Orvane LF";
        case device_type::kQuelmarLf:
            return "Quelmar LF";
        case device_type::kOrvaneHf:
            return "Orvane HF";
        case device_type::kQuelmarHf:
            return "Quelmar HF";
        case device_type::kOrvaneHfR1:
            return "Orvane HF(R1)";
        case device_type::kQuelmarAf:
            return "Quelmar AF";
        case device_type::kQuelmarMf:
            return "Quelmar MF";
        default:
            return "Unknown Device";
    }
}

bool HasEventTable(int device_type) {
    return device_type == device_type::kOrvaneLf || device_type == device_type::kOrvaneHf ||
           device_type == device_type::kOrvaneHfR1;
}

std::optional<int32_t> ParseFirmwareText(std::string_view text) {
    if (text.empty() || text[0] != 'v') {
        return std::nullopt;
    }
    size_t pos = 1;
    int32_t parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        // Digits only: a sign or a blank is no version number, and a number that does not fit
        // its byte would silently become another version.
        const size_t start = pos;
        int32_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + (text[pos] - '0');
            if (value > 255) {
                return std::nullopt;
            }
            ++pos;
        }
        if (pos == start) {
            return std::nullopt;
        }
        parts[i] = value;
    }
    return parts[0] * 65536 + parts[1] * 256 + parts[2];
}

std::string FirmwareVersionText(int32_t version) {
    return "v" + std::to_string((version >> 16) & 0xFF) + "." +
           std::to_string((version >> 8) & 0xFF) + "." + std::to_string(version & 0xFF);
}

std::string FirmwareTextOf(std::span<const uint8_t> payload) {
    std::string text;
    for (size_t i = 0; i < kFirmwareTextBytes; ++i) {
        const size_t at = kFirmwareTextOffset + i;
        if (at >= payload.size() || payload[at] == 0) {
            break;
        }
        text.push_back(static_cast<char>(payload[at]));
    }
    return text;
}

std::optional<int32_t> DecodeEnquiry(std::span<const uint8_t> payload) {
    if (payload.size() < kMinEnquirePayload) {
        return std::nullopt;
    }
    return ParseFirmwareText(FirmwareTextOf(payload));
}

UnitIdentity::UnitIdentity() {
    raw_[kFirmwareTextOffset] = '?';
    raw_[kSettingsRestoredOffset] = 1;
}

void UnitIdentity::StorePayload(std::span<const uint8_t> payload) {
    raw_[kStatusPresentOffset] = 0;
    const size_t count = std::min(payload.size(), raw_.size());
    std::copy_n(payload.begin(), count, raw_.begin());
    raw_[kTerminatorOffset] = 0;
}

uint16_t UnitIdentity::SerialNumber() const {
    return ReadLe16(&raw_[kSerialOffset]);
}

void UnitIdentity::SetSerialNumber(uint16_t serial) {
    WriteLe16(&raw_[kSerialOffset], serial);
}

std::string UnitIdentity::FirmwareText() const {
    return FirmwareTextOf(raw_);
}

}  // namespace keelsong
