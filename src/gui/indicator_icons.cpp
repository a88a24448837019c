#include "gui/indicator_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace keelsong {

namespace {

const QColor kOutline(0x3c, 0x41, 0x48);
const QColor kGood(0x2e, 0x9e, 0x4f);
const QColor kWarn(0xe0, 0x9a, 0x1b);
const QColor kBad(0xd0, 0x3b, 0x3b);
const QColor kInfo(0x2f, 0x74, 0xc0);
const QColor kIdle(0x9a, 0xa0, 0xa6);

// The largest box of the given aspect that fits centred in `area`.
QRectF Fit(const QRectF& area, QSizeF aspect) {
    const double scale = std::min(area.width() / aspect.width(), area.height() / aspect.height());
    QSizeF size(aspect.width() * scale, aspect.height() * scale);
    QRectF box(QPointF(0, 0), size);
    box.moveCenter(area.center());
    return box;
}

}  // namespace

IndicatorIcon::IndicatorIcon(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void IndicatorIcon::setValue(int value) {
    const int clamped = std::clamp(value, minimum(), maximum());
    if (clamped != value_) {
        value_ = clamped;
        update();
    }
}

QSize IndicatorIcon::sizeHint() const {
    const int height = fontMetrics().height() + 4;
    return {static_cast<int>(height * aspect().width() / aspect().height() + 0.5), height};
}

void IndicatorIcon::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        painter.setOpacity(0.4);
    }
    paintIcon(painter, Fit(QRectF(rect()).adjusted(1, 1, -1, -1), aspect()));
}

void BatteryIcon::paintIcon(QPainter& painter, const QRectF& box) const {
    const double unit = box.height();
    const double stroke = std::max(1.0, unit / 10.0);
    const QRectF nub(box.right() - unit * 0.16, box.center().y() - unit * 0.2, unit * 0.16,
                     unit * 0.4);
    const QRectF body =
        box.adjusted(stroke / 2, stroke / 2, -nub.width() - stroke / 2, -stroke / 2);
    painter.setPen(QPen(kOutline, stroke));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body, unit * 0.15, unit * 0.15);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kOutline);
    painter.drawRoundedRect(nub, unit * 0.05, unit * 0.05);

    const int level = value();
    if (level <= 0) {
        return;
    }
    const QColor fill = level <= 2 ? kBad : level <= 4 ? kWarn : kGood;
    const QRectF inside = body.adjusted(stroke * 1.5, stroke * 1.5, -stroke * 1.5, -stroke * 1.5);
    QRectF bar = inside;
    bar.setWidth(inside.width() * level / maximum());
    painter.setBrush(fill);
    painter.drawRoundedRect(bar, unit * 0.06, unit * 0.06);
}

void ChargingIcon::paintIcon(QPainter& painter, const QRectF& box) const {
    const double w = box.width();
    const double h = box.height();
    const QPointF o = box.topLeft();
    QPainterPath bolt;
    bolt.moveTo(o + QPointF(w * 0.62, 0));
    bolt.lineTo(o + QPointF(w * 0.05, h * 0.58));
    bolt.lineTo(o + QPointF(w * 0.45, h * 0.58));
    bolt.lineTo(o + QPointF(w * 0.32, h));
    bolt.lineTo(o + QPointF(w * 0.95, h * 0.4));
    bolt.lineTo(o + QPointF(w * 0.55, h * 0.4));
    bolt.closeSubpath();
    painter.setPen(
        QPen(kOutline, std::max(1.0, h / 16.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(0xf5, 0xc2, 0x1b));
    painter.drawPath(bolt);
}

void SyncIcon::paintIcon(QPainter& painter, const QRectF& box) const {
    const double d = box.width();
    const double stroke = std::max(1.2, d / 9.0);
    const QRectF disc = box.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2);
    const QPointF c = box.center();
    QPen mark(Qt::white, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    switch (value()) {
        case 0: {  // disabled: an empty ring, struck through
            painter.setPen(QPen(kIdle, stroke));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(disc);
            painter.drawLine(QPointF(disc.left() + d * 0.2, disc.bottom() - d * 0.2),
                             QPointF(disc.right() - d * 0.2, disc.top() + d * 0.2));
            return;
        }
        case 1:
        case 2: {  // sync out: an arrow leaving the disc
            painter.setPen(Qt::NoPen);
            painter.setBrush(kInfo);
            painter.drawEllipse(disc);
            painter.setPen(mark);
            painter.drawLine(c + QPointF(-d * 0.22, 0), c + QPointF(d * 0.22, 0));
            painter.drawLine(c + QPointF(d * 0.22, 0), c + QPointF(d * 0.04, -d * 0.17));
            painter.drawLine(c + QPointF(d * 0.22, 0), c + QPointF(d * 0.04, d * 0.17));
            return;
        }
        case 3:
        case 6: {  // not synced: a cross
            painter.setPen(Qt::NoPen);
            painter.setBrush(kBad);
            painter.drawEllipse(disc);
            painter.setPen(mark);
            const double r = d * 0.17;
            painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
            painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
            return;
        }
        case 4:
        case 7: {  // syncing: an open arc, turning
            painter.setPen(Qt::NoPen);
            painter.setBrush(kWarn);
            painter.drawEllipse(disc);
            painter.setPen(mark);
            painter.setBrush(Qt::NoBrush);
            const double r = d * 0.22;
            painter.drawArc(QRectF(c - QPointF(r, r), c + QPointF(r, r)), 90 * 16, 270 * 16);
            painter.drawLine(c + QPointF(0, -r), c + QPointF(d * 0.12, -r - d * 0.09));
            painter.drawLine(c + QPointF(0, -r), c + QPointF(d * 0.12, -r + d * 0.09));
            return;
        }
        case 5:
        case 8: {  // synced: a tick
            painter.setPen(Qt::NoPen);
            painter.setBrush(kGood);
            painter.drawEllipse(disc);
            painter.setPen(mark);
            QPainterPath tick;
            tick.moveTo(c + QPointF(-d * 0.2, d * 0.01));
            tick.lineTo(c + QPointF(-d * 0.05, d * 0.16));
            tick.lineTo(c + QPointF(d * 0.21, -d * 0.13));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(tick);
            return;
        }
        default: {  // a state this program does not know: a grey question mark
            painter.setPen(QPen(kIdle, stroke));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(disc);
            QFont font = painter.font();
            font.setPixelSize(static_cast<int>(d * 0.6));
            font.setBold(true);
            painter.setFont(font);
            painter.drawText(disc, Qt::AlignCenter, QStringLiteral("?"));
            return;
        }
    }
}

}  // namespace keelsong
