// What watching for an unplugged unit costs the one-second timer: the timer tick while a lost
// unit is watched for against the same tick with nothing watched, both with the machine's real
// /dev as the device folder, and the listing of the present serial devices on its own. Nothing
// is probed in either case: no device appears meanwhile.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/connection/connection.h"
#include "app/connection/replug_watch.h"
#include "app/shell/callbacks.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "sim/pty_server.h"

using namespace keelsong;

namespace {

constexpr int kUnitPort = 1;

std::string MakeTempFolder(const char* tag) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string("keelsong-") + tag + "-XXXXXX"))
            .string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string{};
}

// Microseconds per call of `once`, over `count` calls.
double MicrosecondsEach(int count, const std::function<void()>& once) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        once();
    }
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
               .count() /
           count;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const std::string settings = MakeTempFolder("bench-settings");
    if (settings.empty()) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }
    sim::PtyServerOptions options;
    options.pacing = false;
    options.port_number = kUnitPort;
    options.settings_folder = settings;
    sim::PtyServer server(options);
    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "cannot start the simulated unit: %s\n", error.c_str());
        return 1;
    }

    HeadlessUi ui;
    PosixPlatform platform;
    PosixSerialPort port{PortDirectory(settings, "/dev")};
    Program program(ui, port, platform);
    ui.SetInt(Panel::CONNECT, Control::PORT, kUnitPort);
    ui.SetInt(Panel::CONNECT, Control::COM_TIMEOUT, 600);
    const auto tick = [&] { Press(program, Panel::MAIN, Control::TIMER, UiEvent::TimerTick); };
    if (ConnectToPort(program, false) != 0) {
        std::fprintf(stderr, "cannot connect to the simulated unit\n");
        return 1;
    }
    server.Unplug();
    tick();
    const bool watching = program.Replug().unit.has_value() && !program.Link().IsConnected();
    const size_t devices = port.PresentPorts().size();

    const double listing = MicrosecondsEach(count, [&] { port.PresentPorts(); });
    const double watched_tick = MicrosecondsEach(count, tick);
    StopReplugWatch(program);
    const double plain_tick = MicrosecondsEach(count, tick);
    server.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(settings, ignored);
    if (!watching) {
        std::fprintf(stderr, "the unplugged unit was not watched for\n");
        return 1;
    }
    std::printf("serial devices present under /dev and ports/: %zu\n", devices);
    std::printf("listing them: %.1f us\n", listing);
    std::printf("timer tick, watching: %.1f us; nothing watched: %.1f us (x%d each)\n",
                watched_tick, plain_tick, count);
    std::printf("watching costs %.1f us a second, %.4f%% of one core\n", watched_tick - plain_tick,
                (watched_tick - plain_tick) / 1e4);
    return 0;
}
