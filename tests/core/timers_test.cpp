#include <gtest/gtest.h>

#include <vector>

#include "core/timer_service.h"
#include "platform/clock.h"

TEST(Timers, IntervalZeroFiresEveryPassUntilRemoved) {
    IMTimerService timers;
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
    IMTimerService timers;
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
    // The new timer has the largest id and is visited in the same pass, but is not due yet.
    EXPECT_EQ(order, (std::vector<unsigned>{once, adder}));
    platform::Clock::Sleep(2);
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(order, (std::vector<unsigned>{once, adder, adder, added}));
}

TEST(Timers, DueRuleAndUnknownIds) {
    IMTimerService timers;
    int fired = 0;
    unsigned id = timers.AddTimer(30);
    timers.ConnectTimer(id, [&](const IMEvent&) {
        ++fired;
        return 0L;
    });
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 0);
    auto wait = timers.MicrosecondsToNextDue();
    ASSERT_TRUE(wait.has_value());
    EXPECT_LE(*wait, 30'000);
    EXPECT_GT(*wait, 20'000);
    platform::Clock::Sleep(35);
    EXPECT_EQ(timers.MicrosecondsToNextDue(), 0);
    timers.RunDueTimers(nullptr);
    EXPECT_EQ(fired, 1);
    timers.RunDueTimers(nullptr);  // restarted from the firing, not caught up
    EXPECT_EQ(fired, 1);

    EXPECT_EQ(timers.RemoveTimer(0), 0);
    EXPECT_EQ(timers.RemoveTimer(99), 0);
    EXPECT_FALSE(timers.ConnectTimer(0, [](const IMEvent&) { return 0L; }).connected());
    EXPECT_FALSE(timers.ConnectTimer(99, [](const IMEvent&) { return 0L; }).connected());
    EXPECT_EQ(timers.Count(), 1u);
}

TEST(Timers, TheWaitStaysRightAfterHoursWithoutAFiring) {
    // A school computer runs all day: a timer four hours long, three hours in, has one hour
    // left, not an overflowed count.
    IMTimerService timers;
    timers.AddTimer(4u * 3600 * 1000);
    platform::Clock::SetScale(100'000.0);
    const std::int64_t start = platform::Clock::Counter();
    while (platform::Clock::Counter() - start < std::int64_t{3} * 3600 * platform::Clock::Frequency())
        platform::Clock::Sleep(1000);
    platform::Clock::SetScale(1.0);
    const auto left = timers.MicrosecondsToNextDue();
    ASSERT_TRUE(left.has_value());
    EXPECT_GT(*left, std::int64_t{0});
    EXPECT_LE(*left, std::int64_t{3600} * 1'000'000);
    // The loop overshoots by one sleep's latency times the clock's scale: a loaded machine's
    // 20 ms are half an hour here.
    EXPECT_GT(*left, std::int64_t{600} * 1'000'000);
    timers.RunDueTimers(nullptr);  // not due yet, and no overflowed age makes it so
    EXPECT_EQ(timers.MicrosecondsToNextDue().value_or(0) > 0, true);
}
