// QtUi: the widgets' signals, the one-second timer and the windows' close requests, routed
// through the program's one table of callbacks.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>

#include "app/events/table_editing.h"
#include "app/events/table_paste.h"
#include "app/shell/callbacks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "gui/event_table_view.h"
#include "gui/history_dialog.h"
#include "gui/panels.h"
#include "gui/qt_ui.h"
#include "gui/timeline_view.h"
#include "report/report_pdf.h"

namespace keelsong {

namespace {

// Hands key presses on a control to its callback, and lets the widget handle them as usual.
class KeyRelay final : public QObject {
  public:
    KeyRelay(QObject* parent, std::function<void(int key)> relay)
        : QObject(parent), relay_(std::move(relay)) {}

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            relay_(static_cast<QKeyEvent*>(event)->key());
        }
        return false;
    }

  private:
    std::function<void(int)> relay_;
};

// Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y in a number field of the setup go to the window's undo and
// redo, which hold the field's whole change as one step, rather than to the field's own undo of
// its text, which would make each keystroke a new edit of the setup.
class HistoryKeysToWindow final : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeyCombination pressed = key->keyCombination();
        const bool history_key =
            pressed == QKeyCombination(Qt::ControlModifier, Qt::Key_Z) ||
            pressed == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z) ||
            pressed == QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
        if (history_key) {
            event->ignore();  // not the field's: the window's shortcut takes it
            return true;
        }
        return false;
    }
};

// The control whose callback a pop-up's Escape and close button stand for.
std::optional<Control> CancelControlOf(Panel panel) {
    switch (panel) {
        case Panel::CONNECT:
            return Control::ESCAPE;
        case Panel::ADVANCED:
        case Panel::AUTO:
            return Control::CANCEL;
        case Panel::MAIN:
            break;
    }
    return std::nullopt;
}

}  // namespace

void QtUi::Attach(Program& program) {
    program_ = &program;
    if (auto* grid =
            qobject_cast<EventTableView*>(ControlWidget(Panel::MAIN, Control::EVENT_TABLE))) {
        auto* model = new EventTableModel(program.Grid(), grid);
        grid_model_ = model;
        grid->SetGridModel(model);
        QObject::connect(model, &EventTableModel::cellEdited, grid, [this](int row, int column) {
            Dispatch(Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, row, column);
        });
        QObject::connect(model, &EventTableModel::cellLimited, grid, [this](int row, int column) {
            if (program_) {
                ReportCellLimited(*program_, column, row);
            }
        });
        WireRowKeys(*grid);
    }
    // The window writes its reports as PDF files.
    program.GetShell().SetReportWriter(WriteReportPdf);
    program.ServiceRecords().SetViewer(
        [this](const std::string& title, const std::vector<HistoryRecord>& records) {
            ShowHistoryDialog(MainWindow(), title, records);
        });
    if (TimelineView* timeline = Timeline()) {
        // The totals line under the strip says what the strip shows.
        if (auto* totals = main_->findChild<QLabel*>(QStringLiteral("scheduleTotals"))) {
            QObject::connect(timeline, &TimelineView::totalsChanged, totals, &QLabel::setText,
                             Qt::UniqueConnection);
        }
        timeline->FollowEnabledStateOf(ControlWidget(Panel::MAIN, Control::EVENT_TABLE));
        timeline->Attach(program);
    }
    for (const CallbackBinding& binding : CallbackTable()) {
        WireControl(binding.panel, binding.control);
    }
    for (Control control : kUndoableSetupControls) {
        if (auto* field = qobject_cast<QAbstractSpinBox*>(ControlWidget(Panel::MAIN, control))) {
            field->installEventFilter(new HistoryKeysToWindow(field));
        }
    }
    main_->SetCloseHandler([this] {
        if (!program_) {
            return true;
        }
        Dispatch(Panel::MAIN, Control::QUIT, UiEvent::Commit);
        return program_ && program_->GetShell().QuitRequested();
    });
    for (Panel panel : {Panel::CONNECT, Panel::ADVANCED, Panel::AUTO}) {
        static_cast<PanelDialog*>(PanelWidget(panel))->SetCloseHandler([this, panel] {
            return HandlePopupClose(panel);
        });
    }
}

void QtUi::WireRowKeys(EventTableView& grid) {
    QObject::connect(&grid, &EventTableView::removeRowsRequested, &grid,
                     [this](int first, int last) {
                         if (program_) {
                             RemoveEventRows(*program_, first, last);
                         }
                     });
    QObject::connect(&grid, &EventTableView::insertRowRequested, &grid, [this] {
        if (program_) {
            InsertAboveMenuAction(*program_);
        }
    });
    QObject::connect(&grid, &EventTableView::copyRowsRequested, &grid, [this](int first, int last) {
        if (program_ && first > 0) {
            QGuiApplication::clipboard()->setText(
                QString::fromStdString(CopyEventRows(program_->Grid(), first, last)));
        }
    });
    QObject::connect(&grid, &EventTableView::pasteRequested, &grid, [this](int row) {
        if (program_) {
            PasteEventRows(*program_, row, QGuiApplication::clipboard()->text().toStdString());
        }
    });
}

