#include "cli/unit_session.h"

#include <filesystem>

#include "app/connection/connection.h"
#include "app/events/event_transfer.h"
#include "app/setup/setup_panel.h"
#include "app/unit/enquiry.h"
#include "cli/device_port.h"
#include "platform/posix_serial_port.h"

namespace keelsong::cli {

namespace {

std::string TextOf(const ControlValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string{};
}

}  // namespace

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
    InstallTableTransfer(*program_);

    ui_.SetInt(Panel::CONNECT, Control::COM_TIMEOUT, static_cast<int>(settings_.timeout_ms));
    ui_.SetInt(Panel::CONNECT, Control::PORT, target_.port.value_or(1));
    ui_.RecordHistory(Panel::MAIN, Control::STATUS_LINE);
    if (progress) {
        ui_.ObserveValues([progress = std::move(progress)](Panel panel, Control control,
                                                           const ControlValue& value) {
            const bool shown = control == Control::STATUS_LINE ||
                               (panel == Panel::ADVANCED && control == Control::FW_STAGE_STR);
            if (shown) {
                progress(TextOf(value));
            }
        });
    }
}

UnitSession::~UnitSession() {
    program_->Link().ClosePort();
}

int UnitSession::Connect() {
    BeginStep();
    // Connecting reads no table or setup: each command reads what it needs itself, and knows
    // whether that worked.
    return ConnectToPort(*program_, false, UnitContents::LeftToCaller);
}

int UnitSession::Probe() {
    BeginStep();
    return ProbePort(*program_, target_.port.value_or(1), settings_.timeout_ms);
}

void UnitSession::BeginStep() {
    step_history_ = ui_.History(Panel::MAIN, Control::STATUS_LINE).size();
    step_popups_ = ui_.Popups().size();
}

std::string UnitSession::StepFailure(bool told_in_popup) const {
    std::optional<std::string> status_failure;
    const auto& history = ui_.History(Panel::MAIN, Control::STATUS_LINE);
    for (size_t k = history.size(); k > step_history_ && !status_failure; --k) {
        if (history[k - 1].text_color == kColorRed) {
            status_failure = TextOf(history[k - 1].value);
        }
    }
    std::optional<std::string> popup;
    const auto& popups = ui_.Popups();
    for (size_t k = popups.size(); k > step_popups_ && !popup; --k) {
        if (popups[k - 1].kind == HeadlessUi::PopupKind::Message) {
            popup = popups[k - 1].text;
        }
    }
    if (told_in_popup && popup) {
        return *popup;
    }
    return status_failure ? *status_failure : popup ? *popup : StatusText();
}

std::string UnitSession::ConnectionStatus() const {
    return ui_.TextValue(Panel::CONNECT, Control::STATUS_LINE);
}

std::string UnitSession::StatusText() const {
    return ui_.TextValue(Panel::MAIN, Control::STATUS_LINE);
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

}  // namespace keelsong::cli
