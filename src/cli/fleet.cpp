#include "cli/fleet.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/posix_serial_port.h"

namespace keelsong::cli {

namespace {

// What an info report tells of the unit; whatever it does not tell is no longer known.
void TakeUnit(FleetRow& row, const UnitReport& info) {
    row.type = FieldOf<std::string>(info, "type").value_or("");
    const std::optional<int64_t> serial = FieldOf<int64_t>(info, "serial");
    row.serial = serial ? std::optional<uint16_t>(static_cast<uint16_t>(*serial)) : std::nullopt;
    row.firmware = FieldOf<std::string>(info, "firmware").value_or("");
    row.admin_mode = FieldOf<bool>(info, "admin_mode").value_or(false);
    row.battery = FieldOf<std::string>(info, "battery").value_or("");
    row.clock_offset_s = FieldOf<int64_t>(info, "clock_offset");
    row.play_state = FieldOf<std::string>(info, "play_state").value_or("");
    if (!row.serial) {
        row.deployment.clear();
    }
}

std::string OutcomeText(const UnitReport& report) {
    if (!report.ok) {
        return report.failure;
    }
    return report.detail.empty() ? "done" : report.detail;
}

bool IsManifest(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".csv";
}

}  // namespace

std::string DeploymentState(const UnitReport& check) {
    if (!check.ok) {
        return {};
    }
    if (FieldOf<bool>(check, "in_manifest") == false) {
        return "not in manifest";
    }
    if (FieldOf<bool>(check, "matches") == true) {
        return "matches";
    }
    if (const std::optional<int64_t> count = FieldOf<int64_t>(check, "difference_count")) {
        return "differs (" + std::to_string(*count) + ")";
    }
    return {};
}

Fleet::Fleet(FleetSettings settings) : settings_(std::move(settings)) {}

Fleet::~Fleet() {
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        for (auto& [port, slot] : slots_) {
            if (slot.worker.joinable()) {
                workers.push_back(std::move(slot.worker));
            }
        }
    }
    // Outside the lock: a task still running takes it to tell its row how it ended.
    for (std::thread& worker : workers) {
        worker.join();
    }
}

void Fleet::Scan() {
    const std::vector<PresentPort> present = PosixSerialPort(settings_.Ports()).PresentPorts();
    const PortDirectory directory = settings_.Ports();
    std::lock_guard lock(mutex_);
    Reap();
    for (auto it = slots_.begin(); it != slots_.end();) {
        const auto now = std::find_if(present.begin(), present.end(),
                                      [&](const PresentPort& p) { return p.number == it->first; });
        // A task under way fails on its own when its device went; its row goes after.
        if ((now != present.end() && *now == it->second.present) || it->second.row.busy) {
            ++it;
            continue;
        }
        it = slots_.erase(it);
        ++version_;
    }
    for (const PresentPort& port : present) {
        if (slots_.contains(port.number)) {
            continue;
        }
        Slot& slot = slots_[port.number];
        slot.present = port;
        slot.row.port = port.number;
        slot.row.device = directory.StableName(port.number);
        slot.row.held = held_.contains(port.number);
        ++version_;
        if (!slot.row.held) {
            Launch(slot, InputsFor(FleetTask::Look, {}));
        }
    }
}

std::vector<std::string> Fleet::ChooseDeployment(const std::string& path) {
    std::shared_ptr<const Deployment> manifest;
    std::shared_ptr<const DeploymentFile> file;
    if (IsManifest(path)) {
        DeploymentRead read = ReadDeployment(path, PosixPlatform(settings_.environment));
        if (!read.problems.empty()) {
            return read.problems;
        }
        manifest = std::make_shared<const Deployment>(std::move(read.units));
    } else {
        ConfigFileRead read = ReadConfigurationFile(path);
        const std::optional<std::string> refusal =
            read.contents ? RefusedForEveryUnit(*read.contents) : read.failure;
        if (refusal) {
            return {path + ": " + *refusal};
        }
        file =
            std::make_shared<const DeploymentFile>(DeploymentFile{path, std::move(*read.contents)});
    }
    std::lock_guard lock(mutex_);
    Reap();
    deployment_path_ = path;
    manifest_ = std::move(manifest);
    file_ = std::move(file);
    for (auto& [port, slot] : slots_) {
        slot.row.deployment.clear();
        if (!slot.row.busy && !slot.row.held && slot.row.serial) {
            Launch(slot, InputsFor(FleetTask::Look, {}));
        }
    }
    ++version_;
    return {};
}

