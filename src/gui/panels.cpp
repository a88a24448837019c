#include "gui/panels.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

#include "ui_advanced.h"
#include "ui_auto.h"
#include "ui_connect.h"
#include "ui_main.h"

namespace keelsong {

namespace {

template <class Form>
class FormDialog final : public PanelDialog {
  public:
    explicit FormDialog(QWidget* parent) : PanelDialog(parent) { form_.setupUi(this); }

  private:
    Form form_;
};

// The unit strip's texts give way when the window is narrow, so that it fits a small screen; a
// text cut short shows whole in its tooltip.
class WholeTextTooltip final : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* label = qobject_cast<QLabel*>(watched);
        if (event->type() != QEvent::ToolTip || !label || !label->toolTip().isEmpty() ||
            label->sizeHint().width() <= label->width()) {
            return false;
        }
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), label->text(), label);
        return true;
    }
};

}  // namespace

struct MainPanel::Form : ::Ui::MainPanel {};

MainPanel::MainPanel(QWidget* parent) : QWidget(parent), form_(std::make_unique<Form>()) {
    form_->setupUi(this);
    // Play and Stop carry the familiar transport pictures, so they are found at a glance.
    form_->PLAY->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    form_->STOP->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    auto* whole_text = new WholeTextTooltip(this);
    for (QLabel* label : {form_->DEVICE, form_->PLAY_CODE_MSG, form_->TEMP_HUMI}) {
        label->installEventFilter(whole_text);
    }
}

MainPanel::~MainPanel() = default;

ColumnScrollArea::ColumnScrollArea(QWidget* parent) : QScrollArea(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

int ColumnScrollArea::ColumnWidth() const {
    // The column takes the width it asks for (its groups do not shrink sideways).
    const int contents =
        widget() ? std::max(widget()->sizeHint().width(), widget()->minimumSizeHint().width()) : 0;
    return contents + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
}

bool ColumnScrollArea::event(QEvent* event) {
    // The column's layout asks for a new size (a style was applied, a caption changed): the
    // window's layout must hear of it, since this area's width follows the column.
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
    }
    return QScrollArea::event(event);
}

QSize ColumnScrollArea::minimumSizeHint() const {
    return {ColumnWidth(), QScrollArea::minimumSizeHint().height()};
}

QSize ColumnScrollArea::sizeHint() const {
    return {ColumnWidth(), QScrollArea::sizeHint().height()};
}

void MainPanel::showEvent(QShowEvent* event) {
    if (!sized_for_screen_ && screen()) {
        // The form's size suits a large screen; on a small one (a field laptop, a scaled
        // desktop) the window starts no larger than the screen's free area, title bar allowed.
        sized_for_screen_ = true;
        // Room for the window manager's title bar and borders.
        const QSize frame_allowance(16, 40);
        const QSize room = screen()->availableGeometry().size() - frame_allowance;
        resize(size().boundedTo(room).expandedTo(minimumSize()));
    }
    QWidget::showEvent(event);
}

void MainPanel::closeEvent(QCloseEvent* event) {
    if (close_handler_ && !close_handler_()) {
        event->ignore();
        return;
    }
    event->accept();
}

void PanelDialog::reject() {
    if (close_handler_ && close_handler_()) {
        return;
    }
    QDialog::reject();
}

PanelDialog* MakeConnectPanel(QWidget* parent) {
    return new FormDialog<::Ui::ConnectPanel>(parent);
}

PanelDialog* MakeAdvancedPanel(QWidget* parent) {
    return new FormDialog<::Ui::AdvancedPanel>(parent);
}

PanelDialog* MakeAutoPanel(QWidget* parent) {
    return new FormDialog<::Ui::AutoPanel>(parent);
}

}  // namespace keelsong
