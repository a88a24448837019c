// keelsong-cli apply end to end: a deployment manifest written to simulated units found on
// every port.
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "cli_fixture.h"

namespace keelsong {
namespace {

using testing::CliFixture;
using testing::CliRun;

class CliApplyOverPtyTest : public CliFixture {
  protected:
    std::vector<sim::StoredEvent> Events(sim::PtyServer& unit) {
        return unit.WithSimulator([](sim::UnitSimulator& u) { return u.Events(); });
    }
    sim::SetupState Setup(sim::PtyServer& unit) {
        return unit.WithSimulator([](sim::UnitSimulator& u) { return u.Setup(); });
    }
    void WriteManifest(const std::string& text) { std::ofstream(files / "deploy.csv") << text; }

    // Start times in the manifest are local: read here in UTC.
    void SetUp() override {
        if (const char* zone = std::getenv("TZ")) {
            zone_ = zone;
        }
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (zone_) {
            setenv("TZ", zone_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> zone_;
};

TEST_F(CliApplyOverPtyTest, TwoOfThreeUnitsInTheManifest_EachGetsItsFileTheThirdIsLeftAlone) {
    sim::PtyServer& first = AddUnit(1, 1201);
    sim::PtyServer& second = AddUnit(2, 1202);
    // The third unit, not in the manifest, is where the files come from.
    sim::PtyServer& source = AddUnit(3, 1203);
    const std::vector<sim::StoredEvent> tones = {{3, {0x64, 0x00}},
                                                 {5, {0xE0, 0x2E, 0x00, 0x00, 0x14, 0x00, 0x07}}};
    const std::vector<sim::StoredEvent> rest = {{3, {0x32, 0x00}}};
    source.WithSimulator([&](sim::UnitSimulator& u) {
        u.Events() = tones;
        u.Setup().number_of_plays = 3;
    });
    ASSERT_EQ(Run({"--port", "3", "read", files / "tones.tlk"}).status, 0);
    source.WithSimulator([&](sim::UnitSimulator& u) {
        u.Events() = rest;
        u.Setup().number_of_plays = 5;
    });
    ASSERT_EQ(Run({"--port", "3", "read", files / "rest.tlk"}).status, 0);

    // Bad lines are all told, and no unit is touched.
    WriteManifest("serial,file,start\n1201,tones.tlk,2027-02-30 06:30\n1201,rest.tlk,\n");
    const CliRun refused = Run({"apply", files / "deploy.csv"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("line 2: start \"2027-02-30 06:30\""), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("line 3: serial 1201 again (first on line 2)"), std::string::npos)
        << refused.err;
    EXPECT_TRUE(Events(first).empty());

    WriteManifest(
        "Serial, File, Start\r\n"
        "1202, rest.tlk,\r\n"
        "1201, \"tones.tlk\", 2027-03-01 06:30\r\n"
        "1299, tones.tlk,\r\n");
    const CliRun run = Run({"apply", files / "deploy.csv"});

    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 4u) << run.out << run.err;
    EXPECT_NE(lines[0].find("# 1201 "), std::string::npos) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("\tok\tverified")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with("\tok\tverified")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with("\tok\tnot in manifest")) << lines[2];
    EXPECT_EQ(lines[3],
              "-\t-\t-\tmissing: no unit with serial number 1299 answered; not written: " +
                  (files / "tones.tlk"));
    EXPECT_EQ(Events(first), tones);
    EXPECT_EQ(Setup(first).number_of_plays, 3u);
    EXPECT_EQ(Setup(first).start_time, 1803882600);  // 2027-03-01 06:30 UTC
    EXPECT_EQ(Events(second), rest);
    EXPECT_EQ(Setup(second).number_of_plays, 5u);
    EXPECT_EQ(Setup(second).start_time, -1);
    EXPECT_EQ(Events(source), rest);
}

}  // namespace
}  // namespace keelsong
