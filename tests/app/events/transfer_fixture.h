// The whole program's logic as start-up ties it together (setup panel, table transfer and
// playback), connected to simulated units over pseudo-terminals, edited as the user edits.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/connection/connection_fixture.h"
#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/events/table_editing.h"
#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "app/unit/enquiry.h"
#include "sim/event_checks.h"

namespace keelsong::testing {

using Commands = std::vector<uint8_t>;

inline Commands CommandsOf(std::initializer_list<Command> commands) {
    Commands codes;
    for (Command command : commands) {
        codes.push_back(CommandCode(command));
    }
    return codes;
}

// A rest of `tenths` tenths of a second, as the unit stores it.
inline sim::StoredEvent UnitRest(uint16_t tenths) {
    return {3, {static_cast<uint8_t>(tenths), static_cast<uint8_t>(tenths >> 8)}};
}

class TransferFixture : public ConnectionFixture {
  protected:
    TransferFixture() {
        // The program's own steps, but for the firmware offer, which its own tests take.
        steps.fallback = &ProgramUnitSteps();
        steps.offer_firmware_update = [](Program&) {};
        InstallSetupPanel(program);
    }

    // Serves a unit holding `events` (saved too) on port `number` and connects to it as the user
    // does, which reads its table and setup. The request log starts empty afterwards.
    sim::PtyServer& ConnectUnit(int number, sim::UnitState state = {},
                                const std::vector<sim::StoredEvent>& events = {},
                                const std::function<void(sim::UnitSimulator&)>& more = {}) {
        sim::PtyServer& server = AddUnit(number, state);
        Change(server, [&](sim::UnitSimulator& unit) {
            unit.Events() = events;
            unit.Saved().events = events;
            if (more) {
                more(unit);
            }
        });
        EXPECT_EQ(Connect(number), 0) << MainStatus();
        server.ClearRequestLog();
        mark_ = StatusHistory(Panel::MAIN).size();
        return server;
    }

    // Status messages shown since the unit was connected or since the last call.
    std::vector<std::string> NewMessages() {
        const std::vector<std::string> all = StatusHistory(Panel::MAIN);
        std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(mark_), all.end());
        mark_ = all.size();
        return fresh;
    }

    static std::vector<sim::StoredEvent> UnitEvents(sim::PtyServer& server) {
        return server.WithSimulator([](sim::UnitSimulator& unit) { return unit.Events(); });
    }

    // The user's edits: each goes through the grid's callback, as the window sends it.
    void EditText(int column, int row, const std::string& text) {
        ASSERT_TRUE(grid.UserSetText(column, row, text)) << text;
        Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
    }
    void EditNumber(int column, int row, double value) {
        ASSERT_TRUE(grid.UserSetNumber(column, row, value)) << value;
        Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
    }
    int AppendRow(const std::string& type) {
        Press(program, Panel::MAIN, Control::EVENT_ADD);
        const int row = grid.RowCount();
        EditText(grid_column::kType, row, type);
        return row;
    }
    int AppendRest(double seconds) {
        const int row = AppendRow("Rest");
        EditNumber(grid_column::kDuration, row, seconds);
        return row;
    }
    void EditSetup() {
        ui.SetInt(Panel::MAIN, Control::MAG_SWITCH,
                  1 - ui.IntValue(Panel::MAIN, Control::MAG_SWITCH));
        Press(program, Panel::MAIN, Control::MAG_SWITCH, UiEvent::ValueChanged);
    }

    // Runs `action` on another thread once the unit has received a request that `seen` picks,
    // as a cable pulled at that moment.
    class WhenRequested {
      public:
        WhenRequested(sim::PtyServer& server, std::function<bool(const sim::LoggedRequest&)> seen,
                      std::function<void()> action)
            : thread_([&server, seen = std::move(seen), action = std::move(action)] {
                  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                  while (std::chrono::steady_clock::now() < deadline) {
                      for (const sim::LoggedRequest& request : server.RequestLog()) {
                          if (seen(request)) {
                              action();
                              return;
                          }
                      }
                      std::this_thread::sleep_for(std::chrono::milliseconds(1));
                  }
              }) {}
        ~WhenRequested() { thread_.join(); }
        WhenRequested(const WhenRequested&) = delete;
        WhenRequested& operator=(const WhenRequested&) = delete;

      private:
        std::thread thread_;
    };

    EventGridModel& grid = program.Grid();
    size_t mark_ = 0;
};

}  // namespace keelsong::testing
