#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <cstdint>

#include "app/schedule/schedule.h"

class QPainter;

namespace keelsong {

// The band the event grid draws across the row being sent or read; the timeline marks that
// row's event alike.
QColor TransferMarkColor();

// Each kind of event has its colour: tones blue, sweeps green, clicks red, rests grey.
QColor SegmentColor(int32_t type);

struct TimelineLook {
    int marked_row = 0;    // the row being sent or read, 0 for none
    int selected_row = 0;  // the grid's active row, 0 for none
    bool dimmed = false;   // out of use, as the grid is without a unit
};

// Where things lie in a timeline drawn into an area: the frequency scale down its left edge,
// the time scale along its foot, and the plot between them with time running left to right
// over one play and frequency upward on a logarithmic scale over the unit type's range.
class TimelineLayout {
  public:
    // Keeps a reference to `schedule`, which must outlive the layout.
    TimelineLayout(const Schedule& schedule, const QRectF& area, const QFont& font);

    const QRectF& Plot() const { return plot_; }
    // The length of time the plot spans: one play (at least a moment, so that the scale holds).
    double Seconds() const { return seconds_; }
    double XOf(double seconds) const;
    double YOf(double hz) const;
    // The row whose event lies under `x`, or 0. An event narrower than a few pixels can still
    // be hit, in preference to the wider one beside it.
    int RowAt(double x) const;

  private:
    const Schedule& schedule_;
    QRectF plot_;
    double seconds_ = 1;
    double log_low_ = 0;
    double log_high_ = 1;
};

// Draws the timeline of `schedule` into `area` with the painter's font: each event as its
// kind (a tone a level line, a sweep a slope, a click a tick, a rest a gap), "No events" for
// an empty table. Returns the number of events drawn.
int PaintTimeline(QPainter& painter, const QRectF& area, const Schedule& schedule,
                  const TimelineLook& look);

}  // namespace keelsong
