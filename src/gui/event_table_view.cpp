#include "gui/event_table_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QTimer>
#include <algorithm>

namespace keelsong {

namespace {

// A dimmed cell reads as plainly out of use; the transfer mark is a warm band across the row
// that stands out from both the selection and the dimmed cells.
const QColor kDimmedText(150, 150, 150);
const QColor kDimmedBackground(236, 236, 236);
const QColor kMarkedBackground(255, 214, 110);
const QColor kMarkedDimmedBackground(238, 210, 150);

// Text that holds more than one cell: the rows a spreadsheet or the grid's Ctrl+C gives. A single
// value (a spreadsheet ends even one cell with a line break) is the field's own to paste.
bool HoldsRows(QString text) {
    if (text.endsWith('\n')) {
        text.chop(1);
    }
    return text.contains('\t') || text.contains('\n');
}

// The grid's numbers have a decimal point. A comma typed or pasted into a number field (the
// decimal key of many keyboards gives one) is taken as that point, rather than as a thousands
// separator that would turn 2,5 into 25.
class NumberValidator final : public QDoubleValidator {
  public:
    using QDoubleValidator::QDoubleValidator;
    State validate(QString& input, int& position) const override {
        input.replace(',', '.');
        return QDoubleValidator::validate(input, position);
    }
};

constexpr int kRowHeight = 24;
constexpr int kArrowWidth = 14;

}  // namespace

// ---- EventTableModel ---------------------------------------------------------------------

EventTableModel::EventTableModel(EventGridModel& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
    grid_.AddObserver(this);
}

EventTableModel::~EventTableModel() {
    grid_.RemoveObserver(this);
}

int EventTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.RowCount();
}

int EventTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_column::kCount;
}

QVariant EventTableModel::data(const QModelIndex& index, int role) const {
    const int column = index.column() + 1;
    const int row = index.row() + 1;
    const GridCell* cell = grid_.Cell(column, row);
    if (!index.isValid() || !cell) {
        return {};
    }
    const bool marked = grid_.HasTransferMark(row);
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(grid_.DisplayText(column, row));
        case Qt::EditRole:
            if (cell->kind == CellKind::Ring) {
                return QString::fromStdString(cell->text);
            }
            return cell->number;
        case Qt::ForegroundRole:
            return cell->dimmed ? QVariant(kDimmedText) : QVariant();
        case Qt::BackgroundRole:
            if (marked) {
                return cell->dimmed ? kMarkedDimmedBackground : kMarkedBackground;
            }
            return cell->dimmed ? QVariant(kDimmedBackground) : QVariant();
        case Qt::TextAlignmentRole:
            return cell->kind == CellKind::Ring ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ToolTipRole:
            if (cell->kind != CellKind::Ring && !cell->dimmed) {
                return tr("%1 to %2")
                    .arg(cell->minimum, 0, 'f', cell->decimals)
                    .arg(cell->maximum, 0, 'f', cell->decimals);
            }
            return {};
        case CellKindRole:
            return static_cast<int>(cell->kind);
        case RingItemsRole: {
            QStringList items;
            for (const std::string& item : cell->items) {
                items << QString::fromStdString(item);
            }
            return items;
        }
        case DecimalsRole:
            return cell->decimals;
        case TransferMarkRole:
            return marked;
        case DimmedRole:
            return cell->dimmed;
        default:
            return {};
    }
}

QVariant EventTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (orientation == Qt::Horizontal) {
        return QString::fromStdString(grid_.ColumnTitle(section + 1));
    }
    return section + 1;
}

Qt::ItemFlags EventTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (grid_.IsUserEditable(index.column() + 1, index.row() + 1)) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool EventTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int column = index.column() + 1;
    const int row = index.row() + 1;
    const GridCell* cell = grid_.Cell(column, row);
    if (role != Qt::EditRole || !cell) {
        return false;
    }
    EventGridModel::UserEdit edit;
    if (cell->kind == CellKind::Ring) {
        edit = grid_.UserSetText(column, row, value.toString().toStdString());
    } else {
        bool numeric = false;
        const double number = value.toDouble(&numeric);
        if (numeric) {
            edit = grid_.UserSetNumber(column, row, number);
        }
    }
    if (edit.changed) {
        emit cellEdited(row, column);
    }
    if (edit.limited) {
        emit cellLimited(row, column);
    }
    return edit.accepted;
}

void EventTableModel::RowsAboutToBeInserted(int first, int last) {
    beginInsertRows({}, first - 1, last - 1);
}

void EventTableModel::RowsInserted(int, int) {
    endInsertRows();
}

void EventTableModel::RowsAboutToBeRemoved(int first, int last) {
    beginRemoveRows({}, first - 1, last - 1);
}

void EventTableModel::RowsRemoved(int, int) {
    endRemoveRows();
}

void EventTableModel::CellChanged(int column, int row) {
    const QModelIndex changed = IndexOf(column, row);
    emit dataChanged(changed, changed);
}

void EventTableModel::TransferMarkChanged(int row) {
    emit dataChanged(IndexOf(1, row), IndexOf(grid_column::kCount, row),
                     {Qt::BackgroundRole, TransferMarkRole});
}

