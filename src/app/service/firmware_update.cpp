#include "app/service/firmware_update.h"
#include "app/setup/setup_panel.h"

#include <array>
#include <memory>
#include <optional>

#include "app/connection/connection.h"
#include "app/events/event_transfer.h"
#include "app/history/service_history.h"
#include "app/service/maker_contact.h"
#include "app/shell/program.h"
#include "app/shell/progress_bar.h"
#include "app/shell/text_format.h"
#include "app/unit/enquiry.h"
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

int Fail(Program& program, std::string_view text) {
    program.ShowStatusMessage(false, text);
    return -1;
}

// Whether to keep the program's table and setup across the update, or nullopt to leave the
// unit alone: the pop-up closed without an answer counts as "Cancel".
std::optional<bool> AskToUpdate(Ui& ui, std::string_view question) {
    const int answer =
        ui.GenericMessagePopup("Update Firmware", question, kUpdateButtons, kUpdateAndSave, 3);
    if (answer != kUpdateAndSave && answer != kUpdateWithoutSaving) {
        return std::nullopt;
    }
    return answer == kUpdateAndSave;
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

int InstallFirmwareFile(Program& program, const std::string& path, Panel panel, Control progress) {
    UnitOperationScope operation(program);
    std::vector<uint8_t> image;
    {
        const File file(std::fopen(path.c_str(), "rb"));
        if (!file) {
            return Fail(program, "Open firmware file failed");
        }
        if (VerifyFirmwareImage(program, file.get(), image) != 0) {
            return Fail(program, "Firmware file corrupted");
        }
    }
    if (UploadFirmwareImage(program, image, panel, progress) != 0) {
        return Fail(program, "Failed to upload firmware file to unit");
    }
    Ui& ui = program.GetUi();
    ui.SetText(panel, progress, "Booting New Firmware");
    if (RestartUnit(program) == 0) {
        ui.SetText(panel, progress, "Update Complete");
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

int UploadFirmwareImage(Program& program, std::span<const uint8_t> image, Panel panel,
                        Control progress) {
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetText(panel, progress, "Entering Admin Mode");
    const int version = RestartIntoLoader(program, true);
    if (version < 0) {
        Disconnect(program);
        return Fail(program, "Error, disconnected from device");
    }
    if (version >= kNormalFirmware) {
        return Fail(program, "Failed to boot into admin mode");
    }
    program.ShowStatusMessage(true, "Reading data from firmware file");

    ProgressBar bar(ui, panel);
    SerialLink& link = program.Link();
    const size_t chunks = FirmwareChunkCount(image.size());
    for (size_t index = 0; index < chunks; ++index) {
        const FirmwareChunk chunk = FirmwareChunkAt(image.size(), index);
        ui.SetText(panel, progress, FormatText("Writing Bytes: %zu", chunk.Written()));
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

// The update itself: the image installed, the unit checked, its contents read or sent again.
int InstallAndResync(Program& program, const std::string& path, bool keep_contents, Panel panel,
                     Control progress) {
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    ui.SetWaitCursor(true);
    int result = InstallFirmwareFile(program, path, panel, progress);
    const std::optional<std::string> not_back =
        result == 0 ? UnitNotBackText(program) : std::nullopt;
    if (result != 0) {
        ui.MessagePopup("Firmware updated failed", FirmwareFailureText());
    } else if (not_back) {
        ui.MessagePopup("Firmware updated failed",
                        "The new firmware was written.\n" + *not_back + "\n\n" +
                            ContactMakerText("if it still does not start."));
        result = -1;
    } else {
        ui.MessagePopup("Complete", "Firmware updated successfully");
        if (panel != Panel::MAIN) {
            ui.RemovePopup(panel);
        }
        result = ResyncAfterUpdate(program, keep_contents);
    }
    ui.SetWaitCursor(false);
    return result;
}

}  // namespace

int UpdateFirmware(Program& program, const std::string& path, bool keep_contents, Panel panel,
                   Control progress) {
    return RecordOperation(program, "Firmware Update", path, [&] {
        return InstallAndResync(program, path, keep_contents, panel, progress);
    });
}

int UpdateFirmwareCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    UnitOperationScope operation(program);
    Ui& ui = program.GetUi();
    const std::optional<bool> keep_contents = AskToUpdate(ui, kButtonQuestion);
    if (!keep_contents) {
        return 0;
    }
    const FileSelection file = ui.FileSelectPopup("", "*.bin", "Select update file", false);
    if (file.choice != FileChoice::ExistingFile) {
        return 0;
    }
    UpdateFirmware(program, file.path, *keep_contents, Panel::ADVANCED, Control::FW_STAGE_STR);
    return 0;
}

void OfferFirmwareUpdate(Program& program) {
    const UnitIdentity& identity = program.Identity();
    if (identity.DeviceType() != device_type::kOrvaneHf || identity.firmware_version < 0 ||
        identity.firmware_version >= kLatestFirmware) {
        return;
    }
    UnitOperationScope operation(program);
    const std::optional<bool> keep_contents = AskToUpdate(program.GetUi(), kOfferQuestion);
    if (keep_contents) {
        UpdateFirmware(program, kOfferedFirmwareFile, *keep_contents, Panel::MAIN,
                       Control::STATUS_LINE);
    }
}

}  // namespace keelsong
