#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "platform/win_types.h"
#include "tests/support/driven_clock.h"

TEST(Rectangles, EdgesFollowTheWindowsRules) {
    RECT r{10, 20, 30, 40};
    EXPECT_TRUE(PtInRect(r, {10, 20}));
    EXPECT_TRUE(PtInRect(r, {29, 39}));
    EXPECT_FALSE(PtInRect(r, {30, 39}));  // right and bottom are outside
    EXPECT_FALSE(PtInRect(r, {29, 40}));
    EXPECT_FALSE(PtInRect(r, {9, 25}));

    RECT out{1, 2, 3, 4};
    EXPECT_TRUE(IntersectRect(&out, r, RECT{25, 0, 100, 25}));
    EXPECT_TRUE(EqualRect(out, RECT{25, 20, 30, 25}));

    // Rectangles that only touch share no pixel: the result is the empty, all-zero rectangle.
    out = RECT{1, 2, 3, 4};
    EXPECT_FALSE(IntersectRect(&out, r, RECT{30, 20, 50, 40}));
    EXPECT_TRUE(EqualRect(out, RECT{}));
    EXPECT_FALSE(IntersectRect(&out, r, RECT{15, 25, 15, 35}));  // zero width

    EXPECT_FALSE(EqualRect(r, RECT{10, 20, 30, 41}));
}

TEST(Text, ConversionsRoundTripAndSurviveBadInput) {
    const std::wstring russian = L"Игра «Ворлен» 🔔";
    EXPECT_EQ(platform::text::FromUtf8(platform::text::ToUtf8(russian)), russian);
    EXPECT_EQ(platform::text::FromUtf16(platform::text::ToUtf16(russian)), russian);
    EXPECT_EQ(platform::text::ToUtf16(L"🔔").size(), 2u);  // a surrogate pair

    // Truncated, overlong and stray bytes each become one replacement character.
    EXPECT_EQ(platform::text::FromUtf8("a\xD0"), L"a\uFFFD");
    EXPECT_EQ(platform::text::FromUtf8("\xC0\xAF"), L"\uFFFD");
    EXPECT_EQ(platform::text::FromUtf8("\x80z"), L"\uFFFDz");
    EXPECT_EQ(platform::text::FromUtf16(std::u16string(1, u'\xD800')), L"\uFFFD");
}

// Threads that wait on a driven clock wake at their own deadlines, earliest first, and Advance
// returns only once what they did at each is done; a thread woken by another runs before the
// clock moves on.
TEST(Clock, DrivenWaitsEndInDeadlineOrderAndAdvanceWaitsForTheirWork) {
    DrivenClock clock;
    std::mutex lock;
    std::condition_variable cv;
    bool stop = false;
    int pokes = 0;
    std::vector<std::pair<char, std::int64_t>> woke;  // under lock
    const std::int64_t start = clock.Now();
    const auto sleeper = [&](char name, std::int64_t period) {
        std::unique_lock<std::mutex> guard(lock);
        int seen = 0;
        for (;;) {
            if (clock.WaitUntil(guard, cv, clock.Now() + period, [&] { return stop || pokes > seen; })) {
                if (stop) break;
                seen = pokes;
                woke.emplace_back(static_cast<char>(name - 32), clock.Now() - start);
            } else {
                woke.emplace_back(name, clock.Now() - start);
            }
        }
        guard.unlock();
        clock.ThreadEnds();
    };
    clock.ThreadStarts();
    std::thread a(sleeper, 'a', 30'000);
    clock.ThreadStarts();
    std::thread b(sleeper, 'b', 50'000);

    clock.Advance(100'000);
    {
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(woke, (std::vector<std::pair<char, std::int64_t>>{
                            {'a', 30'000}, {'b', 50'000}, {'a', 60'000}, {'a', 90'000}, {'b', 100'000}}));
        woke.clear();
        ++pokes;
    }
    cv.notify_all();
    clock.Advance(0);  // both poked threads have run: each noted the poke at the same time
    {
        std::lock_guard<std::mutex> guard(lock);
        ASSERT_EQ(woke.size(), 2u);
        EXPECT_EQ(woke[0].second, 100'000);
        EXPECT_EQ(woke[1].second, 100'000);
    }
    EXPECT_EQ(clock.NextDeadline(), clock.Now() + 30'000);  // a's, counted from the poke
    {
        std::lock_guard<std::mutex> guard(lock);
        stop = true;
    }
    cv.notify_all();
    a.join();
    b.join();
}

// The real clock's waits end when what they wait for comes true, or at the deadline.
TEST(Clock, RealWaitsEndAtTheirDeadlineOrWhenReady) {
    platform::Clock& clock = platform::Clock::Real();
    std::mutex lock;
    std::condition_variable cv;
    std::unique_lock<std::mutex> guard(lock);
    const std::int64_t before = clock.Now();
    EXPECT_FALSE(clock.WaitUntil(guard, cv, before + 2000, [] { return false; }));
    EXPECT_GE(clock.Now(), before + 2000);
    EXPECT_TRUE(clock.WaitUntil(guard, cv, platform::Clock::kNever, [] { return true; }));
    EXPECT_EQ(clock.Milliseconds(), static_cast<DWORD>(clock.Now() / 1000));
}

TEST(Messages, QueueKeepsOrderAcrossThreadsAndNamesGetStableIds) {
    platform::MessageQueue queue;
    std::thread poster([&] {
        for (UINT i = 0; i < 100; ++i) queue.Post(WM_USER + i, i, -static_cast<LPARAM>(i));
    });
    platform::Message m;
    for (UINT i = 0; i < 100; ++i) {
        while (!queue.Take(&m)) ASSERT_TRUE(queue.Wait(5'000'000));
        EXPECT_EQ(m.message, WM_USER + i);
        EXPECT_EQ(m.lParam, -static_cast<LPARAM>(i));
    }
    poster.join();
    EXPECT_FALSE(queue.Wait(1000));  // nothing left: times out

    UINT play = platform::RegisterMessage(L"WM_IM_ONSOUNDPLAY");
    UINT label = platform::RegisterMessage(L"WM_IM_ONLABEL");
    EXPECT_GE(play, 0xC000u);
    EXPECT_NE(play, label);
    EXPECT_EQ(platform::RegisterMessage(L"WM_IM_ONSOUNDPLAY"), play);
}
