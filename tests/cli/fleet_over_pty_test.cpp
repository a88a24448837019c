// The fleet's rows and tasks against simulated units on pseudo-terminals: what the fleet window
// shows and does, without the window.
#include "cli/fleet.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "cli_fixture.h"
#include "protocol/crc.h"

namespace keelsong {
namespace {

using cli::Fleet;
using cli::FleetRow;
using cli::FleetTask;
using testing::CliFixture;

class FleetOverPtyTest : public CliFixture {
  protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ")) {
            zone_ = zone;
        }
        setenv("TZ", "UTC", 1);
        tzset();
        cli::FleetSettings fleet_settings;
        fleet_settings.settings_folder = settings.Path();
        fleet_settings.device_folder = devices.Path();
        fleet_settings.environment = {{"XDG_DATA_HOME", data.Path()}, {"TZ", "UTC"}};
        fleet_settings.timeout_ms = 150;
        fleet = std::make_unique<Fleet>(fleet_settings);
    }
    void TearDown() override {
        fleet.reset();
        if (zone_) {
            setenv("TZ", zone_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    std::map<int, FleetRow> RowsByPort() const {
        std::map<int, FleetRow> rows;
        for (const FleetRow& row : fleet->Rows()) {
            rows[row.port] = row;
        }
        return rows;
    }

    // Scans as the window's timer does until no task runs, noting each row's progress texts.
    std::map<int, FleetRow> Settle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            fleet->Scan();
            for (const FleetRow& row : fleet->Rows()) {
                if (!row.progress.empty()) {
                    progress_seen[row.port].insert(row.progress);
                }
            }
        } while (fleet->Busy() && std::chrono::steady_clock::now() < deadline);
        EXPECT_FALSE(fleet->Busy());
        return RowsByPort();
    }

    std::vector<sim::StoredEvent> Events(sim::PtyServer& unit) {
        return unit.WithSimulator([](sim::UnitSimulator& u) { return u.Events(); });
    }

    std::unique_ptr<Fleet> fleet;
    std::map<int, std::set<std::string>> progress_seen;

  private:
    std::optional<std::string> zone_;
};

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST_F(FleetOverPtyTest, FourUnitsAndAManifest_EachRowWrittenOnItsOwnAndToldAsItWent) {
    sim::PtyServer& first = AddUnit(1, 1301);
    sim::PtyServer& second = AddUnit(2, 1302);
    // A unit that stores another number of plays than it was sent: its write cannot verify.
    sim::UnitState altering;
    altering.altered_number_of_plays = 9;
    sim::PtyServer& third = AddUnit(3, 1303, altering);
    sim::PtyServer& fourth = AddUnit(4, 1304);

    std::map<int, FleetRow> rows = Settle();
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& [port, row] : rows) {
        EXPECT_EQ(row.type, "Orvane HF") << port;
        EXPECT_EQ(row.serial, 1300 + port);
        EXPECT_EQ(row.battery, "87%") << port;
        EXPECT_FALSE(row.play_state.empty()) << port;
        EXPECT_TRUE(row.clock_offset_s) << port;
        EXPECT_EQ(row.outcome, "") << port;
    }

    WriteFile(files / "tones.tlk",
              "[Event 01]\r\nType = 5\r\nFrequency = 12000\r\nTime = 20\r\nLevel = 7\r\n\r\n"
              "[Event 02]\r\nType = 3\r\nTime = 100\r\n\r\n"
              "[Setup]\r\nNumber of Plays = 3\r\n\r\n");
    WriteFile(files / "rest.tlk", "[Event 01]\r\nType = 3\r\nTime = 50\r\n\r\n");
    WriteFile(files / "bad.csv", "serial,file\n1301,nosuch.tlk\n");
    EXPECT_EQ(fleet->ChooseDeployment(files / "bad.csv").size(), 1u);
    WriteFile(files / "deploy.csv",
              "serial,file,start\n1301,tones.tlk,\n1302,rest.tlk,2027-03-01 06:30\n"
              "1303,tones.tlk,\n1399,tones.tlk,\n");
    ASSERT_EQ(fleet->ChooseDeployment(files / "deploy.csv"), std::vector<std::string>{});
    rows = Settle();
    EXPECT_EQ(rows[1].deployment, "differs (3)");
    EXPECT_EQ(rows[2].deployment, "differs (2)");
    EXPECT_EQ(rows[4].deployment, "not in manifest");

