#include "app/files/take_file_values.h"

#include <algorithm>

#include "app/events/event_grid.h"
#include "app/setup/setup_panel.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "files/config_file.h"

namespace keelsong {

int TakeFileValues(Program& program, const ConfigFileContents& file, std::vector<int> rows,
                   bool setup) {
    std::vector<EventRecord> events;
    for (int row = 1; row <= program.Grid().RowCount(); ++row) {
        EventRecord event;
        event.type = RowToEvent(program, event.body, row);
        events.push_back(event);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const size_t file_rows = file.events.size();
    std::vector<bool> removed(events.size(), false);
    for (const int row : rows) {
        if (row < 1 || row > kConfigMaxEvents) {
            program.ShowStatusMessage(false, "No row " + std::to_string(row) + " to take");
            return -1;
        }
        const size_t k = static_cast<size_t>(row - 1);
        if (k < file_rows) {
            while (events.size() <= k) {
                events.push_back(file.events[events.size()]);
                removed.push_back(false);
            }
            events[k] = file.events[k];
        } else if (k < events.size()) {
            removed[k] = true;
        }
    }
    std::vector<EventRecord> kept;
    for (size_t k = 0; k < events.size(); ++k) {
        if (!removed[k]) {
            kept.push_back(events[k]);
        }
    }
    const bool table = !rows.empty();
    const bool with_setup = setup && file.kind == ConfigFileKind::Configuration;
    if (table) {
        ReplaceGridEvents(program, kept);
    }
    if (with_setup && DecodeSetup(program, file.setup, false) != 0) {
        return -1;
    }
    std::string what = "Take the File's";
    if (table) {
        what += rows.size() == 1 ? " row " + std::to_string(rows.front()) : " rows";
    }
    if (with_setup) {
        what += table ? " and setup" : " setup";
    }
    RecordCombinedEdit(program, what);
    if (table) {
        MarkTableChanged(program, true);
    }
    if (with_setup) {
        MarkSetupChanged(program, true);
    }
    return 0;
}

}  // namespace keelsong
