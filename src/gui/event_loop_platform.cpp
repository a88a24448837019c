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
        // Input stays queued until the program is back in its own event loop; the one-second
        // timer that runs here only updates the clock while an operation is under way.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const Clock::duration left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kSlice));
    }
}

}  // namespace keelsong
