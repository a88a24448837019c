#pragma once

#include <QWidget>

namespace keelsong {

// A small status picture whose value selects what it shows. Drawn with vector paths at the
// widget's size, so it stays crisp at any scale or screen density.
class IndicatorIcon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue)

  public:
    explicit IndicatorIcon(QWidget* parent = nullptr);

    int value() const { return value_; }
    // Values outside the icon's range are brought to the nearest end of it.
    void setValue(int value);
    virtual int minimum() const { return 0; }
    virtual int maximum() const { return 0; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Paints the picture for value() into a square or wide box of the given size.
    virtual void paintIcon(QPainter& painter, const QRectF& box) const = 0;
    virtual QSizeF aspect() const { return {1.0, 1.0}; }

  private:
    int value_ = 0;
};

// The battery gauge: 0 (empty) to 10 (full).
class BatteryIcon final : public IndicatorIcon {
    Q_OBJECT
  public:
    using IndicatorIcon::IndicatorIcon;
    int maximum() const override { return 10; }

  protected:
    void paintIcon(QPainter& painter, const QRectF& box) const override;
    QSizeF aspect() const override { return {2.0, 1.0}; }
};

// The charging indicator: a lightning bolt, shown while the unit charges.
class ChargingIcon final : public IndicatorIcon {
    Q_OBJECT
  public:
    using IndicatorIcon::IndicatorIcon;

  protected:
    void paintIcon(QPainter& painter, const QRectF& box) const override;
    QSizeF aspect() const override { return {0.7, 1.0}; }
};

// The synchronisation indicator, one picture per state code: 0 disabled, 1-2 sync out,
// 3 and 6 not synced, 4 and 7 syncing, 5 and 8 synced; any other code an unknown state.
class SyncIcon final : public IndicatorIcon {
    Q_OBJECT
  public:
    using IndicatorIcon::IndicatorIcon;
    int minimum() const override { return -1; }
    int maximum() const override { return 255; }

  protected:
    void paintIcon(QPainter& painter, const QRectF& box) const override;
};

}  // namespace keelsong
