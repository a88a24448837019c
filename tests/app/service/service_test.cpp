// The serial-number update and "Reset Unit" against simulated units over pseudo-terminals.
#include "app/service/service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "app/events/transfer_fixture.h"
#include "app/state/change_marks.h"

namespace keelsong {
namespace {

using sim::Fault;
using testing::UnitRest;

sim::UnitState QuickUnit() {
    sim::UnitState state;
    state.restart_period = std::chrono::milliseconds(0);
    return state;
}

struct ServiceTest : testing::TransferFixture {
    ServiceTest() { ui.InstallPopup(Panel::ADVANCED); }

    static int Count(const sim::PtyServer& server, Command command) {
        const testing::Commands codes = Commands(server);
        return static_cast<int>(std::count(codes.begin(), codes.end(), CommandCode(command)));
    }
    static uint16_t Serial(sim::PtyServer& server) {
        return server.WithSimulator([](sim::UnitSimulator& u) { return u.State().serial_number; });
    }
};

TEST_F(ServiceTest, SerialNumberAnswers_NothingSentOrTheLow16BitsWritten) {
    struct Case {
        std::optional<std::string> answer;
        std::optional<uint16_t> written;  // nullopt: nothing sent, nothing shown
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt},
        {"0", std::nullopt},
        {"abc", std::nullopt},
        {"70000", 4464},
        {"-1", 65535},
        {" +12x", 12},
    };
    sim::PtyServer& server = ConnectUnit(1, QuickUnit());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.value_or("(cancelled)"));
        server.ClearRequestLog();
        const size_t popups = ui.Popups().size();
        ui.AnswerPrompt(c.answer);

        Press(program, Panel::ADVANCED, Control::UPDATE_SER_NUM);

        if (!c.written) {
            EXPECT_EQ(server.RequestCount(), 0u);
            EXPECT_EQ(ui.Popups().size(), popups + 1) << "only the prompt";
            continue;
        }
        EXPECT_EQ(Serial(server), *c.written);
        EXPECT_EQ(program.Identity().SerialNumber(), *c.written);
        EXPECT_EQ(LastMessage()->title, "Complete");
        EXPECT_EQ(LastMessage()->text, "Serial Number Updated Successfully");
        EXPECT_EQ(MessagePopups("Unit replaced"), 0);
        EXPECT_FALSE(ui.WaitCursor());
        EXPECT_TRUE(ui.IsPopupInstalled(Panel::ADVANCED));
    }
    EXPECT_EQ(ui.Popups().front().title, "Serial Number");
    EXPECT_EQ(ui.Popups().front().text, "Enter Desired Serial Number");
}

TEST_F(ServiceTest, SerialNumberUpdate_EditsNotYetSent_KeptForTheRenumberedUnit) {
    ConnectUnit(1, QuickUnit(), {UnitRest(5)});
    AppendRest(2.0);
    ui.AnswerPrompt("77");
    Press(program, Panel::ADVANCED, Control::UPDATE_SER_NUM);
    ASSERT_EQ(LastMessage()->title, "Complete");

    // Connecting again to the same unit, now under its new number, keeps the edit.
    Disconnect(program);
    ASSERT_EQ(Connect(1), 0);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_TRUE(program.Marks().table_changed);
}

struct FailureCase {
    const char* name;
    std::function<void(sim::UnitSimulator&)> unit;
    const char* text;
    bool port_open;
    int memory_writes;
    uint16_t unit_serial;  // what the unit holds afterwards
};

TEST_F(ServiceTest, SerialNumberUpdate_EveryFailure_PopupAndPort) {
    const char* reconnect = "Error during serial number update.\nCould not reconnect to device.";
    const FailureCase cases[] = {
        {"no answer after the first restart",
         [](sim::UnitSimulator& u) { u.State().silent_after_restart = 1; }, reconnect, false, 0,
         1042},
        {"no answer after the second restart",
         [](sim::UnitSimulator& u) { u.State().silent_after_restart = 2; }, reconnect, false, 1,
         2000},
        {"no admin mode", [](sim::UnitSimulator& u) { u.State().ignore_loader_word = true; },
         "Failed to update seral number.\nCould not enter admin mode.", true, 0, 1042},
        {"write refused", [](sim::UnitSimulator& u) { u.State().refuse_memory_write = 1; },
         "Failed to update seral number.", true, 1, 1042},
        {"number written, unit back in admin mode",
         [](sim::UnitSimulator& u) { u.State().stay_in_loader = true; },
         "The serial number update did not finish.\nThe unit is in admin mode (Orvane HF # 2000 "
         "Admin Mode v0.3.1): it did not start its firmware.\nPower the unit off and on, then "
         "connect again.",
         true, 1, 2000},
    };
    int port = 1;
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::PtyServer& server = ConnectUnit(port++, QuickUnit(), {}, c.unit);
        ui.AnswerPrompt("2000");

        Press(program, Panel::ADVANCED, Control::UPDATE_SER_NUM);

        EXPECT_EQ(LastMessage()->title, "Error");
        EXPECT_EQ(LastMessage()->text, c.text);
        EXPECT_EQ(program.Link().IsConnected(), c.port_open);
        EXPECT_EQ(Count(server, Command::MemoryWrite), c.memory_writes);
        EXPECT_EQ(Serial(server), c.unit_serial);
        EXPECT_FALSE(ui.WaitCursor());
        Disconnect(program);
    }
}

