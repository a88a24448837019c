#pragma once

#include <span>

#include "app/shell/callbacks.h"
#include "app/state/unit_context.h"
#include "files/config_provenance.h"
#include "protocol/event_record.h"

namespace keelsong {

class Program;

// With no unit identified, a tone is no event at all and a click needs a unit that takes
// clicks, so a configuration file opened without a unit would lose events from the grid, the
// schedule and the report. Until a unit is identified, these go by a stand-in instead: the
// unit type that can hold every event of the file.

// The stand-in for `events`: an Orvane HF, unless the tones are counted in cycles (an Orvane
// LF) or come in both kinds (an Orvane HF(R1)). Its setup is the tagged form, which holds
// clicks and all six setup fields as a configuration file keeps them, and its firmware is new
// enough that no older firmware's rule applies.
UnitContext UnitHoldingEvents(std::span<const EventRecord> events);

// Before a file's `events` are shown: with no unit identified, the grid, the setup panel, the
// schedule and the report go by a stand-in from now until an enquiry succeeds: of the type
// asked for (Program::GivenUnitType), else of the type the file names in `provenance` where
// that type can hold every event, else of the type that can. The file's unit becomes the one
// a save names. With a unit identified, they go by the unit and nothing changes.
void GoByUnitHolding(Program& program, std::span<const EventRecord> events,
                     const ConfigProvenance& provenance = {});

// After a file's setup was shown: with no unit identified, showing it may have opened setup
// controls (the start date, the PPS messages, the number of repeats) and "Accept Changes";
// none of them is usable without a unit, so all are dimmed again as when a unit goes, but for
// "Save" and "Load".
void DimUnitControlsWithoutUnit(Program& program);

// "Unit type" shows the type the grid goes by; it can be chosen only while no unit is
// identified.
void ShowUnitTypeChoice(Program& program);
// A type chosen in "Unit type" with no unit identified: the rows are shown again as for it and
// it becomes the stand-in (as given), unless it cannot play one of them as it stands, when the
// choice goes back and the status line says which rows.
int UnitTypeCB(Program& program, const CallbackEvent& event);

}  // namespace keelsong