    progress_seen.clear();
    EXPECT_EQ(fleet->Start(FleetTask::WriteDeployment, {1, 2, 3, 4}),
              (std::vector<int>{1, 2, 3, 4}));
    rows = Settle();

    const std::vector<sim::StoredEvent> tones = {
        {5, {0xE0, 0x2E, 0x00, 0x00, 0x14, 0x00, 0x07}},  // 12000 Hz, 2.0 s, level 7
        {3, {0x64, 0x00}},                                // rest, 10.0 s
    };
    EXPECT_EQ(Events(first), tones);
    EXPECT_EQ(Events(second), (std::vector<sim::StoredEvent>{{3, {0x32, 0x00}}}));
    EXPECT_EQ(second.WithSimulator([](sim::UnitSimulator& u) { return u.Setup().start_time; }),
              1803882600);  // 2027-03-01 06:30 UTC
    EXPECT_TRUE(Events(fourth).empty());
    EXPECT_EQ(Events(third), tones);  // sent, but its setup came back altered

    for (const int port : {1, 2}) {
        EXPECT_EQ(rows[port].outcome, "verified") << port;
        EXPECT_FALSE(rows[port].failed);
        EXPECT_EQ(rows[port].deployment, "matches");
    }
    EXPECT_TRUE(rows[3].failed);
    EXPECT_TRUE(rows[3].outcome.starts_with("Verify failed: Setup")) << rows[3].outcome;
    EXPECT_EQ(rows[3].deployment, "differs (1)");
    EXPECT_EQ(rows[4].outcome, "not in manifest");
    EXPECT_FALSE(rows[4].failed);
    // Each row told its own steps as they went.
    for (const int port : {1, 2, 3}) {
        EXPECT_GE(progress_seen[port].size(), 3u) << port;
    }
    (void)third;
}

TEST_F(FleetOverPtyTest, RowsFollowThePortsAndTheMainWindowsHold) {
    sim::UnitState drifting;
    drifting.clock_drift_seconds = 500;
    sim::PtyServer& first = AddUnit(1, 1401, drifting);
    sim::UnitState flat;
    flat.battery_level = 12;
    AddUnit(2, 1402, flat);
    std::map<int, FleetRow> rows = Settle();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_LE(rows[1].clock_offset_s.value_or(0), -499);  // the computer is behind

    // Set Time and Read to Files on both; the firmware rails refuse the flat unit.
    EXPECT_EQ(fleet->Start(FleetTask::SetTime, {1}), std::vector<int>{1});
    const std::string folder = files / "read";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(fleet->Start(FleetTask::ReadToFiles, {2}, {"", folder}), std::vector<int>{2});
    rows = Settle();
    EXPECT_FALSE(rows[1].failed) << rows[1].outcome;
    EXPECT_LE(std::abs(rows[1].clock_offset_s.value_or(99)), 1);
    EXPECT_EQ(rows[2].outcome, folder + "/unit1402.tlk");
    EXPECT_TRUE(std::filesystem::exists(folder + "/unit1402.tlk"));

    // A whole image (its CRC at its end), so that only the battery stands in its way.
    std::string image(298, '\x5A');
    const uint16_t crc = CrcOf(std::vector<uint8_t>(image.begin(), image.end()));
    image += {static_cast<char>(crc & 0xFF), static_cast<char>(crc >> 8)};
    WriteFile(files / "image.bin", image);
    EXPECT_EQ(fleet->Start(FleetTask::UpdateFirmware, {2}, {files / "image.bin", ""}),
              std::vector<int>{2});
    rows = Settle();
    EXPECT_TRUE(rows[2].failed);
    EXPECT_TRUE(rows[2].outcome.starts_with("Battery at 12 %")) << rows[2].outcome;

    // The main window's unit is left alone until it lets go.
    fleet->Hold({1});
    EXPECT_TRUE(RowsByPort()[1].held);
    EXPECT_EQ(fleet->Start(FleetTask::SetTime, {1, 2}), std::vector<int>{2});
    rows = Settle();

    // Unplugged, the row goes; plugged in again on a new device, it comes back and is looked at.
    first.Unplug();
    rows = Settle();
    EXPECT_EQ(rows.count(1), 0u);
    fleet->Hold({});
    ASSERT_TRUE(first.PlugIn());
    rows = Settle();
    ASSERT_EQ(rows.count(1), 1u);
    EXPECT_FALSE(rows[1].held);
    EXPECT_EQ(rows[1].serial, 1401);
}

}  // namespace
}  // namespace keelsong
