// The orvane-sim program as people use it: started, found by the path it prints, stopped by a
// signal.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/crc.h"
#include "protocol/frame.h"
#include "pty_client.h"
#include "support/temp_dir.h"

extern char** environ;

namespace keelsong::sim {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

const std::vector<uint8_t> kEnquire = {0x2A, 0x45, 0x00, 0x00, 0x19, 0xCD};

using TempFolder = keelsong::testing::TempDir;

// A running orvane-sim with its standard output and error on pipes.
class SimProcess {
  public:
    SimProcess(const std::vector<std::string>& args,
               const std::vector<std::string>& extra_env = {}) {
        int out[2];
        int err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);

        std::vector<std::string> argv_text = {ORVANE_SIM_PATH};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& text : argv_text) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env_text = extra_env;
        for (char** e = environ; *e; ++e) {
            env_text.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (std::string& text : env_text) {
            envp.push_back(text.data());
        }
        envp.push_back(nullptr);

        if (posix_spawn(&pid_, ORVANE_SIM_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        ::close(out_);
        ::close(err_);
    }

    bool Started() const { return pid_ > 0; }

    // The first line of standard output, without its newline; empty when none came in time.
    std::string ReadLine(milliseconds timeout) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{out_, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0) {
                continue;
            }
            char c;
            if (::read(out_, &c, 1) != 1) {
                break;
            }
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return {};
    }

    std::string ReadAll(int fd) {
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }
    std::string Stdout() { return ReadAll(out_); }
    std::string Stderr() { return ReadAll(err_); }

    void Signal(int number) { ::kill(pid_, number); }

    // The exit code, or -1 when it did not exit normally.
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

TEST(OrvaneSimProgram, StartedAndSignalled_ServesTheGivenUnitThenRemovesItsLink) {
    for (int stop_signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(stop_signal));
        TempFolder folder;
        SimProcess sim({"--port", "7", "--settings-dir", folder.Path(), "--no-pacing", "--serial",
                        "777", "--type", "6", "--firmware", "v1.2.3", "--battery-level=-1"});
        ASSERT_TRUE(sim.Started());
        const std::string path = sim.ReadLine(milliseconds(3000));
        ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
        const fs::path link = fs::path(folder.Path()) / "ports" / "COM7";
        EXPECT_EQ(fs::read_symlink(link), fs::path(path));

        testing::PtyClient client(link.string());
        ASSERT_TRUE(client.Write(kEnquire));
        const std::vector<uint8_t> answer = client.Read(46, milliseconds(1000));
        ASSERT_EQ(answer.size(), 46u);
        EXPECT_EQ(CrcOf(answer), 0);
        EXPECT_EQ(ReadLe16(&answer[4]), 777);
        EXPECT_EQ(std::string(answer.begin() + 6, answer.begin() + 12), "v1.2.3");
        EXPECT_EQ(answer[4 + 28], 6);
        EXPECT_EQ(answer[4 + 34], 0xFF);

        sim.Signal(stop_signal);
        EXPECT_EQ(sim.Wait(), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }
}

TEST(OrvaneSimProgram, UnplugAndReplugAfter_LinkGoesThenComesBackOnANewTerminal) {
    TempFolder folder;
    SimProcess sim({"--port", "2", "--settings-dir", folder.Path(), "--no-pacing", "--events", "2",
                    "--unplug-after", "0.3", "--replug-after", "0.4"});
    ASSERT_TRUE(sim.Started());
    const auto start = std::chrono::steady_clock::now();
    const std::string first = sim.ReadLine(milliseconds(3000));
    ASSERT_FALSE(first.empty());
    const fs::path link = fs::path(folder.Path()) / "ports" / "COM2";
    testing::PtyClient before(link.string());
    ASSERT_TRUE(before.Write(kEnquire));
    EXPECT_EQ(before.Read(46, milliseconds(1000)).size(), 46u);

    const std::string second = sim.ReadLine(milliseconds(3000));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, first);
    EXPECT_GE(seconds, 0.7);
    EXPECT_FALSE(before.Write(kEnquire)) << "the first terminal is gone";
    EXPECT_EQ(fs::read_symlink(link), fs::path(second));
    // Back with the table it started with: event 1 is a rest of 0.2 s.
    testing::PtyClient after(link.string());
    std::vector<uint8_t> enquire_event(kFrameOverhead + 1);
    enquire_event.resize(BuildFrame(0x3E, std::vector<uint8_t>{0x01}, enquire_event));
    ASSERT_TRUE(after.Write(enquire_event));
    const std::vector<uint8_t> event = after.Read(12, milliseconds(1000));
    ASSERT_EQ(event.size(), 12u);
    EXPECT_EQ(std::vector<uint8_t>(event.begin() + 4, event.begin() + 10),
              (std::vector<uint8_t>{0x00, 0x00,    // result: success
                                    0x01,          // index
                                    0x03,          // rest
                                    0x02, 0x00}))  // 2 tenths of a second
        << "the unit keeps what it held";

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    const std::string told = sim.Stderr();
    EXPECT_NE(told.find("unplugged"), std::string::npos) << told;
    EXPECT_NE(told.find("plugged in again on " + second), std::string::npos) << told;
}

TEST(OrvaneSimProgram, PortWithoutSettingsDir_PublishedInTheUsersConfigFolder) {
    TempFolder folder;
    SimProcess sim({"--port", "5"}, {"XDG_CONFIG_HOME=" + folder.Path()});
    const std::string path = sim.ReadLine(milliseconds(3000));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::read_symlink(fs::path(folder.Path()) / "Keelsong" / "ports" / "COM5"),
              fs::path(path));
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(OrvaneSimProgram, BadOptions_ExitWithCodeTwoAndNameTheProblem) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"--serial", "70000"},
        {"--serial", "12ab"},
        {"--firmware", "v12.34.56"},
        {"--battery-level", "200"},
        {"--enquire-length", "95"},
        {"--type"},
        {"--noise=yes"},
        {"--firmware-after-update", "v12.34.56"},
        {"--refuse-write", "0"},
        {"--stay-in-loader=1"},
        {"--unplug-after", "-1"},
        {"--events", "41"},
        {"--replug-after", "2"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0]);
        SimProcess sim(args);
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.Wait(), 2);
        EXPECT_TRUE(sim.Stdout().empty());
        const std::string message = sim.Stderr();
        EXPECT_NE(message.find(args[0].substr(0, args[0].find('='))), std::string::npos) << message;
    }
}

TEST(OrvaneSimProgram, Help_DocumentsTheOptionsAndExitsZero) {
    SimProcess sim({"--help"});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.Wait(), 0);
    const std::string usage = sim.Stdout();
    for (const char* option :
         {"--type", "--serial", "--firmware", "--clock-drift", "--no-pacing", "--port",
          "--settings-dir", "--drop", "--noise", "--firmware-after-update", "--refuse-write",
          "--silent-after-restart", "--no-loader", "--stay-in-loader", "--unplug-after",
          "--replug-after", "--events"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace keelsong::sim
