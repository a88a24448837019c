// orvane-sim: a simulated Orvane unit on a pseudo-terminal, for demos and manual tests.

#include <signal.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keelsong_version.h"
#include "platform/long_option.h"
#include "sim/pty_server.h"
#include "sim/unit_simulator.h"

namespace {

using keelsong::sim::Fault;
using keelsong::sim::PtyServer;
using keelsong::sim::PtyServerOptions;
using keelsong::sim::UnitState;

constexpr int kExitBadOptions = 2;

constexpr std::string_view kUsage = R"(Usage: orvane-sim [OPTION]...
Serves a simulated Orvane unit on a pseudo-terminal. Once ready it prints the device path it
serves on a line of its own, then runs until interrupted (Ctrl-C) or terminated.

Unit:
  --type CODE             device type: 1 Orvane LF, 2 Quelmar LF, 4 Orvane HF (default),
                          5 Quelmar HF, 6 Orvane HF(R1), 7 Quelmar AF, 65 Quelmar MF, or
                          any other code 0-255
  --serial N              serial number 0-65535 (default 1042)
  --firmware TEXT         firmware text, at most 7 characters (default v2.1.4); a major
                          version of 0, such as v0.3.1, is the loader (admin mode)
  --enquire-length N      Enquire payload bytes 0-94 (default 40)
  --clock-drift SECONDS   unit clock minus the host's UTC clock (default 0)
  --restart-time SECONDS  silence after a Reset while the unit restarts (default 2)
  --firmware-after-update TEXT
                          firmware text reported once an image written in the loader
                          has booted (default v2.1.4)

Live state reported by Enquire (each 0-255 unless said otherwise):
  --status-present N      non-zero when the live-state bytes are valid (default 1)
  --battery-state N       0 none, 1 charging, others on battery; 1 and 3 also have
                          the temperature read (default 3)
  --battery-level N       percent, -128 to 127; -1 no reading (default 87)
  --sync-state N          0-8 (default 0)
  --clock-mode N          0-3 (default 1)
  --play-state N          0 empty table, 1 playing, 2 waiting, 3 stopped (default 0)
  --settings-restored N   0 asks the program to restore the settings (default 1)
  --events N              start with a table (saved too) of N rests of 0.1, 0.2, ... s,
                          0-40 (default 0)
  --humidity TENTHS       StatusRead humidity in tenths of a percent (default 453)
  --temperature TENTHS    StatusRead temperature in tenths of a degree C (default 215)

Line:
  --pacing, --no-pacing   pace the traffic at 19200 baud (default on)
  --port N                publish the terminal as DIR/ports/COM<N>
  --settings-dir DIR      DIR for --port (default $XDG_CONFIG_HOME/Keelsong,
                          else ~/.config/Keelsong)
  --unplug-after SECONDS  unplug the unit this long after start: its terminal closes and
                          its ports/ entry goes (decimals allowed, such as 2.5)
  --replug-after SECONDS  plug it back in this long after the unplug, on a new terminal
                          under another device name (printed on a line of its own), and
                          published again under --port; the unit keeps what it held
  --trace FILE            write every request received and every answer sent to FILE,
                          one line each, as keelsong --trace writes them from its side

Faults:
  --drop N                stay silent for the first N answers
  --late MS               send every answer MS milliseconds late
  --noise                 stream noise without a pause, the line never falls quiet
  --refuse-write N        refuse the Nth MemoryWrite (a firmware chunk or the serial
                          number): result 3, nothing written
  --silent-after-restart N
                          never come back from the Nth Reset
  --no-loader             a Reset with the mode word restarts into the firmware, not
                          the loader (admin mode)
  --stay-in-loader        a plain Reset in the loader comes back in the loader, as if
                          the new image did not boot
  --alter-plays N         keep N as the number of plays of every setup sent, whatever
                          was sent (a unit that changes a value it was sent)

  --help                  show this text and exit
  --version               show the version and exit
)";

struct Options {
    Options() { unit.firmware_after_update = "v2.1.4"; }

    UnitState unit;
    PtyServerOptions server;
    int events = 0;
    int drop = 0;
    int late_ms = 0;
    std::optional<double> unplug_after;
    std::optional<double> replug_after;
    bool noise = false;
    bool help = false;
    bool version = false;
};

std::string DefaultSettingsFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
        return std::string(config) + "/Keelsong";
    }
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.config/Keelsong";
}

template <class T>
std::optional<T> ParseNumber(std::string_view text, long long low, long long high) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return static_cast<T>(value);
}

// Each option that takes a value, with what it does with the value; false for a bad value.
using Setter = std::function<bool(std::string_view, Options&)>;

// Seconds with an optional fraction, 0 to a day.
Setter SecondsInto(std::optional<double> Options::*field) {
    return [=](std::string_view text, Options& options) {
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc{} || end != text.data() + text.size() || !(value >= 0) ||
            value > 86400) {
            return false;
        }
        options.*field = value;
        return true;
    };
}

