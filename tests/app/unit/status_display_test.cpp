// The live status on MAIN: the one-second timer's date, time and idle poll, the status read
// and its payload walk against the simulated unit, and the battery, synchronisation and
// play-state displays with the countdown.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/connection/connection_fixture.h"
#include "app/shell/callbacks.h"
#include "app/unit/enquiry.h"
#include "app/unit/status_display.h"

namespace keelsong {
namespace {

using sim::Fault;
using testing::ConnectionFixture;
using SteadyClock = std::chrono::steady_clock;

constexpr uint8_t kEnquire = 0x45;
constexpr uint8_t kSetTime = 0x41;
constexpr uint8_t kStatusRead = 0x43;

// An Enquire payload with the live-state bytes the displays read.
struct Live {
    uint8_t status_present = 1;
    uint8_t battery_state = 2;
    int8_t battery_level = 87;
    uint8_t sync_state = 0;
    uint8_t play_state = 0;
};

std::vector<uint8_t> EnquirePayload(const Live& live) {
    std::vector<uint8_t> payload(40, 0);
    payload[0] = 0x12;
    payload[1] = 0x04;
    const std::string firmware = "v2.1.4";
    std::copy(firmware.begin(), firmware.end(), payload.begin() + 2);
    payload[28] = 4;
    payload[32] = live.status_present;
    payload[33] = live.battery_state;
    payload[34] = static_cast<uint8_t>(live.battery_level);
    payload[35] = live.sync_state;
    payload[37] = live.play_state;
    payload[38] = 1;
    return payload;
}

class StatusDisplayTest : public ConnectionFixture {
  protected:
    // The ticks (1-based) after which the unit received requests, out of `ticks`.
    std::vector<int> PollingTicks(sim::PtyServer& server, int ticks,
                                  const std::function<void(int)>& before_tick = {}) {
        std::vector<int> polled;
        for (int tick = 1; tick <= ticks; ++tick) {
            if (before_tick) {
                before_tick(tick);
            }
            const size_t before = server.RequestCount();
            Tick();
            if (server.RequestCount() != before) {
                polled.push_back(tick);
            }
        }
        return polled;
    }

    void SetLive(const Live& live, int32_t firmware_version = 131332) {
        program.Identity().StorePayload(EnquirePayload(live));
        program.Identity().firmware_version = firmware_version;
    }

    std::string TempHumi() const { return ui.TextValue(Panel::MAIN, Control::TEMP_HUMI); }
    std::string PlayText() const { return ui.TextValue(Panel::MAIN, Control::PLAY_CODE_MSG); }
};

TEST_F(StatusDisplayTest, Timer_ShowsLocalDateAndTime) {
    struct Case {
        int64_t utc;
        int64_t local_offset;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {1796652309, 3600, "7 Dec.2026", "15:05:09"},  // 2026-12-07 14:05:09 UTC
        {1796686200, 3600, "8 Dec.2026", "00:30:00"},  // 23:30 UTC is the next day at UTC+1
        {1704067199, 0, "31 Dec.2023", "23:59:59"},
        {1704067200, 0, "1 Jan.2024", "00:00:00"},
    };
    for (const Case& c : cases) {
        platform.SetUtcNow(c.utc);
        platform.SetLocalOffset(c.local_offset);
        Tick();
        EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::DATE), c.date);
        EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::TIME), c.time);
    }
    // Other events are not ticks.
    platform.SetUtcNow(1704067200 + 3600);
    Press(program, Panel::MAIN, Control::TIMER, UiEvent::Commit);
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::TIME), "00:00:00");
}

TEST_F(StatusDisplayTest, IdlePoll_EverySixthTick_EnquiryThenStatusRead) {
    sim::PtyServer& server = AddUnit(1);
    OpenConnected(1);
    EXPECT_EQ(PollingTicks(server, 18), (std::vector<int>{6, 12, 18}));
    const std::vector<uint8_t> one_poll = {kEnquire, kSetTime, kStatusRead};
    std::vector<uint8_t> three_polls;
    for (int i = 0; i < 3; ++i) {
        three_polls.insert(three_polls.end(), one_poll.begin(), one_poll.end());
    }
    EXPECT_EQ(Commands(server), three_polls);
    EXPECT_EQ(TempHumi(), "21.5\u00B0C 45.3% RH");
}

