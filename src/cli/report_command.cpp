#include "cli/report_command.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>

#include "app/files/config_file_io.h"
#include "app/schedule/report.h"
#include "app/state/program.h"
#include "files/config_file.h"
#include "files/ini.h"
#include "protocol/unit_setup.h"

namespace keelsong::cli {

namespace {

// Which setup fields the file at `path` holds, once it has loaded: those of its "Setup"
// section with a valid number. An older event-table file holds none.
SetupFieldsShown SetupFieldsInFile(const std::string& path) {
    SetupFieldsShown shown{};
    std::ifstream file(path, std::ios::binary);
    char first = 0;
    if (!file.get(first) || IsOldEventTableFile(static_cast<uint8_t>(first))) {
        return shown;
    }
    const std::unique_ptr<IniDocument> document = Ini_New(1);
    if (!document || document->ReadFromFile(path) != 0) {
        return shown;
    }
    if (const std::optional<DecodedSetup> setup = ParseSetupRecord(ReadConfigSetup(*document))) {
        for (const SetupField& field : setup->fields) {
            if (field.tag < setup_tag::kCount) {
                shown[field.tag] = true;
            }
        }
    }
    return shown;
}

}  // namespace

UnitReport RunReportCommand(const FleetSettings& settings, const CliRequest& request,
                            const Shell::ReportWriter& writer) {
    // A session whose target is never opened: the program the file loads into, as the window's
    // is before it connects.
    UnitSession session(settings, UnitTarget{}, nullptr);
    Program& program = session.Logic();
    UnitReport report;
    program.GivenUnitType() = request.unit_type;
    const Outcome loaded = LoadConfigurationFile(program, request.file);
    if (!loaded.ok) {
        report.failure = loaded.message;
        return report;
    }
    if (!writer) {
        report.failure = "This keelsong-cli was built without the report writer";
        return report;
    }
    std::error_code error;
    if (std::filesystem::equivalent(request.file, request.output, error)) {
        // Writing the report there would lose the very configuration it reports.
        report.failure = "Failed to save report: OUT.pdf is the configuration file itself";
        return report;
    }
    program.GetShell().SetReportWriter(writer);
    // The setup controls hold only what the file gave them; the rest is no part of the file.
    const ReportContent content =
        MakeReport(program, ReportUnitSource::File, SetupFieldsInFile(request.file));
    if (program.GetShell().WriteReport(content, request.output) != 0) {
        report.failure = "Failed to save report";
        return report;
    }
    report.ok = true;
    report.detail = request.output;
    report.fields = {{"report", request.output}};
    return report;
}

}  // namespace keelsong::cli
