#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <atomic>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace keelsong {
namespace {

HistoryRecord Record(int64_t time, int64_t serial, std::string operation) {
    HistoryRecord r;
    r.time = time;
    r.user = "ana";
    r.program = "keelsong-cli 1.0.0";
    r.type = "Orvane HF";
    r.serial = serial;
    r.firmware = "2.1.0";
    r.operation = std::move(operation);
    r.ok = true;
    r.message = "done";
    return r;
}

// One value of the store's own, read past the store.
std::string Pragma(const std::string& path, const std::string& name) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, ("PRAGMA " + name).c_str(), -1, &statement, nullptr);
    std::string value;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

std::vector<HistoryRecord> ReadAll(const HistoryStore& store, HistoryFilter filter = {}) {
    std::vector<HistoryRecord> records;
    const HistoryOutcome outcome = store.Read(filter, records);
    EXPECT_TRUE(outcome.ok) << outcome.problem;
    return records;
}

class HistoryStoreTest : public ::testing::Test {
  protected:
    testing::TempDir folder;
    std::string path = folder / "Keelsong/history.sqlite";
};

TEST_F(HistoryStoreTest, Records_AppendedThenRead_NewestFirstFilteredWholeInWal) {
    const HistoryStore store(path);
    EXPECT_TRUE(ReadAll(store).empty());  // nothing made yet
    HistoryRecord full = Record(1'700'000'100, 1203, "Firmware Update");
    full.firmware_after = "2.2.0";
    full.file = "/srv/OrvaneHF.bin";
    full.sha256 = std::string(64, 'a');
    full.contents_sha256 = std::string(64, 'b');
    full.ok = false;
    full.message = "Firmware updated failed";
    HistoryRecord unknown = Record(1'700'000'300, -1, "Set Time");
    unknown.type.clear();
    for (const HistoryRecord& r : {Record(1'700'000'000, 1203, "Accept Changes"), full,
                                   Record(1'700'000'200, 1204, "Reset"), unknown}) {
        const HistoryOutcome outcome = store.Append(r);
        ASSERT_TRUE(outcome.ok) << outcome.problem;
    }
    EXPECT_EQ(Pragma(path, "journal_mode"), "wal");
    EXPECT_EQ(Pragma(path, "user_version"), std::to_string(kHistorySchemaVersion));

    const std::vector<HistoryRecord> all = ReadAll(store);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], unknown);
    EXPECT_EQ(all[2], full);
    struct Case {
        int64_t serial;  // -1: any
        int64_t since;   // 0: any
        const char* type;
        int limit;
        std::vector<std::string> operations;
    };
    const Case cases[] = {
        {1203, 0, nullptr, 0, {"Firmware Update", "Accept Changes"}},
        {1203, 1'700'000'050, nullptr, 0, {"Firmware Update"}},
        {-1, 0, "Orvane HF", 2, {"Reset", "Firmware Update"}},
        {99, 0, nullptr, 0, {}},
    };
    for (const Case& c : cases) {
        HistoryFilter filter;
        filter.serial = c.serial >= 0 ? std::optional<int64_t>(c.serial) : std::nullopt;
        filter.since = c.since > 0 ? std::optional<int64_t>(c.since) : std::nullopt;
        filter.type = c.type ? std::optional<std::string>(c.type) : std::nullopt;
        filter.limit = c.limit;
        std::vector<std::string> operations;
        for (const HistoryRecord& r : ReadAll(store, filter)) {
            operations.push_back(r.operation);
        }
        EXPECT_EQ(operations, c.operations);
    }
}

TEST_F(HistoryStoreTest, Layout_OlderOrNewer_BroughtForwardOrLeftAlone) {
    std::filesystem::create_directories(folder / "Keelsong");
    // A file SQLite made with no layout at all: the first write lays it out.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version=0", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_TRUE(ReadAll(HistoryStore(path)).empty());
    EXPECT_TRUE(HistoryStore(path).Append(Record(1, 1, "Reset")).ok);
    EXPECT_EQ(ReadAll(HistoryStore(path)).size(), 1u);

    // A layout from a later program is neither written nor moved aside.
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version=7", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const HistoryOutcome outcome = HistoryStore(path).Append(Record(2, 1, "Reset"));
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.problem.find("newer Keelsong"), std::string::npos) << outcome.problem;
    EXPECT_TRUE(outcome.moved_aside.empty());
    std::vector<HistoryRecord> records;
    EXPECT_FALSE(HistoryStore(path).Read({}, records).ok);
}

TEST_F(HistoryStoreTest, TwoWriters_AtOnce_EveryRecordKept) {
    constexpr int kEach = 40;
    const auto writer = [&](int64_t serial) {
        for (int k = 0; k < kEach; ++k) {
            const HistoryOutcome outcome = HistoryStore(path).Append(Record(k, serial, "Reset"));
            EXPECT_TRUE(outcome.ok) << outcome.problem;
        }
    };
    std::thread first(writer, 1);
    std::thread second(writer, 2);
    first.join();
    second.join();
    EXPECT_EQ(ReadAll(HistoryStore(path), {1, {}, {}, 0}).size(), size_t{kEach});
    EXPECT_EQ(ReadAll(HistoryStore(path), {2, {}, {}, 0}).size(), size_t{kEach});
}

TEST_F(HistoryStoreTest, Writer_HoldsTheStore_OthersWaitOrTellItWasBusy) {
    ASSERT_TRUE(HistoryStore(path).Append(Record(1, 1, "Reset")).ok);
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    const HistoryOutcome impatient = HistoryStore(path, 50).Append(Record(2, 1, "Reset"));
    EXPECT_FALSE(impatient.ok);
    EXPECT_NE(impatient.problem.find("locked"), std::string::npos) << impatient.problem;
    EXPECT_TRUE(impatient.moved_aside.empty());

    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    });
    const HistoryOutcome patient = HistoryStore(path).Append(Record(3, 1, "Reset"));
    release.join();
    sqlite3_close(holder);
    EXPECT_TRUE(patient.ok) << patient.problem;
    EXPECT_EQ(ReadAll(HistoryStore(path)).size(), 2u);
}

TEST_F(HistoryStoreTest, File_NotAHistory_MovedAsideAndANewOneBegun) {
    std::filesystem::create_directories(folder / "Keelsong");
    const std::string garbage(4096, 'x');
    std::ofstream(path, std::ios::binary) << garbage;
    // 2023-11-14 22:13:20 UTC
    const HistoryOutcome outcome = HistoryStore(path).Append(Record(1'700'000'000, 7, "Reset"));
    ASSERT_TRUE(outcome.ok) << outcome.problem;
    EXPECT_EQ(outcome.moved_aside, path + ".corrupt-20231114T221320Z");
    std::ostringstream kept;
    kept << std::ifstream(outcome.moved_aside, std::ios::binary).rdbuf();
    EXPECT_EQ(kept.str(), garbage);
    EXPECT_EQ(ReadAll(HistoryStore(path)).size(), 1u);
}

// Several writers finding one damaged file at once: one moves it aside, and every record is
// written to the new store, none into the file moved aside.
TEST_F(HistoryStoreTest, DamagedFile_ManyWritersAtOnce_OneMovesItAsideEveryRecordKept) {
    constexpr int kWriters = 8;
    for (int round = 0; round < 5; ++round) {
        std::filesystem::remove_all(folder / "Keelsong");
        std::filesystem::create_directories(folder / "Keelsong");
        std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
        std::vector<std::thread> writers;
        std::atomic<size_t> written{0};
        for (int serial = 0; serial < kWriters; ++serial) {
            writers.emplace_back([&, serial] {
                const HistoryOutcome outcome =
                    HistoryStore(path).Append(Record(1'700'000'000, serial, "Reset"));
                written += outcome.ok;
                EXPECT_TRUE(outcome.ok) << outcome.problem;
            });
        }
        for (std::thread& writer : writers) {
            writer.join();
        }
        EXPECT_EQ(written.load(), size_t{kWriters}) << "round " << round;
        EXPECT_EQ(ReadAll(HistoryStore(path)).size(), written.load()) << "round " << round;
        int aside = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder / "Keelsong")) {
            const std::string name = entry.path().filename().string();
            aside += name.starts_with("history.sqlite.corrupt-") && !name.ends_with("-wal") &&
                     !name.ends_with("-shm");
        }
        EXPECT_EQ(aside, 1) << "round " << round;
    }
}

}  // namespace
}  // namespace keelsong
