#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/shell/controls.h"
#include "files/contents_compare.h"

namespace keelsong {

// What a control callback is told happened.
enum class UiEvent { Commit, ValueChanged, KeyPress, LeftDoubleClick, LeftClickRelease, TimerTick };

// A control's value: an integer (check boxes, rings, integer numerics, lists), a real number
// or a text.
using ControlValue = std::variant<int, double, std::string>;

inline constexpr uint32_t kColorBlack = 0x000000;
inline constexpr uint32_t kColorRed = 0xFF0000;
inline constexpr uint32_t kColorWhite = 0xFFFFFF;

// The three-button pop-up's answer when it was closed without a button (its title bar, the
// window manager): never one of the buttons, so that no caller takes it for a choice.
inline constexpr int kPopupClosed = 0;

// Answers of the file dialog.
enum class FileChoice { Cancelled, ExistingFile, NewFile };
struct FileSelection {
    FileChoice choice = FileChoice::Cancelled;
    std::string path;
};

// What the user takes from the comparison pop-up: the file's rows (numbered from 1) and its
// setup.
struct ComparisonChoice {
    std::vector<int> rows;
    bool setup = false;
    bool operator==(const ComparisonChoice&) const = default;
};

// The user-interface run-time the program's logic is written against. Controls are addressed
// by panel and control. The Qt widgets implement it for people, HeadlessUi for tests and tools.
class Ui {
  public:
    virtual ~Ui() = default;

    // Values and attributes. A numeric control keeps its value inside its range; a ring keeps
    // only values of its items; a dimmed control ignores the user but not the program.
    virtual void SetValue(Panel panel, Control control, ControlValue value) = 0;
    virtual ControlValue Value(Panel panel, Control control) const = 0;
    virtual void SetDimmed(Panel panel, Control control, bool dimmed) = 0;
    virtual bool IsDimmed(Panel panel, Control control) const = 0;
    virtual void SetVisible(Panel panel, Control control, bool visible) = 0;
    virtual bool IsVisible(Panel panel, Control control) const = 0;
    virtual void SetLabel(Panel panel, Control control, std::string label) = 0;
    virtual std::string Label(Panel panel, Control control) const = 0;
    virtual void SetTextColor(Panel panel, Control control, uint32_t rgb) = 0;
    virtual uint32_t TextColor(Panel panel, Control control) const = 0;
    virtual void SetBackgroundColor(Panel panel, Control control, uint32_t rgb) = 0;
    virtual void SetTooltip(Panel panel, Control control, std::string text) = 0;
    virtual std::string Tooltip(Panel panel, Control control) const = 0;
    virtual void SetRange(Panel panel, Control control, double minimum, double maximum) = 0;

    // List controls: items with a label and an integer value.
    virtual void ClearList(Panel panel, Control control) = 0;
    virtual void AppendListItem(Panel panel, Control control, std::string label, int value) = 0;
    virtual int ListCount(Panel panel, Control control) const = 0;
    // The value of the item at `index`, or nullopt when there is none.
    virtual std::optional<int> ListValueAt(Panel panel, Control control, int index) const = 0;
    // The index of the selected item, or -1.
    virtual int ListSelectedIndex(Panel panel, Control control) const = 0;

    // Modal pop-ups; each returns when the user has answered.
    virtual void MessagePopup(std::string_view title, std::string_view text) = 0;
    // Three buttons; the result is the number (1-3) of the button pressed, or kPopupClosed when
    // the pop-up was closed without one. Enter answers `enter_button`, Escape answers
    // `escape_button`. A button with an empty label is left out (a question with two answers).
    virtual int GenericMessagePopup(std::string_view title, std::string_view text,
                                    const std::array<std::string, 3>& buttons, int enter_button,
                                    int escape_button) = 0;
    // Yes or No; true for Yes.
    virtual bool ConfirmPopup(std::string_view title, std::string_view text) = 0;
    // A line of text of at most `max_length` characters, or nullopt when cancelled.
    virtual std::optional<std::string> PromptPopup(std::string_view title, std::string_view text,
                                                   size_t max_length) = 0;
    // `pattern` is a file-name pattern such as "*.tlk"; `save` asks for a name to write to.
    // Unless `restrict_extension`, the dialog also lets the user show every file.
    virtual FileSelection FileSelectPopup(std::string_view folder, std::string_view pattern,
                                          std::string_view title, bool save,
                                          bool restrict_extension = false) = 0;
    // The chosen folder, or nullopt when cancelled.
    // The unit and a file side by side, differing cells marked, the readiness warnings above;
    // what the user chose to take from the file, or nullopt when closed without taking.
    virtual std::optional<ComparisonChoice> ComparisonPopup(
        std::string_view title, const std::vector<std::string>& warnings,
        const SideBySide& side) = 0;
    virtual std::optional<std::string> DirSelectPopup(std::string_view folder,
                                                      std::string_view title) = 0;

    // Shows a panel as a modal pop-up over MAIN, or takes it down again.
    virtual void InstallPopup(Panel panel) = 0;
    virtual void RemovePopup(Panel panel) = 0;

    // Gives the control the keyboard focus.
    virtual void SetActiveCtrl(Panel panel, Control control) = 0;
    // The control's own context menu: items and separators appear in the order appended, and
    // choosing an item runs its action. The toolkit's built-in items of the control are not
    // offered beside them.
    virtual void AppendMenuItem(Panel panel, Control control, std::string label,
                                std::function<void()> action) = 0;
    virtual void AppendMenuSeparator(Panel panel, Control control) = 0;
    // An appended item, found by its label: a dimmed item cannot be chosen; the tooltip says
    // what choosing it would do; the keys ("Ctrl+Z", "Ctrl+Shift+Z") choose it from anywhere in
    // the panel's window, as long as the item is not dimmed.
    virtual void SetMenuItemDimmed(Panel panel, Control control, std::string_view label,
                                   bool dimmed) = 0;
    virtual void SetMenuItemTooltip(Panel panel, Control control, std::string_view label,
                                    std::string text) = 0;
    virtual void SetMenuItemKeys(Panel panel, Control control, std::string_view label,
                                 std::vector<std::string> keys) = 0;

    virtual void SetWaitCursor(bool on) = 0;
    // Repaints what changed without handling user input, so the window stays painted while
    // the program talks to the unit.
    virtual void ProcessDrawEvents() = 0;
    // The panel's progress bar (beside MAIN's status line, beside ADVANCED's firmware stage):
    // shown with `percent` (0-100) of a long operation done and `text` on it ("42%", "Events
    // read: 12"), hidden again once the operation ends. A panel without one ignores both.
    virtual void ShowProgress(Panel panel, int percent, const std::string& text) = 0;
    virtual void HideProgress(Panel panel) = 0;
    // Saves a picture of the panel as PNG; 0 on success, negative on failure.
    virtual int SavePanelPicture(Panel panel, const std::string& path) = 0;

    // Typed helpers over Value and SetValue.
    int IntValue(Panel panel, Control control) const;
    double DoubleValue(Panel panel, Control control) const;
    std::string TextValue(Panel panel, Control control) const;
    void SetInt(Panel panel, Control control, int value) { SetValue(panel, control, value); }
    void SetDouble(Panel panel, Control control, double value) { SetValue(panel, control, value); }
    void SetText(Panel panel, Control control, std::string text) {
        SetValue(panel, control, std::move(text));
    }
};

}  // namespace keelsong
