// The enquiry against the simulated unit over a pseudo-terminal: the identity it reads, the
// answers it refuses, the newer-firmware warning, the clock comparison and the order in which
// it brings the rest of the program up to date.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/connection/connection_fixture.h"
#include "app/shell/callbacks.h"
#include "app/state/change_marks.h"
#include "app/unit/enquiry.h"
#include "app/unit/support_contact.h"
#include "support/fake_serial_port.h"

namespace keelsong {
namespace {

using sim::Fault;
using sim::UnitState;
using testing::ConnectionFixture;

constexpr uint8_t kEnquire = 0x45;
constexpr uint8_t kSetTime = 0x41;
constexpr uint8_t kStatusRead = 0x43;
constexpr int64_t kDay = 86'400;

const std::string kNewerFirmwareText =
    "The connected device is newer than this version of Keelsong.\nSome features may be "
    "unresponsive or unavailable.\nContact Vantrel (" +
    std::string(kSupportContact) + ") for an update to ensure full functionality.";

UnitState Unit(uint8_t type, uint16_t serial, const std::string& firmware) {
    UnitState state;
    state.device_type = type;
    state.serial_number = serial;
    state.firmware = firmware;
    return state;
}

int64_t SetTimeValue(const sim::LoggedRequest& request) {
    return request.payload.size() == 4 ? static_cast<int32_t>(ReadLe32(request.payload.data()))
                                       : -999;
}

class EnquiryTest : public ConnectionFixture {
  protected:
    sim::PtyServer& Serve(UnitState state = {}) {
        sim::PtyServer& server = AddUnit(1, state);
        OpenConnected(1);
        return server;
    }
    std::string Device() const { return ui.TextValue(Panel::MAIN, Control::DEVICE); }
};

TEST_F(EnquiryTest, IdentityLine_ForEachTypeAndFirmware_ShownInDeviceAndStatusLine) {
    struct Case {
        UnitState unit;
        const char* line;
        int version;
    };
    const Case cases[] = {
        {Unit(4, 1042, "v2.1.4"), "Orvane HF # 1042 Firmware v2.1.4", 131332},
        {Unit(4, 7, "v0.3.1"), "Orvane HF # 7 Admin Mode v0.3.1", 769},
        {Unit(1, 65535, "v1.0.0"), "Orvane LF # 65535 Firmware v1.0.0", 65536},
        {Unit(6, 3, "v1.12.7"), "Orvane HF(R1) # 3 Firmware v1.12.7", 65536 + 12 * 256 + 7},
        {Unit(2, 10, "v2.0.0"), "Quelmar LF # 10 Firmware v2.0.0", 131072},
        {Unit(5, 11, "v2.0.0"), "Quelmar HF # 11 Firmware v2.0.0", 131072},
        {Unit(7, 12, "v2.0.0"), "Quelmar AF # 12 Firmware v2.0.0", 131072},
        {Unit(65, 13, "v2.0.0"), "Quelmar MF # 13 Firmware v2.0.0", 131072},
        {Unit(99, 14, "v2.0.0"), "Unknown Device # 14 Firmware v2.0.0", 131072},
        // Only the version as parsed shows: what follows the patch number is left out.
        {Unit(4, 15, "v1.2.3xyz"), "Orvane HF # 15 Firmware v1.2.3", 66051},
        {Unit(4, 16, "v2.1.4\xC0"), "Orvane HF # 16 Firmware v2.1.4", 131332},
    };
    sim::PtyServer& server = Serve();
    std::vector<std::string> limits_texts;
    steps.apply_unit_type_limits = [&](Program&, const std::string& text) {
        limits_texts.push_back(text);
    };
    for (const Case& c : cases) {
        Change(server, [&](sim::UnitSimulator& unit) { unit.State() = c.unit; });
        program.Identity().SetDeviceType(0);  // each case is a fresh connection
        limits_texts.clear();
        EXPECT_EQ(EnquireUnit(program, true), c.version) << c.line;
        EXPECT_EQ(Device(), c.line);
        EXPECT_EQ(MainStatus(), c.line);
        EXPECT_EQ(MainStatusColor(), kColorBlack) << c.line;
        EXPECT_EQ(limits_texts, std::vector<std::string>{c.line});
        EXPECT_EQ(program.Unit().device_type, c.unit.device_type) << c.line;
        EXPECT_EQ(program.Unit().firmware_version, c.version) << c.line;
    }

    // Without the flag the status line keeps its text; the limits still get the line.
    program.ShowStatusMessage(false, "before");
    limits_texts.clear();
    EXPECT_EQ(EnquireUnit(program, false), 131332);
    EXPECT_EQ(MainStatus(), "before");
    EXPECT_EQ(limits_texts.size(), 1u);
    EXPECT_EQ(MessagePopups("Unit replaced"), 0);
}

TEST_F(EnquiryTest, FirmwareText_NotVersionShaped_FailsAndKeepsTheRecord) {
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));
    ASSERT_EQ(EnquireUnit(program, true), 131332);
    const UnitIdentity before = program.Identity();
    const std::string device_before = Device();

