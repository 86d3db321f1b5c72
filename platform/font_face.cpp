#include "platform/font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/debug.h"
#include "platform/text.h"

namespace platform {

namespace {

// One FreeType library for the process; fonts are used on the GUI thread only.
FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) {
            Debug::Print("fonts: FreeType cannot start");
            lib = nullptr;
        }
        return lib;
    }();
    return library;
}

bool FontconfigReady() {
    static const bool ready = FcInit() == FcTrue;
    return ready;
}

struct FoundFile {
    std::string path;
    int index = 0;
    std::string family;
    int fcWeight = FC_WEIGHT_REGULAR;
    int fcSlant = FC_SLANT_ROMAN;
};

bool MatchFamily(std::wstring_view family, FontWeight weight, FontSlant slant, FoundFile* out) {
    if (!FontconfigReady()) {
        Debug::Print("fonts: fontconfig cannot start");
        return false;
    }
    const std::string name = text::ToUtf8(family);
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight == FontWeight::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, slant == FontSlant::Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok) {
        out->path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &out->index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &out->fcWeight);
        FcPatternGetInteger(match, FC_SLANT, 0, &out->fcSlant);
        FcChar8* found = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch && found)
            out->family = reinterpret_cast<const char*>(found);
    }
    FcPatternDestroy(match);
    return ok;
}

// Outline walking: FreeType's 26.6 coordinates, baseline at y = 0, become pixels with the cell
// bottom at y = 0. Cubic segments (CFF faces) become quadratic ones.
struct Walker {
    GlyphShape* shape;
    double descent;
    OutlinePoint current;

    OutlinePoint Convert(const FT_Vector* v) const { return {v->x / 64.0, v->y / 64.0 + descent}; }
    void Add(SegmentKind kind, OutlinePoint control, OutlinePoint end) {
        if (shape->contours.empty()) shape->contours.push_back(OutlineContour{current, {}});
        shape->contours.back().segments.push_back(OutlineSegment{kind, control, end});
        current = end;
    }
};

void CloseLast(GlyphShape* shape) {
    if (shape->contours.empty()) return;
    OutlineContour& contour = shape->contours.back();
    const OutlinePoint last = contour.segments.empty() ? contour.start : contour.segments.back().end;
    if (!(last == contour.start)) contour.segments.push_back(OutlineSegment{SegmentKind::Line, {}, contour.start});
}

int MoveTo(const FT_Vector* to, void* user) {
    auto* w = static_cast<Walker*>(user);
    CloseLast(w->shape);
    w->current = w->Convert(to);
    w->shape->contours.push_back(OutlineContour{w->current, {}});
    return 0;
}

int LineTo(const FT_Vector* to, void* user) {
    auto* w = static_cast<Walker*>(user);
    w->Add(SegmentKind::Line, {}, w->Convert(to));
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* w = static_cast<Walker*>(user);
    w->Add(SegmentKind::Quadratic, w->Convert(control), w->Convert(to));
    return 0;
}

