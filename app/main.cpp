// The program's entry point: the full-screen window, the screen, the main loop.
#include <exception>
#include <string>

#include "app/demo_screen.h"
#include "gui/window.h"
#include "platform/debug.h"
#include "platform/font_face.h"

int main() {
    // Fontconfig reads its caches while SDL opens the window.
    platform::PrepareFontLookup();
    IMWindow* window = nullptr;
    try {
        window = CreateMainWindow(L"Игра «Ворлен»", RECT{0, 0, 800, 600}, false);
    } catch (const std::exception& e) {
        platform::Debug::Print(std::string("cannot start: ") + e.what());
        return 1;
    }
    if (!window) return 1;  // the reason is already on standard error

    ShowDemoScreen(window);
    RunMessageLoop(window);
    delete window;
    return 0;
}
