#include "gui/timeline_view.h"

#include <QEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "app/state/program.h"

namespace keelsong {

namespace {

constexpr int kPreferredHeight = 104;
constexpr int kMinimumHeight = 84;
constexpr int kMinimumWidth = 320;

}  // namespace

TimelineView::TimelineView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    refresh_timer_.setSingleShot(true);
    refresh_timer_.setInterval(0);
    connect(&refresh_timer_, &QTimer::timeout, this, &TimelineView::Refresh);
}

TimelineView::~TimelineView() {
    Detach();
}

void TimelineView::Attach(Program& program) {
    Detach();
    program_ = &program;
    program.Grid().AddObserver(this);
    Refresh();
}

void TimelineView::Detach() {
    if (program_) {
        program_->Grid().RemoveObserver(this);
    }
    program_ = nullptr;
    refresh_timer_.stop();
}

void TimelineView::FollowEnabledStateOf(QWidget* grid) {
    if (grid) {
        grid->installEventFilter(this);
        setEnabled(grid->isEnabled());
    }
}

void TimelineView::ScheduleRefresh() {
    if (program_ && !refresh_timer_.isActive()) {
        refresh_timer_.start();
    }
}

void TimelineView::Refresh() {
    refresh_timer_.stop();
    schedule_ = program_ ? ComputeSchedule(*program_) : Schedule{};
    update();
    emit totalsChanged(QString::fromStdString(ScheduleTotalsText(schedule_)));
}

TimelineLayout TimelineView::Layout() const {
    return TimelineLayout(schedule_, QRectF(rect()).adjusted(0, 0, -1, -1), font());
}

int TimelineView::MarkedRow() const {
    if (!program_) {
        return 0;
    }
    const EventGridModel& grid = program_->Grid();
    for (int row = 1; row <= grid.RowCount(); ++row) {
        if (grid.HasTransferMark(row)) {
            return row;
        }
    }
    return 0;
}

int TimelineView::RowAt(const QPoint& point) const {
    const TimelineLayout layout = Layout();
    const QRectF& plot = layout.Plot();
    if (point.y() < plot.top() || point.y() > plot.bottom()) {
        return 0;
    }
    return layout.RowAt(point.x());
}

QSize TimelineView::sizeHint() const {
    return {560, kPreferredHeight};
}

QSize TimelineView::minimumSizeHint() const {
    return {kMinimumWidth, kMinimumHeight};
}

void TimelineView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    TimelineLook look;
    look.marked_row = MarkedRow();
    look.selected_row = program_ ? program_->Grid().ActiveCell().row : 0;
    look.dimmed = !isEnabled();
    drawn_ = PaintTimeline(painter, QRectF(rect()).adjusted(0, 0, -1, -1), schedule_, look);
}

void TimelineView::mousePressEvent(QMouseEvent* event) {
    const int row = event->button() == Qt::LeftButton ? RowAt(event->position().toPoint()) : 0;
    if (!program_ || row == 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    EventGridModel& grid = program_->Grid();
    // The grid's view follows its active cell; the column the user was in stays.
    grid.SetActiveCell(grid.ActiveCell().column, row);
    event->accept();
}

bool TimelineView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const ScheduleSegment* segment = SegmentOfRow(schedule_, RowAt(help->pos()));
        if (segment) {
            QToolTip::showText(help->globalPos(), QString::fromStdString(SegmentText(*segment)),
                               this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

bool TimelineView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (auto* grid = qobject_cast<QWidget*>(watched)) {
            setEnabled(grid->isEnabled());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TimelineView::RowsInserted(int, int) {
    ScheduleRefresh();
}

void TimelineView::RowsRemoved(int, int) {
    ScheduleRefresh();
}

void TimelineView::CellChanged(int, int) {
    ScheduleRefresh();
}

void TimelineView::TransferMarkChanged(int) {
    update();
}

void TimelineView::ActiveCellChanged(int, int) {
    update();
}

}  // namespace keelsong
