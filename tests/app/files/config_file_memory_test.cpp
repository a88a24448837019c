// Saving and loading a configuration when memory runs out: each allocation the operation makes
// is refused in turn. Every run must end in one of the operation's own messages, leave an
// earlier file either as it was or wholly replaced, and leave no temporary file or wait cursor.
// A binary of its own: it replaces the global allocation functions (kept out of line, so that
// the compiler does not pair their malloc and free with new and delete expressions).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <set>

#include "app/files/config_file_fixture.h"

namespace {

// 0: every allocation succeeds; n: the n-th allocation from now on is refused, once.
thread_local long refuse_countdown = 0;

void* Allocate(std::size_t size) {
    if (refuse_countdown > 0 && --refuse_countdown == 0) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace keelsong {
namespace {

using testing::ConfigFileFixture;

constexpr testing::UnitDescription kHf{device_type::kOrvaneHf, 0x020104};

class ConfigFileMemoryTest : public ConfigFileFixture {
  protected:
    // Presses the control with its file dialog answered, refusing the n-th allocation. True
    // when the refusal came before the operation ended (there were n allocations to refuse).
    bool PressRefusing(Control control, FileChoice choice, const std::string& path, long n) {
        ui.AnswerFileSelect({choice, path});
        refuse_countdown = n;
        Press(program, Panel::MAIN, control);
        const bool refused = refuse_countdown == 0;
        refuse_countdown = 0;
        return refused;
    }
    bool OnlyTheFileIn(const std::string& folder) const {
        return std::distance(std::filesystem::directory_iterator(folder), {}) == 1;
    }
};

TEST_F(ConfigFileMemoryTest, EveryAllocationRefusedInTurn_SaveEndsCleanlyAndKeepsTheOldFile) {
    Identify(kHf);
    FillGrid({{"Sweep", 2, 1.5, 3000, 200000, -6}, {"Rest", 3, 5.0}, {"Click", 4, 0.1, 9000}});
    const std::string path = WriteFile("kept.tlk", "old");
    Save(files / "whole.tlk");
    const std::string whole = ReadFile(files / "whole.tlk");
    std::filesystem::remove(files / "whole.tlk");

    std::set<std::string> messages;
    long n = 1;
    for (; PressRefusing(Control::STORE_EVENTS, FileChoice::NewFile, path, n); ++n) {
        SCOPED_TRACE(n);
        messages.insert(StatusText());
        const std::string now = ReadFile(path);
        EXPECT_TRUE(now == "old" || now == whole);
        EXPECT_TRUE(OnlyTheFileIn(files.Path()));
        std::ofstream(path, std::ios::binary) << "old";
    }
    EXPECT_GT(n, 20);
    // A refusal as late as the success message itself shows "Out of system memory".
    EXPECT_EQ(messages, (std::set<std::string>{"Out of system memory", "Failed to create file",
                                               "Failed to save configuration file"}));
}

TEST_F(ConfigFileMemoryTest, EveryAllocationRefusedInTurn_LoadChangesAllOrNothing) {
    Identify(kHf);
    FillGrid({{"Sweep", 2, 1.5, 3000, 200000, -6}, {"Rest", 3, 5.0}, {"Click", 4, 0.1, 9000}});
    const std::string path = files / "table.tlk";
    Save(path);
    Load(path);
    const auto loaded = GridPicture();
    FillGrid({{"Tone", 5, 2.0, 12000}});
    const auto before = GridPicture();

    std::set<std::string> messages;
    long n = 1;
    for (;; ++n) {
        MarkTableChanged(program, false);
        MarkSetupChanged(program, false);
        if (!PressRefusing(Control::LOAD_EVENTS, FileChoice::ExistingFile, path, n)) {
            break;
        }
        SCOPED_TRACE(n);
        messages.insert(StatusText());
        EXPECT_FALSE(ui.WaitCursor());
        const auto now = GridPicture();
        if (now == before) {
            EXPECT_FALSE(program.Marks().table_changed || program.Marks().setup_changed);
        } else {
            EXPECT_EQ(now, loaded);
            EXPECT_TRUE(program.Marks().table_changed && program.Marks().setup_changed);
        }
        FillGrid({{"Tone", 5, 2.0, 12000}});
    }
    EXPECT_GT(n, 20);
    EXPECT_TRUE(messages.count("Out of system memory"));
    for (const std::string& message : messages) {
        EXPECT_TRUE(message == "Out of system memory" || message == "Failed to open file" ||
                    message == "Failed to read from file" || message == "Configuration loaded")
            << message;
    }
}

}  // namespace
}  // namespace keelsong
