#include "platform/posix_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace keelsong {
namespace {

using testing::TempDir;
using Bytes = std::vector<uint8_t>;

// The far end of a pseudo-terminal, standing in for a unit.
class PtyPeer {
  public:
    PtyPeer() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            path_ = ptsname(master_);
        }
        // Keep the terminal raw before the port under test opens it.
        const int slave = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
    }
    ~PtyPeer() { CloseMaster(); }
    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }
    void Send(const Bytes& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    Bytes Receive(size_t n) {
        Bytes out(n);
        size_t done = 0;
        while (done < n) {
            const ssize_t got = ::read(master_, out.data() + done, n - done);
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
        }
        out.resize(done);
        return out;
    }
    const std::string& Path() const { return path_; }

  private:
    int master_ = -1;
    std::string path_;
};

double SecondsSince(SerialPort::Clock::time_point start) {
    return std::chrono::duration<double>(SerialPort::Clock::now() - start).count();
}

struct PosixSerialPortTest : ::testing::Test {
    TempDir settings;
    PtyPeer peer;
    PosixSerialPort port{PortDirectory(settings.Path(), settings / "nodev")};
};

TEST_F(PosixSerialPortTest, WriteAndRead_CrossTheLineUnchanged) {
    ASSERT_EQ(port.OpenPath(peer.Path()), 0);
    const Bytes request = {0x2A, 0x45, 0x00, 0x00, 0x19, 0xCD, 0x0D, 0x0A, 0x11, 0x13};
    EXPECT_EQ(port.Write(request), static_cast<int>(request.size()));
    EXPECT_EQ(peer.Receive(request.size()), request);

    peer.Send({0x0D, 0x0A, 0x00, 0xFF, 0x03});
    Bytes in(5);
    port.SetTimeout(1.0);
    EXPECT_EQ(port.Read(in), 5);
    EXPECT_EQ(in, (Bytes{0x0D, 0x0A, 0x00, 0xFF, 0x03}));
}

TEST_F(PosixSerialPortTest, Read_ReturnsAsSoonAsTheBytesAreThere) {
    ASSERT_EQ(port.OpenPath(peer.Path()), 0);
    port.SetTimeout(2.0);
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.Send({1, 2, 3});
    });
    Bytes in(3);
    const auto start = SerialPort::Clock::now();
    EXPECT_EQ(port.Read(in), 3);
    sender.join();
    EXPECT_LT(SecondsSince(start), 0.5);
}

TEST_F(PosixSerialPortTest, Read_GivesWhatCameWhenTheTimeoutPasses) {
    ASSERT_EQ(port.OpenPath(peer.Path()), 0);
    port.SetTimeout(0.1);
    peer.Send({7, 8});
    Bytes in(5);
    const auto start = SerialPort::Clock::now();
    EXPECT_EQ(port.Read(in), 2);
    const double waited = SecondsSince(start);
    EXPECT_GE(waited, 0.09);
    EXPECT_LT(waited, 0.5);
    EXPECT_EQ(port.Read(in), 0);
}

TEST_F(PosixSerialPortTest, FlushInput_DropsWaitingBytes) {
    ASSERT_EQ(port.OpenPath(peer.Path()), 0);
    port.SetTimeout(0.05);
    peer.Send({1, 2, 3});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port.FlushInput(), 0);
    Bytes in(3);
    EXPECT_EQ(port.Read(in), 0);
}

TEST_F(PosixSerialPortTest, SecondOpenOfTheSameDevice_IsBusy) {
    ASSERT_EQ(port.OpenPath(peer.Path()), 0);
    PosixSerialPort other{PortDirectory(settings.Path())};
    EXPECT_EQ(other.OpenPath(peer.Path()), kSerialBusy);
    port.Close();
    EXPECT_EQ(other.OpenPath(peer.Path()), 0);
}

TEST_F(PosixSerialPortTest, OpenFailures_TellTheirCause) {
    std::filesystem::create_directories(settings / "ports");
    ASSERT_EQ(::symlink(peer.Path().c_str(), (settings / "ports/COM4").c_str()), 0);
    ASSERT_EQ(::symlink((settings / "gone").c_str(), (settings / "ports/COM5").c_str()), 0);
    std::ofstream(settings / "plain-file") << "not a terminal";
    ASSERT_EQ(::symlink((settings / "plain-file").c_str(), (settings / "ports/COM6").c_str()), 0);

    struct Case {
        int port_number;
        int expected;
    };
    const Case cases[] = {
        {4, 0},
        {5, kSerialDeviceGone},
        {6, kSerialConfigFailed},
        {9, kSerialNoDevice},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(port.Open(c.port_number), c.expected) << "COM" << c.port_number;
        EXPECT_EQ(port.IsOpen(), c.expected == 0);
        port.Close();
    }
    EXPECT_NE(SerialErrorText(kSerialPermissionDenied).find("dialout"), std::string::npos);
    EXPECT_EQ(SerialErrorFromErrno(EACCES), kSerialPermissionDenied);
    EXPECT_EQ(SerialErrorFromErrno(EBUSY), kSerialBusy);
}

TEST_F(PosixSerialPortTest, DeviceUnplugged_ReadAndWriteFailAsGone) {
    ASSERT_EQ(port.OpenPath(peer.Path()), 0);
    port.SetTimeout(0.5);
    peer.CloseMaster();
    Bytes in(1);
    const auto start = SerialPort::Clock::now();
    EXPECT_EQ(port.Read(in), kSerialDeviceGone);
    EXPECT_LT(SecondsSince(start), 0.4);
    EXPECT_EQ(port.Write(Bytes{1}), kSerialDeviceGone);
}

TEST_F(PosixSerialPortTest, ClosedPort_RefusesEveryOperation) {
    Bytes in(1);
    EXPECT_EQ(port.Read(in), kSerialNotOpen);
    EXPECT_EQ(port.Write(in), kSerialNotOpen);
    EXPECT_EQ(port.FlushInput(), kSerialNotOpen);
}

}  // namespace
}  // namespace keelsong
