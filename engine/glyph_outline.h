// One character's outline as a path the rasteriser reads: the working buffer of one glyph
// rasterisation, and DecomposeGlyph, which fills it from the font table's cached outline.
//
// The path uses Anti-Grain Geometry's command codes and is itself a vertex source (rewind /
// vertex), so it can go straight into agg::conv_curve. Coordinates are pixels with y upward,
// x = 0 at the pen and y = 0 at the bottom of the character cell (the baseline lies tmDescent
// above it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/font_face.h"

class IMFontTable;

struct GlyphOutline {
    // Command codes (the values Anti-Grain Geometry uses).
    static constexpr std::uint8_t kStop = 0;
    static constexpr std::uint8_t kMoveTo = 1;
    static constexpr std::uint8_t kLineTo = 2;
    static constexpr std::uint8_t kCurve3 = 3;         // quadratic: control point, then end point
    static constexpr std::uint8_t kEndPolygon = 0x5F;  // end of polygon | close | counter-clockwise

    int fontIndex = 0;
    std::wstring face = L"Arial";
    int height = 16;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    // One point per command (end and stop commands carry (0, 0)).
    std::vector<std::uint8_t> commands;
    struct Point {
        double x = 0;
        double y = 0;
    };
    std::vector<Point> points;

    unsigned advance = 0;  // A + B + C of the character
    int cellHeight = 0;    // the font's tmHeight
    platform::TextMetrics metrics;

    GlyphOutline() {
        commands.reserve(256);
        points.reserve(256);
    }

    void Reset() {
        commands.clear();
        points.clear();
        read_ = 0;
    }
    void Add(std::uint8_t command, double x = 0, double y = 0) {
        commands.push_back(command);
        points.push_back(Point{x, y});
    }

    // Vertex source.
    void rewind(unsigned) { read_ = 0; }
    unsigned vertex(double* x, double* y) {
        if (read_ >= commands.size()) return kStop;
        *x = points[read_].x;
        *y = points[read_].y;
        return commands[read_++];
    }

   private:
    std::size_t read_ = 0;
};

// Fills `out` (whose face, height, bold, italic and underline say which font) with the path of
// code unit c: every contour of the outline, then the underline bar when underline is set,
// then the stop command. Sets fontIndex, metrics, advance and cellHeight in every case.
// False when the outline cannot be had: the path then holds only the stop command, and the
// glyph is rendered empty (no underline either).
bool DecomposeGlyph(IMFontTable& fonts, GlyphOutline* out, char16_t c);
