#include "app/state/event_grid_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace keelsong {

namespace {

GridCell RingCell(std::vector<std::string> items, std::string text) {
    GridCell cell;
    cell.kind = CellKind::Ring;
    cell.items = std::move(items);
    cell.text = std::move(text);
    return cell;
}

GridCell NumericCell(CellKind kind, double minimum, double maximum, int decimals, double value) {
    GridCell cell;
    cell.kind = kind;
    cell.minimum = minimum;
    cell.maximum = maximum;
    cell.decimals = decimals;
    cell.number = value;
    return cell;
}

}  // namespace

// The limits the grid carries before any unit is identified: wide enough for every unit, so
// nothing typed before the first enquiry is lost to a range that does not apply yet.
EventGridModel::EventGridModel()
    : defaults_{
          RingCell({"None", "Tone", "Sweep", "Rest"}, "None"),
          NumericCell(CellKind::Real, 0.1, 6553.5, 1, 1.0),
          RingCell({}, "Seconds"),
          NumericCell(CellKind::Integer, 20, 200000, 0, 20),
          NumericCell(CellKind::Integer, 20, 200000, 0, 200000),
          NumericCell(CellKind::Integer, -24, 24, 0, 0),
          NumericCell(CellKind::Integer, -180, 180, 0, 0),
      } {
    for (size_t k = 0; k < kGridColumns.size(); ++k) {
        titles_[k] = kGridColumns[k].title;
    }
}

