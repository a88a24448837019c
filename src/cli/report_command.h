#pragma once

#include "app/shell/shell.h"
#include "cli/cli_options.h"
#include "cli/unit_report.h"
#include "cli/unit_session.h"

namespace keelsong::cli {

// "report": loads the request's configuration file as "Load" does and writes the deployment
// report of what it holds with `writer`, as "Export Report" does for the window. No unit is
// asked. Without a writer (a build without the report library) the command fails and says so.
UnitReport RunReportCommand(const FleetSettings& settings, const CliRequest& request,
                            const Shell::ReportWriter& writer);

}  // namespace keelsong::cli
