#pragma once

#include <QPointer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/shell/ui.h"

class QAction;
class QDialog;
class QLabel;
class QObject;
class QProgressBar;
class QTimer;
class QWidget;

namespace keelsong {

class EventTableView;
class MainPanel;
class PanelDialog;
class Program;
class TimelineView;

// The Ui port over the Qt widgets of the four forms. Every control is the widget whose
// objectName is the control's name on its panel; what a value means follows the widget's kind
// (a ring's value is its chosen item's value, a numeric's its number, a text's its text).
// Setting a value from the program never runs a callback, as with the original run-time: only
// the user's own actions do.
class QtUi final : public Ui {
  public:
    // Loads the four panels. MAIN is a top-level window; the pop-ups belong to it.
    QtUi();
    ~QtUi() override;
    QtUi(const QtUi&) = delete;
    QtUi& operator=(const QtUi&) = delete;

    // The controls the forms lack ("MAIN/PLAY"); empty when every panel loaded whole.
    std::vector<std::string> MissingControls() const;

    // Connects the widgets' signals, the one-second TIMER and the window's close requests to
    // the program's callback table, shows the program's schedule under the event table, and
    // gives the program the window's report writer (PDF).
    void Attach(Program& program);
    // Lets go of the program before it goes away: the grid stops showing its event table and
    // the widgets stop calling its callbacks. Whoever attached calls this first.
    void Detach();

    QWidget* PanelWidget(Panel panel) const;
    QWidget* MainWindow() const;
    // The widget (or, for TIMER, the timer) standing for a control; nullptr when missing.
    QObject* ControlObject(Panel panel, Control control) const;
    QWidget* ControlWidget(Panel panel, Control control) const;
    bool IsPopupInstalled(Panel panel) const;
    // The schedule strip under the event table, or nullptr when the form lacks it.
    TimelineView* Timeline() const;

    // Tests answer pop-ups through this: called with each modal dialog once it runs, it must
    // answer it (click a button, press a key, fill a field). Dialogs then never use the
    // platform's native file chooser.
    using PopupDriver = std::function<void(QDialog& dialog)>;
    void SetPopupDriver(PopupDriver driver) { popup_driver_ = std::move(driver); }

    void SetValue(Panel panel, Control control, ControlValue value) override;
    ControlValue Value(Panel panel, Control control) const override;
    void SetDimmed(Panel panel, Control control, bool dimmed) override;
    bool IsDimmed(Panel panel, Control control) const override;
    void SetVisible(Panel panel, Control control, bool visible) override;
    bool IsVisible(Panel panel, Control control) const override;
    void SetLabel(Panel panel, Control control, std::string label) override;
    std::string Label(Panel panel, Control control) const override;
    void SetTextColor(Panel panel, Control control, uint32_t rgb) override;
    uint32_t TextColor(Panel panel, Control control) const override;
    void SetBackgroundColor(Panel panel, Control control, uint32_t rgb) override;
    void SetTooltip(Panel panel, Control control, std::string text) override;
    std::string Tooltip(Panel panel, Control control) const override;
    void SetRange(Panel panel, Control control, double minimum, double maximum) override;

    void ClearList(Panel panel, Control control) override;
    void AppendListItem(Panel panel, Control control, std::string label, int value) override;
    int ListCount(Panel panel, Control control) const override;
    std::optional<int> ListValueAt(Panel panel, Control control, int index) const override;
    int ListSelectedIndex(Panel panel, Control control) const override;

    void MessagePopup(std::string_view title, std::string_view text) override;
    int GenericMessagePopup(std::string_view title, std::string_view text,
                            const std::array<std::string, 3>& buttons, int enter_button,
                            int escape_button) override;
    bool ConfirmPopup(std::string_view title, std::string_view text) override;
    std::optional<std::string> PromptPopup(std::string_view title, std::string_view text,
                                           size_t max_length) override;
    FileSelection FileSelectPopup(std::string_view folder, std::string_view pattern,
                                  std::string_view title, bool save,
                                  bool restrict_extension = false) override;
    std::optional<std::string> DirSelectPopup(std::string_view folder,
                                              std::string_view title) override;
    std::optional<ComparisonChoice> ComparisonPopup(std::string_view title,
                                                    const std::vector<std::string>& warnings,
                                                    const SideBySide& side) override;

    void InstallPopup(Panel panel) override;
    void RemovePopup(Panel panel) override;

    void SetActiveCtrl(Panel panel, Control control) override;
    void AppendMenuItem(Panel panel, Control control, std::string label,
                        std::function<void()> action) override;
    void AppendMenuSeparator(Panel panel, Control control) override;
    void SetMenuItemDimmed(Panel panel, Control control, std::string_view label,
                           bool dimmed) override;
    void SetMenuItemTooltip(Panel panel, Control control, std::string_view label,
                            std::string text) override;
    void SetMenuItemKeys(Panel panel, Control control, std::string_view label,
                         std::vector<std::string> keys) override;

    void SetWaitCursor(bool on) override;
    void ProcessDrawEvents() override;
    void ShowProgress(Panel panel, int percent, const std::string& text) override;
    void HideProgress(Panel panel) override;
    int SavePanelPicture(Panel panel, const std::string& path) override;

    // Runs a control's callback as the user's action would; what the wiring calls. A timer
    // tick that arrives while another callback runs (a pop-up's, a redraw's or a pause's event
    // loop) is dropped, unless that callback is talking to the unit: then the tick only
    // updates the clock (OneSecondCB never polls during such an operation). Either way the
    // timer never starts an exchange with the unit inside another one.
    void Dispatch(Panel panel, Control control, UiEvent event, int data1 = 0, int data2 = 0);
    // Runs an operation of the program's that no control of its own starts (the fleet window
    // opening a unit) as Dispatch runs a callback, under the same rule for the timer.
    void RunOperation(const std::function<void(Program&)>& operation);

  private:
    using Key = std::pair<Panel, Control>;

    void IndexControls();
    void WireControl(Panel panel, Control control);
    // Delete, Insert, copy and paste on the grid's rows.
    void WireRowKeys(EventTableView& grid);
    QLabel* BuddyOf(const QWidget* widget) const;
    QWidget* PopupParent() const;
    // The panel's progress bar from its form ("progressBar"), or nullptr.
    QProgressBar* ProgressBarOf(Panel panel) const;
    QAction* MenuAction(Panel panel, Control control, std::string_view label) const;
    int RunModal(QDialog& dialog);
    bool HandlePopupClose(Panel panel);
    // Before a MAIN control that holds the keyboard focus is dimmed.
    void MoveFocusOffDimmed(QWidget* widget);
    // A control's value changed, set by the program or by the user: the schedule strip
    // follows the controls it reads.
    void ControlValueChanged(Panel panel, Control control);

    std::unique_ptr<MainPanel> main_;
    std::array<PanelDialog*, 3> dialogs_{};
    QTimer* timer_ = nullptr;
    std::map<Key, QPointer<QObject>> controls_;
    std::map<const QWidget*, QLabel*> buddies_;
    Program* program_ = nullptr;
    QPointer<QObject> grid_model_;
    PopupDriver popup_driver_;
    int dispatch_depth_ = 0;
    bool wait_cursor_ = false;
};

}  // namespace keelsong
