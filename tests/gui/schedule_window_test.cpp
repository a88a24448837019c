// The schedule in the real window, offscreen: the strip and the totals line follow the grid
// and the setup controls and are dimmed with the grid; "Export Report…" writes a PDF.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "app/events/event_grid.h"
#include "app/shell/program.h"
#include "gui/qt_ui.h"
#include "gui/timeline_view.h"
#include "gui_support.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

class ScheduleWindowTest : public ::testing::Test, public testing::WithApplication {
  protected:
    ScheduleWindowTest() {
        program_.SetUnit({device_type::kOrvaneHf, 0x020104, 21});
        ui_.Attach(program_);
    }
    ~ScheduleWindowTest() override { ui_.Detach(); }

    QString Totals() const {
        return ui_.MainWindow()->findChild<QLabel*>(QStringLiteral("scheduleTotals"))->text();
    }

    testing::TempDir temp_;
    testing::FakePlatform platform_;
    testing::FakeSerialPort port_;
    QtUi ui_;
    Program program_{ui_, port_, platform_};
};

TEST_F(ScheduleWindowTest, GridAndRepeatControls_TotalsFollowThemStripDimmedWithTheGrid) {
    TimelineView* strip = ui_.Timeline();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(Totals(), QString());
    EventBody rest{};
    rest[0] = 125;  // 12.5 s
    EventToRow(program_, rest, TypeCode(EventType::Rest), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Totals().startsWith(QStringLiteral("One play 12.5 s \u00B7 continuous")));

    // Set by the program, as a setup read from the unit sets them.
    ui_.SetInt(Panel::MAIN, Control::CONTINUOUS, 1);
    ui_.SetInt(Panel::MAIN, Control::PLAYBACKS, 3);
    ui_.SetDouble(Panel::MAIN, Control::REST_TIME, 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(Totals().toStdString(), "One play 12.5 s \u00B7 3 plays, 30 s apart: 1 min 37.5 s");

    ui_.SetDimmed(Panel::MAIN, Control::EVENT_TABLE, true);
    EXPECT_FALSE(strip->isEnabled());
    ui_.SetDimmed(Panel::MAIN, Control::EVENT_TABLE, false);
    EXPECT_TRUE(strip->isEnabled());
}

TEST_F(ScheduleWindowTest, ExportReport_DialogInConfigPathNameGetsPdf) {
    program_.Settings().ConfigFolder() = temp_.Path();
    std::string folder;
    ui_.SetPopupDriver([&folder](QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        if (!files) {
            dialog.reject();
            return;
        }
        folder = files->directory().absolutePath().toStdString();
        if (auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            QApplication::setActiveWindow(files);
            edit->setFocus();
            edit->setText(QStringLiteral("deployment"));
        }
        dialog.accept();
    });
    qobject_cast<QPushButton*>(ui_.ControlWidget(Panel::MAIN, Control::EXPORT_REPORT))->click();
    EXPECT_EQ(folder, temp_.Path());
    EXPECT_EQ(ui_.TextValue(Panel::MAIN, Control::STATUS_LINE), "Report saved successfully");
    std::ifstream pdf(temp_ / "deployment.pdf", std::ios::binary);
    std::string header(5, '\0');
    pdf.read(header.data(), 5);
    EXPECT_EQ(header, "%PDF-");
}

}  // namespace
}  // namespace keelsong
