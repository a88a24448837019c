#include "gui/qt_ui.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>

#include "app/schedule/schedule.h"
#include "gui/indicator_icons.h"
#include "gui/mnemonics.h"
#include "gui/panels.h"
#include "gui/timeline_view.h"

namespace keelsong {

namespace {

constexpr int kTimerIntervalMs = 1000;
// The widget property holding a tool tip's text as the program set it.
constexpr char kPlainToolTip[] = "keelsongPlainToolTip";

QString ToQ(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int ClampToInt(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<int>(std::lround(std::clamp(value, double{INT_MIN}, double{INT_MAX})));
}

int AsInt(const ControlValue& value) {
    if (const int* i = std::get_if<int>(&value)) {
        return *i;
    }
    if (const double* d = std::get_if<double>(&value)) {
        return ClampToInt(*d);
    }
    return ClampToInt(ToQ(std::get<std::string>(value)).trimmed().toDouble());
}

double AsDouble(const ControlValue& value) {
    if (const double* d = std::get_if<double>(&value)) {
        return *d;
    }
    if (const int* i = std::get_if<int>(&value)) {
        return *i;
    }
    return ToQ(std::get<std::string>(value)).trimmed().toDouble();
}

QString AsText(const ControlValue& value) {
    if (const std::string* s = std::get_if<std::string>(&value)) {
        return ToQ(*s);
    }
    if (const int* i = std::get_if<int>(&value)) {
        return QString::number(*i);
    }
    return QString::number(std::get<double>(value));
}

QColor ToColor(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

uint32_t FromColor(const QColor& color) {
    return static_cast<uint32_t>(color.rgb()) & 0xFFFFFF;
}

void SetPaletteColor(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles,
                     const QColor& color) {
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : roles) {
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
    }
    widget->setPalette(palette);
}

// A ring's items carry the values the form gives them ("ringValues"), or their positions.
void AssignRingValues(QComboBox* ring) {
    const QStringList values =
        ring->property("ringValues").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int index = 0; index < ring->count(); ++index) {
        const int value = index < values.size() ? values[index].trimmed().toInt() : index;
        ring->setItemData(index, value);
    }
}

int FindListValue(const QListWidget* list, int value) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(Qt::UserRole).toInt() == value) {
            return row;
        }
    }
    return -1;
}

}  // namespace

QtUi::QtUi() : main_(std::make_unique<MainPanel>()) {
    dialogs_ = {MakeConnectPanel(main_.get()), MakeAdvancedPanel(main_.get()),
                MakeAutoPanel(main_.get())};
    timer_ = new QTimer(main_.get());
    timer_->setObjectName(QStringLiteral("TIMER"));
    timer_->setInterval(kTimerIntervalMs);
    timer_->start();
    IndexControls();
}

QtUi::~QtUi() {
    if (wait_cursor_) {
        SetWaitCursor(false);
    }
}

QWidget* QtUi::PanelWidget(Panel panel) const {
    switch (panel) {
        case Panel::MAIN:
            return main_.get();
        case Panel::CONNECT:
            return dialogs_[0];
        case Panel::ADVANCED:
            return dialogs_[1];
        case Panel::AUTO:
            return dialogs_[2];
    }
    return nullptr;
}

QWidget* QtUi::MainWindow() const {
    return main_.get();
}

void QtUi::IndexControls() {
    for (Panel panel : kAllPanels) {
        QWidget* root = PanelWidget(panel);
        for (Control control : ControlsOf(panel)) {
            const QString name = ToQ(ControlName(control));
            // A control belongs to the panel's own form, never to a pop-up owned by it.
            for (QObject* candidate : root->findChildren<QObject*>(name)) {
                auto* widget = qobject_cast<QWidget*>(candidate);
                if (widget ? widget->window() == root : candidate->parent() == root) {
                    controls_[{panel, control}] = candidate;
                    break;
                }
            }
            if (auto* ring = qobject_cast<QComboBox*>(ControlObject(panel, control))) {
                AssignRingValues(ring);
            }
        }
        for (QLabel* label : root->findChildren<QLabel*>()) {
            // What the program shows (file and folder names, the unit's own texts) is never
            // taken for markup.
            label->setTextFormat(Qt::PlainText);
            if (label->buddy() && label->window() == root) {
                buddies_[label->buddy()] = label;
            }
        }
    }
}

