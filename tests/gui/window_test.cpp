#include "gui/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/control_ref.h"
#include "platform/message_queue.h"
#include "tests/support/sdl_input.h"

namespace {

class Box : public IMViewControl<IMEmptyView> {
   public:
    Box(IMParent parent, RECT r, std::string name, std::vector<std::string>* log)
        : IMViewControl<IMEmptyView>(parent, 0), name(std::move(name)), log(log) {
        SetRect(r);
    }
    int MouseLeave(const IMMouseEvent& e) override {
        log->push_back("leave " + name);
        return IMViewControl::MouseLeave(e);
    }
    int DrawSelf() override {
        log->push_back("draw " + name);
        return IMViewControl::DrawSelf();
    }
    std::string name;
    std::vector<std::string>* log;
};

void Post(UINT m, WPARAM w = 0, LPARAM l = 0) { platform::MainQueue().Post(m, w, l); }

struct WindowTest : ::testing::Test {
    void SetUp() override {
        platform::Message m;
        while (platform::MainQueue().Take(&m)) {
        }
        windowOwner = CreateMainWindow(L"test", RECT{0, 0, 800, 600}, true, true);
        window = windowOwner.get();
        ASSERT_NE(window, nullptr);
        window->NativeWindow()->SimulatePointer(false);
    }
    void TearDown() override { windowOwner.reset(); }
    std::unique_ptr<IMWindow> windowOwner;
    IMWindow* window = nullptr;
    std::vector<std::string> log;
};

}  // namespace

TEST_F(WindowTest, MessagesReachTheTreeAndCloseEndsTheLoop) {
    auto* screen = &window->Add<IMDialog>(nullptr, 0);
    auto* button = &screen->Add<Box>(RECT{100, 100, 200, 200}, "button", &log);
    int clicks = 0, keys = 0, closes = 0;
    button->OnClick.connect([&](const IMMouseEvent& e) {
        EXPECT_EQ(e.x, 150);
        ++clicks;
        return 0L;
    });
    window->OnKeyDown.connect([&](const IMKeyboardEvent& e) {
        keys += e.wParam == VK_F1;
        return 0L;
    });
    screen->OnClose.connect([&](const IMEvent&) {
        ++closes;
        return 0L;
    });
    ASSERT_TRUE(window->PumpOnce());
    ASSERT_TRUE(window->PumpOnce());  // the screen's own children join at its first update

    Post(WM_MOUSEMOVE, 0, MAKELPARAM(150, 150));
    Post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 150));
    Post(WM_LBUTTONUP, 0, MAKELPARAM(150, 150));
    Post(WM_KEYDOWN, VK_F1, 0);
    EXPECT_TRUE(window->PumpOnce());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(keys, 1);

    // Alt+F4 arrives as a close request: every screen closes and the loop ends.
    Post(WM_CLOSE);
    Post(WM_KEYDOWN, VK_F1, 0);  // nothing after the quit message is handled
    EXPECT_FALSE(window->PumpOnce());
    EXPECT_EQ(closes, 0);  // closing the tree disposes the screens without their close handlers
    EXPECT_TRUE(screen->IsDisposed());
    EXPECT_TRUE(button->IsDisposed());
}

TEST_F(WindowTest, TheWindowWearsTheProgramsIcon) { EXPECT_EQ(window->NativeWindow()->IconWidth(), 64); }

TEST_F(WindowTest, MinimisedWindowsUpdateAndRunTimersButDoNotDraw) {
    window->Add<Box>(RECT{0, 0, 10, 10}, "box", &log);
    int fired = 0, updates = 0;
    unsigned id = window->AddTimer(0);
    window->ConnectTimer(id, [&](const IMEvent& e) {
        EXPECT_EQ(e.sender, window);
        ++fired;
        return 0L;
    });
    window->OnUpdate.connect([&](const IMEvent&) {
        ++updates;
        return 0L;
    });
    window->PumpOnce();
    EXPECT_EQ(log, (std::vector<std::string>{"draw box"}));

    Post(WM_SIZE, SIZE_MINIMIZED);
    window->PumpOnce();
    Post(WM_PAINT);  // marks everything dirty, but nothing is drawn while minimised
    window->PumpOnce();
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(updates, 3);

    Post(WM_SIZE, SIZE_RESTORED);
    window->PumpOnce();
    EXPECT_EQ(log.size(), 2u);  // drawing resumes at the next pass
    window->PumpOnce();
    EXPECT_EQ(log.size(), 2u);  // and only when something is dirty
}

