// What the transfer benchmarks share: the tables they move, how a run is timed against the
// transactions the unit logged, and how the runs are reported.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/changes/accept_changes.h"
#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/setup/setup_panel.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "paced_unit.h"
#include "platform/delegating_platform.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "sim/pty_server.h"

namespace keelsong::bench {

// The machine's platform without a data folder: the benchmark's many "Accept Changes" stay out
// of the user's service history.
class WithoutHistory final : public DelegatingPlatform {
  public:
    using DelegatingPlatform::DelegatingPlatform;
    std::string DataFolder() const override { return {}; }
};

inline constexpr int kEvents = EventGridModel::kMaxRows;

// The unit's table before the replacement: 40 rests.
inline std::vector<sim::StoredEvent> OldTable() {
    std::vector<sim::StoredEvent> events;
    for (int i = 0; i < kEvents; ++i) {
        const auto tenths = static_cast<uint16_t>(10 + i);
        events.push_back({3, {static_cast<uint8_t>(tenths), static_cast<uint8_t>(tenths >> 8)}});
    }
    return events;
}

// The grid's new table: tones, sweeps and rests in turn.
inline void FillGrid(Program& program) {
    EventGridModel& grid = program.Grid();
    grid.DeleteAllRows();
    for (int row = 1; row <= kEvents; ++row) {
        InsertEventRow(program, static_cast<uint8_t>(row));
        switch (row % 3) {
            case 0:
                grid.SetText(grid_column::kType, row, "Tone");
                SetRowType(program, TypeCode(EventType::ToneSeconds), row);
                grid.SetNumber(grid_column::kStartFrequency, row, 10000 + 100 * row);
                grid.SetNumber(grid_column::kLevel, row, -3);
                break;
            case 1:
                grid.SetText(grid_column::kType, row, "Sweep");
                SetRowType(program, TypeCode(EventType::Sweep), row);
                grid.SetNumber(grid_column::kStartFrequency, row, 5000);
                grid.SetNumber(grid_column::kEndFrequency, row, 20000 + row);
                break;
            default:
                grid.SetText(grid_column::kType, row, "Rest");
                SetRowType(program, TypeCode(EventType::Rest), row);
                grid.SetNumber(grid_column::kDuration, row, 0.5);
                break;
        }
    }
    MarkTableChanged(program, true);
}

struct Measured {
    double seconds = 0;
    double floor = 0;
    size_t transactions = 0;
};

template <class F>
Measured Measure(sim::PtyServer& server, F&& run) {
    server.ClearRequestLog();
    const auto start = std::chrono::steady_clock::now();
    run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::vector<sim::LoggedRequest> log = server.RequestLog();
    return {seconds, TransactionFloor(log), log.size()};
}

inline void Report(const char* name, const std::vector<Measured>& runs) {
    double ratio_sum = 0;
    double worst = 0;
    for (const Measured& m : runs) {
        const double ratio = m.seconds / m.floor;
        ratio_sum += ratio;
        worst = std::max(worst, ratio);
    }
    const Measured& last = runs.back();
    std::printf(
        "%s: %zu transactions, floor %.3f s, last run %.3f s; ratio mean %.4f, worst %.4f "
        "(%zu runs)\n",
        name, last.transactions, last.floor, last.seconds, ratio_sum / runs.size(), worst,
        runs.size());
}

// Ties the table transfer into `program`, whose link is open on the paced unit of `server`,
// enquires, then times `runs` rounds of "Accept Changes" replacing the unit's 40 rests by the
// grid's 40 events and of reading the 40 back into an empty grid. 0, or 1 when a step failed.
inline int MeasureTransfers(Program& program, sim::PtyServer& server, int runs) {
    program.Link().Settings().open = 1;
    InstallSetupPanel(program);
    if (EnquireUnit(program, false) < 0) {
        std::fprintf(stderr, "the simulated unit did not answer the enquiry\n");
        return 1;
    }
    const auto failed = [&](const char* what) {
        std::fprintf(stderr, "%s failed: %s\n", what,
                     program.GetUi().TextValue(Panel::MAIN, Control::STATUS_LINE).c_str());
        return 1;
    };

    std::vector<Measured> accepting;
    std::vector<Measured> reading;
    for (int run = 0; run < runs; ++run) {
        server.WithSimulator([](sim::UnitSimulator& unit) { unit.Events() = OldTable(); });
        FillGrid(program);
        bool accepted = false;
        accepting.push_back(Measure(server, [&] { accepted = AcceptChanges(program).ok; }));
        const size_t held =
            server.WithSimulator([](sim::UnitSimulator& unit) { return unit.Events().size(); });
        if (!accepted || held != static_cast<size_t>(kEvents)) {
            return failed("accepting");
        }

        program.Grid().DeleteAllRows();
        uint16_t read = 1;
        reading.push_back(Measure(server, [&] { read = RetrieveEventTable(program); }));
        if (read != 0 || program.Grid().RowCount() != kEvents) {
            return failed("reading");
        }
    }
    Report("Accept Changes, 40 events replaced by 40", accepting);
    Report("Read a 40-event table", reading);
    return 0;
}

}  // namespace keelsong::bench
