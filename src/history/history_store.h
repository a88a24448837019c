#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keelsong {

// One operation that changed (or tried to change) a unit, as the service history keeps it.
struct HistoryRecord {
    int64_t time = 0;            // UTC seconds since 1970
    std::string user;            // the computer's user name
    std::string program;         // "keelsong 1.2.0", "keelsong-cli 1.2.0"
    std::string type;            // the unit's type name
    int64_t serial = -1;         // -1 when the unit was never identified
    std::string firmware;        // before the operation
    std::string firmware_after;  // empty unless the operation changed it
    std::string operation;
    std::string file;             // the file the change came from, if any
    std::string sha256;           // of that file's contents
    std::string contents_sha256;  // of the table and setup the unit holds afterwards, if known
    bool ok = false;
    std::string message;
    bool operator==(const HistoryRecord&) const = default;
};

struct HistoryFilter {
    std::optional<int64_t> serial;
    std::optional<std::string> type;
    std::optional<int64_t> since;  // UTC seconds; records at or after it
    int limit = 0;                 // 0: all
};

// How a visit to the store went. `problem` says why it failed, for people; `moved_aside` names
// the damaged file put aside when a new store was begun in its place.
struct HistoryOutcome {
    bool ok = false;
    std::string problem;
    std::string moved_aside;
};

// The service history: an SQLite file that the window and any number of keelsong-cli
// processes write at once. Each call opens the file, does its work in one transaction and
// closes it again, so that no process holds it between operations.
class HistoryStore {
  public:
    // How long a write waits while another process holds the file.
    static constexpr int kDefaultBusyMilliseconds = 5000;

    explicit HistoryStore(std::string path, int busy_milliseconds = kDefaultBusyMilliseconds)
        : path_(std::move(path)), busy_milliseconds_(busy_milliseconds) {}

    const std::string& Path() const { return path_; }

    // Adds one record, making the folder and the file as needed. A file that is not an intact
    // history is renamed "<path>.corrupt-<UTC time>" and a new one begun.
    HistoryOutcome Append(const HistoryRecord& record) const;

    // The records that pass the filter, newest first. A store not yet made holds none.
    HistoryOutcome Read(const HistoryFilter& filter, std::vector<HistoryRecord>& records) const;

  private:
    std::string path_;
    int busy_milliseconds_;
};

// The layout version this program writes (SQLite's user_version).
inline constexpr int kHistorySchemaVersion = 1;

}  // namespace keelsong
