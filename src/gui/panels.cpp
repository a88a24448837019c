#include "gui/panels.h"

#include <QCloseEvent>
#include <QStyle>

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

}  // namespace

struct MainPanel::Form : ::Ui::MainPanel {};

MainPanel::MainPanel(QWidget* parent) : QWidget(parent), form_(std::make_unique<Form>()) {
    form_->setupUi(this);
    // Play and Stop carry the familiar transport pictures, so they are found at a glance.
    form_->PLAY->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    form_->STOP->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
}

MainPanel::~MainPanel() = default;

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