std::string Fleet::DeploymentPath() const {
    std::lock_guard lock(mutex_);
    return deployment_path_;
}

bool Fleet::DeploymentIsManifest() const {
    std::lock_guard lock(mutex_);
    return manifest_ != nullptr;
}

std::vector<int> Fleet::Start(FleetTask task, const std::vector<int>& ports,
                              const FleetTaskOptions& options) {
    std::vector<int> started;
    std::lock_guard lock(mutex_);
    Reap();
    const TaskInputs inputs = InputsFor(task, options);
    if (task == FleetTask::WriteDeployment && !inputs.deployment && !inputs.file) {
        return started;
    }
    for (const int port : ports) {
        const auto slot = slots_.find(port);
        if (slot == slots_.end() || slot->second.row.busy || slot->second.row.held ||
            (task != FleetTask::Look && !slot->second.row.serial)) {
            continue;
        }
        Launch(slot->second, inputs);
        started.push_back(port);
    }
    return started;
}

void Fleet::Hold(const std::set<int>& ports) {
    std::lock_guard lock(mutex_);
    if (held_ == ports) {
        return;
    }
    Reap();
    held_ = ports;
    for (auto& [port, slot] : slots_) {
        const bool held = held_.contains(port);
        if (slot.row.held && !held && !slot.row.busy) {
            Launch(slot, InputsFor(FleetTask::Look, {}));
        }
        slot.row.held = held;
    }
    ++version_;
}

std::vector<FleetRow> Fleet::Rows() const {
    std::lock_guard lock(mutex_);
    std::vector<FleetRow> rows;
    rows.reserve(slots_.size());
    for (const auto& [port, slot] : slots_) {
        rows.push_back(slot.row);
    }
    return rows;
}

uint64_t Fleet::Version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

bool Fleet::Busy() const {
    std::lock_guard lock(mutex_);
    return std::any_of(slots_.begin(), slots_.end(),
                       [](const auto& entry) { return entry.second.row.busy; });
}

Fleet::TaskInputs Fleet::InputsFor(FleetTask task, const FleetTaskOptions& options) const {
    TaskInputs inputs;
    inputs.task = task;
    inputs.options = options;
    inputs.deployment = manifest_;
    inputs.file = file_;
    inputs.claims = std::make_shared<FileClaims>();
    return inputs;
}

void Fleet::Launch(Slot& slot, TaskInputs inputs) {
    if (slot.worker.joinable()) {
        slot.worker.join();  // a task over, not yet reaped
    }
    static constexpr const char* kFirstSteps[] = {"Looking at the unit", "Writing the deployment",
                                                  "Setting the time", "Updating the firmware",
                                                  "Reading the unit"};
    slot.row.busy = true;
    slot.row.progress = kFirstSteps[static_cast<int>(inputs.task)];
    if (inputs.task != FleetTask::Look) {
        slot.row.outcome.clear();
        slot.row.failed = false;
    }
    ++version_;
    const int port = slot.row.port;
    try {
        slot.worker = std::thread([this, port, inputs = std::move(inputs)] { Work(port, inputs); });
    } catch (const std::system_error& error) {
        slot.row.busy = false;
        slot.row.progress.clear();
        slot.row.outcome = std::string("Not started: ") + error.what();
        slot.row.failed = true;
    }
}

void Fleet::Reap() {
    for (auto& [port, slot] : slots_) {
        if (!slot.row.busy && slot.worker.joinable()) {
            slot.worker.join();  // past its last use of the rows: it only returns
        }
    }
}

template <class Change>
void Fleet::Update(int port, Change&& change) {
    std::lock_guard lock(mutex_);
    if (const auto slot = slots_.find(port); slot != slots_.end()) {
        change(slot->second.row);
        ++version_;
    }
}

