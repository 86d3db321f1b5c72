// The window on a real X display (Xvfb), driven by xdotool as a pupil's mouse and keyboard
// would: X events through SDL into the program's messages, and the loop's sleep woken by them,
// by other threads' messages and by its timers, in real time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/window.h"
#include "platform/message_queue.h"
#include "platform/window.h"

using platform::Message;
using platform::MessageQueue;
using platform::Window;
using platform::WindowMode;

namespace {

struct X11Window : ::testing::Test {
    void SetUp() override {
        auto created = Window::Create(L"x11", 800, 600, WindowMode::Windowed);
        ASSERT_TRUE(created.ok()) << created.why();
        window = std::move(created).value();
        // Let the server map the window, then park the pointer at a known place.
        Collect(std::chrono::milliseconds(300));
        ASSERT_EQ(std::system("xdotool search --name '^x11$' windowfocus mousemove --window %1 10 10"), 0);
        Collect(std::chrono::milliseconds(200));
    }
    // Messages that arrive within `span`, pumping as the main loop does.
    std::vector<Message> Collect(std::chrono::milliseconds span) {
        std::vector<Message> out;
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            window->WaitForEvents(queue, 20'000);
            window->PumpEvents(queue);
            Message m;
            while (queue.Take(&m)) out.push_back(m);
        }
        return out;
    }
    static std::vector<Message> Only(const std::vector<Message>& all, std::initializer_list<UINT> kinds) {
        std::vector<Message> out;
        for (const auto& m : all)
            for (UINT k : kinds)
                if (m.message == k) out.push_back(m);
        return out;
    }
    std::unique_ptr<Window> window;
    MessageQueue queue;
};

}  // namespace

TEST_F(X11Window, ARealClickAndDoubleClickArriveWithTheirPositionAndButtonState) {
    ASSERT_EQ(std::system("xdotool search --name '^x11$' mousemove --window %1 150 120 click 1"), 0);
    auto m = Only(Collect(std::chrono::milliseconds(300)), {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(m[0].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(m[0].lParam, MAKELPARAM(150, 120));
    EXPECT_EQ(m[1].message, WM_LBUTTONUP);

    // A double click well after the single one (which would otherwise count as its first half).
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_EQ(std::system("xdotool click --repeat 2 --delay 50 1"), 0);
    m = Only(Collect(std::chrono::milliseconds(300)), {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK});
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].message, WM_LBUTTONDBLCLK);
}

TEST_F(X11Window, TypedKeysArriveAsKeysAndCharacters) {
    ASSERT_EQ(std::system("xdotool key --delay 20 a KP_5 comma Return"), 0);
    auto all = Collect(std::chrono::milliseconds(400));
    std::vector<WPARAM> keys, chars;
    for (const auto& m : all) {
        // xdotool reaches the keypad digit by switching Num Lock on first.
        if (m.message == WM_KEYDOWN && m.wParam != VK_NUMLOCK) keys.push_back(m.wParam);
        if (m.message == WM_CHAR) chars.push_back(m.wParam);
    }
    EXPECT_EQ(keys, (std::vector<WPARAM>{'A', VK_NUMPAD0 + 5, VK_OEM_COMMA, VK_RETURN}));
    EXPECT_EQ(chars, (std::vector<WPARAM>{'a', '5', ',', 13}));
}

TEST_F(X11Window, TheLoopsSleepEndsWhenThePupilMovesTheMouse) {
    std::thread pupil([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        [[maybe_unused]] int rc = std::system("xdotool search --name '^x11$' mousemove --window %1 300 300");
    });
    const auto start = std::chrono::steady_clock::now();
    window->WaitForEvents(queue, -1);  // no timer: only input can end it
    pupil.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    window->PumpEvents(queue);
    auto moves = Only(Collect(std::chrono::milliseconds(100)), {WM_MOUSEMOVE});
    Message m;
    bool moved = !moves.empty();
    while (queue.Take(&m)) moved |= m.message == WM_MOUSEMOVE;
    EXPECT_TRUE(moved);
}

// The program's own loop on the real display: asleep with nothing to do, it wakes for a message
// another thread posts (a sound's end, say) and for its timer, whose firing here closes the
// window. Should the wait miss the timer, the watchdog ends the loop instead and the test fails.
TEST(X11Loop, TheSleepingLoopWakesForAPostedMessageAndForItsTimers) {
    std::unique_ptr<IMWindow> owner = CreateMainWindow(L"x11 loop", RECT{0, 0, 800, 600}, true, false);
    ASSERT_NE(owner, nullptr);
    IMWindow* window = owner.get();
    window->PumpOnce();
    ASSERT_EQ(window->IdleWaitMicroseconds(), -1);
    std::thread poster([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        platform::MainQueue().Post(WM_NULL, 0, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    window->NativeWindow()->WaitForEvents(platform::MainQueue(), 10'000'000);
    poster.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the post did not wake the loop";
    EXPECT_FALSE(platform::MainQueue().Empty());

    const unsigned id = window->AddTimer(40);
    window->ConnectTimer(id, [](const IMEvent&) {
        platform::MainQueue().PostLocal(WM_CLOSE, 0, 0);
        return 0L;
    });
    std::atomic<bool> done{false}, watchdogFired{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done) {
            watchdogFired = true;
            platform::MainQueue().Post(WM_QUIT, 0, 0);
        }
    });
    EXPECT_EQ(RunMessageLoop(window), 0);
    done = true;
    watchdog.join();
    EXPECT_FALSE(watchdogFired) << "the loop slept through its timer";
}