std::vector<std::string> QtUi::MissingControls() const {
    std::vector<std::string> missing;
    for (Panel panel : kAllPanels) {
        for (Control control : ControlsOf(panel)) {
            if (!ControlObject(panel, control)) {
                missing.push_back(std::string(PanelName(panel)) + "/" +
                                  std::string(ControlName(control)));
            }
        }
    }
    return missing;
}

QObject* QtUi::ControlObject(Panel panel, Control control) const {
    const auto found = controls_.find({panel, control});
    return found == controls_.end() ? nullptr : found->second.data();
}

QWidget* QtUi::ControlWidget(Panel panel, Control control) const {
    return qobject_cast<QWidget*>(ControlObject(panel, control));
}

QLabel* QtUi::BuddyOf(const QWidget* widget) const {
    const auto found = buddies_.find(widget);
    return found == buddies_.end() ? nullptr : found->second;
}

void QtUi::SetValue(Panel panel, Control control, ControlValue value) {
    QObject* object = ControlObject(panel, control);
    if (!object) {
        return;
    }
    const QSignalBlocker quiet(object);
    if (auto* ring = qobject_cast<QComboBox*>(object)) {
        const std::string* text = std::get_if<std::string>(&value);
        const int index = text ? ring->findText(ToQ(*text)) : ring->findData(AsInt(value));
        if (index >= 0) {  // a value no item carries leaves the ring as it was
            ring->setCurrentIndex(index);
        }
    } else if (auto* real = qobject_cast<QDoubleSpinBox*>(object)) {
        real->setValue(AsDouble(value));
    } else if (auto* integer = qobject_cast<QSpinBox*>(object)) {
        integer->setValue(AsInt(value));
    } else if (auto* box = qobject_cast<QCheckBox*>(object)) {
        box->setChecked(AsInt(value) != 0);
    } else if (auto* list = qobject_cast<QListWidget*>(object)) {
        const int row = FindListValue(list, AsInt(value));
        if (row >= 0) {
            list->setCurrentRow(row);
        }
    } else if (auto* line = qobject_cast<QLineEdit*>(object)) {
        line->setText(AsText(value));
    } else if (auto* text = qobject_cast<QLabel*>(object)) {
        text->setText(AsText(value));
    } else if (auto* icon = qobject_cast<IndicatorIcon*>(object)) {
        icon->setValue(AsInt(value));
    }
    ControlValueChanged(panel, control);
}

TimelineView* QtUi::Timeline() const {
    return main_->findChild<TimelineView*>();
}

void QtUi::ControlValueChanged(Panel panel, Control control) {
    if (panel == Panel::MAIN && AffectsSchedule(control)) {
        if (TimelineView* timeline = Timeline()) {
            timeline->ScheduleRefresh();
        }
    }
}

ControlValue QtUi::Value(Panel panel, Control control) const {
    QObject* object = ControlObject(panel, control);
    if (auto* ring = qobject_cast<QComboBox*>(object)) {
        return ring->currentIndex() < 0 ? 0 : ring->currentData().toInt();
    }
    if (auto* real = qobject_cast<QDoubleSpinBox*>(object)) {
        return real->value();
    }
    if (auto* integer = qobject_cast<QSpinBox*>(object)) {
        return integer->value();
    }
    if (auto* box = qobject_cast<QCheckBox*>(object)) {
        return box->isChecked() ? 1 : 0;
    }
    if (auto* list = qobject_cast<QListWidget*>(object)) {
        const QListWidgetItem* current = list->currentItem();
        return current ? current->data(Qt::UserRole).toInt() : 0;
    }
    if (auto* line = qobject_cast<QLineEdit*>(object)) {
        return line->text().toStdString();
    }
    if (auto* text = qobject_cast<QLabel*>(object)) {
        return text->text().toStdString();
    }
    if (auto* icon = qobject_cast<IndicatorIcon*>(object)) {
        return icon->value();
    }
    return 0;
}

