#pragma once

#include <QSpinBox>

namespace keelsong {

// A whole-number field that shows at least two digits, as a clock's minutes read ("23 : 03").
class TwoDigitSpinBox final : public QSpinBox {
  public:
    using QSpinBox::QSpinBox;

  protected:
    QString textFromValue(int value) const override {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    }
};

}  // namespace keelsong
