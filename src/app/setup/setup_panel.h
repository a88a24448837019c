#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"
#include "app/state/setup_controls.h"

namespace keelsong {

class Program;

// The unit setup on the MAIN panel ("Repeat Setup", "Start Delay", "Sync - PPS", the magnetic
// switch), its exchange with the unit, and the ADVANCED pop-up.

// Sets the setup controls' fixed ranges; APPLY starts dimmed. Called once while the program is
// set up.
void InstallSetupPanel(Program& program);

// ---- Exchange with the unit (setup_transfer.cpp) ----

// Sets the setup format from the connected unit's type and firmware.
void ChooseSetupFormat(Program& program);

// Reads the unit's setup onto the controls and remembers it. A failure says what the
// transaction told, or "Unrecognised device setup".
Outcome ReadUnitSetup(Program& program);

// Sends the setup on the controls in the unit's form and shows what the unit answers.
Outcome SendUnitSetup(Program& program);
// The tagged-form branch of SendUnitSetup.
Outcome SendTaggedSetup(Program& program);

// Shows every field a setup record carries; with `remember` also keeps them as the unit's
// setup. Only bytes inside `record` are read. -1 for an unknown format code: then nothing is
// shown and nothing remembered.
int DecodeSetup(Program& program, std::span<const uint8_t> record, bool remember);

// Shows one field, in wire units, on its controls. -1 for a tag outside 0-5 (after telling
// the user).
int ShowSetupField(Program& program, uint16_t tag, uint32_t value);

// One field's wire value as the controls show it; nullopt for a tag outside 0-5. The start
// time (tag 1) is the 32-bit pattern of a signed number, -1 when no start time is set.
std::optional<uint32_t> ReadSetupField(Program& program, int tag);

// ---- The setup controls (setup_panel.cpp; what follows from a control's value is in
// state/setup_controls.h) ----

// Shows a start time on the date and time controls, ticked. 0 or less shows the present time,
// unticked.
void ShowStartTime(Program& program, int32_t start_time);
// Only the start date and time fields, at `utc_seconds` in local time; whether a start time is
// set stays as it is, and nothing is marked changed.
void ShowStartDate(Program& program, int64_t utc_seconds);
// What the status line says when "Enable:" is ticked with a start time already past: a unit
// cannot start at a time that has gone.
inline constexpr std::string_view kStartTimePassedText =
    "The start time has passed: the unit cannot start at it. Set a later time";
// With "Enable:" ticked and the start time before the present, says so in the status line (a
// failure); nothing otherwise. The user's edits of "Enable:" and the date and time run it.
void WarnIfStartTimePassed(Program& program);

// The start time the date and time controls hold, read as local time, whether or not
// "Enable:" is ticked. -1 when the platform cannot place that local time.
int32_t StartTimeFromControls(Program& program);

// The event table's and rest time's limits for the connected unit type; "Unsupported: ..."
// with the identity text for a type without a setup.
void ApplyUnitTypeLimits(Program& program, const std::string& identity_text);
// Which controls the connected unit allows.
void UpdateControlsForUnit(Program& program);
void SetUnitControlsDimmed(Program& program, bool dimmed);
void SetAdvancedControlsDimmed(Program& program, bool dimmed);

// MAIN panel callbacks.
int SetContinuousPlaybackCB(Program& program, const CallbackEvent& event);  // CONTINUOUS
int EnableStartTimeCB(Program& program, const CallbackEvent& event);        // ENABLE_START_TIME
int SetSyncModeCB(Program& program, const CallbackEvent& event);            // SYNC_MODE
// Every other setup control, and AUTOSAVE on the ADVANCED panel.
int IndicateSetupChangedCB(Program& program, const CallbackEvent& event);

// ---- The ADVANCED pop-up (advanced_panel.cpp) ----

// "Save Changes Before Playing": when set, Play accepts pending edits without asking. The
// setter also ticks or clears the ADVANCED panel's AUTOSAVE box, so the box always shows the
// value in force.
bool SaveBeforePlaying(const Program& program);
void SetSaveBeforePlaying(Program& program, bool value);

// APPLY is usable while AUTOSAVE holds a change that is not applied yet.
void SetApplyEnabled(Program& program, bool enabled);

int OpenAdvancedPanelCB(Program& program, const CallbackEvent& event);    // MAIN ADVANCED
int ApplyAdvancedSetupCB(Program& program, const CallbackEvent& event);   // APPLY
int CancelAdvancedSetupCB(Program& program, const CallbackEvent& event);  // CANCEL ("Close")

}  // namespace keelsong
