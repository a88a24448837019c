// The schedule in the real window, offscreen: the strip and the totals line follow the grid
// and the setup controls and are dimmed with the grid; "Export Report…" writes a PDF.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tuple>
#include <vector>

#include "app/events/event_grid.h"
#include "app/files/config_file_io.h"
#include "app/schedule/report.h"
#include "app/state/program.h"
#include "cli/report_command.h"
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

// With no unit, the window's strip and totals and the command line's report of the same file
// go by the same unit type and show the same events.
TEST_F(ScheduleWindowTest, FileWithoutUnit_StripAndTotalsAsTheCommandLineReportsThem) {
    program_.SetUnit({});  // as the window starts: no unit identified
    const std::string path = temp_ / "every-kind.tlk";
    std::ofstream(path) << "[Event 01]\nEnd Frequency = 20000\nLevel = 0\nStart Frequency = "
                           "5000\nTime = 10\nType = 2\n[Event 02]\nTime = 5\nType = 3\n[Event "
                           "03]\nFrequency = 12000\nLevel = -6\nTime = 25\nType = 5\n[Event "
                           "04]\nFrequency = 10000\nLevel = -3\nPhase = -90\nTime = 1\nType = "
                           "4\n[Setup]\nAUX Function = 1\nAUX Messages = 1\nMagnetic Switch = "
                           "0\nNumber of Plays = 3\nStart Time = 1796796000\nTime Between "
                           "Repeats = 20\n";
    ASSERT_EQ(LoadConfigurationFile(program_, path).code, 0);
    QCoreApplication::processEvents();

    std::optional<ReportContent> report;
    cli::CliRequest request;
    request.command = cli::CommandKind::Report;
    request.file = path;
    request.output = temp_ / "every-kind.pdf";
    cli::FleetSettings settings;
    settings.settings_folder = temp_.Path();
    cli::RunReportCommand(settings, request,
                          [&report](const ReportContent& content, const std::string&) {
                              report = content;
                              return 0;
                          });
    ASSERT_TRUE(report);

    const auto picture = [](const Schedule& schedule) {
        std::vector<std::tuple<int, int32_t, double, double>> segments;
        for (const ScheduleSegment& segment : schedule.segments) {
            segments.emplace_back(segment.row, segment.type, segment.start, segment.end);
        }
        return segments;
    };
    EXPECT_EQ(picture(ui_.Timeline()->CurrentSchedule()), picture(report->schedule));
    EXPECT_EQ(report->schedule.segments.size(), 4u);
    EXPECT_EQ(Totals().toStdString(), report->totals);
    EXPECT_EQ(program_.Grid().Text(grid_column::kType, 4), "Click");

    // With no unit the file's table, start time, PPS messages and repeats can be edited, as for
    // the type the file names; what needs the unit itself cannot be used.
    for (Control control : {Control::EVENT_TABLE, Control::YEAR, Control::MIN, Control::ENCODE_TIME,
                            Control::PLAYBACKS}) {
        EXPECT_FALSE(ui_.IsDimmed(Panel::MAIN, control)) << ControlName(control);
    }
    for (Control control : {Control::ACCEPT_CHANGES, Control::UNDO_CHANGES, Control::PLAY,
                            Control::STOP, Control::SET_INSTRUMENT_TIME, Control::ENQUIRE}) {
        EXPECT_TRUE(ui_.IsDimmed(Panel::MAIN, control)) << ControlName(control);
    }
}

}  // namespace
}  // namespace keelsong
