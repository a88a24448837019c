#pragma once

#include <span>

#include "app/shell/controls.h"
#include "app/shell/ui.h"

namespace keelsong {

class Program;

// What a control callback is told: which control of which panel, what happened, and two
// words of event data (for a grid cell: the row and the column; for a key press: the key).
struct CallbackEvent {
    Panel panel;
    Control control;
    UiEvent event;
    int data1 = 0;
    int data2 = 0;
};

// Every callback acts on the events it cares about and ignores the rest. Returns 0, or -1
// where a failure matters to the caller (quitting after a failed save).
using ControlCallback = int (*)(Program& program, const CallbackEvent& event);

struct CallbackBinding {
    Panel panel;
    Control control;
    ControlCallback callback;
};

// The one table of which control calls which callback. The window connects its widgets'
// signals through it; tests "press" a control with Press().
std::span<const CallbackBinding> CallbackTable();

// The callback bound to a control, or nullptr.
ControlCallback CallbackFor(Panel panel, Control control);

// Runs the control's callback for an event as the window would; 0 when none is bound.
int Press(Program& program, Panel panel, Control control, UiEvent event = UiEvent::Commit,
          int data1 = 0, int data2 = 0);

}  // namespace keelsong
