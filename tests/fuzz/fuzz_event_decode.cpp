// Whatever a unit answers to EventEnquire, decoding it and showing it in the grid must stay
// inside the event record and the grid, and body bytes the answer did not carry read as zero;
// an event told as read stands in the grid.
//
// Input: byte 0 picks the unit (device type and setup format) and the grid rows already there;
// byte 1 is the index asked for; the rest is the answer's payload, as the unit would send it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "app/events/event_exchange.h"
#include "app/events/event_grid.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "protocol/event_record.h"
#include "protocol/frame.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace {

using namespace keelsong;

void CheckDecoding(std::span<const uint8_t> payload) {
    const EventEnquireAnswer answer = DecodeEventEnquireAnswer(payload);
    const size_t carried = payload.size() > 4 ? payload.size() - 4 : 0;
    if (answer.body_bytes != std::min(carried, kEventBodySize)) {
        __builtin_trap();
    }
    for (size_t i = 0; i < kEventBodySize; ++i) {
        const uint8_t expected = i < answer.body_bytes ? payload[4 + i] : 0;
        if (answer.body[i] != expected) {
            __builtin_trap();
        }
    }
    // Every type, known or not, on every unit, turns into something the grid can show.
    for (int device_type : {device_type::kNone, device_type::kOrvaneLf, device_type::kOrvaneHf,
                            device_type::kOrvaneHfR1}) {
        (void)RowImageOfEvent(answer.type, answer.body, device_type, kClickSetupFormat);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::span<const uint8_t> payload(data + 2, std::min(size - 2, kMaxResponsePayload));
    CheckDecoding(payload);

    HeadlessUi ui;
    testing::FakePlatform platform;
    testing::FakeSerialPort port;
    Program program(ui, port, platform);
    static const UnitContext kUnits[] = {
        {device_type::kNone, -1, 17},
        {device_type::kOrvaneLf, 0x010103, 14},
        {device_type::kOrvaneHf, 0x020104, 21},
        {device_type::kOrvaneHfR1, 0x020006, 17},
    };
    program.SetUnit(kUnits[data[0] & 0x03]);
    const int rows = (data[0] >> 2) % (EventGridModel::kMaxRows + 1);
    for (int row = 1; row <= rows; ++row) {
        InsertEventRow(program, static_cast<uint8_t>(row));
    }

    const std::vector<uint8_t> answer(payload.begin(), payload.end());
    port.SetResponder([&answer](std::span<const uint8_t> written) {
        std::vector<uint8_t> frame(answer.size() + kFrameOverhead);
        frame.resize(BuildFrame(written[1], answer, frame));
        return frame;
    });
    const uint16_t result = EnquireUnitEvent(program, data[1]);

    const EventGridModel& grid = program.Grid();
    if (grid.RowCount() > EventGridModel::kMaxRows) {
        __builtin_trap();
    }
    // A read told as a success stands in the grid where the unit placed it.
    const int unit_index = DecodeEventEnquireAnswer(payload).index.value_or(data[1]);
    if (result == event_result::kSuccess && unit_index + 1 > grid.RowCount()) {
        __builtin_trap();
    }
    for (int row = 1; row <= grid.RowCount(); ++row) {
        EventBody body{};
        (void)RowToEvent(program, body, row);
        for (int column = 1; column <= grid_column::kCount; ++column) {
            const GridCell* cell = grid.Cell(column, row);
            if (cell->kind != CellKind::Ring &&
                (cell->number < cell->minimum || cell->number > cell->maximum)) {
                __builtin_trap();  // a value from the unit escaped its cell's range
            }
        }
    }
    return 0;
}
