#include "engine/glyph_rasterizer.h"

#include <agg_conv_curve.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>

namespace {

// Straight-alpha "over" with exact rounding: over a transparent pixel the result is the ink's
// own colour at the covered alpha, over an opaque one the two colours mix by coverage. (The
// library's own non-premultiplied blender goes through premultiplied values and loses the
// colour of faint edge pixels.)
struct BlenderBgraStraight : agg::conv_rgba_plain<agg::rgba8, agg::order_bgra> {
    using color_type = agg::rgba8;
    using order_type = agg::order_bgra;
    using value_type = agg::int8u;

    static void blend_pix(value_type* p, unsigned cr, unsigned cg, unsigned cb, unsigned alpha, agg::cover_type cover) {
        blend_pix(p, cr, cg, cb, (alpha * cover + 127) / 255);
    }
    static void blend_pix(value_type* p, unsigned cr, unsigned cg, unsigned cb, unsigned alpha) {
        if (alpha == 0) return;
        const unsigned da = p[order_type::A];
        const unsigned src = alpha * 255;         // source weight, scaled by 255
        const unsigned dst = da * (255 - alpha);  // destination weight, scaled by 255
        const unsigned total = src + dst;
        auto mix = [&](unsigned s, unsigned d) {
            return static_cast<value_type>((s * src + d * dst + total / 2) / total);
        };
        p[order_type::R] = mix(cr, p[order_type::R]);
        p[order_type::G] = mix(cg, p[order_type::G]);
        p[order_type::B] = mix(cb, p[order_type::B]);
        p[order_type::A] = static_cast<value_type>((total + 127) / 255);
    }
};
using PixelFormat = agg::pixfmt_alpha_blend_rgba<BlenderBgraStraight, agg::rendering_buffer>;

agg::rgba8 ToAgg(DWORD argb) {
    return agg::rgba8((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}
}  // namespace

void RasterizeGlyph(GlyphOutline& path, BYTE* bits, int pitch, int width, int height, DWORD fg, DWORD bg) {
    if (!bits || width <= 0 || height <= 0) return;
    // A negative stride makes buffer row 0 the bottom image row, so y grows upward as in the
    // outline.
    agg::rendering_buffer buffer(bits, static_cast<unsigned>(width), static_cast<unsigned>(height), -pitch);
    PixelFormat pixels(buffer);
    agg::renderer_base<PixelFormat> base(pixels);
    base.clear(ToAgg(bg));

    agg::rasterizer_scanline_aa<> rasterizer;
    rasterizer.filling_rule(agg::fill_non_zero);
    rasterizer.auto_close(true);
    rasterizer.gamma(agg::gamma_none());
    agg::conv_curve<GlyphOutline> curves(path);
    curves.approximation_scale(1.0);
    rasterizer.add_path(curves);

    agg::scanline_u8 scanline;
    agg::renderer_scanline_aa_solid<agg::renderer_base<PixelFormat>> painter(base);
    painter.color(ToAgg(fg));
    agg::render_scanlines(rasterizer, scanline, painter);
}