void EventTableModel::ColumnTitleChanged(int column) {
    emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
}

void EventTableModel::ActiveCellChanged(int column, int row) {
    emit activeCellChanged(column, row);
}

// ---- EventCellDelegate -------------------------------------------------------------------

void EventCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const bool choosable_ring =
        index.data(CellKindRole).toInt() == static_cast<int>(CellKind::Ring) &&
        (index.flags() & Qt::ItemIsEditable);
    if (!choosable_ring) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem text_option = option;
    text_option.rect.setRight(option.rect.right() - kArrowWidth);
    QStyledItemDelegate::paint(painter, text_option, index);

    QStyleOptionViewItem arrow_area = option;
    arrow_area.rect.setLeft(option.rect.right() - kArrowWidth);
    initStyleOption(&arrow_area, index);
    arrow_area.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &arrow_area, painter, widget);
    QStyleOption arrow;
    arrow.initFrom(widget);
    arrow.rect = QRect(option.rect.right() - kArrowWidth + 2, option.rect.center().y() - 4, 9, 9);
    arrow.palette = option.palette;
    if (option.state & QStyle::State_Selected) {
        arrow.palette.setColor(QPalette::ButtonText,
                               option.palette.color(QPalette::HighlightedText));
    }
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, widget);
}

void EventCellDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!(option->state & QStyle::State_Enabled) && index.data(DimmedRole).toBool()) {
        // Halfway from the view's disabled text to the cell's background, whatever the style's
        // colours (the option's own text colour is the cell's dimmed one by now).
        const QPalette view = option->widget ? option->widget->palette() : QApplication::palette();
        const QColor text = view.color(QPalette::Disabled, QPalette::Text);
        const QVariant cell_background = index.data(Qt::BackgroundRole);
        const QColor background = cell_background.canConvert<QColor>()
                                      ? cell_background.value<QColor>()
                                      : view.color(QPalette::Disabled, QPalette::Base);
        const QColor fainter((text.red() + background.red()) / 2,
                             (text.green() + background.green()) / 2,
                             (text.blue() + background.blue()) / 2);
        option->palette.setColor(QPalette::Disabled, QPalette::Text, fainter);
    }
}

QWidget* EventCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const {
    auto* self = const_cast<EventCellDelegate*>(this);
    if (index.data(CellKindRole).toInt() == static_cast<int>(CellKind::Ring)) {
        auto* combo = new QComboBox(parent);
        combo->addItems(index.data(RingItemsRole).toStringList());
        // A choice applies at once, as a ring does; the list opens with the editor.
        connect(combo, &QComboBox::activated, self, [self, combo](int) {
            emit self->commitData(combo);
            emit self->closeEditor(combo, QAbstractItemDelegate::NoHint);
        });
        QTimer::singleShot(0, combo, [combo] { combo->showPopup(); });
        return combo;
    }
    // Any number of the cell's decimals: the grid brings one outside the range to the nearest
    // limit when it is committed, rather than the field dropping the keystrokes that leave it.
    auto* field = new QLineEdit(parent);
    field->setFrame(false);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* numbers = new NumberValidator(field);
    numbers->setLocale(QLocale::c());  // the grid shows its numbers so
    numbers->setNotation(QDoubleValidator::StandardNotation);
    numbers->setDecimals(index.data(DecimalsRole).toInt());
    field->setValidator(numbers);
    return field;
}

void EventCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(combo->findText(index.data(Qt::EditRole).toString()));
    } else if (auto* field = qobject_cast<QLineEdit*>(editor)) {
        // The view calls this again whenever the cell changes under an open editor (an
        // exchange with the unit may touch the cell while the user types): what the user typed
        // stays, to be committed by the key that follows.
        if (field->isModified()) {
            return;
        }
        field->setText(field->validator()->locale().toString(
            index.data(Qt::EditRole).toDouble(), 'f', index.data(DecimalsRole).toInt()));
        field->selectAll();
    }
}

void EventCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (combo->currentIndex() >= 0) {
            model->setData(index, combo->currentText(), Qt::EditRole);
        }
    } else if (auto* field = qobject_cast<QLineEdit*>(editor)) {
        // Text that is no number yet ("", "-") leaves the cell as it was.
        bool numeric = false;
        const double number = field->validator()->locale().toDouble(field->text(), &numeric);
        if (numeric) {
            model->setData(index, number, Qt::EditRole);
        }
    }
}

// ---- EventTableView ----------------------------------------------------------------------

EventTableView::EventTableView(QWidget* parent) : QTableView(parent), menu_(new QMenu(this)) {
    // The undo and redo items say in their tooltips what they would undo or redo.
    menu_->setToolTipsVisible(true);
    setItemDelegate(new EventCellDelegate(this));
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
}

