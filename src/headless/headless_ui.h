#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/ui.h"

namespace keelsong {

// The Ui port in memory, for tests and tools: every control's state is kept in a map, and
// pop-ups are answered from a script while what they asked is recorded.
class HeadlessUi final : public Ui {
  public:
    enum class PopupKind { Message, Generic, Confirm, Prompt, FileSelect, DirSelect, Comparison };
    struct PopupRecord {
        PopupKind kind;
        std::string title;
        std::string text;  // for a file or folder dialog: the folder or path it starts from
        // A three-button question's buttons in order, and the numbers (1-3) of those that
        // Enter and Escape answer; empty and 0 for the other kinds.
        std::vector<std::string> buttons = {};
        int enter_button = 0;
        int escape_button = 0;
    };
    struct HistoryEntry {
        ControlValue value;
        uint32_t text_color;
    };

    // A control given items with AppendListItem (a ring or a list) keeps only their values.
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
    std::optional<ComparisonChoice> ComparisonPopup(std::string_view title,
                                                    const std::vector<std::string>& warnings,
                                                    const SideBySide& side) override;
    std::optional<std::string> DirSelectPopup(std::string_view folder,
                                              std::string_view title) override;

    void InstallPopup(Panel panel) override;
    void RemovePopup(Panel panel) override;
    void SetActiveCtrl(Panel panel, Control control) override { active_ctrl_[panel] = control; }
    void AppendMenuItem(Panel panel, Control control, std::string label,
                        std::function<void()> action) override;
    void AppendMenuSeparator(Panel panel, Control control) override;
    void SetMenuItemDimmed(Panel panel, Control control, std::string_view label,
                           bool dimmed) override;
    void SetMenuItemTooltip(Panel panel, Control control, std::string_view label,
                            std::string text) override;
    void SetMenuItemKeys(Panel panel, Control control, std::string_view label,
                         std::vector<std::string> keys) override;
    void SetWaitCursor(bool on) override { wait_cursor_ = on; }
    void ProcessDrawEvents() override { ++draw_events_; }
    void ShowProgress(Panel panel, int percent, const std::string& text) override;
    void HideProgress(Panel panel) override { progress_shown_.erase(panel); }
    int SavePanelPicture(Panel panel, const std::string& path) override;

    // Script: the answers the next pop-ups of each kind give. Without a scripted answer a
    // three-button question answers its Escape button, a confirmation No, and every dialog
    // is cancelled.
    void AnswerGeneric(int button) { generic_answers_.push_back(button); }
    // The next three-button question is closed without a button.
    void CloseGeneric() { generic_answers_.push_back(kPopupClosed); }
    void AnswerConfirm(bool yes) { confirm_answers_.push_back(yes); }
    void AnswerPrompt(std::optional<std::string> text) {
        prompt_answers_.push_back(std::move(text));
    }
    void AnswerFileSelect(FileSelection selection) {
        file_answers_.push_back(std::move(selection));
    }
    void AnswerDirSelect(std::optional<std::string> folder) {
        dir_answers_.push_back(std::move(folder));
    }
    void AnswerComparison(std::optional<ComparisonChoice> choice) {
        comparison_answers_.push_back(std::move(choice));
    }
    // What the last comparison pop-up showed.
    const SideBySide& LastComparison() const { return last_comparison_; }
    void SelectListItem(Panel panel, Control control, int index);
    // The user chooses the context-menu item with this label: its action runs. False when the
    // control's menu has no such item or the item is dimmed.
    bool ChooseMenuItem(Panel panel, Control control, std::string_view label);
    // The user presses keys ("Ctrl+Z") in the panel's window: the menu item they belong to runs,
    // unless it is dimmed. False when none ran.
    bool PressMenuKeys(Panel panel, std::string_view keys);

    // Inspection.
    const std::vector<PopupRecord>& Popups() const { return popups_; }
    bool IsPopupInstalled(Panel panel) const { return installed_.count(panel) != 0; }
    bool WaitCursor() const { return wait_cursor_; }
    int DrawEvents() const { return draw_events_; }
    uint32_t BackgroundColor(Panel panel, Control control) const;
    std::optional<std::pair<double, double>> Range(Panel panel, Control control) const;
    std::string ListLabelAt(Panel panel, Control control, int index) const;
    // Every picture the program asked to save, written or not.
    const std::vector<std::string>& SavedPictures() const { return saved_pictures_; }
    // The control that last got the keyboard focus on the panel.
    std::optional<Control> ActiveCtrl(Panel panel) const;
    // The context menu's labels in order; a separator shows as an empty label.
    std::vector<std::string> MenuLayout(Panel panel, Control control) const;
    struct MenuItem {
        std::string label;  // empty for a separator
        std::function<void()> action;
        bool dimmed = false;
        std::string tooltip;
        std::vector<std::string> keys;
    };
    // The item with this label, or nullptr.
    const MenuItem* FindMenuItem(Panel panel, Control control, std::string_view label) const;

    // Keeps every value the program sets on the control from now on, with its text colour at
    // that moment: a message that was shown and replaced at once is still seen.
    void RecordHistory(Panel panel, Control control);
    const std::vector<HistoryEntry>& History(Panel panel, Control control) const;

    // Called with every value the program sets, once the control holds it: tools that report
    // progress as it happens. Runs on the thread that sets the value.
    using ValueObserver = std::function<void(Panel, Control, const ControlValue&)>;
    void ObserveValues(ValueObserver observer) { value_observer_ = std::move(observer); }

    // The panel's progress bar: its percentage while shown, nullopt while hidden; every
    // percentage it showed, in order; and the text it showed last.
    std::optional<int> Progress(Panel panel) const;
    const std::vector<int>& ProgressHistory(Panel panel) const;
    std::string ProgressText(Panel panel) const;

  private:
    struct ListItem {
        std::string label;
        int value;
    };
    struct ControlState {
        ControlValue value = 0;
        bool dimmed = false;
        bool visible = true;
        std::string label;
        uint32_t text_color = kColorBlack;
        uint32_t background_color = kColorWhite;
        std::string tooltip;
        std::optional<std::pair<double, double>> range;
        std::vector<ListItem> items;
        int selected = -1;
        bool record_history = false;
        std::vector<HistoryEntry> history;
    };
    using Key = std::pair<Panel, Control>;
    MenuItem* MutableMenuItem(Panel panel, Control control, std::string_view label);

    ControlState& State(Panel panel, Control control) { return controls_[{panel, control}]; }
    const ControlState* Find(Panel panel, Control control) const;

    std::map<Key, ControlState> controls_;
    std::vector<PopupRecord> popups_;
    std::deque<int> generic_answers_;
    std::deque<bool> confirm_answers_;
    std::deque<std::optional<std::string>> prompt_answers_;
    std::deque<FileSelection> file_answers_;
    std::deque<std::optional<std::string>> dir_answers_;
    std::deque<std::optional<ComparisonChoice>> comparison_answers_;
    SideBySide last_comparison_;
    std::set<Panel> installed_;
    std::map<Panel, Control> active_ctrl_;
    std::map<Key, std::vector<MenuItem>> menus_;
    std::vector<std::string> saved_pictures_;
    bool wait_cursor_ = false;
    int draw_events_ = 0;
    std::map<Panel, int> progress_shown_;
    std::map<Panel, std::vector<int>> progress_history_;
    ValueObserver value_observer_;
    std::map<Panel, std::string> progress_text_;
};

}  // namespace keelsong
