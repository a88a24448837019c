// Shared by the configuration-file fuzz targets: bytes loaded as the chosen file through the
// "Load" button, on one of the units, and what a load may and may not change.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/events/event_grid.h"
#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace keelsong::fuzz {

inline void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

inline constexpr UnitContext kUnits[] = {
    {device_type::kOrvaneLf, 0x010102, 14},  // counts the last event into the rest
    {device_type::kOrvaneLf, 0x010103, 14},
    {device_type::kOrvaneHf, 0x020104, 21},
    {device_type::kOrvaneHfR1, 0x020104, 17},
};

// Everything a load may change: every cell, the setup controls, the marks.
inline std::vector<std::string> Picture(Program& program, const HeadlessUi& ui) {
    std::vector<std::string> picture;
    EventGridModel& grid = program.Grid();
    for (int row = 1; row <= grid.RowCount(); ++row) {
        for (int column = 1; column <= grid_column::kCount; ++column) {
            picture.push_back(grid.DisplayText(column, row));
        }
    }
    for (Control control :
         {Control::CONTINUOUS, Control::PLAYBACKS, Control::REST_TIME, Control::ENABLE_START_TIME,
          Control::YEAR, Control::MONTH, Control::DAY, Control::HOUR, Control::MIN,
          Control::SYNC_MODE, Control::ENCODE_TIME, Control::MAG_SWITCH}) {
        picture.push_back(ui.TextValue(Panel::MAIN, control));
    }
    picture.push_back(program.Marks().table_changed ? "table changed" : "");
    picture.push_back(program.Marks().setup_changed ? "setup changed" : "");
    return picture;
}

// Loads `bytes` as a file on unit `unit` (index into kUnits) over a grid of two rows. A failed
// load changes nothing; any load leaves at most 40 rows, asks nothing but the file dialog, and
// remembers nothing as the unit's setup. Returns the grid's row count after a successful load,
// -1 after a failed one.
inline int LoadThroughTheButton(std::span<const uint8_t> bytes, size_t unit) {
    const int fd = ::memfd_create("config", MFD_CLOEXEC);
    Check(fd >= 0);
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        Check(n > 0);
        written += static_cast<size_t>(n);
    }

    HeadlessUi ui;
    testing::FakePlatform platform;
    testing::FakeSerialPort port;
    Program program(ui, port, platform);
    InstallSetupPanel(program);
    program.SetUnit(kUnits[unit % std::size(kUnits)]);
    EventBody rest{};
    rest[0] = 20;
    EventToRow(program, rest, 3, 1);
    EventToRow(program, rest, 3, 2);
    ShowSetupField(program, 3, 100);
    program.Marks() = {};
    const UnitSetup remembered = program.CurrentUnitSetup();
    const std::vector<std::string> before = Picture(program, ui);

    ui.AnswerFileSelect({FileChoice::ExistingFile, "/proc/self/fd/" + std::to_string(fd)});
    Press(program, Panel::MAIN, Control::LOAD_EVENTS);
    ::close(fd);

    Check(ui.Popups().size() == 1);
    Check(!ui.WaitCursor());
    Check(program.CurrentUnitSetup() == remembered);
    Check(program.Grid().RowCount() <= 40);
    if (ui.TextColor(Panel::MAIN, Control::STATUS_LINE) != kColorBlack) {
        const std::string status = ui.TextValue(Panel::MAIN, Control::STATUS_LINE);
        Check(status == "Failed to read from file" || status == "Error reading events from file");
        Check(Picture(program, ui) == before);
        return -1;
    }
    return program.Grid().RowCount();
}

}  // namespace keelsong::fuzz