OutlinePoint Lerp(OutlinePoint a, OutlinePoint b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

// A cubic is cut into four pieces; each piece is replaced by the quadratic whose control point
// is where the piece's two end tangents meet on average ((3 (c1 + c2) - p0 - p3) / 4). At text
// sizes the error is far below a pixel.
int CubicTo(const FT_Vector* c1v, const FT_Vector* c2v, const FT_Vector* tov, void* user) {
    auto* w = static_cast<Walker*>(user);
    const OutlinePoint p0 = w->current, c1 = w->Convert(c1v), c2 = w->Convert(c2v), p3 = w->Convert(tov);
    constexpr int kPieces = 4;
    auto at = [&](double t) {
        const OutlinePoint a = Lerp(p0, c1, t), b = Lerp(c1, c2, t), c = Lerp(c2, p3, t);
        return Lerp(Lerp(a, b, t), Lerp(b, c, t), t);
    };
    auto derivative = [&](double t) {
        const double u = 1 - t;
        return OutlinePoint{3 * (u * u * (c1.x - p0.x) + 2 * u * t * (c2.x - c1.x) + t * t * (p3.x - c2.x)),
                            3 * (u * u * (c1.y - p0.y) + 2 * u * t * (c2.y - c1.y) + t * t * (p3.y - c2.y))};
    };
    for (int i = 0; i < kPieces; ++i) {
        const double t0 = double(i) / kPieces, t1 = double(i + 1) / kPieces, h = (t1 - t0) / 3;
        const OutlinePoint q0 = at(t0), q3 = (i + 1 == kPieces) ? p3 : at(t1);
        const OutlinePoint d0 = derivative(t0), d1 = derivative(t1);
        const OutlinePoint k1{q0.x + d0.x * h, q0.y + d0.y * h}, k2{q3.x - d1.x * h, q3.y - d1.y * h};
        const OutlinePoint control{(3 * (k1.x + k2.x) - q0.x - q3.x) / 4, (3 * (k1.y + k2.y) - q0.y - q3.y) / 4};
        w->Add(SegmentKind::Quadratic, control, q3);
    }
    return 0;
}

}  // namespace

struct FontFace::Impl {
    FT_Face face = nullptr;
    double emPixels = 0;    // em size in pixels
    FT_Pos emboldenBy = 0;  // 26.6; a synthetic bold widens every outline by this much
    bool oblique = false;   // synthetic italic
    ~Impl() {
        if (face) FT_Done_Face(face);
    }
};

Result<std::unique_ptr<FontFace>> FontFace::Find(std::wstring_view family, int cellHeight, FontWeight weight,
                                                 FontSlant slant) {
    if (cellHeight <= 0) return Error::Failed("a font needs a positive height");
    FT_Library library = Library();
    FoundFile found;
    if (!library || !MatchFamily(family, weight, slant, &found))
        return Error::Of(ErrorKind::Missing, "no font found for \"" + text::ToUtf8(family) + "\"");
    std::unique_ptr<FontFace> font(new FontFace);
    font->impl_ = std::make_unique<Impl>();
    Impl& impl = *font->impl_;
    if (FT_New_Face(library, found.path.c_str(), found.index, &impl.face) != 0 || !FT_IS_SCALABLE(impl.face))
        return Error::Failed("cannot open the outline font " + found.path);
    font->family_ = found.family;
    font->file_ = found.path;
    FT_Face face = impl.face;
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    // The cell is the Windows ascent + descent of the face; the em square is scaled to fit it.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    double ascentUnits = face->ascender, descentUnits = -face->descender;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascentUnits = os2->usWinAscent;
        descentUnits = os2->usWinDescent;
    }
    if (ascentUnits + descentUnits <= 0) {
        ascentUnits = face->units_per_EM * 0.8;
        descentUnits = face->units_per_EM * 0.2;
    }
    const double upem = face->units_per_EM;
    const double scale = cellHeight / (ascentUnits + descentUnits);  // pixels per font unit
    impl.emPixels = upem * scale;
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(impl.emPixels * 64)), 72, 72);

    TextMetrics& m = font->metrics_;
    m.tmAscent = static_cast<int>(std::lround(ascentUnits * scale));
    m.tmDescent = static_cast<int>(std::lround(descentUnits * scale));
    m.tmHeight = m.tmAscent + m.tmDescent;
    m.tmInternalLeading = std::max(0, m.tmHeight - static_cast<int>(std::lround(impl.emPixels)));
    if (hhea) {
        const double gap = hhea->Line_Gap - ((ascentUnits + descentUnits) - (hhea->Ascender - hhea->Descender));
        m.tmExternalLeading = std::max(0, static_cast<int>(std::lround(gap * scale)));
    }
    m.tmMaxCharWidth = static_cast<int>(std::lround((face->bbox.xMax - face->bbox.xMin) * scale));
    m.tmWeight = static_cast<int>(weight);
    m.tmItalic = slant == FontSlant::Italic;

    // A style the family lacks is made from what it has.
    if (weight == FontWeight::Bold && found.fcWeight < FC_WEIGHT_DEMIBOLD)
        impl.emboldenBy = std::max<FT_Pos>(64, std::lround(impl.emPixels * 64 / 24));
    impl.oblique = slant == FontSlant::Italic && found.fcSlant == FC_SLANT_ROMAN;
    if (impl.oblique) {
        FT_Matrix shear{0x10000, 0x3666, 0, 0x10000};  // x += 0.2126 y
        FT_Set_Transform(face, &shear, nullptr);
    }

    if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) {
        m.tmAveCharWidth = static_cast<int>(std::lround(os2->xAvgCharWidth * scale));
    } else {
        if (Result<CharWidths> x = font->Widths(u'x')) m.tmAveCharWidth = x->Advance();
    }
    return font;
}

