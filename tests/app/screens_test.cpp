// Screens built on a hidden window with the program's own pictures, drawn and read back.
// Screenshots go to build/screenshots/ for people to look at.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/demo_screen.h"
#include "app/exercise_rules.h"
#include "engine/resource_manager.h"
#include "gui/window.h"
#include "platform/clock.h"

namespace {

std::vector<DWORD> Frame() { return GetResourceManager()->Device()->ReadBackBuffer(); }

void Screenshot(const std::string& name) {
    std::filesystem::create_directories("screenshots");
    GetResourceManager()->Device()->WritePng("screenshots/" + name + ".png", Frame(), 800, 600);
}

}  // namespace

TEST(Screens, DemoScreenShowsTheBoardCardsAndWorkingButtons) {
    IMWindow* window = CreateMainWindow(L"demo", RECT{0, 0, 800, 600}, true, true);
    ASSERT_NE(window, nullptr);
    const std::size_t skinAndNothingElse = GetResourceManager()->TextureCount();
    IMDialog* screen = ShowDemoScreen(window);
    window->PumpOnce();
    window->PumpOnce();
    Screenshot("demo_screen");

    // The first card lies exactly in slot 1: its top-left pixel is the card's, not the board's.
    auto frame = Frame();
    auto at = [&](POINT p) { return frame[p.y * 800 + p.x]; };
    const POINT slot1 = exercise::SlotPositions[0];
    EXPECT_NE(at(slot1), 0xFF000000u);
    EXPECT_NE(at({slot1.x + 78, slot1.y + 90}), at({slot1.x - 10, slot1.y + 90}));

    // The bell answers the pointer with its hover picture, and the frame changes with it.
    const POINT bell{exercise::BellPosition.x + 48, exercise::BellPosition.y + 48};
    const DWORD before = at(bell);
    window->WindowProc(WM_MOUSEMOVE, 0, MAKELPARAM(bell.x, bell.y));
    window->PumpOnce();
    EXPECT_NE(Frame()[bell.y * 800 + bell.x], before);
    Screenshot("demo_screen_bell_hover");

    // Ringing the bell plays the praise word; the bell rests until the word has been said.
    IMControl* bellButton = window->HoverChild() == screen ? screen->HoverChild() : nullptr;
    ASSERT_NE(bellButton, nullptr);
    window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bell.x, bell.y));
    window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(bell.x, bell.y));
    EXPECT_FALSE(bellButton->IsEnabled());
    platform::Clock::SetScale(10.0);
    const DWORD start = platform::Clock::Milliseconds();
    while (!bellButton->IsEnabled() && platform::Clock::Milliseconds() - start < 10'000) {
        window->PumpOnce();
        window->NativeWindow()->WaitForEvents(platform::MainQueue(), 2000);
    }
    platform::Clock::SetScale(1.0);
    EXPECT_TRUE(bellButton->IsEnabled());

    // The exit button ends the program: the loop stops at the quit message.
    window->WindowProc(WM_MOUSEMOVE, 0, MAKELPARAM(770, 20));
    window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(770, 20));
    window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(770, 20));
    EXPECT_TRUE(screen->IsDisposed());
    EXPECT_FALSE(window->PumpOnce());

    // Deleting the window releases every picture the screen held.
    window->Update(IMEvent(window, EV_UPDATE));
    EXPECT_EQ(GetResourceManager()->TextureCount(), skinAndNothingElse);
    delete window;
    EXPECT_EQ(GetResourceManager(), nullptr);
}
