// SetupGet and SetupSet as the program sends them and what it makes of the answers.
#include <gtest/gtest.h>

#include <map>

#include "app/setup/setup_fixture.h"

namespace keelsong {
namespace {

using testing::Bytes;
using testing::RequestPayload;
using testing::SetupFixture;
using testing::UnitDescription;

constexpr uint8_t kSetupGet = 0x46;
constexpr uint8_t kSetupSet = 0x44;

constexpr UnitDescription kLf{device_type::kOrvaneLf, 0x010103};
constexpr UnitDescription kHf{device_type::kOrvaneHf, 0x020104};
constexpr UnitDescription kHfR1{device_type::kOrvaneHfR1, 0x020104};

// Every setup control's value, dimmed state and label: what "nothing changed" compares.
using ControlPicture = std::map<Control, std::tuple<std::string, bool, std::string>>;
ControlPicture Picture(const HeadlessUi& ui) {
    ControlPicture picture;
    for (Control control :
         {Control::CONTINUOUS, Control::PLAYBACKS, Control::REST_TIME, Control::ENABLE_START_TIME,
          Control::YEAR, Control::MONTH, Control::DAY, Control::HOUR, Control::MIN,
          Control::TEXTMSG_ON, Control::SYNC_MODE, Control::ENCODE_TIME, Control::MAG_SWITCH}) {
        picture[control] = {ui.TextValue(Panel::MAIN, control), ui.IsDimmed(Panel::MAIN, control),
                            ui.Label(Panel::MAIN, control)};
    }
    return picture;
}

struct SetupTransferTest : SetupFixture {
    // The panel as a user might leave it on an Orvane HF 2.1.4.
    void FillPanel() {
        ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 1);
        ui.SetInt(Panel::MAIN, Control::PLAYBACKS, 3);
        ui.SetDouble(Panel::MAIN, Control::REST_TIME, 7.5);
        ui.SetInt(Panel::MAIN, Control::SYNC_MODE, 2);
        ui.SetInt(Panel::MAIN, Control::ENCODE_TIME, 1);
        ui.SetInt(Panel::MAIN, Control::MAG_SWITCH, 1);
        ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 0);
    }
    Bytes LastRequest() const { return port.Written().empty() ? Bytes{} : port.Written().back(); }
};

TEST_F(SetupTransferTest, OrvaneLfShortForm_WorkedExampleSentAndAnswerAdopted) {
    Identify(kLf);
    ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 0);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 12.5);
    ui.SetInt(Panel::MAIN, Control::MAG_SWITCH, 1);
    const Bytes record = {0x0E, 0x00, 0x00, 0x00, 0x7D, 0x00, 0x00, 0x00, 0x01};
    AnswerWith(record);

    EXPECT_EQ(SendUnitSetup(program).code, 0);
    ASSERT_EQ(port.Written().size(), 1u);
    EXPECT_EQ(LastRequest()[1], kSetupSet);
    EXPECT_EQ(RequestPayload(LastRequest()), record);
    EXPECT_EQ(StatusText(), "Accept settings successfully");
    EXPECT_EQ(StatusColor(), kColorBlack);
    EXPECT_EQ(program.CurrentUnitSetup().time_between_repeats, 125u);
    EXPECT_EQ(program.CurrentUnitSetup().magnetic_switch, 1u);
}

TEST_F(SetupTransferTest, TaggedForm_WorkedExampleSent) {
    Identify(kHf);
    ui.SetInt(Panel::MAIN, Control::SYNC_MODE, 4);
    ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 0);
    ui.SetInt(Panel::MAIN, Control::CONTINUOUS, 0);
    ui.SetDouble(Panel::MAIN, Control::REST_TIME, 30.0);
    ui.SetInt(Panel::MAIN, Control::MAG_SWITCH, 0);
    ui.SetInt(Panel::MAIN, Control::ENCODE_TIME, 0);
    const Bytes expected = {
        0x15, 0x00, 0x06, 0x00,                          // format 21, six items
        0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x00,  // sync disabled
        0x01, 0x00, 0x04, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,  // no start time
        0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,  // continuous
        0x03, 0x00, 0x04, 0x00, 0x2C, 0x01, 0x00, 0x00,  // 30.0 s
        0x04, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,  // magnetic switch off
        0x05, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,  // AUX messages off
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // filler
    };
    AnswerWith(Bytes(expected.begin(), expected.begin() + 52));

    EXPECT_EQ(SendUnitSetup(program).code, 0);
    EXPECT_EQ(RequestPayload(LastRequest()), expected);
    EXPECT_EQ(StatusText(), "Settings accepted sucessfully");
    EXPECT_EQ(program.CurrentUnitSetup().start_time, -1);
    EXPECT_EQ(program.Unit().setup_format, 21);
}

