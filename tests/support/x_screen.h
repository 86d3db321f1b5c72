// The picture an X server shows, read from its root window (tests on Xvfb). Kept apart from
// the program's headers: Xlib's macros clash with their names.
#pragma once

#include <cstdint>
#include <vector>

namespace xscreen {

// The top-left `width` x `height` pixels as 0xFFRRGGBB, row by row; empty when the display in
// DISPLAY cannot be opened or read.
std::vector<std::uint32_t> Grab(int width, int height);

}  // namespace xscreen
