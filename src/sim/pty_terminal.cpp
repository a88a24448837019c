// The server's terminal: opening a pseudo-terminal, publishing it as ports/COM<N>, and the
// unit unplugged and plugged in again.
#include <fcntl.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "sim/pty_server.h"
#include "sim/pty_support.h"

namespace keelsong::sim {

namespace {

namespace fs = std::filesystem;
using detail::CloseFd;
using detail::Fail;
using detail::FailErrno;

// The client may set the line up as it likes; until then the terminal must not echo, translate
// or buffer lines, or the first request would come back at the client.
bool MakeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

bool PtyServer::OpenPty(Terminal& terminal, std::string* error) {
    terminal.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal.master < 0) {
        return FailErrno(error, "cannot open a pseudo-terminal");
    }
    if (::grantpt(terminal.master) != 0 || ::unlockpt(terminal.master) != 0) {
        return FailErrno(error, "cannot unlock the pseudo-terminal");
    }
    char name[256] = {};
    if (::ptsname_r(terminal.master, name, sizeof name) != 0) {
        return FailErrno(error, "cannot name the pseudo-terminal");
    }
    terminal.path = name;
    terminal.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal.slave < 0) {
        return FailErrno(error, "cannot open " + terminal.path);
    }
    if (!MakeRaw(terminal.slave)) {
        return FailErrno(error, "cannot set up " + terminal.path);
    }
    const int flags = ::fcntl(terminal.master, F_GETFL);
    if (flags < 0 || ::fcntl(terminal.master, F_SETFL, flags | O_NONBLOCK) != 0) {
        return FailErrno(error, "cannot make the pseudo-terminal non-blocking");
    }
    return true;
}

bool PtyServer::OpenTerminal(std::string* error) {
    Terminal terminal;
    const bool opened = OpenPty(terminal, error);
    master_fd_ = terminal.master;
    slave_fd_ = terminal.slave;
    path_ = terminal.path;
    if (!opened) {
        return false;
    }
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd_ < 0) {
        return FailErrno(error, "cannot create an event descriptor");
    }
    return true;
}

void PtyServer::CloseTerminal() {
    CloseFd(master_fd_);
    CloseFd(slave_fd_);
    CloseFd(wake_fd_);
}

bool PtyServer::Publish(std::string* error) {
    if (options_.settings_folder.empty()) {
        return Fail(error, "no settings folder to publish the port in");
    }
    std::error_code ec;
    const fs::path folder = fs::path(options_.settings_folder) / "ports";
    fs::create_directories(folder, ec);
    if (ec) {
        return Fail(error, "cannot create " + folder.string() + ": " + ec.message());
    }
    const fs::path link = folder / ("COM" + std::to_string(options_.port_number));
    const fs::file_status status = fs::symlink_status(link, ec);
    if (fs::exists(status)) {
        if (!fs::is_symlink(status)) {
            return Fail(error, link.string() + " exists and is not a link");
        }
        fs::remove(link, ec);
    }
    fs::create_symlink(path_, link, ec);
    if (ec) {
        return Fail(error, "cannot create " + link.string() + ": " + ec.message());
    }
    link_path_ = link.string();
    return true;
}

void PtyServer::Unpublish() {
    if (link_path_.empty()) {
        return;
    }
    // Leave a link alone that someone else has pointed elsewhere in the meantime.
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link_path_, ec)) &&
        fs::read_symlink(link_path_, ec) == fs::path(path_)) {
        fs::remove(link_path_, ec);
    }
    link_path_.clear();
}

void PtyServer::Unplug() {
    std::unique_lock lock(mutex_);
    if (unplugged_) {
        return;
    }
    if (!thread_.joinable()) {
        CloseFd(master_fd_);
        CloseFd(slave_fd_);
        unplugged_ = true;
    } else {
        unplug_requested_ = true;
        lock.unlock();
        Wake();
        lock.lock();
        changed_.wait(lock, [&] { return unplugged_; });
    }
    lock.unlock();
    Unpublish();
}

bool PtyServer::Unplugged() const {
    std::lock_guard lock(mutex_);
    return unplugged_;
}

bool PtyServer::PlugIn(std::string* error) {
    if (!Unplugged()) {
        return Fail(error, "the unit is plugged in");
    }
    Terminal terminal;
    if (!OpenPty(terminal, error)) {
        CloseFd(terminal.master);
        CloseFd(terminal.slave);
        return false;
    }
    // The terminal the unplug freed is handed out again first: hold it while taking another.
    if (terminal.path == path_) {
        Terminal other;
        const bool opened = OpenPty(other, error);
        CloseFd(terminal.master);
        CloseFd(terminal.slave);
        terminal = other;
        if (!opened) {
            CloseFd(terminal.master);
            CloseFd(terminal.slave);
            return false;
        }
    }
    path_ = terminal.path;
    {
        std::unique_lock lock(mutex_);
        if (!thread_.joinable()) {
            master_fd_ = terminal.master;
            slave_fd_ = terminal.slave;
            unplugged_ = false;
        } else {
            plugged_in_ = terminal;
            plug_in_requested_ = true;
            lock.unlock();
            Wake();
            lock.lock();
            changed_.wait(lock, [&] { return !unplugged_; });
        }
    }
    if (options_.port_number > 0 && !Publish(error)) {
        return false;
    }
    return true;
}

}  // namespace keelsong::sim
