#include "app/files/unit_contents.h"

#include "app/events/event_grid.h"
#include "app/state/program.h"
#include "protocol/frame.h"
#include "protocol/unit_setup.h"

namespace keelsong {

ConfigFileContents UnitContents(Program& program) {
    ConfigFileContents contents;
    for (int row = 1; row <= program.Grid().RowCount(); ++row) {
        EventRecord event;
        event.type = RowToEvent(program, event.body, row);
        if (event.type >= TypeCode(EventType::ToneCycles) &&
            event.type <= TypeCode(EventType::ToneSeconds)) {
            contents.events.push_back(event);
        }
    }
    const UnitSetup& setup = program.CurrentUnitSetup();
    const uint16_t format = program.SetupFormat();
    if (format == setup_format::kNone) {
        return contents;
    }
    const std::array<uint32_t, setup_tag::kCount> values = {
        setup.aux_function,    static_cast<uint32_t>(setup.start_time),
        setup.number_of_plays, setup.time_between_repeats,
        setup.magnetic_switch, setup.aux_messages};
    std::vector<uint16_t> tags;
    if (format == setup_format::kTagged) {
        tags = {0, 1, 2, 3, 4, 5};
    } else {
        tags = {setup_tag::kNumberOfPlays, setup_tag::kTimeBetweenRepeats,
                setup_tag::kMagneticSwitch};
    }
    contents.setup.assign(4, 0);
    for (const uint16_t tag : tags) {
        uint8_t item[8];
        WriteLe16(item, tag);
        WriteLe16(item + 2, 4);
        WriteLe32(item + 4, values[tag]);
        contents.setup.insert(contents.setup.end(), item, item + sizeof item);
    }
    WriteLe16(contents.setup.data(), setup_format::kTagged);
    WriteLe16(contents.setup.data() + 2, static_cast<uint16_t>(tags.size()));
    return contents;
}

}  // namespace keelsong
