#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace keelsong {

// The grid's columns, numbered from 1 as every conversion addresses them.
namespace grid_column {
inline constexpr int kType = 1;
inline constexpr int kDuration = 2;
inline constexpr int kUnit = 3;
inline constexpr int kStartFrequency = 4;
inline constexpr int kEndFrequency = 5;
inline constexpr int kLevel = 6;
inline constexpr int kPhase = 7;
inline constexpr int kCount = 7;
}  // namespace grid_column

// Each column, in column order: its title as the grid starts (the level's follows the unit) and
// its starting width in pixels at 96 dpi, which the deployment report keeps in proportion. A
// pasted header names the columns by these titles.
struct GridColumnInfo {
    std::string_view title;
    int width;
};
inline constexpr std::array<GridColumnInfo, grid_column::kCount> kGridColumns = {{
    {"Type", 84},
    {"Duration", 84},
    {"Unit", 88},
    {"Start Freq (Hz)", 118},
    {"End Freq (Hz)", 112},
    {"Level (dB)", 112},
    {"Phase (Deg)", 96},
}};

enum class CellKind { Ring, Integer, Real };

// One cell: a ring shows one text (normally one of its items), a numeric cell a number kept
// inside its range. A dimmed cell keeps its value but the user cannot change it; a ring that
// is not open for choice shows its text without letting the user pick another.
struct GridCell {
    CellKind kind = CellKind::Integer;
    double number = 0;
    std::string text;
    std::vector<std::string> items;
    double minimum = 0;
    double maximum = 0;
    int decimals = 0;
    bool dimmed = false;
    bool choosable = true;
    bool operator==(const GridCell&) const = default;
};

// Told about every change, so that a view can follow the model. Rows and columns are numbered
// from 1; the "about to" calls come before the rows change, the others after.
class EventGridObserver {
  public:
    virtual ~EventGridObserver() = default;
    virtual void RowsAboutToBeInserted(int /*first*/, int /*last*/) {}
    virtual void RowsInserted(int /*first*/, int /*last*/) {}
    virtual void RowsAboutToBeRemoved(int /*first*/, int /*last*/) {}
    virtual void RowsRemoved(int /*first*/, int /*last*/) {}
    // A cell's value or any of its attributes changed.
    virtual void CellChanged(int /*column*/, int /*row*/) {}
    virtual void TransferMarkChanged(int /*row*/) {}
    virtual void ColumnTitleChanged(int /*column*/) {}
    virtual void ActiveCellChanged(int /*column*/, int /*row*/) {}
};

// The event table as the program holds it: at most 40 rows of seven cells, the column
// defaults new rows start from, the column titles, a transfer mark per row and the active
// cell. This is the one place the cell rules live; the Qt grid only shows it, tests use it
// as it is. Operations on a row or column that does not exist change nothing.
class EventGridModel {
  public:
    static constexpr int kMaxRows = 40;
    using RowCells = std::array<GridCell, grid_column::kCount>;

    EventGridModel();
    EventGridModel(const EventGridModel&) = delete;
    EventGridModel& operator=(const EventGridModel&) = delete;

    void AddObserver(EventGridObserver* observer);
    void RemoveObserver(EventGridObserver* observer);

    // Rows.
    int RowCount() const { return static_cast<int>(rows_.size()); }
    bool RowExists(int row) const { return row >= 1 && row <= RowCount(); }
    // Inserts `count` rows at `position` (1 to RowCount() + 1) with the columns' default cell
    // settings. Refused, returning false, when the position lies outside that span or the
    // grid would pass kMaxRows.
    bool InsertRows(int position, int count);
    // Deletes up to `count` rows from `first`; rows past the end are not there to delete.
    void DeleteRows(int first, int count);
    void DeleteAllRows() { DeleteRows(1, RowCount()); }

    // Every row's cells, with their values and attributes, as a picture to put back later.
    std::vector<RowCells> RowImages() const;
    // Makes the grid hold exactly these rows (at most kMaxRows). The rows that already match
    // stay where they are and only the run between them changes, so that a view keeps its
    // place; rows that come in carry no transfer mark.
    void RestoreRows(const std::vector<RowCells>& rows);