void QtUi::MoveFocusOffDimmed(QWidget* widget) {
    const QWidget* focus = widget->window()->focusWidget();
    if (focus != widget && !widget->isAncestorOf(focus)) {
        return;
    }
    // Left to itself Qt hands the focus to the next control in the tab order, which after the
    // command buttons is "Quit": one press of Space would end the program. The event table is
    // harmless; when it is out of use too, nothing keeps the focus.
    QWidget* grid = ControlWidget(Panel::MAIN, Control::EVENT_TABLE);
    if (grid && grid != widget && grid->isEnabled() && grid->isVisible()) {
        grid->setFocus(Qt::OtherFocusReason);
    } else {
        widget->clearFocus();
    }
}

void QtUi::SetDimmed(Panel panel, Control control, bool dimmed) {
    QObject* object = ControlObject(panel, control);
    if (auto* timer = qobject_cast<QTimer*>(object)) {
        dimmed ? timer->stop() : timer->start();
        return;
    }
    if (auto* widget = qobject_cast<QWidget*>(object)) {
        if (dimmed && panel == Panel::MAIN) {
            MoveFocusOffDimmed(widget);
        }
        widget->setEnabled(!dimmed);
        if (QLabel* buddy = BuddyOf(widget)) {
            buddy->setEnabled(!dimmed);
        }
    }
}

bool QtUi::IsDimmed(Panel panel, Control control) const {
    QObject* object = ControlObject(panel, control);
    if (auto* timer = qobject_cast<QTimer*>(object)) {
        return !timer->isActive();
    }
    auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->testAttribute(Qt::WA_ForceDisabled);
}

void QtUi::SetVisible(Panel panel, Control control, bool visible) {
    if (QWidget* widget = ControlWidget(panel, control)) {
        widget->setVisible(visible);
        if (QLabel* buddy = BuddyOf(widget)) {
            buddy->setVisible(visible);
        }
    }
}

bool QtUi::IsVisible(Panel panel, Control control) const {
    // Whether the control is shown on its panel, whether or not the panel itself is up.
    QWidget* widget = ControlWidget(panel, control);
    return widget && !widget->isHidden();
}

void QtUi::SetLabel(Panel panel, Control control, std::string label) {
    QWidget* widget = ControlWidget(panel, control);
    if (!widget) {
        return;
    }
    const QString text = ToQ(label);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(WithMnemonicOf(text, button->text()));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (QLabel* buddy = BuddyOf(widget)) {
        buddy->setText(WithMnemonicOf(text, buddy->text()));
    } else if (auto* plain = qobject_cast<QLabel*>(widget)) {
        plain->setText(text);
    }
}

std::string QtUi::Label(Panel panel, Control control) const {
    QWidget* widget = ControlWidget(panel, control);
    if (!widget) {
        return {};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return WithoutMnemonic(button->text()).toStdString();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        return group->title().toStdString();
    }
    if (QLabel* buddy = BuddyOf(widget)) {
        return WithoutMnemonic(buddy->text()).toStdString();
    }
    if (auto* plain = qobject_cast<QLabel*>(widget)) {
        return plain->text().toStdString();
    }
    return {};
}

void QtUi::SetTextColor(Panel panel, Control control, uint32_t rgb) {
    if (QWidget* widget = ControlWidget(panel, control)) {
        SetPaletteColor(widget, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText},
                        ToColor(rgb));
    }
}

uint32_t QtUi::TextColor(Panel panel, Control control) const {
    QWidget* widget = ControlWidget(panel, control);
    return widget ? FromColor(widget->palette().color(QPalette::Active, widget->foregroundRole()))
                  : kColorBlack;
}

