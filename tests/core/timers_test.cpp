#include <gtest/gtest.h>

#include <vector>

#include "core/timer_service.h"
#include "tests/support/driven_clock.h"

TEST(Timers, IntervalZeroFiresEveryPassUntilRemoved) {
    DrivenClock clock;
    IMTimerService timers(clock);
    int fired = 0;
    unsigned id = timers.AddTimer(0);
    EXPECT_EQ(id, 1u);
    timers.ConnectTimer(id, [&](const IMEvent& e) {
        EXPECT_EQ(e.id, EV_NOTIFY);
        ++fired;
        return 0L;
    });
    for (int pass = 0; pass < 3; ++pass) timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 3);
    timers.RemoveTimer(id);
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(timers.AddTimer(0), 2u);  // ids are never reused
}

TEST(Timers, SelfRemovalAndTimersAddedDuringAPass) {
    DrivenClock clock;
    IMTimerService timers(clock);
    std::vector<unsigned> order;
    unsigned once = timers.AddTimer(0);
    timers.ConnectTimer(once, [&](const IMEvent&) {
        order.push_back(once);
        timers.RemoveTimer(once);
        return 0L;
    });
    unsigned added = 0;
    unsigned adder = timers.AddTimer(0);
    timers.ConnectTimer(adder, [&](const IMEvent&) {
        if (added == 0) {
            added = timers.AddTimer(0);
            timers.ConnectTimer(added, [&](const IMEvent&) {
                order.push_back(added);
                return 0L;
            });
        }
        order.push_back(adder);
        return 0L;
    });

    timers.RunDueTimers(nullptr);
    // The new timer has the largest id, but waits for the next pass, even on a clock that has
    // not moved: a handler that adds a timer of interval 0 must not run the pass for ever.
    EXPECT_EQ(order, (std::vector<unsigned>{once, adder}));
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(order, (std::vector<unsigned>{once, adder, adder, added}));
}

TEST(Timers, DueRuleAndUnknownIds) {
    DrivenClock clock;
    IMTimerService timers(clock);
    int fired = 0;
    unsigned id = timers.AddTimer(30);
    timers.ConnectTimer(id, [&](const IMEvent&) {
        ++fired;
        return 0L;
    });
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(timers.MicrosecondsToNextDue(), 30'000);
    clock.Advance(29'999);
    EXPECT_EQ(timers.MicrosecondsToNextDue(), 1);
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 0);
    clock.Advance(1);
    EXPECT_EQ(timers.MicrosecondsToNextDue(), 0);
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 1);
    // Late by 25 ms: it fires once, and the next interval counts from that firing.
    clock.Advance(55'000);
    timers.RunDueTimers(nullptr);
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(timers.MicrosecondsToNextDue(), 30'000);

    EXPECT_EQ(timers.RemoveTimer(0), 0);
    EXPECT_EQ(timers.RemoveTimer(99), 0);
    EXPECT_FALSE(timers.ConnectTimer(0, [](const IMEvent&) { return 0L; }).connected());
    EXPECT_FALSE(timers.ConnectTimer(99, [](const IMEvent&) { return 0L; }).connected());
    EXPECT_EQ(timers.Count(), 1u);
}

TEST(Timers, TheWaitStaysRightAfterHoursWithoutAFiring) {
    // A school computer runs all day: a timer four hours long, three hours in, has one hour
    // left, not an overflowed count.
    DrivenClock clock;
    IMTimerService timers(clock);
    int fired = 0;
    timers.ConnectTimer(timers.AddTimer(4u * 3600 * 1000), [&](const IMEvent&) { return ++fired, 0L; });
    clock.Advance(std::int64_t{3} * 3600 * 1'000'000);
    EXPECT_EQ(timers.MicrosecondsToNextDue(), std::int64_t{3600} * 1'000'000);
    timers.RunDueTimers(nullptr);  // not due yet, and no overflowed age makes it so
    EXPECT_EQ(fired, 0);
    // Fifty days on, past the wrap of a 32-bit millisecond count, it is due and fires once.
    clock.Advance(std::int64_t{50} * 24 * 3600 * 1'000'000);
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 1);
}