TEST_F(WindowTest, LeavingTheWindowReachesEveryHoveredControlInOnePass) {
    auto* screen = &window->Add<IMDialog>(nullptr, 0);
    auto* panel = &screen->Add<IMDialog>(nullptr, 0);
    panel->Add<Box>(RECT{0, 0, 100, 100}, "leaf", &log);
    for (int i = 0; i < 3; ++i) window->PumpOnce();

    window->NativeWindow()->SimulatePointer(true, {50, 50});
    Post(WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
    window->PumpOnce();
    EXPECT_TRUE(window->IsMouseOver());
    EXPECT_EQ(panel->HoverChild() != nullptr, true);

    window->NativeWindow()->SimulatePointer(false);
    window->PumpOnce();
    EXPECT_FALSE(window->IsMouseOver());
    EXPECT_FALSE(screen->IsMouseOver());
    EXPECT_FALSE(panel->IsMouseOver());
    EXPECT_EQ(log, (std::vector<std::string>{"draw leaf", "leave leaf"}));
}

TEST_F(WindowTest, TheLoopSleepsUntilInputOrTheNextTimer) {
    window->PumpOnce();
    EXPECT_EQ(window->IdleWaitMicroseconds(), -1);  // nothing to do: wait for input
    unsigned id = window->AddTimer(500);
    EXPECT_GT(window->IdleWaitMicroseconds(), 400'000);
    EXPECT_LE(window->IdleWaitMicroseconds(), 500'000);
    window->RequestEveryPass(true);  // a playing film
    EXPECT_EQ(window->IdleWaitMicroseconds(), 1000);
    window->RequestEveryPass(false);
    Post(WM_NULL);
    EXPECT_EQ(window->IdleWaitMicroseconds(), 0);
    window->RemoveTimer(id);
}

TEST_F(WindowTest, AQuickTapThroughSdlClicksOnceAndADoubleClickArrives) {
    auto* screen = &window->Add<IMDialog>(nullptr, 0);
    auto* button = &screen->Add<Box>(RECT{100, 100, 200, 200}, "button", &log);
    int clicks = 0, doubles = 0;
    button->OnClick.connect([&](const IMMouseEvent&) { return long(++clicks); });
    button->OnDoubleClick.connect([&](const IMMouseEvent&) { return long(++doubles); });
    window->PumpOnce();
    window->PumpOnce();

    // A touchpad tap: the press and its release reach SDL before the loop looks.
    sdlinput::Motion(150, 150);
    sdlinput::Button(true, 150, 150);
    sdlinput::Button(false, 150, 150);
    window->PumpOnce();
    EXPECT_EQ(clicks, 1);

    sdlinput::Button(true, 150, 150, SDL_BUTTON_LEFT, 2);
    sdlinput::Button(false, 150, 150, SDL_BUTTON_LEFT, 2);
    window->PumpOnce();
    EXPECT_EQ(doubles, 1);

    // Alt+F4 ends the loop.
    sdlinput::Key(true, SDL_SCANCODE_F4, KMOD_LALT);
    EXPECT_FALSE(window->PumpOnce());
}

// A hand resting on the screen while a panel appears under it: the panel's button takes the
// hover at once and the very next press and release, through SDL, with no move in between.
TEST_F(WindowTest, APressWithoutAMoveReachesAButtonShownUnderThePointer) {
    auto* screen = &window->Add<IMDialog>(nullptr, 0);
    const RECT panelRect{100, 100, 300, 300};
    auto* panel = &screen->Add<IMDialog>(&panelRect, 0);
    auto* button = &panel->Add<Box>(RECT{20, 20, 80, 80}, "button", &log);
    panel->Hide();
    int clicks = 0;
    button->OnClick.connect([&](const IMMouseEvent&) { return long(++clicks); });
    sdlinput::Motion(150, 150);
    for (int i = 0; i < 3; ++i) window->PumpOnce();

    panel->Show();
    window->PumpOnce();
    EXPECT_TRUE(button->IsMouseOver());
    sdlinput::Button(true, 150, 150);
    sdlinput::Button(false, 150, 150);
    window->PumpOnce();
    EXPECT_EQ(clicks, 1);
}

// The window is the root: whoever made it owns it, and dropping it releases the whole tree at
// once, closed or not, joined or not.
TEST_F(WindowTest, DroppingTheWindowReleasesEveryControlAndEmptiesTheirHandles) {
    IMDialog& screen = window->Add<IMDialog>(nullptr, 0);
    window->PumpOnce();
    const ControlRef<Box> joined = &screen.Add<Box>(RECT{0, 0, 10, 10}, "joined", &log);
    window->PumpOnce();
    const ControlRef<Box> joining = &screen.Add<Box>(RECT{0, 0, 10, 10}, "joining", &log);
    const ControlRef<IMWindow> root = window;
    windowOwner.reset();
    EXPECT_FALSE(joined || joining || root);
}