    for (const char* text :
         {"2.1.4", "V2.1.4", "v2.1", "v2..14", "v2.1.", "v-1.2.3", "v 2.1.4", "v", "", "v2,1,4"}) {
        Change(server, [&](sim::UnitSimulator& unit) {
            unit.State().firmware = text;
            unit.State().serial_number = 999;  // would show if the answer were taken
        });
        EXPECT_EQ(EnquireUnit(program, true), -1) << '"' << text << '"';
        EXPECT_EQ(program.Identity().Raw(), before.Raw()) << text;
        EXPECT_EQ(program.Identity().firmware_version, 131332) << text;
        EXPECT_EQ(Device(), device_before) << text;
    }
}

TEST_F(EnquiryTest, PayloadLength_29Fails_30SucceedsWithStatusDisplaysHidden) {
    UnitState state = Unit(4, 1042, "v2.1.4");
    state.battery_state = 1;  // charging: gauge and indicator shown from a full answer
    state.play_state = 1;
    sim::PtyServer& server = Serve(state);
    ASSERT_EQ(EnquireUnit(program, true), 131332);
    ASSERT_TRUE(ui.IsVisible(Panel::MAIN, Control::BATT_ICON));
    ASSERT_TRUE(ui.IsVisible(Panel::MAIN, Control::CHARGING_ICON));
    ASSERT_TRUE(ui.IsVisible(Panel::MAIN, Control::SYNC_ICON));
    ASSERT_EQ(ui.TextValue(Panel::MAIN, Control::PLAY_CODE_MSG), "Playing");

    Change(server, [](sim::UnitSimulator& unit) { unit.State().enquire_payload_length = 29; });
    EXPECT_EQ(EnquireUnit(program, true), -1);
    EXPECT_EQ(program.Identity().StatusPresent(), 1);

    Change(server, [](sim::UnitSimulator& unit) { unit.State().enquire_payload_length = 30; });
    EXPECT_EQ(EnquireUnit(program, true), 131332);
    EXPECT_EQ(program.Identity().StatusPresent(), 0);
    EXPECT_FALSE(ui.IsVisible(Panel::MAIN, Control::BATT_ICON));
    EXPECT_FALSE(ui.IsVisible(Panel::MAIN, Control::CHARGING_ICON));
    EXPECT_FALSE(ui.IsVisible(Panel::MAIN, Control::SYNC_ICON));
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::PLAY_CODE_MSG), "");
}

