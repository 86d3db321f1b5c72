#include "engine/font_table.h"

#include "platform/debug.h"

int IMFontTable::FindOrCreateFont(const std::wstring& face, int height, bool bold, bool italic, bool underline) {
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        const IMFont& f = *fonts_[i];
        if (f.face == face && f.height == height && f.bold == bold && f.italic == italic) return static_cast<int>(i);
    }
    auto font = std::make_unique<IMFont>();
    font->face = face;
    font->height = height;
    font->bold = bold;
    font->italic = italic;
    font->underline = underline;
    auto found =
        platform::FontFace::Find(face, height, bold ? platform::FontWeight::Bold : platform::FontWeight::Regular,
                                 italic ? platform::FontSlant::Italic : platform::FontSlant::Upright);
    if (found)
        font->font = std::move(found).value();
    else
        platform::Debug::Print("fonts: " + found.why());
    // Without a font the table still answers, with empty glyphs: text then takes no room.
    if (font->font) font->metrics = font->font->Metrics();
    fonts_.push_back(std::move(font));
    return static_cast<int>(fonts_.size() - 1);
}

platform::CharWidths IMFontTable::Widths(int index, char16_t c) {
    IMFont& font = *fonts_.at(static_cast<std::size_t>(index));
    auto found = font.widths.find(c);
    if (found != font.widths.end()) return found->second;
    platform::CharWidths widths;
    if (font.font) widths = font.font->Widths(c).value_or({});
    font.widths.emplace(c, widths);
    return widths;
}

const platform::GlyphShape* IMFontTable::Outline(int index, char16_t c) {
    IMFont& font = *fonts_.at(static_cast<std::size_t>(index));
    auto found = font.outlines.find(c);
    if (found == font.outlines.end()) {
        IMFont::CachedOutline cached;
        if (font.font) {
            platform::Result<platform::GlyphShape> shape = font.font->Outline(c);
            cached.ok = shape.ok();
            if (shape) cached.shape = std::move(shape).value();
        }
        found = font.outlines.emplace(c, std::move(cached)).first;
    }
    return found->second.ok ? &found->second.shape : nullptr;
}

std::size_t IMFontTable::CachedOutlineCount() const {
    std::size_t count = 0;
    for (const auto& font : fonts_) count += font->outlines.size();
    return count;
}
