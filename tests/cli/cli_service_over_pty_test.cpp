// keelsong-cli's service commands (firmware, serial, reset) end to end against simulated units
// on pseudo-terminals. The units restart in 20 ms and the CLI waits 2% of its 5 s for them:
// the wait still outlasts the restart, as on a real unit, yet an update takes a fraction of a
// second.
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/service/firmware_backup.h"
#include "app/unit/support_contact.h"
#include "cli_fixture.h"
#include "files/sha256.h"
#include "protocol/commands.h"
#include "protocol/crc.h"
#include "support/saved_file.h"

namespace keelsong {
namespace {

using testing::CliRun;

constexpr char kPowerCycle[] = " Power the unit off and on, then connect again.";

std::string InLoader(const std::string& unit) {
    return "The unit is in admin mode (" + unit + " Admin Mode v0.3.1): it did not start its " +
           "firmware." + kPowerCycle;
}

class CliServiceTest : public testing::CliFixture {
  protected:
    CliServiceTest() { pause_scale = 0.02; }

    // An Orvane HF with firmware 2.1.3 that restarts quickly and runs 2.1.4 once updated.
    sim::PtyServer& AddQuickUnit(int port, uint16_t serial, void (*change)(sim::UnitState&) = {}) {
        sim::UnitState state;
        state.firmware = "v2.1.3";
        state.firmware_after_update = "v2.1.4";
        state.restart_period = std::chrono::milliseconds(20);
        if (change) {
            change(state);
        }
        return AddUnit(port, serial, state);
    }

