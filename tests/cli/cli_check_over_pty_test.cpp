// keelsong-cli check end to end: simulated units compared with a file, nothing written.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>

#include "cli_fixture.h"

namespace keelsong {
namespace {

using testing::CliFixture;
using testing::CliRun;

class CliCheckOverPtyTest : public CliFixture {
  protected:
    // Two events, three repeats, no start time.
    sim::PtyServer& AddDeployedUnit(int port, uint16_t serial) {
        sim::PtyServer& unit = AddUnit(port, serial);
        unit.WithSimulator([](sim::UnitSimulator& u) {
            u.Events() = {{3, {0x64, 0x00}}, {5, {0xE0, 0x2E, 0x00, 0x00, 0x14, 0x00, 0x07}}};
            u.Setup().number_of_plays = 3;
        });
        return unit;
    }
    std::vector<sim::StoredEvent> Events(sim::PtyServer& unit) {
        return unit.WithSimulator([](sim::UnitSimulator& u) { return u.Events(); });
    }
};

TEST_F(CliCheckOverPtyTest, UnitsAgainstTheFileOneOfThemRead_MatchesDiffersAndWarns) {
    AddDeployedUnit(1, 1001);
    sim::PtyServer& other = AddDeployedUnit(2, 1002);
    other.WithSimulator([](sim::UnitSimulator& u) {
        u.Events() = {
            {3, {0x32, 0x00}}, {5, {0xE0, 0x2E, 0x00, 0x00, 0x14, 0x00, 0x07}}, {3, {0x05, 0x00}}};
        u.Setup().number_of_plays = 7;
    });
    sim::PtyServer& late = AddDeployedUnit(3, 1003);
    late.WithSimulator([](sim::UnitSimulator& u) {
        u.Setup().start_time = static_cast<int32_t>(u.UnitClock() - 600);
    });
    ASSERT_EQ(Run({"--port", "1", "read", files / "deploy.tlk"}).status, 0);
    const std::vector<sim::StoredEvent> before = Events(other);

    const CliRun run = Run({"--port", "1-3", "check", files / "deploy.tlk"});

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 3u) << run.out << run.err;
    EXPECT_TRUE(lines[0].ends_with("\tok\tmatches")) << lines[0];
    EXPECT_TRUE(
        lines[1].ends_with("\tok\tdiffers; row 1: Duration 5.0 in the unit, 10.0 in the "
                           "file; row 3: only in the unit; Setup: Number of Repeats 7 "
                           "in the unit, 3 in the file"))
        << lines[1];
    EXPECT_NE(lines[2].find("\tok\tdiffers; Setup: Start Time "), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find(" is in the past"), std::string::npos) << lines[2];
    EXPECT_EQ(Events(other), before);

    const CliRun json = Run({"--port", "2", "--json", "check", files / "deploy.tlk"});
    EXPECT_EQ(json.status, 1);
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_FALSE(object["matches"].toBool()) << json.out;
    const QJsonArray differences = object["differences"].toArray();
    ASSERT_EQ(differences.size(), 3) << json.out;
    EXPECT_EQ(
        differences[2].toObject().toVariantMap(),
        (QVariantMap{
            {"where", "Setup"}, {"field", "Number of Repeats"}, {"unit", "7"}, {"file", "3"}}));
    EXPECT_EQ(object["warnings"].toArray().size(), 0);
}

TEST_F(CliCheckOverPtyTest, ReadinessAlone_ExitZeroOnlyWithoutWarnings) {
    AddDeployedUnit(1, 1001);
    sim::UnitState low;
    low.battery_level = 12;
    AddUnit(2, 1002, low);  // an empty table, too

    EXPECT_EQ(Run({"--port", "1", "check"}).status, 0);
    const CliRun run = Run({"--port", "1,2", "check"});

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_TRUE(lines[0].ends_with("\tok\tready")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with(
        "\tok\twarning: battery at 12 %, below 30 %; warning: the event table is empty"))
        << lines[1];
}

TEST_F(CliCheckOverPtyTest, FileThatCannotBeRead_Exit2BeforeAnyUnitIsAsked) {
    AddDeployedUnit(1, 1001);
    {
        std::ofstream file(files / "notes.tlk");
        file << "just some notes\n";
    }
    const CliRun run = Run({"--port", "1", "check", files / "notes.tlk"});

    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "keelsong-cli: " + files / "notes.tlk" + ": Failed to read from file\n");
}

}  // namespace
}  // namespace keelsong
