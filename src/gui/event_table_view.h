#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>
#include <utility>

#include "app/state/event_grid_model.h"

class QMenu;

namespace keelsong {

// Roles the delegate reads to build a cell's editor.
enum EventTableRole {
    CellKindRole = Qt::UserRole + 1,  // int of CellKind
    RingItemsRole,                    // QStringList
    DecimalsRole,                     // int
    TransferMarkRole,                 // bool, for the whole row
    DimmedRole,                       // bool: the cell does not apply to the row
};

// The event grid as Qt sees it: a thin table model over EventGridModel, which holds every
// value and rule. Qt rows and columns count from 0; the grid's from 1. The grid (the Program
// that holds it) must outlive this model, which leaves the grid's observers when destroyed.
class EventTableModel final : public QAbstractTableModel, private EventGridObserver {
    Q_OBJECT

  public:
    explicit EventTableModel(EventGridModel& grid, QObject* parent = nullptr);
    ~EventTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The user's edit: the grid takes it or refuses it by its own rules.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    EventGridModel& Grid() { return grid_; }
    QModelIndex IndexOf(int column, int row) const { return index(row - 1, column - 1); }

  signals:
    // The user changed a cell's value (numbered from 1): the grid's value-changed event.
    void cellEdited(int row, int column);
    // The number the user gave lay outside the cell's range and the nearest limit was taken.
    void cellLimited(int row, int column);
    // The grid moved its active cell (numbered from 1).
    void activeCellChanged(int column, int row);

  private:
    void RowsAboutToBeInserted(int first, int last) override;
    void RowsInserted(int first, int last) override;
    void RowsAboutToBeRemoved(int first, int last) override;
    void RowsRemoved(int first, int last) override;
    void CellChanged(int column, int row) override;
    void TransferMarkChanged(int row) override;
    void ColumnTitleChanged(int column) override;
    void ActiveCellChanged(int column, int row) override;

    EventGridModel& grid_;
};

// Editors that keep to the grid's rules: a drop-down of the ring's items that applies the
// choice at once, and a number field with the cell's decimals.
class EventCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // A ring the user may choose from carries a drop-down arrow, so that it reads as one.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

  protected:
    // In a dimmed grid (no unit connected) every value takes the disabled text colour; the
    // cells that do not apply must still read fainter than those.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// The EVENT_TABLE grid. Tab and the arrows move between cells, typing starts an edit, a click
// or F4 opens a drop-down, and the view's current cell is the grid's active cell. The context
// menu holds the items the program appends. A block of rows can be selected; Delete, Insert,
// Ctrl+C and Ctrl+V ask for the row commands, which the program carries out. The columns share
// the width the view has beyond what they need.
class EventTableView final : public QTableView {
    Q_OBJECT

  public:
    explicit EventTableView(QWidget* parent = nullptr);

    // Shows this grid; the view does not own it.
    void SetGridModel(EventTableModel* model);
    EventTableModel* GridModel() const { return grid_model_; }

    void AppendMenuItem(const QString& label, std::function<void()> action);
    void AppendMenuSeparator();
    QMenu* ContextMenu() const { return menu_; }

    // The selected rows, numbered from 1, or the current row when none is selected (0 in an
    // empty grid).
    std::pair<int, int> SelectedRows() const;

  signals:
    // Rows numbered from 1.
    void removeRowsRequested(int first, int last);
    void insertRowRequested();
    void copyRowsRequested(int first, int last);
    void pasteRequested(int row);

  protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool IsRing(const QModelIndex& index) const;
    // Ctrl+V with rows on the clipboard, pressed in an open editor: the editor closes and the
    // rows are pasted as from the grid. True when it was so.
    bool PasteRowsFromEditor(QObject* watched, QEvent* event);
    void FollowActiveCell(int column, int row);
    void ShareWidth();

    EventTableModel* grid_model_ = nullptr;
    QMenu* menu_ = nullptr;
    bool following_ = false;
};

}  // namespace keelsong
