#include "gui/fleet_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/service/firmware_battery.h"
#include "cli/fleet_columns.h"

namespace keelsong {

namespace {

using cli::FleetColumn;
using cli::FleetRow;
using cli::FleetTask;
using cli::kFleetColumns;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<int> PortsOf(const std::vector<FleetRow>& rows) {
    std::vector<int> ports;
    for (const FleetRow& row : rows) {
        ports.push_back(row.port);
    }
    return ports;
}

QString PortList(const std::vector<int>& ports) {
    QStringList names;
    for (const int port : ports) {
        names << QStringLiteral("port %1").arg(port);
    }
    return names.join(QStringLiteral(", "));
}

QString Units(size_t count) {
    return count == 1 ? QStringLiteral("1 unit") : QStringLiteral("%1 units").arg(count);
}

}  // namespace

bool FleetTableModel::SetRows(std::vector<FleetRow> rows) {
    if (PortsOf(rows) != PortsOf(rows_)) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return true;
    }
    rows_ = std::move(rows);
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
    return false;
}

int FleetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FleetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kFleetColumns.size());
}

QVariant FleetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const FleetRow& row = rows_[static_cast<size_t>(index.row())];
    const FleetColumn column = kFleetColumns[static_cast<size_t>(index.column())].column;
    switch (role) {
        case Qt::DisplayRole:
            return Text(cli::FleetCellText(row, column));
        case Qt::ToolTipRole: {
            const std::string tip = cli::FleetCellTooltip(row, column);
            return tip.empty() ? QVariant() : Text(tip);
        }
        case Qt::ForegroundRole:
            if (column == FleetColumn::Progress && row.failed && !row.busy) {
                return QColor(0xB0, 0x00, 0x20);
            }
            if (column == FleetColumn::Deployed && row.deployment == "matches") {
                return QColor(0x1B, 0x7F, 0x3A);
            }
            if (column == FleetColumn::Deployed && row.deployment.starts_with("differs")) {
                return QColor(0xB4, 0x5F, 0x06);
            }
            return {};
        case Qt::FontRole:
            if (column == FleetColumn::Progress && (row.busy || row.held)) {
                QFont font;
                font.setItalic(true);
                return font;
            }
            return {};
        default:
            return {};
    }
}

QVariant FleetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    const cli::FleetColumnInfo& info = kFleetColumns[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) {
        return Text(std::string(info.title));
    }
    if (role == Qt::ToolTipRole && !info.tooltip.empty()) {
        return Text(std::string(info.tooltip));
    }
    return {};
}

FleetWindow::FleetWindow(cli::FleetSettings settings, Hooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), fleet_(std::move(settings)), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("FLEET_WINDOW"));
    setWindowTitle(QStringLiteral("Fleet"));
    auto* layout = new QVBoxLayout(this);

    const auto button = [this](const QString& text, const char* name, const QString& tip,
                               void (FleetWindow::*action)()) {
        auto* made = new QPushButton(text, this);
        made->setObjectName(QLatin1String(name));
        made->setToolTip(tip);
        connect(made, &QPushButton::clicked, this, action);
        return made;
    };

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Deployment:"), this));
    deployment_ = new QLabel(QStringLiteral("none chosen"), this);
    deployment_->setObjectName(QStringLiteral("fleetDeployment"));
    deployment_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(deployment_, 1);
    top->addWidget(button(QStringLiteral("Choose &Deployment…"), "chooseDeployment",
                          QStringLiteral("A manifest (.csv: serial, file, start) or one "
                                         "configuration file (.tlk) for every unit"),
                          &FleetWindow::ChooseDeployment));
    layout->addLayout(top);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("fleetTable"));
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    // The columns follow what they hold; the last takes what room is left.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setToolTip(QStringLiteral("Double-click a unit to open it in the main window"));
    connect(table_, &QTableView::doubleClicked, this, &FleetWindow::OpenInMainWindow);
    layout->addWidget(table_, 1);

    auto* actions = new QHBoxLayout;
    actions->addWidget(button(QStringLiteral("&Write Deployment"), "writeDeployment",
                              QStringLiteral("Write each selected unit's file of the deployment "
                                             "and read it back to verify it"),
                              &FleetWindow::WriteDeployment));
    actions->addWidget(button(QStringLiteral("Set &Time"), "setTime",
                              QStringLiteral("Set the selected units' clocks to this computer's"),
                              &FleetWindow::SetTime));
    actions->addWidget(button(QStringLiteral("Update &Firmware…"), "updateFirmware",
                              QStringLiteral("Back up, update and check the selected units"),
                              &FleetWindow::UpdateFirmware));
    actions->addWidget(button(QStringLiteral("&Read to Files…"), "readToFiles",
                              QStringLiteral("Save each selected unit's table and setup to "
                                             "unit<serial>.tlk in a folder"),
                              &FleetWindow::ReadToFiles));
    actions->addStretch(1);
    actions->addWidget(button(QStringLiteral("&Look Again"), "lookAgain",
                              QStringLiteral("Read the selected units' state again (all of them "
                                             "when none is selected)"),
                              &FleetWindow::LookAgain));
    layout->addLayout(actions);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("fleetStatus"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    Say(QStringLiteral("Looking for units on every serial port"));

    connect(&refresh_, &QTimer::timeout, this, &FleetWindow::Refresh);
    refresh_.start(100);
    const auto scan = [this] {
        fleet_.Hold(HeldPorts());
        fleet_.Scan();
    };
    connect(&scan_, &QTimer::timeout, this, scan);
    scan_.start(1000);
    scan();
    resize(1100, 420);
}