FontFace::~FontFace() = default;

bool FontFace::Load(char16_t c) {
    FT_Face face = impl_->face;
    const FT_UInt index = FT_Get_Char_Index(face, c);
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0) return false;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    if (impl_->emboldenBy > 0) FT_Outline_EmboldenXY(&face->glyph->outline, impl_->emboldenBy, 0);
    return true;
}

Result<CharWidths> FontFace::Widths(char16_t c) {
    if (!Load(c)) return Error::Failed("the face cannot load the character");
    FT_GlyphSlot slot = impl_->face->glyph;
    // Linear advances keep the face's own widths: a metric-compatible face lays text out
    // exactly as the face it stands in for.
    const int advance = static_cast<int>(std::lround(slot->linearHoriAdvance / 65536.0 + impl_->emboldenBy / 64.0));
    if (slot->outline.n_points == 0) return CharWidths{0, 0, advance};
    FT_BBox box;
    FT_Outline_Get_CBox(&slot->outline, &box);
    const int left = static_cast<int>(std::floor(box.xMin / 64.0));
    const int right = static_cast<int>(std::ceil(box.xMax / 64.0));
    return CharWidths{left, static_cast<unsigned>(std::max(0, right - left)), advance - right};
}

Result<GlyphShape> FontFace::Outline(char16_t c) {
    if (!Load(c)) return Error::Failed("the face cannot load the character");
    GlyphShape shape;
    GlyphShape* out = &shape;
    Walker walker{out, static_cast<double>(metrics_.tmDescent), {}};
    FT_Outline_Funcs funcs{};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    if (FT_Outline_Decompose(&impl_->face->glyph->outline, &funcs, &walker) != 0)
        return Error::Failed("the character's outline cannot be followed");
    CloseLast(out);
    return shape;
}

CoverageMap FontFace::ReferenceCoverage(char16_t c) {
    CoverageMap map;
    const Result<CharWidths> widths = Widths(c);
    if (!widths) return map;
    map.width = std::max(1, widths->Advance());
    map.height = std::max(1, metrics_.tmHeight);
    map.coverage.assign(static_cast<std::size_t>(map.width) * map.height, 0);
    if (!Load(c)) return map;
    FT_GlyphSlot slot = impl_->face->glyph;
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return map;
    const FT_Bitmap& bitmap = slot->bitmap;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int y = metrics_.tmAscent - slot->bitmap_top + static_cast<int>(row);
        if (y < 0 || y >= map.height) continue;
        const unsigned char* src = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
        for (unsigned col = 0; col < bitmap.width; ++col) {
            const int x = slot->bitmap_left + static_cast<int>(col);
            if (x < 0 || x >= map.width) continue;
            map.coverage[static_cast<std::size_t>(y) * map.width + x] = src[col];
        }
    }
    return map;
}

void PrepareFontLookup() {
    // Joined at exit, so the process never ends while fontconfig is still reading.
    static std::thread warmUp([] {
        FoundFile found;
        MatchFamily(L"Arial", FontWeight::Regular, FontSlant::Upright, &found);
    });
    (void)warmUp;
    struct Joiner {
        ~Joiner() {
            if (warmUp.joinable()) warmUp.join();
        }
    };
    static Joiner joiner;
}

}  // namespace platform
