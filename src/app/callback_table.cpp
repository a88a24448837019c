#include <vector>

#include "app/callbacks.h"

namespace keelsong {

namespace {

// One row per control that has a callback. Each subsystem adds its rows here.
const std::vector<CallbackBinding>& Bindings() {
    static const std::vector<CallbackBinding> table = {};
    return table;
}

}  // namespace

std::span<const CallbackBinding> CallbackTable() {
    return Bindings();
}

ControlCallback CallbackFor(Panel panel, Control control) {
    for (const CallbackBinding& binding : Bindings()) {
        if (binding.panel == panel && binding.control == control) {
            return binding.callback;
        }
    }
    return nullptr;
}

int Press(Program& program, Panel panel, Control control, UiEvent event, int data1, int data2) {
    const ControlCallback callback = CallbackFor(panel, control);
    return callback ? callback(program, CallbackEvent{panel, control, event, data1, data2}) : 0;
}

}  // namespace keelsong
