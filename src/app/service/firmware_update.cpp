#include "app/service/firmware_update.h"
#include "app/changes/accept_changes.h"
#include "app/setup/setup_panel.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/connection/connection.h"
#include "app/events/event_transfer.h"
#include "app/history/service_history.h"
#include "app/service/firmware_rails.h"
#include "app/shell/progress_bar.h"
#include "app/shell/text_format.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/maker_contact.h"
#include "protocol/commands.h"
#include "protocol/firmware_image.h"

namespace keelsong {

namespace {

// SendCommand's result for any valid response (a frame of at least the header), and for a
// MemoryWrite answer that carries its result byte and the count taken.
constexpr int kMinAnswerFrame = 4;
constexpr int kMinMemoryWriteFrame = 8;
constexpr uint8_t kMemoryWritten = 0;

constexpr int kUpdateAndSave = 1;
constexpr int kUpdateWithoutSaving = 2;
const std::array<std::string, 3> kUpdateButtons = {"Update and Save", "Update without saving",
                                                   "Cancel"};

constexpr char kButtonQuestion[] =
    "-- Warning! This process will clear all events in your unit!\n-- It may corrupt the "
    "existing firmware if not completed.\n-- Ensure the unit's power is stable before "
    "continuing.\n\nDo you want to update your unit and save your table and setup?";
constexpr char kOfferQuestion[] =
    "The connected unit's firmware is not the latest version, some of the functions may not "
    "work properly.\nDo you want to update the unit and save your table and setup?\n\n-- "
    "Warning! This process will clear all events in your unit!\n-- It may corrupt the existing "
    "firmware if not completed.\n-- Ensure the unit's power is stable before continuing.\n";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void ShowStage(Program& program, StageDisplay stages, std::string_view text) {
    if (stages.panel == Panel::MAIN && stages.control == Control::STATUS_LINE) {
        program.Status().ShowStage(text);
        return;
    }
    program.GetUi().SetText(stages.panel, stages.control, std::string(text));
    program.Status().TellStage(text);
}

// Whether to keep the program's table and setup across the update, or nullopt to leave the
// unit alone: the pop-up closed without an answer counts as "Cancel".
// The question also says how long the update of the image at `path` takes and what it backs up.
std::optional<bool> AskToUpdate(Program& program, std::string_view question,
                                const std::string& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    const std::string plan =
        UpdatePlanText(program.Identity(),
                       error ? std::nullopt : std::optional<size_t>(static_cast<size_t>(size)));
    std::string text(question);
    if (!plan.empty()) {
        text += (text.ends_with('\n') ? "\n" : "\n\n") + plan;
    }
    const int answer = program.GetUi().GenericMessagePopup("Update Firmware", text, kUpdateButtons,
                                                           kUpdateAndSave, 3);
    if (answer != kUpdateAndSave && answer != kUpdateWithoutSaving) {
        return std::nullopt;
    }
    return answer == kUpdateAndSave;
}

// What a failed update's message adds: where the unit's table and setup were kept.
std::string BackupHint(const std::string& backup) {
    if (backup.empty()) {
        return {};
    }
    return "\n\nThe unit's table and setup before the update are in " + backup +
           ": once it runs its firmware again, load that file and accept the changes, or run "
           "keelsong-cli restore-backup.";
}

// The state a failed upload left the unit in, and what to do about it.
std::string AfterFailedUploadText(Program& program) {
    if (!program.Link().IsConnected()) {
        return "The unit stopped answering and was disconnected: connect again; a unit in admin "
               "mode is offered the update again.";
    }
    if (program.Identity().firmware_version < kNormalFirmware) {
        return "The unit is in admin mode: it works again only once an update succeeds. Update it "
               "again.";
    }
    return "The unit still runs its firmware (" + IdentityText(program.Identity()) +
           "): nothing of it was replaced.";
}

}  // namespace

int EnquireAfterRestart(Program& program, bool show_in_status_line) {
    program.GetPlatform().Delay(kRestartPauseSeconds);
    return EnquireUnit(program, show_in_status_line);
}

int RestartIntoLoader(Program& program, bool show_in_status_line) {
    program.Link().SendCommand(Command::Reset, kLoaderModeWord);
    return EnquireAfterRestart(program, show_in_status_line);
}

std::optional<std::string> UnitNotBackText(Program& program) {
    constexpr char kWhatToDo[] = "Power the unit off and on, then connect again.";
    if (!program.Link().IsConnected()) {
        return std::string("The unit did not answer after its restart and was disconnected.\n") +
               kWhatToDo;
    }
    const UnitIdentity& identity = program.Identity();
    if (identity.firmware_version >= kNormalFirmware) {
        return std::nullopt;
    }
    std::string text = "The unit is in admin mode (" + IdentityText(identity) + ")";
    if (identity.DeviceType() == device_type::kOrvaneHf) {
        text += ": it did not start its firmware.\n";
    } else {
        // RestartUnit leaves every other type alone: nothing brings it out of its loader.
        text += ", and Keelsong cannot restart a unit of this type.\n";
    }
    return text + kWhatToDo;
}

std::string FirmwareFailureText() {
    return "Please check USB connection, unit power or firmware file, and try again.\n\n" +
           ContactMakerText("for support.");
}

Outcome ReadFirmwareFile(Program& program, const std::string& path, std::vector<uint8_t>& image) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return program.Fail("Open firmware file failed");
    }
    if (!VerifyFirmwareImage(program, file.get(), image).ok) {
        return program.Fail("Firmware file corrupted");
    }
    return Outcome::Done("Firmware file verified successfully");
}

