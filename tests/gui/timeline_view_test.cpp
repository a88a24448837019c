// The schedule strip on its own, offscreen: every event drawn where and as it plays, a click
// that selects its row, the tooltip, and the deployment report as a PDF.
#include "gui/timeline_view.h"

#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QImage>
#include <QTest>
#include <QToolTip>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/events/event_table_fixture.h"
#include "app/schedule/report.h"
#include "gui_support.h"
#include "report/report_pdf.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

namespace col = grid_column;

// How near the picture comes to a colour around a point (a pixel either way: a thin sloping
// line is smoothed over its neighbours), channel by channel.
int ColourDistance(const QImage& picture, const QPoint& at, const QColor& colour) {
    int nearest = 3 * 255;
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor seen = picture.pixelColor(at + QPoint(dx, dy));
            nearest = std::min(nearest, std::abs(seen.red() - colour.red()) +
                                            std::abs(seen.green() - colour.green()) +
                                            std::abs(seen.blue() - colour.blue()));
        }
    }
    return nearest;
}

class TimelineViewTest : public testing::EventTableFixture, public testing::WithApplication {
  protected:
    TimelineViewTest() {
        Connect(Unit::Hf);
        view.resize(840, 104);
    }

    // Forty rows of every kind, half a second each, with rising frequencies.
    void FillForty() {
        const int32_t kinds[] = {TypeCode(EventType::ToneSeconds), TypeCode(EventType::Sweep),
                                 TypeCode(EventType::Click), TypeCode(EventType::Rest)};
        for (int k = 0; k < 40; ++k) {
            const int row = AddRow(kinds[k % 4]);
            program.Grid().SetNumber(col::kDuration, row, 0.5);
            program.Grid().SetNumber(col::kStartFrequency, row, 3000 + 4000 * k);
            program.Grid().SetNumber(col::kEndFrequency, row, 190000 - 4000 * k);
        }
    }

    TimelineView view;
};

TEST_F(TimelineViewTest, FortyRows_EachEventDrawnAsItsKindWhereItPlays) {
    FillForty();
    view.Attach(program);
    const QImage picture = view.grab().toImage();
    EXPECT_EQ(view.DrawnSegments(), 40);

    const Schedule& schedule = view.CurrentSchedule();
    ASSERT_EQ(schedule.segments.size(), 40u);
    const TimelineLayout layout = view.Layout();
    for (const ScheduleSegment& segment : schedule.segments) {
        SCOPED_TRACE(SegmentText(segment));
        if (!segment.start_frequency) {
            continue;  // a rest is a gap
        }
        const double x0 = layout.XOf(segment.start);
        const double x1 = layout.XOf(segment.end);
        const double y0 = layout.YOf(*segment.start_frequency);
        const double y1 = layout.YOf(*segment.end_frequency);
        // A tone's level line and a sweep's slope pass through the middle of their time; a
        // click's tick stands at its start.
        const bool click = segment.type == TypeCode(EventType::Click);
        const QPoint at =
            click ? QPointF(x0 + 1, y0).toPoint() : QPointF((x0 + x1) / 2, (y0 + y1) / 2).toPoint();
        EXPECT_LT(ColourDistance(picture, at, SegmentColor(segment.type)), 60)
            << "at " << at.x() << "," << at.y();
    }
    EXPECT_NE(SegmentColor(TypeCode(EventType::Sweep)), SegmentColor(TypeCode(EventType::Click)));

    // The row being sent is marked across its event's time, as the grid marks it.
    program.Grid().SetTransferMark(9, true);
    const ScheduleSegment& ninth = *SegmentOfRow(schedule, 9);
    const QPoint band(static_cast<int>((layout.XOf(ninth.start) + layout.XOf(ninth.end)) / 2),
                      static_cast<int>(layout.Plot().top()) + 3);
    EXPECT_LT(ColourDistance(view.grab().toImage(), band, TransferMarkColor()), 20);

    // An edit of a cell is shown on the next turn of the event loop.
    const double play = schedule.play_seconds;
    program.Grid().SetNumber(col::kDuration, 1, 2.0);
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(view.CurrentSchedule().play_seconds, play + 1.5);
}

TEST_F(TimelineViewTest, ClickAndHover_SelectAndNameTheRowUnderTheMouse) {
    FillForty();
    view.Attach(program);
    view.show();
    const TimelineLayout layout = view.Layout();
    const int y = static_cast<int>(layout.Plot().center().y());
    for (int row : {17, 3, 40}) {
        const ScheduleSegment* segment = SegmentOfRow(view.CurrentSchedule(), row);
        ASSERT_NE(segment, nullptr);
        const QPoint at(
            static_cast<int>((layout.XOf(segment->start) + layout.XOf(segment->end)) / 2), y);
        QTest::mouseClick(&view, Qt::LeftButton, {}, at);
        EXPECT_EQ(program.Grid().ActiveCell().row, row);

        QHelpEvent hover(QEvent::ToolTip, at, view.mapToGlobal(at));
        QApplication::sendEvent(&view, &hover);
        EXPECT_EQ(QToolTip::text().toStdString(), SegmentText(*segment));
    }
    // Outside the plot nothing is selected.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(2, y));
    EXPECT_EQ(program.Grid().ActiveCell().row, 40);
}

TEST_F(TimelineViewTest, EmptyTableAndDimmedGrid_NoEventsNoTotalsDimmedStrip) {
    QString totals = QStringLiteral("unset");
    QObject::connect(&view, &TimelineView::totalsChanged,
                     [&totals](const QString& text) { totals = text; });
    QWidget grid;
    grid.setEnabled(false);
    view.FollowEnabledStateOf(&grid);
    view.Attach(program);
    view.grab();
    EXPECT_EQ(view.DrawnSegments(), 0);
    EXPECT_EQ(totals, QString());
    EXPECT_FALSE(view.isEnabled());
    grid.setEnabled(true);
    EXPECT_TRUE(view.isEnabled());

    AddRow(TypeCode(EventType::Rest));
    QCoreApplication::processEvents();
    EXPECT_EQ(totals.toStdString(),
              "One play 1 s \u00B7 continuous, back to back: a play every 1 s");
}

// ---- The report as a PDF ----

std::string ReadFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

int PageCount(const std::string& pdf) {
    const std::regex page(R"(/Type\s*/Page[^s])");
    return static_cast<int>(
        std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

TEST_F(TimelineViewTest, ReportPdf_EmptyAndFullTableMakeWholePdfFiles) {
    testing::TempDir files;
    const std::string empty = files / "empty.pdf";
    ASSERT_EQ(WriteReportPdf(MakeReport(program), empty), 0);
    FillForty();
    const std::string full = files / "full.pdf";
    ASSERT_EQ(WriteReportPdf(MakeReport(program), full), 0);

    for (const std::string& path : {empty, full}) {
        SCOPED_TRACE(path);
        const std::string pdf = ReadFile(path);
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
        EXPECT_NE(pdf.find("%%EOF", pdf.size() - 8), std::string::npos);
        EXPECT_GE(PageCount(pdf), 1);
    }
    // Forty rows and the timeline do not fit on one A4 page.
    EXPECT_EQ(PageCount(ReadFile(full)), 2);

    // A file that cannot be made is a failure, and leaves nothing behind.
    EXPECT_EQ(WriteReportPdf(MakeReport(program), files / "missing/report.pdf"), -1);
    EXPECT_FALSE(std::filesystem::exists(files / "missing"));
}

}  // namespace
}  // namespace keelsong
