#include "history/history_store.h"
#include "protocol/utc_text.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

namespace keelsong {

namespace {

// Each entry brings the layout from user_version N to N + 1. A later layout adds an entry;
// existing stores are brought forward the next time they are written.
constexpr std::array<const char*, kHistorySchemaVersion> kMigrations = {
    "CREATE TABLE record ("
    " id INTEGER PRIMARY KEY,"
    " time INTEGER NOT NULL,"
    " user TEXT NOT NULL,"
    " program TEXT NOT NULL,"
    " type TEXT NOT NULL,"
    " serial INTEGER,"
    " firmware TEXT NOT NULL,"
    " firmware_after TEXT NOT NULL,"
    " operation TEXT NOT NULL,"
    " file TEXT NOT NULL,"
    " sha256 TEXT NOT NULL,"
    " contents_sha256 TEXT NOT NULL,"
    " ok INTEGER NOT NULL,"
    " message TEXT NOT NULL);"
    "CREATE INDEX record_by_unit ON record (serial, time);",
};

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// An SQLite failure: its code and what it said.
struct Failure {
    int code = SQLITE_OK;
    std::string text;
};

bool IsBusy(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool IsDamage(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

Failure FailureOf(sqlite3* db, int code) {
    return {code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code)};
}

std::optional<Failure> Execute(sqlite3* db, const char* sql) {
    const int code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        return FailureOf(db, code);
    }
    return std::nullopt;
}

std::optional<Failure> Prepare(sqlite3* db, const char* sql, Statement& statement) {
    sqlite3_stmt* raw = nullptr;
    const int code = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    statement.reset(raw);
    if (code != SQLITE_OK) {
        return FailureOf(db, code);
    }
    return std::nullopt;
}

std::optional<Failure> UserVersion(sqlite3* db, int& version) {
    Statement statement;
    if (auto failure = Prepare(db, "PRAGMA user_version", statement)) {
        return failure;
    }
    const int code = sqlite3_step(statement.get());
    if (code != SQLITE_ROW) {
        return FailureOf(db, code);
    }
    version = sqlite3_column_int(statement.get(), 0);
    return std::nullopt;
}

// Opens the store with the busy wait that lets several writers take turns.
std::optional<Failure> Open(const std::string& path, int flags, int busy_ms, Database& db) {
    sqlite3* raw = nullptr;
    const int code = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    db.reset(raw);
    if (code != SQLITE_OK) {
        return FailureOf(db.get(), code);
    }
    sqlite3_busy_timeout(db.get(), busy_ms);
    sqlite3_extended_result_codes(db.get(), 1);
    return std::nullopt;
}

// WAL mode, then the layout brought up to this program's in one transaction.
std::optional<Failure> BringUpToDate(sqlite3* db) {
    Statement mode;
    if (auto failure = Prepare(db, "PRAGMA journal_mode=WAL", mode)) {
        return failure;
    }
    if (const int code = sqlite3_step(mode.get()); code != SQLITE_ROW) {
        return FailureOf(db, code);
    }
    mode.reset();
    int version = 0;
    if (auto failure = UserVersion(db, version)) {
        return failure;
    }
    if (version == kHistorySchemaVersion) {
        return std::nullopt;
    }
    if (auto failure = Execute(db, "BEGIN IMMEDIATE")) {
        return failure;
    }
    // Read again inside the transaction: another process may have done it meanwhile.
    std::optional<Failure> failure = UserVersion(db, version);
    if (!failure && version > kHistorySchemaVersion) {
        failure = Failure{SQLITE_ERROR, "it was written by a newer Keelsong (layout " +
                                            std::to_string(version) + ")"};
    }
    for (; !failure && version < kHistorySchemaVersion; ++version) {
        failure = Execute(db, kMigrations[static_cast<size_t>(version)]);
        if (!failure) {
            const std::string set = "PRAGMA user_version=" + std::to_string(version + 1);
            failure = Execute(db, set.c_str());
        }
    }
    if (failure) {
        Execute(db, "ROLLBACK");
        return failure;
    }
    return Execute(db, "COMMIT");
}

std::optional<Failure> Insert(sqlite3* db, const HistoryRecord& r) {
    if (auto failure = Execute(db, "BEGIN IMMEDIATE")) {
        return failure;
    }
    Statement insert;
    std::optional<Failure> failure =
        Prepare(db,
                "INSERT INTO record (time, user, program, type, serial, firmware, firmware_after, "
                "operation, file, sha256, contents_sha256, ok, message) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                insert);
    if (!failure) {
        sqlite3_stmt* s = insert.get();
        int column = 0;
        const auto text = [&](const std::string& value) {
            sqlite3_bind_text(s, ++column, value.c_str(), static_cast<int>(value.size()),
                              SQLITE_TRANSIENT);
        };
        sqlite3_bind_int64(s, ++column, r.time);
        text(r.user);
        text(r.program);
        text(r.type);
        if (r.serial >= 0) {
            sqlite3_bind_int64(s, ++column, r.serial);
        } else {
            sqlite3_bind_null(s, ++column);
        }
        text(r.firmware);
        text(r.firmware_after);
        text(r.operation);
        text(r.file);
        text(r.sha256);
        text(r.contents_sha256);
        sqlite3_bind_int(s, ++column, r.ok ? 1 : 0);
        text(r.message);
        if (const int code = sqlite3_step(s); code != SQLITE_DONE) {
            failure = FailureOf(db, code);
        }
    }
    insert.reset();
    if (failure) {
        Execute(db, "ROLLBACK");
        return failure;
    }
    return Execute(db, "COMMIT");
}

// Which file a path named at one moment.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileId{status.st_dev, status.st_ino};
}

// SQLite finds a store's journal and write-ahead log by name, so a connection still holding a
// file that was moved aside can take the new store's journal for its own: roll it into the old
// file, or write a record there that then seems written. Every attempt therefore holds this
// lock shared, and a damaged file is moved aside only under it held alone, when no attempt has
// any file open. Where the lock file cannot be made (a read-only folder) the attempt goes on
// without it: SQLite will fail there in its own words.
class StoreLock {
  public:
    StoreLock(const std::string& store_path, int operation)
        : fd_(::open((store_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        while (fd_ >= 0 && ::flock(fd_, operation) != 0 && errno == EINTR) {
        }
    }
    ~StoreLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

  private:
    int fd_;
};

std::optional<Failure> AppendTo(const std::string& path, int busy_ms, const HistoryRecord& r) {
    Database db;
    if (auto failure = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busy_ms, db)) {
        return failure;
    }
    if (auto failure = BringUpToDate(db.get())) {
        return failure;
    }
    return Insert(db.get(), r);
}

// `opened` is the file the attempt worked on.
std::optional<Failure> AppendOnce(const std::string& path, int busy_ms, const HistoryRecord& r,
                                  std::optional<FileId>& opened) {
    const StoreLock shared(path, LOCK_SH);
    std::optional<Failure> failure = AppendTo(path, busy_ms, r);
    opened = IdOf(path);
    return failure;
}

// SQLite waits for a busy store itself, but not in every case (two writers making the store
// at once, a read that would have to become a write): those are tried again until the wait is
// used up.
std::optional<Failure> AppendPatiently(const std::string& path, int busy_ms, const HistoryRecord& r,
                                       std::optional<FileId>& opened) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busy_ms);
    for (;;) {
        std::optional<Failure> failure = AppendOnce(path, busy_ms, r, opened);
        if (!failure || !IsBusy(failure->code) || std::chrono::steady_clock::now() >= deadline) {
            return failure;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string UtcStamp(int64_t seconds) {
    return FormatUtc(seconds, "%Y%m%dT%H%M%SZ", "unknown-time");
}

// Puts the damaged file (and its journal) aside under a name no earlier one has. Writers that
// found it damaged at once take turns; the later ones find the path naming another file (or
// none) and leave it alone: then `aside` stays empty. False with `problem` set when it cannot
// be moved.
bool MoveAside(const std::string& path, const std::optional<FileId>& damaged, int64_t now,
               std::string& aside, std::string& problem) {
    namespace fs = std::filesystem;
    aside.clear();
    const StoreLock alone(path, LOCK_EX);
    if (!damaged || IdOf(path) != damaged) {
        return true;  // already moved, and perhaps a new store begun
    }
    std::string name = path + ".corrupt-" + UtcStamp(now);
    std::error_code error;
    for (int n = 2; fs::exists(name, error); ++n) {
        name = path + ".corrupt-" + UtcStamp(now) + "-" + std::to_string(n);
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        fs::rename(path + suffix, name + suffix, error);
    }
    fs::rename(path, name, error);
    if (error) {
        problem = "it could not be moved aside: " + error.message();
        return false;
    }
    aside = name;
    return true;
}

std::string Describe(const std::string& path, const Failure& failure) {
    return path + ": " + failure.text;
}

}  // namespace

HistoryOutcome HistoryStore::Append(const HistoryRecord& record) const {
    HistoryOutcome outcome;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
        if (error) {
            outcome.problem = folder.string() + ": " + error.message();
            return outcome;
        }
    }
    std::optional<FileId> opened;
    std::optional<Failure> failure = AppendPatiently(path_, busy_milliseconds_, record, opened);
    if (failure && IsDamage(failure->code)) {
        std::string why;
        if (!MoveAside(path_, opened, record.time, outcome.moved_aside, why)) {
            outcome.problem = Describe(path_, *failure) + "; " + why;
            return outcome;
        }
        failure = AppendPatiently(path_, busy_milliseconds_, record, opened);
    }
    if (failure) {
        outcome.problem = Describe(path_, *failure);
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

HistoryOutcome HistoryStore::Read(const HistoryFilter& filter,
                                  std::vector<HistoryRecord>& records) const {
    records.clear();
    HistoryOutcome outcome;
    std::error_code error;
    if (!std::filesystem::exists(path_, error)) {
        outcome.ok = !error;
        outcome.problem = error ? path_ + ": " + error.message() : std::string{};
        return outcome;
    }
    Database db;
    std::optional<Failure> failure = Open(path_, SQLITE_OPEN_READONLY, busy_milliseconds_, db);
    int version = 0;
    if (!failure) {
        failure = UserVersion(db.get(), version);
    }
    if (!failure && version > kHistorySchemaVersion) {
        failure = Failure{SQLITE_ERROR, "it was written by a newer Keelsong (layout " +
                                            std::to_string(version) + ")"};
    }
    if (!failure && version == 0) {
        outcome.ok = true;  // made but never written
        return outcome;
    }
    Statement query;
    if (!failure) {
        failure = Prepare(db.get(),
                          "SELECT time, user, program, type, serial, firmware, firmware_after, "
                          "operation, file, sha256, contents_sha256, ok, message FROM record "
                          "WHERE (?1 IS NULL OR serial = ?1) AND (?2 IS NULL OR type = ?2) "
                          "AND (?3 IS NULL OR time >= ?3) ORDER BY time DESC, id DESC "
                          "LIMIT ?4",
                          query);
    }
    if (failure) {
        outcome.problem = Describe(path_, *failure);
        return outcome;
    }
    sqlite3_stmt* s = query.get();
    if (filter.serial) {
        sqlite3_bind_int64(s, 1, *filter.serial);
    }
    if (filter.type) {
        sqlite3_bind_text(s, 2, filter.type->c_str(), -1, SQLITE_TRANSIENT);
    }
    if (filter.since) {
        sqlite3_bind_int64(s, 3, *filter.since);
    }
    sqlite3_bind_int(s, 4, filter.limit > 0 ? filter.limit : -1);
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(s)) == SQLITE_ROW) {
        int column = 0;
        const auto text = [&] {
            const auto* value = sqlite3_column_text(s, column++);
            return value ? std::string(reinterpret_cast<const char*>(value)) : std::string{};
        };
        HistoryRecord r;
        r.time = sqlite3_column_int64(s, column++);
        r.user = text();
        r.program = text();
        r.type = text();
        r.serial =
            sqlite3_column_type(s, column) == SQLITE_NULL ? -1 : sqlite3_column_int64(s, column);
        ++column;
        r.firmware = text();
        r.firmware_after = text();
        r.operation = text();
        r.file = text();
        r.sha256 = text();
        r.contents_sha256 = text();
        r.ok = sqlite3_column_int(s, column++) != 0;
        r.message = text();
        records.push_back(std::move(r));
    }
    if (code != SQLITE_DONE) {
        records.clear();
        outcome.problem = Describe(path_, FailureOf(db.get(), code));
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

}  // namespace keelsong
