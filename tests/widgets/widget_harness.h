// A hidden main window with a full-screen dialog to put widgets on, and input sent the way the
// window procedure receives it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "engine/resource_manager.h"
#include "gui/creation.h"
#include "gui/window.h"
#include "platform/message_queue.h"
#include "tests/support/driven_loop.h"

namespace widgettest {

struct WidgetTest : ::testing::Test {
    void SetUp() override {
        platform::Message m;
        while (platform::MainQueue().Take(&m)) {
        }
        windowOwner = CreateMainWindow(L"widgets", RECT{0, 0, 800, 600}, true, true, clock);
        window = windowOwner.get();
        ASSERT_NE(window, nullptr);
        screen = CreateDialog(window, 0, 0, 800, 600, 0);
    }
    void TearDown() override { windowOwner.reset(); }

    // Children join their containers at the next update; two passes settle nested ones.
    void Settle() {
        window->PumpOnce();
        window->PumpOnce();
    }
    void Char(wchar_t c) { window->WindowProc(WM_CHAR, static_cast<WPARAM>(c), 1); }
    void Type(const std::wstring& text) {
        for (wchar_t c : text) Char(c);
    }
    void KeyDown(WPARAM vk) { window->WindowProc(WM_KEYDOWN, vk, 1); }
    void Move(int x, int y, WPARAM keys = 0) { window->WindowProc(WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); }
    void Press(int x, int y) {
        Move(x, y, MK_LBUTTON);
        window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    }
    void Release(int x, int y) { window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    // Runs the main loop for `ms` of clock time; `watch` after every pass.
    void RunFor(
        DWORD ms, const std::function<void()>& watch = [] {}) {
        drivenloop::RunUntil(
            *window, clock, [&] { return watch(), false; }, ms);
    }

    DWORD PixelAt(int x, int y) {
        auto pixels = GetResourceManager()->Device()->ReadBackBuffer();
        return pixels[static_cast<std::size_t>(y) * 800 + x];
    }
    void SaveScreenshot(const std::string& name) {
        std::filesystem::create_directories("screenshots");  // the tests run inside build/
        GetResourceManager()->Device()->WritePng("screenshots/" + name,
                                                 GetResourceManager()->Device()->ReadBackBuffer(), 800, 600);
    }

    DrivenClock clock;  // first: the window runs on it to the end
    std::unique_ptr<IMWindow> windowOwner;
    IMWindow* window = nullptr;
    IMDialog* screen = nullptr;
};

}  // namespace widgettest
