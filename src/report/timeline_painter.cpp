#include "report/timeline_painter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "protocol/event_record.h"

namespace keelsong {

namespace {

constexpr double kPadding = 4;      // around the scales' texts
constexpr double kLineWidth = 2.5;  // of a tone or a sweep
constexpr double kTickHalf = 7;     // half the height of a click's tick
constexpr double kHitSlack = 3;     // pixels either side of a narrow event that still hit it

const QColor kPlotBackground(255, 255, 255);
const QColor kFrame(170, 170, 170);
const QColor kGridLine(232, 232, 232);
const QColor kBoundary(215, 215, 215);
const QColor kScaleText(90, 90, 90);
const QColor kEmptyText(120, 120, 120);
const QColor kSelectedBand(48, 140, 198, 45);

QString FrequencyLabel(double hz) {
    return hz >= 1000 ? QStringLiteral("%1 kHz").arg(hz / 1000, 0, 'g', 4)
                      : QStringLiteral("%1 Hz").arg(hz, 0, 'g', 4);
}

QString TimeLabel(double seconds) {
    return QString::fromStdString(seconds <= 0 ? std::string("0") : DurationText(seconds));
}

// The spacing of the time scale's marks: a round length of time that leaves room for labels.
double TimeStep(double seconds, double width, double label_width) {
    static constexpr double kSteps[] = {
        0.001, 0.002, 0.005, 0.01,  0.02,  0.05,   0.1,    0.2,    0.5,     1,      2,
        5,     10,    15,    30,    60,    120,    300,    600,    900,     1800,   3600,
        7200,  10800, 21600, 43200, 86400, 172800, 432000, 864000, 1728000, 4320000};
    const double most_marks = std::max(1.0, std::floor(width / (label_width + 3 * kPadding)));
    for (double step : kSteps) {
        if (seconds / step <= most_marks) {
            return step;
        }
    }
    const double longest = kSteps[std::size(kSteps) - 1];
    return longest * std::ceil(seconds / most_marks / longest);
}

void DrawSegment(QPainter& painter, const TimelineLayout& layout, const ScheduleSegment& segment) {
    const QColor color = SegmentColor(segment.type);
    const double x0 = layout.XOf(segment.start);
    const double x1 = std::max(layout.XOf(segment.end), x0 + 1);
    if (!segment.start_frequency) {
        // A rest is a gap: only a faint dashed line along the foot shows where it lies.
        QPen pen(color, 1, Qt::DashLine);
        painter.setPen(pen);
        const double y = layout.Plot().bottom() - 2;
        painter.drawLine(QPointF(x0, y), QPointF(x1, y));
        return;
    }
    const double y0 = layout.YOf(*segment.start_frequency);
    const double y1 = layout.YOf(segment.end_frequency.value_or(*segment.start_frequency));
    QPen pen(color, kLineWidth, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(pen);
    if (segment.type == TypeCode(EventType::Click)) {
        painter.drawLine(QPointF(x0 + 1, y0 - kTickHalf), QPointF(x0 + 1, y0 + kTickHalf));
    } else {
        painter.drawLine(QPointF(x0, y0), QPointF(x1, y1));
    }
}

void DrawBand(QPainter& painter, const TimelineLayout& layout, const ScheduleSegment* segment,
              const QColor& color) {
    if (!segment) {
        return;
    }
    const double x0 = layout.XOf(segment->start);
    const double x1 = std::max(layout.XOf(segment->end), x0 + 2);
    painter.fillRect(QRectF(QPointF(x0, layout.Plot().top()), QPointF(x1, layout.Plot().bottom())),
                     color);
}

void DrawFrequencyScale(QPainter& painter, const TimelineLayout& layout, const Schedule& schedule,
                        const QFontMetricsF& metrics) {
    const QRectF& plot = layout.Plot();
    std::vector<double> marks = {schedule.lowest_frequency};
    for (double decade = std::pow(10.0, std::ceil(std::log10(schedule.lowest_frequency)));
         decade < schedule.highest_frequency; decade *= 10) {
        marks.push_back(decade);
    }
    marks.push_back(schedule.highest_frequency);
    // Both ends of the range are always named; a decade between them only where its label
    // keeps clear of the labels around it.
    const double top_y = layout.YOf(marks.back());
    double last_y = 1e9;
    for (size_t i = 0; i < marks.size(); ++i) {
        const double y = layout.YOf(marks[i]);
        const bool edge = i == 0 || i + 1 == marks.size();
        if (!edge) {
            painter.setPen(kGridLine);
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            if (last_y - y < metrics.height() || y - top_y < metrics.height()) {
                continue;
            }
        }
        last_y = y;
        painter.setPen(kScaleText);
        const QRectF box(plot.left() - 200 - kPadding, y - metrics.height() / 2, 200,
                         metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, FrequencyLabel(marks[i]));
    }
}

void DrawTimeScale(QPainter& painter, const TimelineLayout& layout, const QFontMetricsF& metrics) {
    const QRectF& plot = layout.Plot();
    const double label_width = metrics.horizontalAdvance(QStringLiteral("10 min 30 s"));
    const double step = TimeStep(layout.Seconds(), plot.width(), label_width);
    painter.setPen(kScaleText);
    for (int k = 0;; ++k) {
        const double at = k * step;
        if (at > layout.Seconds() * (1 + 1e-9)) {
            break;
        }
        const double x = layout.XOf(at);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        const QString label = TimeLabel(at);
        const double width = metrics.horizontalAdvance(label);
        const double left = std::clamp(x - width / 2, plot.left(), plot.right() - width);
        painter.drawText(QRectF(left, plot.bottom() + 3, width + 1, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, label);
    }
}

}  // namespace

QColor TransferMarkColor() {
    return {255, 214, 110};
}

QColor SegmentColor(int32_t type) {
    switch (static_cast<EventType>(type)) {
        case EventType::ToneCycles:
        case EventType::ToneSeconds:
            return {31, 104, 180};
        case EventType::Sweep:
            return {36, 150, 60};
        case EventType::Click:
            return {210, 40, 40};
        case EventType::Rest:
        case EventType::None:
            break;
    }
    return {140, 140, 140};
}

TimelineLayout::TimelineLayout(const Schedule& schedule, const QRectF& area, const QFont& font)
    : schedule_(schedule) {
    const QFontMetricsF metrics(font);
    const double scale_width =
        std::max(metrics.horizontalAdvance(FrequencyLabel(schedule.lowest_frequency)),
                 metrics.horizontalAdvance(QStringLiteral("200 kHz")));
    plot_ = area.adjusted(scale_width + 2 * kPadding, kPadding + 1, -kPadding - 1,
                          -(metrics.height() + 3 + kPadding));
    seconds_ = schedule.play_seconds > 0 ? schedule.play_seconds : 1;
    const double low = std::max(1.0, schedule.lowest_frequency);
    const double high = std::max(low * 1.01, schedule.highest_frequency);
    log_low_ = std::log10(low);
    log_high_ = std::log10(high);
}

double TimelineLayout::XOf(double seconds) const {
    return plot_.left() + std::clamp(seconds / seconds_, 0.0, 1.0) * plot_.width();
}

double TimelineLayout::YOf(double hz) const {
    // Inside the frame, so that a line at either end of the range stays whole.
    const double inset = kTickHalf + 1;
    const double fraction =
        std::clamp((std::log10(std::max(hz, 1.0)) - log_low_) / (log_high_ - log_low_), 0.0, 1.0);
    return plot_.bottom() - inset - fraction * (plot_.height() - 2 * inset);
}

int TimelineLayout::RowAt(double x) const {
    int row = 0;
    double narrowest = 0;
    for (const ScheduleSegment& segment : schedule_.segments) {
        double left = XOf(segment.start);
        double right = XOf(segment.end);
        const double width = right - left;
        if (width < 2 * kHitSlack) {
            left -= kHitSlack;
            right += kHitSlack;
        }
        if (x >= left && x <= right && (row == 0 || width < narrowest)) {
            row = segment.row;
            narrowest = width;
        }
    }
    return row;
}

int PaintTimeline(QPainter& painter, const QRectF& area, const Schedule& schedule,
                  const TimelineLook& look) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font());
    const TimelineLayout layout(schedule, area, painter.font());
    const QRectF& plot = layout.Plot();
    if (look.dimmed) {
        painter.setOpacity(0.45);
    }
    if (schedule.segments.empty()) {
        // Without events there is nothing to scale: the whole area says so.
        painter.fillRect(area, kPlotBackground);
        painter.setPen(kEmptyText);
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No events"));
        painter.setPen(kFrame);
        painter.drawRect(area);
        painter.restore();
        return 0;
    }
    painter.fillRect(plot, kPlotBackground);
    DrawBand(painter, layout, SegmentOfRow(schedule, look.selected_row), kSelectedBand);
    DrawBand(painter, layout, SegmentOfRow(schedule, look.marked_row), TransferMarkColor());
    DrawFrequencyScale(painter, layout, schedule, metrics);
    // Thin lines where one event ends and the next begins, where they lie far enough apart.
    painter.setPen(kBoundary);
    double last_boundary = -1e9;
    for (const ScheduleSegment& segment : schedule.segments) {
        const double x = layout.XOf(segment.start);
        if (x - last_boundary >= 3 && segment.start > 0) {
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            last_boundary = x;
        }
    }
    int drawn = 0;
    for (const ScheduleSegment& segment : schedule.segments) {
        DrawSegment(painter, layout, segment);
        ++drawn;
    }
    DrawTimeScale(painter, layout, metrics);
    painter.setPen(kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    painter.restore();
    return drawn;
}

}  // namespace keelsong
