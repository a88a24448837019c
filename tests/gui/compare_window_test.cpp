// "Compare With File…" in the real window, offscreen, on a simulated unit over a
// pseudo-terminal: the file dialog and the comparison pop-up answered as a person would.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <fstream>

#include "app/changes/accept_changes.h"
#include "app/events/event_transfer.h"
#include "app/files/compare_with_file.h"
#include "app/setup/setup_panel.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "gui/event_loop_platform.h"
#include "gui/qt_ui.h"
#include "gui_support.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "sim/pty_server.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

struct CompareWindowTest : ::testing::Test, testing::WithApplication {
    CompareWindowTest() {
        sim::UnitSimulator unit;
        for (const uint8_t tenths : {10, 20, 30, 40}) {
            unit.Events().push_back({3, {tenths, 0}});  // Rests
        }
        sim::PtyServerOptions options;
        options.pacing = false;
        server = std::make_unique<sim::PtyServer>(options, std::move(unit));
    }
    ~CompareWindowTest() override { ui.Detach(); }

    void Connect() {
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
        ASSERT_EQ(port.OpenPath(server->Path()), 0);
        port.SetTimeout(0.6);
        ui.Attach(program);
        InstallSetupPanel(program);
        program.Link().Settings().open = 1;
        ASSERT_GE(EnquireUnit(program, false), 0);
    }

    std::vector<sim::StoredEvent> UnitEvents() {
        return server->WithSimulator([](sim::UnitSimulator& u) { return u.Events(); });
    }

    std::unique_ptr<sim::PtyServer> server;
    testing::TempDir temp;
    PosixPlatform machine{testing::WithDataHome(temp / "data")};
    EventLoopPlatform platform{machine};
    PosixSerialPort port{PortDirectory(temp / "config")};
    QtUi ui;
    Program program{ui, port, platform};
};

TEST_F(CompareWindowTest, TwoRowsTakenFromTheFile_AcceptSendsExactlyThoseRows) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    const std::string path = temp / "deploy.tlk";
    {
        std::ofstream file(path);
        file << "[Event 01]\nType = 3\nTime = 10\n[Event 02]\nType = 3\nTime = 25\n"
                "[Event 03]\nType = 3\nTime = 35\n[Event 04]\nType = 3\nTime = 45\n";
    }
    std::vector<std::vector<bool>> marked;  // per row of the pop-up: which cells are marked
    ui.SetPopupDriver([&](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QString::fromStdString(path));
            dialog.accept();
            return;
        }
        auto* rows = dialog.findChild<QTableWidget*>(QStringLiteral("comparisonRows"));
        for (int row = 0; row < rows->rowCount(); ++row) {
            marked.emplace_back();
            for (int column = 0; column < rows->columnCount(); ++column) {
                marked.back().push_back(rows->item(row, column)->font().bold());
            }
        }
        rows->setSelectionMode(QAbstractItemView::MultiSelection);
        rows->selectRow(1);
        rows->selectRow(3);
        dialog.findChild<QPushButton*>(QStringLiteral("takeRows"))->click();
    });

    CompareWithFileCB(program, {Panel::MAIN, Control::COMPARE_FILE, UiEvent::Commit});

    ASSERT_EQ(marked.size(), 4u);
    EXPECT_FALSE(marked[0][2]);
    EXPECT_TRUE(marked[1][2]) << "the unit's Duration of row 2";
    EXPECT_TRUE(marked[1][2 + kComparedCells]) << "the file's";
    EXPECT_EQ(ui.TextValue(Panel::MAIN, Control::STATUS_LINE),
              "The unit differs from the file in 3 values");
    EXPECT_EQ(UnitEvents().size(), 4u);
    EXPECT_EQ(UnitEvents()[1].body[0], 20) << "comparing sends nothing";
    EXPECT_EQ(UndoDescription(program), "Undo: Take the File's rows");

    ASSERT_EQ(AcceptChanges(program).code, 0);
    const std::vector<sim::StoredEvent> expected = {
        {3, {10, 0}}, {3, {25, 0}}, {3, {30, 0}}, {3, {45, 0}}};
    EXPECT_EQ(UnitEvents(), expected);
}

}  // namespace
}  // namespace keelsong
