#pragma once

#include <QDialog>
#include <QScrollArea>
#include <QWidget>
#include <functional>
#include <memory>

class QCloseEvent;

namespace keelsong {

// The main window. Closing it from the title bar is a request, not a fact: the close handler
// decides (the QUIT path with its save question), and the window stays open unless it agrees.
class MainPanel final : public QWidget {
    Q_OBJECT
  public:
    explicit MainPanel(QWidget* parent = nullptr);
    ~MainPanel() override;

    // Returns true when the window may close.
    void SetCloseHandler(std::function<bool()> handler) { close_handler_ = std::move(handler); }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Form;
    std::unique_ptr<Form> form_;
    std::function<bool()> close_handler_;
    bool sized_for_screen_ = false;
};

// A column of controls that scrolls up and down when the window is too low to show it all,
// so that the window fits a small screen. It is always as wide as the column's minimum plus
// the scroll bar, so nothing is cut off at the side when the scroll bar shows.
class ColumnScrollArea final : public QScrollArea {
    Q_OBJECT
  public:
    explicit ColumnScrollArea(QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    bool event(QEvent* event) override;

  private:
    int ColumnWidth() const;
};

// A pop-up panel (CONNECT, ADVANCED, AUTO). Escape and the title bar's close button ask the
// close handler, which runs the panel's own cancel button, instead of hiding the panel behind
// the program's back; without a handler the panel simply hides.
class PanelDialog : public QDialog {
    Q_OBJECT
  public:
    using QDialog::QDialog;
    // Returns true when the program took the request over; the panel then stays up or goes
    // as the program decides.
    void SetCloseHandler(std::function<bool()> handler) { close_handler_ = std::move(handler); }
    void reject() override;

  private:
    std::function<bool()> close_handler_;
};

// The three pop-up panels, each built from its form, owned by `parent`.
PanelDialog* MakeConnectPanel(QWidget* parent);
PanelDialog* MakeAdvancedPanel(QWidget* parent);
PanelDialog* MakeAutoPanel(QWidget* parent);

}  // namespace keelsong
