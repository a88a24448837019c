// The "Configuration File" and " Screenshot " buttons of the real window, offscreen, answered
// on the real file and folder dialogs as a person would: a name typed, then Save or Open.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/events/event_grid.h"
#include "app/state/program.h"
#include "app/wiring/startup.h"
#include "gui/qt_ui.h"
#include "gui_support.h"
#include "support/fake_platform.h"
#include "support/fake_serial_port.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

// What a file dialog showed, and the name typed into it before it was accepted.
struct FileDialogSeen {
    std::string title;
    std::string folder;
    std::string selected;
    QStringList filters;
};

class ConfigFileWindowTest : public ::testing::Test, public testing::WithApplication {
  protected:
    ConfigFileWindowTest() {
        platform_.SetSettingsFolder(temp_ / "config/Keelsong");
        platform_.SetDocumentsFolder(temp_ / "Documents");
        ui_.Attach(program_);
        StartProgram(program_, MakeDefaultFolder(platform_), [this] { ui_.MainWindow()->show(); });
        program_.SetUnit({device_type::kOrvaneHf, 0x020104, 21});
        for (Control control :
             {Control::LOAD_EVENTS, Control::STORE_EVENTS, Control::EVENT_TABLE}) {
            ui_.SetDimmed(Panel::MAIN, control, false);  // as with a unit connected
        }
        program_.Settings().ConfigFolder() = temp_.Path();
    }
    ~ConfigFileWindowTest() override { ui_.Detach(); }

    // Answers the next file or folder dialog by typing `name` (nothing for a folder) and
    // accepting it.
    void TypeAndAccept(const std::string& name, const std::string& folder = {}) {
        ui_.SetPopupDriver([this, name, folder](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            if (!files) {
                dialog.reject();
                return;
            }
            seen_.push_back({files->windowTitle().toStdString(),
                             files->directory().absolutePath().toStdString(),
                             files->selectedFiles().value(0).toStdString(), files->nameFilters()});
            if (!folder.empty()) {
                files->setDirectory(QString::fromStdString(folder));
            }
            if (auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                // Typed where a person types it: the dialog then lets go of the file it had
                // selected.
                QApplication::setActiveWindow(files);
                edit->setFocus();
                edit->setText(QString::fromStdString(name));
            }
            dialog.accept();  // as the Save or Open button
        });
    }
    void Click(Control control) {
        qobject_cast<QPushButton*>(ui_.ControlWidget(Panel::MAIN, control))->click();
    }
    std::string Status() const { return ui_.TextValue(Panel::MAIN, Control::STATUS_LINE); }
    static std::string ReadFile(const std::string& path) {
        std::ostringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }

    testing::TempDir temp_;
    testing::FakePlatform platform_;
    testing::FakeSerialPort port_;
    QtUi ui_;
    Program program_{ui_, port_, platform_};
    std::vector<FileDialogSeen> seen_;
};

TEST_F(ConfigFileWindowTest, SaveAndLoadDialogs_NameGetsTlkAndTheTableComesBack) {
    EventBody rest{};
    rest[0] = 50;  // 5.0 s
    EventToRow(program_, rest, 3, 1);

    TypeAndAccept("table");
    Click(Control::STORE_EVENTS);
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].title, "Save File");
    EXPECT_EQ(seen_[0].folder, temp_.Path());
    EXPECT_EQ(seen_[0].filters.value(0).toStdString(), "*.tlk");
    EXPECT_EQ(Status(), "Configuration saved successfully");
    const std::string saved = temp_ / "table.tlk";
    EXPECT_EQ(ReadFile(saved).substr(0, 35), "[Event 01]\r\nTime = 50\r\nType = 3\r\n\r\n");
    EXPECT_EQ(program_.Settings().ConfigFolder(), saved);

    TypeAndAccept("table.txt");  // another extension is kept as typed
    Click(Control::STORE_EVENTS);
    EXPECT_EQ(seen_.back().selected, saved) << "starts at the file chosen last";
    EXPECT_TRUE(std::filesystem::exists(temp_ / "table.txt"));

    EmptyEventGrid(program_);
    TypeAndAccept("table.tlk");
    Click(Control::LOAD_EVENTS);
    EXPECT_EQ(seen_.back().title, "Load File");
    EXPECT_EQ(seen_.back().folder, temp_.Path());
    EXPECT_EQ(Status(), "Configuration loaded");
    ASSERT_EQ(program_.Grid().RowCount(), 1);
    EXPECT_EQ(program_.Grid().DisplayText(grid_column::kDuration, 1), "5.0");
    EXPECT_FALSE(ui_.IsDimmed(Panel::MAIN, Control::ACCEPT_CHANGES));
}

TEST_F(ConfigFileWindowTest, FileDialogs_OnlyTheFirmwareDialogHoldsToItsExtension) {
    ui_.SetPopupDriver([this](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            seen_.push_back({files->windowTitle().toStdString(), {}, {}, files->nameFilters()});
            dialog.reject();
            return;
        }
        testing::ClickButton("Update and Save")(dialog);
    });
    // The configuration dialogs may show every file; the firmware dialog shows images only.
    Click(Control::LOAD_EVENTS);
    ui_.Dispatch(Panel::ADVANCED, Control::UPDATE_FW, UiEvent::Commit);
    ASSERT_EQ(seen_.size(), 2u);
    EXPECT_EQ(seen_[0].filters, QStringList({"*.tlk", "All files (*)"}));
    EXPECT_EQ(seen_[1].title, "Select update file");
    EXPECT_EQ(seen_[1].filters, QStringList({"*.bin"}));
}

TEST_F(ConfigFileWindowTest, ScreenshotButton_AsksForTheFolderThenSavesThePanel) {
    const std::string shots = temp_ / "shots";
    std::filesystem::create_directory(shots);
    TypeAndAccept("", shots);
    Click(Control::SCREENSHOT);
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].title, "Select Screenshot Folder");
    EXPECT_EQ(Status(), "Screenshot saved successfully");
    const QImage picture(QString::fromStdString(shots + "/Keelsong_Unit0_231114_221320.png"));
    EXPECT_EQ(picture.size(), ui_.MainWindow()->size() * ui_.MainWindow()->devicePixelRatio());
}

TEST_F(ConfigFileWindowTest, EveryLabel_DrawsItsTextPlain) {
    program_.ShowStatusMessage(false, "<b>not bold</b>");
    for (Panel panel : kAllPanels) {
        for (QLabel* label : ui_.PanelWidget(panel)->findChildren<QLabel*>()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        }
    }
    ui_.SetTooltip(Panel::CONNECT, Control::PORT, "<i>/dev/ttyUSB0</i>");
    EXPECT_EQ(ui_.Tooltip(Panel::CONNECT, Control::PORT), "<i>/dev/ttyUSB0</i>");
    EXPECT_TRUE(ui_.ControlWidget(Panel::CONNECT, Control::PORT)->toolTip().contains("&lt;i&gt;"));
}

}  // namespace
}  // namespace keelsong
