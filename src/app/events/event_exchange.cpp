#include "app/events/event_exchange.h"

#include <array>
#include <string>

#include "app/events/event_grid.h"
#include "app/shell/text_format.h"
#include "app/state/program.h"
#include "protocol/commands.h"

namespace keelsong {

namespace {

std::string ResultText(uint16_t code) {
    return std::string(EventResultText(code));
}

// An event the grid cannot show where the unit says it stands: past the grid's 40 rows, or
// beyond the row after the last, which would leave rows between that the unit never named.
// Tells the user and gives the code to return; 0 when the row can be shown.
uint16_t RowOutOfReach(Program& program, uint8_t unit_index) {
    const int event_number = unit_index + 1;
    uint16_t code = event_result::kSuccess;
    std::string reason;
    if (event_number > EventGridModel::kMaxRows) {
        code = event_result::kTooManyEvents;
        reason = ResultText(code);
    } else if (event_number > program.Grid().RowCount() + 1) {
        code = event_result::kOutOfOrder;
        reason = "Out of Order";
    } else {
        return code;
    }
    program.ShowStatusMessage(false,
                              FormatText("Event #%d Error: %s", event_number, reason.c_str()));
    return code;
}

}  // namespace

uint16_t AddUnitEvent(Program& program, const EventRecord& record, uint8_t index) {
    const std::vector<uint8_t> payload = BuildEventAddPayload(record, index);
    if (payload.empty()) {
        return event_result::kInvalidType;
    }
    if (program.Link().SendCommand(Command::EventAdd, payload) <= 0) {
        program.ShowStatusMessage(false, "No response for event add command");
        return event_result::kNoResponse;
    }
    const EventAddAnswer answer = DecodeEventAddAnswer(program.Link().ResponsePayload());
    if (answer.result != event_result::kSuccess) {
        program.ShowStatusMessage(
            false, FormatText("Add Event Error: %s", ResultText(answer.result).c_str()));
    } else {
        const auto number = static_cast<uint8_t>(answer.stored_index.value_or(index) + 1);
        program.ShowStatusMessage(true, FormatText("Event #%d Added to Table", number));
    }
    return answer.result;
}

uint16_t EnquireUnitEvent(Program& program, uint8_t index) {
    const std::array<uint8_t, 1> request = {index};
    if (program.Link().SendCommand(Command::EventEnquire, request) <= 0) {
        program.ShowStatusMessage(false, "No response for event enquire command");
        return event_result::kNoResponse;
    }
    const EventEnquireAnswer answer = DecodeEventEnquireAnswer(program.Link().ResponsePayload());
    const auto row = static_cast<uint8_t>(answer.index.value_or(index) + 1);
    EventGridModel& grid = program.Grid();
    switch (answer.result) {
        case event_result::kSuccess:
            if (const uint16_t refusal = RowOutOfReach(program, answer.index.value_or(index))) {
                return refusal;
            }
            EventToRow(program, answer.body, answer.type, row);
            // Marked after the row is shown, so that a row the read adds is marked too.
            grid.SetTransferMark(row, true);
            if (row > 1) {
                grid.SetTransferMark(row - 1, false);
            }
            program.ShowStatusMessage(true, FormatText("Event #%d Enquired from unit", row));
            break;
        case event_result::kDoesNotExist:
            if (row >= 1 && grid.RowCount() >= row) {
                grid.DeleteRows(row, grid.RowCount() - row + 1);
            }
            break;
        default:
            program.ShowStatusMessage(
                false, FormatText("Event #%d Error: %s", row, ResultText(answer.result).c_str()));
            break;
    }
    return answer.result;
}

uint16_t RemoveUnitEvent(Program& program, uint8_t index) {
    const std::array<uint8_t, 1> request = {index};
    if (program.Link().SendCommand(Command::EventRemove, request) <= 0) {
        program.ShowStatusMessage(false, "No response for event remove command");
        return event_result::kNoResponse;
    }
    const uint16_t result = DecodeEventResult(program.Link().ResponsePayload());
    if (result != event_result::kSuccess && result != event_result::kDoesNotExist) {
        program.ShowStatusMessage(false,
                                  FormatText("Remove Event Error: %s", ResultText(result).c_str()));
    }
    return result;
}

}  // namespace keelsong
