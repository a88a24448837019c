// Times what one cell edit costs the schedule strip on a 40-row table: the user's edit of a
// Duration cell, working the schedule out again and repainting the strip, offscreen. Prints
// the median, the 99th percentile and the longest of many edits, by the wall clock and by the
// thread's own processor time (which a busy machine's other work does not inflate), against
// the 2 ms the editing may take without lagging (optional argument: the number of edits,
// default 2000). The verdict goes by the processor time's 99th percentile.
//
//   QT_QPA_PLATFORM=offscreen build/bench/timeline_bench
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "app/events/event_grid.h"
#include "app/setup/setup_panel.h"
#include "app/state/program.h"
#include "gui/timeline_view.h"
#include "headless/headless_ui.h"
#include "platform/port_directory.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"

using namespace keelsong;

namespace {

constexpr double kBudgetMs = 2.0;

// Forty rows of every kind on an Orvane HF, a counted run with a start time.
void FillTable(Program& program) {
    program.SetUnit({device_type::kOrvaneHf, 0x020104, setup_format::kTagged});
    EventGridModel& grid = program.Grid();
    grid.SetColumnRange(grid_column::kStartFrequency, 3000, 200000);
    grid.SetColumnRange(grid_column::kEndFrequency, 3000, 200000);
    const char* const texts[] = {"Tone", "Sweep", "Click", "Rest"};
    const int32_t types[] = {5, 2, 4, 3};
    for (int row = 1; row <= EventGridModel::kMaxRows; ++row) {
        InsertEventRow(program, static_cast<uint8_t>(row));
        const int kind = (row - 1) % 4;
        grid.SetText(grid_column::kType, row, texts[kind]);
        SetRowType(program, types[kind], row);
        grid.SetNumber(grid_column::kDuration, row, 0.5 + 0.1 * row);
        grid.SetNumber(grid_column::kStartFrequency, row, 3000 + 4000 * row);
        grid.SetNumber(grid_column::kEndFrequency, row, 190000 - 4000 * row);
    }
    Ui& ui = program.GetUi();
    ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 1);
    ui.SetInt(Panel::MAIN, Control::PLAYBACKS, 5);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 30);
    ShowStartTime(program, 1796796000);
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[at];
}

double ThreadMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void Print(const char* what, const std::vector<double>& times) {
    std::printf("  %-15s median %.3f ms, 99th percentile %.3f ms, longest %.3f ms\n", what,
                Percentile(times, 0.5), Percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()));
}

}  // namespace

int main(int argc, char** argv) {
    const int edits = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    QApplication application(argc, argv);
    HeadlessUi ui;
    PosixPlatform platform;
    PosixSerialPort port{PortDirectory(platform.SettingsFolder())};
    Program program(ui, port, platform);
    FillTable(program);

    TimelineView strip;
    strip.resize(790, 104);
    strip.show();
    strip.Attach(program);
    QCoreApplication::processEvents();

    std::vector<double> times;
    std::vector<double> cpu_times;
    times.reserve(static_cast<size_t>(edits));
    cpu_times.reserve(static_cast<size_t>(edits));
    EventGridModel& grid = program.Grid();
    for (int k = 0; k < edits; ++k) {
        const int row = 1 + k % EventGridModel::kMaxRows;
        const double duration = (k / EventGridModel::kMaxRows) % 2 == 0 ? 2.5 : 1.0;
        const double cpu_start = ThreadMs();
        const auto start = std::chrono::steady_clock::now();
        grid.UserSetNumber(grid_column::kDuration, row, duration);
        strip.Refresh();
        strip.repaint();
        const auto end = std::chrono::steady_clock::now();
        cpu_times.push_back(ThreadMs() - cpu_start);
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        if (strip.DrawnSegments() != EventGridModel::kMaxRows) {
            std::fprintf(stderr, "the strip drew %d events, not 40\n", strip.DrawnSegments());
            return 1;
        }
    }
    QCoreApplication::processEvents();  // what the edits' own refresh requests still asked for

    std::printf("one cell edit, 40 rows, recompute and repaint (%d edits, budget %.1f ms):\n",
                edits, kBudgetMs);
    Print("wall clock", times);
    Print("processor time", cpu_times);
    const bool within = Percentile(cpu_times, 0.99) < kBudgetMs;
    std::printf("  %s\n", within ? "within budget" : "OVER BUDGET");
    return within ? 0 : 1;
}
