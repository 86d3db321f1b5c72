#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "platform/win_types.h"

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

TEST(Clock, ScaleSpeedsTimeUpWithoutJumps) {
    using platform::Clock;
    DWORD before = Clock::Milliseconds();
    Clock::SetScale(50.0);
    DWORD atChange = Clock::Milliseconds();
    EXPECT_LT(atChange - before, 1000u);  // no jump when the scale changes

    Clock::Sleep(1000);  // one clock second is 20 real milliseconds at this scale
    DWORD after = Clock::Milliseconds();
    Clock::SetScale(1.0);
    EXPECT_GE(after - atChange, 1000u);
    EXPECT_LT(after - atChange, 5000u);

    Clock::SetScale(0.0);  // nonsense is ignored
    EXPECT_EQ(Clock::Scale(), 1.0);
    EXPECT_GT(Clock::Frequency(), 0);
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
