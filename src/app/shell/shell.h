#pragma once

#include <functional>
#include <string>
#include <utility>

namespace keelsong {

class Program;
struct ReportContent;

// The application shell's ties to the world around it: how the event loop ends, and the
// "Accept Changes" step that quitting calls. Each is installed by whoever provides it (the
// window, the table transfer); the defaults below say what happens until then.
class Shell {
  public:
    // Ends the event loop (the window installs how). Remembered, so that a window closed from
    // its title bar knows whether the quit went through.
    using QuitHandler = std::function<void()>;
    void SetQuitHandler(QuitHandler handler) { quit_handler_ = std::move(handler); }
    void QuitUserInterface() {
        quit_requested_ = true;
        if (quit_handler_) {
            quit_handler_();
        }
    }
    bool QuitRequested() const { return quit_requested_; }

    // Writes a deployment report (report.h) to a file; 0 or negative. The window and the command
    // line install their PDF writer; without one no report can be written.
    using ReportWriter = std::function<int(const ReportContent&, const std::string& path)>;
    void SetReportWriter(ReportWriter writer) { report_writer_ = std::move(writer); }
    int WriteReport(const ReportContent& report, const std::string& path) const {
        return report_writer_ ? report_writer_(report, path) : -1;
    }

  private:
    QuitHandler quit_handler_;
    bool quit_requested_ = false;
    ReportWriter report_writer_;
};

}  // namespace keelsong
