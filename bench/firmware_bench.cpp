// Times writing a 64 KiB firmware image into the simulated unit pacing at 19200 baud, with the
// real 0.1 s pauses, from the moment the first MemoryWrite leaves to the moment the last one's
// answer is read. Printed as a ratio to its floor: the sum over the 513 MemoryWrite
// transactions of the 0.1 s pause or the request's and response's time on the line, whichever
// is longer; and as image bytes per second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "app/service/firmware_update.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "headless/headless_ui.h"
#include "paced_unit.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "protocol/crc.h"
#include "protocol/frame.h"
#include "sim/pty_server.h"

using namespace keelsong;

namespace {

constexpr size_t kImageBytes = 64 * 1024;
constexpr double kByteSeconds = 10.0 / 19200.0;
using Clock = std::chrono::steady_clock;

// The port the program talks through, noting when the first MemoryWrite request was written
// and when the last read that followed a MemoryWrite request ended.
class TimingPort final : public SerialPort {
  public:
    explicit TimingPort(SerialPort& port) : port_(port) {}

    int Open(int port_number) override { return port_.Open(port_number); }
    void Close() override { port_.Close(); }
    bool IsOpen() const override { return port_.IsOpen(); }
    std::string DescribePort(int number) const override { return port_.DescribePort(number); }
    void SetTimeout(double seconds) override { port_.SetTimeout(seconds); }
    double Timeout() const override { return port_.Timeout(); }
    int FlushInput() override { return port_.FlushInput(); }
    int Write(std::span<const uint8_t> bytes) override {
        writing_chunk_ = bytes.size() > 1 && bytes[1] == CommandCode(Command::MemoryWrite);
        if (writing_chunk_ && !first_write_) {
            first_write_ = Clock::now();
        }
        return port_.Write(bytes);
    }
    int ReadUntil(std::span<uint8_t> buffer, Clock::time_point deadline) override {
        const int got = port_.ReadUntil(buffer, deadline);
        if (writing_chunk_) {
            last_read_ = Clock::now();
        }
        return got;
    }

    void Reset() {
        first_write_.reset();
        writing_chunk_ = false;
    }
    double Seconds() const {
        return first_write_ ? std::chrono::duration<double>(last_read_ - *first_write_).count() : 0;
    }

  private:
    SerialPort& port_;
    bool writing_chunk_ = false;
    std::optional<Clock::time_point> first_write_;
    Clock::time_point last_read_{};
};

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(kImageBytes - 2);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 31 + 7);
    }
    const uint16_t crc = CrcOf(image);
    image.push_back(static_cast<uint8_t>(crc));
    image.push_back(static_cast<uint8_t>(crc >> 8));
    return image;
}

// The floor of the MemoryWrite transactions in the log, and how many there were.
std::pair<double, size_t> Floor(const std::vector<sim::LoggedRequest>& log) {
    double total = 0;
    size_t count = 0;
    for (const sim::LoggedRequest& request : log) {
        if (request.command != CommandCode(Command::MemoryWrite)) {
            continue;
        }
        const size_t bytes = kFrameOverhead + request.payload.size() + request.response.size();
        total += std::max(kResponsePauseSeconds, bytes * kByteSeconds);
        ++count;
    }
    return {total, count};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;

    sim::PtyServer server;  // paced by default
    HeadlessUi ui;
    PosixPlatform platform;
    PosixSerialPort serial{PortDirectory(platform.SettingsFolder())};
    if (!OpenPacedUnit(server, serial)) {
        return 1;
    }
    TimingPort port(serial);
    Program program(ui, port, platform);
    program.Link().Settings().open = 1;
    if (EnquireUnit(program, false) < 0) {
        std::fprintf(stderr, "the simulated unit did not answer the enquiry\n");
        return 1;
    }
    const std::vector<uint8_t> image = Image();

    double worst = 0;
    for (int run = 0; run < runs; ++run) {
        server.ClearRequestLog();
        port.Reset();
        const bool uploaded = UploadFirmwareImage(program, image, kStatusLineStages).ok;
        const bool taken = server.WithSimulator([&](sim::UnitSimulator& unit) {
            return unit.Upload().complete && unit.Upload().image == image;
        });
        if (!uploaded || !taken) {
            std::fprintf(stderr, "the upload failed: %s\n",
                         ui.TextValue(Panel::MAIN, Control::STATUS_LINE).c_str());
            return 1;
        }
        const auto [floor, transactions] = Floor(server.RequestLog());
        const double seconds = port.Seconds();
        worst = std::max(worst, seconds / floor);
        std::printf(
            "64 KiB image: %zu MemoryWrite transactions, floor %.3f s, took %.3f s; ratio %.4f, "
            "%.0f bytes/s\n",
            transactions, floor, seconds, seconds / floor, kImageBytes / seconds);
        // Back to the application firmware for the next run.
        program.Link().SendCommand(Command::Reset);
        platform.Delay(kRestartPauseSeconds);
    }
    if (runs > 1) {
        std::printf("worst ratio %.4f (%d runs)\n", worst, runs);
    }
    return 0;
}
