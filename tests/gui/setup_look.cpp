// Renders MAIN offscreen for an Orvane HF 2.1.4 and an Orvane LF with a setup shown, so the
// setup groups can be looked at: the whole window and a close-up of the setup groups.
//
//   QT_QPA_PLATFORM=offscreen setup_look /tmp/keelsong-setup
#include <QApplication>
#include <QDeadlineTimer>
#include <QPixmap>
#include <QStyleFactory>
#include <QWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "app/setup/setup_panel.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "gui/qt_ui.h"
#include "protocol/frame.h"
#include "protocol/unit_setup.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"

namespace {

using namespace keelsong;

void Settle(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void Identify(Program& program, uint8_t type, const char* firmware) {
    std::vector<uint8_t> payload(kIdentityPayloadBytes, 0);
    WriteLe16(&payload[0], 1042);
    for (size_t i = 0; firmware[i] != 0 && i < kFirmwareTextBytes; ++i) {
        payload[kFirmwareTextOffset + i] = static_cast<uint8_t>(firmware[i]);
    }
    payload[UnitIdentity::kDeviceTypeOffset] = type;
    payload[UnitIdentity::kStatusPresentOffset] = 1;
    program.Identity().StorePayload(payload);
    program.Identity().firmware_version = *ParseFirmwareText(firmware);
    ChooseSetupFormat(program);
    UpdateControlsForUnit(program);
    ShowIdentity(program, true);
}

// The bounding box of the setup controls, with a margin.
QRect SetupArea(QtUi& ui) {
    QRect area;
    for (Control control : {Control::CONTINUOUS, Control::PLAYBACKS, Control::REST_TIME,
                            Control::ENABLE_START_TIME, Control::YEAR, Control::MONTH, Control::DAY,
                            Control::HOUR, Control::MIN, Control::TEXTMSG_ON, Control::SYNC_MODE,
                            Control::ENCODE_TIME, Control::MAG_SWITCH, Control::ADVANCED}) {
        QWidget* widget = ui.ControlWidget(Panel::MAIN, control);
        if (widget && widget->isVisible()) {
            const QPoint origin = widget->mapTo(ui.MainWindow(), QPoint(0, 0));
            area = area.united(QRect(origin, widget->size()));
        }
    }
    return area.adjusted(-40, -40, 40, 20).intersected(ui.MainWindow()->rect());
}

bool Render(const std::string& prefix, uint8_t type, const char* firmware,
            const std::vector<uint8_t>& record) {
    QtUi ui;
    testing::FakePlatform platform;
    platform.SetUtcNow(1709292600);
    platform.SetLocalOffset(3600);
    testing::FakeSerialPort port;
    Program program(ui, port, platform);
    InstallSetupPanel(program);
    ui.MainWindow()->show();
    Identify(program, type, firmware);
    DecodeSetup(program, record, true);
    MarkSetupChanged(program, false);
    Settle(300);
    const std::string whole = prefix + ".png";
    const std::string close_up = prefix + "-groups.png";
    const bool saved = ui.SavePanelPicture(Panel::MAIN, whole) == 0;
    const QPixmap picture = ui.MainWindow()->grab(SetupArea(ui));
    const bool cropped = picture.scaled(picture.size() * 2).save(QString::fromStdString(close_up));
    std::printf("%s %s\n", whole.c_str(), close_up.c_str());
    return saved && cropped;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_PREFIX\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const std::string prefix = argv[1];
    const std::vector<uint8_t> tagged = {
        0x15, 0x00, 0x06, 0x00,                          // format 21, six items
        0x00, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // sync out
        0x01, 0x00, 0x04, 0x00, 0x38, 0xBC, 0xE1, 0x65,  // 2024-03-01 12:30 at UTC+1
        0x02, 0x00, 0x04, 0x00, 0x05, 0x00, 0x00, 0x00,  // five plays
        0x03, 0x00, 0x04, 0x00, 0x2C, 0x01, 0x00, 0x00,  // 30.0 s
        0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // magnetic switch on
        0x05, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00,  // AUX messages on
    };
    // Continuous, the longest rest an Orvane LF holds (429496729.0 s), magnetic switch on.
    const std::vector<uint8_t> short_lf = {0x0E, 0x00, 0x00, 0x00, 0xFA, 0xFF, 0xFF, 0xFF, 0x01};
    const bool ok = Render(prefix + "-hf214", 4, "v2.1.4", tagged) &&
                    Render(prefix + "-lf", 1, "v1.1.3", short_lf);
    return ok ? 0 : 1;
}
