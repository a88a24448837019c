#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/device_type.h"

namespace keelsong {

// The name the program shows for a device type; "Unknown Device" for any code it does not know.
std::string_view DeviceTypeName(int device_type);

// Whether units of this type play an event table and keep a setup (Orvane LF, HF, HF(R1)).
bool HasEventTable(int device_type);

// FirmwareVersion thresholds: below kNormalFirmware the unit runs its loader (admin mode);
// from kSyncFirmware on it reports synchronisation (and an Orvane HF keeps its clock and the
// tagged setup); above kNewestKnownFirmware an Orvane HF is newer than this program.
inline constexpr int32_t kNormalFirmware = 0x010000;       // 1.0.0
inline constexpr int32_t kSyncFirmware = 0x020000;         // 2.0.0
inline constexpr int32_t kNewestKnownFirmware = 0x020163;  // 2.1.99

// The Enquire payload: the shortest answer the program accepts, and how much of it the
// identity record keeps.
inline constexpr size_t kMinEnquirePayload = 30;
inline constexpr size_t kIdentityPayloadBytes = 40;
inline constexpr size_t kFirmwareTextOffset = 2;
inline constexpr size_t kFirmwareTextBytes = 7;

// Parses a firmware text: the letter "v", then major, minor and patch in decimal separated by
// ".", each 0-255. Characters after the patch number are ignored. Returns
// major * 65536 + minor * 256 + patch, or nullopt when the text does not hold three numbers.
std::optional<int32_t> ParseFirmwareText(std::string_view text);

// The version as the program shows it: "v" major.minor.patch from a FirmwareVersion.
std::string FirmwareVersionText(int32_t version);

// The firmware text of an Enquire payload: at most 7 bytes from offset 2, up to the first zero
// byte. Bytes missing from a short payload count as zero.
std::string FirmwareTextOf(std::span<const uint8_t> payload);

// What an Enquire answer must carry before it is taken: 30 payload bytes and a firmware text
// that parses. The FirmwareVersion, or nullopt.
std::optional<int32_t> DecodeEnquiry(std::span<const uint8_t> payload);

// The connected unit as the last enquiry described it. The first 40 bytes are the Enquire
// payload as received (record offsets are payload offsets); FirmwareVersion and the clock
// offset follow, computed by the program.
class UnitIdentity {
  public:
    // Payload offsets of the fields the program reads.
    static constexpr size_t kSerialOffset = 0;
    static constexpr size_t kTerminatorOffset = 9;
    static constexpr size_t kDeviceTypeOffset = 28;
    static constexpr size_t kStatusPresentOffset = 32;
    static constexpr size_t kBatteryStateOffset = 33;
    static constexpr size_t kBatteryLevelOffset = 34;
    static constexpr size_t kSyncStateOffset = 35;
    static constexpr size_t kClockModeOffset = 36;
    static constexpr size_t kPlayStateOffset = 37;
    static constexpr size_t kSettingsRestoredOffset = 38;

    // Before any enquiry: serial 0, firmware "?", no unit, no live state, settings restored,
    // FirmwareVersion -1, clock offset 0.
    UnitIdentity();

    // Takes an accepted Enquire payload: the status-present flag is cleared first, so an answer
    // that ends before the live-state bytes leaves it 0; at most 40 bytes are kept, and the
    // firmware text is terminated whatever the unit sent.
    void StorePayload(std::span<const uint8_t> payload);

    const std::array<uint8_t, kIdentityPayloadBytes>& Raw() const { return raw_; }

    uint16_t SerialNumber() const;
    void SetSerialNumber(uint16_t serial);
    std::string FirmwareText() const;
    uint8_t DeviceType() const { return raw_[kDeviceTypeOffset]; }
    void SetDeviceType(uint8_t type) { raw_[kDeviceTypeOffset] = type; }

    uint8_t StatusPresent() const { return raw_[kStatusPresentOffset]; }
    uint8_t BatteryState() const { return raw_[kBatteryStateOffset]; }
    int8_t BatteryLevel() const { return static_cast<int8_t>(raw_[kBatteryLevelOffset]); }
    uint8_t SyncState() const { return raw_[kSyncStateOffset]; }
    uint8_t ClockMode() const { return raw_[kClockModeOffset]; }
    uint8_t PlayState() const { return raw_[kPlayStateOffset]; }
    uint8_t SettingsRestored() const { return raw_[kSettingsRestoredOffset]; }

    // major * 65536 + minor * 256 + patch; -1 until the first successful enquiry.
    int32_t firmware_version = -1;
    // PC clock minus unit clock in seconds, as last measured; 0 until measured.
    int32_t clock_offset = 0;

  private:
    std::array<uint8_t, kIdentityPayloadBytes> raw_{};
};

}  // namespace keelsong
