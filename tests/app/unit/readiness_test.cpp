// The readiness warnings of a unit, from the facts connecting and reading it left.
#include <gtest/gtest.h>

#include "app/unit/readiness.h"

namespace keelsong {
namespace {

TEST(ReadinessTest, Facts_GiveEachWarningWithItsReason) {
    constexpr int64_t kNow = 1'800'000'000;  // 2027-01-15 08:00:00 UTC
    ReadinessFacts ready;
    ready.computer_now = kNow;
    ready.clock_offset = 0;
    ready.start_time = kNow + 3600;
    ready.battery = 30;
    ready.events = 2;
    struct Case {
        const char* name;
        void (*change)(ReadinessFacts&);
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"ready", [](ReadinessFacts&) {}, {}},
        {"no start time set", [](ReadinessFacts& f) { f.start_time = -1; }, {}},
        {"start time past",
         [](ReadinessFacts& f) { f.start_time = kNow - 60; },
         {"start time 2027-01-15 07:59:00 UTC is in the past"}},
        // The unit's clock runs 2 h ahead: its start time has gone by for it, not for us.
        {"start before the unit's clock",
         [](ReadinessFacts& f) { f.clock_offset = -7200; },
         {"start time 2027-01-15 09:00:00 UTC is before the unit's clock (2027-01-15 10:00:00 UTC)",
          "unit clock 7200 s ahead of this computer's"}},
        {"clock 2 s off is fine", [](ReadinessFacts& f) { f.clock_offset = 2; }, {}},
        {"clock 3 s behind",
         [](ReadinessFacts& f) { f.clock_offset = 3; },
         {"unit clock 3 s behind this computer's"}},
        {"battery low", [](ReadinessFacts& f) { f.battery = 29; }, {"battery at 29 %, below 30 %"}},
        {"no battery reading", [](ReadinessFacts& f) { f.battery.reset(); }, {}},
        {"empty table", [](ReadinessFacts& f) { f.events = 0; }, {"the event table is empty"}},
        {"admin mode",
         [](ReadinessFacts& f) {
             f.admin_mode = true;
             f.events = 0;
         },
         {"unit in admin mode: it plays nothing until its firmware is updated"}},
    };
    for (const Case& c : cases) {
        ReadinessFacts facts = ready;
        c.change(facts);
        EXPECT_EQ(ReadinessWarnings(facts, 30), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace keelsong
