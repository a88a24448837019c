#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "app/schedule/schedule.h"
#include "app/shell/callbacks.h"
#include "protocol/unit_setup.h"

namespace keelsong {

class Program;

// The deployment report: what the unit is set to play, in a form a field team files with the
// deployment. The program gathers it as texts and the schedule; the writer installed in the
// shell (a PDF writer, for the window and the command line) lays it out.

struct ReportCell {
    std::string text;
    bool dimmed = false;  // a cell the row's type does not use
};

struct ReportContent {
    std::string made;  // local date and time the report was made, with the offset from UTC
    // The unit: label and value pairs (type, serial number, firmware), or one line saying
    // there is none.
    std::vector<std::pair<std::string, std::string>> unit;
    // The configuration file the contents were loaded from: its name, when and by what it was
    // saved, its SHA-256; empty when they came from no file.
    std::vector<std::pair<std::string, std::string>> file;
    // The connected unit's last changes from the service history, newest first: when (local
    // time) and what.
    std::vector<std::pair<std::string, std::string>> recent_changes;
    // The setup in words: label and value pairs.
    std::vector<std::pair<std::string, std::string>> setup;
    // The event table as the grid shows it.
    std::vector<std::string> column_titles;
    std::vector<std::vector<ReportCell>> rows;
    Schedule schedule;
    std::string totals;
    std::string program_version;
};

// Where the unit's fields of a report come from.
enum class ReportUnitSource {
    Connection,  // the connected unit, or "not connected"
    File,        // a configuration file, which names no unit
};

// Which of the six setup fields, by tag, the setup controls show for the report. A report of a
// configuration file shows only those the file holds: for the others the controls hold nothing
// of the file's.
using SetupFieldsShown = std::array<bool, setup_tag::kCount>;
inline constexpr SetupFieldsShown kAllSetupFields = {true, true, true, true, true, true};

// The report for the grid and the setup controls as they stand. A setup line whose fields are
// not all shown says "not in the file", and the totals then leave out what those fields decide
// (the run, the start).
ReportContent MakeReport(Program& program, ReportUnitSource source = ReportUnitSource::Connection,
                         const SetupFieldsShown& shown = kAllSetupFields);

// How many of the unit's last changes a report lists.
inline constexpr int kReportedChanges = 5;

// The name a new report is offered: "Keelsong_Report_Unit1042_261209_0600.pdf" (without the
// unit when none is connected).
std::string DefaultReportName(bool connected, uint32_t serial_number, const CalendarTime& local);

// "Export Report…": asks for a file name, starting in the "Config Path" folder, and writes the
// report there; the outcome goes to the status line. Acts on the commit event only.
int ExportReportCB(Program& program, const CallbackEvent& event);  // MAIN EXPORT_REPORT

}  // namespace keelsong