TEST_F(StatusDisplayTest, IdlePoll_PostponedByMessagesAndNeverWithoutConnection) {
    sim::PtyServer& server = AddUnit(1);
    OpenConnected(1);
    // A message every fifth second keeps the program from ever being idle long enough.
    EXPECT_TRUE(PollingTicks(server, 30, [&](int tick) {
                    if (tick % 5 == 0) {
                        program.ShowStatusMessage(true, "uploading");
                    }
                }).empty());
    // A message after the fourth quiet tick moves the poll six ticks on.
    EXPECT_EQ(PollingTicks(server, 12,
                           [&](int tick) {
                               if (tick == 5) {
                                   program.ShowStatusMessage(true, "late");
                               }
                           }),
              std::vector<int>{10});

    program.Link().Settings().open = 0;
    EXPECT_TRUE(PollingTicks(server, 30).empty());
}

TEST_F(StatusDisplayTest, FailedPolls_StopAfterThree_ResumedByEnquire) {
    sim::PtyServer& server = AddUnit(1);
    OpenConnected(1);
    Change(server, [](sim::UnitSimulator& unit) { unit.InjectFault(Fault::Drop().Forever()); });

    EXPECT_EQ(PollingTicks(server, 36), (std::vector<int>{6, 12, 18}));
    EXPECT_EQ(Commands(server), std::vector<uint8_t>(9, kEnquire)) << "three attempts a poll";
    EXPECT_EQ(program.Status().Activity().failed_polls, 3);
    EXPECT_EQ(MainStatus(), "No Response Received!");
    EXPECT_EQ(MainStatusColor(), kColorRed);
    EXPECT_TRUE(program.Link().IsConnected()) << "a silent unit whose device stays is kept";

    Change(server, [](sim::UnitSimulator& unit) { unit.ClearFaults(); });
    Press(program, Panel::MAIN, Control::ENQUIRE);
    EXPECT_EQ(program.Status().Activity().failed_polls, 0);
    EXPECT_EQ(PollingTicks(server, 6), std::vector<int>{6});
}

TEST_F(StatusDisplayTest, TimerTicksDuringAnEnquiry_DoNotPollInBetween) {
    // A pop-up inside an operation lets the window's timer tick; the exchange must not be
    // interleaved with a poll.
    sim::PtyServer& server = AddUnit(1);
    OpenConnected(1);
    std::vector<int> polled_inside;
    steps.update_controls_for_unit = [&](Program&) {
        program.Status().Activity().idle_seconds = 10;
        polled_inside = PollingTicks(server, 12);
        EXPECT_FALSE(ui.TextValue(Panel::MAIN, Control::TIME).empty());
    };
    ASSERT_GE(EnquireUnit(program, false), 0);
    EXPECT_TRUE(polled_inside.empty());
    EXPECT_EQ(PollingTicks(server, 1), std::vector<int>{1}) << "polls once the enquiry is over";
}

