// Firmware updates end to end against simulated units over pseudo-terminals: every way the
// button's update can end, and the offer that connecting makes to an out-of-date unit.
#include "app/firmware_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "app/support_contact.h"
#include "protocol/crc.h"
#include "transfer_fixture.h"

namespace keelsong {
namespace {

using sim::Fault;
using testing::UnitRest;
using Texts = std::vector<std::string>;

const std::string kFailureText =
    "Please check USB connection, unit power or firmware file, and try again.\n\nContact "
    "Vantrel (" +
    std::string(kSupportContact) + ") for support.";

// `size` bytes of data (at least 2) ending in their CRC, low byte first.
std::vector<uint8_t> Image(size_t size) {
    std::vector<uint8_t> image(size - 2);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    const uint16_t crc = CrcOf(image);
    image.push_back(static_cast<uint8_t>(crc));
    image.push_back(static_cast<uint8_t>(crc >> 8));
    return image;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A unit that restarts at once, and reports v2.1.4 once a new image has booted.
sim::UnitState Unit(const std::string& firmware = "v2.1.4") {
    sim::UnitState state;
    state.firmware = firmware;
    state.firmware_after_update = "v2.1.4";
    state.restart_period = std::chrono::milliseconds(0);
    return state;
}

struct FirmwareUpdateTest : testing::TransferFixture {
    FirmwareUpdateTest() {
        InstallFirmwareUpdate(program);
        ui.RecordHistory(Panel::ADVANCED, Control::FW_STAGE_STR);
    }

    // The status-line messages of the firmware update itself, in the order shown.
    Texts UpdateMessages() const {
        static const std::set<std::string> kOwn = {
            "Open firmware file failed",
            "File read failed",
            "Invalid CRC value",
            "Firmware file corrupted",
            "Firmware file verified successfully",
            "Error, disconnected from device",
            "Failed to boot into admin mode",
            "Reading data from firmware file",
            "Failed to write data to unit memory",
            "Failed to upload firmware file to unit",
            "Successfully uploaded firmware",
            "No response received",
            "Reset Failed",
            "Reset into admin mode",
            "Reset unit successfully",
        };
        Texts own;
        for (const std::string& text : StatusHistory(Panel::MAIN)) {
            if (kOwn.count(text)) {
                own.push_back(text);
            }
        }
        return own;
    }
    Texts StageTexts() const {
        Texts texts;
        for (const auto& entry : ui.History(Panel::ADVANCED, Control::FW_STAGE_STR)) {
            texts.push_back(std::get<std::string>(entry.value));
        }
        return texts;
    }
    const HeadlessUi::PopupRecord* LastMessage() const {
        for (auto popup = ui.Popups().rbegin(); popup != ui.Popups().rend(); ++popup) {
            if (popup->kind == HeadlessUi::PopupKind::Message) {
                return &*popup;
            }
        }
        return nullptr;
    }
    int GenericPopups(std::string_view title) const {
        return static_cast<int>(std::count_if(
            ui.Popups().begin(), ui.Popups().end(), [&](const HeadlessUi::PopupRecord& popup) {
                return popup.kind == HeadlessUi::PopupKind::Generic && popup.title == title;
            }));
    }
    // The image bytes the unit received, chunk by chunk.
    static std::vector<std::vector<uint8_t>> Chunks(const sim::PtyServer& server) {
        std::vector<std::vector<uint8_t>> chunks;
        for (const sim::LoggedRequest& request : server.RequestLog()) {
            if (request.command == CommandCode(Command::MemoryWrite)) {
                chunks.push_back(request.payload);
            }
        }
        return chunks;
    }

    testing::TempDir files;
};

struct UpdateCase {
    const char* name;
    std::function<void(const std::string& path)> make_file;
    std::function<void(sim::UnitSimulator&)> unit;
    Texts messages;
    const char* popup_title;
    bool port_open;
};

TEST_F(FirmwareUpdateTest, UpdateButton_EveryOutcome_MessagesPopupAndPort) {
    const auto good = [](const std::string& path) { WriteFile(path, Image(300)); };
    const auto same = [](sim::UnitSimulator&) {};
    const char* failed = "Firmware updated failed";
    const char* done = "Complete";
    const UpdateCase cases[] = {
        {"file missing",
         [](const std::string&) {},
         same,
         {"Open firmware file failed"},
         failed,
         true},
        {"read error",
         [](const std::string& path) { std::filesystem::create_directory(path); },
         same,
         {"File read failed", "Firmware file corrupted"},
         failed,
         true},
        {"CRC wrong",
         [](const std::string& path) {
             std::vector<uint8_t> image = Image(300);
             image[10] ^= 1;
             WriteFile(path, image);
         },
         same,
         {"Invalid CRC value", "Firmware file corrupted"},
         failed,
         true},
        {"empty file, CRC 0",
         [](const std::string& path) { WriteFile(path, {}); },
         same,
         {"Invalid CRC value", "Firmware file corrupted"},
         failed,
         true},
        {"no answer after the admin-mode restart",
         good,
         [](sim::UnitSimulator& u) { u.State().silent_after_restart = 1; },
         {"Firmware file verified successfully", "Error, disconnected from device",
          "Failed to upload firmware file to unit"},
         failed,
         false},
        {"still normal firmware",
         good,
         [](sim::UnitSimulator& u) { u.State().ignore_loader_word = true; },
         {"Firmware file verified successfully", "Failed to boot into admin mode",
          "Failed to upload firmware file to unit"},
         failed,
         true},
        {"chunk refused",
         good,
         [](sim::UnitSimulator& u) { u.State().refuse_memory_write = 2; },
         {"Firmware file verified successfully", "Reading data from firmware file",
          "Failed to write data to unit memory", "Failed to upload firmware file to unit"},
         failed,
         true},
        {"no answer to the final Reset",
         good,
         [](sim::UnitSimulator& u) {
             u.InjectFault(Fault::Drop().OnlyFor(Command::Reset).After(1).Forever());
         },
         {"Firmware file verified successfully", "Reading data from firmware file",
          "Successfully uploaded firmware", "No response received", "Reset Failed"},
         done,
         true},
        {"no answer after the final restart",
         good,
         [](sim::UnitSimulator& u) { u.State().silent_after_restart = 2; },
         {"Firmware file verified successfully", "Reading data from firmware file",
          "Successfully uploaded firmware", "Error, disconnected from device", "Reset Failed"},
         done,
         false},
        {"back in admin mode",
         good,
         [](sim::UnitSimulator& u) { u.State().stay_in_loader = true; },
         {"Firmware file verified successfully", "Reading data from firmware file",
          "Successfully uploaded firmware", "Reset into admin mode"},
         done,
         true},
        {"new firmware",
         good,
         same,
         {"Firmware file verified successfully", "Reading data from firmware file",
          "Successfully uploaded firmware", "Reset unit successfully"},
         done,
         true},
    };
    int port = 1;
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = files / ("image" + std::to_string(port) + ".bin");
        c.make_file(path);
        sim::PtyServer& server = ConnectUnit(port++, Unit(), {}, c.unit);
        const size_t before = UpdateMessages().size();
        const size_t stages_before = StageTexts().size();
        const size_t progress_before = ui.ProgressHistory(Panel::ADVANCED).size();
        ui.InstallPopup(Panel::ADVANCED);
        ui.AnswerGeneric(2);  // "Update without saving"
        ui.AnswerFileSelect({FileChoice::ExistingFile, path});

        Press(program, Panel::ADVANCED, Control::UPDATE_FW);

        const Texts messages = UpdateMessages();
        EXPECT_EQ(Texts(messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end()),
                  c.messages);
        const HeadlessUi::PopupRecord* popup = LastMessage();
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup->title, c.popup_title);
        if (popup->title == failed) {
            EXPECT_EQ(popup->text, kFailureText);
            EXPECT_TRUE(ui.IsPopupInstalled(Panel::ADVANCED));
        } else {
            EXPECT_EQ(popup->text, "Firmware updated successfully");
            EXPECT_FALSE(ui.IsPopupInstalled(Panel::ADVANCED));
        }
        EXPECT_EQ(program.Link().IsConnected(), c.port_open);
        EXPECT_FALSE(ui.WaitCursor());
        EXPECT_FALSE(ui.Progress(Panel::ADVANCED).has_value());
        if (std::string(c.name) == "new firmware") {
            const Texts stages = StageTexts();
            EXPECT_EQ(
                Texts(stages.begin() + static_cast<std::ptrdiff_t>(stages_before), stages.end()),
                (Texts{"Entering Admin Mode", "Writing Bytes: 128", "Writing Bytes: 256",
                       "Writing Bytes: 300", "Booting New Firmware", "Update Complete"}));
            const std::vector<int>& progress = ui.ProgressHistory(Panel::ADVANCED);
            EXPECT_EQ(
                std::vector<int>(progress.begin() + static_cast<std::ptrdiff_t>(progress_before),
                                 progress.end()),
                (std::vector<int>{0, 42, 85, 100}));
            std::vector<uint8_t> received;
            for (const std::vector<uint8_t>& chunk : Chunks(server)) {
                received.insert(received.end(), chunk.begin() + 4, chunk.end());
            }
            EXPECT_EQ(received, Image(300));
        }
        Disconnect(program);
    }
}

TEST_F(FirmwareUpdateTest, ImageOver64KiB_OffsetsWrapAndTheUnitTakesIt) {
    const std::vector<uint8_t> image = Image(65536 + 200);
    sim::PtyServer& server = ConnectUnit(1, Unit());
    ASSERT_EQ(UploadFirmwareImage(program, image, Panel::MAIN, Control::STATUS_LINE), 0)
        << MainStatus();
    const std::vector<std::vector<uint8_t>> chunks = Chunks(server);
    ASSERT_EQ(chunks.size(), 514u);
    EXPECT_EQ(ReadLe16(&chunks[512][2]), 0);
    EXPECT_EQ(chunks[513][1], 72);
    EXPECT_TRUE(server.WithSimulator([](sim::UnitSimulator& u) { return u.Upload().complete; }));
}

// Runs in a folder of its own, where "./OrvaneHF.bin" is looked for.
struct FirmwareOfferTest : FirmwareUpdateTest {
    FirmwareOfferTest() : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(files.Path());
    }
    ~FirmwareOfferTest() override { std::filesystem::current_path(previous); }

