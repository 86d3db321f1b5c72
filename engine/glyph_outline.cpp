#include "engine/glyph_outline.h"

#include "engine/font_table.h"

bool DecomposeGlyph(IMFontTable& fonts, GlyphOutline* out, char16_t c) {
    out->Reset();
    out->fontIndex = fonts.FindOrCreateFont(out->face, out->height, out->bold, out->italic, out->underline);
    out->metrics = fonts.Font(out->fontIndex).metrics;
    out->cellHeight = out->metrics.tmHeight;
    const int advance = fonts.Widths(out->fontIndex, c).Advance();
    out->advance = advance > 0 ? static_cast<unsigned>(advance) : 0u;

    const platform::GlyphShape* shape = fonts.Outline(out->fontIndex, c);
    if (!shape) {
        out->Add(GlyphOutline::kStop);
        return false;
    }
    for (const platform::OutlineContour& contour : shape->contours) {
        out->Add(GlyphOutline::kMoveTo, contour.start.x, contour.start.y);
        for (const platform::OutlineSegment& segment : contour.segments) {
            if (segment.kind == platform::SegmentKind::Line) {
                out->Add(GlyphOutline::kLineTo, segment.end.x, segment.end.y);
            } else {
                out->Add(GlyphOutline::kCurve3, segment.control.x, segment.control.y);
                out->Add(GlyphOutline::kCurve3, segment.end.x, segment.end.y);
            }
        }
        out->Add(GlyphOutline::kEndPolygon);
    }
    if (out->underline) {
        // The bar lies below the baseline, from half the descent down to a fifteenth of it
        // above the cell bottom, across the whole advance. It winds like the outer contours,
        // so where it crosses a descender the two add up instead of cancelling.
        const double top = out->metrics.tmDescent * 0.5;
        const double bottom = out->metrics.tmDescent / 15.0;
        const double right = out->advance;
        out->Add(GlyphOutline::kMoveTo, 0, top);
        out->Add(GlyphOutline::kLineTo, right, top);
        out->Add(GlyphOutline::kLineTo, right, bottom);
        out->Add(GlyphOutline::kLineTo, 0, bottom);
        out->Add(GlyphOutline::kEndPolygon);
    }
    out->Add(GlyphOutline::kStop);
    return true;
}
