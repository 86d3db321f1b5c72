// The picture an X server shows, read from its root window (tests on Xvfb). Kept apart from
// the program's headers: Xlib's macros clash with their names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xscreen {

// The top-left `width` x `height` pixels as 0xFFRRGGBB, row by row; empty when the display in
// DISPLAY cannot be opened or read.
std::vector<std::uint32_t> Grab(int width, int height);

// A top-level window as the X server has it now: where it is, its size, and whether its size
// hints let a window manager resize it (SDL fixes the minimum and maximum of a window that must
// keep its size).
struct WindowState {
    bool found = false;
    int x = 0, y = 0, width = 0, height = 0;
    bool resizable = false;
};
// The first top-level window whose name begins with `namePrefix`.
WindowState FindWindow(const std::string& namePrefix);

}  // namespace xscreen
