// The setup against the simulated unit over a real pseudo-terminal: the enquiry picks the
// form through the installed setup panel, the setup read fills the controls, an edited setup
// sent comes back the same, and a setup in the wrong form is refused by the unit.
#include <gtest/gtest.h>

#include "app/setup/setup_panel.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "headless/headless_ui.h"
#include "platform/posix_serial_port.h"
#include "sim/pty_server.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

struct SetupOverPty : ::testing::Test {
    void Serve(const sim::UnitState& state) {
        server = std::make_unique<sim::PtyServer>(sim::PtyServerOptions{}, [&] {
            sim::UnitSimulator unit;
            unit.State() = state;
            return unit;
        }());
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
        ASSERT_EQ(port.OpenPath(server->Path()), 0);
        port.SetTimeout(0.5);
        InstallSetupPanel(program);
        ASSERT_GE(EnquireUnit(program, false), 0);
    }

    sim::SetupState UnitSetupNow() {
        return server->WithSimulator([](sim::UnitSimulator& unit) { return unit.Setup(); });
    }

    std::string StatusText() const { return ui.TextValue(Panel::MAIN, Control::STATUS_LINE); }

    testing::TempDir settings;
    std::unique_ptr<sim::PtyServer> server;
    HeadlessUi ui;
    testing::FakePlatform platform;
    PosixSerialPort port{PortDirectory(settings.Path())};
    Program program{ui, port, platform};
};

TEST_F(SetupOverPty, OrvaneHf214_ReadEditSendReadBack) {
    platform.SetLocalOffset(3600);
    Serve({});  // the simulator's default unit: an Orvane HF with firmware 2.1.4
    EXPECT_EQ(program.Unit().setup_format, setup_format::kTagged);
    EXPECT_FALSE(ui.IsDimmed(Panel::MAIN, Control::ENABLE_START_TIME));

    ASSERT_EQ(ReadUnitSetup(program).code, 0) << StatusText();
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::SYNC_MODE), 4);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::CONTINUOUS), 0);
    EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 30.0);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::ENABLE_START_TIME), 0);

    ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 1);
    ui.SetInt(Panel::MAIN, Control::PLAYBACKS, 12);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 3024000.0);  // the HF's longest rest
    ui.SetInt(Panel::MAIN, Control::SYNC_MODE, 1);
    ui.SetInt(Panel::MAIN, Control::ENCODE_TIME, 1);
    ui.SetInt(Panel::MAIN, Control::MAG_SWITCH, 1);
    ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 1);
    ui.SetInt(Panel::MAIN, Control::YEAR, 2024);
    ui.SetInt(Panel::MAIN, Control::MONTH, 2);
    ui.SetInt(Panel::MAIN, Control::DAY, 1);
    ui.SetInt(Panel::MAIN, Control::HOUR, 12);
    ui.SetInt(Panel::MAIN, Control::MIN, 30);
    ASSERT_EQ(SendUnitSetup(program).code, 0) << StatusText();
    EXPECT_EQ(StatusText(), "Settings accepted sucessfully");

    const sim::SetupState held = UnitSetupNow();
    EXPECT_EQ(held.aux_function, 1u);
    EXPECT_EQ(held.start_time, 1709292600);
    EXPECT_EQ(held.number_of_plays, 12u);
    EXPECT_EQ(held.time_between_repeats, 30240000u);
    EXPECT_EQ(held.magnetic_switch, 1u);
    EXPECT_EQ(held.aux_messages, 1u);
    EXPECT_EQ(program.CurrentUnitSetup().start_time, 1709292600);

    // The unit's setup changes behind the program's back; reading it shows the change.
    server->WithSimulator([](sim::UnitSimulator& unit) {
        unit.Setup().start_time = -1;
        unit.Setup().aux_function = 0;
    });
    ASSERT_EQ(ReadUnitSetup(program).code, 0) << StatusText();
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::ENABLE_START_TIME), 0);
    EXPECT_EQ(ui.IntValue(Panel::MAIN, Control::SYNC_MODE), 0);
    EXPECT_EQ(ui.Label(Panel::MAIN, Control::ENCODE_TIME), "Decode time from PPS");
    EXPECT_EQ(program.CurrentUnitSetup().start_time, -1);
}

TEST_F(SetupOverPty, OrvaneLf_ShortFormWithTheLongestRest) {
    sim::UnitState lf;
    lf.device_type = device_type::kOrvaneLf;
    lf.firmware = "v1.1.3";
    Serve(lf);
    EXPECT_EQ(program.Unit().setup_format, setup_format::kShortLf);
    EXPECT_TRUE(ui.IsDimmed(Panel::MAIN, Control::SYNC_MODE));

    ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 0);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 429496729.0);
    ui.SetInt(Panel::MAIN, Control::MAG_SWITCH, 1);
    ASSERT_EQ(SendUnitSetup(program).code, 0) << StatusText();
    EXPECT_EQ(StatusText(), "Accept settings successfully");
    EXPECT_EQ(UnitSetupNow().time_between_repeats, 4294967290u);

    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 0);
    ASSERT_EQ(ReadUnitSetup(program).code, 0) << StatusText();
    EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 429496729.0);
}

TEST_F(SetupOverPty, UnitUpdatedWithoutNewEnquiry_ShortFormRefusedUntilTheSetupIsRead) {
    sim::UnitState older;
    older.firmware = "v1.9.9";
    Serve(older);
    ASSERT_EQ(program.Unit().setup_format, setup_format::kShortHf);
    // The unit now runs 2.0.0 firmware and speaks the tagged form.
    server->WithSimulator([](sim::UnitSimulator& unit) { unit.State().firmware = "v2.0.0"; });
    const sim::SetupState before = UnitSetupNow();
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 9.0);

    EXPECT_EQ(SendUnitSetup(program).code, -1);
    EXPECT_EQ(StatusText(), "Setup failed");
    EXPECT_EQ(UnitSetupNow(), before);
    EXPECT_EQ(SendUnitSetup(program).code, -1);
    EXPECT_EQ(StatusText(), "Unsupported unit type");

    ASSERT_EQ(ReadUnitSetup(program).code, 0) << StatusText();
    EXPECT_EQ(program.Unit().setup_format, setup_format::kTagged);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 9.0);
    ASSERT_EQ(SendUnitSetup(program).code, 0) << StatusText();
    EXPECT_EQ(UnitSetupNow().time_between_repeats, 90u);
}

}  // namespace
}  // namespace keelsong
