#pragma once

#include <string>

#include "app/schedule/report.h"

namespace keelsong {

// Writes the deployment report as a PDF (A4, one page or more): the unit, the date, the setup
// in words, the event table as the grid shows it, the timeline of one play, the totals and the
// program's version. The file is written whole or not at all: an earlier file of that name
// survives a failure. 0 on success, -1 on failure. Needs a QGuiApplication.
int WriteReportPdf(const ReportContent& report, const std::string& path);

}  // namespace keelsong
