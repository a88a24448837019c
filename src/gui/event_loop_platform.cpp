#include "gui/event_loop_platform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <thread>

namespace keelsong {

void EventLoopPlatform::Delay(double seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(std::max(seconds, 0.0)));
    for (;;) {
        // The clock is read before the events are looked at, so that the last look always
        // begins at or after the deadline: a timer due within the pause runs in it even when a
        // loaded machine left this thread asleep well past its slice. With nothing left to do
        // that look costs microseconds; what was to be painted was painted in an earlier one.
        const Clock::time_point looked = Clock::now();
        // Input stays queued until the program is back in its own event loop; the one-second
        // timer that runs here only updates the clock while an operation is under way.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (looked >= deadline) {
            return;
        }
        const Clock::duration left = deadline - Clock::now();
        std::this_thread::sleep_for(
            std::clamp<Clock::duration>(left, Clock::duration::zero(), kSlice));
    }
}

}  // namespace keelsong
