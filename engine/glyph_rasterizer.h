// Rasterising a glyph path into 32-bit pixels (bytes blue, green, red, alpha; straight alpha).
#pragma once

#include "engine/glyph_outline.h"
#include "platform/win_types.h"

// Fills the width x height image at `bits` (rows `pitch` bytes apart, row 0 at the top) with
// the background `bg`, then paints the path over it in `fg` with anti-aliasing (non-zero
// winding, curves flattened at pixel scale, no gamma). The path's y grows upward from the
// image's bottom row; x = 0 is the image's left column, so ink left of the pen is cut off.
// Both colours are ARGB. Blending keeps straight alpha: over a transparent background an edge
// pixel gets fg's colour with partial alpha.
void RasterizeGlyph(GlyphOutline& path, BYTE* bits, int pitch, int width, int height, DWORD fg, DWORD bg);