TEST_F(StatusDisplayTest, UnitUnplugged_DisconnectedAtTheNextTickWithoutAnyExchange) {
    sim::PtyServer& server = AddUnit(1);
    ASSERT_EQ(Connect(1), 0);
    server.ClearRequestLog();
    server.Unplug();
    const auto start = SteadyClock::now();
    Tick();
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    EXPECT_FALSE(program.Link().IsConnected());
    EXPECT_LT(seconds, 0.1);
    const std::string lost = LostText(server, 1);
    EXPECT_EQ(MainStatus(), lost);
    EXPECT_EQ(MainStatusColor(), kColorRed);
    EXPECT_EQ(ConnectStatus(), lost);
    EXPECT_EQ(ui.Tooltip(Panel::CONNECT, Control::STATUS_LINE), lost);
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::DEVICE), "No Connection");
    EXPECT_EQ(ui.Label(Panel::CONNECT, Control::SEARCH), "Find All Units");

    const size_t messages = StatusHistory(Panel::MAIN).size();
    for (int tick = 0; tick < 12; ++tick) {
        Tick();
    }
    EXPECT_EQ(StatusHistory(Panel::MAIN).size(), messages) << "no polls, nothing probed";
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(StatusDisplayTest, StatusRead_FlagsAndWalkOfTheAnswer) {
    struct Case {
        const char* name = "";
        uint8_t type = 4;
        const char* firmware = "v2.1.4";
        uint8_t status_present = 1;
        uint8_t battery_state = 2;
        uint8_t play_state = 0;
        int16_t temperature = 215;
        std::optional<std::vector<uint8_t>> answer =
            std::nullopt;        // replaces the unit's own answer
        int request_flags = -1;  // -1: nothing is sent
        const char* shown = "";
    };
    const Case cases[] = {
        {.name = "idle on battery", .request_flags = 2, .shown = "45.3% RH"},
        {.name = "playing", .play_state = 1, .request_flags = 6, .shown = "21.5°C 45.3% RH"},
        {.name = "charging", .battery_state = 1, .request_flags = 6, .shown = "21.5°C 45.3% RH"},
        {.name = "battery state 3",
         .battery_state = 3,
         .request_flags = 6,
         .shown = "21.5°C 45.3% RH"},
        {.name = "no live state",
         .status_present = 0,
         .play_state = 1,
         .request_flags = 2,
         .shown = "45.3% RH"},
        {.name = "minus 2.5",
         .play_state = 1,
         .temperature = -25,
         .request_flags = 6,
         .shown = "-2.5°C 45.3% RH"},
        {.name = "answer with flags 7",
         .play_state = 1,
         .answer = std::vector<uint8_t>{0x07, 0xEE, 0xEE, 0xC5, 0x01, 0xD7, 0x00},
         .request_flags = 6,
         .shown = "21.5°C 45.3% RH"},
        {.name = "answer with flags 4",
         .play_state = 1,
         .answer = std::vector<uint8_t>{0x04, 0xE7, 0xFF},
         .request_flags = 6,
         .shown = "-2.5°C "},
        {.name = "temperature cut off",
         .play_state = 1,
         .answer = std::vector<uint8_t>{0x06, 0xC5, 0x01, 0xD7},
         .request_flags = 6,
         .shown = "45.3% RH"},
        {.name = "temperature not asked for",
         .answer = std::vector<uint8_t>{0x06, 0xC5, 0x01, 0xD7, 0x00},
         .request_flags = 2,
         .shown = "45.3% RH"},
        // Readings a sensor can give, to its limits, and readings past them: unknown.
        {.name = "-40.0 and 100.0",
         .play_state = 1,
         .answer = std::vector<uint8_t>{0x06, 0xE8, 0x03, 0x70, 0xFE},
         .request_flags = 6,
         .shown = "-40.0°C 100.0% RH"},
        {.name = "85.0 and 0.0",
         .play_state = 1,
         .answer = std::vector<uint8_t>{0x06, 0x00, 0x00, 0x52, 0x03},
         .request_flags = 6,
         .shown = "85.0°C 0.0% RH"},
        {.name = "85.1 and 100.1",
         .play_state = 1,
         .answer = std::vector<uint8_t>{0x06, 0xE9, 0x03, 0x53, 0x03},
         .request_flags = 6,
         .shown = "--.-°C --.-% RH"},
        {.name = "-40.1 and 2996.3",
         .play_state = 1,
         .answer = std::vector<uint8_t>{0x06, 0x0B, 0x75, 0x6F, 0xFE},
         .request_flags = 6,
         .shown = "--.-°C --.-% RH"},
        {.name = "answer without payload",
         .answer = std::vector<uint8_t>{},
         .request_flags = 2,
         .shown = ""},
        {.name = "answer with flags 0",
         .answer = std::vector<uint8_t>{0x00},
         .request_flags = 2,
         .shown = ""},
        {.name = "Orvane LF", .type = 1, .request_flags = -1, .shown = ""},
        {.name = "admin mode", .firmware = "v0.3.1", .request_flags = -1, .shown = ""},
    };
    sim::PtyServer& server = AddUnit(1);
    OpenConnected(1);
    for (const Case& c : cases) {
        Change(server, [&](sim::UnitSimulator& unit) {
            unit.State().device_type = c.type;
            unit.State().firmware = c.firmware;
            unit.State().status_present = c.status_present;
            unit.State().battery_state = c.battery_state;
            unit.State().play_state = c.play_state;
            unit.State().temperature_tenths = c.temperature;
            if (c.answer) {
                unit.InjectFault(Fault::ReplacePayload(*c.answer).OnlyFor(Command::StatusRead));
            }
        });
        program.Identity().SetDeviceType(0);
        ASSERT_GE(EnquireUnit(program, false), 0) << c.name;
        ui.SetText(Panel::MAIN, Control::TEMP_HUMI, "before");
        server.ClearRequestLog();

        EXPECT_EQ(ReadUnitStatus(program), 0) << c.name;
        const std::vector<sim::LoggedRequest> log = server.RequestLog();
        if (c.request_flags < 0) {
            EXPECT_TRUE(log.empty()) << c.name;
        } else {
            ASSERT_EQ(log.size(), 1u) << c.name;
            EXPECT_EQ(log[0].command, kStatusRead) << c.name;
            EXPECT_EQ(log[0].payload, std::vector<uint8_t>{uint8_t(c.request_flags)}) << c.name;
        }
        EXPECT_EQ(TempHumi(), c.shown) << c.name;
    }

    // A status read that gets no answer leaves the text as it was.
    Change(server, [](sim::UnitSimulator& unit) {
        unit.State() = sim::UnitState{};
        unit.InjectFault(Fault::Drop().OnlyFor(Command::StatusRead).Forever());
    });
    ASSERT_GE(EnquireUnit(program, false), 0);
    ui.SetText(Panel::MAIN, Control::TEMP_HUMI, "21.0°C 40.0% RH");
    EXPECT_EQ(ReadUnitStatus(program), -1);
    EXPECT_EQ(TempHumi(), "21.0°C 40.0% RH");
}

