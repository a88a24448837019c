// "Save" and "Load" of the "Configuration File" group: the exact file a grid and setup make,
// what loading shows and marks, and loads that must change nothing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "app/files/config_file_fixture.h"
#include "keelsong_version.h"

namespace keelsong {
namespace {

using testing::ConfigFileFixture;
using testing::RowValues;
using testing::SetupValues;
using testing::UnitDescription;

constexpr UnitDescription kLf{device_type::kOrvaneLf, 0x010103};
constexpr UnitDescription kLf112{device_type::kOrvaneLf, 0x010102};
constexpr UnitDescription kHf{device_type::kOrvaneHf, 0x020104};

constexpr uint32_t kNoStartTime = 0xFFFFFFFF;     // -1
constexpr uint32_t kStartTime = 1772874300;       // 2026-03-07 09:05 UTC (local = UTC here)
constexpr uint32_t kOtherStartTime = 1780000000;  // 2026-05-28
const RowValues kNone{"None", 0};
const RowValues kRest5s{"Rest", 3, 5.0};

struct SaveCase {
    const char* name;
    UnitDescription unit;
    std::vector<RowValues> rows;
    SetupValues setup;
    std::string file;
    friend void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }
};

class SaveTest : public ConfigFileFixture, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveTest, GridAndSetup_FileBytesAsWrittenByHand) {
    const SaveCase& c = GetParam();
    Identify(c.unit);
    FillGrid(c.rows);
    ShowSetup(c.setup);
    const std::string path = files / "saved.tlk";
    Save(path);
    EXPECT_EQ(StatusText(), "Configuration saved successfully");
    EXPECT_EQ(StatusColor(), kColorBlack);
    // The table and setup, then the unit and the program it was saved by, and when.
    const std::string saved = ReadFile(path);
    EXPECT_EQ(saved.substr(0, saved.find("[Unit]")), c.file);
    EXPECT_EQ(saved.substr(saved.find("[Unit]")),
              "[Unit]\r\nType = " + std::string(DeviceTypeName(c.unit.device_type)) +
                  "\r\nSerial Number = 1042\r\nFirmware = " + FirmwareVersionText(c.unit.firmware) +
                  "\r\n\r\n[Saved]\r\nProgram = Keelsong " + kVersion +
                  "\r\nTime = 2023-11-14T22:13:20Z\r\n\r\n");
    // Exactly the file: no temporary left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveTest,
    ::testing::Values(
        SaveCase{"worked_example_one_rest",
                 kHf,
                 {kRest5s},
                 {0, kNoStartTime, 0, 0, 0, 0},
                 "[Event 01]\r\nTime = 50\r\nType = 3\r\n\r\n"
                 "[Setup]\r\nAUX Function = 0\r\nAUX Messages = 0\r\nMagnetic Switch = 0\r\n"
                 "Number of Plays = 0\r\nStart Time = -1\r\nTime Between Repeats = 0\r\n\r\n"},
        SaveCase{"orvane_lf_tone_sweep_rest",
                 kLf,
                 {{"Tone", 1, 1000, 400, 0, 12}, {"Sweep", 2, 2.5, 100, 2000, 3}, {"Rest", 3, 0.5}},
                 {4, kNoStartTime, 3, 125, 1, 0},
                 "[Event 01]\r\nCycles = 1000\r\nFrequency = 400\r\nLevel = 12\r\nType = 1\r\n\r\n"
                 "[Event 02]\r\nEnd Frequency = 2000\r\nLevel = 3\r\nStart Frequency = 100\r\n"
                 "Time = 25\r\nType = 2\r\n\r\n"
                 "[Event 03]\r\nTime = 5\r\nType = 3\r\n\r\n"
                 "[Setup]\r\nAUX Function = 4\r\nAUX Messages = 0\r\nMagnetic Switch = 1\r\n"
                 "Number of Plays = 3\r\nStart Time = -1\r\nTime Between Repeats = 125\r\n\r\n"},
        // The empty row is not saved and leaves no gap in the numbering.
        SaveCase{"orvane_hf_sweep_rest_none_tone_click",
                 kHf,
                 {{"Sweep", 2, 1.5, 3000, 200000, -6},
                  {"Rest", 3, 10.0},
                  kNone,
                  {"Tone", 5, 2.0, 12000, 0, 7},
                  {"Click", 4, 0.1, 50000, 0, -24, -90}},
                 {1, kStartTime, 0, 300, 0, 1},
                 "[Event 01]\r\nEnd Frequency = 200000\r\nLevel = -6\r\nStart Frequency = 3000\r\n"
                 "Time = 15\r\nType = 2\r\n\r\n"
                 "[Event 02]\r\nTime = 100\r\nType = 3\r\n\r\n"
                 "[Event 03]\r\nFrequency = 12000\r\nLevel = 7\r\nTime = 20\r\nType = 5\r\n\r\n"
                 "[Event 04]\r\nFrequency = 50000\r\nLevel = -24\r\nPhase = -90\r\nTime = 1\r\n"
                 "Type = 4\r\n\r\n"
                 "[Setup]\r\nAUX Function = 1\r\nAUX Messages = 1\r\nMagnetic Switch = 0\r\n"
                 "Number of Plays = 0\r\nStart Time = 1772874300\r\nTime Between Repeats = 300\r\n"
                 "\r\n"}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

struct RoundTripCase {
    const char* name;
    UnitDescription unit;
    std::vector<RowValues> rows;
    SetupValues setup;
    friend void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }
};

class RoundTripTest : public ConfigFileFixture,
                      public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTripTest, SavedThenLoadedOverOtherContents_SameGridAndSetupBothMarked) {
    const RoundTripCase& c = GetParam();
    Identify(c.unit);
    FillGrid(c.rows);
    ShowSetup(c.setup);
    const auto grid_saved = GridPicture();
    const auto setup_saved = SetupPicture();
    const std::string path = files / "round.tlk";
    Save(path);

    // Other contents, ending in a 5 s sweep that an early Orvane LF counts into its rest.
    FillGrid({{"Rest", 3, 1.0}, {"Sweep", 2, 5.0, 100, 200, 1}});
    ShowSetup({2, kOtherStartTime, 9, 10, 1, 0});
    program.CurrentUnitSetup().number_of_plays = 11;
    const UnitSetup remembered = program.CurrentUnitSetup();
    MarkTableChanged(program, false);
    MarkSetupChanged(program, false);

    Load(path);
    EXPECT_EQ(StatusText(), "Configuration loaded");
    EXPECT_EQ(GridPicture(), grid_saved);
    EXPECT_EQ(SetupPicture(), setup_saved);
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_TRUE(program.Marks().setup_changed);
    EXPECT_FALSE(Dimmed(Control::ACCEPT_CHANGES));
    EXPECT_EQ(program.CurrentUnitSetup(), remembered);
    EXPECT_FALSE(ui.WaitCursor());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoundTripTest,
    ::testing::Values(
        RoundTripCase{"orvane_lf",
                      kLf,
                      {{"Tone", 1, 1000, 400, 0, 12}, {"Sweep", 2, 2.5, 100, 2000, 3}, kRest5s},
                      {4, kNoStartTime, 3, 125, 1, 0}},
        // The rest on the wire holds the last event (a 2 s sweep): the rest shown after loading
        // comes off the loaded table, not the 5 s sweep it replaced.
        RoundTripCase{"orvane_lf_1_1_2_rest_counts_the_last_event",
                      kLf112,
                      {{"Tone", 1, 1000, 400}, {"Sweep", 2, 2.0, 100, 2000, 3}},
                      {4, kNoStartTime, 0, 70, 0, 0}},
        RoundTripCase{"orvane_hf_every_type_and_a_start_time",
                      kHf,
                      {{"Sweep", 2, 1.5, 3000, 200000, -6},
                       kRest5s,
                       {"Tone", 5, 2.0, 12000, 0, 7},
                       {"Click", 4, 0.1, 50000, 0, -24, -90}},
                      {1, kStartTime, 0, 300, 0, 1}}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) {
        return std::string(info.param.name);
    });

