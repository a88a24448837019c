#include "cli/report_command.h"

#include "app/files/config_file_io.h"
#include "app/schedule/report.h"
#include "app/shell/program.h"

namespace keelsong::cli {

UnitReport RunReportCommand(const FleetSettings& settings, const CliRequest& request,
                            const Shell::ReportWriter& writer) {
    // A session whose target is never opened: the program the file loads into, as the window's
    // is before it connects.
    UnitSession session(settings, UnitTarget{}, nullptr);
    Program& program = session.Logic();
    UnitReport report;
    session.BeginStep();
    if (LoadConfigurationFile(program, request.file) != 0) {
        report.failure = session.StepFailure();
        return report;
    }
    if (!writer) {
        report.failure = "This keelsong-cli was built without the report writer";
        return report;
    }
    program.GetShell().SetReportWriter(writer);
    if (program.GetShell().WriteReport(MakeReport(program, ReportUnitSource::File),
                                       request.output) != 0) {
        report.failure = "Failed to save report";
        return report;
    }
    report.ok = true;
    report.detail = request.output;
    report.fields = {{"report", request.output}};
    return report;
}

}  // namespace keelsong::cli
