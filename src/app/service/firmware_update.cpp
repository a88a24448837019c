#include "app/service/firmware_update.h"
#include "app/setup/setup_panel.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/connection/connection.h"
#include "app/events/event_transfer.h"
#include "app/history/service_history.h"
#include "app/service/firmware_rails.h"
#include "app/shell/program.h"
#include "app/shell/progress_bar.h"
#include "app/shell/text_format.h"
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

int Fail(Program& program, std::string_view text) {
    program.ShowStatusMessage(false, text);
    return -1;
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

int InstallFirmwareFile(Program& program, const std::string& path, StageDisplay stages) {
    UnitOperationScope operation(program);
    std::vector<uint8_t> image;
    if (ReadFirmwareFile(program, path, image) != 0) {
        return -1;
    }
    return InstallFirmwareImage(program, image, stages);
}

int ReadFirmwareFile(Program& program, const std::string& path, std::vector<uint8_t>& image) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return Fail(program, "Open firmware file failed");
    }
    if (VerifyFirmwareImage(program, file.get(), image) != 0) {
        return Fail(program, "Firmware file corrupted");
    }
    return 0;
}

int InstallFirmwareImage(Program& program, std::span<const uint8_t> image, StageDisplay stages) {
    UnitOperationScope operation(program);
    if (UploadFirmwareImage(program, image, stages) != 0) {
        return Fail(program, "Failed to upload firmware file to unit");
    }
    ShowStage(program, stages, "Booting New Firmware");
    if (RestartUnit(program) == 0) {
        ShowStage(program, stages, "Update Complete");
    } else {
        program.ShowStatusMessage(false, "Reset Failed");
    }
    return 0;
}

int VerifyFirmwareImage(Program& program, std::FILE* file, std::vector<uint8_t>& image) {
    image.clear();
    std::array<uint8_t, 4096> block;
    for (;;) {
        const size_t got = std::fread(block.data(), 1, block.size(), file);
        image.insert(image.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(got));
        if (std::ferror(file) || image.size() > kMaxFirmwareFileBytes) {
            image.clear();
            return Fail(program, "File read failed");
        }
        if (got < block.size()) {
            break;
        }
    }
    if (!FirmwareImageIntact(image)) {
        return Fail(program, "Invalid CRC value");
    }
    program.ShowStatusMessage(true, "Firmware file verified successfully");
    return 0;
}

int UploadFirmwareImage(Program& program, std::span<const uint8_t> image, StageDisplay stages) {
    UnitOperationScope operation(program);
    ShowStage(program, stages, "Entering Admin Mode");
    const int version = RestartIntoLoader(program, true);
    if (version < 0) {
        Disconnect(program);
        return Fail(program, "Error, disconnected from device");
    }
    if (version >= kNormalFirmware) {
        return Fail(program, "Failed to boot into admin mode");
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
            return Fail(program, "Failed to write data to unit memory");
        }
        bar.ShowPart(chunk.Written(), image.size());
    }
    program.ShowStatusMessage(true, "Successfully uploaded firmware");
    return 0;
}

int RestartUnit(Program& program) {
    if (program.Identity().DeviceType() != device_type::kOrvaneHf) {
        return 0;
    }
    UnitOperationScope operation(program);
    if (program.Link().SendCommand(Command::Reset) < kMinAnswerFrame) {
        return Fail(program, "No response received");
    }
    const int version = EnquireAfterRestart(program, true);
    if (version < 0) {
        Disconnect(program);
        return Fail(program, "Error, disconnected from device");
    }
    if (version >= kNormalFirmware) {
        program.ShowStatusMessage(true, "Reset unit successfully");
    } else {
        program.ShowStatusMessage(false, "Reset into admin mode");
    }
    UpdateControlsForUnit(program);
    return 0;
}

namespace {

// The update itself: the image checked, the rails, the image installed, the unit checked, its
// contents read or sent again.
int GuardInstallAndResync(Program& program, const std::string& path, bool keep_contents,
                          StageDisplay stages, BatteryGate gate, std::string* backup_path) {
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    std::string backup;
    std::vector<uint8_t> image;
    int result = ReadFirmwareFile(program, path, image);
    if (result != 0) {
        program.Status().ShowMessagePopup("Firmware updated failed", FirmwareFailureText());
    } else if (const auto not_started = PrepareFirmwareUpdate(program, gate, backup)) {
        program.Status().ShowMessagePopup("Update Firmware",
                                          *not_started + ".\n\nNothing was written to the unit.");
        result = kUpdateNotStarted;
    } else if (InstallFirmwareImage(program, image, stages) != 0) {
        program.Status().ShowMessagePopup(
            "Firmware updated failed",
            FirmwareFailureText() + "\n\n" + AfterFailedUploadText(program) + BackupHint(backup));
        result = -1;
    } else if (const std::optional<std::string> not_back = UnitNotBackText(program)) {
        program.Status().ShowMessagePopup("Firmware updated failed",
                                          "The new firmware was written.\n" + *not_back + "\n\n" +
                                              ContactMakerText("if it still does not start.") +
                                              BackupHint(backup));
        result = -1;
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

int UpdateFirmware(Program& program, const std::string& path, bool keep_contents,
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
