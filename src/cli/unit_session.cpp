#include "cli/unit_session.h"

#include <exception>
#include <filesystem>
#include <new>

#include "app/connection/connection.h"
#include "app/setup/setup_panel.h"
#include "app/unit/enquiry.h"
#include "cli/device_port.h"
#include "platform/posix_serial_port.h"

namespace keelsong::cli {

UnitSession::UnitSession(const FleetSettings& settings, const UnitTarget& target,
                         ProgressSink progress)
    : settings_(settings),
      target_(target),
      machine_(settings.environment),
      platform_(machine_, settings.pause_scale) {
    if (target_.port) {
        port_ = std::make_unique<PosixSerialPort>(settings_.Ports());
    } else {
        port_ = std::make_unique<DevicePort>(target_.device_path, settings_.Ports());
    }
    program_ = std::make_unique<Program>(ui_, *port_, platform_);
    program_->ServiceRecords().SetProgramName("keelsong-cli");
    program_->ServiceRecords().SetWarningSink(
        [this](const std::string& text) { warnings_.push_back(text); });
    if (settings_.trace) {
        trace_ = settings_.trace->ForUnit(target_.port ? "port " + std::to_string(*target_.port)
                                                       : target_.device_path);
        program_->Link().SetTrace(trace_.get());
    }
    // The logic as start-up ties it together, less what only a window has (the grid's context
    // menu, the settings file, the firmware offer on connecting).
    InstallSetupPanel(*program_);

    if (progress) {
        program_->Status().SetListener([progress = std::move(progress)](std::string_view text) {
            progress(std::string(text));
        });
    }
}

UnitSession::~UnitSession() {
    program_->Link().ClosePort();
}

Outcome UnitSession::Connect() {
    // Connecting reads no table or setup: each command reads what it needs itself, and knows
    // whether that worked.
    return ConnectToUnit(*program_, ConnectRequest{target_.port.value_or(1), settings_.timeout_ms,
                                                   false, UnitContents::LeftToCaller});
}

int UnitSession::Probe() {
    return ProbePort(*program_, target_.port.value_or(1), settings_.timeout_ms);
}

UnitReport UnitSession::Report() const {
    UnitReport report;
    report.port = target_.port;
    const PortDirectory ports = settings_.Ports();
    report.device =
        target_.port ? ports.StableName(*target_.port) : ports.StableNameOf(target_.device_path);
    if (report.device.empty() && !target_.port) {
        report.device = target_.device_path;
    }
    report.warnings = warnings_;
    const UnitIdentity& identity = program_->Identity();
    if (identity.firmware_version >= 0 && identity.DeviceType() != device_type::kNone) {
        report.unit = IdentityText(identity);
        report.fields = {
            {"type", std::string(DeviceTypeName(identity.DeviceType()))},
            {"serial", int64_t{identity.SerialNumber()}},
            {"firmware", FirmwareVersionText(identity.firmware_version)},
            {"admin_mode", identity.firmware_version < kNormalFirmware},
        };
    }
    return report;
}

std::optional<UnitReport> Guarded(const UnitTarget& target,
                                  const std::function<std::optional<UnitReport>()>& job) {
    UnitReport failed;
    failed.port = target.port;
    failed.device = target.device_path;
    try {
        return job();
    } catch (const std::bad_alloc&) {
        failed.failure = "Out of system memory";
    } catch (const std::exception& error) {
        failed.failure = error.what();
    }
    return failed;
}

}  // namespace keelsong::cli
