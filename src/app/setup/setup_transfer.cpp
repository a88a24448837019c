// The setup's exchange with the unit and the conversions between its wire fields and the
// controls that show them.

#include <algorithm>
#include <limits>
#include <vector>

#include "app/setup/setup_panel.h"
#include "app/shell/text_format.h"
#include "app/state/program.h"
#include "protocol/frame.h"
#include "protocol/unit_setup.h"

namespace keelsong {

namespace {

// SetupGet always asks in the tagged form's code; the unit answers in its own form.
constexpr uint8_t kSetupGetRequest[] = {0x15, 0x00};
// The SetupGet answer's byte 0 is the unit's own; the record follows it.
constexpr size_t kSetupGetRecordOffset = 1;

constexpr uint32_t kNoStartTime = 0xFFFFFFFF;  // -1

uint16_t Format(const Program& program) {
    return program.Unit().setup_format;
}

// The allowance for the last row of the grid on units that count it into the rest.
uint32_t LastEventAllowance(Program& program) {
    const UnitContext& unit = program.Unit();
    const EventGridModel& grid = program.Grid();
    const int last_row = grid.RowCount();
    std::optional<LastEventCells> last;
    std::string type_text;
    if (last_row > 0) {
        type_text = grid.Text(grid_column::kType, last_row);
        last = LastEventCells{type_text, grid.Number(grid_column::kDuration, last_row),
                              grid.Number(grid_column::kStartFrequency, last_row)};
    }
    return LastEventTenths(unit.device_type, unit.firmware_version, last);
}

// A copy of the last response's payload from `offset`: showing fields can repaint the window,
// and nothing else may be read from the shared buffer by then.
std::vector<uint8_t> ResponseFrom(const SerialLink& link, size_t offset) {
    const std::span<const uint8_t> payload = link.ResponsePayload();
    if (payload.size() <= offset) {
        return {};
    }
    return std::vector<uint8_t>(payload.begin() + static_cast<std::ptrdiff_t>(offset),
                                payload.end());
}

// Every record from the unit names the format it speaks; the program adopts it.
void AdoptRecordFormat(Program& program, std::span<const uint8_t> record) {
    if (record.size() >= 2) {
        program.SetupFormat() = ReadLe16(record.data());
    }
}

int ClampToInt(uint32_t value) {
    return static_cast<int>(std::min<uint32_t>(value, std::numeric_limits<int>::max()));
}

}  // namespace

void ChooseSetupFormat(Program& program) {
    const UnitContext unit = program.Unit();
    program.SetupFormat() = SetupFormatFor(unit.device_type, unit.firmware_version);
}

Outcome ReadUnitSetup(Program& program) {
    SerialLink& link = program.Link();
    if (link.SendCommand(Command::SetupGet, kSetupGetRequest) <= 0) {
        return Outcome::Failed(link.Failure());
    }
    const std::vector<uint8_t> record = ResponseFrom(link, kSetupGetRecordOffset);
    AdoptRecordFormat(program, record);
    if (DecodeSetup(program, record, true) < 0) {
        return program.Fail("Unrecognised device setup");
    }
    return Outcome::Done();
}

Outcome SendUnitSetup(Program& program) {
    // Whatever the unit held may change from here; only a send that succeeds says what it holds.
    program.History().unit_setup.reset();
    const uint16_t format = Format(program);
    if (format == setup_format::kTagged) {
        return SendTaggedSetup(program);
    }
    if (format != setup_format::kShortLf && format != setup_format::kShortHf) {
        return program.Fail("Unsupported unit type");
    }
    const auto plays =
        static_cast<uint16_t>(ReadSetupField(program, setup_tag::kNumberOfPlays).value_or(0));
    const uint32_t rest = ReadSetupField(program, setup_tag::kTimeBetweenRepeats).value_or(0);
    const bool magnetic = ReadSetupField(program, setup_tag::kMagneticSwitch).value_or(0) != 0;
    const auto request = EncodeShortSetup(format, plays, rest, magnetic);

    SerialLink& link = program.Link();
    if (link.SendCommand(Command::SetupSet, request) <= 0) {
        return program.Fail("No response for send setup command");
    }
    const std::vector<uint8_t> record = ResponseFrom(link, 0);
    AdoptRecordFormat(program, record);
    if (DecodeSetup(program, record, true) < 0) {
        return program.Fail("Setup failed");
    }
    return program.Done("Accept settings successfully");
}

Outcome SendTaggedSetup(Program& program) {
    std::array<uint32_t, setup_tag::kCount> values{};
    for (uint16_t tag = 0; tag < setup_tag::kCount; ++tag) {
        values[tag] = ReadSetupField(program, tag).value_or(0);
    }
    const auto request = EncodeTaggedSetup(values);

    SerialLink& link = program.Link();
    if (link.SendCommand(Command::SetupSet, request) <= 0) {
        return program.Fail("No response for setup command");
    }
    // The unit answers in the form it was asked in; the format stays as chosen.
    if (DecodeSetup(program, ResponseFrom(link, 0), true) < 0) {
        return program.Fail("Setup was not accepted");
    }
    return program.Done("Settings accepted sucessfully");
}

int DecodeSetup(Program& program, std::span<const uint8_t> record, bool remember) {
    const std::optional<DecodedSetup> decoded = ParseSetupRecord(record);
    if (!decoded) {
        return -1;
    }
    for (const SetupField& field : decoded->fields) {
        ShowSetupField(program, field.tag, field.value);
        if (remember) {
            RememberSetupField(program.CurrentUnitSetup(), field.tag, field.value);
        }
    }
    return 0;
}

int ShowSetupField(Program& program, uint16_t tag, uint32_t value) {
    Ui& ui = program.GetUi();
    switch (tag) {
        case setup_tag::kAuxFunction:
            ShowSyncMode(program, static_cast<int32_t>(value));
            return 0;
        case setup_tag::kStartTime:
            // Units of the short forms keep no start time: their controls stay as they are.
            if (Format(program) == setup_format::kTagged) {
                ShowStartTime(program, static_cast<int32_t>(value));
            }
            return 0;
        case setup_tag::kNumberOfPlays:
            ui.SetInt(Panel::MAIN, Control::CONTINUOUS, value != 0 ? 1 : 0);
            ui.SetDimmed(Panel::MAIN, Control::PLAYBACKS, value == 0);
            ui.SetInt(Panel::MAIN, Control::PLAYBACKS, ClampToInt(value));
            return 0;
        case setup_tag::kTimeBetweenRepeats:
            ui.SetDouble(Panel::MAIN, Control::REST_TIME,
                         RestTenthsToSeconds(value, LastEventAllowance(program)));
            return 0;
        case setup_tag::kMagneticSwitch:
            ui.SetInt(Panel::MAIN, Control::MAG_SWITCH, value != 0 ? 1 : 0);
            return 0;
        case setup_tag::kAuxMessages:
            ui.SetInt(Panel::MAIN, Control::ENCODE_TIME,
                      Format(program) == setup_format::kTagged && value != 0 ? 1 : 0);
            return 0;
        default:
            program.ShowStatusMessage(
                false, FormatText("Unknown setup tag returned, Code: %d", static_cast<int>(tag)));
            return -1;
    }
}

std::optional<uint32_t> ReadSetupField(Program& program, int tag) {
    const Ui& ui = program.GetUi();
    switch (tag) {
        case setup_tag::kAuxFunction: {
            // The ring's item values are 8-bit; the wire widens them with their sign.
            const auto mode = static_cast<int8_t>(ui.IntValue(Panel::MAIN, Control::SYNC_MODE));
            return static_cast<uint32_t>(static_cast<int32_t>(mode));
        }
        case setup_tag::kStartTime:
            if (ui.IntValue(Panel::MAIN, Control::ENABLE_START_TIME) == 0) {
                return kNoStartTime;
            }
            return static_cast<uint32_t>(StartTimeFromControls(program));
        case setup_tag::kNumberOfPlays:
            if (ui.IntValue(Panel::MAIN, Control::CONTINUOUS) == 0) {
                return 0;
            }
            return static_cast<uint32_t>(std::max(0, ui.IntValue(Panel::MAIN, Control::PLAYBACKS)));
        case setup_tag::kTimeBetweenRepeats:
            return RestSecondsToTenths(ui.DoubleValue(Panel::MAIN, Control::REST_TIME),
                                       LastEventAllowance(program));
        case setup_tag::kMagneticSwitch:
            return ui.IntValue(Panel::MAIN, Control::MAG_SWITCH) != 0 ? 1u : 0u;
        case setup_tag::kAuxMessages:
            return ui.IntValue(Panel::MAIN, Control::ENCODE_TIME) != 0 ? 1u : 0u;
        default:
            return std::nullopt;
    }
}

}  // namespace keelsong
