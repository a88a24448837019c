#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/events/event_grid.h"
#include "app/events/unit_limits.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace keelsong::testing {

// A program on a headless screen and a fake port, with a unit described as the enquiry and
// the setup panel would leave it: device type, firmware, setup format and the grid's limits.
struct EventTableFixture : ::testing::Test {
    enum class Unit { None, Lf, Hf, HfOldFirmware, HfR1 };

    void Connect(Unit unit) {
        switch (unit) {
            case Unit::None:
                program.SetUnit(UnitContext{});
                return;
            case Unit::Lf:
                program.SetUnit({device_type::kOrvaneLf, 0x010103, 14});
                break;
            case Unit::Hf:
            case Unit::HfOldFirmware:
            case Unit::HfR1: {
                const bool old = unit == Unit::HfOldFirmware;
                program.SetUnit(
                    {unit == Unit::HfR1 ? device_type::kOrvaneHfR1 : device_type::kOrvaneHf,
                     old ? 0x010909 : 0x020104, static_cast<uint16_t>(unit == Unit::Hf ? 21 : 17)});
                break;
            }
        }
        ApplyGridLimits(program.Grid(), *LimitsFor(program.Unit()));
    }

    // Appends a row and sets it up for `type` as choosing it in the Type cell would.
    int AddRow(int32_t type) {
        static const char* const kTexts[] = {"None", "Tone", "Sweep", "Rest", "Click", "Tone"};
        const int row = program.Grid().RowCount() + 1;
        EXPECT_EQ(InsertEventRow(program, static_cast<uint8_t>(row)), 0);
        program.Grid().SetText(grid_column::kType, row, kTexts[type]);
        SetRowType(program, type, row);
        return row;
    }

    std::string StatusText() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }
    uint32_t StatusColor() const { return ui.TextColor(Panel::MAIN, Control::STATUS_LINE); }

    HeadlessUi ui;
    FakePlatform platform;
    FakeSerialPort port;
    Program program{ui, port, platform};
};

}  // namespace keelsong::testing
