// "History…": the records in a table, the search field narrowing it.
#include "gui/history_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QDialog>
#include <QLineEdit>
#include <QTableView>
#include <memory>

#include "gui_support.h"

namespace keelsong {
namespace {

TEST(HistoryDialogTest, Search_TypedText_KeepsOnlyTheRowsHoldingIt) {
    testing::App();
    HistoryRecord sent{1'700'000'000,
                       "ana",
                       "keelsong 1",
                       "Orvane HF",
                       1203,
                       "v2.1.4",
                       "",
                       "Accept Changes",
                       "/srv/Deployment.tlk",
                       "ab",
                       "cd",
                       true,
                       "done"};
    HistoryRecord updated = sent;
    updated.time += 60;
    updated.operation = "Firmware Update";
    updated.file = "/srv/OrvaneHF.bin";
    updated.firmware_after = "v2.2.0";
    const std::unique_ptr<QDialog> dialog(
        MakeHistoryDialog(nullptr, "Service history of Orvane HF # 1203", {updated, sent}));
    auto* table = dialog->findChild<QTableView*>(QStringLiteral("HISTORY_TABLE"));
    auto* search = dialog->findChild<QLineEdit*>(QStringLiteral("HISTORY_SEARCH"));
    ASSERT_TRUE(table && search);
    const QAbstractItemModel* rows = table->model();
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->index(0, 0).data().toString(), QStringLiteral("2023-11-14 22:14:20 UTC"));
    EXPECT_EQ(rows->index(0, 6).data().toString(), QStringLiteral("v2.1.4 > v2.2.0"));

    search->setText(QStringLiteral("deployment"));  // the file, whatever its case
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(rows->index(0, 1).data().toString(), QStringLiteral("Accept Changes"));
    search->setText(QStringLiteral("nowhere"));
    EXPECT_EQ(rows->rowCount(), 0);
}

}  // namespace
}  // namespace keelsong