FleetWindow::~FleetWindow() = default;

void FleetWindow::Refresh() {
    const uint64_t version = fleet_.Version();
    if (version == shown_version_) {
        return;
    }
    shown_version_ = version;
    // Asked before the rows are: a task has told its row everything before it stops being busy,
    // so rows taken after the fleet was found idle hold every unit's answer.
    const bool busy = fleet_.Busy();
    const std::vector<int> selected = SelectedPorts();
    if (model_.SetRows(fleet_.Rows())) {
        // The ports changed: the rows selected stay selected.
        for (int row = 0; row < model_.rowCount(); ++row) {
            if (std::ranges::count(selected, model_.Rows()[static_cast<size_t>(row)].port)) {
                table_->selectionModel()->select(
                    model_.index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
    }
    if (first_look_ && !busy) {
        first_look_ = false;
        const auto units = std::ranges::count_if(
            model_.Rows(), [](const FleetRow& row) { return row.serial.has_value(); });
        Say(units == 0 ? QStringLiteral("No unit has answered: a unit plugged in shows here")
                       : QStringLiteral("%1 found").arg(Units(static_cast<size_t>(units))));
    }
    TellBatchOutcome();
    if (close_when_done_ && !fleet_.Busy()) {
        close();
    }
}

void FleetWindow::TellBatchOutcome() {
    if (batch_ports_.empty()) {
        return;
    }
    std::vector<int> failed;
    std::vector<int> left_alone;
    for (const int port : batch_ports_) {
        const auto row = std::ranges::find(model_.Rows(), port, &FleetRow::port);
        if (row != model_.Rows().end() && row->busy) {
            return;  // not over yet
        }
        if (row == model_.Rows().end() || row->failed) {
            failed.push_back(port);
        } else if (batch_task_ == FleetTask::WriteDeployment &&
                   row->deployment == "not in manifest") {
            left_alone.push_back(port);
        }
    }
    const size_t done = batch_ports_.size() - failed.size() - left_alone.size();
    QString text = QStringLiteral("%1: done on %2 of %3")
                       .arg(batch_name_)
                       .arg(done)
                       .arg(Units(batch_ports_.size()));
    if (!left_alone.empty()) {
        text += QStringLiteral("; not in the manifest, left alone: %1").arg(PortList(left_alone));
    }
    if (!failed.empty()) {
        text += QStringLiteral("; failed on %1 (see Progress)").arg(PortList(failed));
    }
    batch_ports_.clear();
    Say(text);
}

void FleetWindow::Say(const QString& text) {
    status_->setText(text);
}

int FleetWindow::Exec(QDialog& dialog) {
    if (driver_) {
        // Answered from inside the dialog's own event loop, as a person would.
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            files->setOption(QFileDialog::DontUseNativeDialog);
        }
        QTimer::singleShot(0, &dialog, [this, &dialog] { driver_(dialog); });
    }
    return dialog.exec();
}

std::vector<int> FleetWindow::SelectedPorts() const {
    std::vector<int> ports;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        if (index.row() < model_.rowCount()) {
            ports.push_back(model_.Rows()[static_cast<size_t>(index.row())].port);
        }
    }
    std::ranges::sort(ports);
    return ports;
}

std::vector<int> FleetWindow::PortsToWork() {
    const std::vector<int> selected = SelectedPorts();
    if (selected.empty()) {
        Say(QStringLiteral("Select the units first (Ctrl+A selects them all)"));
        return {};
    }
    std::vector<int> ports;
    for (const int port : selected) {
        const auto row = std::ranges::find(model_.Rows(), port, &FleetRow::port);
        if (row != model_.Rows().end() && row->serial) {
            ports.push_back(port);
        }
    }
    if (ports.empty()) {
        Say(QStringLiteral("No unit has answered on the ports selected: nothing to do"));
    }
    return ports;
}

bool FleetWindow::Confirm(const QString& title, const QString& question, const QString& act) {
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::NoButton, this);
    QPushButton* go = box.addButton(act, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    Exec(box);
    return box.clickedButton() == go;
}

void FleetWindow::StartTask(FleetTask task, const QString& name, const std::vector<int>& ports,
                            const cli::FleetTaskOptions& options) {
    const std::vector<int> started = fleet_.Start(task, ports, options);
    std::vector<int> passed_over;
    std::ranges::set_difference(ports, started, std::back_inserter(passed_over));
    QString text = started.empty()
                       ? QStringLiteral("%1: no unit could start").arg(name)
                       : QStringLiteral("%1 under way on %2").arg(name, Units(started.size()));
    if (!passed_over.empty()) {
        text += QStringLiteral("; passed over (at work or open in the main window): %1")
                    .arg(PortList(passed_over));
    }
    Say(text);
    batch_name_ = name;
    batch_task_ = task;
    batch_ports_ = started;
    Refresh();
}

void FleetWindow::ChooseDeployment() {
    QFileDialog dialog(this, QStringLiteral("Choose Deployment"), deployment_folder_,
                       QStringLiteral("Deployments (*.csv *.tlk);;Manifests (*.csv);;"
                                      "Configuration files (*.tlk)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    deployment_folder_ = QFileInfo(path).absolutePath();
    const std::vector<std::string> problems =
        fleet_.ChooseDeployment(QFile::encodeName(path).toStdString());
    if (!problems.empty()) {
        QStringList lines;
        for (const std::string& problem : problems) {
            lines << Text(problem);
        }
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Choose Deployment"),
                        QStringLiteral("%1 cannot be used; nothing was changed.")
                            .arg(QFileInfo(path).fileName()),
                        QMessageBox::Ok, this);
        box.setDetailedText(lines.join(QLatin1Char('\n')));
        box.setInformativeText(lines.mid(0, 5).join(QLatin1Char('\n')));
        Exec(box);
        Say(QStringLiteral("Deployment not changed: %1").arg(lines.constFirst()));
        return;
    }
    deployment_->setText(path);
    // Every unit the fleet may touch is compared with it now.
    batch_name_ = QStringLiteral("Comparing with %1").arg(QFileInfo(path).fileName());
    batch_task_ = FleetTask::Look;
    batch_ports_.clear();
    for (const FleetRow& row : fleet_.Rows()) {
        if (row.serial && !row.held) {
            batch_ports_.push_back(row.port);
        }
    }
    Say(batch_name_);
    Refresh();
}

void FleetWindow::WriteDeployment() {
    if (fleet_.DeploymentPath().empty()) {
        Say(QStringLiteral("Choose a deployment first"));
        return;
    }
    const std::vector<int> ports = PortsToWork();
    if (ports.empty() ||
        !Confirm(QStringLiteral("Write Deployment"),
                 QStringLiteral("Write the deployment to %1? Each unit's table and setup are "
                                "replaced by its file and read back to verify them%2")
                     .arg(Units(ports.size()),
                          fleet_.DeploymentIsManifest()
                              ? QStringLiteral("; a unit the manifest does not name is left alone.")
                              : QStringLiteral(".")),
                 QStringLiteral("Write"))) {
        return;
    }
    StartTask(FleetTask::WriteDeployment, QStringLiteral("Write Deployment"), ports);
}

void FleetWindow::SetTime() {
    const std::vector<int> ports = PortsToWork();
    if (!ports.empty()) {
        StartTask(FleetTask::SetTime, QStringLiteral("Set Time"), ports);
    }
}

void FleetWindow::UpdateFirmware() {
    const std::vector<int> ports = PortsToWork();
    if (ports.empty()) {
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Select update file"), firmware_folder_,
                       QStringLiteral("Firmware images (*.bin)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString image = dialog.selectedFiles().constFirst();
    firmware_folder_ = QFileInfo(image).absolutePath();
    if (!Confirm(QStringLiteral("Update Firmware"),
                 QStringLiteral("Update the firmware of %1 from %2? Each unit's table and setup "
                                "are saved to a backup file first and kept through the update. "
                                "A unit whose battery is below %3 % is not updated.")
                     .arg(Units(ports.size()), QFileInfo(image).fileName())
                     .arg(kMinFirmwareBattery),
                 QStringLiteral("Update"))) {
        return;
    }
    StartTask(FleetTask::UpdateFirmware, QStringLiteral("Update Firmware"), ports,
              {QFile::encodeName(image).toStdString(), {}});
}

void FleetWindow::ReadToFiles() {
    const std::vector<int> ports = PortsToWork();
    if (ports.empty()) {
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Read to Files: choose a folder"), read_folder_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString folder = dialog.selectedFiles().constFirst();
    read_folder_ = folder;
    QStringList existing;
    for (const int port : ports) {
        const auto row = std::ranges::find(model_.Rows(), port, &FleetRow::port);
        const QString name = QStringLiteral("unit%1.tlk").arg(row->serial.value_or(0));
        if (QFileInfo::exists(QDir(folder).filePath(name))) {
            existing << name;
        }
    }
    if (!existing.isEmpty() && !Confirm(QStringLiteral("Read to Files"),
                                        QStringLiteral("These files in %1 would be replaced: %2")
                                            .arg(folder, existing.join(QStringLiteral(", "))),
                                        QStringLiteral("Replace"))) {
        return;
    }
    StartTask(FleetTask::ReadToFiles, QStringLiteral("Read to Files"), ports,
              {{}, QFile::encodeName(folder).toStdString()});
}

void FleetWindow::LookAgain() {
    std::vector<int> ports = SelectedPorts();
    if (ports.empty()) {
        ports = PortsOf(model_.Rows());
    }
    StartTask(FleetTask::Look, QStringLiteral("Look Again"), ports);
}

void FleetWindow::OpenInMainWindow(const QModelIndex& index) {
    if (!index.isValid() || index.row() >= model_.rowCount()) {
        return;
    }
    const FleetRow& row = model_.Rows()[static_cast<size_t>(index.row())];
    const int port = row.port;
    if (row.busy) {
        Say(QStringLiteral("The unit on port %1 is at work: open it once its task is over")
                .arg(port));
        return;
    }
    if (row.held || !hooks_.open_in_main) {
        Say(QStringLiteral("The unit on port %1 is open in the main window").arg(port));
        return;
    }
    // The fleet lets go of the port before the main window opens it, and touches it no more
    // while the window connects.
    opening_ = port;
    fleet_.Hold(HeldPorts());
    hooks_.open_in_main(port);
    opening_.reset();
    Refresh();
}

void FleetWindow::SetStartFolder(const QString& folder) {
    for (QString* start : {&deployment_folder_, &firmware_folder_, &read_folder_}) {
        if (start->isEmpty()) {
            *start = folder;
        }
    }
}

std::set<int> FleetWindow::HeldPorts() const {
    std::set<int> held;
    if (opening_) {
        held.insert(*opening_);
    }
    if (const std::optional<int> main = hooks_.main_port ? hooks_.main_port() : std::nullopt) {
        held.insert(*main);
    }
    return held;
}

void FleetWindow::closeEvent(QCloseEvent* event) {
    if (fleet_.Busy()) {
        // A task cut short could leave a unit half written, or in its loader.
        Say(
            QStringLiteral("Units are still at work: the window closes once their tasks are "
                           "over"));
        close_when_done_ = true;
        event->ignore();
        return;
    }
    close_when_done_ = false;
    event->accept();
}

}  // namespace keelsong
