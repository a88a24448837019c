#include "sim/pty_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <thread>
#include <vector>

#include "protocol/crc.h"
#include "protocol/frame.h"
#include "pty_client.h"
#include "support/temp_dir.h"

namespace keelsong::sim {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;
using testing::PtyClient;
using Clock = std::chrono::steady_clock;

const Bytes kEnquire = {0x2A, 0x45, 0x00, 0x00, 0x19, 0xCD};
constexpr size_t kEnquireAnswerBytes = 46;

Bytes Request(Command command, const Bytes& payload = {}) {
    Bytes frame(payload.size() + kFrameOverhead);
    frame.resize(BuildFrame(CommandCode(command), payload, frame));
    return frame;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

PtyServerOptions Unpaced() {
    PtyServerOptions options;
    options.pacing = false;
    return options;
}

using TempFolder = keelsong::testing::TempDir;

TEST(PtyServerLine, Enquire_AnsweredOverTheTerminal) {
    PtyServer server(Unpaced());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    PtyClient client(server.Path());
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Write(kEnquire));
    const Bytes answer = client.Read(kEnquireAnswerBytes, milliseconds(1000));
    ASSERT_EQ(answer.size(), kEnquireAnswerBytes);
    EXPECT_EQ(answer[1], 0x45);
    EXPECT_EQ(CrcOf(answer), 0);
    EXPECT_EQ(ReadLe16(&answer[4]), 1042);
}

TEST(PtyServerLine, JunkBeforeOrAroundRequests_SkippedWithoutPhantomRequests) {
    Bytes bad_crc = kEnquire;
    bad_crc[4] ^= 0x01;
    struct Case {
        const char* name;
        Bytes prefix;
    };
    const Case cases[] = {
        {"noise bytes", {0x00, 0xFF, 0x13}},
        {"a request with a bad CRC", bad_crc},
        // Announces 69 payload bytes that never come: given up after the partial time-out.
        {"a stray start byte", {0x2A}},
        {"a huge announced length", {0x2A, 0x45, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PtyServer server(Unpaced());
        ASSERT_TRUE(server.Start());
        PtyClient client(server.Path());
        Bytes bytes = c.prefix;
        bytes.insert(bytes.end(), kEnquire.begin(), kEnquire.end());
        ASSERT_TRUE(client.Write(bytes));
        const Bytes answer = client.Read(kEnquireAnswerBytes + 1, milliseconds(500));
        ASSERT_EQ(answer.size(), kEnquireAnswerBytes);
        EXPECT_EQ(CrcOf(answer), 0);
        EXPECT_EQ(server.RequestCount(), 1u);
    }
}

TEST(PtyServerLine, RequestLog_HoldsCodesPayloadsTimesAndAnswersInOrder) {
    PtyServer server(Unpaced());
    ASSERT_TRUE(server.Start());
    PtyClient client(server.Path());
    const Clock::time_point before = Clock::now();
    client.Write(Request(Command::StatusRead, {0x06}));
    const Bytes status = client.Read(11, milliseconds(500));
    client.Write(kEnquire);
    client.Read(kEnquireAnswerBytes, milliseconds(500));

    ASSERT_TRUE(server.WaitForRequests(2, milliseconds(500)));
    const std::vector<LoggedRequest> log = server.RequestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].command, 0x43);
    EXPECT_EQ(log[0].payload, Bytes{0x06});
    EXPECT_EQ(log[0].response, status);
    EXPECT_EQ(log[1].command, 0x45);
    EXPECT_TRUE(log[1].payload.empty());
    EXPECT_GE(log[0].received, before);
    EXPECT_LT(log[0].received, log[1].received);
    server.ClearRequestLog();
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(PtyServerLine, SimulatorChangedWhileServing_UnitAnswersOnlyTheSecondRequest) {
    PtyServer server(Unpaced());
    ASSERT_TRUE(server.Start());
    server.WithSimulator([](UnitSimulator& unit) {
        unit.State().serial_number = 4464;
        unit.InjectFault(Fault::Drop());
    });
    PtyClient client(server.Path());
    client.Write(kEnquire);
    EXPECT_TRUE(client.Read(1, milliseconds(200)).empty());
    client.Write(kEnquire);
    const Bytes answer = client.Read(kEnquireAnswerBytes, milliseconds(500));
    ASSERT_EQ(answer.size(), kEnquireAnswerBytes);
    EXPECT_EQ(ReadLe16(&answer[4]), 4464);
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST(PtyServerLine, LateFault_AnswerWaitsThatLong) {
    PtyServer server(Unpaced());
    ASSERT_TRUE(server.Start());
    server.WithSimulator(
        [](UnitSimulator& unit) { unit.InjectFault(Fault::Late(milliseconds(150))); });
    PtyClient client(server.Path());
    const auto start = Clock::now();
    client.Write(kEnquire);
    ASSERT_EQ(client.Read(kEnquireAnswerBytes, milliseconds(1000)).size(), kEnquireAnswerBytes);
    const double elapsed = Seconds(Clock::now() - start);
    EXPECT_GE(elapsed, 0.150);
    EXPECT_LT(elapsed, 0.250);
}

TEST(PtyServerLine, ClientClosesAndReopens_StillServed) {
    PtyServer server(Unpaced());
    ASSERT_TRUE(server.Start());
    for (int round = 0; round < 3; ++round) {
        PtyClient client(server.Path());
        ASSERT_TRUE(client.Write(kEnquire));
        EXPECT_EQ(client.Read(kEnquireAnswerBytes, milliseconds(500)).size(), kEnquireAnswerBytes)
            << "round " << round;
    }
}

TEST(PtyServerLine, Unplugged_ClientReadsAndWritesFail) {
    PtyServer server(Unpaced());
    ASSERT_TRUE(server.Start());
    PtyClient client(server.Path());
    client.Write(kEnquire);
    ASSERT_EQ(client.Read(kEnquireAnswerBytes, milliseconds(500)).size(), kEnquireAnswerBytes);

    server.Unplug();
    EXPECT_TRUE(server.Unplugged());
    bool hung_up = false;
    const auto start = Clock::now();
    client.Read(1, milliseconds(1000), &hung_up);
    EXPECT_TRUE(hung_up);
    EXPECT_LT(Seconds(Clock::now() - start), 0.5);
    EXPECT_FALSE(client.Write(kEnquire));
}

TEST(PtyServerLine, NoiseStream_NeverQuietUntilStoppedAndAnswersStillWhole) {
    PtyServer server;  // paced: the noise runs at the line rate
    ASSERT_TRUE(server.Start());
    PtyClient client(server.Path());
    server.StartNoiseStream({0x00, 0x2A, 0xFF});

    // No pause of 20 ms for a good while, never a start byte, and no faster than the line.
    client.ReadFor(milliseconds(20));
    const auto start_of_noise = Clock::now();
    Bytes noise;
    for (int i = 0; i < 100; ++i) {
        const Bytes got = client.Read(8, milliseconds(20));
        ASSERT_FALSE(got.empty()) << "quiet line after " << noise.size() << " bytes";
        noise.insert(noise.end(), got.begin(), got.end());
    }
    EXPECT_EQ(std::count(noise.begin(), noise.end(), kStartByte), 0);
    const double line_bytes = Seconds(Clock::now() - start_of_noise) * 1920.0;
    EXPECT_LE(static_cast<double>(noise.size()), line_bytes + 8);
    EXPECT_GE(static_cast<double>(noise.size()), line_bytes * 0.5);

    client.Write(kEnquire);
    const Bytes stream = client.ReadFor(milliseconds(150));
    const auto start = std::find(stream.begin(), stream.end(), kStartByte);
    ASSERT_GE(stream.end() - start, static_cast<std::ptrdiff_t>(kEnquireAnswerBytes));
    EXPECT_EQ(CrcOf(std::span(&*start, kEnquireAnswerBytes)), 0);

    server.StopNoiseStream();
    client.ReadFor(milliseconds(20));
    EXPECT_TRUE(client.ReadFor(milliseconds(100)).empty());
}

// A 138-byte MemoryWrite request and a 100-byte answer: 238 bytes, 124 ms on the line.
struct PacedExchange {
    Bytes request;
    size_t answer_bytes = 100;
    double line_seconds = 0;
    PacedExchange() {
        Bytes payload = {0x00, 128, 0x00, 0x00};
        payload.resize(132, 0x5A);
        request = Request(Command::MemoryWrite, payload);
        line_seconds = static_cast<double>(request.size() + answer_bytes) / 1920.0;
    }
};

TEST(PtyServerPacing, PacedExchange_TakesTheLineTimeWithinThreePercent) {
    PtyServer server;
    ASSERT_TRUE(server.Start());
    server.WithSimulator(
        [](UnitSimulator& unit) { unit.InjectFault(Fault::AnnounceLength(94).Forever()); });
    PtyClient client(server.Path());
    const PacedExchange exchange;

    const double request_line_seconds = exchange.request.size() / 1920.0;
    std::vector<double> ratios;
    std::vector<double> arrival_lateness;
    for (int round = 0; round < 7; ++round) {
        server.ClearRequestLog();
        const auto start = Clock::now();
        ASSERT_TRUE(client.Write(exchange.request));
        const Bytes answer = client.Read(exchange.answer_bytes, milliseconds(1000));
        const auto end = Clock::now();
        ASSERT_EQ(answer.size(), exchange.answer_bytes);
        ratios.push_back(Seconds(end - start) / exchange.line_seconds);

        // The request counts from when its last byte crossed the line.
        ASSERT_EQ(server.RequestCount(), 1u);
        arrival_lateness.push_back(Seconds(server.RequestLog()[0].received - start) -
                                   request_line_seconds);
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(arrival_lateness.begin(), arrival_lateness.end());
    const size_t median = ratios.size() / 2;
    std::cout << "paced exchange: median ratio to line time " << ratios[median] << " (min "
              << ratios.front() << ", max " << ratios.back() << ")\n";
    EXPECT_GE(ratios.front(), 1.0) << "bytes ran ahead of the line";
    EXPECT_LE(ratios[median], 1.05);
    EXPECT_GE(arrival_lateness.front(), 0.0) << "request taken before it could have arrived";
    EXPECT_LT(arrival_lateness[median], 0.005);
}

TEST(PtyServerPacing, Unpaced_AnswersWithoutTheLineTime) {
    PtyServer server(Unpaced());
    ASSERT_TRUE(server.Start());
    server.WithSimulator(
        [](UnitSimulator& unit) { unit.InjectFault(Fault::AnnounceLength(94).Forever()); });
    PtyClient client(server.Path());
    const PacedExchange exchange;
    const auto start = Clock::now();
    client.Write(exchange.request);
    ASSERT_EQ(client.Read(exchange.answer_bytes, milliseconds(1000)).size(), exchange.answer_bytes);
    EXPECT_LT(Seconds(Clock::now() - start), exchange.line_seconds / 3);
}

TEST(PtyServerPublish, PortLink_PointsAtTheTerminalAndGoesOnStop) {
    TempFolder folder;
    PtyServerOptions options = Unpaced();
    options.port_number = 3;
    options.settings_folder = folder.Path() + "/Keelsong";
    const fs::path link = fs::path(options.settings_folder) / "ports" / "COM3";
    {
        PtyServer server(options);
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        EXPECT_EQ(server.LinkPath(), link.string());
        EXPECT_EQ(fs::read_symlink(link), fs::path(server.Path()));
        PtyClient client(link.string());
        client.Write(kEnquire);
        EXPECT_EQ(client.Read(kEnquireAnswerBytes, milliseconds(500)).size(), kEnquireAnswerBytes);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(PtyServerPublish, UnpluggedAndPluggedIn_LinkGoesThenLeadsToANewTerminalWithTheSameUnit) {
    TempFolder folder;
    PtyServerOptions options = Unpaced();
    options.port_number = 3;
    options.settings_folder = folder.Path();
    const fs::path link = fs::path(folder.Path()) / "ports" / "COM3";
    PtyServer server(options);
    ASSERT_TRUE(server.Start());
    server.WithSimulator([](UnitSimulator& unit) { unit.State().serial_number = 0x0BEE; });
    const std::string first_path = server.Path();
    EXPECT_FALSE(server.PlugIn()) << "already plugged in";

    server.Unplug();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    std::string error;
    ASSERT_TRUE(server.PlugIn(&error)) << error;
    EXPECT_FALSE(server.Unplugged());
    EXPECT_NE(server.Path(), first_path) << "another device name";
    EXPECT_EQ(fs::read_symlink(link), fs::path(server.Path()));
    PtyClient client(link.string());
    client.Write(kEnquire);
    const Bytes answer = client.Read(kEnquireAnswerBytes, milliseconds(500));
    ASSERT_EQ(answer.size(), kEnquireAnswerBytes);
    EXPECT_EQ(answer[kPayloadOffset], 0xEE);
    EXPECT_EQ(answer[kPayloadOffset + 1], 0x0B);

    server.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(PtyServerPublish, StaleLink_Replaced) {
    TempFolder folder;
    fs::create_directories(fs::path(folder.Path()) / "ports");
    const fs::path link = fs::path(folder.Path()) / "ports" / "COM2";
    fs::create_symlink("/dev/keelsong-gone", link);
    PtyServerOptions options = Unpaced();
    options.port_number = 2;
    options.settings_folder = folder.Path();
    PtyServer server(options);
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(fs::read_symlink(link), fs::path(server.Path()));
}

TEST(PtyServerPublish, LinkRepointedMeanwhile_LeftAloneOnStop) {
    TempFolder folder;
    PtyServerOptions options = Unpaced();
    options.port_number = 4;
    options.settings_folder = folder.Path();
    const fs::path link = fs::path(folder.Path()) / "ports" / "COM4";
    {
        PtyServer server(options);
        ASSERT_TRUE(server.Start());
        fs::remove(link);
        fs::create_symlink("/dev/ttyUSB7", link);
    }
    EXPECT_EQ(fs::read_symlink(link), fs::path("/dev/ttyUSB7"));
}

TEST(PtyServerPublish, FileInTheWay_StartFailsAndSaysWhere) {
    TempFolder folder;
    fs::create_directories(fs::path(folder.Path()) / "ports");
    const fs::path file = fs::path(folder.Path()) / "ports" / "COM1";
    { std::ofstream(file) << "keep me"; }
    PtyServerOptions options = Unpaced();
    options.port_number = 1;
    options.settings_folder = folder.Path();
    PtyServer server(options);
    std::string error;
    EXPECT_FALSE(server.Start(&error));
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    EXPECT_TRUE(fs::is_regular_file(file));
}

}  // namespace
}  // namespace keelsong::sim
