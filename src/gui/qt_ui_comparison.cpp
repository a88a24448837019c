// QtUi: the comparison pop-up of "Compare With File…": the unit's rows and the file's side by
// side, differing cells marked, the readiness warnings above, and buttons that take the file's
// values.
#include <QBrush>
#include <QColor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "gui/qt_ui.h"

namespace keelsong {

namespace {

QString ToQ(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QTableWidgetItem* Cell(const std::string& text, bool marked) {
    auto* item = new QTableWidgetItem(ToQ(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (marked) {
        item->setBackground(QBrush(QColor(255, 221, 153)));
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
    }
    return item;
}

QTableWidget* RowsTable(const SideBySide& side, QWidget* parent) {
    auto* table = new QTableWidget(static_cast<int>(side.rows.size()),
                                   1 + 2 * static_cast<int>(kComparedCells), parent);
    table->setObjectName(QStringLiteral("comparisonRows"));
    QStringList titles{QStringLiteral("Row")};
    for (const char* side_name : {"Unit", "File"}) {
        for (const std::string_view column : kComparedColumns) {
            titles.append(QStringLiteral("%1: %2").arg(side_name, ToQ(column)));
        }
    }
    table->setHorizontalHeaderLabels(titles);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (size_t k = 0; k < side.rows.size(); ++k) {
        const ComparedRow& row = side.rows[k];
        const int at = static_cast<int>(k);
        table->setItem(at, 0, Cell(std::to_string(row.row), false));
        for (size_t column = 0; column < kComparedCells; ++column) {
            const int unit_column = 1 + static_cast<int>(column);
            table->setItem(at, unit_column, Cell(row.unit[column], row.differs[column]));
            table->setItem(at, unit_column + static_cast<int>(kComparedCells),
                           Cell(row.file[column], row.differs[column]));
        }
    }
    table->resizeColumnsToContents();
    return table;
}

QTableWidget* SetupTable(const SideBySide& side, QWidget* parent) {
    auto* table = new QTableWidget(static_cast<int>(side.setup.size()), 3, parent);
    table->setObjectName(QStringLiteral("comparisonSetup"));
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Setup"), QStringLiteral("Unit"), QStringLiteral("File")});
    table->verticalHeader()->hide();
    table->setSelectionMode(QAbstractItemView::NoSelection);
    for (size_t k = 0; k < side.setup.size(); ++k) {
        const int at = static_cast<int>(k);
        table->setItem(at, 0, Cell(side.setup[k].field, false));
        table->setItem(at, 1, Cell(side.setup[k].unit, true));
        table->setItem(at, 2, Cell(side.setup[k].file, true));
    }
    table->resizeColumnsToContents();
    return table;
}

bool RowDiffers(const ComparedRow& row) {
    for (const bool differs : row.differs) {
        if (differs) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<ComparisonChoice> QtUi::ComparisonPopup(std::string_view title,
                                                      const std::vector<std::string>& warnings,
                                                      const SideBySide& side) {
    QDialog dialog(PopupParent());
    dialog.setWindowTitle(ToQ(title));
    auto* layout = new QVBoxLayout(&dialog);
    QString warning_text;
    for (const std::string& warning : warnings) {
        warning_text += (warning_text.isEmpty() ? QString() : QStringLiteral("\n")) +
                        QStringLiteral("Warning: ") + ToQ(warning);
    }
    auto* warning_label =
        new QLabel(warning_text.isEmpty() ? QStringLiteral("No warnings") : warning_text, &dialog);
    warning_label->setObjectName(QStringLiteral("comparisonWarnings"));
    if (!warnings.empty()) {
        warning_label->setStyleSheet(QStringLiteral("color: #b00000;"));
    }
    layout->addWidget(warning_label);
    QTableWidget* rows = RowsTable(side, &dialog);
    layout->addWidget(rows);
    if (!side.setup.empty()) {
        layout->addWidget(SetupTable(side, &dialog));
    }

    std::optional<ComparisonChoice> choice;
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* take_rows =
        buttons->addButton(QStringLiteral("Take the File's"), QDialogButtonBox::ActionRole);
    take_rows->setObjectName(QStringLiteral("takeRows"));
    take_rows->setToolTip(QStringLiteral("The file's values of the selected rows"));
    QPushButton* take_setup =
        buttons->addButton(QStringLiteral("Take the File's Setup"), QDialogButtonBox::ActionRole);
    take_setup->setObjectName(QStringLiteral("takeSetup"));
    take_setup->setEnabled(!side.setup.empty());
    QPushButton* take_all =
        buttons->addButton(QStringLiteral("Take All the File's"), QDialogButtonBox::ActionRole);
    take_all->setObjectName(QStringLiteral("takeAll"));
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);

    QObject::connect(take_rows, &QPushButton::clicked, &dialog, [&] {
        std::set<int> chosen;
        for (const QModelIndex& index : rows->selectionModel()->selectedRows()) {
            chosen.insert(side.rows[static_cast<size_t>(index.row())].row);
        }
        if (chosen.empty()) {
            return;
        }
        choice = ComparisonChoice{{chosen.begin(), chosen.end()}, false};
        dialog.accept();
    });
    QObject::connect(take_setup, &QPushButton::clicked, &dialog, [&] {
        choice = ComparisonChoice{{}, true};
        dialog.accept();
    });
    QObject::connect(take_all, &QPushButton::clicked, &dialog, [&] {
        ComparisonChoice all;
        for (const ComparedRow& row : side.rows) {
            if (RowDiffers(row)) {
                all.rows.push_back(row.row);
            }
        }
        all.setup = !side.setup.empty();
        choice = all;
        dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.resize(900, 420);
    RunModal(dialog);
    return choice;
}

}  // namespace keelsong
