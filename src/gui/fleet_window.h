// "Fleet…": every unit attached as a row, its state kept up to date by the fleet's own threads,
// and the tasks a deployment needs run on the rows chosen. The window reads the rows on a timer
// and never waits on a unit.
#pragma once

#include <QAbstractTableModel>
#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "cli/fleet.h"

class QDialog;
class QPushButton;

namespace keelsong {

// The rows as a table for the view.
class FleetTableModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // Takes the rows; a change in the ports shown resets the model (true then).
    bool SetRows(std::vector<cli::FleetRow> rows);
    const std::vector<cli::FleetRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<cli::FleetRow> rows_;
};

class FleetWindow final : public QWidget {
    Q_OBJECT
  public:
    struct Hooks {
        // The port the main window has open, if any.
        std::function<std::optional<int>()> main_port;
        // Opens the unit on the port in the main window.
        std::function<void(int port)> open_in_main;
    };

    FleetWindow(cli::FleetSettings settings, Hooks hooks, QWidget* parent = nullptr);
    ~FleetWindow() override;

    // Answers the window's dialogs instead of a person (tests, pictures): it is handed each
    // dialog once shown, from inside its event loop, and accepts or rejects it.
    void SetDialogDriver(std::function<void(QDialog&)> driver) { driver_ = std::move(driver); }

    // Where the file dialogs start until one has been used.
    void SetStartFolder(const QString& folder);

    // Whether a task runs on any unit.
    bool Busy() const { return fleet_.Busy(); }
    // Takes the rows as they are now (the timer does this ten times a second).
    void Refresh();

    // The actions of the buttons, on the selected rows.
    void ChooseDeployment();
    void WriteDeployment();
    void SetTime();
    void UpdateFirmware();
    void ReadToFiles();
    void LookAgain();
    void OpenInMainWindow(const QModelIndex& index);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    int Exec(QDialog& dialog);
    // The main window's port, and the one it is opening.
    std::set<int> HeldPorts() const;
    std::vector<int> SelectedPorts() const;
    // The selected rows with an identified unit; none (and says why) when there is none.
    std::vector<int> PortsToWork();
    // Asks `question` with `act` and "Cancel" (the default); whether to go on.
    bool Confirm(const QString& title, const QString& question, const QString& act);
    void StartTask(cli::FleetTask task, const QString& name, const std::vector<int>& ports,
                   const cli::FleetTaskOptions& options = {});
    void Say(const QString& text);
    // Once the last task started is over: how many of its units came through.
    void TellBatchOutcome();

    cli::Fleet fleet_;
    Hooks hooks_;
    std::function<void(QDialog&)> driver_;
    FleetTableModel model_;
    QTableView* table_ = nullptr;
    QLabel* deployment_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer refresh_;
    QTimer scan_;
    uint64_t shown_version_ = ~uint64_t{0};
    // Until the units found at the start have been looked at.
    bool first_look_ = true;
    // Asked to close while units were at work: it closes once they are done.
    bool close_when_done_ = false;
    // The port being opened in the main window, which the fleet must not touch meanwhile.
    std::optional<int> opening_;
    // Where each file dialog starts, as last left.
    QString deployment_folder_;
    QString firmware_folder_;
    QString read_folder_;
    // The task last started and its ports, until its outcome is told.
    QString batch_name_;
    cli::FleetTask batch_task_ = cli::FleetTask::Look;
    std::vector<int> batch_ports_;
};

}  // namespace keelsong
