#include "tests/support/x_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace xscreen {

std::vector<std::uint32_t> Grab(int width, int height) {
    Display* x = XOpenDisplay(nullptr);
    if (!x) return {};
    std::vector<std::uint32_t> pixels;
    if (XImage* image = XGetImage(x, DefaultRootWindow(x), 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap)) {
        pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int px = 0; px < width; ++px)
                pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(XGetPixel(image, px, y) & 0xFFFFFFu));
        XDestroyImage(image);
    }
    XCloseDisplay(x);
    return pixels;
}

WindowState FindWindow(const std::string& namePrefix) {
    WindowState state;
    Display* x = XOpenDisplay(nullptr);
    if (!x) return state;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !state.found; ++i) {
            char* name = nullptr;
            if (!XFetchName(x, children[i], &name) || !name) continue;
            const bool match = std::string(name).rfind(namePrefix, 0) == 0;
            XFree(name);
            XWindowAttributes attributes{};
            if (!match || !XGetWindowAttributes(x, children[i], &attributes)) continue;
            state = {true, attributes.x, attributes.y, attributes.width, attributes.height, true};
            XSizeHints hints{};
            long supplied = 0;
            if (XGetWMNormalHints(x, children[i], &hints, &supplied) && (hints.flags & PMinSize) &&
                (hints.flags & PMaxSize))
                state.resizable = hints.min_width != hints.max_width || hints.min_height != hints.max_height;
        }
        if (children) XFree(children);
    }
    XCloseDisplay(x);
    return state;
}

}  // namespace xscreen