TEST_F(ServiceTest, ResetUnit_QuestionsAndOutcomes) {
    struct Case {
        const char* name;
        bool edited;
        std::optional<int> generic;   // the answer to "Reset Unit", when asked
        std::optional<bool> confirm;  // the answer to "Reset", when asked
        std::function<void(sim::UnitSimulator&)> unit;
        std::optional<std::string> popup;  // nullopt: nothing sent
        bool port_open;
    };
    const auto same = [](sim::UnitSimulator&) {};
    const char* failed = "Reset Failed, please try again.";
    const Case cases[] = {
        {"declined", false, std::nullopt, false, same, std::nullopt, true},
        {"edits, cancelled", true, 3, std::nullopt, same, std::nullopt, true},
        {"confirmed", false, std::nullopt, true, same, "Reset unit successfully", true},
        {"edits, reset and save", true, 1, std::nullopt, same, "Reset unit successfully", true},
        {"edits, reset without saving", true, 2, std::nullopt, same, "Reset unit successfully",
         true},
        {"no answer to the Reset", false, std::nullopt, true,
         [](sim::UnitSimulator& u) {
             u.InjectFault(Fault::Drop().OnlyFor(Command::Reset).Forever());
         },
         failed, true},
        {"no answer after the restart", false, std::nullopt, true,
         [](sim::UnitSimulator& u) { u.State().silent_after_restart = 1; }, failed, false},
        {"back in admin mode", false, std::nullopt, true,
         [](sim::UnitSimulator& u) {
             u.State().in_loader = true;
             u.State().stay_in_loader = true;
         },
         "The unit is in admin mode (Orvane HF # 1042 Admin Mode v0.3.1): it did not start its "
         "firmware.\nPower the unit off and on, then connect again.",
         true},
    };
    int port = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::PtyServer& server = ConnectUnit(port++, QuickUnit(), {UnitRest(5)}, c.unit);
        if (c.edited) {
            AppendRest(2.0);
        }
        if (c.generic) {
            ui.AnswerGeneric(*c.generic);
        }
        if (c.confirm) {
            ui.AnswerConfirm(*c.confirm);
        }
        ui.InstallPopup(Panel::ADVANCED);
        const size_t popups = ui.Popups().size();

        Press(program, Panel::ADVANCED, Control::RESET);

        ASSERT_EQ(ui.Popups().size(), popups + 1 + (c.popup ? 1 : 0));
        EXPECT_EQ(ui.Popups()[popups].title, c.edited ? "Reset Unit" : "Reset");
        EXPECT_EQ(program.Link().IsConnected(), c.port_open);
        if (!c.popup) {
            EXPECT_EQ(server.RequestCount(), 0u);
            EXPECT_EQ(grid.RowCount(), c.edited ? 2 : 1);
        } else if (*c.popup != "Reset unit successfully") {
            EXPECT_EQ(LastMessage()->title, "Error");
            EXPECT_EQ(LastMessage()->text, *c.popup);
            EXPECT_TRUE(ui.IsPopupInstalled(Panel::ADVANCED));
        } else {
            EXPECT_EQ(LastMessage()->title, "Success");
            EXPECT_EQ(LastMessage()->text, *c.popup);
            EXPECT_FALSE(ui.IsPopupInstalled(Panel::ADVANCED));
            const bool saved = c.generic == 1;
            EXPECT_EQ(UnitEvents(server).size(), saved ? 2u : 1u);
            EXPECT_EQ(grid.RowCount(), saved ? 2 : 1) << "read again from the unit";
            EXPECT_EQ(MainStatus(), "Retrieved table and setup successfully");
        }
        EXPECT_FALSE(ui.WaitCursor());
        Disconnect(program);
        MarkTableChanged(program, false);
        MarkSetupChanged(program, false);
    }
}

}  // namespace
}  // namespace keelsong
