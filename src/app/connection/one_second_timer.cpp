#include "app/connection/one_second_timer.h"

#include "app/connection/replug_watch.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/status_display.h"

namespace keelsong {

namespace {

// Polls only after this many whole quiet seconds, so at most every sixth tick.
constexpr int kQuietSecondsBeforePoll = 4;
constexpr int kMaxFailedPolls = 3;

}  // namespace

int OneSecondCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::TimerTick) {
        return 0;
    }
    ShowDateAndTime(program);
    // An operation waiting in a pop-up must not find its exchange interleaved with a poll.
    if (program.UnitOperationsRunning() > 0) {
        return 0;
    }
    WatchLink(program);
    ActivityCounters& activity = program.Status().Activity();
    const int idle = activity.idle_seconds++;
    if (idle <= kQuietSecondsBeforePoll || !program.Link().IsConnected()) {
        return 0;
    }
    activity.idle_seconds = 0;
    if (activity.failed_polls >= kMaxFailedPolls) {
        return 0;
    }
    if (EnquireUnit(program, false) < 0) {
        ++activity.failed_polls;
    } else {
        ReadUnitStatus(program);
    }
    return 0;
}

}  // namespace keelsong