TEST_F(EnquiryTest, NewerFirmwareWarning_OncePerRun_AgainAfterEnquireButton) {
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.2.0"));
    ASSERT_EQ(EnquireUnit(program, false), 131584);
    ASSERT_EQ(MessagePopups("Warning"), 1);
    EXPECT_EQ(ui.Popups().back().text, kNewerFirmwareText);

    EXPECT_EQ(EnquireUnit(program, false), 131584);  // polls
    EXPECT_EQ(EnquireUnit(program, false), 131584);
    EXPECT_EQ(MessagePopups("Warning"), 1);

    Press(program, Panel::MAIN, Control::ENQUIRE);
    EXPECT_EQ(MessagePopups("Warning"), 2);
    EXPECT_EQ(EnquireUnit(program, false), 131584);
    EXPECT_EQ(MessagePopups("Warning"), 2);

    // 2.1.99 is the newest known; a newer Orvane LF is not warned about.
    for (const UnitState& unit : {Unit(4, 1042, "v2.1.99"), Unit(1, 1042, "v2.2.0")}) {
        Change(server, [&](sim::UnitSimulator& sim) { sim.State() = unit; });
        program.SetNewerFirmwareWarned(false);
        program.Identity().SetDeviceType(0);
        EXPECT_GE(EnquireUnit(program, false), 0) << unit.firmware;
        EXPECT_EQ(MessagePopups("Warning"), 2) << unit.firmware;
    }
}

TEST_F(EnquiryTest, DifferentUnitAnswering_ShowsUnitReplacedAndReloads) {
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));
    std::vector<uint16_t> reloaded_with_serial;
    steps.reload_unit_contents = [&](Program& p) {
        reloaded_with_serial.push_back(p.Identity().SerialNumber());
        return Outcome::Done();
    };
    ASSERT_EQ(EnquireUnit(program, false), 131332);
    ASSERT_EQ(EnquireUnit(program, false), 131332);
    EXPECT_EQ(MessagePopups("Unit replaced"), 0);
    EXPECT_TRUE(reloaded_with_serial.empty());

    Change(server, [](sim::UnitSimulator& unit) { unit.State().serial_number = 2001; });
    ASSERT_EQ(EnquireUnit(program, false), 131332);
    ASSERT_EQ(MessagePopups("Unit replaced"), 1);
    EXPECT_EQ(ui.Popups().back().text,
              "Warning, your unit was replaced by a different unit, the event table and all setup "
              "will be reloaded");
    EXPECT_EQ(reloaded_with_serial, std::vector<uint16_t>{2001});

    // Same serial number, other type: also another unit.
    Change(server, [](sim::UnitSimulator& unit) { unit.State().device_type = 6; });
    ASSERT_GE(EnquireUnit(program, false), 0);
    EXPECT_EQ(MessagePopups("Unit replaced"), 2);
    EXPECT_EQ(reloaded_with_serial.size(), 2u);
}

