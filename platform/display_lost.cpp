// When the X server goes away (the desktop session closed, or the machine shuts down with the
// program still open), Xlib calls its I/O error handler and then ends the process: no quit
// event, no return to the main loop. The handler installed here first runs what the program
// asked to keep, then hands over to the handler that was there before, which ends the process
// as it always did. Kept apart from window.cpp because Xlib's macros clash with its names.
#include <X11/Xlib.h>

#include <cerrno>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/debug.h"
#include "platform/window.h"

namespace platform {
namespace {

std::mutex g_lock;
std::function<void()> g_keep;
XIOErrorHandler g_previous = nullptr;

int DisplayLost(Display* display) {
    static bool running = false;  // what it keeps must not run twice, even if it fails
    if (!running) {
        running = true;
        std::function<void()> keep;
        {
            std::lock_guard<std::mutex> guard(g_lock);
            keep = g_keep;
        }
        if (keep) {
            const int error = errno;  // the handler after this one words its message by it
            Debug::Print("the display went away; keeping what must not be lost before the program ends");
            keep();
            errno = error;
        }
    }
    return g_previous ? g_previous(display) : 0;
}

}  // namespace

void Window::OnDisplayLost(std::function<void()> keep) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_keep = std::move(keep);
}

void InstallDisplayLostHandler() {
    static std::once_flag once;
    std::call_once(once, [] { g_previous = XSetIOErrorHandler(DisplayLost); });
}

}  // namespace platform
