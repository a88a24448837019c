// keelsong-cli end to end: simulated units on pseudo-terminals, the command as a script runs it.
#include <sys/stat.h>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "cli_fixture.h"
#include "support/saved_file.h"

namespace keelsong {
namespace {

using testing::CliFixture;
using testing::CliRun;

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Canonical(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

class CliOverPtyTest : public CliFixture {};

TEST_F(CliOverPtyTest, ListWithUnitsOnPorts2And5_OneLineEachByItsStableDeviceName) {
    const sim::PtyServer& second = AddUnit(2, 1001);
    const sim::PtyServer& fifth = AddUnit(5, 1002);
    // The fifth has a stable name (as udev makes from a USB device); the second has none.
    std::filesystem::create_directories(devices / "serial/by-id");
    const std::string by_id = devices / "serial/by-id/usb-unit-1002-if00-port0";
    std::filesystem::create_symlink(fifth.Path(), by_id);

    const CliRun run = Run({"list"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.Lines(),
              (std::vector<std::string>{
                  "2\t" + Canonical(second.Path()) + "\tOrvane HF # 1001 Firmware v2.1.4\tok",
                  "5\t" + by_id + "\tOrvane HF # 1002 Firmware v2.1.4\tok",
              }));
    EXPECT_EQ(run.err, "");
}

TEST_F(CliOverPtyTest, InfoJson_EachLineParsesAndCarriesTheIdentity) {
    AddUnit(2, 1001);
    sim::UnitState older;
    older.firmware = "v2.0.5";
    older.battery_level = 42;
    older.battery_state = 1;
    AddUnit(5, 1002, older);

    const CliRun run = Run({"--json", "--port", "2,5", "info"});

    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.Lines().size(), 2u);
    struct Expected {
        int port;
        int serial;
        const char* type;
        const char* firmware;
        const char* battery;
        bool charging;
    };
    const Expected expected[] = {{2, 1001, "Orvane HF", "v2.1.4", "87%", false},
                                 {5, 1002, "Orvane HF", "v2.0.5", "42%", true}};
    for (size_t k = 0; k < 2; ++k) {
        QJsonParseError error;
        const QJsonDocument json =
            QJsonDocument::fromJson(QByteArray::fromStdString(run.Lines()[k]), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << run.Lines()[k];
        const QJsonObject unit = json.object();
        EXPECT_EQ(unit["port"].toInt(), expected[k].port);
        EXPECT_EQ(unit["status"].toString(), "ok");
        EXPECT_TRUE(unit["ok"].toBool());
        EXPECT_EQ(unit["serial"].toInt(), expected[k].serial);
        EXPECT_EQ(unit["type"].toString(), expected[k].type);
        EXPECT_EQ(unit["firmware"].toString(), expected[k].firmware);
        EXPECT_EQ(unit["battery"].toString(), expected[k].battery);
        EXPECT_EQ(unit["charging"].toBool(), expected[k].charging);
        EXPECT_EQ(unit["play_state"].toString(), "Stopped (Empty Table)");
        EXPECT_TRUE(unit["clock_offset"].isDouble());
    }
}

TEST_F(CliOverPtyTest, InfoOfAUnitWaitingForItsStartTime_CountsDownToThatTime) {
    sim::PtyServer& unit = AddUnit(1, 1001);
    unit.WithSimulator([](sim::UnitSimulator& u) {
        u.Setup().start_time = static_cast<int32_t>(u.UnitClock() + 15 * 3600 + 1800);
        u.State().play_state = 2;
    });

    const CliRun run = Run({"--port", "1", "info"});

    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.Lines().size(), 1u) << run.out;
    EXPECT_NE(run.Lines()[0].find("; Play in 15 hours;"), std::string::npos) << run.Lines()[0];
}

TEST_F(CliOverPtyTest, ReadIntoAMissingFolder_NamesThePathAndWhy) {
    AddUnit(1, 1001);
    const std::string folder = files / "nosuch";

    const CliRun run = Run({"--port", "1", "read", folder + "/unit-{serial}.tlk"});

    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.Lines().size(), 1u) << run.out;
    EXPECT_TRUE(run.Lines()[0].ends_with("\tFailed to save configuration file " + folder +
                                         "/unit-1001.tlk: the folder " + folder +
                                         " does not exist"))
        << run.Lines()[0];
}

TEST_F(CliOverPtyTest, ReadThenWriteToAnotherUnit_ItReadsBackTheSameTableAndSetup) {
    sim::PtyServer& source = AddUnit(1, 1001);
    source.WithSimulator([](sim::UnitSimulator& unit) {
        unit.Events() = {
            // Sweep 3000 -> 200000 Hz, 1.5 s, -6 dB
            {2, {0xB8, 0x0B, 0x00, 0x00, 0x40, 0x0D, 0x03, 0x00, 0x0F, 0x00, 0xFA}},
            // Rest 10.0 s
            {3, {0x64, 0x00}},
            // Tone 12000 Hz, 2.0 s, 7 dB
            {5, {0xE0, 0x2E, 0x00, 0x00, 0x14, 0x00, 0x07}},
        };
        unit.Setup().number_of_plays = 3;
        unit.Setup().time_between_repeats = 125;
        unit.Setup().magnetic_switch = 1;
    });
    sim::PtyServer& target = AddUnit(2, 1002);
    target.WithSimulator([](sim::UnitSimulator& unit) { unit.Events() = {{3, {0x05, 0x00}}}; });

    ASSERT_EQ(Run({"--port", "1", "read", files / "unit-{serial}.tlk"}).status, 0);
    const CliRun written = Run({"--port", "2", "write", files / "unit-1001.tlk"});
    ASSERT_EQ(written.status, 0) << written.out;
    ASSERT_EQ(Run({"--port", "2", "read", files / "unit-{serial}.tlk"}).status, 0);

    EXPECT_EQ(testing::SavedTableAndSetup(files / "unit-1002.tlk"),
              testing::SavedTableAndSetup(files / "unit-1001.tlk"));
    const auto events = [](sim::PtyServer& unit) {
        return unit.WithSimulator([](sim::UnitSimulator& u) { return u.Events(); });
    };
    EXPECT_EQ(events(target), events(source));
}

// A file saved from an Orvane HF goes to an Orvane LF only when asked: nothing is sent first.
TEST_F(CliOverPtyTest, WriteAFileOfAnotherUnitType_RefusedUnlessAnyType) {
    sim::PtyServer& source = AddUnit(1, 1001);
    source.WithSimulator([](sim::UnitSimulator& unit) { unit.Events() = {{3, {0x64, 0x00}}}; });
    sim::UnitState lf;
    lf.device_type = device_type::kOrvaneLf;
    sim::PtyServer& target = AddUnit(2, 1002, lf);
    ASSERT_EQ(Run({"--port", "1", "read", files / "hf.tlk"}).status, 0);
    const auto events = [&target] {
        return target.WithSimulator([](sim::UnitSimulator& u) { return u.Events(); });
    };

    const CliRun refused = Run({"--port", "2", "write", files / "hf.tlk"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.ends_with(
        "\tThe file is for an Orvane HF, this unit is an Orvane LF: nothing written (write "
        "--any-type writes it all the same)\n"))
        << refused.out;
    EXPECT_TRUE(events().empty());

    const CliRun written = Run({"--port", "2", "write", files / "hf.tlk", "--any-type"});
    EXPECT_EQ(written.status, 0) << written.out;
    EXPECT_EQ(events(), (std::vector<sim::StoredEvent>{{3, {0x64, 0x00}}}));
}

TEST_F(CliOverPtyTest, FourUnitsOneSilent_ThreeOkOneFailureExit1) {
    for (int port = 1; port <= 4; ++port) {
        sim::PtyServer& unit = AddUnit(port, static_cast<uint16_t>(2000 + port));
        if (port == 3) {
            unit.WithSimulator(
                [](sim::UnitSimulator& u) { u.InjectFault(sim::Fault::Drop().Forever()); });
        }
    }

    const CliRun run = Run({"--port", "1-4", "read", files / "unit-{port}.tlk"});

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 4u) << run.out;
    for (const int port : {1, 2, 4}) {
        const std::string line = lines[static_cast<size_t>(port - 1)];
        EXPECT_TRUE(line.starts_with(std::to_string(port) + "\t")) << line;
        EXPECT_TRUE(line.ends_with("\tok\t" + (files / "unit-" + std::to_string(port) + ".tlk")))
            << line;
        EXPECT_TRUE(std::filesystem::exists(files / "unit-" + std::to_string(port) + ".tlk"));
    }
    EXPECT_TRUE(lines[2].starts_with("3\t")) << lines[2];
    EXPECT_TRUE(lines[2].ends_with("\t-\tNo Connection Established")) << lines[2];
    EXPECT_FALSE(std::filesystem::exists(files / "unit-3.tlk"));
    EXPECT_EQ(run.err, "") << "no progress lines when standard error is no terminal";
}

TEST_F(CliOverPtyTest, UnitOfATypeWithoutAnEventTable_FailsNamingIt) {
    sim::UnitState state;
    state.device_type = 9;
    AddUnit(1, 2001, state);

    const CliRun run = Run({"--port", "1", "info"});

    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.Lines().size(), 1u) << run.out;
    EXPECT_TRUE(
        run.Lines()[0].ends_with("\tUnknown Device # 2001 Firmware v2.1.4\tThis type of unit "
                                 "keeps no event table: Keelsong has nothing to work on"))
        << run.Lines()[0];
}

TEST_F(CliOverPtyTest, SerialSearch_RunsOnTheUnitWithThatNumberAndTellsOfOneNotFound) {
    AddUnit(1, 11);
    AddUnit(3, 12);
    AddUnit(4, 13);

    const CliRun run = Run({"--serial", "12,99", "info"});

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_TRUE(lines[0].starts_with("3\t")) << lines[0];
    EXPECT_NE(lines[0].find("\tOrvane HF # 12 Firmware v2.1.4\tok\t"), std::string::npos);
    EXPECT_EQ(lines[1], "-\t-\t-\tNo unit with serial number 99 found on ports 1-30");
}

TEST_F(CliOverPtyTest, WriteVerify_ReportsTheUnitThatChangedAValueItWasSent) {
    AddUnit(1, 1001);
    sim::UnitState altering;
    altering.altered_number_of_plays = 7;
    AddUnit(2, 1002, altering);
    {
        std::ofstream file(files / "deploy.tlk", std::ios::binary);
        file << "[Event 01]\r\nType = 3\r\nTime = 50\r\n"
                "[Setup]\r\nAUX Function = 4\r\nAUX Messages = 0\r\nMagnetic Switch = 0\r\n"
                "Number of Plays = 3\r\nStart Time = -1\r\nTime Between Repeats = 300\r\n";
    }

    const CliRun run = Run({"--port", "1,2", "write", files / "deploy.tlk", "--verify"});

    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_TRUE(lines[0].ends_with("\tok\tverified")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with(
        "\tVerify failed: Setup: Number of Repeats 7 in the unit, 3 in the file"))
        << lines[1];
}

TEST_F(CliOverPtyTest, WriteOfAFileThatCannotGoAsItStands_NothingSentAndTheReasonNamed) {
    sim::PtyServer& unit = AddUnit(1, 1001);
    const std::vector<sim::StoredEvent> held = {
        {3, {0x05, 0x00}}, {3, {0x06, 0x00}}, {3, {0x07, 0x00}}, {3, {0x08, 0x00}}};
    unit.WithSimulator([&](sim::UnitSimulator& u) { u.Events() = held; });
    const std::string rest = "Type = 3\nTime = 5\n";
    struct Case {
        const char* name;
        const char* contents;  // nullptr: no such file; "": a FIFO
        int status;            // 2: refused before any unit is touched
        const char* reason;
    };
    const std::string kTwoRestsAround =
        "[Event 01]\n" + rest + "[Event 02]\nType = 9\n[Event 03]\n" + rest;
    const std::string kHfTone =
        "[Event 01]\n" + rest + "[Event 02]\nType = 1\nFrequency = 5000\nCycles = 10\nLevel = 0\n";
    const Case cases[] = {
        {"missing", nullptr, 2, "Failed to open file"},
        {"fifo", "", 2, "Failed to open file"},
        {"unknown type between rests", kTwoRestsAround.c_str(), 2,
         "Event 02 cannot be sent: Type 9 is not an event type"},
        {"unknown type with a bad time", "[Event 01]\nType = 9\nTime = abc\n", 2,
         "Event 01 cannot be sent: Type 9 is not an event type"},
        {"section twice", "[Event 01]\nType = 3\nTime = 5\n[Event 01]\nType = 3\nTime = 9\n", 2,
         "Section Event 01 stands twice: which one to send is not known"},
        {"tone in cycles for an Orvane HF", kHfTone.c_str(), 1,
         "Event 02 cannot be sent: this Orvane HF has no event of Type 1"},
        {"level beyond the unit's range",
         "[Event 01]\nType = 5\nFrequency = 5000\nTime = 10\nLevel = 44\n", 1,
         "Event 01 cannot be sent: Level 44 is out of this unit's range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = files / "refused.tlk";
        std::filesystem::remove(path);
        if (c.contents && *c.contents) {
            std::ofstream(path, std::ios::binary) << c.contents;
        } else if (c.contents) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        }
        unit.ClearRequestLog();

        const CliRun run = Run({"--port", "1", "write", path, "--verify"});

        EXPECT_EQ(run.status, c.status);
        if (c.status == 2) {
            EXPECT_EQ(run.err, "keelsong-cli: " + path + ": " + c.reason + "\n");
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(unit.RequestCount(), 0u);
        } else {
            ASSERT_EQ(run.Lines().size(), 1u) << run.out;
            EXPECT_TRUE(run.Lines()[0].ends_with(std::string("\t") + c.reason)) << run.out;
        }
        EXPECT_EQ(unit.WithSimulator([](sim::UnitSimulator& u) { return u.Events(); }), held);
    }
}

TEST_F(CliOverPtyTest, TraceOfFourUnits_EveryLineWholeAndLedByItsUnit) {
    for (int port = 1; port <= 4; ++port) {
        AddUnit(port, static_cast<uint16_t>(3000 + port));
    }
    const std::string trace = files / "fleet.trace";

    const CliRun run = Run({"--trace", trace, "--port", "1-4", "info"});

    EXPECT_EQ(run.status, 0);
    // Per unit: what came after its tag, less the time; its port's notes apart.
    std::map<std::string, std::vector<std::string>> by_unit;
    std::map<std::string, std::vector<std::string>> notes;
    std::vector<std::string> devices;
    const std::regex line_form(
        R"(\[(port [1-4])\] +\d+\.\d ((>>|<<) \S+ +\d \S+)( +[0-9A-F]{2})*)");
    const std::regex note_form(R"(\[(port [1-4])\] +\d+\.\d -- (.*))");
    std::istringstream lines(FileText(trace));
    std::string line;
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("# Orvane protocol trace written by keelsong-cli, began "))
        << line;
    while (std::getline(lines, line)) {
        std::smatch match;
        if (line.starts_with("# port ")) {
            devices.push_back(line);
        } else if (line.starts_with("#")) {
            continue;
        } else if (std::regex_match(line, match, note_form)) {
            notes[match[1]].push_back(match[2]);
        } else {
            ASSERT_TRUE(std::regex_match(line, match, line_form)) << line;
            by_unit[match[1]].push_back(match[2]);
        }
    }
    ASSERT_EQ(devices.size(), 4u);
    for (int port = 1; port <= 4; ++port) {
        const std::string unit = "port " + std::to_string(port);
        EXPECT_TRUE(devices[port - 1].starts_with("# " + unit + ": ports/COM"))
            << devices[port - 1];
        const std::vector<std::string>& told = notes[unit];
        ASSERT_EQ(told.size(), 2u) << unit;
        EXPECT_TRUE(told[0].starts_with(unit + " opened: ports/COM")) << told[0];
        EXPECT_EQ(told[1], unit + " closed");
    }
    ASSERT_EQ(by_unit.size(), 4u);
    const std::vector<std::string>& first = by_unit["port 1"];
    ASSERT_GE(first.size(), 2u);
    EXPECT_EQ(first[0], ">> Enquire         1 sent");
    EXPECT_EQ(first[1], "<< Enquire         1 good");
    for (const auto& [unit, sequence] : by_unit) {
        EXPECT_EQ(sequence, first) << unit;
    }

    // A trace that cannot be written stops the run before any unit is touched.
    const CliRun refused =
        Run({"--trace", files / "no/such/folder/x.trace", "--port", "1", "info"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.starts_with("keelsong-cli: cannot write the trace to ")) << refused.err;
    EXPECT_EQ(refused.out, "");
}

}  // namespace
}  // namespace keelsong