struct LoadCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> types;  // the Type texts of the rows after loading
    const char* message;
    bool marked;
    bool setup_kept;
    std::optional<int> playbacks;
    friend void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }
};

std::string Records(std::initializer_list<uint8_t> types, size_t stray = 0) {
    std::string bytes;
    for (uint8_t type : types) {
        bytes += std::string(1, static_cast<char>(type)) + std::string(3, '\0');
        bytes += std::string("\x32\x00", 2) + std::string(10, '\0');  // 5.0 s where timed
    }
    return bytes + std::string(stray, '\x7F');
}

class LoadTest : public ConfigFileFixture, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, File_RowsSetupMarksAndMessage) {
    const LoadCase& c = GetParam();
    Identify(kHf);
    FillGrid({{"Tone", 5, 1.0, 5000}});
    ShowSetup({4, kNoStartTime, 2, 100, 0, 0});
    MarkTableChanged(program, false);
    MarkSetupChanged(program, false);
    const auto setup_before = SetupPicture();

    Load(WriteFile("table", c.bytes));
    EXPECT_EQ(StatusText(), c.message);
    EXPECT_EQ(StatusColor(), kColorBlack);
    EXPECT_EQ(TypeTexts(), c.types);
    EXPECT_EQ(program.Marks().table_changed, c.marked);
    EXPECT_EQ(program.Marks().setup_changed, c.marked);
    EXPECT_EQ(SetupPicture() == setup_before, c.setup_kept);
    if (c.playbacks) {
        EXPECT_EQ(Int(Control::PLAYBACKS), *c.playbacks);
    }
    EXPECT_TRUE(ui.Popups().size() == 1) << "only the file dialog";
    EXPECT_FALSE(ui.WaitCursor());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadTest,
    ::testing::Values(
        LoadCase{"tlk_without_setup_keeps_the_setup",
                 "[Event 01]\r\nTime = 50\r\nType = 3\r\n",
                 {"Rest"},
                 "Configuration loaded",
                 true,
                 true,
                 {}},
        LoadCase{
            "tlk_of_type_0_first_empties_the_grid",
            "[Event 01]\nType = 0\n[Event 02]\nType = 3\nTime = 5\n[Setup]\nNumber of Plays = 7\n",
            {},
            "Configuration loaded",
            true,
            false,
            7},
        LoadCase{"tlk_of_unknown_type_shows_it",
                 "[Event 01]\nType = 9\n[Event 02]\nType = 3\nTime = 5\n",
                 {"?", "Rest"},
                 "Configuration loaded",
                 true,
                 true,
                 {}},
        LoadCase{"tlk_with_a_section_twice_reads_the_first_and_says_so",
                 "[Event 01]\nType = 3\nTime = 5\n[Event 02]\nType = 3\nTime = 7\n"
                 "[event 01]\nType = 2\n[Setup]\nNumber of Plays = 7\n[Setup]\n",
                 {"Rest", "Rest"},
                 "Configuration loaded; duplicate sections ignored: event 01, Setup",
                 true,
                 false,
                 7},
        LoadCase{"binary_three_records_and_stray_bytes",
                 Records({3, 4, 0}, 5),
                 {"Rest", "Click", "None"},
                 "Event table read from file",
                 false,
                 true,
                 {}},
        LoadCase{"binary_of_41_records_fills_40_rows",
                 Records(std::initializer_list<uint8_t>{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
                                                        3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
                                                        3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}),
                 std::vector<std::string>(40, "Rest"),
                 "Event table read from file",
                 false,
                 true,
                 {}}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST_F(ConfigFileFixture, BinaryRecordWithLineEnds_ReadAsBytes) {
    // A rest of 0x0A0D tenths (257.3 s): a text-mode read would turn CR LF into LF.
    Identify(kHf);
    Load(WriteFile("crlf", std::string("\x03\x00\x00\x00\x0D\x0A", 6) + std::string(10, '\0')));
    EXPECT_EQ(program.Grid().DisplayText(grid_column::kDuration, 1), "257.3");
}

struct BadCase {
    const char* name;
    std::string bytes;  // written as the chosen file, unless `special` says otherwise
    enum Special { None, Folder, Vanished, Unreadable, Fifo } special;
    const char* message;
    friend void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }
};

class BadFileTest : public ConfigFileFixture, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadFileTest, Load_FailureShownNothingElseChanges) {
    const BadCase& c = GetParam();
    if (c.special == BadCase::Unreadable && ::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    Identify(kHf);
    FillGrid({{"Tone", 5, 1.0, 5000}, kRest5s});
    ShowSetup({4, kStartTime, 2, 100, 0, 0});
    MarkTableChanged(program, false);
    MarkSetupChanged(program, false);
    const auto grid_before = GridPicture();
    const auto setup_before = SetupPicture();

    std::string path = WriteFile("bad.tlk", c.bytes);
    if (c.special == BadCase::Folder) {
        path = files / "folder.tlk";
        std::filesystem::create_directory(path);
    } else if (c.special == BadCase::Vanished) {
        std::filesystem::remove(path);
    } else if (c.special == BadCase::Unreadable) {
        ::chmod(path.c_str(), 0200);
    }
    // A FIFO nobody writes to: should the load wait for a writer, one comes after 3 s.
    std::atomic<bool> loaded = false;
    std::thread writer;
    if (c.special == BadCase::Fifo) {
        std::filesystem::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        writer = std::thread([&] {
            for (int tick = 0; tick < 30 && !loaded; ++tick) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            while (!loaded) {
                if (const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) {
                    ::close(fd);
                }
            }
        });
    }
    const auto start = std::chrono::steady_clock::now();
    Load(path);
    loaded = true;
    if (writer.joinable()) {
        writer.join();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(StatusText(), c.message);
    EXPECT_EQ(StatusColor(), kColorRed);
    EXPECT_EQ(GridPicture(), grid_before);
    EXPECT_EQ(SetupPicture(), setup_before);
    EXPECT_FALSE(program.Marks().table_changed || program.Marks().setup_changed);
    EXPECT_EQ(program.Settings().ConfigFolder(), path);
    EXPECT_FALSE(ui.WaitCursor());
}

const std::string kTwoGoodEvents =
    "[Event 01]\r\nType = 3\r\nTime = 20\r\n[Event 02]\r\nType = 3\r\nTime = 30\r\n"
    "[Setup]\r\nNumber of Plays = 9\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadFileTest,
    ::testing::Values(
        BadCase{"sweep_without_end_frequency_after_good_events",
                kTwoGoodEvents +
                    "[Event 03]\r\nType = 2\r\nStart Frequency = 3000\r\nTime = 5\r\nLevel = 0\r\n",
                BadCase::None, "Error reading events from file"},
        BadCase{"value_beyond_32_bits",
                kTwoGoodEvents + "[Event 03]\r\nType = 3\r\nTime = 4294967296\r\n", BadCase::None,
                "Error reading events from file"},
        BadCase{"negative_unsigned_value",
                kTwoGoodEvents + "[Event 03]\r\nType = 4\r\nFrequency = -3000\r\nPhase = 0\r\n"
                                 "Time = 1\r\nLevel = 0\r\n",
                BadCase::None, "Error reading events from file"},
        BadCase{"type_that_is_no_number", kTwoGoodEvents + "[Event 03]\r\nType = Rest\r\n",
                BadCase::None, "Error reading events from file"},
        BadCase{"text_that_is_no_configuration", "Dear user,\nthis = a letter\n", BadCase::None,
                "Failed to read from file"},
        BadCase{"picture_file", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), BadCase::None,
                "Failed to read from file"},
        BadCase{"empty_file", "", BadCase::None, "Failed to read from file"},
        BadCase{"folder", "", BadCase::Folder, "Failed to open file"},
        BadCase{"fifo", "", BadCase::Fifo, "Failed to open file"},
        BadCase{"file_gone_after_choosing", "", BadCase::Vanished, "Failed to open file"},
        BadCase{"file_without_read_permission", kTwoGoodEvents, BadCase::Unreadable,
                "Failed to open file"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST_F(ConfigFileFixture, Dialogs_StartFromConfigPathAndLeaveTheChosenFileThere) {
    Identify(kHf);
    FillGrid({kRest5s});
    const std::string start = program.Settings().ConfigFolder();
    const std::string saved = files / "kept.tlk";
    Save(saved);
    ASSERT_EQ(ui.Popups().size(), 1u);
    EXPECT_EQ(ui.Popups()[0].kind, HeadlessUi::PopupKind::FileSelect);
    EXPECT_EQ(ui.Popups()[0].title, "Save File");
    EXPECT_EQ(ui.Popups()[0].text, start);
    EXPECT_EQ(program.Settings().ConfigFolder(), saved);

    Load(saved);
    ASSERT_EQ(ui.Popups().size(), 2u);
    EXPECT_EQ(ui.Popups()[1].title, "Load File");
    EXPECT_EQ(ui.Popups()[1].text, saved);
}

TEST_F(ConfigFileFixture, CancelledOrNewName_NothingChangesNothingShown) {
    Identify(kHf);
    FillGrid({kRest5s});
    program.ShowStatusMessage(true, "before");
    const std::string start = program.Settings().ConfigFolder();
    const auto grid_before = GridPicture();

    Press(program, Panel::MAIN, Control::STORE_EVENTS);  // cancelled
    Press(program, Panel::MAIN, Control::LOAD_EVENTS);   // cancelled
    ui.AnswerFileSelect({FileChoice::NewFile, files / "new.tlk"});
    Press(program, Panel::MAIN, Control::LOAD_EVENTS);
    Press(program, Panel::MAIN, Control::STORE_EVENTS, UiEvent::ValueChanged);

    EXPECT_EQ(ui.Popups().size(), 3u);
    EXPECT_EQ(StatusText(), "before");
    EXPECT_EQ(program.Settings().ConfigFolder(), start);
    EXPECT_EQ(GridPicture(), grid_before);
    EXPECT_TRUE(std::filesystem::is_empty(files.Path()));
}

// At a desk, with no unit: a file opens, is read as for the unit it names, and saved again it
// still names that unit.
TEST_F(ConfigFileFixture, NoUnit_FileOpenedAndSavedAgain_StillNamesItsUnit) {
    const std::string path = WriteFile(
        "desk.tlk",
        "[Event 01]\nTime = 5\nType = 3\n[Event 02]\nFrequency = 4000\nLevel = 0\n"
        "Time = 15\nType = 5\n[Unit]\nType = Orvane HF(R1)\nSerial Number = 1203\n"
        "Firmware = v2.1.4\n[Saved]\nProgram = Keelsong 0.0.9\nTime = 2026-01-01T00:00:00Z\n");
    ASSERT_FALSE(ui.IsDimmed(Panel::MAIN, Control::LOAD_EVENTS));
    Load(path);
    EXPECT_EQ(StatusText(), "Configuration loaded");
    EXPECT_EQ(program.Unit().device_type, device_type::kOrvaneHfR1);
    EXPECT_FALSE(ui.IsDimmed(Panel::MAIN, Control::LOAD_EVENTS));
    ASSERT_FALSE(ui.IsDimmed(Panel::MAIN, Control::STORE_EVENTS));

    Save(files / "again.tlk");
    const std::string saved = ReadFile(files / "again.tlk");
    EXPECT_EQ(saved.substr(saved.find("[Unit]")),
              "[Unit]\r\nType = Orvane HF(R1)\r\nSerial Number = 1203\r\nFirmware = v2.1.4\r\n\r\n"
              "[Saved]\r\nProgram = Keelsong " +
                  std::string(kVersion) + "\r\nTime = 2023-11-14T22:13:20Z\r\n\r\n");
}

// A table edited with no unit lives nowhere but in the window: quitting asks to save it to a
// file, and quits only once it is saved or the user says to go without.
TEST_F(ConfigFileFixture, NoUnit_EditedTable_QuitAsksToSaveItToAFile) {
    Load(WriteFile("desk.tlk", "[Event 01]\nTime = 5\nType = 3\n[Unit]\nType = Orvane HF\n"));
    ASSERT_FALSE(ui.IsDimmed(Panel::MAIN, Control::EVENT_ADD));
    Press(program, Panel::MAIN, Control::EVENT_ADD);
    ASSERT_EQ(program.Grid().RowCount(), 2);
    EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES)) << "no unit to send to";
    EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::UNDO_CHANGES));

    ui.AnswerGeneric(3);  // "Cancel"
    Press(program, Panel::MAIN, Control::QUIT);
    ASSERT_FALSE(ui.Popups().empty());
    EXPECT_EQ(ui.Popups().back().text,
              "The table and setup hold edits not saved to a file. Save them before closing?");
    EXPECT_FALSE(program.GetShell().QuitRequested());

    ui.AnswerGeneric(1);  // "Save…", then no file chosen
    ui.AnswerFileSelect({FileChoice::Cancelled, ""});
    Press(program, Panel::MAIN, Control::QUIT);
    EXPECT_FALSE(program.GetShell().QuitRequested());

    ui.AnswerGeneric(1);
    ui.AnswerFileSelect({FileChoice::NewFile, files / "kept.tlk"});
    Press(program, Panel::MAIN, Control::QUIT);
    EXPECT_TRUE(program.GetShell().QuitRequested());
    EXPECT_NE(ReadFile(files / "kept.tlk").find("[Unit]\r\nType = Orvane HF"), std::string::npos);
}

TEST_F(ConfigFileFixture, SaveIntoMissingFolder_FailureShown) {
    Identify(kHf);
    FillGrid({kRest5s});
    Save(files / "no/such/folder.tlk");
    EXPECT_EQ(StatusText(), "Failed to save configuration file");
    EXPECT_EQ(StatusColor(), kColorRed);
    EXPECT_EQ(program.Settings().ConfigFolder(), files / "no/such/folder.tlk");
}

}  // namespace
}  // namespace keelsong
