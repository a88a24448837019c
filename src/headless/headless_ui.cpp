#include "headless/headless_ui.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace keelsong {

namespace {

ControlValue ClampToRange(ControlValue value,
                          const std::optional<std::pair<double, double>>& range) {
    if (!range) {
        return value;
    }
    const auto [lo, hi] = *range;
    if (int* i = std::get_if<int>(&value)) {
        *i = static_cast<int>(std::clamp(static_cast<double>(*i), lo, hi));
    } else if (double* d = std::get_if<double>(&value)) {
        *d = std::clamp(*d, lo, hi);
    }
    return value;
}

// A 1 x 1 white PNG: what a picture saved without a screen holds.
constexpr uint8_t kBlankPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00,
    0x00, 0x3A, 0x7E, 0x9B, 0x55, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0xF8, 0x0F, 0x00, 0x01, 0x01, 0x01, 0x00, 0xB1, 0x38, 0xF6, 0x14, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
};

// A copy built from the alternative it holds. The library's copy constructor, when copying a
// text runs out of memory, destroys a half-built variant as if it held a value.
ControlValue CopyOf(const ControlValue& value) {
    return std::visit([](const auto& alternative) { return ControlValue(alternative); }, value);
}

template <class T>
std::optional<T> TakeFront(std::deque<T>& answers) {
    if (answers.empty()) {
        return std::nullopt;
    }
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace

const HeadlessUi::ControlState* HeadlessUi::Find(Panel panel, Control control) const {
    const auto it = controls_.find({panel, control});
    return it == controls_.end() ? nullptr : &it->second;
}

void HeadlessUi::SetValue(Panel panel, Control control, ControlValue value) {
    ControlState& state = State(panel, control);
    if (const int* chosen = std::get_if<int>(&value); chosen && !state.items.empty()) {
        // A ring or list holds only the values of its items, and shows the item chosen.
        const auto item = std::find_if(state.items.begin(), state.items.end(),
                                       [&](const ListItem& i) { return i.value == *chosen; });
        if (item == state.items.end()) {
            return;
        }
        state.selected = static_cast<int>(item - state.items.begin());
    }
    state.value = ClampToRange(std::move(value), state.range);
    if (state.record_history) {
        state.history.push_back({CopyOf(state.value), state.text_color});
    }
    if (value_observer_) {
        value_observer_(panel, control, state.value);
    }
}

ControlValue HeadlessUi::Value(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? CopyOf(state->value) : ControlValue{0};
}

void HeadlessUi::SetDimmed(Panel panel, Control control, bool dimmed) {
    State(panel, control).dimmed = dimmed;
}

bool HeadlessUi::IsDimmed(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state && state->dimmed;
}

void HeadlessUi::SetVisible(Panel panel, Control control, bool visible) {
    State(panel, control).visible = visible;
}

bool HeadlessUi::IsVisible(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return !state || state->visible;
}

void HeadlessUi::SetLabel(Panel panel, Control control, std::string label) {
    State(panel, control).label = std::move(label);
}

std::string HeadlessUi::Label(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? state->label : std::string{};
}

void HeadlessUi::SetTextColor(Panel panel, Control control, uint32_t rgb) {
    State(panel, control).text_color = rgb;
}

uint32_t HeadlessUi::TextColor(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? state->text_color : kColorBlack;
}

void HeadlessUi::SetBackgroundColor(Panel panel, Control control, uint32_t rgb) {
    State(panel, control).background_color = rgb;
}

uint32_t HeadlessUi::BackgroundColor(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? state->background_color : kColorWhite;
}

void HeadlessUi::SetTooltip(Panel panel, Control control, std::string text) {
    State(panel, control).tooltip = std::move(text);
}

std::string HeadlessUi::Tooltip(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? state->tooltip : std::string{};
}

void HeadlessUi::SetRange(Panel panel, Control control, double minimum, double maximum) {
    ControlState& state = State(panel, control);
    state.range = std::make_pair(minimum, maximum);
    state.value = ClampToRange(state.value, state.range);
}

std::optional<std::pair<double, double>> HeadlessUi::Range(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? state->range : std::nullopt;
}

void HeadlessUi::ClearList(Panel panel, Control control) {
    ControlState& state = State(panel, control);
    state.items.clear();
    state.selected = -1;
}

void HeadlessUi::AppendListItem(Panel panel, Control control, std::string label, int value) {
    ControlState& state = State(panel, control);
    state.items.push_back({std::move(label), value});
    if (state.selected < 0) {
        state.selected = 0;
    }
}

int HeadlessUi::ListCount(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? static_cast<int>(state->items.size()) : 0;
}

std::optional<int> HeadlessUi::ListValueAt(Panel panel, Control control, int index) const {
    const ControlState* state = Find(panel, control);
    if (!state || index < 0 || index >= static_cast<int>(state->items.size())) {
        return std::nullopt;
    }
    return state->items[static_cast<size_t>(index)].value;
}

std::string HeadlessUi::ListLabelAt(Panel panel, Control control, int index) const {
    const ControlState* state = Find(panel, control);
    if (!state || index < 0 || index >= static_cast<int>(state->items.size())) {
        return {};
    }
    return state->items[static_cast<size_t>(index)].label;
}

int HeadlessUi::ListSelectedIndex(Panel panel, Control control) const {
    const ControlState* state = Find(panel, control);
    return state ? state->selected : -1;
}

void HeadlessUi::SelectListItem(Panel panel, Control control, int index) {
    ControlState& state = State(panel, control);
    if (index >= 0 && index < static_cast<int>(state.items.size())) {
        state.selected = index;
    }
}

void HeadlessUi::MessagePopup(std::string_view title, std::string_view text) {
    popups_.push_back({PopupKind::Message, std::string(title), std::string(text)});
}

int HeadlessUi::GenericMessagePopup(std::string_view title, std::string_view text,
                                    const std::array<std::string, 3>& buttons, int enter_button,
                                    int escape_button) {
    popups_.push_back({PopupKind::Generic, std::string(title), std::string(text),
                       std::vector<std::string>(buttons.begin(), buttons.end()), enter_button,
                       escape_button});
    return TakeFront(generic_answers_).value_or(escape_button);
}

bool HeadlessUi::ConfirmPopup(std::string_view title, std::string_view text) {
    popups_.push_back({PopupKind::Confirm, std::string(title), std::string(text)});
    return TakeFront(confirm_answers_).value_or(false);
}

std::optional<std::string> HeadlessUi::PromptPopup(std::string_view title, std::string_view text,
                                                   size_t max_length) {
    popups_.push_back({PopupKind::Prompt, std::string(title), std::string(text)});
    std::optional<std::string> answer = TakeFront(prompt_answers_).value_or(std::nullopt);
    if (answer && answer->size() > max_length) {
        answer->resize(max_length);
    }
    return answer;
}

FileSelection HeadlessUi::FileSelectPopup(std::string_view folder, std::string_view /*pattern*/,
                                          std::string_view title, bool /*save*/,
                                          bool /*restrict_extension*/) {
    popups_.push_back({PopupKind::FileSelect, std::string(title), std::string(folder)});
    return TakeFront(file_answers_).value_or(FileSelection{});
}

std::optional<ComparisonChoice> HeadlessUi::ComparisonPopup(
    std::string_view title, const std::vector<std::string>& warnings, const SideBySide& side) {
    std::string text;
    for (const std::string& warning : warnings) {
        text += (text.empty() ? "" : "\n") + warning;
    }
    popups_.push_back({PopupKind::Comparison, std::string(title), text});
    last_comparison_ = side;
    return TakeFront(comparison_answers_).value_or(std::nullopt);
}

std::optional<std::string> HeadlessUi::DirSelectPopup(std::string_view folder,
                                                      std::string_view title) {
    popups_.push_back({PopupKind::DirSelect, std::string(title), std::string(folder)});
    return TakeFront(dir_answers_).value_or(std::nullopt);
}

void HeadlessUi::InstallPopup(Panel panel) {
    installed_.insert(panel);
}

void HeadlessUi::RemovePopup(Panel panel) {
    installed_.erase(panel);
}

int HeadlessUi::SavePanelPicture(Panel /*panel*/, const std::string& path) {
    // Nothing is drawn without a screen, but the file is written all the same, so that a folder
    // that cannot take it fails as it would on screen. Every request is kept for tests.
    saved_pictures_.push_back(path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return -1;
    }
    const bool written = std::fwrite(kBlankPng, 1, sizeof kBlankPng, file) == sizeof kBlankPng;
    const bool closed = std::fclose(file) == 0;
    if (!(written && closed)) {
        std::remove(path.c_str());
        return -1;
    }
    return 0;
}

void HeadlessUi::ShowProgress(Panel panel, int percent, const std::string& text) {
    const int shown = std::clamp(percent, 0, 100);
    progress_shown_[panel] = shown;
    progress_history_[panel].push_back(shown);
    progress_text_[panel] = text;
}

std::string HeadlessUi::ProgressText(Panel panel) const {
    const auto found = progress_text_.find(panel);
    return found == progress_text_.end() ? std::string() : found->second;
}

std::optional<int> HeadlessUi::Progress(Panel panel) const {
    const auto found = progress_shown_.find(panel);
    return found == progress_shown_.end() ? std::nullopt : std::optional<int>(found->second);
}

const std::vector<int>& HeadlessUi::ProgressHistory(Panel panel) const {
    static const std::vector<int> kNone;
    const auto found = progress_history_.find(panel);
    return found == progress_history_.end() ? kNone : found->second;
}

void HeadlessUi::RecordHistory(Panel panel, Control control) {
    State(panel, control).record_history = true;
}

const std::vector<HeadlessUi::HistoryEntry>& HeadlessUi::History(Panel panel,
                                                                 Control control) const {
    static const std::vector<HistoryEntry> kNone;
    const ControlState* state = Find(panel, control);
    return state ? state->history : kNone;
}

void HeadlessUi::AppendMenuItem(Panel panel, Control control, std::string label,
                                std::function<void()> action) {
    MenuItem item;
    item.label = std::move(label);
    item.action = std::move(action);
    menus_[{panel, control}].push_back(std::move(item));
}

void HeadlessUi::AppendMenuSeparator(Panel panel, Control control) {
    menus_[{panel, control}].push_back(MenuItem{});
}

const HeadlessUi::MenuItem* HeadlessUi::FindMenuItem(Panel panel, Control control,
                                                     std::string_view label) const {
    const auto menu = menus_.find({panel, control});
    if (menu == menus_.end() || label.empty()) {
        return nullptr;
    }
    for (const MenuItem& item : menu->second) {
        if (item.label == label) {
            return &item;
        }
    }
    return nullptr;
}

HeadlessUi::MenuItem* HeadlessUi::MutableMenuItem(Panel panel, Control control,
                                                  std::string_view label) {
    return const_cast<MenuItem*>(std::as_const(*this).FindMenuItem(panel, control, label));
}

void HeadlessUi::SetMenuItemDimmed(Panel panel, Control control, std::string_view label,
                                   bool dimmed) {
    if (MenuItem* item = MutableMenuItem(panel, control, label)) {
        item->dimmed = dimmed;
    }
}

void HeadlessUi::SetMenuItemTooltip(Panel panel, Control control, std::string_view label,
                                    std::string text) {
    if (MenuItem* item = MutableMenuItem(panel, control, label)) {
        item->tooltip = std::move(text);
    }
}

void HeadlessUi::SetMenuItemKeys(Panel panel, Control control, std::string_view label,
                                 std::vector<std::string> keys) {
    if (MenuItem* item = MutableMenuItem(panel, control, label)) {
        item->keys = std::move(keys);
    }
}

bool HeadlessUi::ChooseMenuItem(Panel panel, Control control, std::string_view label) {
    const MenuItem* item = FindMenuItem(panel, control, label);
    if (!item || item->dimmed) {
        return false;
    }
    // A copy: the action may change the menu it was chosen from.
    const std::function<void()> action = item->action;
    if (action) {
        action();
    }
    return true;
}

bool HeadlessUi::PressMenuKeys(Panel panel, std::string_view keys) {
    for (const auto& [key, items] : menus_) {
        if (key.first != panel) {
            continue;
        }
        for (const MenuItem& item : items) {
            if (std::find(item.keys.begin(), item.keys.end(), keys) != item.keys.end()) {
                return ChooseMenuItem(panel, key.second, item.label);
            }
        }
    }
    return false;
}

std::optional<Control> HeadlessUi::ActiveCtrl(Panel panel) const {
    const auto found = active_ctrl_.find(panel);
    return found == active_ctrl_.end() ? std::nullopt : std::optional<Control>(found->second);
}

std::vector<std::string> HeadlessUi::MenuLayout(Panel panel, Control control) const {
    std::vector<std::string> labels;
    if (const auto menu = menus_.find({panel, control}); menu != menus_.end()) {
        for (const MenuItem& entry : menu->second) {
            labels.push_back(entry.label);
        }
    }
    return labels;
}

}  // namespace keelsong
