// The ADVANCED pop-up: the "Save Changes Before Playing" choice, applied or thrown away
// explicitly, beside the service buttons that other parts of the program handle.

#include "app/setup/setup_panel.h"
#include "app/state/program.h"

namespace keelsong {

namespace {

// "Yes", "No", "Cancel" of the question asked when closing with an unapplied change.
constexpr int kSaveAnswer = 1;
constexpr int kDiscardAnswer = 2;

void ApplyAutosave(Program& program) {
    program.Marks().save_before_playing =
        program.GetUi().IntValue(Panel::ADVANCED, Control::AUTOSAVE) != 0;
}

}  // namespace

bool SaveBeforePlaying(const Program& program) {
    return program.Marks().save_before_playing;
}

void SetSaveBeforePlaying(Program& program, bool value) {
    program.Marks().save_before_playing = value;
    program.GetUi().SetInt(Panel::ADVANCED, Control::AUTOSAVE, value ? 1 : 0);
}

void SetApplyEnabled(Program& program, bool enabled) {
    program.GetUi().SetDimmed(Panel::ADVANCED, Control::APPLY, !enabled);
}

int OpenAdvancedPanelCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        Ui& ui = program.GetUi();
        ui.SetText(Panel::ADVANCED, Control::FW_STAGE_STR, "");
        ui.InstallPopup(Panel::ADVANCED);
    }
    return 0;
}

int ApplyAdvancedSetupCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        ApplyAutosave(program);
        program.ShowStatusMessage(true, "Applied advanced settings");
        SetApplyEnabled(program, false);
    }
    return 0;
}

int CancelAdvancedSetupCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    Ui& ui = program.GetUi();
    ui.SetText(Panel::ADVANCED, Control::FW_STAGE_STR, "");
    if (!ui.IsDimmed(Panel::ADVANCED, Control::APPLY)) {
        const int answer =
            ui.GenericMessagePopup("Prompts", "Save new settings before closing?",
                                   {"Yes", "No", "Cancel"}, kSaveAnswer, kDiscardAnswer);
        if (answer == kSaveAnswer) {
            ApplyAutosave(program);
        } else if (answer == kDiscardAnswer) {
            ui.SetInt(Panel::ADVANCED, Control::AUTOSAVE, SaveBeforePlaying(program) ? 1 : 0);
        } else {
            // "Cancel", or the question closed: the change stays, and so does the pop-up.
            return 0;
        }
        SetApplyEnabled(program, false);
    }
    ui.RemovePopup(Panel::ADVANCED);
    return 0;
}

}  // namespace keelsong
