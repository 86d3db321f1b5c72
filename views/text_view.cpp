// The text view, in four sections: glyph pictures, editing, style, layout and drawing.
#include "views/text_view.h"

#include <algorithm>
#include <span>

#include "engine/resource_manager.h"
#include "platform/resource_module.h"
#include "platform/text.h"

namespace {

constexpr DWORD kNoSlot = IMResourceManager::kNoTexture;

bool IsLineBreak(wchar_t c) { return c == L'\n' || c == L'\r'; }
bool IsWhitespace(wchar_t c) { return c == L'\t' || c == L' ' || IsLineBreak(c); }

// The built-in picture of a whitespace mark (or of the invisible line feed), registered under
// the glyph's key. Without the embedded picture a transparent one of the same size stands in.
DWORD RegisterMark(IMResourceManager& engine, const std::wstring& key, const char* block, int width, int height) {
    if (auto bytes = platform::ResourceModule::Program().FindName(std::string_view(block))) {
        DWORD slot = engine.RegisterTexture(key, *bytes);
        if (slot != kNoSlot) return slot;
    }
    return engine.CreateBlankTexture(key, width, height, platform::PixelFormat::A8R8G8B8);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// [SECTION] Glyph pictures

std::wstring IMTextView::MakeKey(const IMGlyph& g) const {
    // face, character, height, colour, bold, underline, italic, background, mark: the numbers
    // in signed decimal with nothing between them.
    std::wstring key = g.face;
    key += g.character;
    key += std::to_wstring(g.height);
    key += std::to_wstring(static_cast<std::int32_t>(g.colour));
    key += g.bold ? L'1' : L'0';
    key += g.underline ? L'1' : L'0';
    key += g.italic ? L'1' : L'0';
    key += std::to_wstring(static_cast<std::int32_t>(g.background));
    key += std::to_wstring(g.whitespaceMark);
    return key;
}

POINT IMTextView::SlotSize(DWORD slot) {
    IMResourceManager* engine = GetResourceManager();
    const IMTextureEntry* entry = engine ? engine->GetTextureEntry(slot) : nullptr;
    if (!entry) return {0, 0};
    return {entry->image.right - entry->image.left, entry->image.bottom - entry->image.top};
}

bool IMTextView::Render(IMGlyph& g) {
    g.whitespaceMark = showWhitespace_ && IsWhitespace(g.character) ? 1 : 0;
    std::wstring key = MakeKey(g);
    if (key == g.key && g.slot != kNoSlot) return false;
    IMResourceManager* engine = GetResourceManager();
    const POINT before = SlotSize(g.slot);
    DWORD slot = kNoSlot;
    if (engine) {
        const wchar_t c = g.character;
        if (g.whitespaceMark) {
            if (c == L'\t')
                slot = RegisterMark(*engine, key, "ws_tab", 10, 5);
            else if (c == L' ')
                slot = RegisterMark(*engine, key, "ws_space", 3, 3);
            else
                slot = RegisterMark(*engine, key, "ws_pilcrow", 11, 21);
        } else if (c == L'\n') {
            slot = RegisterMark(*engine, key, "ws_linefeed", 1, 1);
        } else {
            // Tabs and carriage returns look like spaces.
            const wchar_t shown = (c == L'\t' || c == L'\r') ? L' ' : c;
            slot = engine->CreateGlyphTexture(key, shown, nullptr, g.colour, g.height, g.face, g.italic, g.bold,
                                              g.underline, g.background);
        }
        // The new slot is taken before the old one goes, so a shared picture is never made twice.
        if (g.slot != kNoSlot) engine->ReleaseTexture(g.slot);
    }
    g.slot = slot;
    g.key = std::move(key);
    const POINT after = SlotSize(g.slot);
    return before.x != after.x || before.y != after.y;
}

void IMTextView::ReleaseGlyph(IMGlyph& g) {
    if (IMResourceManager* engine = GetResourceManager(); engine && g.slot != kNoSlot) engine->ReleaseTexture(g.slot);
    g.slot = kNoSlot;
}

IMTextView::~IMTextView() {
    for (IMGlyph& g : glyphs_) ReleaseGlyph(g);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Editing

int IMTextView::InsertText(int index, const std::wstring& text) {
    if (index < 0 || index > GetLength()) return 0;
    const std::u16string units = platform::text::ToUtf16(text);
    std::vector<IMGlyph> added;
    added.reserve(units.size());
    for (char16_t unit : units) {
        IMGlyph g;
        g.character = static_cast<wchar_t>(unit);
        g.colour = colour_;
        g.underline = underline_;
        g.bold = bold_;
        g.italic = italic_;
        g.height = height_;
        g.face = face_;
        g.background = background_;
        Render(g);
        added.push_back(std::move(g));
    }
    glyphs_.insert(glyphs_.begin() + index, std::make_move_iterator(added.begin()),
                   std::make_move_iterator(added.end()));
    Layout(index);
    return 0;
}

int IMTextView::DeleteText(int index, int count) {
    if (index < 0 || index > GetLength()) return 0;
    const int end = count > 0 ? index + std::min(count, GetLength() - index) : index;
    for (int i = index; i < end; ++i) ReleaseGlyph(glyphs_[static_cast<std::size_t>(i)]);
    glyphs_.erase(glyphs_.begin() + index, glyphs_.begin() + end);
    Layout(index);
    return 0;
}

void IMTextView::SetText(const std::wstring& text) {
    for (IMGlyph& g : glyphs_) ReleaseGlyph(g);
    glyphs_.clear();
    SetSourceRect(RECT{0, 0, 0, 0});
    InsertText(0, text);
}

std::wstring IMTextView::GetText() const {
    std::u16string units;
    units.reserve(glyphs_.size());
    for (const IMGlyph& g : glyphs_) units += static_cast<char16_t>(g.character);
    return platform::text::FromUtf16(units);
}

int IMTextView::GetChar(int i) const {
    if (i < 0) return i;
    if (i >= GetLength()) return GetLength();
    return static_cast<int>(glyphs_[static_cast<std::size_t>(i)].character);
}

DWORD IMTextView::GetCharColour(int i) const {
    if (i < 0) return static_cast<DWORD>(i);
    if (i >= GetLength()) return static_cast<DWORD>(GetLength());
    return glyphs_[static_cast<std::size_t>(i)].colour;
}

std::wstring IMTextView::GetCharFace(int i) const {
    if (i < 0 || i >= GetLength()) return {};
    return glyphs_[static_cast<std::size_t>(i)].face;
}

RECT IMTextView::GetCharRect(int i) const {
    if (i < 0 || i >= GetLength()) return {};
    return glyphs_[static_cast<std::size_t>(i)].rect;
}

void IMTextView::SetChar(wchar_t c, int i) {
    if (i < 0 || i >= GetLength()) return;
    IMGlyph& g = glyphs_[static_cast<std::size_t>(i)];
    if (g.character == c) return;
    g.character = c;
    if (Render(g)) Layout(i);
    SetDirty(true);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Style

void IMTextView::SetStyle(const IMTextStyle& style) {
    if (style.colour) colour_ = *style.colour;
    if (style.underline) underline_ = *style.underline;
    if (style.bold) bold_ = *style.bold;
    if (style.italic) italic_ = *style.italic;
    if (style.height) height_ = *style.height;
    if (style.face) face_ = *style.face;
    if (style.background) background_ = *style.background;
    bool resized = false;
    for (IMGlyph& g : glyphs_) {
        if (style.colour) g.colour = *style.colour;
        if (style.underline) g.underline = *style.underline;
        if (style.bold) g.bold = *style.bold;
        if (style.italic) g.italic = *style.italic;
        if (style.height) g.height = *style.height;
        if (style.face) g.face = *style.face;
        if (style.background) g.background = *style.background;
        if (Render(g)) resized = true;
    }
    if (resized) Layout(0);
    SetDirty(true);
}

void IMTextView::SetWordWrap(bool wrap) {
    if (wrap == wordWrap_) return;
    wordWrap_ = wrap;
    Layout(0);
}

void IMTextView::SetShowWhitespace(bool show) {
    if (show == showWhitespace_) return;
    showWhitespace_ = show;
    SetStyle(IMTextStyle{});
}

void IMTextView::SetDefaultLineHeight(int height) {
    if (height == defaultLineHeight_) return;
    defaultLineHeight_ = height;
    Layout(0);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Layout and drawing

void IMTextView::Layout(int /*start*/) {
    lineStarts_.assign(1, 0);
    const int count = GetLength();
    std::vector<POINT> sizes(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        sizes[static_cast<std::size_t>(i)] = SlotSize(glyphs_[static_cast<std::size_t>(i)].slot);
    auto place = [&](int i, int x, int y) {
        const POINT s = sizes[static_cast<std::size_t>(i)];
        glyphs_[static_cast<std::size_t>(i)].rect = RECT{x, y, x + s.x, y + s.y};
    };

    RECT extent{0, 0, 0, 0};
    if (!wordWrap_) {
        int x = 0;
        for (int i = 0; i < count; ++i) {
            place(i, x, 0);
            x += sizes[static_cast<std::size_t>(i)].x;
            extent.bottom = std::max<LONG>(extent.bottom, sizes[static_cast<std::size_t>(i)].y);
        }
        extent.right = x;
        SetSourceRect(extent);
        return;
    }

    const int width = GetWidth();
    int x = 0, y = 0;
    int lineHeight = defaultLineHeight_;
    int lineStart = 0;
    int lastSpace = -1;  // last space on the current line; -1: none
    for (int i = 0; i < count; ++i) {
        const wchar_t c = glyphs_[static_cast<std::size_t>(i)].character;
        const POINT s = sizes[static_cast<std::size_t>(i)];
        // A line break never wraps, and a glyph that starts its line stays there even when it
        // is wider than the view (moving it would only leave an empty line behind).
        if (x + s.x > width && x > 0 && !IsLineBreak(c)) {
            y += lineHeight;
            lineHeight = defaultLineHeight_;
            x = 0;
            // The word being crossed moves along; the space before it stays at the line's end.
            // A crossing space, or a word with no space before it on the line, starts the new
            // line itself.
            const bool moveWord = c != L' ' && lastSpace >= lineStart && lastSpace < i;
            lineStart = moveWord ? lastSpace + 1 : i;
            lineStarts_.push_back(lineStart);
            for (int j = lineStart; j < i; ++j) {
                place(j, x, y);
                x += sizes[static_cast<std::size_t>(j)].x;
                lineHeight = std::max<int>(lineHeight, sizes[static_cast<std::size_t>(j)].y);
            }
            lastSpace = -1;
        }
        if (c == L' ') lastSpace = i;
        place(i, x, y);
        x += s.x;
        lineHeight = std::max<int>(lineHeight, s.y);
        if (IsLineBreak(c)) {
            y += lineHeight;
            lineHeight = defaultLineHeight_;
            x = 0;
            lineStart = i + 1;
            lineStarts_.push_back(lineStart);
            lastSpace = -1;
        }
    }
    for (const IMGlyph& g : glyphs_) extent.right = std::max(extent.right, g.rect.right);
    extent.bottom = count > 0 ? y + lineHeight : 0;
    SetSourceRect(extent);
}

int IMTextView::Draw() {
    IMResourceManager* engine = GetResourceManager();
    if (!engine) {
        dirty_ = false;
        return 0;
    }
    const RECT clip = engine->GetClip();
    const POINT origin = engine->GetOrigin();
    RECT own = GetRect();
    OffsetRect(&own, origin.x, origin.y);
    RECT visible;
    if (!IntersectRect(&visible, clip, own)) {
        dirty_ = false;
        return 0;
    }
    engine->SetClip(visible);
    const POINT inner{origin.x + GetRect().left, origin.y + GetRect().top};
    engine->SetOrigin(inner.x, inner.y);

    // Lines whose first glyph exists, in order; their tops ascend.
    const int count = GetLength();
    auto lines_end = std::lower_bound(lineStarts_.begin(), lineStarts_.end(), count);
    std::span<const int> lines(lineStarts_.data(), static_cast<std::size_t>(lines_end - lineStarts_.begin()));
    auto top = [&](int line) { return glyphs_[static_cast<std::size_t>(line)].rect.top + inner.y; };
    // First line drawn: the last one whose top is at or above the clip's top; drawing stops at
    // the first line whose top is at or below the clip's bottom.
    auto first = std::upper_bound(lines.begin(), lines.end(), visible.top,
                                  [&](LONG clipTop, int line) { return clipTop < top(line); });
    if (first != lines.begin()) --first;
    auto last = std::lower_bound(first, lines.end(), visible.bottom,
                                 [&](int line, LONG clipBottom) { return top(line) < clipBottom; });
    const int from = first != lines.end() ? *first : count;
    const int to = last != lines.end() ? *last : count;
    for (int i = from; i < to; ++i) {
        const IMGlyph& g = glyphs_[static_cast<std::size_t>(i)];
        engine->DrawTexture(g.slot, g.rect, nullptr, 0xFFFFFFFF, 0.0f);
    }

    engine->SetOrigin(origin.x, origin.y);
    engine->SetClip(clip);
    dirty_ = false;
    return 0;
}
