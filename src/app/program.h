#pragma once

#include "app/comm.h"
#include "app/status_line.h"
#include "app/ui.h"
#include "platform/platform.h"
#include "platform/serial_port.h"

namespace keelsong {

// Everything the running program knows, reachable from one object that main creates. Two
// Programs in one process never see each other: there is no program-wide state elsewhere.
class Program {
  public:
    Program(Ui& ui, SerialPort& port, Platform& platform)
        : ui_(ui), platform_(platform), status_(ui), link_(port, platform, status_) {}
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Ui& GetUi() { return ui_; }
    Platform& GetPlatform() { return platform_; }
    StatusLine& Status() { return status_; }
    SerialLink& Link() { return link_; }

    void ShowStatusMessage(bool success, std::string_view text) {
        status_.ShowStatusMessage(success, text);
    }

  private:
    Ui& ui_;
    Platform& platform_;
    StatusLine status_;
    SerialLink link_;
};

}  // namespace keelsong
