// IMTextView: the view that shows text. The text is a sequence of glyphs, one per UTF-16 code
// unit; each glyph holds one reference to a texture slot with that character rendered in its
// own style, and is drawn as one quad. Glyphs with the same look share one slot: the slot's
// name is the glyph's key (face, character, height, colour, bold, underline, italic,
// background, whitespace mark).
//
// Layout: without word wrap the whole text is one line (line feeds are ordinary glyphs);
// with word wrap a line ends after a line feed or carriage return, and a glyph that would
// cross the view's width starts a new line, taking the word it ends along (from the glyph
// after the last space on the line; the space stays behind). A glyph that crosses the width
// with no space before it on its line starts the new line itself. Glyphs on a line are aligned
// at the line's top. The text's extent (0, 0, right, bottom) becomes the source rectangle.
//
// The view needs the engine (GetResourceManager()) for its glyphs; without one the text is
// kept but has no pictures and takes no room. GUI thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gui/view.h"
#include "platform/win_types.h"

struct IMGlyph {
    DWORD slot = 0xFFFFFFFFu;  // one reference owned by the glyph; 0xFFFFFFFF: none
    wchar_t character = 0;     // one UTF-16 code unit
    RECT rect{};               // in the view's coordinates
    DWORD colour = 0xFFFFFFFF;
    bool underline = false;
    bool bold = false;
    bool italic = false;
    int height = 16;
    std::wstring face;
    std::wstring key;  // the name of `slot`
    DWORD background = 0x00AFAFAF;
    int whitespaceMark = 0;  // 1 when drawn as a whitespace mark
};

// Style fields for SetStyle; an absent field keeps its value.
struct IMTextStyle {
    std::optional<DWORD> colour;
    std::optional<bool> underline;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<int> height;
    std::optional<std::wstring> face;
    std::optional<DWORD> background;
};

class IMTextView : public IMView {
   public:
    IMTextView() = default;
    IMTextView(const IMTextView&) = delete;
    IMTextView& operator=(const IMTextView&) = delete;
    // Releases every glyph's slot.
    ~IMTextView() override;

    // Draws the glyphs of the lines that can be seen through the current clip.
    int Draw() override;
    // When 0 <= index <= length: inserts one glyph per UTF-16 code unit of text at index and
    // lays the text out again. Otherwise nothing happens.
    virtual int InsertText(int index, const std::wstring& text);
    // When 0 <= index <= length: removes the glyphs index .. index + count - 1 that exist and
    // lays the text out again. A negative count removes nothing.
    virtual int DeleteText(int index, int count);

    // Replaces the whole text; an empty text leaves the source rectangle (0, 0, 0, 0).
    void SetText(const std::wstring& text);
    std::wstring GetText() const;
    int GetLength() const { return static_cast<int>(glyphs_.size()); }
    // The glyph's code unit or text colour; for i >= length the length, for i < 0 i itself.
    int GetChar(int i) const;
    DWORD GetCharColour(int i) const;
    // The glyph's face; empty outside the text.
    std::wstring GetCharFace(int i) const;
    // The glyph's rectangle in the view; (0, 0, 0, 0) outside the text.
    RECT GetCharRect(int i) const;
    // Index of the first glyph of every line, ascending, starting with 0. After a final line
    // break the last entry equals the length (an empty last line).
    const std::vector<int>& LineStarts() const { return lineStarts_; }
    const IMGlyph& Glyph(int i) const { return glyphs_.at(static_cast<std::size_t>(i)); }

    // Present fields become the defaults for new glyphs and are applied to every glyph: a
    // glyph whose look changed is rendered again, and when any glyph changed size the text is
    // laid out again. Marks the view dirty.
    void SetStyle(const IMTextStyle& style);
    void SetTextColour(DWORD colour) {
        IMTextStyle s;
        s.colour = colour;
        SetStyle(s);
    }
    void SetBackground(DWORD colour) {
        IMTextStyle s;
        s.background = colour;
        SetStyle(s);
    }
    void SetFontHeight(int height) {
        IMTextStyle s;
        s.height = height;
        SetStyle(s);
    }
    void SetBold(bool bold) {
        IMTextStyle s;
        s.bold = bold;
        SetStyle(s);
    }
    void SetItalic(bool italic) {
        IMTextStyle s;
        s.italic = italic;
        SetStyle(s);
    }
    void SetUnderline(bool underline) {
        IMTextStyle s;
        s.underline = underline;
        SetStyle(s);
    }
    void SetFace(const std::wstring& face) {
        IMTextStyle s;
        s.face = face;
        SetStyle(s);
    }
    // Replaces the code unit of glyph i (when 0 <= i < length and it differs) and renders it.
    void SetChar(wchar_t c, int i);

    // Word wrap at the view's width; changing it lays the text out again.
    void SetWordWrap(bool wrap);
    bool WordWrap() const { return wordWrap_; }
    // Tabs, spaces and line breaks drawn as marks; changing it renders them again.
    void SetShowWhitespace(bool show);
    bool ShowWhitespace() const { return showWhitespace_; }
    // The least height of a line in word-wrap mode.
    void SetDefaultLineHeight(int height);
    int DefaultLineHeight() const { return defaultLineHeight_; }

    DWORD TextColour() const { return colour_; }
    DWORD Background() const { return background_; }
    int FontHeight() const { return height_; }
    bool Bold() const { return bold_; }
    bool Italic() const { return italic_; }
    bool Underline() const { return underline_; }
    const std::wstring& Face() const { return face_; }

   protected:
    // Lays the text out; glyphs from `start` on are new or changed. The whole text is placed
    // again: a change can pull a word back onto the line before, and full and partial layout
    // must never disagree.
    void Layout(int start);

   private:
    std::wstring MakeKey(const IMGlyph& g) const;
    // Takes the slot for the glyph's current look (when its key changed) and releases the old
    // one. True when the glyph's picture size changed.
    bool Render(IMGlyph& g);
    // The picture size of a slot (0 x 0 without one).
    static POINT SlotSize(DWORD slot);
    void ReleaseGlyph(IMGlyph& g);

    DWORD colour_ = 0xFFFFFFFF;
    DWORD background_ = 0x00AFAFAF;
    bool wordWrap_ = false;
    bool underline_ = false;
    bool bold_ = false;
    bool italic_ = false;
    bool showWhitespace_ = false;
    int height_ = 16;
    std::wstring face_ = L"Arial";
    std::vector<IMGlyph> glyphs_;
    int defaultLineHeight_ = 16;
    std::vector<int> lineStarts_{0};
};