Outcome InstallFirmwareImage(Program& program, std::span<const uint8_t> image,
                             StageDisplay stages) {
    UnitOperationScope operation(program);
    if (!UploadFirmwareImage(program, image, stages).ok) {
        return program.Fail("Failed to upload firmware file to unit");
    }
    ShowStage(program, stages, "Booting New Firmware");
    Outcome restarted = RestartUnit(program);
    if (restarted.ok || restarted.code == kRestartedIntoLoader) {
        ShowStage(program, stages, "Update Complete");
        return restarted;
    }
    return program.Fail("Reset Failed", kWrittenNotRestarted);
}

Outcome VerifyFirmwareImage(Program& program, std::FILE* file, std::vector<uint8_t>& image) {
    image.clear();
    std::array<uint8_t, 4096> block;
    for (;;) {
        const size_t got = std::fread(block.data(), 1, block.size(), file);
        image.insert(image.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(got));
        if (std::ferror(file) || image.size() > kMaxFirmwareFileBytes) {
            image.clear();
            return program.Fail("File read failed");
        }
        if (got < block.size()) {
            break;
        }
    }
    if (!FirmwareImageIntact(image)) {
        return program.Fail("Invalid CRC value");
    }
    return program.Done("Firmware file verified successfully");
}

Outcome UploadFirmwareImage(Program& program, std::span<const uint8_t> image, StageDisplay stages) {
    UnitOperationScope operation(program);
    ShowStage(program, stages, "Entering Admin Mode");
    const int version = RestartIntoLoader(program, true);
    if (version < 0) {
        Disconnect(program);
        return program.Fail("Error, disconnected from device");
    }
    if (version >= kNormalFirmware) {
        return program.Fail("Failed to boot into admin mode");
    }
    program.ShowStatusMessage(true, "Reading data from firmware file");

    ProgressBar bar(program.GetUi(), stages.panel);
    SerialLink& link = program.Link();
    const size_t chunks = FirmwareChunkCount(image.size());
    for (size_t index = 0; index < chunks; ++index) {
        const FirmwareChunk chunk = FirmwareChunkAt(image.size(), index);
        // The time left counts the chunks after this one: the last shows none.
        const double left = FirmwareWriteSeconds(image.size(), index + 1);
        ShowStage(program, stages,
                  FormatText("Writing Bytes: %zu", chunk.Written()) +
                      (left > 0 ? " (" + AboutSeconds(left) + " left)" : std::string{}));
        const int result =
            link.SendCommand(Command::MemoryWrite, FirmwareChunkPayload(image, chunk));
        if (result < kMinMemoryWriteFrame || link.ResponsePayload()[0] != kMemoryWritten) {
            return program.Fail("Failed to write data to unit memory");
        }
        bar.ShowPart(chunk.Written(), image.size());
    }
    return program.Done("Successfully uploaded firmware");
}

