#include "app/files/compare_with_file.h"

#include <new>

#include "app/files/take_file_values.h"
#include "app/files/unit_contents.h"
#include "app/setup/playback.h"
#include "app/state/change_marks.h"
#include "app/state/program.h"
#include "app/unit/readiness.h"
#include "app/unit/readiness_battery.h"
#include "files/contents_compare.h"

namespace keelsong {

namespace {

constexpr char kTitle[] = "Compare With File";

void CompareWithFile(Program& program) {
    Ui& ui = program.GetUi();
    const FileSelection chosen =
        ui.FileSelectPopup(program.Settings().ConfigFolder(), "*.tlk", kTitle, false);
    if (chosen.choice != FileChoice::ExistingFile) {
        return;
    }
    const ConfigFileRead read = ReadConfigurationFile(chosen.path);
    if (!read.contents) {
        program.ShowStatusMessage(false, read.failure);
        return;
    }
    program.Settings().ConfigFolder() = chosen.path;
    const ChangeMarks& marks = program.Marks();
    if ((marks.table_changed || marks.setup_changed) &&
        !ui.ConfirmPopup(kTitle,
                         "Comparing reads the unit's table and setup again, and the "
                         "changes not yet sent are lost. Compare all the same?")) {
        return;
    }
    if (!RetrieveTableAndSetup(program).ok) {
        return;  // the read told why in the status line
    }
    const std::vector<std::string> warnings =
        ReadinessWarnings(ReadinessFactsOf(program), kMinReadinessBattery);
    const ConfigFileContents unit = UnitContents(program);
    const size_t differences = CompareContents(unit, *read.contents).size();
    program.ShowStatusMessage(true, differences == 0
                                        ? "The unit matches the file"
                                        : "The unit differs from the file in " +
                                              std::to_string(differences) +
                                              (differences == 1 ? " value" : " values"));
    const std::optional<ComparisonChoice> choice =
        ui.ComparisonPopup(kTitle, warnings, CompareSideBySide(unit, *read.contents));
    if (choice && (!choice->rows.empty() || choice->setup)) {
        TakeFileValues(program, *read.contents, choice->rows, choice->setup);
    }
}

}  // namespace

int CompareWithFileCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    try {
        CompareWithFile(program);
    } catch (const std::bad_alloc&) {
        program.ShowStatusMessage(false, "Out of system memory");
    }
    return 0;
}

}  // namespace keelsong