TEST_F(StatusDisplayTest, Battery_GaugeTooltipAndCharging) {
    struct Case {
        Live live;
        bool gauge;
        const char* tooltip;
        int value;
        bool charging;
    };
    const Case cases[] = {
        {{.battery_level = 5}, true, "<5%", 0, false},
        {{.battery_level = 6}, true, "6%", 0, false},
        {{.battery_level = 59}, true, "59%", 5, false},
        {{.battery_level = 100}, true, "100%", 10, false},
        {{.battery_level = 0}, true, "<5%", 0, false},
        {{.battery_level = 127}, true, "127%", 10, false},  // beyond the scale: a full gauge
        {{.battery_level = -20}, true, "<5%", 0, false},
        {{.battery_state = 1, .battery_level = 40}, true, "40%", 4, true},
        {{.battery_state = 3, .battery_level = 40}, true, "40%", 4, false},
        {{.battery_level = -1}, false, "", 0, false},
        {{.battery_state = 0, .battery_level = 50}, false, "", 0, false},
        {{.status_present = 0, .battery_state = 1, .battery_level = 50}, false, "", 0, false},
    };
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.live.status_present) + "/" +
                                 std::to_string(c.live.battery_state) + "/" +
                                 std::to_string(c.live.battery_level);
        ui.SetVisible(Panel::MAIN, Control::BATT_ICON, !c.gauge);
        ui.SetVisible(Panel::MAIN, Control::CHARGING_ICON, !c.charging);
        SetLive(c.live);
        ShowBatteryState(program);
        EXPECT_EQ(ui.IsVisible(Panel::MAIN, Control::BATT_ICON), c.gauge) << name;
        EXPECT_EQ(ui.IsVisible(Panel::MAIN, Control::CHARGING_ICON), c.charging) << name;
        if (c.gauge) {
            EXPECT_EQ(ui.Tooltip(Panel::MAIN, Control::BATT_ICON), c.tooltip) << name;
            EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::BATT_ICON), c.value) << name;
        }
    }
}