Outcome RestartUnit(Program& program) {
    if (program.Identity().DeviceType() != device_type::kOrvaneHf) {
        return Outcome::Done();
    }
    UnitOperationScope operation(program);
    if (program.Link().SendCommand(Command::Reset) < kMinAnswerFrame) {
        return program.Fail("No response received");
    }
    const int version = EnquireAfterRestart(program, true);
    if (version < 0) {
        Disconnect(program);
        return program.Fail("Error, disconnected from device");
    }
    Outcome restarted = version >= kNormalFirmware
                            ? program.Done("Reset unit successfully")
                            : program.Fail("Reset into admin mode", kRestartedIntoLoader);
    UpdateControlsForUnit(program);
    return restarted;
}

Outcome NotBackAfterRestart(const Outcome& restarted, std::string popup_text) {
    return Outcome::Failed(restarted.ok ? std::move(popup_text) : restarted.message);
}

namespace {

// The update itself: the image checked, the rails, the image installed, the unit checked, its
// contents read or sent again.
Outcome GuardInstallAndResync(Program& program, const std::string& path, bool keep_contents,
                              StageDisplay stages, BatteryGate gate, std::string* backup_path) {
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    std::string backup;
    std::vector<uint8_t> image;
    Outcome result = ReadFirmwareFile(program, path, image);
    Outcome installed;
    if (!result.ok) {
        program.Status().ShowMessagePopup("Firmware updated failed", FirmwareFailureText());
    } else if (const auto not_started = PrepareFirmwareUpdate(program, gate, backup)) {
        program.Status().ShowMessagePopup("Update Firmware",
                                          *not_started + ".\n\nNothing was written to the unit.");
        result = Outcome::Failed(*not_started, kUpdateNotStarted);
    } else if (installed = InstallFirmwareImage(program, image, stages);
               !installed.ok && installed.code != kRestartedIntoLoader &&
               installed.code != kWrittenNotRestarted) {
        program.Status().ShowMessagePopup(
            "Firmware updated failed",
            FirmwareFailureText() + "\n\n" + AfterFailedUploadText(program) + BackupHint(backup));
        result = installed;
    } else if (const std::optional<std::string> not_back = UnitNotBackText(program)) {
        const std::string text = "The new firmware was written.\n" + *not_back + "\n\n" +
                                 ContactMakerText("if it still does not start.") +
                                 BackupHint(backup);
        program.Status().ShowMessagePopup("Firmware updated failed", text);
        result = NotBackAfterRestart(installed, text);
    } else {
        program.Status().ShowMessagePopup(
            "Complete", "Firmware updated successfully" +
                            (backup.empty() ? std::string{}
                                            : "\nThe unit's table and setup before "
                                              "the update are backed up in " +
                                                  backup));
        if (stages.panel != Panel::MAIN) {
            ui.RemovePopup(stages.panel);
        }
        result = ResyncAfterUpdate(program, keep_contents);
    }
    if (backup_path) {
        *backup_path = backup;
    }
    ui.SetWaitCursor(false);
    return result;
}

}  // namespace

Outcome UpdateFirmware(Program& program, const std::string& path, bool keep_contents,
                       StageDisplay stages, BatteryGate gate, std::string* backup_path) {
    return RecordOperation(program, "Firmware Update", path, [&] {
        return GuardInstallAndResync(program, path, keep_contents, stages, gate, backup_path);
    });
}

int UpdateFirmwareCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    // The image first: the question says how long writing it takes.
    const FileSelection file = ui.FileSelectPopup("", "*.bin", "Select update file", false, true);
    if (file.choice != FileChoice::ExistingFile) {
        return 0;
    }
    const std::optional<bool> keep_contents = AskToUpdate(program, kButtonQuestion, file.path);
    if (!keep_contents) {
        return 0;
    }
    UpdateFirmware(program, file.path, *keep_contents, kAdvancedPanelStages);
    return 0;
}

void OfferFirmwareUpdate(Program& program) {
    const UnitIdentity& identity = program.Identity();
    if (identity.DeviceType() != device_type::kOrvaneHf || identity.firmware_version < 0 ||
        identity.firmware_version >= kLatestFirmware) {
        return;
    }
    UnitOperationScope operation(program);
    const std::optional<bool> keep_contents =
        AskToUpdate(program, kOfferQuestion, kOfferedFirmwareFile);
    if (keep_contents) {
        UpdateFirmware(program, kOfferedFirmwareFile, *keep_contents, kStatusLineStages);
    }
}

}  // namespace keelsong
