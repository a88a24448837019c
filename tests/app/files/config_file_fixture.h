// The configuration file's callbacks on a headless screen: grids and setups to save, files to
// load, and pictures of the grid and the setup controls to tell what a load changed.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/files/config_file_io.h"
#include "app/setup/setup_fixture.h"
#include "support/temp_dir.h"

namespace keelsong::testing {

// One grid row as the user would set it up.
struct RowValues {
    const char* type_text;
    int32_t type;
    double duration = 1;
    double start_frequency = 0;
    double end_frequency = 0;
    double level = 0;
    double phase = 0;
};

// The six setup fields in wire units, by tag.
using SetupValues = std::array<uint32_t, setup_tag::kCount>;

struct ConfigFileFixture : SetupFixture {
    ConfigFileFixture() { program.Settings().ConfigFolder() = files.Path(); }

    void FillGrid(const std::vector<RowValues>& rows) {
        EmptyEventGrid(program);
        namespace col = grid_column;
        EventGridModel& grid = program.Grid();
        for (const RowValues& values : rows) {
            const int row = AddRow(values.type_text, values.type);
            // Only the cells the type uses; the others keep the row's defaults.
            for (const auto& [column, value] :
                 {std::pair{col::kDuration, values.duration},
                  std::pair{col::kStartFrequency, values.start_frequency},
                  std::pair{col::kEndFrequency, values.end_frequency},
                  std::pair{col::kLevel, values.level}, std::pair{col::kPhase, values.phase}}) {
                if (!grid.IsDimmed(column, row)) {
                    grid.SetNumber(column, row, value);
                }
            }
        }
    }
    // As a setup read from the unit would show it (after the grid: the rest may depend on it).
    void ShowSetup(const SetupValues& values) {
        for (uint16_t tag = 0; tag < setup_tag::kCount; ++tag) {
            ShowSetupField(program, tag, values[tag]);
        }
    }

    void Save(const std::string& path) {
        ui.AnswerFileSelect({FileChoice::NewFile, path});
        Press(program, Panel::MAIN, Control::STORE_EVENTS);
    }
    void Load(const std::string& path) {
        ui.AnswerFileSelect({FileChoice::ExistingFile, path});
        Press(program, Panel::MAIN, Control::LOAD_EVENTS);
    }
    std::string WriteFile(const std::string& name, const std::string& bytes) const {
        const std::string path = files / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string ReadFile(const std::string& path) {
        std::ostringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }

    // Every cell's text and dimmed state, row by row.
    std::vector<std::string> GridPicture() {
        std::vector<std::string> rows;
        const EventGridModel& grid = program.Grid();
        for (int row = 1; row <= grid.RowCount(); ++row) {
            std::string line;
            for (int column = 1; column <= grid_column::kCount; ++column) {
                line += grid.DisplayText(column, row) + (grid.IsDimmed(column, row) ? "~|" : "|");
            }
            rows.push_back(line);
        }
        return rows;
    }
    std::vector<std::string> TypeTexts() {
        std::vector<std::string> types;
        for (int row = 1; row <= program.Grid().RowCount(); ++row) {
            types.push_back(program.Grid().Text(grid_column::kType, row));
        }
        return types;
    }
    // Every setup control's value, dimmed state and label.
    std::map<Control, std::tuple<std::string, bool, std::string>> SetupPicture() const {
        std::map<Control, std::tuple<std::string, bool, std::string>> picture;
        for (Control control : {Control::CONTINUOUS, Control::PLAYBACKS, Control::REST_TIME,
                                Control::ENABLE_START_TIME, Control::YEAR, Control::MONTH,
                                Control::DAY, Control::HOUR, Control::MIN, Control::SYNC_MODE,
                                Control::ENCODE_TIME, Control::MAG_SWITCH}) {
            picture[control] = {ui.TextValue(Panel::MAIN, control),
                                ui.IsDimmed(Panel::MAIN, control), ui.Label(Panel::MAIN, control)};
        }
        return picture;
    }

    TempDir files;
};

}  // namespace keelsong::testing
