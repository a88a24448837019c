// QtUi: the modal pop-ups, the pop-up panels, focus and context menus, the wait cursor, the
// forced redraw, the progress bars and the panel picture.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "gui/event_table_view.h"
#include "gui/panels.h"
#include "gui/qt_ui.h"

namespace keelsong {

namespace {

QString ToQ(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A message box that can be closed from its title bar whatever its buttons, and tells that
// apart from a button: a plain QMessageBox counts the close as its Escape button.
class ThreeButtonBox final : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;
    bool ClosedWithoutButton() const { return closed_; }

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (!clickedButton()) {
            closed_ = true;
        }
        QDialog::closeEvent(event);
    }

  private:
    bool closed_ = false;
};

}  // namespace

QWidget* QtUi::PopupParent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return main_->isVisible() ? main_.get() : nullptr;
}

int QtUi::RunModal(QDialog& dialog) {
    if (popup_driver_) {
        // Answered from inside the dialog's own event loop, as a person would.
        QTimer::singleShot(0, &dialog, [this, &dialog] { popup_driver_(dialog); });
    }
    return dialog.exec();
}

void QtUi::MessagePopup(std::string_view title, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, ToQ(title), ToQ(text), QMessageBox::Ok, PopupParent());
    box.setTextFormat(Qt::PlainText);
    RunModal(box);
}

