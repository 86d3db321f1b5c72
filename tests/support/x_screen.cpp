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

}  // namespace xscreen