FleetRow Fleet::RowOf(int port) const {
    std::lock_guard lock(mutex_);
    const auto slot = slots_.find(port);
    return slot != slots_.end() ? slot->second.row : FleetRow{};
}

UnitReport Fleet::Run(int port, CliRequest request, const TaskInputs& inputs) {
    request.timeout_ms = settings_.timeout_ms;
    const UnitTarget target{port, {}};
    return *Guarded(target, [&]() -> std::optional<UnitReport> {
        UnitSession session(settings_, target, [this, port](const std::string& text) {
            Update(port, [&](FleetRow& row) { row.progress = text; });
        });
        return RunUnitCommand(session, request, *inputs.claims,
                              inputs.file ? &inputs.file->contents : nullptr,
                              inputs.deployment.get());
    });
}

void Fleet::Look(int port, const TaskInputs& inputs) {
    CliRequest info;
    info.command = CommandKind::Info;
    const UnitReport report = Run(port, info, inputs);
    Update(port, [&](FleetRow& row) {
        TakeUnit(row, report);
        // After another task the row keeps that task's outcome; a look has none of its own
        // but a failure.
        if (inputs.task == FleetTask::Look) {
            row.outcome = report.ok ? std::string() : report.failure;
            row.failed = !report.ok;
        }
    });
}

void Fleet::Compare(int port, const TaskInputs& inputs) {
    Update(port, [](FleetRow& row) { row.progress = "Comparing with the deployment"; });
    CliRequest check;
    check.command = CommandKind::Check;
    check.file = inputs.file ? inputs.file->path : std::string();
    const UnitReport report = Run(port, check, inputs);
    Update(port, [&](FleetRow& row) {
        row.deployment = DeploymentState(report);
        if (!report.ok && inputs.task == FleetTask::Look) {
            row.outcome = report.failure;
            row.failed = true;
        }
    });
}

void Fleet::Work(int port, const TaskInputs& inputs) {
    const bool has_deployment = inputs.deployment || inputs.file;
    bool compare = has_deployment;
    if (inputs.task == FleetTask::Look) {
        Look(port, inputs);
    } else {
        const bool admin_mode = RowOf(port).admin_mode;
        CliRequest request;
        switch (inputs.task) {
            case FleetTask::WriteDeployment:
                request.command = inputs.deployment ? CommandKind::Apply : CommandKind::Write;
                request.file = inputs.file ? inputs.file->path : std::string();
                request.verify = true;
                break;
            case FleetTask::SetTime:
                request.command = CommandKind::SetTime;
                compare = false;
                break;
            case FleetTask::UpdateFirmware:
                request.command = CommandKind::Firmware;
                request.file = inputs.options.firmware_image;
                // A unit in its loader has no table to keep.
                request.keep_table = !admin_mode;
                break;
            case FleetTask::ReadToFiles:
                request.command = CommandKind::Read;
                request.file = (std::filesystem::path(inputs.options.folder) /
                                ("unit" + std::string(kSerialPlaceholder) + ".tlk"))
                                   .string();
                compare = false;
                break;
            case FleetTask::Look:
                break;
        }
        const UnitReport report = Run(port, request, inputs);
        Update(port, [&](FleetRow& row) {
            row.outcome = OutcomeText(report);
            row.failed = !report.ok;
        });
        if (inputs.task == FleetTask::WriteDeployment && report.ok) {
            // The write was read back and compared: the unit holds its file.
            const bool in_manifest = FieldOf<bool>(report, "in_manifest").value_or(true);
            Update(port, [&](FleetRow& row) {
                row.deployment = in_manifest ? "matches" : "not in manifest";
            });
            compare = false;
        }
        // What the task changed shows: the unit is looked at again.
        Look(port, inputs);
    }
    if (compare && RowOf(port).serial) {
        Compare(port, inputs);
    }
    Update(port, [](FleetRow& row) {
        row.busy = false;
        row.progress.clear();
    });
}

}  // namespace keelsong::cli
