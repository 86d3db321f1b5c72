#include "widgets/workbook_text.h"

#include <vector>

namespace workbook {
namespace {

constexpr std::size_t kMaxSheetNameUnits = 31;
constexpr wchar_t kSheetNameReplacement = L'_';
constexpr const wchar_t* kNamelessPupil = L"Ученик";

bool IsLineOrTab(char32_t c) {
    return c == 0x09 || c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
bool IsXmlCharacter(char32_t c) { return c < 0x110000 && (c < 0xD800 || c > 0xDFFF) && c != 0xFFFE && c != 0xFFFF; }

bool IsSpace(char32_t c) {
    return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x202F || c == 0x205F ||
           c == 0x3000 || c == 0xFEFF;
}

// Characters that belong to the one before them: combining marks (Й typed as И and a breve),
// variation selectors, joiners, skin tones, tag characters.
bool Extends(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || c == 0x200C || c == 0x200D || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || (c >= 0x1F3FB && c <= 0x1F3FF) ||
           (c >= 0xE0020 && c <= 0xE007F) || (c >= 0xE0100 && c <= 0xE01EF);
}
bool IsRegionalIndicator(char32_t c) { return c >= 0x1F1E6 && c <= 0x1F1FF; }
std::size_t Utf16Units(char32_t c) { return c >= 0x10000 ? 2 : 1; }

// The longest prefix of whole characters (a base and whatever extends it; a joined emoji; a
// flag's two letters) that fits into `units` UTF-16 units.
std::wstring_view CutToUnits(std::wstring_view text, std::size_t units) {
    std::size_t used = 0, kept = 0, i = 0;
    while (i < text.size()) {
        std::size_t end = i + 1, size = Utf16Units(text[i]);
        if (IsRegionalIndicator(text[i]) && end < text.size() && IsRegionalIndicator(text[end])) {
            size += Utf16Units(text[end]);
            ++end;
        }
        while (end < text.size() && (Extends(text[end]) || text[end - 1] == 0x200D)) {
            size += Utf16Units(text[end]);
            ++end;
        }
        if (used + size > units) break;
        used += size;
        kept = i = end;
    }
    return text.substr(0, kept);
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::wstring CleanText(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto c = static_cast<char32_t>(w);
        if (c == U'"') {
            out.push_back(L'\'');
        } else if (IsLineOrTab(c)) {
            out.push_back(L' ');
        } else if (!IsControl(c) && IsXmlCharacter(c)) {
            out.push_back(w);
        }
    }
    return out;
}

std::wstring_view TrimSpaces(std::wstring_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::wstring SheetName(std::wstring_view typed) {
    std::wstring name = CleanText(typed);
    for (wchar_t& c : name) {
        if (c == L':' || c == L'\\' || c == L'/' || c == L'?' || c == L'*' || c == L'[' || c == L']')
            c = kSheetNameReplacement;
    }
    auto trim = [](std::wstring_view s) {
        auto trimmed = [](wchar_t c) { return IsSpace(c) || c == L'\''; };
        while (!s.empty() && trimmed(s.front())) s.remove_prefix(1);
        while (!s.empty() && trimmed(s.back())) s.remove_suffix(1);
        return s;
    };
    // Trimmed again after the cut, which may leave a space or an apostrophe at the end.
    std::wstring_view result = trim(CutToUnits(trim(name), kMaxSheetNameUnits));
    return result.empty() ? std::wstring(kNamelessPupil) : std::wstring(result);
}

std::wstring FoldCase(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& w : out) {
        char32_t c = static_cast<char32_t>(w);
        if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
            c += 0x20;
        } else if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs, in two phases
            if (c == 0x130) {
                c = U'i';
            } else if (c == 0x178) {
                c = 0xFF;
            } else if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
                if (c % 2 == 1) ++c;
            } else if (c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F && c % 2 == 0) {
                ++c;
            }
        } else if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) {  // Greek
            c += 0x20;
        } else if (c == 0x3C2) {  // final sigma
            c = 0x3C3;
        } else if (c == 0x386) {
            c = 0x3AC;
        } else if (c >= 0x388 && c <= 0x38A) {
            c += 0x25;
        } else if (c == 0x38C) {
            c = 0x3CC;
        } else if (c == 0x38E || c == 0x38F) {
            c += 0x3F;
        } else if (c >= 0x400 && c <= 0x40F) {  // Ѐ Ё Ђ ... Џ
            c += 0x50;
        } else if (c >= 0x410 && c <= 0x42F) {  // А ... Я
            c += 0x20;
        } else if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) {
            if (c % 2 == 0) ++c;
        } else if (c == 0x4C0) {
            c = 0x4CF;
        } else if (c >= 0x4C1 && c <= 0x4CE) {
            if (c % 2 == 1) ++c;
        }
        w = static_cast<wchar_t>(c);
    }
    return out;
}

bool IsNumber(std::wstring_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == L'.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ++i;
        std::size_t exponent = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == text.size();
}

}  // namespace workbook