template <class T>
bool SetNumber(T& target, std::string_view text, long long low, long long high) {
    const auto parsed = ParseNumber<T>(text, low, high);
    if (parsed) {
        target = *parsed;
    }
    return parsed.has_value();
}

// A setter for a number field of `Group` (the unit, the server or the program's own options).
template <class Group, class T>
Setter NumberInto(Group Options::*group, T Group::*field, long long low, long long high) {
    return [=](std::string_view text, Options& options) {
        return SetNumber(options.*group.*field, text, low, high);
    };
}

template <class T>
Setter NumberInto(T Options::*field, long long low, long long high) {
    return [=](std::string_view text, Options& options) {
        return SetNumber(options.*field, text, low, high);
    };
}

std::map<std::string_view, Setter> ValueOptions() {
    return {
        {"--type", NumberInto(&Options::unit, &UnitState::device_type, 0, 255)},
        {"--serial", NumberInto(&Options::unit, &UnitState::serial_number, 0, 65535)},
        {"--firmware",
         [](std::string_view text, Options& o) {
             o.unit.firmware = std::string(text);
             return !text.empty() && text.size() <= keelsong::sim::kFirmwareTextBytes;
         }},
        {"--enquire-length", NumberInto(&Options::unit, &UnitState::enquire_payload_length, 0, 94)},
        {"--clock-drift", NumberInto(&Options::unit, &UnitState::clock_drift_seconds,
                                     -4'000'000'000LL, 4'000'000'000LL)},
        {"--restart-time",
         [](std::string_view text, Options& o) {
             const auto seconds = ParseNumber<int>(text, 0, 3600);
             if (seconds) {
                 o.unit.restart_period = std::chrono::seconds(*seconds);
             }
             return seconds.has_value();
         }},
        {"--firmware-after-update",
         [](std::string_view text, Options& o) {
             o.unit.firmware_after_update = std::string(text);
             return !text.empty() && text.size() <= keelsong::sim::kFirmwareTextBytes;
         }},
        {"--refuse-write",
         NumberInto(&Options::unit, &UnitState::refuse_memory_write, 1, 1'000'000)},
        {"--silent-after-restart",
         NumberInto(&Options::unit, &UnitState::silent_after_restart, 1, 1'000'000)},
        {"--status-present", NumberInto(&Options::unit, &UnitState::status_present, 0, 255)},
        {"--battery-state", NumberInto(&Options::unit, &UnitState::battery_state, 0, 255)},
        {"--battery-level", NumberInto(&Options::unit, &UnitState::battery_level, -128, 127)},
        {"--sync-state", NumberInto(&Options::unit, &UnitState::sync_state, 0, 255)},
        {"--clock-mode", NumberInto(&Options::unit, &UnitState::clock_mode, 0, 255)},
        {"--play-state", NumberInto(&Options::unit, &UnitState::play_state, 0, 255)},
        {"--settings-restored", NumberInto(&Options::unit, &UnitState::settings_restored, 0, 255)},
        {"--humidity", NumberInto(&Options::unit, &UnitState::humidity_tenths, 0, 65535)},
        {"--temperature",
         NumberInto(&Options::unit, &UnitState::temperature_tenths, -32768, 32767)},
        {"--port", NumberInto(&Options::server, &PtyServerOptions::port_number, 1, 255)},
        {"--settings-dir",
         [](std::string_view text, Options& o) {
             o.server.settings_folder = std::string(text);
             return !text.empty();
         }},
        {"--alter-plays",
         [](std::string_view text, Options& o) {
             const auto plays = ParseNumber<uint32_t>(text, 0, 0xFFFFFFFF);
             if (plays) {
                 o.unit.altered_number_of_plays = *plays;
             }
             return plays.has_value();
         }},
        {"--events", NumberInto(&Options::events, 0, 40)},
        {"--trace",
         [](std::string_view text, Options& o) {
             o.server.trace_path = std::string(text);
             return !text.empty();
         }},
        {"--drop", NumberInto(&Options::drop, 0, 1'000'000)},
        {"--late", NumberInto(&Options::late_ms, 0, 600'000)},
        {"--unplug-after", SecondsInto(&Options::unplug_after)},
        {"--replug-after", SecondsInto(&Options::replug_after)},
    };
}

// Parses the command line into `options`; on a bad option returns the message to show.
std::optional<std::string> Parse(const std::vector<std::string_view>& args, Options& options) {
    const auto value_options = ValueOptions();
    for (size_t i = 0; i < args.size(); ++i) {
        const auto [name, inline_value] = keelsong::SplitLongOption(args[i]);
        const bool is_flag = name == "--help" || name == "--version" || name == "--pacing" ||
                             name == "--no-pacing" || name == "--noise" || name == "--no-loader" ||
                             name == "--stay-in-loader";
        if (is_flag) {
            if (inline_value) {
                return std::string(name) + " takes no value";
            }
            options.help |= name == "--help";
            options.version |= name == "--version";
            options.noise |= name == "--noise";
            options.unit.ignore_loader_word |= name == "--no-loader";
            options.unit.stay_in_loader |= name == "--stay-in-loader";
            if (name == "--pacing" || name == "--no-pacing") {
                options.server.pacing = name == "--pacing";
            }
            continue;
        }
        const auto setter = value_options.find(name);
        if (setter == value_options.end()) {
            return "unknown option '" + std::string(args[i]) + "'";
        }
        std::string_view value;
        if (inline_value) {
            value = *inline_value;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return std::string(name) + " needs a value";
        }
        if (!setter->second(value, options)) {
            return "invalid value for " + std::string(name) + ": '" + std::string(value) + "'";
        }
    }
    return std::nullopt;
}

const char* TypeName(uint8_t type) {
    switch (type) {
        case 1:
            return "Orvane LF";
        case 2:
            return "Quelmar LF";
        case 4:
            return "Orvane HF";
        case 5:
            return "Quelmar HF";
        case 6:
            return "Orvane HF(R1)";
        case 7:
            return "Quelmar AF";
        case 65:
            return "Quelmar MF";
        default:
            return "Unknown Device";
    }
}

keelsong::sim::UnitSimulator MakeSimulator(const Options& options) {
    keelsong::sim::UnitSimulator simulator;
    simulator.State() = options.unit;
    for (int i = 1; i <= options.events; ++i) {
        constexpr uint8_t kRest = 3;
        simulator.Events().push_back({kRest, {static_cast<uint8_t>(i), 0}});
    }
    simulator.Saved().events = simulator.Events();
    if (options.drop > 0) {
        simulator.InjectFault(Fault::Drop().Times(options.drop));
    }
    if (options.late_ms > 0) {
        simulator.InjectFault(Fault::Late(std::chrono::milliseconds(options.late_ms)).Forever());
    }
    return simulator;
}

// Waits `seconds` for one of the stop signals; true when one came.
bool WaitForStop(const sigset_t& signals, double seconds) {
    const auto whole = static_cast<time_t>(seconds);
    timespec left{whole, static_cast<long>((seconds - static_cast<double>(whole)) * 1e9)};
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    for (;;) {
        if (sigtimedwait(&signals, nullptr, &left) >= 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;  // the time is up
        }
        const auto remaining = deadline - std::chrono::steady_clock::now();
        if (remaining <= std::chrono::steady_clock::duration::zero()) {
            return false;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
        left = timespec{static_cast<time_t>(ns / 1'000'000'000),
                        static_cast<long>(ns % 1'000'000'000)};
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    Options options;
    if (const auto problem = Parse(args, options)) {
        std::cerr << "orvane-sim: " << *problem << "\nTry 'orvane-sim --help'.\n";
        return kExitBadOptions;
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "orvane-sim " << keelsong::kVersion << "\n";
        return 0;
    }
    if (options.replug_after && !options.unplug_after) {
        std::cerr << "orvane-sim: --replug-after needs --unplug-after\nTry 'orvane-sim --help'.\n";
        return kExitBadOptions;
    }
    if (options.server.port_number > 0 && options.server.settings_folder.empty()) {
        options.server.settings_folder = DefaultSettingsFolder();
    }

    // Whoever started us may stop reading our output before we stop (a script's coprocess):
    // a write to the closed pipe must fail, not end the unit mid-answer.
    signal(SIGPIPE, SIG_IGN);

    // Taken by sigwait below, never delivered: the serving thread inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    PtyServer server(options.server, MakeSimulator(options));
    std::string error;
    if (!server.Start(&error)) {
        std::cerr << "orvane-sim: " << error << "\n";
        return 1;
    }
    if (options.noise) {
        server.StartNoiseStream();
    }
    std::cout << server.Path() << std::endl;
    std::cerr << "orvane-sim: " << TypeName(options.unit.device_type) << " # "
              << options.unit.serial_number << ", firmware " << options.unit.firmware << ", on "
              << server.Path();
    if (!server.LinkPath().empty()) {
        std::cerr << " as " << server.LinkPath();
    }
    std::cerr << (options.server.pacing ? ", paced at 19200 baud" : ", unpaced") << std::endl;

    if (options.unplug_after) {
        if (WaitForStop(stop_signals, *options.unplug_after)) {
            server.Stop();
            return 0;
        }
        server.Unplug();
        std::cerr << "orvane-sim: unplugged" << std::endl;
        if (options.replug_after) {
            if (WaitForStop(stop_signals, *options.replug_after)) {
                server.Stop();
                return 0;
            }
            if (!server.PlugIn(&error)) {
                std::cerr << "orvane-sim: cannot plug in again: " << error << "\n";
                server.Stop();
                return 1;
            }
            std::cout << server.Path() << std::endl;
            std::cerr << "orvane-sim: plugged in again on " << server.Path();
            if (!server.LinkPath().empty()) {
                std::cerr << " as " << server.LinkPath();
            }
            std::cerr << std::endl;
        }
    }
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.Stop();
    return 0;
}