    // A 300-byte image ending in its CRC, low byte first.
    std::string ImageFile() {
        std::vector<uint8_t> image(298);
        for (size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        const uint16_t crc = CrcOf(image);
        image.push_back(static_cast<uint8_t>(crc));
        image.push_back(static_cast<uint8_t>(crc >> 8));
        const std::string path = files / "OrvaneHF.bin";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        return path;
    }

    // The newest backup of unit `serial`, or "none".
    std::string Backup(uint16_t serial) const {
        return NewestBackup(data / "Keelsong/backups", serial).value_or("none");
    }

    static int Sent(const sim::PtyServer& server, Command command) {
        int count = 0;
        for (const sim::LoggedRequest& request : server.RequestLog()) {
            count += request.command == CommandCode(command);
        }
        return count;
    }
};

// The third column (the unit) and what follows it.
std::string UnitAndOutcome(const std::string& line) {
    const size_t first = line.find('\t');
    return line.substr(line.find('\t', first + 1) + 1);
}

TEST_F(CliServiceTest, Firmware_EveryWayTheUnitEndsUp_OkOnlyWhenItRunsItsFirmware) {
    AddQuickUnit(1, 1001);
    AddQuickUnit(2, 1002, [](sim::UnitState& u) { u.refuse_memory_write = 2; });
    AddQuickUnit(3, 1003, [](sim::UnitState& u) { u.silent_after_restart = 2; });
    AddQuickUnit(4, 1004, [](sim::UnitState& u) { u.stay_in_loader = true; });
    AddQuickUnit(5, 1005, [](sim::UnitState& u) { u.device_type = device_type::kOrvaneLf; });

    const CliRun run = Run({"--port", "1-5", "firmware", ImageFile()});

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 5u) << run.out;
    const auto backed_up = [&](uint16_t serial) {
        return " The unit's table and setup before the update: " + Backup(serial);
    };
    const std::vector<std::string> expected = {
        "Orvane HF # 1001 Firmware v2.1.4\tok\tbackup " + Backup(1001),
        "Orvane HF # 1002 Admin Mode v0.3.1\tFailed to upload firmware file to unit: " +
            InLoader("Orvane HF # 1002") + backed_up(1002),
        "-\tReset Failed: The unit did not answer after its restart and was disconnected." +
            std::string(kPowerCycle) + backed_up(1003),
        "Orvane HF # 1004 Admin Mode v0.3.1\tReset into admin mode: " +
            InLoader("Orvane HF # 1004") + backed_up(1004),
        "Orvane LF # 1005 Admin Mode v0.3.1\tThe new firmware was written. The unit is in admin "
        "mode (Orvane LF # 1005 Admin Mode v0.3.1), and Keelsong cannot restart a unit of this "
        "type." +
            std::string(kPowerCycle) + "  Contact Vantrel (" + std::string(kSupportContact) +
            ") if it still does not start.  The unit's table and setup before the update are in " +
            Backup(1005) +
            ": once it runs its firmware again, load that file and accept the changes, or run "
            "keelsong-cli restore-backup.",
    };
    for (size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(UnitAndOutcome(lines[k]), expected[k]) << "port " << k + 1;
    }
    // The history claims no contents for a unit left in its loader.
    const std::vector<std::string> stuck = Run({"history", "--serial", "1004", "--json"}).Lines();
    ASSERT_EQ(stuck.size(), 1u);
    EXPECT_NE(stuck[0].find("\"contents_sha256\":null"), std::string::npos) << stuck[0];
}

TEST_F(CliServiceTest, FirmwareKeepTable_KeptWhenRead_NothingWrittenWhenNot) {
    sim::PtyServer& kept = AddQuickUnit(1, 1001);
    kept.WithSimulator([](sim::UnitSimulator& unit) {
        unit.Events() = {{3, {0x64, 0x00}}, {3, {0x32, 0x00}}, {3, {0x05, 0x00}}};  // rests
        unit.Setup().number_of_plays = 3;
        unit.Setup().magnetic_switch = 1;
    });
    const sim::SetupState setup =
        kept.WithSimulator([](sim::UnitSimulator& u) { return u.Setup(); });
    sim::PtyServer& unreadable = AddQuickUnit(2, 1002);
    unreadable.WithSimulator([](sim::UnitSimulator& unit) {
        unit.Events() = {{3, {0x64, 0x00}}};
        unit.InjectFault(sim::Fault::Drop().OnlyFor(Command::EventEnquire).Forever());
    });
    sim::PtyServer& in_loader =
        AddQuickUnit(3, 1003, [](sim::UnitState& u) { u.in_loader = true; });

    const CliRun run = Run({"--port", "1-3", "firmware", ImageFile(), "--keep-table"});

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(UnitAndOutcome(lines[0]),
              "Orvane HF # 1001 Firmware v2.1.4\tok\ttable and setup kept; backup " + Backup(1001));
    EXPECT_EQ(kept.WithSimulator([](sim::UnitSimulator& u) { return u.Events().size(); }), 3u);
    EXPECT_EQ(kept.WithSimulator([](sim::UnitSimulator& u) { return u.Setup(); }), setup);

    EXPECT_TRUE(UnitAndOutcome(lines[1]).starts_with(
        "Orvane HF # 1002 Firmware v2.1.3\tTable and setup to keep not read, nothing written: "))
        << lines[1];
    EXPECT_TRUE(UnitAndOutcome(lines[2]).starts_with(
        "Orvane HF # 1003 Admin Mode v0.3.1\tUnit in admin mode: it has no table or setup to "
        "keep; nothing written"))
        << lines[2];
    for (const sim::PtyServer* untouched : {&unreadable, &in_loader}) {
        EXPECT_EQ(Sent(*untouched, Command::Reset) + Sent(*untouched, Command::MemoryWrite), 0);
    }
}

TEST_F(CliServiceTest, FirmwareBattery_LowOrUnreadRefused_IgnoreBatteryGoesOn) {
    const sim::PtyServer& low =
        AddQuickUnit(1, 1001, [](sim::UnitState& u) { u.battery_level = 12; });
    const sim::PtyServer& loader = AddQuickUnit(2, 1002, [](sim::UnitState& u) {
        u.in_loader = true;
        u.battery_level = -1;
    });
    AddQuickUnit(3, 1003, [](sim::UnitState& u) { u.battery_level = 30; });
    const std::string image = ImageFile();
    const std::string charge = ": charge the unit to at least 30 % before updating its firmware";

    const CliRun refused = Run({"--port", "1-3", "firmware", image});

    EXPECT_EQ(refused.status, 1);
    ASSERT_EQ(refused.Lines().size(), 3u) << refused.out;
    EXPECT_EQ(UnitAndOutcome(refused.Lines()[0]),
              "Orvane HF # 1001 Firmware v2.1.3\tBattery at 12 %" + charge);
    EXPECT_EQ(UnitAndOutcome(refused.Lines()[1]),
              "Orvane HF # 1002 Admin Mode v0.3.1\tNo battery reading" + charge +
                  "; the unit is in admin mode, so nothing could be backed up; --ignore-battery "
                  "updates it all the same");
    EXPECT_EQ(UnitAndOutcome(refused.Lines()[2]),
              "Orvane HF # 1003 Firmware v2.1.4\tok\tbackup " + Backup(1003));
    // Nothing but reads: no restart, no chunk, nothing written into the table or setup.
    const std::set<uint8_t> reads = {CommandCode(Command::Enquire), CommandCode(Command::SetTime),
                                     CommandCode(Command::StatusRead)};
    for (const sim::PtyServer* unit : {&low, &loader}) {
        for (const sim::LoggedRequest& request : unit->RequestLog()) {
            EXPECT_TRUE(reads.count(request.command)) << int{request.command};
        }
    }
    EXPECT_EQ(Backup(1001), "none");

    const CliRun ignored = Run({"--port", "1,2", "firmware", image, "--ignore-battery"});

    EXPECT_EQ(ignored.status, 0) << ignored.out;
    ASSERT_EQ(ignored.Lines().size(), 2u) << ignored.out;
    EXPECT_EQ(UnitAndOutcome(ignored.Lines()[0]),
              "Orvane HF # 1001 Firmware v2.1.4\tok\tbackup " + Backup(1001));
    EXPECT_EQ(
        UnitAndOutcome(ignored.Lines()[1]),
        "Orvane HF # 1002 Firmware v2.1.4\tok\tnothing backed up: the unit was in admin mode");
}

TEST_F(CliServiceTest, FirmwareBackup_IsWhatReadWrites_RestoreBackupWritesItBack) {
    sim::PtyServer& unit = AddQuickUnit(1, 1001);
    unit.WithSimulator([](sim::UnitSimulator& u) {
        u.Events() = {{3, {0x64, 0x00}}, {3, {0x32, 0x00}}, {3, {0x05, 0x00}}};  // rests
        u.Setup().number_of_plays = 3;
        u.Setup().magnetic_switch = 1;
        u.Setup().time_between_repeats = 450;
    });
    const auto contents = [](sim::PtyServer& server) {
        return server.WithSimulator(
            [](sim::UnitSimulator& u) { return std::make_pair(u.Events(), u.Setup()); });
    };
    const auto before = contents(unit);
    sim::PtyServer& other = AddQuickUnit(2, 1002);
    const std::string read = files / "read.tlk";
    ASSERT_EQ(Run({"--port", "1", "read", read}).status, 0);

    ASSERT_EQ(Run({"--port", "1", "firmware", ImageFile()}).status, 0);

    EXPECT_EQ(testing::SavedTableAndSetup(Backup(1001)), testing::SavedTableAndSetup(read));
    ASSERT_TRUE(contents(unit).first.empty()) << "the new firmware starts empty";

    const CliRun restored = Run({"--port", "1,2", "restore-backup"});

    EXPECT_EQ(restored.status, 1);
    ASSERT_EQ(restored.Lines().size(), 2u) << restored.out;
    EXPECT_EQ(UnitAndOutcome(restored.Lines()[0]),
              "Orvane HF # 1001 Firmware v2.1.4\tok\tverified");
    EXPECT_EQ(
        UnitAndOutcome(restored.Lines()[1]),
        "Orvane HF # 1002 Firmware v2.1.3\tNo backup of unit 1002 in " + data / "Keelsong/backups");
    EXPECT_EQ(contents(unit), before);
    // Recorded under its own name, with the backup it wrote and how the check came out.
    const std::vector<std::string> history = Run({"history", "--serial", "1001"}).Lines();
    ASSERT_FALSE(history.empty());
    EXPECT_NE(history[0].find("\tRestore Backup\t" + Backup(1001) + "\t"), std::string::npos)
        << history[0];
    EXPECT_TRUE(history[0].ends_with("\tok\tverified")) << history[0];

    EXPECT_EQ(Run({"--port", "2", "restore-backup", "--from", Backup(1001)}).status, 0);
    EXPECT_EQ(contents(other), before);
}

TEST_F(CliServiceTest, SerialAndReset_OkOnlyWhenBackInItsFirmware) {
    AddQuickUnit(1, 1001);
    AddQuickUnit(2, 1002, [](sim::UnitState& u) { u.stay_in_loader = true; });
    AddQuickUnit(3, 1003);
    AddQuickUnit(4, 1004, [](sim::UnitState& u) { u.silent_after_restart = 1; });
    AddQuickUnit(5, 1005, [](sim::UnitState& u) { u.device_type = device_type::kOrvaneLf; });
    struct Case {
        std::vector<std::string> args;
        std::string outcome;
    };
    const Case cases[] = {
        {{"--port", "1", "serial", "2001"}, "Orvane HF # 2001 Firmware v2.1.3\tok"},
        {{"--port", "2", "serial", "2002"},
         "Orvane HF # 2002 Admin Mode v0.3.1\tThe serial number update did not finish. " +
             InLoader("Orvane HF # 2002")},
        {{"--port", "3", "reset"}, "Orvane HF # 1003 Firmware v2.1.3\tok"},
        {{"--port", "4", "reset"},
         "-\tError, disconnected from device: The unit did not answer after its restart and was "
         "disconnected." +
             std::string(kPowerCycle)},
        {{"--port", "5", "reset"},
         "Orvane LF # 1005 Firmware v2.1.3\tok\tnot restarted: Keelsong restarts only an Orvane "
         "HF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, c.outcome.find("\tok") != std::string::npos ? 0 : 1);
        ASSERT_EQ(run.Lines().size(), 1u) << run.out;
        EXPECT_EQ(UnitAndOutcome(run.Lines()[0]), c.outcome);
    }
}

TEST_F(CliServiceTest, SerialThenFirmware_HistoryHasTheNewNumberAndTheFirmwareBeforeAndAfter) {
    AddQuickUnit(1, 1203);
    const std::string image = ImageFile();
    ASSERT_EQ(Run({"--port", "1", "serial", "1207"}).status, 0);
    ASSERT_EQ(Run({"--port", "1", "firmware", image, "--keep-table"}).status, 0);
    const std::vector<std::string> records = Run({"history", "--json"}).Lines();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[0].find("\"serial\":1207,\"firmware\":\"v2.1.3\",\"firmware_after\":"
                              "\"v2.1.4\",\"operation\":\"Firmware Update\",\"file\":\"" +
                              image + "\",\"sha256\":\"" + *FileSha256Hex(image) + "\""),
              std::string::npos)
        << records[0];
    EXPECT_NE(records[1].find("\"serial\":1207,\"firmware\":\"v2.1.3\",\"firmware_after\":null,"
                              "\"operation\":\"Serial Number\""),
              std::string::npos)
        << records[1];
    EXPECT_NE(records[1].find("\"ok\":true,\"message\":\"serial number was 1203; "),
              std::string::npos)
        << records[1];
}

}  // namespace
}  // namespace keelsong
