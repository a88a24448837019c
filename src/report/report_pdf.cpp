#include "report/report_pdf.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <numeric>

#include "app/state/event_grid_model.h"
#include "report/timeline_painter.h"

namespace keelsong {

namespace {

// Laid out in pixels of 1/96 inch, as on the screen, so the timeline looks as it does there.
constexpr int kResolution = 96;
constexpr double kMarginMm = 15;
constexpr double kGap = 10;  // between sections
constexpr double kCellPadding = 4;
constexpr double kTimelineHeight = 170;
// The grid's own proportions, the row number first.
constexpr std::array<double, grid_column::kCount + 1> kColumnWeights = [] {
    std::array<double, grid_column::kCount + 1> weights{34};
    for (size_t k = 0; k < kGridColumns.size(); ++k) {
        weights[k + 1] = kGridColumns[k].width;
    }
    return weights;
}();

const QColor kText(0, 0, 0);
const QColor kDimmedText(150, 150, 150);
const QColor kDimmedBackground(236, 236, 236);
const QColor kHeaderBackground(225, 229, 235);
const QColor kRule(170, 170, 170);

QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}

QFont SizedFont(double points, bool bold = false) {
    QFont font;
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Pages filled from the top down; a block that does not fit on what is left of a page starts
// the next one.
class ReportLayout {
  public:
    ReportLayout(QPdfWriter& writer, QPainter& painter, const ReportContent& report)
        : writer_(writer), painter_(painter), report_(report) {
        page_area_ = QRectF(painter.viewport());
        const double footer = QFontMetricsF(SizedFont(8)).height();
        area_ = page_area_.adjusted(0, 0, 0, -(footer + kGap));
        y_ = area_.top();
        DrawFooter();
    }

    void Title() {
        painter_.setFont(SizedFont(16, true));
        Line(QStringLiteral("Deployment Report"));
        painter_.setFont(SizedFont(9));
        Line(QStringLiteral("Made %1").arg(ToQ(report_.made)));
        y_ += kGap / 2;
    }

    void Pairs(const QString& heading,
               const std::vector<std::pair<std::string, std::string>>& pairs) {
        Heading(heading);
        painter_.setFont(SizedFont(9));
        const QFontMetricsF metrics(painter_.font());
        double label_width = 0;
        for (const auto& [label, value] : pairs) {
            label_width = std::max(label_width, metrics.horizontalAdvance(ToQ(label) + ":"));
        }
        for (const auto& [label, value] : pairs) {
            const QRectF value_box(area_.left() + label_width + 12, y_,
                                   area_.width() - label_width - 12, 1e6);
            const QRectF needed = metrics.boundingRect(value_box, Qt::TextWordWrap, ToQ(value));
            Reserve(needed.height());
            painter_.setPen(kText);
            painter_.drawText(QRectF(area_.left(), y_, label_width, needed.height()),
                              Qt::AlignLeft | Qt::AlignTop, ToQ(label) + ":");
            painter_.drawText(QRectF(value_box.left(), y_, value_box.width(), needed.height()),
                              Qt::TextWordWrap, ToQ(value));
            y_ += needed.height() + 2;
        }
        y_ += kGap;
    }

    void Table() {
        Heading(QStringLiteral("Event Table"));
        painter_.setFont(SizedFont(8));
        const QFontMetricsF metrics(painter_.font());
        row_height_ = metrics.height() + 2 * kCellPadding;
        const double total = std::accumulate(kColumnWeights.begin(), kColumnWeights.end(), 0.0);
        double x = area_.left();
        for (size_t i = 0; i < kColumnWeights.size(); ++i) {
            column_left_[i] = x;
            x += area_.width() * kColumnWeights[i] / total;
        }
        column_left_[kColumnWeights.size()] = area_.right();

        TableHeader();
        if (report_.rows.empty()) {
            Reserve(row_height_);
            painter_.setPen(kDimmedText);
            painter_.drawText(QRectF(area_.left(), y_, area_.width(), row_height_), Qt::AlignCenter,
                              QStringLiteral("No events"));
            y_ += row_height_;
        }
        for (size_t r = 0; r < report_.rows.size(); ++r) {
            if (y_ + row_height_ > area_.bottom()) {
                NewPage();
                TableHeader();
            }
            Cell(0, QString::number(r + 1), false, Qt::AlignCenter);
            const std::vector<ReportCell>& cells = report_.rows[r];
            for (size_t c = 0; c < cells.size() && c < grid_column::kCount; ++c) {
                const bool ring = c == grid_column::kType - 1 || c == grid_column::kUnit - 1;
                Cell(c + 1, ToQ(cells[c].text), cells[c].dimmed,
                     ring ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
            }
            painter_.setPen(kRule);
            painter_.drawLine(QPointF(area_.left(), y_ + row_height_),
                              QPointF(area_.right(), y_ + row_height_));
            y_ += row_height_;
        }
        y_ += kGap;
    }

    void Timeline() {
        Reserve(HeadingHeight() + kTimelineHeight);
        Heading(QStringLiteral("Schedule: One Play"));
        painter_.setFont(SizedFont(8));
        PaintTimeline(painter_, QRectF(area_.left(), y_, area_.width(), kTimelineHeight),
                      report_.schedule, TimelineLook{});
        y_ += kTimelineHeight + kGap / 2;
        if (!report_.totals.empty()) {
            painter_.setFont(SizedFont(9));
            const QFontMetricsF metrics(painter_.font());
            const QRectF needed = metrics.boundingRect(QRectF(area_.left(), y_, area_.width(), 1e6),
                                                       Qt::TextWordWrap, ToQ(report_.totals));
            Reserve(needed.height());
            painter_.setPen(kText);
            painter_.drawText(QRectF(area_.left(), y_, area_.width(), needed.height()),
                              Qt::TextWordWrap, ToQ(report_.totals));
            y_ += needed.height();
        }
    }

    bool Failed() const { return failed_; }

  private:
    double HeadingHeight() const { return QFontMetricsF(SizedFont(11, true)).height() + 4; }

    void Heading(const QString& text) {
        // A heading never stays alone at the foot of a page.
        Reserve(HeadingHeight() + 2 * QFontMetricsF(SizedFont(9)).height());
        painter_.setFont(SizedFont(11, true));
        Line(text);
        y_ += 2;
    }

    void Line(const QString& text) {
        const QFontMetricsF metrics(painter_.font());
        Reserve(metrics.height());
        painter_.setPen(kText);
        painter_.drawText(QRectF(area_.left(), y_, area_.width(), metrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, text);
        y_ += metrics.height() + 2;
    }

    void TableHeader() {
        painter_.fillRect(QRectF(area_.left(), y_, area_.width(), row_height_), kHeaderBackground);
        Cell(0, QStringLiteral("#"), false, Qt::AlignCenter);
        for (size_t c = 0; c < report_.column_titles.size() && c < grid_column::kCount; ++c) {
            Cell(c + 1, ToQ(report_.column_titles[c]), false, Qt::AlignCenter);
        }
        y_ += row_height_;
    }

    void Cell(size_t column, const QString& text, bool dimmed, Qt::Alignment alignment) {
        const QRectF box(column_left_[column], y_, column_left_[column + 1] - column_left_[column],
                         row_height_);
        if (dimmed) {
            painter_.fillRect(box, kDimmedBackground);
        }
        painter_.setPen(dimmed ? kDimmedText : kText);
        painter_.drawText(box.adjusted(kCellPadding, 0, -kCellPadding, 0), alignment, text);
    }

    void Reserve(double height) {
        if (y_ + height > area_.bottom() && y_ > area_.top()) {
            NewPage();
        }
    }

    void NewPage() {
        if (!writer_.newPage()) {
            failed_ = true;
        }
        y_ = area_.top();
        DrawFooter();
    }

    void DrawFooter() {
        ++page_;
        const QFont font = painter_.font();
        painter_.setFont(SizedFont(8));
        const QFontMetricsF metrics(painter_.font());
        const QString text = QStringLiteral("Keelsong %1 \u00B7 page %2")
                                 .arg(ToQ(report_.program_version))
                                 .arg(page_);
        painter_.setPen(kDimmedText);
        painter_.drawText(QRectF(page_area_.left(), page_area_.bottom() - metrics.height(),
                                 page_area_.width(), metrics.height()),
                          Qt::AlignRight | Qt::AlignVCenter, text);
        painter_.setFont(font);
    }

    QPdfWriter& writer_;
    QPainter& painter_;
    const ReportContent& report_;
    QRectF page_area_;
    QRectF area_;  // what the content fills: the page above the footer
    double y_ = 0;
    double row_height_ = 0;
    std::array<double, grid_column::kCount + 2> column_left_{};
    int page_ = 0;
    bool failed_ = false;
};

}  // namespace

int WriteReportPdf(const ReportContent& report, const std::string& path) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return -1;
    }
    bool failed = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(kResolution);
        writer.setTitle(QStringLiteral("Deployment Report"));
        writer.setCreator(QStringLiteral("Keelsong %1").arg(ToQ(report.program_version)));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                         QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return -1;
        }
        ReportLayout layout(writer, painter, report);
        layout.Title();
        layout.Pairs(QStringLiteral("Unit"), report.unit);
        if (!report.file.empty()) {
            layout.Pairs(QStringLiteral("File"), report.file);
        }
        if (!report.recent_changes.empty()) {
            layout.Pairs(QStringLiteral("Last Changes"), report.recent_changes);
        }
        layout.Pairs(QStringLiteral("Setup"), report.setup);
        layout.Table();
        layout.Timeline();
        failed = layout.Failed();
        painter.end();
    }
    if (failed) {
        file.cancelWriting();
        return -1;
    }
    return file.commit() ? 0 : -1;
}

}  // namespace keelsong
