// The unit unplugged in the middle of a transfer or while idle: the transfer ends at once with
// its messages, the program disconnects, nothing the user edited is lost, and once the unit is
// plugged in again (under another device name) the program connects to it by itself and the
// two come together as they should.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

#include "app/events/transfer_fixture.h"
#include "app/state/program.h"

namespace keelsong {
namespace {

namespace col = grid_column;
using sim::Fault;
using testing::UnitRest;
using SteadyClock = std::chrono::steady_clock;

// Whether `expected` appears in `actual` in order, other messages allowed between.
bool InOrder(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
    auto at = actual.begin();
    for (const std::string& text : expected) {
        at = std::find(at, actual.end(), text);
        if (at == actual.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

bool IsRequest(const sim::LoggedRequest& request, Command command, uint8_t index) {
    return request.command == CommandCode(command) && !request.payload.empty() &&
           request.payload[0] == index;
}

double SecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Every failing transaction gives up after its attempts; an unplugged unit fails them at once,
// so even the longest wait on a time-out stays well inside this.
constexpr double kFailureBudget = 3 * 3 * testing::kTestTimeoutMs / 1000.0;

struct TransferFaultTest : testing::TransferFixture {
    // Answers the request that `index` picks so late that the unit is gone before it answers.
    static Fault Stalls(Command command, int index) {
        return Fault::Late(std::chrono::seconds(5)).OnlyFor(command).After(index);
    }
};

TEST_F(TransferFaultTest, UnpluggedWhileSending_EditsKeptAndSentWholeAfterReconnecting) {
    const std::vector<sim::StoredEvent> before = {UnitRest(50), UnitRest(51), UnitRest(52)};
    sim::PtyServer& first = ConnectUnit(1, {}, before);
    Press(program, Panel::MAIN, Control::CLEAR_TABLE);
    for (int seconds = 1; seconds <= 6; ++seconds) {
        AppendRest(seconds);
    }
    EditSetup();
    Change(first, [](sim::UnitSimulator& u) { u.InjectFault(Stalls(Command::EventAdd, 2)); });

    const auto start = SteadyClock::now();
    {
        WhenRequested pulled(
            first, [](const sim::LoggedRequest& r) { return IsRequest(r, Command::EventAdd, 2); },
            [&first] { first.Unplug(); });
        Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);
    }
    EXPECT_LT(SecondsSince(start), kFailureBudget);
    const std::vector<std::string> messages = NewMessages();
    EXPECT_TRUE(InOrder({"Event #2 Added to Table", "Com-port Read Error, Code: -4",
                         "No response for event add command", "Failed to add event #3",
                         "No response for restore command", "Send events failed",
                         "Accept changes failed, please try again"},
                        messages))
        << ::testing::PrintToString(messages);
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_TRUE(program.Marks().setup_changed);
    ASSERT_EQ(grid.RowCount(), 6);
    for (int row = 1; row <= grid.RowCount(); ++row) {
        EXPECT_FALSE(grid.HasTransferMark(row)) << "row " << row << " left marked";
    }
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(MainStatus(), LostText(first, 1)) << "the last word is the loss";

    // The same unit plugged in again, holding what it took before the cable went.
    ASSERT_TRUE(first.PlugIn());
    first.ClearRequestLog();
    Tick();
    ASSERT_TRUE(program.Link().IsConnected()) << MainStatus();
    sim::PtyServer& again = first;
    EXPECT_EQ(UnitEvents(again),
              (std::vector<sim::StoredEvent>{UnitRest(10), UnitRest(20), UnitRest(30)}));
    again.ClearRequestLog();
    EXPECT_EQ(grid.RowCount(), 6) << "the unsent edits are not read over";
    EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, 6), 6.0);
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_TRUE(program.Marks().setup_changed);

    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);

    std::vector<sim::StoredEvent> edited;
    for (uint16_t tenths = 10; tenths <= 60; tenths += 10) {
        edited.push_back(UnitRest(tenths));
    }
    EXPECT_EQ(UnitEvents(again), edited);
    EXPECT_EQ(again.WithSimulator([](auto& u) { return u.Setup().magnetic_switch; }), 1u);
    const testing::Commands sent = Commands(again);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), CommandCode(Command::EventRemove)), 4);
    EXPECT_FALSE(program.Marks().table_changed);
    EXPECT_FALSE(program.Marks().setup_changed);
}