void QtUi::Detach() {
    if (TimelineView* timeline = Timeline()) {
        timeline->Detach();
    }
    if (auto* grid =
            qobject_cast<EventTableView*>(ControlWidget(Panel::MAIN, Control::EVENT_TABLE))) {
        grid->SetGridModel(nullptr);
    }
    delete grid_model_.data();
    program_ = nullptr;
}

bool QtUi::HandlePopupClose(Panel panel) {
    const std::optional<Control> cancel = CancelControlOf(panel);
    if (!program_ || !cancel || !CallbackFor(panel, *cancel)) {
        return false;  // nothing of the program's own to run: the panel just closes
    }
    Dispatch(panel, *cancel, UiEvent::Commit);
    return true;
}

void QtUi::Dispatch(Panel panel, Control control, UiEvent event, int data1, int data2) {
    if (!program_) {
        return;
    }
    // Inside an operation that talks to the unit the timer only keeps the clock going (it
    // never polls then); inside any other callback it waits.
    if (event == UiEvent::TimerTick && dispatch_depth_ > 0 &&
        program_->UnitOperationsRunning() == 0) {
        return;
    }
    ++dispatch_depth_;
    Press(*program_, panel, control, event, data1, data2);
    --dispatch_depth_;
    if (event == UiEvent::ValueChanged) {
        ControlValueChanged(panel, control);
    }
}

void QtUi::RunOperation(const std::function<void(Program&)>& operation) {
    if (!program_) {
        return;
    }
    ++dispatch_depth_;
    operation(*program_);
    --dispatch_depth_;
}

void QtUi::WireControl(Panel panel, Control control) {
    QObject* object = ControlObject(panel, control);
    if (!object) {
        return;
    }
    auto send = [this, panel, control](UiEvent event, int data1 = 0, int data2 = 0) {
        Dispatch(panel, control, event, data1, data2);
    };
    // Only the user's own actions: these signals do not fire when the program sets a value.
    if (auto* timer = qobject_cast<QTimer*>(object)) {
        // Queued: the tick's callback runs once the timer's own event is done. Qt does not fire
        // a timer again while its event is still being handled, so a pop-up raised inside the
        // tick (the poll finding another unit) would otherwise stop the clock until it closed.
        QObject::connect(
            timer, &QTimer::timeout, timer, [send] { send(UiEvent::TimerTick); },
            Qt::QueuedConnection);
        return;
    }
    if (auto* ring = qobject_cast<QComboBox*>(object)) {
        QObject::connect(ring, &QComboBox::activated, ring, [send] {
            send(UiEvent::ValueChanged);
            send(UiEvent::Commit);
        });
    } else if (auto* box = qobject_cast<QCheckBox*>(object)) {
        QObject::connect(box, &QCheckBox::clicked, box, [send] {
            send(UiEvent::ValueChanged);
            send(UiEvent::Commit);
        });
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [send] { send(UiEvent::Commit); });
    } else if (auto* real = qobject_cast<QDoubleSpinBox*>(object)) {
        QObject::connect(real, &QDoubleSpinBox::valueChanged, real,
                         [send] { send(UiEvent::ValueChanged); });
        QObject::connect(real, &QDoubleSpinBox::editingFinished, real,
                         [send] { send(UiEvent::Commit); });
    } else if (auto* integer = qobject_cast<QSpinBox*>(object)) {
        QObject::connect(integer, &QSpinBox::valueChanged, integer,
                         [send] { send(UiEvent::ValueChanged); });
        QObject::connect(integer, &QSpinBox::editingFinished, integer,
                         [send] { send(UiEvent::Commit); });
    } else if (auto* line = qobject_cast<QLineEdit*>(object)) {
        QObject::connect(line, &QLineEdit::textEdited, line,
                         [send] { send(UiEvent::ValueChanged); });
        QObject::connect(line, &QLineEdit::editingFinished, line,
                         [send] { send(UiEvent::Commit); });
    } else if (auto* list = qobject_cast<QListWidget*>(object)) {
        // itemClicked comes with the release of the click that chose the item.
        QObject::connect(list, &QListWidget::itemClicked, list,
                         [send] { send(UiEvent::LeftClickRelease); });
        QObject::connect(list, &QListWidget::itemDoubleClicked, list,
                         [send] { send(UiEvent::LeftDoubleClick); });
    } else if (auto* view = qobject_cast<QAbstractItemView*>(object)) {
        QObject::connect(view, &QAbstractItemView::doubleClicked, view,
                         [send](const QModelIndex& index) {
                             send(UiEvent::LeftDoubleClick, index.row() + 1, index.column() + 1);
                         });
    }
    object->installEventFilter(
        new KeyRelay(object, [send](int key) { send(UiEvent::KeyPress, key); }));
}

}  // namespace keelsong
