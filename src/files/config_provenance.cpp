#include "files/config_provenance.h"

#include <array>

#include "protocol/unit_identity.h"

namespace keelsong {

namespace {

constexpr char kUnitSection[] = "Unit";
constexpr char kSavedSection[] = "Saved";

std::string TextOf(const IniDocument& document, const char* section, const char* item) {
    const IniItem* found = document.FindItem(section, item);
    if (!found) {
        return {};
    }
    // Values are short; one that is not is no value of ours.
    char buffer[128];
    return document.GetStringIntoBuffer(section, item, buffer, sizeof buffer) == 1 ? buffer : "";
}

}  // namespace

int PutConfigProvenance(IniDocument& document, const ConfigProvenance& provenance) {
    int result = 0;
    const auto put = [&](const char* section, const char* item, const std::string& value) {
        if (result == 0 && !value.empty()) {
            result = document.PutPlainString(section, item, value);
        }
    };
    put(kUnitSection, "Type", provenance.type);
    if (result == 0 && provenance.serial) {
        result = document.PutUInt(kUnitSection, "Serial Number", *provenance.serial);
    }
    put(kUnitSection, "Firmware", provenance.firmware);
    put(kSavedSection, "Program", provenance.program);
    put(kSavedSection, "Time", provenance.time);
    return result;
}

ConfigProvenance ReadConfigProvenance(const IniDocument& document) {
    ConfigProvenance provenance;
    provenance.type = TextOf(document, kUnitSection, "Type");
    if (!EventTableTypeNamed(provenance.type)) {
        provenance.type.clear();
    }
    std::uint32_t serial = 0;
    if (document.GetUInt(kUnitSection, "Serial Number", &serial) == 1 && serial <= 0xFFFF) {
        provenance.serial = static_cast<uint16_t>(serial);
    }
    provenance.firmware = TextOf(document, kUnitSection, "Firmware");
    if (!ParseFirmwareText(provenance.firmware)) {
        provenance.firmware.clear();
    }
    provenance.program = TextOf(document, kSavedSection, "Program");
    provenance.time = TextOf(document, kSavedSection, "Time");
    return provenance;
}

std::optional<int> EventTableTypeNamed(const std::string& name) {
    for (const int type :
         {device_type::kOrvaneLf, device_type::kOrvaneHf, device_type::kOrvaneHfR1}) {
        if (name == DeviceTypeName(type)) {
            return type;
        }
    }
    return std::nullopt;
}

}  // namespace keelsong
