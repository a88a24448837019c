#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/service/firmware_rails.h"
#include "app/shell/callbacks.h"
#include "app/shell/outcome.h"

namespace keelsong {

class Program;

// Replacing the firmware of an Orvane HF from an image file: the image is read and checked,
// the unit restarted into its loader (admin mode), the image written into it chunk by chunk,
// and the unit restarted into the new firmware. Every stage is told in a progress text and the
// status line, the share of the image written in the panel's progress bar.

// The image offered on connecting to an out-of-date unit, relative to the working folder.
inline constexpr char kOfferedFirmwareFile[] = "./OrvaneHF.bin";
// An Orvane HF whose FirmwareVersion is below this (2.1.4) is offered the update on connecting.
inline constexpr int32_t kLatestFirmware = 0x020104;
// The largest image file read. A real image is a few tens of kilobytes; anything near this
// would take hours to write and is not taken for one.
inline constexpr size_t kMaxFirmwareFileBytes = size_t{16} << 20;

// Where an update shows its stages ("Entering Admin Mode", "Writing Bytes: ...") and its progress
// bar: the ADVANCED panel when started there, the status line when offered on connecting. The
// stages go to the status line's listener as well.
struct StageDisplay {
    Panel panel;
    Control control;
};
inline constexpr StageDisplay kAdvancedPanelStages{Panel::ADVANCED, Control::FW_STAGE_STR};
inline constexpr StageDisplay kStatusLineStages{Panel::MAIN, Control::STATUS_LINE};

// The text of the "Firmware updated failed" pop-up.
std::string FirmwareFailureText();

// Reads the image file at `path` whole into `image` and checks it; a failure says "Open firmware
// file failed" or "Firmware file corrupted" (after the check's own message).
Outcome ReadFirmwareFile(Program& program, const std::string& path, std::vector<uint8_t>& image);

// Writes a checked `image` into the unit and restarts it into its firmware; the stage texts go
// where `stages` says. Once the image is written the outcome is the restart's: ok,
// kRestartedIntoLoader, or kWrittenNotRestarted ("Reset Failed"); any other failure wrote no
// image ("Failed to upload firmware file to unit").
inline constexpr int kWrittenNotRestarted = -4;
Outcome InstallFirmwareImage(Program& program, std::span<const uint8_t> image, StageDisplay stages);

// Reads `file` to its end into `image` and checks its CRC. "File read failed" (also for a file
// larger than kMaxFirmwareFileBytes), "Invalid CRC value" (also for an image too short to
// carry data) or "Firmware file verified successfully".
Outcome VerifyFirmwareImage(Program& program, std::FILE* file, std::vector<uint8_t>& image);

// Restarts the unit into its loader and writes `image` into it, one MemoryWrite per chunk. The
// progress bar of `stages`' panel shows the share written while it runs. A failure says "Error,
// disconnected from device" (port closed), "Failed to boot into admin mode" or "Failed to write
// data to unit memory".
Outcome UploadFirmwareImage(Program& program, std::span<const uint8_t> image, StageDisplay stages);

// Waits the 5 s a unit takes to restart, then enquires it. The enquiry's result.
int EnquireAfterRestart(Program& program, bool show_in_status_line);
// Restarts the unit into its loader (admin mode) and enquires it. The Reset's own answer is
// not looked at: the unit may restart before it gets out. The enquiry's result.
int RestartIntoLoader(Program& program, bool show_in_status_line);

// Restarts an Orvane HF into its firmware and enquires it again; other types are left alone.
// Fails when the unit did not answer the Reset ("No response received") or the enquiry ("Error,
// disconnected from device", port closed), or came back in its loader ("Reset into admin mode",
// code kRestartedIntoLoader: it answers, and the controls follow it).
inline constexpr int kRestartedIntoLoader = -3;
Outcome RestartUnit(Program& program);

// The failure of a restart that left the unit out of its firmware: what the restart said went
// wrong, else (it answered, but from its loader or a unit it cannot restart) `popup_text`.
Outcome NotBackAfterRestart(const Outcome& restarted, std::string popup_text);

// Whether the unit a restart left behind is at work again: nullopt when it answers in its
// application firmware, otherwise what state it is in (port closed after it stopped answering,
// or admin mode) and what the user can do about it, for a message.
std::optional<std::string> UnitNotBackText(Program& program);

// UpdateFirmware's result when nothing was written: the image, the unit's battery or the
// backup stopped it before the unit was restarted into its loader.
inline constexpr int kUpdateNotStarted = -2;

// Installs the image at `path` under the wait cursor and tells the outcome in a message pop-up.
// Before anything is written the image is checked, the battery too (`gate` says what a low or
// missing reading does), and the unit's table and setup are backed up (its path into
// `backup_path`, empty when there was nothing to back up); then the image is written (stages in
// `stages`). Once written, takes down the stages' panel when it is a pop-up and brings
// program and unit together again: with `keep_contents` ("Update and Save") the program's table
// and setup are sent back, otherwise the unit's are read. An image written into a unit that does
// not come back in its application firmware (in admin mode, or silent after the restart) is a
// failed update, told with the state the unit is in and where the backup is. A failure before
// anything was written has the code kUpdateNotStarted.
Outcome UpdateFirmware(Program& program, const std::string& path, bool keep_contents,
                       StageDisplay stages, BatteryGate gate = BatteryGate::Ask,
                       std::string* backup_path = nullptr);

// "Update Firmware" on the ADVANCED panel (commit only): lets the user choose an image, asks
// (saying how long it takes), installs it and brings program and unit together again. Returns 0.
int UpdateFirmwareCB(Program& program, const CallbackEvent& event);

// Offers an Orvane HF with firmware older than 2.1.4 (admin mode included) the update from
// kOfferedFirmwareFile; nothing for other units.
void OfferFirmwareUpdate(Program& program);

}  // namespace keelsong