    // Connects to a new unit as the user does, keeping everything the unit received.
    sim::PtyServer& ConnectAnew(int number, const sim::UnitState& state,
                                const std::vector<sim::StoredEvent>& events = {},
                                const std::function<void(sim::UnitSimulator&)>& more = {}) {
        sim::PtyServer& server = AddUnit(number, state);
        Change(server, [&](sim::UnitSimulator& unit) {
            unit.Events() = events;
            if (more) {
                more(unit);
            }
        });
        EXPECT_EQ(Connect(number), 0) << MainStatus();
        return server;
    }
    static int Resets(const sim::PtyServer& server) {
        const testing::Commands codes = Commands(server);
        return static_cast<int>(
            std::count(codes.begin(), codes.end(), CommandCode(Command::Reset)));
    }

    std::filesystem::path previous;
};

struct OfferCase {
    const char* name;
    uint8_t type;
    const char* firmware;
    bool offered;
};

TEST_F(FirmwareOfferTest, Connecting_OfferedToOutOfDateOrvaneHfOnly) {
    const OfferCase cases[] = {
        {"Orvane HF 2.1.3", device_type::kOrvaneHf, "v2.1.3", true},
        {"Orvane HF 2.1.4", device_type::kOrvaneHf, "v2.1.4", false},
        {"Orvane HF in admin mode", device_type::kOrvaneHf, "v0.3.1", true},
        {"Orvane LF", device_type::kOrvaneLf, "v1.0.0", false},
    };
    int port = 1;
    for (const OfferCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitState state = Unit(c.firmware);
        state.device_type = c.type;
        const int offers = GenericPopups("Update Firmware");
        sim::PtyServer& server = ConnectAnew(port++, state);  // the offer is cancelled
        EXPECT_EQ(GenericPopups("Update Firmware") - offers, c.offered ? 1 : 0);
        EXPECT_EQ(Resets(server), 0);
    }
    // Without the image beside the program, the update ends before anything is sent.
    ui.AnswerGeneric(1);
    sim::PtyServer& server = ConnectAnew(port, Unit("v2.1.3"));
    EXPECT_EQ(Resets(server), 0);
    EXPECT_EQ(MainStatus(), "Open firmware file failed");
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->title, "Firmware updated failed");
}

