// A program with its serial port resolving port numbers in a scratch settings folder, and any
// number of simulated units served on pseudo-terminals published there as ports/COM<N>.
// Nothing else stands behind a port number: the machine's own USB serial devices are left out,
// so a port without a unit fails to open at once.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/connection/connection.h"
#include "app/shell/callbacks.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "platform/posix_serial_port.h"
#include "protocol/frame.h"
#include "sim/pty_server.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "support/unit_steps_stand_in.h"

namespace keelsong::testing {

// The short time-out that keeps failures quick; the unit answers at once without pacing.
inline constexpr int kTestTimeoutMs = 150;

class ConnectionFixture : public ::testing::Test {
  protected:
    ConnectionFixture() {
        unit_clock_.store(platform.UtcNow());
        ui.SetInt(Panel::CONNECT, Control::COM_TIMEOUT, kTestTimeoutMs);
        ui.RecordHistory(Panel::MAIN, Control::STATUS_LINE);
        ui.RecordHistory(Panel::CONNECT, Control::STATUS_LINE);
    }

    // Serves a unit on port `number`. Its clock is the test's unit clock plus the state's drift.
    sim::PtyServer& AddUnit(int number, sim::UnitState state = {}) {
        sim::UnitSimulator simulator;
        simulator.State() = state;
        simulator.SetClock([this] {
            return std::chrono::system_clock::time_point(std::chrono::seconds(unit_clock_.load()));
        });
        sim::PtyServerOptions options;
        options.pacing = false;
        options.port_number = number;
        options.settings_folder = settings.Path();
        servers_.push_back(std::make_unique<sim::PtyServer>(options, std::move(simulator)));
        std::string error;
        EXPECT_TRUE(servers_.back()->Start(&error)) << error;
        return *servers_.back();
    }

    // Connects as "Manual Connect" does, without the pop-up.
    int Connect(int number) {
        ui.SetInt(Panel::CONNECT, Control::PORT, number);
        return ConnectToPort(program, false);
    }

    // One tick of the one-second timer, as the window sends it.
    void Tick() { Press(program, Panel::MAIN, Control::TIMER, UiEvent::TimerTick); }

    // What the status lines say when the unit on port `number` was unplugged.
    static std::string LostText(const sim::PtyServer& server, int number,
                                const std::string& unit = "Orvane HF # 1042") {
        return unit + " was disconnected: its device ports/COM" + std::to_string(number) + " -> " +
               server.Path() + " (port " + std::to_string(number) +
               ") went away. It reconnects by itself when plugged in again";
    }

    // Opens the unit's port and marks the link connected, without any of the connection's own
    // exchanges: the state after a connection, for tests of what follows.
    void OpenConnected(int number) {
        ASSERT_EQ(port.Open(number), 0);
        port.SetTimeout(kTestTimeoutMs / 1000.0);
        program.Link().Settings().port_number = number;
        program.Link().Settings().open = 1;
    }

    template <class F>
    void Change(sim::PtyServer& server, F&& f) {
        server.WithSimulator([&](sim::UnitSimulator& unit) { f(unit); });
    }

    static std::vector<uint8_t> Commands(const sim::PtyServer& server) {
        std::vector<uint8_t> codes;
        for (const sim::LoggedRequest& request : server.RequestLog()) {
            codes.push_back(request.command);
        }
        return codes;
    }

    // Texts a status line showed since the test began, in order.
    std::vector<std::string> StatusHistory(Panel panel) const {
        std::vector<std::string> texts;
        for (const HeadlessUi::HistoryEntry& entry : ui.History(panel, Control::STATUS_LINE)) {
            texts.push_back(std::get<std::string>(entry.value));
        }
        return texts;
    }
    std::string MainStatus() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }
    uint32_t MainStatusColor() const { return ui.TextColor(Panel::MAIN, Control::STATUS_LINE); }
    std::string ConnectStatus() const { return ui.TextValue(Panel::CONNECT, Control::STATUS_LINE); }
    // The last message pop-up shown, or nullptr.
    const HeadlessUi::PopupRecord* LastMessage() const {
        for (auto popup = ui.Popups().rbegin(); popup != ui.Popups().rend(); ++popup) {
            if (popup->kind == HeadlessUi::PopupKind::Message) {
                return &*popup;
            }
        }
        return nullptr;
    }
    int MessagePopups(std::string_view title) const {
        int count = 0;
        for (const HeadlessUi::PopupRecord& popup : ui.Popups()) {
            count += popup.kind == HeadlessUi::PopupKind::Message && popup.title == title;
        }
        return count;
    }

    // The unit's clock, which stands still unless the test moves it.
    void SetUnitClock(int64_t seconds) { unit_clock_.store(seconds); }
    int64_t UnitClock() const { return unit_clock_.load(); }

    TempDir settings;
    TempDir devices;  // an empty device folder: no USB serial devices
    HeadlessUi ui;
    FakePlatform platform;
    PosixSerialPort port{PortDirectory(settings.Path(), devices.Path())};
    // The steps in other subsystems are skipped unless a test sets them or a fixture built on
    // this one falls back to the real ones.
    UnitStepsStandIn steps;
    Program program{ui, port, platform, steps};

  private:
    std::atomic<int64_t> unit_clock_{0};
    std::vector<std::unique_ptr<sim::PtyServer>> servers_;
};

}  // namespace keelsong::testing
