#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shell/outcome.h"
#include "history/history_store.h"

namespace keelsong {

class Program;

// What the program needs to record the operations that change a unit: who records (the
// program and its version), where a record that could not be written is told, and the
// configuration file whose contents the next "Accept Changes" sends.
class ServiceHistory {
  public:
    // Told when a record could not be written, or the store had to be begun anew. The window
    // adds it to the status line (the default); keelsong-cli prints it on standard error.
    using WarningSink = std::function<void(const std::string& text)>;
    void SetWarningSink(WarningSink sink) { warning_sink_ = std::move(sink); }
    // "keelsong", "keelsong-cli": the version is added.
    void SetProgramName(std::string name) { program_name_ = std::move(name); }

    // Shows records to the user: the window installs its "History…" dialog. Without one the
    // records cannot be shown.
    using Viewer =
        std::function<void(const std::string& title, const std::vector<HistoryRecord>& records)>;
    void SetViewer(Viewer viewer) { viewer_ = std::move(viewer); }
    const Viewer& GetViewer() const { return viewer_; }

    // Called once a configuration file loaded: its name and the SHA-256 of the bytes read go
    // with the changes it brought until they are sent.
    void NoteLoadedFile(const std::string& path, const std::string& sha256) {
        loaded_file_ = path;
        loaded_sha256_ = sha256;
    }

  private:
    friend Outcome RecordOperation(Program& program, std::string_view operation,
                                   const std::string& file, const std::function<Outcome()>& run);
    friend Outcome RecordAcceptChanges(Program& program, const std::function<Outcome()>& run);

    WarningSink warning_sink_;
    Viewer viewer_;
    std::string program_name_ = "keelsong";
    std::string loaded_file_;
    std::string loaded_sha256_;
    int depth_ = 0;
};

}  // namespace keelsong