void EventGridModel::AddObserver(EventGridObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void EventGridModel::RemoveObserver(EventGridObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

bool EventGridModel::InsertRows(int position, int count) {
    if (count <= 0 || position < 1 || position > RowCount() + 1 || count > kMaxRows - RowCount()) {
        return false;
    }
    Row fresh;
    fresh.cells = defaults_;
    InsertRowsAt(position, std::vector<Row>(static_cast<size_t>(count), fresh));
    return true;
}

void EventGridModel::InsertRowsAt(int position, const std::vector<Row>& rows) {
    const int count = static_cast<int>(rows.size());
    const int last = position + count - 1;
    for (EventGridObserver* o : observers_) {
        o->RowsAboutToBeInserted(position, last);
    }
    rows_.insert(rows_.begin() + (position - 1), rows.begin(), rows.end());
    if (active_.row == 0) {
        active_.row = 1;
    } else if (active_.row >= position) {
        // The active cell stays with the row it was on, as a view's current index does.
        active_.row += count;
    }
    for (EventGridObserver* o : observers_) {
        o->RowsInserted(position, last);
    }
    for (EventGridObserver* o : observers_) {
        o->ActiveCellChanged(active_.column, active_.row);
    }
}

void EventGridModel::DeleteRows(int first, int count) {
    if (!RowExists(first) || count <= 0) {
        return;
    }
    const int last = std::min(RowCount(), first + count - 1);
    for (EventGridObserver* o : observers_) {
        o->RowsAboutToBeRemoved(first, last);
    }
    rows_.erase(rows_.begin() + (first - 1), rows_.begin() + last);
    if (active_.row > last) {
        active_.row -= last - first + 1;
    }
    KeepActiveCellInside();
    for (EventGridObserver* o : observers_) {
        o->RowsRemoved(first, last);
    }
    for (EventGridObserver* o : observers_) {
        o->ActiveCellChanged(active_.column, active_.row);
    }
}

std::vector<EventGridModel::RowCells> EventGridModel::RowImages() const {
    std::vector<RowCells> images;
    images.reserve(rows_.size());
    for (const Row& row : rows_) {
        images.push_back(row.cells);
    }
    return images;
}

void EventGridModel::RestoreRows(const std::vector<RowCells>& rows) {
    const int have = RowCount();
    const int want = std::min(static_cast<int>(rows.size()), kMaxRows);
    const auto same = [&](int have_index, int want_index) {
        return rows_[static_cast<size_t>(have_index)].cells ==
               rows[static_cast<size_t>(want_index)];
    };
    int prefix = 0;
    while (prefix < std::min(have, want) && same(prefix, prefix)) {
        ++prefix;
    }
    int suffix = 0;
    while (suffix < std::min(have, want) - prefix && same(have - 1 - suffix, want - 1 - suffix)) {
        ++suffix;
    }
    const int have_between = have - prefix - suffix;
    const int want_between = want - prefix - suffix;
    const int overwrite = std::min(have_between, want_between);
    for (int i = prefix; i < prefix + overwrite; ++i) {
        for (int column = 1; column <= grid_column::kCount; ++column) {
            GridCell& cell = rows_[static_cast<size_t>(i)].cells[static_cast<size_t>(column - 1)];
            const GridCell& wanted = rows[static_cast<size_t>(i)][static_cast<size_t>(column - 1)];
            if (!(cell == wanted)) {
                cell = wanted;
                Changed(column, i + 1);
            }
        }
    }
    if (want_between > have_between) {
        std::vector<Row> incoming;
        for (int i = prefix + overwrite; i < prefix + want_between; ++i) {
            incoming.push_back(Row{rows[static_cast<size_t>(i)], false});
        }
        InsertRowsAt(prefix + overwrite + 1, incoming);
    } else if (have_between > want_between) {
        DeleteRows(prefix + overwrite + 1, have_between - want_between);
    }
}

void EventGridModel::AdoptColumnDefaults(const EventGridModel& other) {
    defaults_ = other.defaults_;
}

void EventGridModel::TakeRowsOf(EventGridModel& built) {
    DeleteAllRows();
    if (built.rows_.empty()) {
        return;
    }
    const int last = built.RowCount();
    for (EventGridObserver* o : observers_) {
        o->RowsAboutToBeInserted(1, last);
    }
    rows_.swap(built.rows_);
    built.rows_.clear();
    built.KeepActiveCellInside();
    active_.row = 1;
    for (EventGridObserver* o : observers_) {
        o->RowsInserted(1, last);
    }
    for (EventGridObserver* o : observers_) {
        o->ActiveCellChanged(active_.column, active_.row);
    }
}

const GridCell* EventGridModel::Cell(int column, int row) const {
    if (!ValidColumn(column) || !RowExists(row)) {
        return nullptr;
    }
    return &rows_[static_cast<size_t>(row - 1)].cells[static_cast<size_t>(column - 1)];
}

GridCell* EventGridModel::MutableCell(int column, int row) {
    return const_cast<GridCell*>(std::as_const(*this).Cell(column, row));
}

void EventGridModel::Changed(int column, int row) {
    for (EventGridObserver* o : observers_) {
        o->CellChanged(column, row);
    }
}

// Every enquiry applies the unit's limits again, mostly the very ones the cells have: telling a
// view about those would have it put the cell's value over what the user is typing there.
void EventGridModel::ChangedUnlessSame(const GridCell& before, int column, int row) {
    if (const GridCell* cell = Cell(column, row); cell && !(*cell == before)) {
        Changed(column, row);
    }
}

double EventGridModel::Number(int column, int row) const {
    const GridCell* cell = Cell(column, row);
    return cell && cell->kind != CellKind::Ring ? cell->number : 0.0;
}

std::string EventGridModel::Text(int column, int row) const {
    const GridCell* cell = Cell(column, row);
    return cell && cell->kind == CellKind::Ring ? cell->text : std::string();
}

void EventGridModel::BringIntoRange(GridCell& cell) {
    if (cell.kind == CellKind::Ring) {
        return;
    }
    double value = std::isnan(cell.number) ? cell.minimum : cell.number;
    if (cell.kind == CellKind::Integer) {
        value = std::round(value);
    }
    // The maximum first: should a caller ever set the limits crosswise, the minimum wins.
    cell.number = std::max(cell.minimum, std::min(cell.maximum, value));
}

void EventGridModel::ApplyRange(GridCell& cell, double minimum, double maximum) {
    if (cell.kind == CellKind::Integer) {
        minimum = std::ceil(minimum);
        maximum = std::floor(maximum);
    }
    cell.minimum = minimum;
    cell.maximum = maximum;
    BringIntoRange(cell);
}

void EventGridModel::SetNumber(int column, int row, double value) {
    if (GridCell* cell = MutableCell(column, row); cell && cell->kind != CellKind::Ring) {
        cell->number = value;
        BringIntoRange(*cell);
        Changed(column, row);
    }
}

void EventGridModel::SetText(int column, int row, std::string text) {
    if (GridCell* cell = MutableCell(column, row); cell && cell->kind == CellKind::Ring) {
        cell->text = std::move(text);
        Changed(column, row);
    }
}

std::string EventGridModel::DisplayText(int column, int row) const {
    const GridCell* cell = Cell(column, row);
    if (!cell) {
        return {};
    }
    if (cell->kind == CellKind::Ring) {
        return cell->text;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", std::clamp(cell->decimals, 0, 6), cell->number);
    return text;
}

void EventGridModel::SetKind(int column, int row, CellKind kind) {
    GridCell* cell = MutableCell(column, row);
    if (!cell || cell->kind == kind || cell->kind == CellKind::Ring || kind == CellKind::Ring) {
        return;
    }
    cell->kind = kind;
    if (kind == CellKind::Integer) {
        cell->decimals = 0;
    }
    ApplyRange(*cell, cell->minimum, cell->maximum);
    Changed(column, row);
}

void EventGridModel::SetRange(int column, int row, double minimum, double maximum) {
    if (GridCell* cell = MutableCell(column, row)) {
        const GridCell before = *cell;
        ApplyRange(*cell, minimum, maximum);
        ChangedUnlessSame(before, column, row);
    }
}

void EventGridModel::SetDecimals(int column, int row, int decimals) {
    if (GridCell* cell = MutableCell(column, row); cell && cell->kind == CellKind::Real) {
        cell->decimals = std::clamp(decimals, 0, 6);
        Changed(column, row);
    }
}

void EventGridModel::SetDimmed(int column, int row, bool dimmed) {
    if (GridCell* cell = MutableCell(column, row); cell && cell->dimmed != dimmed) {
        cell->dimmed = dimmed;
        Changed(column, row);
    }
}

bool EventGridModel::IsDimmed(int column, int row) const {
    const GridCell* cell = Cell(column, row);
    return cell && cell->dimmed;
}

void EventGridModel::SetChoosable(int column, int row, bool choosable) {
    if (GridCell* cell = MutableCell(column, row); cell && cell->choosable != choosable) {
        cell->choosable = choosable;
        Changed(column, row);
    }
}

int EventGridModel::RingItemCount(int column, int row) const {
    const GridCell* cell = Cell(column, row);
    return cell ? static_cast<int>(cell->items.size()) : 0;
}

void EventGridModel::DeleteRingItems(int column, int row) {
    if (GridCell* cell = MutableCell(column, row); cell && cell->kind == CellKind::Ring) {
        cell->items.clear();
        Changed(column, row);
    }
}

void EventGridModel::InsertRingItem(int column, int row, int index, std::string item) {
    GridCell* cell = MutableCell(column, row);
    if (!cell || cell->kind != CellKind::Ring) {
        return;
    }
    const size_t at = std::min(static_cast<size_t>(std::max(index, 0)), cell->items.size());
    cell->items.insert(cell->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    Changed(column, row);
}

void EventGridModel::DeleteRingItem(int column, int row, int index) {
    GridCell* cell = MutableCell(column, row);
    if (!cell || index < 0 || index >= static_cast<int>(cell->items.size())) {
        return;
    }
    cell->items.erase(cell->items.begin() + index);
    Changed(column, row);
}

void EventGridModel::SetColumnRange(int column, double minimum, double maximum) {
    if (!ValidColumn(column) || defaults_[static_cast<size_t>(column - 1)].kind == CellKind::Ring) {
        return;
    }
    ApplyRange(defaults_[static_cast<size_t>(column - 1)], minimum, maximum);
    for (int row = 1; row <= RowCount(); ++row) {
        SetRange(column, row, minimum, maximum);
    }
}

void EventGridModel::SetColumnMinimum(int column, double minimum) {
    if (!ValidColumn(column) || defaults_[static_cast<size_t>(column - 1)].kind == CellKind::Ring) {
        return;
    }
    GridCell& fallback = defaults_[static_cast<size_t>(column - 1)];
    ApplyRange(fallback, minimum, fallback.maximum);
    for (int row = 1; row <= RowCount(); ++row) {
        if (GridCell* cell = MutableCell(column, row)) {
            const GridCell before = *cell;
            ApplyRange(*cell, minimum, cell->maximum);
            ChangedUnlessSame(before, column, row);
        }
    }
}

void EventGridModel::SetColumnTitle(int column, std::string title) {
    if (ValidColumn(column)) {
        titles_[static_cast<size_t>(column - 1)] = std::move(title);
        for (EventGridObserver* o : observers_) {
            o->ColumnTitleChanged(column);
        }
    }
}

std::string EventGridModel::ColumnTitle(int column) const {
    return ValidColumn(column) ? titles_[static_cast<size_t>(column - 1)] : std::string();
}

const GridCell* EventGridModel::ColumnDefault(int column) const {
    return ValidColumn(column) ? &defaults_[static_cast<size_t>(column - 1)] : nullptr;
}

void EventGridModel::SetTransferMark(int row, bool marked) {
    if (RowExists(row) && rows_[static_cast<size_t>(row - 1)].transfer_mark != marked) {
        rows_[static_cast<size_t>(row - 1)].transfer_mark = marked;
        for (EventGridObserver* o : observers_) {
            o->TransferMarkChanged(row);
        }
    }
}

bool EventGridModel::HasTransferMark(int row) const {
    return RowExists(row) && rows_[static_cast<size_t>(row - 1)].transfer_mark;
}

void EventGridModel::SetActiveCell(int column, int row) {
    if (!ValidColumn(column) || !RowExists(row) || active_ == CellAddress{column, row}) {
        return;
    }
    active_ = {column, row};
    for (EventGridObserver* o : observers_) {
        o->ActiveCellChanged(column, row);
    }
}

void EventGridModel::KeepActiveCellInside() {
    active_.row = std::clamp(active_.row, RowCount() > 0 ? 1 : 0, RowCount());
}

bool EventGridModel::IsUserEditable(int column, int row) const {
    const GridCell* cell = Cell(column, row);
    return cell && !cell->dimmed && (cell->kind != CellKind::Ring || cell->choosable);
}

EventGridModel::UserEdit EventGridModel::UserSetNumber(int column, int row, double value) {
    const GridCell* cell = Cell(column, row);
    if (!IsUserEditable(column, row) || cell->kind == CellKind::Ring || !std::isfinite(value)) {
        return {};
    }
    SetActiveCell(column, row);
    const double before = cell->number;
    const bool limited = value < cell->minimum || value > cell->maximum;
    if (value != before) {
        SetNumber(column, row, value);
    }
    return {.accepted = true, .changed = cell->number != before, .limited = limited};
}

EventGridModel::UserEdit EventGridModel::UserSetText(int column, int row, const std::string& text) {
    const GridCell* cell = Cell(column, row);
    if (!IsUserEditable(column, row) || cell->kind != CellKind::Ring ||
        std::find(cell->items.begin(), cell->items.end(), text) == cell->items.end()) {
        return {};
    }
    SetActiveCell(column, row);
    const bool changed = text != cell->text;
    if (changed) {
        SetText(column, row, text);
    }
    return {.accepted = true, .changed = changed};
}

}  // namespace keelsong
