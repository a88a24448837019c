#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "app/events/event_grid.h"
#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "headless/headless_ui.h"
#include "protocol/frame.h"
#include "protocol/unit_identity.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace keelsong::testing {

using Bytes = std::vector<uint8_t>;

// A unit as an enquiry would describe it.
struct UnitDescription {
    uint8_t device_type = device_type::kOrvaneHf;
    int32_t firmware = 0x020104;
    uint8_t play_state = 0;
    uint8_t status_present = 1;
};

inline Bytes ResponseFrame(uint8_t command, const Bytes& payload) {
    Bytes frame(payload.size() + kFrameOverhead);
    frame.resize(BuildFrame(command, payload, frame));
    return frame;
}

// The payload of a request frame the program wrote.
inline Bytes RequestPayload(const Bytes& frame) {
    if (frame.size() < kFrameOverhead) {
        return {};
    }
    return Bytes(frame.begin() + kPayloadOffset, frame.end() - kFrameCrcSize);
}

// The setup panel on a headless screen, a fake port and a fake clock, installed as the program
// installs it.
struct SetupFixture : ::testing::Test {
    SetupFixture() {
        InstallSetupPanel(program);
        ui.RecordHistory(Panel::MAIN, Control::STATUS_LINE);
        ui.SetLabel(Panel::MAIN, Control::ENCODE_TIME, "Decode time from PPS");
    }

    // Stores the identity as an accepted enquiry does and brings the panel up to date for it.
    void Identify(const UnitDescription& unit) {
        Bytes payload(kIdentityPayloadBytes, 0);
        WriteLe16(&payload[0], 1042);
        const std::string firmware = "v" + std::to_string((unit.firmware >> 16) & 0xFF) + "." +
                                     std::to_string((unit.firmware >> 8) & 0xFF) + "." +
                                     std::to_string(unit.firmware & 0xFF);
        std::copy_n(firmware.begin(), std::min<size_t>(firmware.size(), kFirmwareTextBytes),
                    &payload[kFirmwareTextOffset]);
        payload[UnitIdentity::kDeviceTypeOffset] = unit.device_type;
        payload[UnitIdentity::kStatusPresentOffset] = unit.status_present;
        payload[UnitIdentity::kPlayStateOffset] = unit.play_state;
        program.Identity().StorePayload(payload);
        program.Identity().firmware_version = unit.firmware;
        ChooseSetupFormat(program);
        UpdateControlsForUnit(program);
        ApplyUnitTypeLimits(program, IdentityText(program.Identity()));
    }

    // Appends a grid row of the type named in the Type cell, set up as choosing it would.
    int AddRow(const char* type_text, int32_t type) {
        const int row = program.Grid().RowCount() + 1;
        EXPECT_EQ(InsertEventRow(program, static_cast<uint8_t>(row)), 0);
        program.Grid().SetText(grid_column::kType, row, type_text);
        SetRowType(program, type, row);
        return row;
    }

    // The fake unit answers every request with this payload for the command it was asked.
    void AnswerWith(const Bytes& payload) {
        port.SetResponder([payload](std::span<const uint8_t> request) {
            return ResponseFrame(request[1], payload);
        });
    }

    bool Dimmed(Control control, Panel panel = Panel::MAIN) const {
        return ui.IsDimmed(panel, control);
    }
    int Int(Control control) const { return ui.IntValue(Panel::MAIN, control); }
    std::string StatusText() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }
    uint32_t StatusColor() const { return ui.TextColor(Panel::MAIN, Control::STATUS_LINE); }

    HeadlessUi ui;
    FakePlatform platform;
    FakeSerialPort port;
    Program program{ui, port, platform};
};

// Sets TZ for one test and puts the previous value back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            previous_ = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) {
            ::setenv("TZ", previous_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> previous_;
};

}  // namespace keelsong::testing
