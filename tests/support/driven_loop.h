// The program's main loop on a clock the test drives: a pass (input, messages, the idle pass
// with its due timers and its frame), then the clock moved on to the first thing due (a timer,
// a sound thread's wait, a film's next pass), then another pass. Clock time jumps from one
// due moment to the next, so a minute of the program runs in a fraction of a second of real
// time and every timer fires exactly when it is due.
#pragma once

#include <algorithm>
#include <cstdint>

#include "gui/window.h"
#include "tests/support/driven_clock.h"

namespace drivenloop {

// Runs passes until `done()` holds or `clockMs` of clock time have gone by; false when it did
// not come true (or the loop took the quit message first).
template <class Done>
bool RunUntil(IMWindow& window, DrivenClock& clock, Done&& done, std::int64_t clockMs) {
    const std::int64_t end = clock.Now() + clockMs * 1000;
    int passesWithoutTime = 0;
    for (;;) {
        if (!window.PumpOnce()) return done();
        if (done()) return true;
        const std::int64_t now = clock.Now();
        if (now >= end) return false;
        std::int64_t wait = window.IdleWaitMicroseconds();  // -1: nothing due until input
        // A pass that left new work (a message it posted to itself) runs again at once; a
        // loop that never stops making work still lets the clock move.
        if (wait == 0 && ++passesWithoutTime < 1000) continue;
        passesWithoutTime = 0;
        const std::int64_t due = wait < 0 ? end : now + std::max<std::int64_t>(wait, 1);
        clock.AdvanceTo(std::max(std::min({due, clock.NextDeadline(), end}), now + 1));
    }
}

// Runs the loop for `clockMs` of clock time.
inline void RunFor(IMWindow& window, DrivenClock& clock, std::int64_t clockMs) {
    RunUntil(
        window, clock, [] { return false; }, clockMs);
}

}  // namespace drivenloop
