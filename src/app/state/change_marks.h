#pragma once

namespace keelsong {

class Program;

// Whether the grid and the setup controls hold edits the unit does not have yet.
struct ChangeMarks {
    bool table_changed = false;
    bool setup_changed = false;
    // "Save Changes Before Playing": Play accepts pending edits without asking.
    bool save_before_playing = false;
};

// Every command that changes the grid calls this; accepting or reading the table clears it.
// On an Orvane LF up to firmware 1.1.2 a table change is a setup change too, because the rest
// it is sent contains the last event's duration.
void MarkTableChanged(Program& program, bool changed);

// Every edit of a setup control calls this; accepting or reading the setup clears it.
void MarkSetupChanged(Program& program, bool changed);

// "Accept Changes" and "Undo Changes" are usable while either mark is set. The setters above
// touch the two buttons only when that combined state flips, so that a mark set twice, or one
// cleared while the other stays set, leaves the buttons as they are.

}  // namespace keelsong