    // Gives this grid, still empty, the column settings new rows of `other` start from, so
    // that rows built here are the rows `other` would build.
    void AdoptColumnDefaults(const EventGridModel& other);
    // Makes the grid hold the rows of `built`, which is left empty. Nothing is copied, so this
    // cannot run out of memory half-way: the grid holds either its old rows or the new ones.
    void TakeRowsOf(EventGridModel& built);

    // Cell values. A numeric value is brought into the cell's range (whole numbers for an
    // integer cell); the program may show any text in a ring.
    const GridCell* Cell(int column, int row) const;
    double Number(int column, int row) const;
    std::string Text(int column, int row) const;
    void SetNumber(int column, int row, double value);
    void SetText(int column, int row, std::string text);
    // What the cell shows: a ring's text, or the number with the cell's decimals.
    std::string DisplayText(int column, int row) const;

    // Cell attributes. Changing the kind or range brings the value into the new rules.
    void SetKind(int column, int row, CellKind kind);
    void SetRange(int column, int row, double minimum, double maximum);
    void SetDecimals(int column, int row, int decimals);
    void SetDimmed(int column, int row, bool dimmed);
    bool IsDimmed(int column, int row) const;
    void SetChoosable(int column, int row, bool choosable);

    // Ring items.
    int RingItemCount(int column, int row) const;
    void DeleteRingItems(int column, int row);
    // Inserts at `index` (0 to count); a larger index appends.
    void InsertRingItem(int column, int row, int index, std::string item);
    void DeleteRingItem(int column, int row, int index);

    // Columns: the settings new rows start from. Setting a column's limits sets every cell
    // of the column too, and the values already there come into range.
    void SetColumnRange(int column, double minimum, double maximum);
    void SetColumnMinimum(int column, double minimum);
    void SetColumnTitle(int column, std::string title);
    std::string ColumnTitle(int column) const;
    const GridCell* ColumnDefault(int column) const;

    // The transfer mark: which row is being sent or read.
    void SetTransferMark(int row, bool marked);
    bool HasTransferMark(int row) const;

    // The active cell: column 1-7, row 1 to RowCount(), row 0 only when the grid is empty.
    struct CellAddress {
        int column = 1;
        int row = 0;
        bool operator==(const CellAddress&) const = default;
    };
    CellAddress ActiveCell() const { return active_; }
    void SetActiveCell(int column, int row);

    // What became of a user's edit. Only a changed value is an edit the program reacts to: a
    // value put back as it was (a drop-down closed on the same item, Return on an untouched
    // number) resets nothing and marks nothing.
    struct UserEdit {
        bool accepted = false;  // the cell took it
        bool changed = false;   // the cell's value is no longer what it was
        bool limited = false;   // the number lay outside the range: the nearest limit was taken
        explicit operator bool() const { return accepted; }
    };
    // What the user may do to a cell: not dimmed, and a ring only when open for choice.
    bool IsUserEditable(int column, int row) const;
    // The user's edit: refused when the cell is not editable or a ring is given a text that
    // is not one of its items. An accepted edit makes the cell active.
    UserEdit UserSetNumber(int column, int row, double value);
    UserEdit UserSetText(int column, int row, const std::string& text);

  private:
    struct Row {
        RowCells cells;
        bool transfer_mark = false;
    };

    static bool ValidColumn(int column) { return column >= 1 && column <= grid_column::kCount; }
    GridCell* MutableCell(int column, int row);
    void Changed(int column, int row);
    // Changed() when the cell is no longer as it was.
    void ChangedUnlessSame(const GridCell& before, int column, int row);
    static void BringIntoRange(GridCell& cell);
    static void ApplyRange(GridCell& cell, double minimum, double maximum);
    void KeepActiveCellInside();
    // Inserts these rows at `position`, which the callers have checked.
    void InsertRowsAt(int position, const std::vector<Row>& rows);

    std::vector<Row> rows_;
    std::array<GridCell, grid_column::kCount> defaults_;
    std::array<std::string, grid_column::kCount> titles_;
    CellAddress active_;
    std::vector<EventGridObserver*> observers_;
};

}  // namespace keelsong