void QtUi::SetBackgroundColor(Panel panel, Control control, uint32_t rgb) {
    if (QWidget* widget = ControlWidget(panel, control)) {
        SetPaletteColor(widget, {QPalette::Button, QPalette::Base, QPalette::Window}, ToColor(rgb));
    }
}

void QtUi::SetTooltip(Panel panel, Control control, std::string text) {
    if (QWidget* widget = ControlWidget(panel, control)) {
        // Qt would draw a tool tip that looks like markup as markup: such a text (a device path,
        // say) is shown escaped, and kept as set to be read back.
        const QString plain = ToQ(text);
        widget->setProperty(kPlainToolTip, plain);
        widget->setToolTip(
            Qt::mightBeRichText(plain)
                ? QStringLiteral("<p style='white-space:pre'>%1</p>").arg(plain.toHtmlEscaped())
                : plain);
    }
}

std::string QtUi::Tooltip(Panel panel, Control control) const {
    QWidget* widget = ControlWidget(panel, control);
    if (!widget) {
        return {};
    }
    const QVariant plain = widget->property(kPlainToolTip);
    return (plain.isValid() ? plain.toString() : widget->toolTip()).toStdString();
}

void QtUi::SetRange(Panel panel, Control control, double minimum, double maximum) {
    QObject* object = ControlObject(panel, control);
    if (!object) {
        return;
    }
    const QSignalBlocker quiet(object);
    if (auto* real = qobject_cast<QDoubleSpinBox*>(object)) {
        real->setRange(minimum, maximum);
    } else if (auto* integer = qobject_cast<QSpinBox*>(object)) {
        integer->setRange(ClampToInt(minimum), ClampToInt(maximum));
    }
}

void QtUi::ClearList(Panel panel, Control control) {
    QObject* object = ControlObject(panel, control);
    const QSignalBlocker quiet(object);
    if (auto* list = qobject_cast<QListWidget*>(object)) {
        list->clear();
    } else if (auto* ring = qobject_cast<QComboBox*>(object)) {
        ring->clear();
    }
}

void QtUi::AppendListItem(Panel panel, Control control, std::string label, int value) {
    QObject* object = ControlObject(panel, control);
    const QSignalBlocker quiet(object);
    if (auto* list = qobject_cast<QListWidget*>(object)) {
        auto* item = new QListWidgetItem(ToQ(label), list);
        item->setData(Qt::UserRole, value);
        if (list->currentRow() < 0) {
            list->setCurrentRow(0);
        }
    } else if (auto* ring = qobject_cast<QComboBox*>(object)) {
        ring->addItem(ToQ(label), value);
    }
}

int QtUi::ListCount(Panel panel, Control control) const {
    QObject* object = ControlObject(panel, control);
    if (auto* list = qobject_cast<QListWidget*>(object)) {
        return list->count();
    }
    if (auto* ring = qobject_cast<QComboBox*>(object)) {
        return ring->count();
    }
    return 0;
}

std::optional<int> QtUi::ListValueAt(Panel panel, Control control, int index) const {
    QObject* object = ControlObject(panel, control);
    if (auto* list = qobject_cast<QListWidget*>(object)) {
        if (index >= 0 && index < list->count()) {
            return list->item(index)->data(Qt::UserRole).toInt();
        }
    } else if (auto* ring = qobject_cast<QComboBox*>(object)) {
        if (index >= 0 && index < ring->count()) {
            return ring->itemData(index).toInt();
        }
    }
    return std::nullopt;
}

int QtUi::ListSelectedIndex(Panel panel, Control control) const {
    QObject* object = ControlObject(panel, control);
    if (auto* list = qobject_cast<QListWidget*>(object)) {
        return list->currentRow();
    }
    if (auto* ring = qobject_cast<QComboBox*>(object)) {
        return ring->currentIndex();
    }
    return -1;
}

}  // namespace keelsong
