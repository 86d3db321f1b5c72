// Fonts: one face of one family at one cell height, weight and slant, with the numbers the
// program's text layout needs (the Windows text-metric meanings) and the glyph outlines that
// the engine rasterises itself.
//
// A family is looked up through fontconfig, so a name the system lacks resolves to its
// metric-compatible stand-in: "Arial" becomes Liberation Sans (fonts-liberation2), which has
// Arial's advance widths and vertical metrics. A weight or slant the family lacks is made from
// the regular face (outline emboldened or slanted), as Windows does.
//
// Sizes work as a positive height does for a Windows font: the height is the whole character
// cell (ascent + descent), not the em size. Advance widths are the face's own advances scaled
// linearly and rounded, so they equal what a metric-compatible face gives at that size.
//
// Outlines are in pixels with y growing upward, x = 0 at the pen position and y = 0 at the
// bottom of the character cell (the baseline lies Metrics().tmDescent above it). Every contour
// is closed: it starts at `start` and its last segment ends there again.
//
// GUI thread only (FreeType libraries are not shared between threads).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace platform {

enum class FontWeight { Regular = 400, Bold = 700 };
enum class FontSlant { Upright, Italic };

// The Windows TEXTMETRIC meanings, in pixels.
struct TextMetrics {
    int tmHeight = 0;           // tmAscent + tmDescent: the character cell
    int tmAscent = 0;           // cell top to baseline
    int tmDescent = 0;          // baseline to cell bottom
    int tmInternalLeading = 0;  // part of the cell above the em square
    int tmExternalLeading = 0;  // extra space the face asks for between lines
    int tmAveCharWidth = 0;
    int tmMaxCharWidth = 0;
    int tmWeight = 400;
    bool tmItalic = false;
};

// The Windows ABC meanings: A is the space before the ink, B the ink's width, C the space
// after it; A + B + C is the advance.
struct CharWidths {
    int abcA = 0;
    unsigned abcB = 0;
    int abcC = 0;
    int Advance() const { return abcA + static_cast<int>(abcB) + abcC; }
};

struct OutlinePoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const OutlinePoint&, const OutlinePoint&) = default;
};

enum class SegmentKind { Line, Quadratic };

struct OutlineSegment {
    SegmentKind kind = SegmentKind::Line;
    OutlinePoint control;  // quadratic segments only
    OutlinePoint end;
};

struct OutlineContour {
    OutlinePoint start;
    std::vector<OutlineSegment> segments;
};

struct GlyphShape {
    std::vector<OutlineContour> contours;  // empty for a character without ink (a space)
};

// A coverage map: rows top-down, one byte (0..255) per pixel.
struct CoverageMap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage;
    int At(int x, int y) const { return coverage[static_cast<std::size_t>(y) * width + x]; }
};

class FontFace {
   public:
    // The best face fontconfig finds for the family. Fails when the system has no usable font at
    // all or the height is not positive.
    static Result<std::unique_ptr<FontFace>> Find(std::wstring_view family, int cellHeight, FontWeight weight,
                                                  FontSlant slant);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    const TextMetrics& Metrics() const { return metrics_; }
    // The family and file actually used ("Liberation Sans" for "Arial").
    const std::string& FamilyName() const { return family_; }
    const std::string& FilePath() const { return file_; }

    // Widths of one UTF-16 code unit. A character the face lacks gets the widths of the face's
    // missing-glyph box, as Windows gives. Fails only when the face cannot load it at all.
    Result<CharWidths> Widths(char16_t c);
    // The outline of one code unit. Fails when the face cannot load it.
    Result<GlyphShape> Outline(char16_t c);

    // FreeType's own anti-aliased rendering of the same glyph, placed as the outline is:
    // column 0 at the pen, row 0 at the top of the cell, advance x tmHeight pixels (ink left
    // of the pen or right of the advance is cut off). A reference for checking rasterisers.
    CoverageMap ReferenceCoverage(char16_t c);

   private:
    FontFace() = default;
    bool Load(char16_t c);  // loads the glyph into the face's slot, styled

    struct Impl;
    std::unique_ptr<Impl> impl_;
    TextMetrics metrics_;
    std::string family_;
    std::string file_;
};

// Starts fontconfig on a thread of its own and looks up the screens' face once, so that its
// start (30-100 ms of reading caches) overlaps the window's. Optional: without it the first
// lookup does the same work. Call once from the GUI thread, before the first FontFace.
void PrepareFontLookup();

}  // namespace platform
