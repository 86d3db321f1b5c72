// The program's entry point: the application object with its full-screen window, the start
// screen, the main loop, and at the end the pupil's results written and the window closed.
#include <exception>
#include <string>

#include "app/app.h"
#include "gui/window.h"
#include "platform/debug.h"
#include "platform/font_face.h"

int main() {
    // Fontconfig reads its caches while SDL opens the window.
    platform::PrepareFontLookup();
    App* app = nullptr;
    try {
        app = App::Instance(kAppTitle, false);
    } catch (const std::exception& e) {
        platform::Debug::Print(std::string("cannot start: ") + e.what());
        return 1;
    }
    if (!app->Window()) {  // the reason is already on standard error
        IMAppBase::Shutdown();
        return 1;
    }
    app->ShowStartScreen();
    RunMessageLoop(app->Window());
    IMAppBase::Shutdown();
    return 0;
}