TEST_F(SetupTransferTest, TaggedRecordRead_OddItemSkippedUnknownTagReportedMissingTagKept) {
    Identify(kHf);
    ui.SetInt(Panel::MAIN, Control::YEAR, 2031);
    ui.SetInt(Panel::MAIN, Control::ENABLE_START_TIME, 1);
    program.CurrentUnitSetup().start_time = 1234;
    AnswerWith({
        0x00,                                            // not examined
        0x15, 0x00, 0x05, 0x00,                          // format 21, five items
        0x02, 0x00, 0x02, 0x00, 0x63, 0x00,              // two-byte item: stepped over
        0x07, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // tag 7: unknown
        0x00, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // sync out
        0x02, 0x00, 0x04, 0x00, 0x05, 0x00, 0x00, 0x00,  // five plays
        0x03, 0x00, 0x04, 0x00, 0x64, 0x00, 0x00, 0x00,  // 10.0 s
    });

    EXPECT_EQ(ReadUnitSetup(program).code, 0);
    EXPECT_EQ(RequestPayload(LastRequest()), (Bytes{0x15, 0x00}));
    const auto& history = ui.History(Panel::MAIN, Control::STATUS_LINE);
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(std::get<std::string>(history.back().value), "Unknown setup tag returned, Code: 7");
    EXPECT_EQ(Int(Control::SYNC_MODE), 1);
    EXPECT_EQ(ui.Label(Panel::MAIN, Control::ENCODE_TIME), "Encode time in PPS");
    EXPECT_EQ(Int(Control::PLAYBACKS), 5);
    EXPECT_DOUBLE_EQ(ui.DoubleValue(Panel::MAIN, Control::REST_TIME), 10.0);
    // No tag 1: the start time stays as it was, on the panel and in memory.
    EXPECT_EQ(Int(Control::YEAR), 2031);
    EXPECT_EQ(Int(Control::ENABLE_START_TIME), 1);
    const UnitSetup expected{1, 1234, 5, 100, 0, 0};
    EXPECT_EQ(program.CurrentUnitSetup(), expected);
}

TEST_F(SetupTransferTest, UnknownFormatCode_ControlsKeptFormatAdoptedSendRefused) {
    Identify(kHf);
    FillPanel();
    const ControlPicture before = Picture(ui);
    AnswerWith({0x00, 0x13, 0x00, 0x01, 0x00, 0x02, 0x00, 0x04, 0x00, 0x09, 0x00, 0x00, 0x00});

    EXPECT_EQ(ReadUnitSetup(program).code, -1);
    EXPECT_EQ(StatusText(), "Unrecognised device setup");
    EXPECT_EQ(StatusColor(), kColorRed);
    EXPECT_EQ(Picture(ui), before);
    EXPECT_EQ(program.CurrentUnitSetup(), UnitSetup{});
    EXPECT_EQ(program.Unit().setup_format, 0x13);

    const size_t written = port.Written().size();
    EXPECT_EQ(SendUnitSetup(program).code, -1);
    EXPECT_EQ(StatusText(), "Unsupported unit type");
    EXPECT_EQ(port.Written().size(), written);
}

TEST_F(SetupTransferTest, FailedExchanges_MessageAndNothingShown) {
    struct Case {
        const char* name;
        UnitDescription unit;
        std::optional<Bytes> answer;  // nullopt: the unit stays silent
        Outcome (*operation)(Program&);
        const char* message;
    };
    const Case cases[] = {
        {"short set, silent", kLf, std::nullopt, SendUnitSetup,
         "No response for send setup command"},
        {"short set, record not recognised", kLf, Bytes{0x00, 0x00}, SendUnitSetup, "Setup failed"},
        {"tagged set, silent", kHf, std::nullopt, SendUnitSetup, "No response for setup command"},
        {"tagged set, record not recognised", kHf, Bytes{0x00, 0x00}, SendUnitSetup,
         "Setup was not accepted"},
        {"get, answer without a record", kHf, Bytes{0x00}, ReadUnitSetup,
         "Unrecognised device setup"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Identify(c.unit);
        FillPanel();
        const ControlPicture before = Picture(ui);
        if (c.answer) {
            AnswerWith(*c.answer);
        } else {
            port.SetResponder(nullptr);
        }
        const Outcome outcome = c.operation(program);
        EXPECT_EQ(outcome.code, -1);
        // What the caller is handed is what the user was shown.
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(StatusText(), c.message);
        EXPECT_EQ(StatusColor(), kColorRed);
        EXPECT_EQ(Picture(ui), before);
        EXPECT_EQ(program.CurrentUnitSetup(), UnitSetup{});
    }
}

TEST_F(SetupTransferTest, OrvaneHfR1_ReadLeavesClockControlsAndFileSetupIsNotRemembered) {
    Identify(kHfR1);
    ui.SetInt(Panel::MAIN, Control::SYNC_MODE, 4);
    ui.SetInt(Panel::MAIN, Control::YEAR, 2031);
    ui.SetInt(Panel::MAIN, Control::ENCODE_TIME, 1);
    AnswerWith({0x00, 0x11, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(ReadUnitSetup(program).code, 0);
    EXPECT_EQ(Int(Control::SYNC_MODE), 4);
    EXPECT_EQ(Int(Control::YEAR), 2031);
    EXPECT_EQ(Int(Control::ENCODE_TIME), 1);
    const UnitSetup read = program.CurrentUnitSetup();

    // A configuration file's tagged record while the HF(R1) is connected.
    const Bytes from_file = {
        0x15, 0x00, 0x03, 0x00,                          // format 21, three items
        0x00, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // sync out
        0x01, 0x00, 0x04, 0x00, 0x38, 0xBC, 0xE1, 0x65,  // a start time
        0x05, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // AUX messages on
    };
    EXPECT_EQ(DecodeSetup(program, from_file, false), 0);
    EXPECT_EQ(Int(Control::SYNC_MODE), 1);
    EXPECT_EQ(Int(Control::YEAR), 2031);
    EXPECT_EQ(Int(Control::ENCODE_TIME), 0);
    EXPECT_EQ(program.CurrentUnitSetup(), read);
    EXPECT_EQ(program.Unit().setup_format, setup_format::kShortHf);
}

}  // namespace
}  // namespace keelsong
