// The four forms, offscreen: every control the logic names is on its panel, of the right kind,
// with the caption or items the user is meant to see; mnemonics do not clash; the status
// pictures follow their values.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <map>
#include <optional>
#include <set>

#include "gui/indicator_icons.h"
#include "gui/mnemonics.h"
#include "gui/qt_ui.h"
#include "gui_support.h"

namespace keelsong {
namespace {

enum class Kind { Button, Check, Ring, Integer, Real, Text, Edit, List, Grid, Icon, Timer };
using Items = std::vector<std::pair<std::string, int>>;

struct Expected {
    Kind kind;
    std::optional<std::string> label;  // nullopt: the caption is the form's own choice
    Items items = {};
};

const Items kMonths = {{"Jan", 0}, {"Feb", 1}, {"Mar", 2}, {"Apr", 3}, {"May", 4},  {"Jun", 5},
                       {"Jul", 6}, {"Aug", 7}, {"Sep", 8}, {"Oct", 9}, {"Nov", 10}, {"Dec", 11}};

const std::map<std::pair<Panel, Control>, Expected>& ExpectedControls() {
    using enum Control;
    constexpr Panel M = Panel::MAIN, C = Panel::CONNECT, A = Panel::ADVANCED, W = Panel::AUTO;
    static const std::map<std::pair<Panel, Control>, Expected> table = {
        {{M, EVENT_TABLE}, {Kind::Grid, "Event Table"}},
        {{M, EVENT_ADD}, {Kind::Button, "Append Event"}},
        {{M, EVENT_INSERT}, {Kind::Button, "Insert Above"}},
        {{M, EVENT_REM}, {Kind::Button, "Remove Event"}},
        {{M, CLEAR_TABLE}, {Kind::Button, "Clear Table"}},
        {{M, CONTINUOUS},
         {Kind::Ring, std::nullopt, {{"Continuous Repeat", 0}, {"Number of Repeats", 1}}}},
        {{M, PLAYBACKS}, {Kind::Integer, std::nullopt}},
        {{M, REST_TIME}, {Kind::Real, "Time Between Repeats (sec)"}},
        {{M, ENABLE_START_TIME}, {Kind::Check, "Enable:"}},
        {{M, TEXTMSG_ON}, {Kind::Text, "On"}},
        {{M, YEAR}, {Kind::Integer, std::nullopt}},
        {{M, MONTH}, {Kind::Ring, std::nullopt, kMonths}},
        {{M, DAY}, {Kind::Integer, std::nullopt}},
        {{M, HOUR}, {Kind::Integer, std::nullopt}},
        {{M, MIN}, {Kind::Integer, std::nullopt}},
        {{M, SYNC_MODE},
         {Kind::Ring,
          std::nullopt,
          {{"Sync In - Falling Edge", 0},
           {"Sync In - Rising Edge", 2},
           {"Sync Out - Falling Edge", 1},
           {"Disabled", 4}}}},
        {{M, ENCODE_TIME}, {Kind::Check, "Decode time from PPS"}},
        {{M, MAG_SWITCH}, {Kind::Check, " Enable Magnetic Switch"}},
        {{M, ADVANCED}, {Kind::Button, "Advanced"}},
        {{M, LOAD_EVENTS}, {Kind::Button, "Load"}},
        {{M, STORE_EVENTS}, {Kind::Button, "Save"}},
        {{M, EXPORT_REPORT}, {Kind::Button, "Export Report…"}},
        {{M, HISTORY}, {Kind::Button, "History…"}},
        {{M, COMPARE_FILE}, {Kind::Button, "Compare With File…"}},
        {{M, UNIT_TYPE},
         {Kind::Ring, std::nullopt, {{"Orvane LF", 1}, {"Orvane HF", 4}, {"Orvane HF(R1)", 6}}}},
        {{M, SCREENSHOT}, {Kind::Button, std::nullopt}},
        {{M, SETSCREENSHOTFOLDER}, {Kind::Button, std::nullopt}},
        {{M, DEVICE}, {Kind::Text, std::nullopt}},
        {{M, BATT_ICON}, {Kind::Icon, std::nullopt}},
        {{M, CHARGING_ICON}, {Kind::Icon, std::nullopt}},
        {{M, SYNC_ICON}, {Kind::Icon, std::nullopt}},
        {{M, PLAY_CODE_MSG}, {Kind::Text, std::nullopt}},
        {{M, TEMP_HUMI}, {Kind::Text, std::nullopt}},
        {{M, DATE}, {Kind::Text, std::nullopt}},
        {{M, TIME}, {Kind::Text, std::nullopt}},
        {{M, TIMER}, {Kind::Timer, std::nullopt}},
        {{M, CONNECTION}, {Kind::Button, "Connect To Orvane"}},
        {{M, ENQUIRE}, {Kind::Button, "Enquire"}},
        {{M, PLAY}, {Kind::Button, "Play"}},
        {{M, STOP}, {Kind::Button, "Stop"}},
        {{M, SET_INSTRUMENT_TIME}, {Kind::Button, "Set Using PC"}},
        {{M, ACCEPT_CHANGES}, {Kind::Button, "Accept Changes"}},
        {{M, UNDO_CHANGES}, {Kind::Button, "Undo Changes"}},
        {{M, QUIT}, {Kind::Button, "Quit"}},
        {{M, STATUS_LINE}, {Kind::Text, std::nullopt}},
        {{C, PORT}, {Kind::Integer, std::nullopt}},
        {{C, COM_TIMEOUT}, {Kind::Integer, "Timeout (ms)"}},
        {{C, LINK_TYPE}, {Kind::Ring, "Connection Type", {{"Serial/USB", 1}, {"Ethernet", 2}}}},
        {{C, URL}, {Kind::Edit, "Address"}},
        {{C, CONNECT}, {Kind::Button, "Manual Connect"}},
        {{C, SEARCH}, {Kind::Button, "   Find All Units   "}},
        {{C, DEVICE_LIST}, {Kind::List, "Units found"}},
        {{C, STATUS_LINE}, {Kind::Text, std::nullopt}},
        {{C, ESCAPE}, {Kind::Button, std::nullopt}},
        {{A, AUTOSAVE}, {Kind::Check, "Save Changes Before Playing"}},
        {{A, APPLY}, {Kind::Button, "Apply"}},
        {{A, CANCEL}, {Kind::Button, "Close"}},
        {{A, FW_STAGE_STR}, {Kind::Text, "Firmware Stage"}},
        {{A, UPDATE_FW}, {Kind::Button, "Update Firmware"}},
        {{A, RESET}, {Kind::Button, "Reset Unit"}},
        {{A, UPDATE_SER_NUM}, {Kind::Button, ""}},
        {{W, TEXTMSG}, {Kind::Text, "Accept changes and start playback?"}},
        {{W, YES}, {Kind::Button, "Accept"}},
        {{W, CANCEL}, {Kind::Button, "Cancel"}},
        {{W, REMEMBER}, {Kind::Check, "Remember my choice"}},
    };
    return table;
}

bool IsKind(QObject* object, Kind kind) {
    switch (kind) {
        case Kind::Button:
            return qobject_cast<QPushButton*>(object);
        case Kind::Check:
            return qobject_cast<QCheckBox*>(object);
        case Kind::Ring:
            return qobject_cast<QComboBox*>(object);
        case Kind::Integer:
            return qobject_cast<QSpinBox*>(object);
        case Kind::Real:
            return qobject_cast<QDoubleSpinBox*>(object);
        case Kind::Text:
            return qobject_cast<QLabel*>(object);
        case Kind::Edit:
            return qobject_cast<QLineEdit*>(object);
        case Kind::List:
            return qobject_cast<QListWidget*>(object);
        case Kind::Grid:
            return qobject_cast<QTableView*>(object);
        case Kind::Icon:
            return qobject_cast<IndicatorIcon*>(object);
        case Kind::Timer:
            return qobject_cast<QTimer*>(object);
    }
    return false;
}

class FormsTest : public ::testing::Test, public testing::WithApplication {
  protected:
    QtUi ui_;
};

TEST_F(FormsTest, FourPanels_LoadWithEveryControlAndTheirTitles) {
    EXPECT_TRUE(ui_.MissingControls().empty());
    EXPECT_EQ(ui_.PanelWidget(Panel::CONNECT)->windowTitle(), "Connection Setup");
    EXPECT_EQ(ui_.PanelWidget(Panel::ADVANCED)->windowTitle(), "Advanced Setup");
    EXPECT_EQ(ui_.PanelWidget(Panel::AUTO)->windowTitle(), "Warning");
}

TEST_F(FormsTest, EveryControl_HasItsKindCaptionAndItems) {
    size_t checked = 0;
    for (Panel panel : kAllPanels) {
        for (Control control : ControlsOf(panel)) {
            SCOPED_TRACE(std::string(PanelName(panel)) + "/" + std::string(ControlName(control)));
            const auto expected = ExpectedControls().find({panel, control});
            ASSERT_NE(expected, ExpectedControls().end()) << "no expectation for this control";
            ++checked;
            QObject* object = ui_.ControlObject(panel, control);
            ASSERT_NE(object, nullptr);
            EXPECT_TRUE(IsKind(object, expected->second.kind));
            if (expected->second.label) {
                EXPECT_EQ(ui_.Label(panel, control), *expected->second.label);
            }
            if (auto* ring = qobject_cast<QComboBox*>(object)) {
                Items items;
                for (int i = 0; i < ring->count(); ++i) {
                    items.emplace_back(ring->itemText(i).toStdString(), ring->itemData(i).toInt());
                }
                EXPECT_EQ(items, expected->second.items);
            }
        }
    }
    EXPECT_EQ(checked, ExpectedControls().size());
}

// The letters that answer Alt+letter on a panel: buttons, check boxes and control captions.
std::multiset<QChar> MnemonicsOf(QWidget* panel) {
    std::multiset<QChar> letters;
    for (QAbstractButton* button : panel->findChildren<QAbstractButton*>()) {
        if (button->window() == panel && !MnemonicOf(button->text()).isNull()) {
            letters.insert(MnemonicOf(button->text()));
        }
    }
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        if (label->window() == panel && label->buddy() && !MnemonicOf(label->text()).isNull()) {
            letters.insert(MnemonicOf(label->text()));
        }
    }
    return letters;
}

TEST_F(FormsTest, Mnemonics_PlayStopQuitKeysAndNoClashOnAnyPanel) {
    auto letter = [&](Control control) {
        return MnemonicOf(
            qobject_cast<QPushButton*>(ui_.ControlWidget(Panel::MAIN, control))->text());
    };
    EXPECT_EQ(letter(Control::PLAY), QChar('P'));
    EXPECT_EQ(letter(Control::STOP), QChar('S'));
    EXPECT_EQ(letter(Control::QUIT), QChar('Q'));
    for (Panel panel : kAllPanels) {
        const std::multiset<QChar> letters = MnemonicsOf(ui_.PanelWidget(panel));
        for (QChar c : letters) {
            EXPECT_EQ(letters.count(c), 1u)
                << PanelName(panel) << ": Alt+" << QString(c).toStdString();
        }
    }
}

struct MnemonicCase {
    const char* label;
    const char* previous;
    const char* expected;
};

TEST(Mnemonics, Relabel_KeepsTheLetterWhereTheNewLabelHasIt) {
    const MnemonicCase cases[] = {
        {"Encode time in PPS", "&Decode time from PPS", "Enco&de time in PPS"},
        {"Disconnect", "   &Find All Units   ", "Disconnect"},
        {"Find All Units", "&Disconnect", "Fin&d All Units"},
        {"R&D", "&Run", "&R&&D"},
        {"Plain", "No letter", "Plain"},
    };
    for (const MnemonicCase& c : cases) {
        const QString relabelled = WithMnemonicOf(c.label, c.previous);
        EXPECT_EQ(relabelled.toStdString(), c.expected);
        EXPECT_EQ(WithoutMnemonic(relabelled).toStdString(), c.label);
    }
}

QImage Picture(IndicatorIcon& icon, int value, QSize size = {40, 20}) {
    icon.resize(size);
    icon.setValue(value);
    return icon.grab().toImage();
}

TEST_F(FormsTest, SyncIcon_OnePicturePerStateGroup) {
    SyncIcon icon;
    // Codes that share a meaning share a picture; different meanings look different.
    const std::vector<std::vector<int>> groups = {{0}, {1, 2}, {3, 6}, {4, 7}, {5, 8}, {9, 200}};
    std::vector<QImage> firsts;
    for (const std::vector<int>& group : groups) {
        const QImage first = Picture(icon, group.front(), {24, 24});
        for (int code : group) {
            EXPECT_EQ(Picture(icon, code, {24, 24}), first) << "code " << code;
        }
        for (const QImage& other : firsts) {
            EXPECT_NE(first, other) << "code " << group.front();
        }
        firsts.push_back(first);
    }
}

TEST_F(FormsTest, BatteryIcon_FillFollowsTheLevelAtAnySize) {
    BatteryIcon icon;
    for (QSize size : {QSize(40, 20), QSize(400, 200)}) {
        const QImage empty = Picture(icon, 0, size);
        const QImage half = Picture(icon, 5, size);
        const int y = size.height() / 2;
        const int quarter = size.width() / 4;
        const int three_quarters = size.width() * 3 / 5;
        EXPECT_NE(half.pixel(quarter, y), empty.pixel(quarter, y)) << size.width();
        EXPECT_EQ(half.pixel(three_quarters, y), empty.pixel(three_quarters, y)) << size.width();
    }
    EXPECT_EQ((icon.setValue(14), icon.value()), 10);
    EXPECT_EQ((icon.setValue(-3), icon.value()), 0);
}

}  // namespace
}  // namespace keelsong