TEST_F(EnquiryTest, DifferentUnitWhileEditsAreUnsent_AsksWhetherToKeepThem) {
    struct Case {
        const char* name;
        bool table_edited;
        bool setup_edited;
        std::optional<int> answer;  // nullopt: closed without a button
        bool reloaded;
    };
    const Case cases[] = {
        {"no edits: told, then read", false, false, 0, true},
        {"table edited, kept", true, false, 1, false},
        {"setup edited, kept", false, true, 1, false},
        {"table edited, unit read", true, false, 2, true},
        {"question closed: kept", true, true, std::nullopt, false},
    };
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));
    ASSERT_GE(EnquireUnit(program, false), 0);
    uint16_t serial = 1042;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UnitKey before = KeyOf(program.Identity());
        program.Origin() = {before, before};
        MarkTableChanged(program, c.table_edited);
        MarkSetupChanged(program, c.setup_edited);
        std::optional<ContentsOrigin> origin_at_reload;
        steps.reload_unit_contents = [&](Program& p) {
            origin_at_reload = p.Origin();
            return Outcome::Done();
        };
        if (c.answer == std::nullopt) {
            ui.CloseGeneric();
        } else if (*c.answer != 0) {
            ui.AnswerGeneric(*c.answer);
        }
        const size_t popups_before = ui.Popups().size();
        ++serial;
        Change(server, [&](sim::UnitSimulator& unit) { unit.State().serial_number = serial; });

        ASSERT_GE(EnquireUnit(program, false), 0);

        ASSERT_EQ(ui.Popups().size(), popups_before + 1);
        const HeadlessUi::PopupRecord& asked = ui.Popups().back();
        EXPECT_EQ(asked.title, "Unit replaced");
        const UnitKey now = KeyOf(program.Identity());
        if (!c.table_edited && !c.setup_edited) {
            EXPECT_EQ(asked.kind, HeadlessUi::PopupKind::Message);
        } else {
            EXPECT_EQ(asked.kind, HeadlessUi::PopupKind::Generic);
            EXPECT_EQ(asked.text,
                      "Warning, your unit was replaced by a different unit (Orvane HF # " +
                          std::to_string(serial) +
                          ").\nThe event table and setup hold edits not yet sent. Keep "
                          "them, to send to this unit with \"Accept Changes\", or read "
                          "its own event table and setup over them?");
            EXPECT_EQ(asked.buttons, (std::vector<std::string>{"Keep Edits", "Read Unit", ""}));
            EXPECT_EQ(asked.enter_button, 1);
            EXPECT_EQ(asked.escape_button, 1);
        }
        EXPECT_EQ(origin_at_reload.has_value(), c.reloaded);
        if (c.reloaded && (c.table_edited || c.setup_edited)) {
            // Read whole: nothing on screen counts as this unit's.
            EXPECT_FALSE(origin_at_reload->table.has_value());
            EXPECT_FALSE(origin_at_reload->setup.has_value());
        }
        if (!c.reloaded) {
            // Kept for this unit: both parts are to be sent to it.
            EXPECT_TRUE(program.Marks().table_changed);
            EXPECT_TRUE(program.Marks().setup_changed);
            EXPECT_EQ(program.Origin().table, now);
            EXPECT_EQ(program.Origin().setup, now);
            EXPECT_FALSE(program.History().unit_rows.has_value()) << "nothing is this unit's";
            EXPECT_EQ(MainStatus(), "Edits kept, not sent to Orvane HF # " +
                                        std::to_string(serial) + ": \"Accept Changes\" sends them");
        }
    }
}

TEST_F(EnquiryTest, DifferentUnit_ReadingsOfTheOneThatLeftCleared) {
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));
    Press(program, Panel::MAIN, Control::ENQUIRE);
    ASSERT_EQ(ui.TextValue(Panel::MAIN, Control::TEMP_HUMI), "21.5\u00B0C 45.3% RH");

    // Another unit, whose status read goes unanswered: nothing of the first one's stays.
    Change(server, [](sim::UnitSimulator& unit) {
        unit.State().serial_number = 12936;
        unit.InjectFault(Fault::Drop().OnlyFor(Command::StatusRead).Forever());
    });
    Press(program, Panel::MAIN, Control::ENQUIRE);
    EXPECT_EQ(MessagePopups("Unit replaced"), 1);
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::TEMP_HUMI), "");
}

TEST_F(EnquiryTest, ClockModes_With29And31DaysOfDrift_SetTheClockWhenTheModeSays) {
    struct Case {
        uint8_t mode;
        int64_t unit_behind;  // seconds the unit's clock is behind the PC's
        bool set;
    };
    const Case cases[] = {
        {0, 29 * kDay, true},  {0, 31 * kDay, true},
        {0, 0, true},          {1, 29 * kDay, false},
        {1, 31 * kDay, true},  {1, -29 * kDay, false},
        {1, -31 * kDay, true}, {2, 29 * kDay, false},
        {2, 31 * kDay, true},  {3, 29 * kDay, true},
        {3, 31 * kDay, true},  {4, 31 * kDay, false},  // no such mode: only measured
    };
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));
    for (const Case& c : cases) {
        const std::string name =
            "mode " + std::to_string(c.mode) + ", behind " + std::to_string(c.unit_behind);
        Change(server, [&](sim::UnitSimulator& unit) {
            unit.State().clock_mode = c.mode;
            unit.State().clock_drift_seconds = -c.unit_behind;
        });
        SetUnitClock(platform.UtcNow());
        server.ClearRequestLog();
        ASSERT_EQ(EnquireUnit(program, false), 131332) << name;

        const std::vector<sim::LoggedRequest> log = server.RequestLog();
        ASSERT_EQ(log.size(), c.set ? 3u : 2u) << name;
        EXPECT_EQ(log[1].command, kSetTime) << name;
        EXPECT_EQ(SetTimeValue(log[1]), 0) << name;
        const int64_t unit_clock_now =
            server.WithSimulator([](sim::UnitSimulator& unit) { return unit.UnitClock(); });
        if (c.set) {
            EXPECT_EQ(log[2].command, kSetTime) << name;
            EXPECT_NEAR(SetTimeValue(log[2]), platform.UtcNow(), 1) << name;
            EXPECT_NEAR(unit_clock_now, platform.UtcNow(), 1) << name;
            EXPECT_NEAR(program.Identity().clock_offset, 0, 1) << name;
        } else {
            EXPECT_EQ(unit_clock_now, UnitClock() - c.unit_behind) << name << ": left alone";
            EXPECT_NEAR(program.Identity().clock_offset, c.unit_behind, 1) << name;
        }
    }
}

