// Whatever a unit answers to SetupGet or SetupSet, or a configuration file builds, decoding a
// setup record must read only the bytes it was given, take only whole fields, and change no
// control for a record whose format code it does not know.
//
// Input: byte 0 picks the unit (bits 0-1), whether the record is remembered (bit 2) and
// whether it comes through the serial link as a SetupGet answer (bit 3); the rest is the
// record (or, through the link, the answer's payload).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/setup/setup_panel.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "protocol/frame.h"
#include "protocol/unit_setup.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace {

using namespace keelsong;

struct Unit {
    int device_type;
    int32_t firmware;
};

constexpr Unit kUnits[] = {
    {1, 0x010102},  // Orvane LF that counts the last event into the rest
    {1, 0x010103},
    {4, 0x020104},
    {6, 0x020104},
};

constexpr Control kSetupControls[] = {
    Control::CONTINUOUS, Control::PLAYBACKS, Control::REST_TIME,   Control::ENABLE_START_TIME,
    Control::YEAR,       Control::MONTH,     Control::DAY,         Control::HOUR,
    Control::MIN,        Control::SYNC_MODE, Control::ENCODE_TIME, Control::MAG_SWITCH,
};

std::vector<std::string> Picture(const HeadlessUi& ui) {
    std::vector<std::string> picture;
    for (Control control : kSetupControls) {
        picture.push_back(ui.TextValue(Panel::MAIN, control) +
                          (ui.IsDimmed(Panel::MAIN, control) ? "/dimmed/" : "/open/") +
                          ui.Label(Panel::MAIN, control));
    }
    return picture;
}

void CheckParse(std::span<const uint8_t> record) {
    const std::optional<DecodedSetup> decoded = ParseSetupRecord(record);
    if (!decoded) {
        return;
    }
    if (!IsKnownSetupFormat(decoded->format) || record.size() < 2 ||
        ReadLe16(record.data()) != decoded->format) {
        __builtin_trap();
    }
    if (decoded->format == setup_format::kTagged) {
        // Every 4-byte field took eight bytes of the record after its four-byte header.
        if (4 + decoded->fields.size() * 8 > std::max<size_t>(record.size(), 4)) {
            __builtin_trap();
        }
    } else {
        const size_t expected = (record.size() >= 4 ? 1 : 0) + (record.size() >= 8 ? 1 : 0) +
                                (record.size() >= 9 ? 1 : 0);
        if (decoded->fields.size() != expected) {
            __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t choice = data[0];
    // Exactly the bytes after the choice: the sanitizer sees any read past them.
    std::vector<uint8_t> record(data + 1, data + size);
    CheckParse(record);

    HeadlessUi ui;
    testing::FakePlatform platform;
    testing::FakeSerialPort port;
    Program program(ui, port, platform);
    InstallSetupPanel(program);
    const Unit& unit = kUnits[choice & 0x03];
    program.SetUnit({unit.device_type, unit.firmware, program.Unit().setup_format});
    ChooseSetupFormat(program);
    // A last event for the allowance to read.
    program.Grid().InsertRows(1, 1);
    program.Grid().SetText(1, 1, "Tone");

    const bool remember = (choice & 0x04) != 0;
    const std::vector<std::string> before = Picture(ui);
    const UnitSetup remembered_before = program.CurrentUnitSetup();
    const bool known = ParseSetupRecord(record).has_value();

    if ((choice & 0x08) != 0) {
        if (record.size() > kMaxResponsePayload) {
            record.resize(kMaxResponsePayload);
        }
        port.SetResponder([&record](std::span<const uint8_t> request) {
            std::vector<uint8_t> frame(record.size() + kFrameOverhead);
            frame.resize(BuildFrame(request[1], record, frame));
            return frame;
        });
        const std::span<const uint8_t> inside =
            record.empty() ? std::span<const uint8_t>() : std::span(record).subspan(1);
        const bool known_answer = ParseSetupRecord(inside).has_value();
        if (ReadUnitSetup(program).ok != known_answer) {
            __builtin_trap();
        }
        if (!known_answer &&
            (Picture(ui) != before || !(program.CurrentUnitSetup() == remembered_before))) {
            __builtin_trap();
        }
        return 0;
    }

    const int result = DecodeSetup(program, record, remember);
    if ((result == 0) != known) {
        __builtin_trap();
    }
    if (!known && Picture(ui) != before) {
        __builtin_trap();
    }
    if (!remember && !(program.CurrentUnitSetup() == remembered_before)) {
        __builtin_trap();
    }
    return 0;
}
