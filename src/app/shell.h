#pragma once

#include <functional>
#include <utility>

namespace keelsong {

class Program;

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

    // "Accept Changes": sends the changed table and setup and has the unit save them; 0 or
    // negative. Without one installed nothing can be sent, so the answer is a failure: a quit
    // that asked to save must never go ahead as if the edits had reached the unit.
    using ChangesAcceptor = std::function<int(Program&)>;
    void SetChangesAcceptor(ChangesAcceptor acceptor) { acceptor_ = std::move(acceptor); }
    int AcceptChanges(Program& program) const { return acceptor_ ? acceptor_(program) : -1; }

  private:
    QuitHandler quit_handler_;
    bool quit_requested_ = false;
    ChangesAcceptor acceptor_;
};

}  // namespace keelsong
