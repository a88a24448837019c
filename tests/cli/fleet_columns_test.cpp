// What the fleet window's cells say of a row.
#include "cli/fleet_columns.h"

#include <gtest/gtest.h>

namespace keelsong::cli {
namespace {

TEST(FleetColumns, CellTexts_SayWhatTheRowHolds) {
    FleetRow row;
    row.port = 3;
    row.device = "/dev/serial/by-id/usb-Orvane_HF_1042-if00";
    row.serial = 1042;
    row.firmware = "v0.9.0";
    row.admin_mode = true;
    row.clock_offset_s = -12;  // the unit is 12 s ahead of the computer
    row.outcome = "verified";
    row.progress = "Sending events";

    struct Case {
        FleetColumn column;
        std::function<void(FleetRow&)> change;
        std::string text;
    };
    const Case cases[] = {
        {FleetColumn::Port, nullptr, "3"},
        {FleetColumn::Device, nullptr, "usb-Orvane_HF_1042-if00"},
        {FleetColumn::Device, [](FleetRow& r) { r.device = "/dev/pts/4"; }, "/dev/pts/4"},
        {FleetColumn::Serial, nullptr, "1042"},
        {FleetColumn::Serial, [](FleetRow& r) { r.serial.reset(); }, ""},
        {FleetColumn::Firmware, nullptr, "v0.9.0 (admin mode)"},
        {FleetColumn::Clock, nullptr, "12 s ahead"},
        {FleetColumn::Clock, [](FleetRow& r) { r.clock_offset_s = 5; }, "5 s behind"},
        {FleetColumn::Clock, [](FleetRow& r) { r.clock_offset_s = -2; }, "in step"},
        {FleetColumn::Clock, [](FleetRow& r) { r.clock_offset_s = -3; }, "3 s ahead"},
        {FleetColumn::Clock, [](FleetRow& r) { r.clock_offset_s.reset(); }, ""},
        {FleetColumn::Progress, nullptr, "verified"},
        {FleetColumn::Progress, [](FleetRow& r) { r.busy = true; }, "Sending events"},
        {FleetColumn::Progress, [](FleetRow& r) { r.held = true; }, "Open in the main window"},
    };
    for (const Case& test : cases) {
        FleetRow changed = row;
        if (test.change) {
            test.change(changed);
        }
        EXPECT_EQ(FleetCellText(changed, test.column), test.text) << test.text;
    }
    EXPECT_EQ(FleetCellTooltip(row, FleetColumn::Device), row.device);
    EXPECT_EQ(FleetCellTooltip(row, FleetColumn::Clock),
              "The unit's clock is 12 s ahead of this computer's");
}

}  // namespace
}  // namespace keelsong::cli
