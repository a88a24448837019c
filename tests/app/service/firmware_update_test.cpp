// Firmware updates end to end against simulated units over pseudo-terminals: every way the
// button's update can end, and the offer that connecting makes to an out-of-date unit.
#include "app/service/firmware_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>

#include "app/events/transfer_fixture.h"
#include "app/files/config_file_io.h"
#include "app/service/firmware_backup.h"
#include "app/unit/support_contact.h"
#include "protocol/crc.h"
#include "support/saved_file.h"

namespace keelsong {
namespace {

using sim::Fault;
using testing::UnitRest;
using Texts = std::vector<std::string>;

// What `all` gained after its first `from` entries.
template <class T>
std::vector<T> Since(const std::vector<T>& all, size_t from) {
    return std::vector<T>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

const std::string kFailureText =
    "Please check USB connection, unit power or firmware file, and try again.\n\nContact "
    "Vantrel (" +
    std::string(kSupportContact) + ") for support.";

// The pop-up of an image written into a unit that is not back in its firmware: `state`.
std::string NotBackText(const std::string& state) {
    return "The new firmware was written.\n" + state +
           "\nPower the unit off and on, then connect again.\n\nContact Vantrel (" +
           std::string(kSupportContact) + ") if it still does not start.";
}
const std::string kInLoader = NotBackText(
    "The unit is in admin mode (Orvane HF # 1042 Admin Mode v0.3.1): it did not start its "
    "firmware.");

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
        steps.offer_firmware_update = nullptr;
        ui.RecordHistory(Panel::ADVANCED, Control::FW_STAGE_STR);
        platform.SetDataFolder(data.Path());
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

    // Whether the unit received a command that writes anything: the loader's Reset or an image
    // chunk.
    static bool Written(const sim::PtyServer& server) {
        const testing::Commands sent = Commands(server);
        return std::ranges::any_of(sent, [](uint8_t code) {
            return code == CommandCode(Command::Reset) || code == CommandCode(Command::MemoryWrite);
        });
    }
    // Answers "Update Firmware" on the ADVANCED panel with `image`, "Update and Save" or not,
    // and the low-battery question with `low_battery` when it comes.
    void PressUpdate(const std::string& image, bool keep_contents,
                     std::optional<int> low_battery = std::nullopt) {
        ui.InstallPopup(Panel::ADVANCED);
        ui.AnswerFileSelect({FileChoice::ExistingFile, image});
        ui.AnswerGeneric(keep_contents ? 1 : 2);
        if (low_battery) {
            ui.AnswerGeneric(*low_battery);
        }
        Press(program, Panel::ADVANCED, Control::UPDATE_FW);
    }
    const HeadlessUi::PopupRecord* LastGeneric() const {
        for (auto it = ui.Popups().rbegin(); it != ui.Popups().rend(); ++it) {
            if (it->kind == HeadlessUi::PopupKind::Generic) {
                return &*it;
            }
        }
        return nullptr;
    }

    testing::TempDir files;
    testing::TempDir data;  // the backups
};

enum class ImageFile { Good, Missing, Directory, CrcWrong, Empty };

void MakeImageFile(ImageFile kind, const std::string& path) {
    std::vector<uint8_t> image = Image(300);
    switch (kind) {
        case ImageFile::Missing:
            return;
        case ImageFile::Directory:  // opens, but cannot be read
            std::filesystem::create_directory(path);
            return;
        case ImageFile::CrcWrong:
            image[10] ^= 1;
            break;
        case ImageFile::Empty:  // its CRC is 0
            image.clear();
            break;
        case ImageFile::Good:
            break;
    }
    WriteFile(path, image);
}

struct UpdateCase {
    const char* name;
    ImageFile file;
    sim::UnitState unit;
    Texts messages;
    std::string failure;  // the failure pop-up's text; empty for "Complete"
    bool port_open;
    bool final_reset_unanswered = false;  // every Reset answer but the first is lost
    std::string state = {};               // what a failed upload's pop-up says of the unit
};

TEST_F(FirmwareUpdateTest, UpdateButton_EveryOutcome_MessagesPopupAndPort) {
    const auto with = [](auto change) {
        sim::UnitState state = Unit();
        change(state);
        return state;
    };
    const Texts checked = {"Firmware file verified successfully"};
    const Texts uploaded = {"Firmware file verified successfully",
                            "Reading data from firmware file", "Successfully uploaded firmware"};
    const auto plus = [](Texts texts, std::initializer_list<std::string> more) {
        texts.insert(texts.end(), more);
        return texts;
    };
    const std::string not_uploaded = "Failed to upload firmware file to unit";
    const UpdateCase cases[] = {
        {"file missing",
         ImageFile::Missing,
         Unit(),
         {"Open firmware file failed"},
         kFailureText,
         true},
        {"read error",
         ImageFile::Directory,
         Unit(),
         {"File read failed", "Firmware file corrupted"},
         kFailureText,
         true},
        {"CRC wrong",
         ImageFile::CrcWrong,
         Unit(),
         {"Invalid CRC value", "Firmware file corrupted"},
         kFailureText,
         true},
        {"empty image",
         ImageFile::Empty,
         Unit(),
         {"Invalid CRC value", "Firmware file corrupted"},
         kFailureText,
         true},
        {"no answer after the admin-mode restart", ImageFile::Good,
         with([](sim::UnitState& u) { u.silent_after_restart = 1; }),
         plus(checked, {"Error, disconnected from device", not_uploaded}), kFailureText, false,
         false,
         "The unit stopped answering and was disconnected: connect again; a unit in admin mode is "
         "offered the update again."},
        {"still normal firmware", ImageFile::Good,
         with([](sim::UnitState& u) { u.ignore_loader_word = true; }),
         plus(checked, {"Failed to boot into admin mode", not_uploaded}), kFailureText, true, false,
         "The unit still runs its firmware (Orvane HF # 1042 Firmware v2.1.4): nothing of it was "
         "replaced."},
        {"chunk refused", ImageFile::Good,
         with([](sim::UnitState& u) { u.refuse_memory_write = 2; }),
         plus(checked, {"Reading data from firmware file", "Failed to write data to unit memory",
                        not_uploaded}),
         kFailureText, true, false,
         "The unit is in admin mode: it works again only once an update succeeds. Update it "
         "again."},
        // Written, but the unit is not back in its firmware: no success, whatever the restart.
        {"no answer to the final Reset", ImageFile::Good, Unit(),
         plus(uploaded, {"No response received", "Reset Failed"}), kInLoader, true, true},
        {"no answer after the final restart", ImageFile::Good,
         with([](sim::UnitState& u) { u.silent_after_restart = 2; }),
         plus(uploaded, {"Error, disconnected from device", "Reset Failed"}),
         NotBackText("The unit did not answer after its restart and was disconnected."), false},
        {"back in admin mode", ImageFile::Good,
         with([](sim::UnitState& u) { u.stay_in_loader = true; }),
         plus(uploaded, {"Reset into admin mode"}), kInLoader, true},
        {"Orvane LF, which is not restarted", ImageFile::Good,
         with([](sim::UnitState& u) { u.device_type = device_type::kOrvaneLf; }), uploaded,
         NotBackText("The unit is in admin mode (Orvane LF # 1042 Admin Mode v0.3.1), and "
                     "Keelsong cannot restart a unit of this type."),
         true},
        {"new firmware", ImageFile::Good, Unit(), plus(uploaded, {"Reset unit successfully"}), "",
         true},
    };
    int port = 1;
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = files / ("image" + std::to_string(port) + ".bin");
        MakeImageFile(c.file, path);
        sim::PtyServer& server = ConnectUnit(port++, c.unit);
        if (c.final_reset_unanswered) {
            Change(server, [](sim::UnitSimulator& u) {
                u.InjectFault(Fault::Drop().OnlyFor(Command::Reset).After(1).Forever());
            });
        }
        const size_t before = UpdateMessages().size();
        const size_t stages_before = StageTexts().size();
        const size_t progress_before = ui.ProgressHistory(Panel::ADVANCED).size();
        ui.InstallPopup(Panel::ADVANCED);
        ui.AnswerGeneric(2);  // "Update without saving"
        ui.AnswerFileSelect({FileChoice::ExistingFile, path});

        Press(program, Panel::ADVANCED, Control::UPDATE_FW);

        EXPECT_EQ(Since(UpdateMessages(), before), c.messages);
        const HeadlessUi::PopupRecord* popup = LastMessage();
        ASSERT_NE(popup, nullptr);
        // Past the image check the unit is backed up, and the end message names the file.
        const std::string backup = NewestBackup(BackupFolder(platform), 1042).value_or("");
        if (c.failure.empty()) {
            EXPECT_EQ(popup->title, "Complete");
            EXPECT_EQ(popup->text,
                      "Firmware updated successfully\nThe unit's table and setup "
                      "before the update are backed up in " +
                          backup);
            EXPECT_FALSE(ui.IsPopupInstalled(Panel::ADVANCED));
        } else {
            EXPECT_EQ(popup->title, "Firmware updated failed");
            const std::string hint =
                c.file != ImageFile::Good
                    ? ""
                    : "\n\nThe unit's table and setup before the update are in " + backup +
                          ": once it runs its firmware again, load that file and accept the "
                          "changes, or run keelsong-cli restore-backup.";
            EXPECT_EQ(popup->text, c.failure + (c.state.empty() ? "" : "\n\n" + c.state) + hint);
            EXPECT_TRUE(ui.IsPopupInstalled(Panel::ADVANCED));
        }
        EXPECT_EQ(program.Link().IsConnected(), c.port_open);
        EXPECT_FALSE(ui.WaitCursor());
        EXPECT_FALSE(ui.Progress(Panel::ADVANCED).has_value());
        if (std::string(c.name) == "new firmware") {
            EXPECT_EQ(Since(StageTexts(), stages_before),
                      (Texts{"Entering Admin Mode", "Writing Bytes: 128 (about 1 s left)",
                             "Writing Bytes: 256 (about 1 s left)", "Writing Bytes: 300",
                             "Booting New Firmware", "Update Complete"}));
            EXPECT_EQ(Since(ui.ProgressHistory(Panel::ADVANCED), progress_before),
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

struct BatteryCase {
    const char* name;
    int8_t level;
    std::optional<int> answer;  // to "Low Battery" (1 go on, 2 cancel); nullopt: not asked
    std::string refusal;        // the status line of an update that did not start
};

TEST_F(FirmwareUpdateTest, BatteryLowOrUnread_NothingWrittenUnlessConfirmedAtThatLevel) {
    const std::string charge = ": charge the unit to at least 30 % before updating its firmware";
    const BatteryCase cases[] = {
        {"12 %, cancelled", 12, 2, "Battery at 12 %" + charge},
        {"29 %, cancelled", 29, 2, "Battery at 29 %" + charge},
        {"no reading, cancelled", -1, 2, "No battery reading" + charge},
        {"12 %, confirmed", 12, 1, ""},
        {"30 %", 30, std::nullopt, ""},
    };
    const std::string image = files / "image.bin";
    WriteFile(image, Image(300));
    int port = 1;
    for (const BatteryCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::UnitState state = Unit();
        state.battery_level = c.level;
        sim::PtyServer& server = ConnectUnit(port++, state);
        const int asked = GenericPopups("Low Battery");

        PressUpdate(image, false, c.answer);

        ASSERT_EQ(GenericPopups("Low Battery") - asked, c.answer ? 1 : 0);
        if (c.answer) {  // it names the level
            const std::string at =
                c.level < 0 ? "without a reading" : "at " + std::to_string(c.level) + " %";
            EXPECT_TRUE(LastGeneric()->text.ends_with("Update anyway " + at + "?"))
                << LastGeneric()->text;
        }
        EXPECT_EQ(Written(server), c.refusal.empty());
        ASSERT_NE(LastMessage(), nullptr);
        if (c.refusal.empty()) {
            EXPECT_EQ(LastMessage()->title, "Complete");
        } else {
            EXPECT_EQ(MainStatus(), c.refusal);
            EXPECT_EQ(LastMessage()->title, "Update Firmware");
            EXPECT_EQ(LastMessage()->text, c.refusal + ".\n\nNothing was written to the unit.");
            EXPECT_FALSE(NewestBackup(BackupFolder(platform), 1042)) << "no backup before the gate";
        }
        Disconnect(program);
    }
}

// The backup is what "read" would write of the unit, not the program's unsent edits, which
// "Update and Save" still sends.
TEST_F(FirmwareUpdateTest, UpdateAndSaveWithEdits_BackupHoldsTheUnitsOwn_EditsAreSent) {
    const std::string image = files / "image.bin";
    WriteFile(image, Image(300));
    sim::PtyServer& server =
        ConnectUnit(1, Unit(), {UnitRest(5), UnitRest(7)},
                    [](sim::UnitSimulator& u) { u.Setup().number_of_plays = 3; });
    ASSERT_EQ(SaveConfigurationFile(program, files / "unit.tlk").code, 0);
    AppendRest(2.5);
    EditSetup();

    PressUpdate(image, true);

    ASSERT_EQ(LastMessage()->title, "Complete") << LastMessage()->text;
    const std::optional<std::string> backup = NewestBackup(BackupFolder(platform), 1042);
    ASSERT_TRUE(backup);
    EXPECT_EQ(testing::SavedTableAndSetup(*backup),
              testing::SavedTableAndSetup(files / "unit.tlk"));
    EXPECT_EQ(UnitEvents(server).size(), 3u);
    EXPECT_EQ(server.WithSimulator([](sim::UnitSimulator& u) { return u.Setup().magnetic_switch; }),
              1u);
}

TEST_F(FirmwareUpdateTest, BackupFails_UpdateDoesNotStart) {
    const std::string image = files / "image.bin";
    WriteFile(image, Image(300));
    WriteFile(files / "not-a-folder", {1});
    struct Case {
        const char* name;
        std::string data_folder;
        bool table_unreadable;
        std::string failure;
    };
    const Case cases[] = {
        {"folder cannot be made", files / "not-a-folder", false,
         "Backup folder " + files / "not-a-folder/backups" + " cannot be made: Not a directory"},
        {"table unreadable", data.Path(), true, "Table and setup to back up not read"},
    };
    int port = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.SetDataFolder(c.data_folder);
        sim::PtyServer& server = ConnectUnit(port++, Unit(), {UnitRest(5)});
        if (c.table_unreadable) {
            Change(server, [](sim::UnitSimulator& u) {
                u.InjectFault(Fault::Drop().OnlyFor(Command::EventEnquire).Forever());
            });
        }
        PressUpdate(image, false);

        EXPECT_FALSE(Written(server));
        EXPECT_EQ(LastMessage()->title, "Update Firmware");
        EXPECT_EQ(LastMessage()->text, c.failure + ".\n\nNothing was written to the unit.");
        EXPECT_FALSE(NewestBackup(BackupFolder(platform), 1042));
        Disconnect(program);
    }
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
        const std::vector<int>& progress = ui.ProgressHistory(Panel::MAIN);
        EXPECT_NE(std::ranges::find(progress, 100), progress.end()) << "the upload ran to its end";
    }
}

// The question says how long writing takes; a unit in its loader without a battery reading can
// still be recovered, on the user's explicit word, with nothing to back up.
TEST_F(FirmwareOfferTest, Question_TellsTimeAndBackup_LoaderWithoutReadingRecoverable) {
    WriteFile("OrvaneHF.bin", Image(65536));
    ConnectAnew(1, Unit("v2.1.3"));  // the offer is cancelled
    EXPECT_TRUE(LastGeneric()->text.ends_with(
        "\nWriting the image takes about 52 s, and the unit restarts twice (about 10 s).\nThe "
        "unit's table and setup are backed up first."))
        << LastGeneric()->text;

    WriteFile("OrvaneHF.bin", Image(300));
    sim::UnitState loader = Unit("v2.1.3");
    loader.in_loader = true;
    loader.battery_level = -1;
    ui.AnswerGeneric(2);  // "Update without saving"
    ui.AnswerGeneric(1);  // "Update without a reading"
    sim::PtyServer& server = ConnectAnew(2, loader);

    EXPECT_NE(GenericPopups("Update Firmware"), 0);
    const auto& popups = ui.Popups();
    const auto question = std::ranges::find_if(popups, [](const HeadlessUi::PopupRecord& p) {
        return p.title == "Update Firmware" && p.text.find("admin mode") != std::string::npos;
    });
    ASSERT_NE(question, popups.end());
    EXPECT_TRUE(question->text.ends_with(
        "\nThe unit is in admin mode: it has no table or setup that could be backed up, and its "
        "battery is unknown."))
        << question->text;
    EXPECT_EQ(LastMessage()->title, "Complete");
    EXPECT_EQ(LastMessage()->text, "Firmware updated successfully");
    EXPECT_TRUE(Written(server));
    EXPECT_FALSE(NewestBackup(BackupFolder(platform), 1042));
}

}  // namespace
}  // namespace keelsong