TEST_F(TransferFaultTest, UnpluggedWhileReading_RowsReadSoFarKeptAndReadAfreshAfterReconnecting) {
    std::vector<sim::StoredEvent> six;
    for (uint16_t tenths = 11; tenths <= 16; ++tenths) {
        six.push_back(UnitRest(tenths));
    }
    sim::PtyServer& first = ConnectUnit(1, {}, six);
    EditNumber(col::kDuration, 6, 9.0);
    AppendRest(8.0);
    Change(first, [](sim::UnitSimulator& u) { u.InjectFault(Stalls(Command::EventEnquire, 2)); });

    const auto start = SteadyClock::now();
    {
        WhenRequested pulled(
            first,
            [](const sim::LoggedRequest& r) { return IsRequest(r, Command::EventEnquire, 2); },
            [&first] { first.Unplug(); });
        Press(program, Panel::MAIN, Control::UNDO_CHANGES);
    }
    EXPECT_LT(SecondsSince(start), kFailureBudget);
    const std::vector<std::string> messages = NewMessages();
    EXPECT_TRUE(InOrder(
        {"Event #2 Enquired from unit", "Com-port Read Error, Code: -4",
         "No response for event enquire command", "Retrieve table failed", "Undo changes failed"},
        messages))
        << ::testing::PrintToString(messages);
    EXPECT_EQ(grid.RowCount(), 7) << "rows read so far, and the rest as they were";
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(MainStatus(), LostText(first, 1));

    // What the grid holds now is a read that broke off, not only the user's edits: connecting
    // again reads the table afresh rather than keep it.
    ASSERT_TRUE(first.PlugIn());
    Tick();
    ASSERT_TRUE(program.Link().IsConnected()) << MainStatus();
    EXPECT_EQ(grid.RowCount(), 6);
    EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, 6), 1.6);
    EXPECT_FALSE(program.Marks().table_changed);
}

sim::UnitState SerialNumber(uint16_t serial) {
    sim::UnitState state;
    state.serial_number = serial;
    return state;
}

TEST_F(TransferFaultTest, UnpluggedWhileIdle_OnlyNewDevicesProbedAndTheSameUnitTakenBackWithEdits) {
    sim::PtyServer& there_before = AddUnit(3, SerialNumber(77));
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(11), UnitRest(12)});
    EditNumber(col::kDuration, 2, 9.0);
    EditSetup();
    unit.Unplug();
    Tick();
    ASSERT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(MainStatus(), LostText(unit, 1));

    // Another unit plugged in meanwhile is asked once who it is, and left alone.
    sim::PtyServer& stranger = AddUnit(2, SerialNumber(1043));
    for (int tick = 0; tick < 3; ++tick) {
        Tick();
    }
    EXPECT_EQ(Commands(stranger), testing::CommandsOf({Command::Enquire}));
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_EQ(MainStatus(), LostText(unit, 1));

    ASSERT_TRUE(unit.PlugIn());
    Tick();
    ASSERT_TRUE(program.Link().IsConnected()) << MainStatus();
    EXPECT_EQ(program.Link().Settings().port_number, 1);
    EXPECT_EQ(MainStatus(), "Orvane HF # 1042 reconnected on port 1 (ports/COM1 -> " + unit.Path() +
                                "). The edits are not sent yet: \"Accept Changes\" sends them");
    EXPECT_EQ(MainStatusColor(), kColorBlack);
    EXPECT_EQ(there_before.RequestCount(), 0u) << "a device that was there is never probed";
    const testing::Commands reconnect = Commands(unit);
    EXPECT_EQ(std::count(reconnect.begin(), reconnect.end(), CommandCode(Command::EventEnquire)) +
                  std::count(reconnect.begin(), reconnect.end(), CommandCode(Command::SetupGet)),
              0)
        << "the edits are not read over";
    EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, 2), 9.0);
    EXPECT_TRUE(program.Marks().table_changed);
    EXPECT_TRUE(program.Marks().setup_changed);

    Press(program, Panel::MAIN, Control::ACCEPT_CHANGES);
    EXPECT_EQ(UnitEvents(unit), (std::vector<sim::StoredEvent>{UnitRest(11), UnitRest(90)}));
    EXPECT_FALSE(program.Marks().table_changed);
}

TEST_F(TransferFaultTest, UnpluggedWithUnsentEdits_SavedToAFileWhole) {
    sim::PtyServer& unit = ConnectUnit(1, {}, {UnitRest(11)});
    const int tone = AppendRow("Tone");
    EditNumber(col::kStartFrequency, tone, 12000);
    unit.Unplug();
    Tick();
    ASSERT_FALSE(program.Link().IsConnected());

    // Offline: nothing to accept into, but the edits can go on and be kept in a file.
    EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES));
    EXPECT_FALSE(ui.IsDimmed(Panel::MAIN, Control::EVENT_TABLE));
    EXPECT_FALSE(ui.IsDimmed(Panel::MAIN, Control::STORE_EVENTS));
    const std::string path = settings / "kept.tlk";
    ui.AnswerFileSelect({FileChoice::NewFile, path});
    Press(program, Panel::MAIN, Control::STORE_EVENTS);
    EXPECT_EQ(MainStatus(), "Configuration saved successfully");
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[Event 02]"), std::string::npos) << "the tone is saved too:\n" << text;
}

TEST_F(TransferFaultTest, UnpluggedThenTheUserConnectsElsewhere_TheWatchEnds) {
    sim::PtyServer& unit = ConnectUnit(1);
    AddUnit(2, SerialNumber(77));
    unit.Unplug();
    Tick();
    ASSERT_EQ(Connect(2), 0);
    ASSERT_TRUE(unit.PlugIn());
    unit.ClearRequestLog();
    for (int tick = 0; tick < 3; ++tick) {
        Tick();
    }
    EXPECT_EQ(unit.RequestCount(), 0u);
    EXPECT_EQ(program.Identity().SerialNumber(), 77);
}

}  // namespace
}  // namespace keelsong
