#include "widgets/workbook_stream.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>

#include "platform/text.h"
#include "widgets/workbook_text.h"

// Contents:
// [SECTION] Characters and references
// [SECTION] The scanner
// [SECTION] Writing rows
// [SECTION] The public functions

namespace workbook {
namespace {

// ============================================================================================
// [SECTION] Characters and references
// ============================================================================================

constexpr std::string_view kPassMark = "vorlen pass ";
// Deeper than any workbook nests; a file that does is left to the XML library.
constexpr std::size_t kMaxDepth = 4096;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// Which bytes may begin a name and which may continue one: a table, since a school's workbook
// holds a few hundred thousand names. Every byte of a multi-byte character counts as a letter.
struct NameBytes {
    bool start[256] = {};
    bool part[256] = {};
    constexpr NameBytes() {
        for (int c = 0; c < 256; ++c) {
            start[c] = c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
            part[c] = start[c] || (c >= '0' && c <= '9') || c == '.' || c == '-';
        }
    }
};
constexpr NameBytes kNameBytes;
bool IsNameStart(unsigned char c) { return kNameBytes.start[c]; }
bool IsNameChar(unsigned char c) { return kNameBytes.part[c]; }

platform::Error NotText(std::string why) { return platform::Error::Of(platform::ErrorKind::Damaged, std::move(why)); }

// Valid UTF-8 holding only characters XML 1.0 allows. Eight bytes at a time while they are
// printable ASCII, which is nearly all of a workbook's markup.
platform::Result<void> IsXmlText(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    constexpr std::uint64_t kSpaces = 0x2020202020202020ULL;
    while (i < n) {
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            // No byte with its top bit set, and none below 0x20.
            if ((word & kHigh) == 0 && ((word - kSpaces) & ~word & kHigh) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned c = p[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return NotText("a control character at byte " + std::to_string(i));
            ++i;
            continue;
        }
        // Cyrillic, the bulk of a workbook's text: two bytes each.
        if (c >= 0xC2 && c <= 0xDF && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
            i += 2;
            continue;
        }
        std::size_t length = 0;
        unsigned code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, code = c & 0x07;
        }
        bool valid = length != 0 && i + length <= n;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (p[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (valid && length == 3) valid = code >= 0x800 && (code < 0xD800 || code > 0xDFFF) && code < 0xFFFE;
        if (valid && length == 4) valid = code >= 0x10000 && code <= 0x10FFFF;
        if (!valid) return NotText("bytes that are not UTF-8 text at byte " + std::to_string(i));
        i += length;
    }
    return {};
}

bool IsXmlCharacter(unsigned long code) {
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

void AppendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The reference starting at text[0] ('&'): its length, and its character appended to `out`
// when `out` is given. Zero for a reference this scanner does not know (an entity of a DTD),
// or one that is not well formed.
std::size_t Reference(std::string_view text, std::string* out) {
    const std::size_t semicolon = text.find(';', 1);
    if (semicolon == std::string_view::npos || semicolon > 12) return 0;
    const std::string_view name = text.substr(1, semicolon - 1);
    if (!name.empty() && name[0] == '#') {
        const bool hex = name.size() > 1 && name[1] == 'x';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return 0;
        unsigned long code = 0;
        for (char d : digits) {
            int value = -1;
            if (d >= '0' && d <= '9') value = d - '0';
            if (hex && d >= 'a' && d <= 'f') value = d - 'a' + 10;
            if (hex && d >= 'A' && d <= 'F') value = d - 'A' + 10;
            if (value < 0) return 0;
            code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
            if (code > 0x10FFFF) return 0;
        }
        if (!IsXmlCharacter(code)) return 0;
        if (out) AppendUtf8(*out, code);
        return semicolon + 1;
    }
    static constexpr std::pair<std::string_view, char> kPredefined[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [known, character] : kPredefined) {
        if (name == known) {
            if (out) *out += character;
            return semicolon + 1;
        }
    }
    return 0;
}

// ============================================================================================
// [SECTION] The scanner
// ============================================================================================

// Where a worksheet and its first table are in the file.
struct SheetPlace {
    std::wstring key;
    std::size_t start = 0;     // '<' of its start tag
    std::size_t startEnd = 0;  // after the start tag's '>'
    bool selfClosing = false;
    bool hasTable = false;
    std::size_t tableStart = 0, tableStartEnd = 0;
    bool tableSelfClosing = false;
    std::size_t tableEnd = 0;                        // '<' of the first table's end tag
    std::size_t tableSlot = std::string_view::npos;  // where a missing table goes
    std::size_t end = 0;                             // '<' of the worksheet's end tag
};

struct Attribute {
    std::string_view name;
    std::string_view value;  // as written, between the quotes
};

// Follows a whole document, noting the root, the worksheets (children of the root) and their
// first tables, and the pass marks; for one wanted worksheet it also collects the rows.
class Follower {
   public:
    Follower(std::string_view bytes, const std::wstring* wantedKey) : b_(bytes), wantedKey_(wantedKey) {}

    // False, with `why`, when the document is not one this scanner follows.
    bool Run(bool stopAtRoot = false);

    std::string why;
    std::string_view rootName;
    std::size_t rootStart = 0, rootStartEnd = 0, rootEnd = 0;
    bool rootSelfClosing = false;
    std::vector<SheetPlace> sheets;
    std::set<std::string> passIds;
    std::optional<Sheet> wanted;

   private:
    bool Fail(std::string reason, std::size_t at) {
        why = reason + " (byte " + std::to_string(at) + ")";
        return false;
    }
    bool Prolog(std::size_t& i);
    bool Misc(std::size_t& i, bool afterRoot);
    bool Comment(std::size_t& i);
    bool Instruction(std::size_t& i);
    bool StartTag(std::size_t& i);
    bool EndTag(std::size_t& i);
    bool Text(std::size_t from, std::size_t to);
    bool CData(std::size_t& i);
    bool Name(std::size_t& i, std::string_view* name);
    void Collect(std::string_view raw, bool normaliseLines);

    std::string_view b_;
    const std::wstring* wantedKey_;
    std::vector<std::string_view> open_;
    std::vector<Attribute> attributes_;
    bool rootClosed_ = false;

    // The worksheet being read, and the depth of its first table while it is open.
    int sheet_ = -1;
    std::size_t tableDepth_ = 0;
    bool inWanted_ = false;
    bool wantedDone_ = false;
    // Collecting the wanted worksheet's rows: the row's cells, and the Data elements open now.
    bool inRow_ = false;
    std::size_t cellCount_ = 0;
    std::vector<std::pair<std::string, int>> data_;  // text, and which pair cell (0: none)
    std::vector<bool> cellHasData_;
};

bool Follower::Run(bool stopAtRoot) {
    std::size_t i = 0;
    if (b_.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    if (!Prolog(i) || !Misc(i, false)) return false;
    if (i >= b_.size() || b_[i] != '<') return Fail("no root element", i);
    rootStart = i;
    if (!StartTag(i)) return false;
    if (stopAtRoot) return true;
    if (rootName != "Workbook") return Fail("its root element is <" + std::string(rootName) + ">", rootStart);
    while (!rootClosed_) {
        const void* found = std::memchr(b_.data() + i, '<', b_.size() - i);
        if (!found) return Fail("it ends before its root element does", b_.size());
        const std::size_t lt = static_cast<const char*>(found) - b_.data();
        if (lt > i && !Text(i, lt)) return false;
        i = lt;
        const char next = i + 1 < b_.size() ? b_[i + 1] : '\0';
        bool ok;
        if (next == '/') {
            ok = EndTag(i);
        } else if (next == '?') {
            ok = Instruction(i);
        } else if (next == '!') {
            if (b_.compare(i, 4, "<!--") == 0)
                ok = Comment(i);
            else if (b_.compare(i, 9, "<![CDATA[") == 0)
                ok = CData(i);
            else
                ok = Fail("a declaration inside the document", i);
        } else {
            ok = StartTag(i);
        }
        if (!ok) return false;
    }
    return Misc(i, true) && (i == b_.size() || Fail("something after the root element", i));
}

bool Follower::Prolog(std::size_t& i) {
    if (b_.compare(i, 5, "<?xml") != 0 || i + 5 >= b_.size() || !IsSpace(b_[i + 5])) return true;
    const std::size_t end = b_.find("?>", i);
    if (end == std::string_view::npos) return Fail("an unfinished XML declaration", i);
    const std::string_view declaration = b_.substr(i + 5, end - i - 5);
    auto value = [&](std::string_view name) -> std::optional<std::string_view> {
        std::size_t at = declaration.find(name);
        while (at != std::string_view::npos && at > 0 && !IsSpace(declaration[at - 1]))
            at = declaration.find(name, at + 1);
        if (at == std::string_view::npos) return std::nullopt;
        std::size_t k = at + name.size();
        while (k < declaration.size() && IsSpace(declaration[k])) ++k;
        if (k >= declaration.size() || declaration[k] != '=') return std::string_view("?");
        ++k;
        while (k < declaration.size() && IsSpace(declaration[k])) ++k;
        if (k >= declaration.size() || (declaration[k] != '"' && declaration[k] != '\'')) return std::string_view("?");
        const std::size_t close = declaration.find(declaration[k], k + 1);
        if (close == std::string_view::npos) return std::string_view("?");
        return declaration.substr(k + 1, close - k - 1);
    };
    if (value("version") != std::string_view("1.0")) return Fail("an XML version other than 1.0", i);
    if (auto encoding = value("encoding")) {
        std::string lower(*encoding);
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        if (lower != "utf-8" && lower != "utf8") return Fail("an encoding other than UTF-8", i);
    }
    i = end + 2;
    return true;
}

// Whitespace, comments and processing instructions before or after the root element.
bool Follower::Misc(std::size_t& i, bool afterRoot) {
    for (;;) {
        while (i < b_.size() && IsSpace(b_[i])) ++i;
        if (b_.compare(i, 4, "<!--") == 0) {
            if (!Comment(i)) return false;
        } else if (b_.compare(i, 2, "<?") == 0) {
            if (!Instruction(i)) return false;
        } else if (!afterRoot && b_.compare(i, 9, "<!DOCTYPE") == 0) {
            return Fail("a document type declaration", i);
        } else {
            return true;
        }
    }
}

bool Follower::Comment(std::size_t& i) {
    const std::size_t dashes = b_.find("--", i + 4);
    if (dashes == std::string_view::npos || dashes + 2 >= b_.size() || b_[dashes + 2] != '>')
        return Fail("an unfinished or malformed comment", i);
    const std::string_view text = b_.substr(i + 4, dashes - i - 4);
    if (text.substr(0, kPassMark.size()) == kPassMark) {
        const std::string_view id = text.substr(kPassMark.size());
        if (!id.empty() && id.size() <= 64 &&
            std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isalnum(c) || c == '-'; })) {
            passIds.emplace(id);
            if (inWanted_) wanted->passIds.emplace(id);
        }
    }
    i = dashes + 3;
    return true;
}

bool Follower::Instruction(std::size_t& i) {
    std::size_t k = i + 2;
    std::string_view target;
    if (!Name(k, &target)) return Fail("a malformed processing instruction", i);
    if (target.size() == 3 && std::tolower(static_cast<unsigned char>(target[0])) == 'x' &&
        std::tolower(static_cast<unsigned char>(target[1])) == 'm' &&
        std::tolower(static_cast<unsigned char>(target[2])) == 'l')
        return Fail("an XML declaration out of its place", i);
    const std::size_t end = b_.find("?>", k);
    if (end == std::string_view::npos) return Fail("an unfinished processing instruction", i);
    i = end + 2;
    return true;
}

bool Follower::Name(std::size_t& i, std::string_view* name) {
    const std::size_t start = i;
    if (i >= b_.size() || !IsNameStart(static_cast<unsigned char>(b_[i]))) return false;
    while (i < b_.size() && IsNameChar(static_cast<unsigned char>(b_[i]))) ++i;
    *name = b_.substr(start, i - start);
    return true;
}

// Text between two tags: its references must be ones the scanner knows, and "]]>" may not
// stand in it.
bool Follower::Text(std::size_t from, std::size_t to) {
    // Most texts are short and hold neither '&' nor '>': one look at each byte.
    for (std::size_t at = from; at < to; ++at) {
        const char c = b_[at];
        if (c == '&') {
            if (Reference(b_.substr(at, to - at), nullptr) == 0)
                return Fail("a reference the scanner does not know", at);
        } else if (c == '>' && at >= from + 2 && b_[at - 1] == ']' && b_[at - 2] == ']') {
            return Fail("\"]]>\" in text", at - 2);
        }
    }
    if (!data_.empty()) Collect(b_.substr(from, to - from), true);
    return true;
}

bool Follower::CData(std::size_t& i) {
    const std::size_t end = b_.find("]]>", i + 9);
    if (end == std::string_view::npos) return Fail("an unfinished CDATA section", i);
    if (!data_.empty()) {
        const std::string_view text = b_.substr(i + 9, end - i - 9);
        // CDATA holds no references: each character stands for itself.
        for (auto& [collected, pairCell] : data_) {
            for (std::size_t k = 0; k < text.size(); ++k) {
                if (text[k] == '\r') {
                    collected += '\n';
                    if (k + 1 < text.size() && text[k + 1] == '\n') ++k;
                } else {
                    collected += text[k];
                }
            }
        }
    }
    i = end + 3;
    return true;
}

// Appends text, its references resolved and its line ends made "\n", to every open Data.
void Follower::Collect(std::string_view raw, bool normaliseLines) {
    std::string decoded;
    decoded.reserve(raw.size());
    for (std::size_t k = 0; k < raw.size(); ++k) {
        const char c = raw[k];
        if (c == '&') {
            k += Reference(raw.substr(k), &decoded) - 1;
        } else if (c == '\r' && normaliseLines) {
            decoded += '\n';
            if (k + 1 < raw.size() && raw[k + 1] == '\n') ++k;
        } else {
            decoded += c;
        }
    }
    for (auto& open : data_) open.first += decoded;
}

// An attribute value as a reader sees it: references resolved, each tab or line end a space.
std::wstring AttributeText(std::string_view raw) {
    std::string decoded;
    for (std::size_t k = 0; k < raw.size(); ++k) {
        const char c = raw[k];
        if (c == '&') {
            k += Reference(raw.substr(k), &decoded) - 1;
        } else if (c == '\r') {
            decoded += ' ';
            if (k + 1 < raw.size() && raw[k + 1] == '\n') ++k;
        } else {
            decoded += IsSpace(c) ? ' ' : c;
        }
    }
    return platform::text::FromUtf8(decoded);
}

bool Follower::StartTag(std::size_t& i) {
    const std::size_t start = i;
    std::size_t k = i + 1;
    std::string_view name;
    if (!Name(k, &name)) return Fail("a malformed start tag", start);
    attributes_.clear();
    bool selfClosing = false;
    for (;;) {
        const std::size_t before = k;
        while (k < b_.size() && IsSpace(b_[k])) ++k;
        if (k >= b_.size()) return Fail("an unfinished start tag", start);
        if (b_[k] == '>') {
            ++k;
            break;
        }
        if (b_[k] == '/') {
            if (k + 1 >= b_.size() || b_[k + 1] != '>') return Fail("a malformed start tag", start);
            selfClosing = true;
            k += 2;
            break;
        }
        Attribute attribute;
        if (k == before || !Name(k, &attribute.name)) return Fail("a malformed attribute", k);
        while (k < b_.size() && IsSpace(b_[k])) ++k;
        if (k >= b_.size() || b_[k] != '=') return Fail("an attribute without a value", k);
        ++k;
        while (k < b_.size() && IsSpace(b_[k])) ++k;
        if (k >= b_.size() || (b_[k] != '"' && b_[k] != '\'')) return Fail("an attribute value without quotes", k);
        const char quote = b_[k];
        std::size_t close = k + 1;
        for (; close < b_.size() && b_[close] != quote; ++close) {
            if (b_[close] == '<') return Fail("'<' in an attribute value", close);
            if (b_[close] == '&' && Reference(b_.substr(close, b_.size() - close), nullptr) == 0)
                return Fail("a reference the scanner does not know", close);
        }
        if (close >= b_.size()) return Fail("an unfinished attribute value", k);
        attribute.value = b_.substr(k + 1, close - k - 1);
        for (const Attribute& earlier : attributes_)
            if (earlier.name == attribute.name) return Fail("an attribute given twice", k);
        attributes_.push_back(attribute);
        k = close + 1;
    }
    i = k;

    const std::size_t depth = open_.size();
    if (rootName.empty()) {
        rootName = name;
        rootStartEnd = k;
        rootSelfClosing = selfClosing;
        if (selfClosing) {
            rootEnd = start;
            rootClosed_ = true;
        }
    } else if (depth == 1 && name == "Worksheet") {
        SheetPlace& sheet = sheets.emplace_back();
        sheet.start = start;
        sheet.startEnd = k;
        sheet.selfClosing = selfClosing;
        std::wstring sheetName;
        for (const Attribute& attribute : attributes_)
            if (attribute.name == "ss:Name") sheetName = AttributeText(attribute.value);
        sheet.key = SheetKey(sheetName);
        if (selfClosing) {
            sheet.end = start;
        } else {
            sheet_ = static_cast<int>(sheets.size()) - 1;
        }
        if (wantedKey_ && !wantedDone_ && sheet.key == *wantedKey_) {
            wanted.emplace();
            wanted->name = sheetName;
            inWanted_ = !selfClosing;
            wantedDone_ = true;
        }
    } else if (sheet_ >= 0) {
        SheetPlace& sheet = sheets[static_cast<std::size_t>(sheet_)];
        if (depth == 2 && sheet.tableSlot == std::string_view::npos && name != "Names") sheet.tableSlot = start;
        if (name == "Table" && !sheet.hasTable) {
            sheet.hasTable = true;
            sheet.tableStart = start;
            sheet.tableStartEnd = k;
            sheet.tableSelfClosing = selfClosing;
            if (selfClosing)
                sheet.tableEnd = start;
            else
                tableDepth_ = depth;
            if (inWanted_) wanted->hasTable = true;
        } else if (inWanted_ && tableDepth_ != 0) {
            // The wanted worksheet's rows: Row children of the table, their Cell children, and
            // every Data inside them.
            if (depth == tableDepth_ + 1 && name == "Row") {
                wanted->cells.emplace_back();
                wanted->pairs.emplace_back();
                inRow_ = !selfClosing;
                cellCount_ = 0;
                cellHasData_.clear();
            } else if (depth == tableDepth_ + 2 && name == "Cell" && open_.back() == "Row") {
                ++cellCount_;
                cellHasData_.push_back(false);
            } else if (inRow_ && depth >= tableDepth_ + 2 && name == "Data") {
                int pairCell = 0;
                if (depth == tableDepth_ + 3 && open_.back() == "Cell" && open_[depth - 2] == "Row" &&
                    cellCount_ >= 1 && cellCount_ <= 2 && !cellHasData_.back()) {
                    cellHasData_.back() = true;
                    pairCell = static_cast<int>(cellCount_);
                }
                data_.emplace_back(std::string(), pairCell);
                if (selfClosing) {
                    wanted->cells.back().emplace_back();
                    data_.pop_back();
                }
            }
        }
    }
    if (!selfClosing) {
        if (open_.size() >= kMaxDepth) return Fail("elements nested too deeply", start);
        open_.push_back(name);
    }
    return true;
}

bool Follower::EndTag(std::size_t& i) {
    const std::size_t start = i;
    // The only name that may stand here is the open element's.
    if (open_.empty() || b_.compare(i + 2, open_.back().size(), open_.back()) != 0)
        return Fail("an end tag that closes no open element", start);
    const std::string_view name = open_.back();
    std::size_t k = i + 2 + name.size();
    while (k < b_.size() && IsSpace(b_[k])) ++k;
    if (k >= b_.size() || b_[k] != '>') return Fail("a malformed end tag", start);
    open_.pop_back();
    i = k + 1;
    const std::size_t depth = open_.size();
    if (depth == 0) {
        rootEnd = start;
        rootClosed_ = true;
    } else if (sheet_ >= 0) {
        SheetPlace& sheet = sheets[static_cast<std::size_t>(sheet_)];
        if (depth == 1) {
            sheet.end = start;
            sheet_ = -1;
            inWanted_ = false;
        } else if (tableDepth_ != 0 && depth == tableDepth_) {
            sheet.tableEnd = start;
            tableDepth_ = 0;
        } else if (inRow_ && depth == tableDepth_ + 1 && name == "Row") {
            inRow_ = false;
        } else if (!data_.empty() && name == "Data") {
            auto [text, pairCell] = std::move(data_.back());
            data_.pop_back();
            std::wstring wide = platform::text::FromUtf8(text);
            if (pairCell == 1) wanted->pairs.back().first = wide;
            if (pairCell == 2) wanted->pairs.back().second = wide;
            wanted->cells.back().push_back(std::move(wide));
        }
    }
    return true;
}

// ============================================================================================
// [SECTION] Writing rows
// ============================================================================================

// Text and attribute values escaped as the XML library writes them.
void AppendEscaped(std::string& out, std::wstring_view text, bool attribute) {
    for (char c : platform::text::ToUtf8(text)) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>' && !attribute)
            out += "&gt;";
        else if (c == '"' && attribute)
            out += "&quot;";
        else
            out += c;
    }
}

void AppendPassXml(std::string& out, const Pass& pass) {
    out += "<!--";
    out += kPassMark;
    out += pass.id;
    out += "-->";
    for (const Row& row : pass.rows) {
        if (row.type.empty()) {
            out += "<Row/>";
            continue;
        }
        out += "<Row><Cell><Data ss:Type=\"String\">";
        AppendEscaped(out, row.caption, false);
        out += "</Data></Cell><Cell><Data ss:Type=\"";
        AppendEscaped(out, row.type, true);
        out += "\">";
        AppendEscaped(out, row.value, false);
        out += "</Data></Cell></Row>";
    }
}

constexpr std::string_view kNewTable =
    R"(<Table><Column ss:AutoFitWidth="0" ss:Width="240"/><Column ss:AutoFitWidth="0" ss:Width="96"/>)";

// A start tag written "<X .../>" as "<X ...>".
std::string_view OpenedTag(std::string_view selfClosingTag) {
    return selfClosingTag.substr(0, selfClosingTag.size() - 2);
}

struct Splice {
    std::size_t from, to;  // the bytes replaced (none when equal)
    std::string text;
};

}  // namespace

// ============================================================================================
// [SECTION] The public functions
// ============================================================================================

std::string NewPassId() {
    std::random_device source;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string id;
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = source();
        for (int k = 0; k < 8; ++k, bits >>= 4) id += kDigits[bits & 0xF];
    }
    return id;
}

std::wstring SheetKey(std::wstring_view name) { return FoldCase(SheetName(name)); }

platform::Result<std::optional<Sheet>> ReadSheet(std::string_view file, const std::wstring& pupil) {
    VORLEN_TRY(IsXmlText(file));
    const std::wstring key = SheetKey(pupil);
    Follower follower(file, &key);
    if (!follower.Run()) return NotText(follower.why);
    return std::move(follower.wanted);
}

platform::Result<Appended> AppendPasses(std::string_view file, const std::vector<Pass>& passes) {
    VORLEN_TRY(IsXmlText(file));
    Follower follower(file, nullptr);
    if (!follower.Run()) return NotText(follower.why);
    Appended result;

    // The passes by worksheet, in the order they came: an existing sheet by its index, a new
    // one by its key.
    std::vector<std::pair<std::size_t, std::string>> toSheets;
    std::vector<std::pair<std::wstring, std::string>> newSheets;  // key, then the whole sheet
    std::vector<std::wstring> newNames;
    std::set<std::string> seen = follower.passIds;
    for (const Pass& pass : passes) {
        if (!seen.insert(pass.id).second) continue;
        result.added.push_back(pass.id);
        const std::wstring key = SheetKey(pass.pupil);
        std::string rows;
        AppendPassXml(rows, pass);
        auto sheet = std::find_if(follower.sheets.begin(), follower.sheets.end(),
                                  [&](const SheetPlace& s) { return s.key == key; });
        if (sheet != follower.sheets.end()) {
            const std::size_t index = static_cast<std::size_t>(sheet - follower.sheets.begin());
            auto to = std::find_if(toSheets.begin(), toSheets.end(), [&](const auto& t) { return t.first == index; });
            if (to == toSheets.end())
                toSheets.emplace_back(index, std::move(rows));
            else
                to->second += rows;
            continue;
        }
        auto to = std::find_if(newSheets.begin(), newSheets.end(), [&](const auto& t) { return t.first == key; });
        if (to == newSheets.end()) {
            newSheets.emplace_back(key, std::move(rows));
            newNames.push_back(SheetName(pass.pupil));
        } else {
            to->second += rows;
        }
    }

    std::vector<Splice> splices;
    for (auto& [index, rows] : toSheets) {
        const SheetPlace& sheet = follower.sheets[index];
        if (sheet.hasTable && !sheet.tableSelfClosing) {
            splices.push_back({sheet.tableEnd, sheet.tableEnd, std::move(rows)});
        } else if (sheet.hasTable) {
            const std::string_view tag = file.substr(sheet.tableStart, sheet.tableStartEnd - sheet.tableStart);
            splices.push_back(
                {sheet.tableStart, sheet.tableStartEnd, std::string(OpenedTag(tag)) + ">" + rows + "</Table>"});
        } else {
            std::string table = std::string(kNewTable) + rows + "</Table>";
            if (sheet.selfClosing) {
                const std::string_view tag = file.substr(sheet.start, sheet.startEnd - sheet.start);
                splices.push_back(
                    {sheet.start, sheet.startEnd, std::string(OpenedTag(tag)) + ">" + table + "</Worksheet>"});
            } else {
                const std::size_t at = sheet.tableSlot != std::string_view::npos ? sheet.tableSlot : sheet.end;
                splices.push_back({at, at, std::move(table)});
            }
        }
    }
    if (!newSheets.empty()) {
        std::string added;
        for (std::size_t k = 0; k < newSheets.size(); ++k) {
            added += "<Worksheet ss:Name=\"";
            AppendEscaped(added, newNames[k], true);
            added += "\">";
            added += kNewTable;
            added += newSheets[k].second;
            added += "</Table></Worksheet>";
        }
        if (follower.rootSelfClosing) {
            const std::string_view tag = file.substr(follower.rootStart, follower.rootStartEnd - follower.rootStart);
            splices.push_back(
                {follower.rootStart, follower.rootStartEnd,
                 std::string(OpenedTag(tag)) + ">" + added + "</" + std::string(follower.rootName) + ">"});
        } else {
            splices.push_back({follower.rootEnd, follower.rootEnd, std::move(added)});
        }
    }
    std::stable_sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.from < b.from; });

    std::size_t copied = 0;
    for (Splice& splice : splices) {
        result.pieces.push_back(file.substr(copied, splice.from - copied));
        result.pieces.push_back(result.texts_.emplace_back(std::move(splice.text)));
        copied = splice.to;
    }
    result.pieces.push_back(file.substr(copied));
    return result;
}

std::string Appended::Bytes() const {
    std::size_t size = 0;
    for (std::string_view piece : pieces) size += piece.size();
    std::string bytes;
    bytes.reserve(size);
    for (std::string_view piece : pieces) bytes += piece;
    return bytes;
}

bool OpensAWorkbook(std::string_view head) {
    Follower follower(head, nullptr);
    if (!follower.Run(true) || follower.rootName != "Workbook") return false;
    // Only what was read must be text: the head ends wherever it was cut.
    return IsXmlText(head.substr(0, follower.rootStartEnd)).ok();
}

}  // namespace workbook
