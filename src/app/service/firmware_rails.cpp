#include "app/service/firmware_rails.h"

#include <array>
#include <cmath>

#include "app/connection/connection.h"
#include "app/service/firmware_backup.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/readiness.h"
#include "protocol/commands.h"
#include "protocol/firmware_image.h"

namespace keelsong {

namespace {

std::string Percent(int level) {
    return std::to_string(level) + " %";
}

bool InLoader(const UnitIdentity& identity) {
    return identity.firmware_version < kNormalFirmware;
}

// Asks whether to update regardless of the battery; true to go on.
bool UpdateAnyway(Program& program, std::optional<int> level) {
    const std::string go_on =
        level ? "Update at " + Percent(*level) : std::string("Update without a reading");
    const std::array<std::string, 3> buttons = {go_on, "Cancel", ""};
    const std::string text =
        LowBatteryText(level) +
        ".\n\nA unit that runs out of power during the update is left in "
        "admin mode. Update anyway" +
        (level ? " at " + Percent(*level) : std::string(" without a reading")) + "?";
    // Cancel is the default: going on must be chosen on purpose.
    return program.GetUi().GenericMessagePopup("Low Battery", text, buttons, 2, 2) == 1;
}

}  // namespace

std::string LowBatteryText(std::optional<int> level) {
    const std::string need = "charge the unit to at least " + Percent(kMinFirmwareBattery) +
                             " before updating its firmware";
    return level ? "Battery at " + Percent(*level) + ": " + need : "No battery reading: " + need;
}

std::string AboutSeconds(double seconds) {
    return "about " + std::to_string(static_cast<long long>(std::ceil(seconds))) + " s";
}

std::string UpdatePlanText(const UnitIdentity& identity, std::optional<size_t> image_bytes) {
    std::string text;
    if (image_bytes) {
        text = "Writing the image takes " + AboutSeconds(FirmwareWriteSeconds(*image_bytes)) +
               ", and the unit restarts twice (" + AboutSeconds(2 * kRestartPauseSeconds) + ").";
    }
    if (InLoader(identity)) {
        text += std::string(text.empty() ? "" : "\n") +
                "The unit is in admin mode: it has no table or setup that could be backed up";
        text += BatteryReading(identity) ? "." : ", and its battery is unknown.";
    } else if (HasEventTable(identity.DeviceType())) {
        text += std::string(text.empty() ? "" : "\n") +
                "The unit's table and setup are backed up first.";
    }
    return text;
}

std::optional<std::string> PrepareFirmwareUpdate(Program& program, BatteryGate gate,
                                                 std::string& backup) {
    backup.clear();
    if (EnquireUnit(program, true) < 0) {
        Disconnect(program);
        const std::string lost = "Error, disconnected from device";
        program.ShowStatusMessage(false, lost);
        return lost;
    }
    const UnitIdentity& identity = program.Identity();
    const std::optional<int> level = BatteryReading(identity);
    if (gate != BatteryGate::Ignore && (!level || *level < kMinFirmwareBattery)) {
        const std::string low = LowBatteryText(level);
        program.ShowStatusMessage(false, low);
        if (gate == BatteryGate::Refuse || !UpdateAnyway(program, level)) {
            return low;
        }
    }
    if (InLoader(identity) || !HasEventTable(identity.DeviceType())) {
        return std::nullopt;
    }
    return BackUpUnit(program, backup);
}

}  // namespace keelsong
