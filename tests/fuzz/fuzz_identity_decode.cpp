// Whatever an Enquire answer holds, at any length a response can carry (0-94 bytes), decoding
// it, keeping it as the unit's identity and showing it stay inside their buffers and never
// misbehave; the same bytes as a StatusRead answer are walked the same way. The bytes go
// through the program's own enquiry and status read as the unit's answers to every command.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/status_display.h"
#include "headless/headless_ui.h"
#include "protocol/frame.h"
#include "protocol/unit_identity.h"
#include "protocol/unit_status.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

using namespace keelsong;

namespace {

void CheckDecoding(std::span<const uint8_t> payload) {
    const std::optional<int32_t> version = DecodeEnquiry(payload);
    if (version && (payload.size() < kMinEnquirePayload || *version < 0 || *version > 0xFFFFFF)) {
        __builtin_trap();
    }
    UnitIdentity identity;
    identity.StorePayload(payload);
    if (identity.Raw()[UnitIdentity::kTerminatorOffset] != 0 ||
        identity.FirmwareText().size() > kFirmwareTextBytes) {
        __builtin_trap();
    }
    if (payload.size() <= UnitIdentity::kStatusPresentOffset && identity.StatusPresent() != 0) {
        __builtin_trap();
    }
    (void)DeviceTypeName(identity.DeviceType());
    (void)SyncStateText(identity.SyncState());
    (void)BatteryTooltip(identity.BatteryLevel());
    const int gauge = BatteryGaugeValue(identity.BatteryLevel());
    if (gauge < 0 || gauge > 10) {
        __builtin_trap();
    }
    (void)TemperatureHumidityText(
        WalkStatusPayload(payload, status_flag::kHumidity | status_flag::kTemperature));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> payload(data, std::min(size, kMaxResponsePayload));
    CheckDecoding(payload);

    HeadlessUi ui;
    testing::FakePlatform platform;
    testing::FakeSerialPort port;
    port.SetResponder([&](std::span<const uint8_t> written) {
        std::array<uint8_t, kResponseBufferSize> frame{};
        const size_t length = BuildFrame(written[1], payload, frame);
        return std::vector<uint8_t>(frame.begin(), frame.begin() + length);
    });
    Program program(ui, port, platform);
    program.Link().Settings().open = 1;
    program.CurrentUnitSetup().start_time =
        payload.size() >= 4 ? static_cast<int32_t>(ReadLe32(payload.data())) : 0;
    const int version = EnquireUnit(program, true);
    if (version >= 0 && payload.size() < kMinEnquirePayload) {
        __builtin_trap();
    }
    ReadUnitStatus(program);
    for (int state = 0; state < 5; ++state) {
        ShowPlayState(program, state);
    }
    return 0;
}
