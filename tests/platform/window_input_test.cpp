// The window's translation of real SDL events into Windows-numbered messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/message_queue.h"
#include "platform/window.h"
#include "tests/support/sdl_input.h"

using platform::Message;
using platform::MessageQueue;
using platform::Window;
using platform::WindowMode;

namespace {

struct WindowInput : ::testing::Test {
    void SetUp() override {
        auto created = Window::Create(L"input", 800, 600, WindowMode::Hidden);
        ASSERT_TRUE(created.ok()) << created.why();
        window = std::move(created).value();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // Everything SDL has queued, as one pump of the main loop sees it.
    std::vector<Message> Pump() {
        window->PumpEvents(queue);
        std::vector<Message> out;
        Message m;
        while (queue.Take(&m)) out.push_back(m);
        return out;
    }
    std::unique_ptr<Window> window;
    MessageQueue queue;
};

}  // namespace

TEST_F(WindowInput, APressAndItsReleaseInOnePumpKeepTheirButtonStates) {
    sdlinput::Motion(150, 150);
    sdlinput::Button(true, 150, 150);
    sdlinput::Button(false, 150, 150);
    sdlinput::Button(true, 150, 150, SDL_BUTTON_LEFT, 2);  // the second press of a run
    sdlinput::Button(false, 150, 150);
    auto m = Pump();
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(m[1].message, WM_LBUTTONDOWN);
    EXPECT_EQ(m[1].wParam & MK_LBUTTON, MK_LBUTTON);  // the press says the button is down
    EXPECT_EQ(m[1].lParam, MAKELPARAM(150, 150));
    EXPECT_EQ(m[2].message, WM_LBUTTONUP);
    EXPECT_EQ(m[2].wParam & MK_LBUTTON, 0u);
    EXPECT_EQ(m[3].message, WM_LBUTTONDBLCLK);
    EXPECT_EQ(m[3].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(m[4].message, WM_LBUTTONUP);

    // Right button held while the left is pressed: both flags on the left press.
    sdlinput::Button(true, 10, 20, SDL_BUTTON_RIGHT);
    sdlinput::Button(true, 10, 20);
    m = Pump();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_RBUTTONDOWN);
    EXPECT_EQ(m[1].wParam & (MK_LBUTTON | MK_RBUTTON), MK_LBUTTON | MK_RBUTTON);
}

TEST_F(WindowInput, WheelCarriesItsOwnPositionButtonsAndModifiers) {
    sdlinput::Key(true, SDL_SCANCODE_LCTRL, KMOD_LCTRL);
    sdlinput::Button(true, 300, 200);
    sdlinput::Wheel(-2, 300, 200);
    auto m = Pump();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[2].message, WM_MOUSEWHEEL);
    EXPECT_EQ(static_cast<short>(HIWORD(m[2].wParam)), -2 * WHEEL_DELTA);
    EXPECT_EQ(LOWORD(m[2].wParam), MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(m[2].lParam, MAKELPARAM(300, 200));
}

TEST_F(WindowInput, KeysTextAndCloseRequests) {
    // Keypad digits and punctuation have codes of their own; nothing is dropped.
    const std::pair<SDL_Scancode, WPARAM> keys[] = {
        {SDL_SCANCODE_KP_0, VK_NUMPAD0},      {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7}, {SDL_SCANCODE_KP_PLUS, VK_ADD},
        {SDL_SCANCODE_COMMA, VK_OEM_COMMA},   {SDL_SCANCODE_MINUS, VK_OEM_MINUS},  {SDL_SCANCODE_SEMICOLON, VK_OEM_1},
        {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4}, {SDL_SCANCODE_F12, VK_F12},          {SDL_SCANCODE_A, 'A'},
        {SDL_SCANCODE_KP_ENTER, VK_RETURN}};
    for (const auto& [sc, vk] : keys) {
        sdlinput::Key(true, sc);
        auto m = Pump();
        ASSERT_GE(m.size(), 1u) << "scancode " << sc;
        EXPECT_EQ(m[0].message, WM_KEYDOWN);
        EXPECT_EQ(m[0].wParam, vk) << "scancode " << sc;
    }

    // Russian and Latin text arrive as WM_CHAR, one per UTF-16 unit, astral characters as pairs.
    sdlinput::Text("Жёz");
    sdlinput::Text("\xF0\x9F\x99\x82");  // U+1F642
    auto m = Pump();
    std::vector<WPARAM> chars;
    for (const auto& msg : m)
        if (msg.message == WM_CHAR) chars.push_back(msg.wParam);
    EXPECT_EQ(chars, (std::vector<WPARAM>{0x416, 0x451, 'z', 0xD83D, 0xDE42}));

    // Backspace gives its character as well as its key; Alt+F4 and the close button close.
    sdlinput::Key(true, SDL_SCANCODE_BACKSPACE);
    m = Pump();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].message, WM_CHAR);
    EXPECT_EQ(m[1].wParam, 8u);
    sdlinput::Key(true, SDL_SCANCODE_F4, KMOD_LALT);
    sdlinput::Quit();
    m = Pump();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_CLOSE);
    EXPECT_EQ(m[1].message, WM_CLOSE);
}

TEST_F(WindowInput, PointerPositionsAreMappedThroughTheLetterbox) {
    // A 1280 x 800 screen shows the 800 x 600 picture scaled by 4/3, 106 pixels in from each side.
    SDL_SetWindowSize(static_cast<SDL_Window*>(window->NativeHandle()), 1280, 800);
    int w = 0, h = 0;
    SDL_GetWindowSize(static_cast<SDL_Window*>(window->NativeHandle()), &w, &h);
    ASSERT_EQ(w, 1280);
    Pump();                      // the resize's own repaint
    sdlinput::Motion(640, 400);  // the middle
    sdlinput::Motion(107, 0);    // the picture's top-left corner
    sdlinput::Button(true, 1172, 799);
    sdlinput::Motion(100, 300);  // in the black bar left of the picture
    auto m = Pump();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].lParam, MAKELPARAM(400, 300));
    EXPECT_EQ(m[1].lParam, MAKELPARAM(0, 0));
    EXPECT_EQ(m[2].lParam, MAKELPARAM(799, 599));
    EXPECT_LT(static_cast<short>(LOWORD(m[3].lParam)), 0);
}

TEST(WindowStart, RefusesToRunInvisiblyWithoutADisplay) {
    // What a cron job or an SSH session without forwarding sees.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    std::string saved = driver ? driver : "";
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    auto window = Window::Create(L"nowhere", 800, 600, WindowMode::FullScreen);
    EXPECT_FALSE(window.ok());
    EXPECT_EQ(window.why().rfind("no display: ", 0), 0u) << window.why();
    if (!saved.empty()) setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
}