TEST_F(FirmwareOfferTest, UpdateAndSave_WritesTableAndSetupBack_WithoutSaving_ReadsThemAgain) {
    WriteFile("OrvaneHF.bin", Image(300));
    const std::vector<sim::StoredEvent> events = {UnitRest(5), UnitRest(7)};
    const auto setup = [](sim::UnitSimulator& u) {
        u.Setup().magnetic_switch = 1;
        u.Setup().number_of_plays = 3;
    };
    for (const bool save : {true, false}) {
        SCOPED_TRACE(save ? "Update and Save" : "Update without saving");
        ui.AnswerGeneric(save ? 1 : 2);
        sim::PtyServer& server = ConnectAnew(save ? 1 : 2, Unit("v2.1.3"), events, setup);
        EXPECT_EQ(LastMessage()->title, "Complete");
        EXPECT_EQ(server.WithSimulator([](sim::UnitSimulator& u) { return u.ReportedFirmware(); }),
                  "v2.1.4");
        const sim::SetupState unit_setup =
            server.WithSimulator([](sim::UnitSimulator& u) { return u.Setup(); });
        if (save) {
            EXPECT_EQ(UnitEvents(server), events);
            EXPECT_EQ(unit_setup.magnetic_switch, 1u);
            EXPECT_EQ(unit_setup.number_of_plays, 3u);
            EXPECT_EQ(grid.RowCount(), 2);
        } else {
            EXPECT_TRUE(UnitEvents(server).empty());
            EXPECT_EQ(unit_setup, sim::SetupState{});
            EXPECT_EQ(grid.RowCount(), 0) << "the emptied table read again";
            EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::MAG_SWITCH), 0);
        }
        EXPECT_EQ(MainStatus(), "Retrieved table and setup successfully");
        EXPECT_FALSE(ui.Progress(Panel::MAIN).has_value());
        EXPECT_EQ(ui.ProgressHistory(Panel::MAIN).back(), 100);
    }
}

}  // namespace
}  // namespace keelsong