void EventTableView::SetGridModel(EventTableModel* model) {
    if (grid_model_) {
        disconnect(grid_model_, nullptr, this, nullptr);
    }
    grid_model_ = model;
    setModel(model);
    if (!model) {
        return;
    }
    ShareWidth();
    connect(model, &EventTableModel::activeCellChanged, this, &EventTableView::FollowActiveCell);
    const EventGridModel::CellAddress active = model->Grid().ActiveCell();
    FollowActiveCell(active.column, active.row);
}

void EventTableView::AppendMenuItem(const QString& label, std::function<void()> action) {
    QAction* item = menu_->addAction(label);
    connect(item, &QAction::triggered, this, [action = std::move(action)] {
        if (action) {
            action();
        }
    });
}

void EventTableView::AppendMenuSeparator() {
    menu_->addSeparator();
}

bool EventTableView::IsRing(const QModelIndex& index) const {
    return index.isValid() && index.data(CellKindRole).toInt() == static_cast<int>(CellKind::Ring);
}

std::pair<int, int> EventTableView::SelectedRows() const {
    int first = 0;
    int last = 0;
    if (selectionModel()) {
        for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
            const int row = index.row() + 1;
            first = first == 0 ? row : std::min(first, row);
            last = std::max(last, row);
        }
    }
    if (first == 0) {
        first = last = currentIndex().isValid() ? currentIndex().row() + 1 : 0;
    }
    return {first, last};
}

bool EventTableView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!QTableView::edit(index, trigger, event)) {
        return false;
    }
    // A click inside a selection opens an editor too; Ctrl+V there must still paste rows.
    if (QWidget* editor = indexWidget(index)) {
        editor->installEventFilter(this);
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->view()->installEventFilter(this);  // the open list has the keys
        }
    }
    return true;
}

bool EventTableView::eventFilter(QObject* watched, QEvent* event) {
    return PasteRowsFromEditor(watched, event) || QTableView::eventFilter(watched, event);
}

bool EventTableView::PasteRowsFromEditor(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress ||
        !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste) ||
        !HoldsRows(QApplication::clipboard()->text())) {
        return false;
    }
    QWidget* editor = qobject_cast<QWidget*>(watched);
    while (editor && editor != indexWidget(currentIndex())) {
        editor = editor->parentWidget();
    }
    if (!editor) {
        return false;
    }
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->hidePopup();
    }
    // What was typed is dropped: the rows pasted from this one on replace it.
    closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    emit pasteRequested(currentIndex().row() + 1);
    return true;
}

void EventTableView::keyPressEvent(QKeyEvent* event) {
    if (state() == QAbstractItemView::EditingState) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_F4 && currentIndex().isValid()) {
        edit(currentIndex(), QAbstractItemView::EditKeyPressed, event);
        return;
    }
    const auto [first, last] = SelectedRows();
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit removeRowsRequested(first, last);
    } else if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        emit insertRowRequested();
    } else if (event->matches(QKeySequence::Copy)) {
        emit copyRowsRequested(first, last);
    } else if (event->matches(QKeySequence::Paste)) {
        emit pasteRequested(currentIndex().isValid() ? currentIndex().row() + 1 : 1);
    } else {
        QTableView::keyPressEvent(event);
    }
}

void EventTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    ShareWidth();
}

// Each column gets its starting width, and the width the view has beyond them is shared out
// in proportion; a view narrower than the starting widths scrolls sideways instead.
void EventTableView::ShareWidth() {
    if (!model()) {
        return;
    }
    int needed = 0;
    for (const GridColumnInfo& column : kGridColumns) {
        needed += column.width;
    }
    const int spare = std::max(0, viewport()->width() - needed);
    int given = 0;
    for (int column = 0; column < grid_column::kCount; ++column) {
        const int start = kGridColumns[static_cast<size_t>(column)].width;
        int width = start + spare * start / needed;
        if (column == grid_column::kCount - 1) {
            width = start + spare - given;  // the rounding's remains
        }
        given += width - start;
        setColumnWidth(column, width);
    }
}

void EventTableView::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && IsRing(index) &&
        (index.flags() & Qt::ItemIsEditable) && state() != QAbstractItemView::EditingState) {
        edit(index, QAbstractItemView::AllEditTriggers, event);
    }
}

void EventTableView::contextMenuEvent(QContextMenuEvent* event) {
    // The menu acts on the cell it was opened over.
    if (const QModelIndex index = indexAt(event->pos()); index.isValid()) {
        setCurrentIndex(index);
    }
    if (!menu_->isEmpty()) {
        menu_->exec(event->globalPos());
    }
}

void EventTableView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!following_ && grid_model_ && current.isValid()) {
        grid_model_->Grid().SetActiveCell(current.column() + 1, current.row() + 1);
    }
}

void EventTableView::FollowActiveCell(int column, int row) {
    if (!grid_model_ || row < 1) {
        return;
    }
    const QModelIndex target = grid_model_->IndexOf(column, row);
    if (target.isValid() && target != currentIndex() && selectionModel()) {
        following_ = true;
        // The program moved the cell, not the user: the keys held at the moment (Ctrl, from
        // the Ctrl+V or Ctrl+Z that started it) must not extend the selection.
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        following_ = false;
    }
}

}  // namespace keelsong
