#include "engine/glyph_rasterizer.h"

#include <agg_conv_curve.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>

namespace {
agg::rgba8 ToAgg(DWORD argb) {
    return agg::rgba8((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}
}  // namespace

void RasterizeGlyph(GlyphOutline& path, BYTE* bits, int pitch, int width, int height, DWORD fg, DWORD bg) {
    if (!bits || width <= 0 || height <= 0) return;
    // A negative stride makes buffer row 0 the bottom image row, so y grows upward as in the
    // outline.
    agg::rendering_buffer buffer(bits, static_cast<unsigned>(width), static_cast<unsigned>(height), -pitch);
    agg::pixfmt_bgra32_plain pixels(buffer);
    agg::renderer_base<agg::pixfmt_bgra32_plain> base(pixels);
    base.clear(ToAgg(bg));

    agg::rasterizer_scanline_aa<> rasterizer;
    rasterizer.filling_rule(agg::fill_non_zero);
    rasterizer.auto_close(true);
    rasterizer.gamma(agg::gamma_none());
    agg::conv_curve<GlyphOutline> curves(path);
    curves.approximation_scale(1.0);
    rasterizer.add_path(curves);

    agg::scanline_u8 scanline;
    agg::renderer_scanline_aa_solid<agg::renderer_base<agg::pixfmt_bgra32_plain>> painter(base);
    painter.color(ToAgg(fg));
    agg::render_scanlines(rasterizer, scanline, painter);
}