// The unit in-process behind a fake port, its clock read from the fake PC clock, so that the
// offset is exact to the second.
TEST(ClockTolerance, ThirtyDaysOut_IsWithin_OneSecondMoreIsNot) {
    for (const int64_t behind : {30 * kDay, 30 * kDay + 1, -30 * kDay, -30 * kDay - 1}) {
        HeadlessUi ui;
        testing::FakePlatform platform;
        testing::FakeSerialPort port;
        sim::UnitSimulator unit;
        unit.State().clock_mode = 1;
        unit.State().clock_drift_seconds = -behind;
        unit.SetClock([&] {
            return std::chrono::system_clock::time_point(std::chrono::seconds(platform.UtcNow()));
        });
        std::vector<int64_t> set_to;
        port.SetResponder([&](std::span<const uint8_t> written) {
            if (written[1] == kSetTime) {
                set_to.push_back(static_cast<int32_t>(ReadLe32(&written[kPayloadOffset])));
            }
            return unit.HandleRequest(written);
        });
        Program program(ui, port, platform);
        program.Link().Settings().open = 1;
        const int64_t pc_time = platform.UtcNow();

        ASSERT_EQ(EnquireUnit(program, false), 131332);
        const bool out = behind > 30 * kDay || behind < -30 * kDay;
        const std::vector<int64_t> expected =
            out ? std::vector<int64_t>{0, pc_time} : std::vector<int64_t>{0};
        EXPECT_EQ(set_to, expected) << behind;
        EXPECT_EQ(program.Identity().clock_offset, out ? 0 : behind) << behind;
    }
}

TEST_F(EnquiryTest, ClockSync_OnlyForOrvaneHfFrom2_0_0) {
    sim::PtyServer& server = Serve();
    for (const UnitState& unit :
         {Unit(4, 1, "v1.9.9"), Unit(1, 1, "v2.1.4"), Unit(6, 1, "v2.1.4"), Unit(4, 1, "v0.3.1")}) {
        Change(server, [&](sim::UnitSimulator& sim) {
            sim.State() = unit;
            sim.State().clock_mode = 0;
        });
        server.ClearRequestLog();
        program.Identity().SetDeviceType(0);
        ASSERT_GE(EnquireUnit(program, false), 0) << unit.firmware;
        EXPECT_EQ(Commands(server), std::vector<uint8_t>{kEnquire})
            << int{unit.device_type} << " " << unit.firmware;
    }
}

