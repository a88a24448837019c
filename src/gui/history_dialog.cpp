#include "gui/history_dialog.h"

#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimeZone>
#include <QVBoxLayout>

namespace keelsong {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QList<QStandardItem*> Row(const HistoryRecord& r) {
    const QString firmware = r.firmware_after.empty() || r.firmware_after == r.firmware
                                 ? Text(r.firmware)
                                 : Text(r.firmware + " > " + r.firmware_after);
    const QString when = QDateTime::fromSecsSinceEpoch(r.time, QTimeZone::utc())
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
    QList<QStandardItem*> row;
    for (const QString& cell :
         {when, Text(r.operation), r.ok ? QStringLiteral("ok") : QStringLiteral("failed"),
          Text(r.message), Text(r.type), r.serial >= 0 ? QString::number(r.serial) : QString(),
          firmware, Text(r.file), Text(r.sha256), Text(r.contents_sha256), Text(r.user),
          Text(r.program)}) {
        auto* item = new QStandardItem(cell);
        item->setEditable(false);
        item->setToolTip(cell);
        row.append(item);
    }
    return row;
}

}  // namespace

QDialog* MakeHistoryDialog(QWidget* parent, const std::string& title,
                           const std::vector<HistoryRecord>& records) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("HISTORY_DIALOG"));
    dialog->setWindowTitle(Text(title));
    dialog->resize(960, 420);

    auto* model = new QStandardItemModel(0, 12, dialog);
    model->setHorizontalHeaderLabels(
        {QStringLiteral("Time"), QStringLiteral("Operation"), QStringLiteral("Outcome"),
         QStringLiteral("Message"), QStringLiteral("Type"), QStringLiteral("Serial"),
         QStringLiteral("Firmware"), QStringLiteral("File"), QStringLiteral("File SHA-256"),
         QStringLiteral("Contents SHA-256"), QStringLiteral("User"), QStringLiteral("Program")});
    for (const HistoryRecord& record : records) {
        model->appendRow(Row(record));
    }
    auto* filter = new QSortFilterProxyModel(dialog);
    filter->setSourceModel(model);
    filter->setFilterKeyColumn(-1);
    filter->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto* search = new QLineEdit(dialog);
    search->setObjectName(QStringLiteral("HISTORY_SEARCH"));
    search->setPlaceholderText(QStringLiteral("Search"));
    search->setClearButtonEnabled(true);
    QObject::connect(search, &QLineEdit::textChanged, filter,
                     &QSortFilterProxyModel::setFilterFixedString);

    auto* table = new QTableView(dialog);
    table->setObjectName(QStringLiteral("HISTORY_TABLE"));
    table->setModel(filter);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->resizeColumnsToContents();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(search);
    layout->addWidget(table);
    layout->addWidget(buttons);
    return dialog;
}

void ShowHistoryDialog(QWidget* parent, const std::string& title,
                       const std::vector<HistoryRecord>& records) {
    QDialog* dialog = MakeHistoryDialog(parent, title, records);
    dialog->exec();
    delete dialog;
}

}  // namespace keelsong
