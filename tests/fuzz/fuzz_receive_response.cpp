// Whatever the line sends, reading a response must stay inside the response buffer and end.
#include <cstddef>
#include <cstdint>
#include <span>

#include "app/link/comm.h"
#include "headless/headless_ui.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    keelsong::HeadlessUi ui;
    keelsong::testing::FakePlatform platform;
    keelsong::testing::FakeSerialPort port;
    keelsong::StatusLine status(ui);
    keelsong::SerialLink link(port, platform, status);
    // The first byte picks the command the response must echo; the rest is the line.
    port.Queue(std::span<const uint8_t>(data + 1, size - 1));
    const int result = link.ReceiveResponse(data[0]);
    if (result > 0) {
        // A success is always a whole frame that fits the buffer.
        if (result < 6 || static_cast<size_t>(result) > keelsong::kResponseBufferSize) {
            __builtin_trap();
        }
        (void)link.ResponsePayload();
    }
    return 0;
}