TEST_F(EnquiryTest, ClockAnswers_Invalid_ShortOrMissing) {
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));

    // A unit whose clock reads -1 is far out: clock mode 1 sets it.
    Change(server, [](sim::UnitSimulator& unit) {
        unit.State().clock_mode = 1;
        unit.InjectFault(Fault::ReplacePayload({0xFF, 0xFF, 0xFF, 0xFF}).OnlyFor(Command::SetTime));
    });
    ASSERT_EQ(EnquireUnit(program, false), 131332);
    EXPECT_EQ(Commands(server), (std::vector<uint8_t>{kEnquire, kSetTime, kSetTime}));
    EXPECT_NEAR(program.Identity().clock_offset, 0, 1);

    // An answer too short to hold the clock is no reading: no offset, no setting (mode 0).
    program.Identity().clock_offset = 1234;
    Change(server, [](sim::UnitSimulator& unit) {
        unit.State().clock_mode = 0;
        unit.InjectFault(Fault::AnnounceLength(2).OnlyFor(Command::SetTime));
    });
    server.ClearRequestLog();
    ASSERT_EQ(EnquireUnit(program, true), 131332);
    EXPECT_EQ(Commands(server), (std::vector<uint8_t>{kEnquire, kSetTime}));
    EXPECT_EQ(program.Identity().clock_offset, 1234);

    // No answer at all: three attempts, and the enquiry still succeeds.
    Change(server, [](sim::UnitSimulator& unit) {
        unit.InjectFault(Fault::Drop().OnlyFor(Command::SetTime).Times(3));
    });
    server.ClearRequestLog();
    ASSERT_EQ(EnquireUnit(program, true), 131332);
    EXPECT_EQ(Commands(server), (std::vector<uint8_t>{kEnquire, kSetTime, kSetTime, kSetTime}));
    EXPECT_EQ(program.Identity().clock_offset, 1234);
    EXPECT_EQ(MainStatus(), "Orvane HF # 1042 Firmware v2.1.4");
}

TEST_F(EnquiryTest, Refresh_RunsInOrderAfterTheIdentityIsStored) {
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));
    std::vector<std::string> ran;
    steps.choose_setup_format = [&](Program& p) {
        ran.push_back("format: type " + std::to_string(p.Unit().device_type) + ", requests " +
                      std::to_string(server.RequestCount()));
    };
    steps.update_controls_for_unit = [&](Program& p) {
        ran.push_back("controls: requests " + std::to_string(server.RequestCount()) +
                      ", play text " + p.GetUi().TextValue(Panel::MAIN, Control::PLAY_CODE_MSG));
    };
    steps.apply_unit_type_limits = [&](Program& p, const std::string& text) {
        ran.push_back("limits: " + text + ", device " +
                      p.GetUi().TextValue(Panel::MAIN, Control::DEVICE));
    };
    ASSERT_EQ(EnquireUnit(program, false), 131332);
    EXPECT_EQ(ran, (std::vector<std::string>{
                       "format: type 4, requests 1",
                       "controls: requests 2, play text Stopped (Empty Table)",
                       "limits: Orvane HF # 1042 Firmware v2.1.4, device Orvane HF # 1042 "
                       "Firmware v2.1.4",
                   }));
}

TEST_F(EnquiryTest, EnquireButton_ReadsStatusOrSaysNoResponse) {
    sim::PtyServer& server = Serve(Unit(4, 1042, "v2.1.4"));
    Press(program, Panel::MAIN, Control::ENQUIRE, UiEvent::ValueChanged);
    EXPECT_EQ(server.RequestCount(), 0u) << "only the commit event acts";

    Press(program, Panel::MAIN, Control::ENQUIRE);
    EXPECT_EQ(Commands(server), (std::vector<uint8_t>{kEnquire, kSetTime, kStatusRead}));
    EXPECT_EQ(MainStatus(), "Orvane HF # 1042 Firmware v2.1.4");
    // The simulated unit as it starts: temperature asked and shown beside the humidity.
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::TEMP_HUMI), "21.5\u00B0C 45.3% RH");
    EXPECT_FALSE(ui.WaitCursor());

    Change(server, [](sim::UnitSimulator& unit) { unit.InjectFault(Fault::Drop().Times(3)); });
    Press(program, Panel::MAIN, Control::ENQUIRE);
    EXPECT_EQ(MainStatus(), "No response from device");
    EXPECT_EQ(MainStatusColor(), kColorBlack);
    EXPECT_FALSE(ui.WaitCursor());
}

}  // namespace
}  // namespace keelsong
