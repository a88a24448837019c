#pragma once

#include <QTimer>
#include <QWidget>

#include "app/schedule/schedule.h"
#include "app/state/event_grid_model.h"
#include "report/timeline_painter.h"

namespace keelsong {

class Program;

// The strip under the event table: one play of the table as a timeline (report/
// timeline_painter.h). It follows the grid and the setup controls: any change of a cell, a row
// or a setup control recomputes it on the next turn of the event loop, so a burst of changes
// (a whole table read from the unit) costs one. Hovering names the row under the mouse, a
// click makes that row the grid's active one, and the row being sent or read is marked as the
// grid marks it. It is dimmed whenever the grid is.
class TimelineView final : public QWidget, private EventGridObserver {
    Q_OBJECT

  public:
    explicit TimelineView(QWidget* parent = nullptr);
    ~TimelineView() override;

    // Shows the program's schedule; the program must outlive the view or be detached first.
    void Attach(Program& program);
    void Detach();
    // Dims the strip whenever `grid` is dimmed (disabled), and shows it again with the grid.
    void FollowEnabledStateOf(QWidget* grid);

    // A cell, row or setup control changed: the schedule is worked out again shortly.
    void ScheduleRefresh();
    // Works the schedule out now and repaints.
    void Refresh();
    const Schedule& CurrentSchedule() const { return schedule_; }
    // Where the current schedule is drawn in the widget.
    TimelineLayout Layout() const;
    // The row whose event lies under a point of the widget, or 0.
    int RowAt(const QPoint& point) const;
    // How many events the last paint drew.
    int DrawnSegments() const { return drawn_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // The totals line for the schedule now shown (empty for an empty table).
    void totalsChanged(const QString& text);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RowsInserted(int first, int last) override;
    void RowsRemoved(int first, int last) override;
    void CellChanged(int column, int row) override;
    void TransferMarkChanged(int row) override;
    void ActiveCellChanged(int column, int row) override;

    int MarkedRow() const;

    Program* program_ = nullptr;
    Schedule schedule_;
    QTimer refresh_timer_;
    int drawn_ = 0;
};

}  // namespace keelsong