int QtUi::GenericMessagePopup(std::string_view title, std::string_view text,
                              const std::array<std::string, 3>& buttons, int enter_button,
                              int escape_button) {
    ThreeButtonBox box(QMessageBox::NoIcon, ToQ(title), ToQ(text), QMessageBox::NoButton,
                       PopupParent());
    box.setTextFormat(Qt::PlainText);
    std::array<QPushButton*, 3> pushed{};
    for (size_t i = 0; i < buttons.size(); ++i) {
        // A question with two answers leaves the third without a label: no button for it.
        if (buttons[i].empty()) {
            continue;
        }
        // One role for all three keeps them in the order given.
        pushed[i] = box.addButton(ToQ(buttons[i]), QMessageBox::ActionRole);
    }
    if (enter_button >= 1 && enter_button <= 3 && pushed[static_cast<size_t>(enter_button - 1)]) {
        box.setDefaultButton(pushed[static_cast<size_t>(enter_button - 1)]);
    }
    if (escape_button >= 1 && escape_button <= 3 &&
        pushed[static_cast<size_t>(escape_button - 1)]) {
        box.setEscapeButton(pushed[static_cast<size_t>(escape_button - 1)]);
    }
    RunModal(box);
    if (box.ClosedWithoutButton()) {
        return kPopupClosed;
    }
    for (size_t i = 0; i < pushed.size(); ++i) {
        if (pushed[i] && box.clickedButton() == pushed[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return kPopupClosed;
}

bool QtUi::ConfirmPopup(std::string_view title, std::string_view text) {
    QMessageBox box(QMessageBox::Question, ToQ(title), ToQ(text),
                    QMessageBox::Yes | QMessageBox::No, PopupParent());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    RunModal(box);
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

std::optional<std::string> QtUi::PromptPopup(std::string_view title, std::string_view text,
                                             size_t max_length) {
    QInputDialog dialog(PopupParent());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(ToQ(title));
    dialog.setLabelText(ToQ(text));
    if (auto* label = dialog.findChild<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
    }
    if (auto* line = dialog.findChild<QLineEdit*>()) {
        line->setMaxLength(static_cast<int>(std::min<size_t>(max_length, 32767)));
    }
    if (RunModal(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    std::string answer = dialog.textValue().toStdString();
    if (answer.size() > max_length) {
        answer.resize(max_length);
    }
    return answer;
}

FileSelection QtUi::FileSelectPopup(std::string_view folder, std::string_view pattern,
                                    std::string_view title, bool save, bool restrict_extension) {
    QFileDialog dialog(PopupParent(), ToQ(title));
    // The remembered place is a folder, or the file chosen last time: then the dialog starts in
    // that file's folder with the file selected.
    const QFileInfo start(ToQ(folder));
    if (start.isDir()) {
        dialog.setDirectory(start.absoluteFilePath());
    } else if (!folder.empty()) {
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    const QString filter = ToQ(pattern);
    QStringList filters{filter};
    if (!restrict_extension) {
        filters.append(QStringLiteral("All files (*)"));
    }
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save && filter.startsWith(QStringLiteral("*."))) {
        // A name typed without an extension gets the pattern's; any other extension stays.
        dialog.setDefaultSuffix(filter.mid(2));
    }
    if (popup_driver_) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    }
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString path = dialog.selectedFiles().constFirst();
    return {QFileInfo::exists(path) ? FileChoice::ExistingFile : FileChoice::NewFile,
            path.toStdString()};
}

std::optional<std::string> QtUi::DirSelectPopup(std::string_view folder, std::string_view title) {
    QFileDialog dialog(PopupParent(), ToQ(title), ToQ(folder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (popup_driver_) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    }
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

void QtUi::InstallPopup(Panel panel) {
    if (panel == Panel::MAIN) {
        return;
    }
    QWidget* dialog = PanelWidget(panel);
    // Shown without a nested event loop: the callback that installs it returns, and the
    // panel's own buttons carry on, while everything else waits.
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void QtUi::RemovePopup(Panel panel) {
    if (panel != Panel::MAIN) {
        PanelWidget(panel)->hide();
    }
}

bool QtUi::IsPopupInstalled(Panel panel) const {
    return panel != Panel::MAIN && PanelWidget(panel)->isVisible();
}

void QtUi::SetActiveCtrl(Panel panel, Control control) {
    if (QWidget* widget = ControlWidget(panel, control)) {
        widget->setFocus(Qt::OtherFocusReason);
    }
}

void QtUi::AppendMenuItem(Panel panel, Control control, std::string label,
                          std::function<void()> action) {
    QWidget* widget = ControlWidget(panel, control);
    if (auto* grid = qobject_cast<EventTableView*>(widget)) {
        grid->AppendMenuItem(ToQ(label), std::move(action));
        return;
    }
    if (!widget) {
        return;
    }
    // Only the program's own items: the widget's built-in menu is not offered.
    widget->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* item = new QAction(ToQ(label), widget);
    QObject::connect(item, &QAction::triggered, widget, [action = std::move(action)] {
        if (action) {
            action();
        }
    });
    widget->addAction(item);
}

void QtUi::AppendMenuSeparator(Panel panel, Control control) {
    QWidget* widget = ControlWidget(panel, control);
    if (auto* grid = qobject_cast<EventTableView*>(widget)) {
        grid->AppendMenuSeparator();
        return;
    }
    if (!widget) {
        return;
    }
    widget->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(widget);
    separator->setSeparator(true);
    widget->addAction(separator);
}

QAction* QtUi::MenuAction(Panel panel, Control control, std::string_view label) const {
    QWidget* widget = ControlWidget(panel, control);
    if (!widget) {
        return nullptr;
    }
    auto* grid = qobject_cast<EventTableView*>(widget);
    for (QAction* action : grid ? grid->ContextMenu()->actions() : widget->actions()) {
        if (!action->isSeparator() && action->text() == ToQ(label)) {
            return action;
        }
    }
    return nullptr;
}

void QtUi::SetMenuItemDimmed(Panel panel, Control control, std::string_view label, bool dimmed) {
    if (QAction* action = MenuAction(panel, control, label)) {
        action->setEnabled(!dimmed);
    }
}

void QtUi::SetMenuItemTooltip(Panel panel, Control control, std::string_view label,
                              std::string text) {
    if (QAction* action = MenuAction(panel, control, label)) {
        action->setToolTip(ToQ(text));
    }
}

void QtUi::SetMenuItemKeys(Panel panel, Control control, std::string_view label,
                           std::vector<std::string> keys) {
    QAction* action = MenuAction(panel, control, label);
    QWidget* window = PanelWidget(panel);
    if (!action || !window) {
        return;
    }
    QList<QKeySequence> sequences;
    for (const std::string& key : keys) {
        sequences << QKeySequence::fromString(ToQ(key), QKeySequence::PortableText);
    }
    action->setShortcuts(sequences);
    // The keys work wherever the focus is in the window, not only while the menu is open.
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
}

void QtUi::SetWaitCursor(bool on) {
    // A state, not a count: the program turns it on and off around whole operations.
    if (on == wait_cursor_) {
        return;
    }
    wait_cursor_ = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtUi::ProcessDrawEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtUi::ShowProgress(Panel panel, int percent, const std::string& text) {
    if (QProgressBar* bar = ProgressBarOf(panel)) {
        bar->setValue(std::clamp(percent, 0, 100));
        // The program's texts hold none of the bar's placeholders (%p, %v, %m).
        bar->setFormat(QString::fromStdString(text));
        bar->setVisible(true);
    }
}

void QtUi::HideProgress(Panel panel) {
    if (QProgressBar* bar = ProgressBarOf(panel)) {
        bar->setVisible(false);
    }
}

QProgressBar* QtUi::ProgressBarOf(Panel panel) const {
    QWidget* widget = PanelWidget(panel);
    return widget ? widget->findChild<QProgressBar*>(QStringLiteral("progressBar")) : nullptr;
}

int QtUi::SavePanelPicture(Panel panel, const std::string& path) {
    QWidget* widget = PanelWidget(panel);
    if (!widget) {
        return -1;
    }
    return widget->grab().save(ToQ(path), "PNG") ? 0 : -1;
}

}  // namespace keelsong
