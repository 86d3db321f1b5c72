// The engine's font table: every font the program asked for, each with its metrics and with
// per-character caches of widths and outlines, so the system is asked once per font and
// character. Fonts live until the engine is destroyed.
//
// A font is found by face, height, bold and italic. Underline is not part of the match: the
// rasteriser draws the underline bar itself, so "Arial" 16 plain and underlined share one font
// (the first request decides the font's own underline flag, which nothing reads).
//
// GUI thread only.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/font_face.h"

struct IMFont {
    std::wstring face;
    int height = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    platform::TextMetrics metrics;  // all zero when the system had no font to give
    std::map<char16_t, platform::CharWidths> widths;
    // Outline per character; `ok` is false for a character whose outline could not be had
    // (it is rendered empty).
    struct CachedOutline {
        bool ok = false;
        platform::GlyphShape shape;
    };
    std::map<char16_t, CachedOutline> outlines;
    std::unique_ptr<platform::FontFace> font;  // null when the system had no font to give
};

class IMFontTable {
   public:
    // The index of the matching font, made on first request.
    int FindOrCreateFont(const std::wstring& face, int height, bool bold, bool italic, bool underline);

    // The font at an index FindOrCreateFont returned.
    const IMFont& Font(int index) const { return *fonts_.at(static_cast<std::size_t>(index)); }
    // Widths of one character (all zero when the font has none to give).
    platform::CharWidths Widths(int font, char16_t c);
    // The outline of one character, or null when it cannot be had.
    const platform::GlyphShape* Outline(int font, char16_t c);

    std::size_t FontCount() const { return fonts_.size(); }
    // Characters whose outlines are cached, over all fonts.
    std::size_t CachedOutlineCount() const;

   private:
    std::vector<std::unique_ptr<IMFont>> fonts_;
};