TEST_F(StatusDisplayTest, Sync_IndicatorFromFirmware2_0_0WithLiveState) {
    const char* texts[] = {"Sync Disabled", "Sync Out",   "Sync Out", "Not Synced", "Syncing",
                           "Synced",        "Not Synced", "Syncing",  "Synced",     ""};
    for (uint8_t code = 0; code <= 9; ++code) {
        SetLive({.sync_state = code}, 131072);
        ShowSyncState(program);
        EXPECT_TRUE(ui.IsVisible(Panel::MAIN, Control::SYNC_ICON)) << int{code};
        EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::SYNC_ICON), code);
        EXPECT_EQ(ui.Tooltip(Panel::MAIN, Control::SYNC_ICON), texts[code]) << int{code};
    }
    SetLive({.sync_state = 5}, 131071);
    ShowSyncState(program);
    EXPECT_FALSE(ui.IsVisible(Panel::MAIN, Control::SYNC_ICON)) << "1.255.255";
    ui.SetVisible(Panel::MAIN, Control::SYNC_ICON, true);
    SetLive({.status_present = 0, .sync_state = 5}, 131332);
    ShowSyncState(program);
    EXPECT_FALSE(ui.IsVisible(Panel::MAIN, Control::SYNC_ICON)) << "no live state";
}

TEST_F(StatusDisplayTest, PlayState_TextsAndPlayStopButtons) {
    struct Case {
        uint8_t status_present;
        int state;
        const char* text;
        bool play_dimmed;
        bool stop_dimmed;
    };
    const Case cases[] = {
        {1, 0, "Stopped (Empty Table)", false, true},
        {1, 1, "Playing", true, false},
        {1, 3, "Stopped", false, true},
        {1, 4, "", false, true},
        {1, 0x101, "Playing", true, false},  // only the low 8 bits count
        {1, 0x1FF, "", false, true},
    };
    for (const Case& c : cases) {
        SetLive({.status_present = c.status_present});
        ui.SetDimmed(Panel::MAIN, Control::PLAY, !c.play_dimmed);
        ui.SetDimmed(Panel::MAIN, Control::STOP, !c.stop_dimmed);
        ShowPlayState(program, c.state);
        EXPECT_EQ(PlayText(), c.text) << c.state;
        EXPECT_EQ(ui.IsDimmed(Panel::MAIN, Control::PLAY), c.play_dimmed) << c.state;
        EXPECT_EQ(ui.IsDimmed(Panel::MAIN, Control::STOP), c.stop_dimmed) << c.state;
    }
    // Without live state the text is empty; only a flag of exactly 1 sets the buttons.
    for (const uint8_t present : {0, 2}) {
        SetLive({.status_present = present});
        ui.SetDimmed(Panel::MAIN, Control::PLAY, true);
        ui.SetDimmed(Panel::MAIN, Control::STOP, true);
        ShowPlayState(program, 3);
        EXPECT_EQ(PlayText(), present ? "Stopped" : "") << int{present};
        EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::PLAY)) << int{present};
        EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::STOP)) << int{present};
    }
}

TEST_F(StatusDisplayTest, Countdown_BoundariesBelongToTheSmallerUnit) {
    struct Case {
        int64_t remaining;
        const char* text;
    };
    const Case cases[] = {
        {-86'400, "Play in < 1 min"},    {0, "Play in < 1 min"},
        {60, "Play in < 1 min"},         {61, "Play in 1 minutes"},
        {3'599, "Play in 59 minutes"},   {3'600, "Play in 60 minutes"},
        {3'601, "Play in 1 hours"},      {86'400, "Play in 24 hours"},
        {86'401, "Play in 1 days"},      {2'592'000, "Play in 30 days"},
        {2'592'001, "Play in 1 months"}, {31'536'000, "Play in 12 months"},
        {31'536'001, "Play in 1 years"}, {400'000'000, "Play in 12 years"},
    };
    // The unit's clock runs 1000 s behind the PC's; the start time is on the unit's clock.
    const int64_t pc_now = 1'700'000'000;
    const int32_t offset = 1000;
    platform.SetUtcNow(pc_now);
    for (const Case& c : cases) {
        SetLive({.play_state = 2});
        program.Identity().clock_offset = offset;
        program.CurrentUnitSetup().start_time =
            static_cast<int32_t>((pc_now - offset) + c.remaining);
        ShowPlayState(program, 2);
        EXPECT_EQ(PlayText(), c.text) << c.remaining;
        EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::PLAY));
        EXPECT_FALSE(ui.IsDimmed(Panel::MAIN, Control::STOP));
    }
    // Before any setup was read the start time is 0: long passed.
    program.CurrentUnitSetup() = UnitSetup{};
    ShowPlayState(program, 2);
    EXPECT_EQ(PlayText(), "Play in < 1 min");
}

}  // namespace
}  // namespace keelsong
