// Glyph pictures: the rasteriser on its own, paths from outlines, and the named glyph slots.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/glyph_outline.h"
#include "engine/glyph_rasterizer.h"
#include "tests/views/text_test_support.h"

using namespace texttest;

namespace {

const ::testing::Environment* const kEngine = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

constexpr DWORD kInk = 0xFF072134;    // the screens' text colour
constexpr DWORD kClear = 0x00AFAFAF;  // the text view's default background

struct Image {
    int width, height, pitch;
    std::vector<BYTE> bytes;
    Image(int w, int h) : width(w), height(h), pitch(w * 4 + 8), bytes(static_cast<std::size_t>(pitch) * h, 0x5A) {}
    Bgra At(int x, int y) const {
        const BYTE* p = bytes.data() + static_cast<std::size_t>(y) * pitch + static_cast<std::size_t>(x) * 4;
        return Bgra{p[0], p[1], p[2], p[3]};
    }
};

void Square(GlyphOutline& path, double left, double bottom, double right, double top) {
    path.Reset();
    path.Add(GlyphOutline::kMoveTo, left, top);
    path.Add(GlyphOutline::kLineTo, right, top);
    path.Add(GlyphOutline::kLineTo, right, bottom);
    path.Add(GlyphOutline::kLineTo, left, bottom);
    path.Add(GlyphOutline::kEndPolygon);
    path.Add(GlyphOutline::kStop);
}

DWORD Glyph(const std::wstring& name, wchar_t c, int height = 18, bool underline = false, DWORD bg = kClear) {
    return Engine().CreateGlyphTexture(name, c, nullptr, kInk, height, L"Arial", false, false, underline, bg);
}

}  // namespace

// The rasteriser fills the background, then paints with y growing upward from the bottom row,
// and keeps straight alpha: edge pixels over a transparent background are the ink's colour
// with partial alpha. Bytes beyond the image's width are not touched.
TEST(GlyphRasterizer, FillsPaintsUpwardAndBlendsStraightAlpha) {
    Image image(10, 10);
    GlyphOutline path;
    Square(path, 2, 1, 8, 4.5);  // bottom rows; the top edge half covers row 5 from the bottom
    RasterizeGlyph(path, image.bytes.data(), image.pitch, image.width, image.height, kInk, kClear);

    const Bgra bg = image.At(0, 0);
    EXPECT_EQ(bg.b, 0xAF);
    EXPECT_EQ(bg.g, 0xAF);
    EXPECT_EQ(bg.r, 0xAF);
    EXPECT_EQ(bg.a, 0);
    const Bgra inside = image.At(5, 7);  // row 7 from the top = y 2..3 from the bottom
    EXPECT_EQ(inside.b, 0x34);
    EXPECT_EQ(inside.g, 0x21);
    EXPECT_EQ(inside.r, 0x07);
    EXPECT_EQ(inside.a, 0xFF);
    const Bgra edge = image.At(5, 5);  // y 4..5: half covered
    EXPECT_NEAR(edge.a, 128, 3);
    EXPECT_NEAR(edge.b, 0x34, 1);
    EXPECT_NEAR(edge.r, 0x07, 1);
    EXPECT_EQ(image.At(5, 4).a, 0);
    EXPECT_EQ(image.At(1, 7).a, 0);
    EXPECT_EQ(image.bytes[static_cast<std::size_t>(image.width) * 4], 0x5A) << "padding written";

    // Over an opaque background an edge pixel mixes the two colours.
    RasterizeGlyph(path, image.bytes.data(), image.pitch, image.width, image.height, 0xFF000000, 0xFFFFFFFF);
    EXPECT_EQ(image.At(5, 5).a, 0xFF);
    EXPECT_NEAR(image.At(5, 5).g, 127, 3);
}

TEST(GlyphOutlinePath, CurvesEndPolygonsAndTheUnderlineBar) {
    GlyphOutline path;
    path.height = 20;
    ASSERT_TRUE(DecomposeGlyph(Engine().Fonts(), &path, u'O'));
    ASSERT_GE(path.commands.size(), 4u);
    EXPECT_EQ(path.commands.front(), GlyphOutline::kMoveTo);
    EXPECT_EQ(path.commands.back(), GlyphOutline::kStop);
    int curvePoints = 0, polygons = 0;
    for (auto c : path.commands) {
        curvePoints += c == GlyphOutline::kCurve3;
        polygons += c == GlyphOutline::kEndPolygon;
    }
    EXPECT_EQ(polygons, 2) << "O has an outer and an inner contour";
    EXPECT_GT(curvePoints, 0);
    EXPECT_EQ(curvePoints % 2, 0) << "quadratic segments come as control and end point";
    EXPECT_EQ(path.cellHeight, path.metrics.tmHeight);
    EXPECT_GT(path.advance, 0u);

    path.underline = true;
    ASSERT_TRUE(DecomposeGlyph(Engine().Fonts(), &path, u'O'));
    const std::size_t n = path.commands.size();
    ASSERT_GE(n, 6u);
    EXPECT_EQ(path.commands[n - 2], GlyphOutline::kEndPolygon);
    EXPECT_EQ(path.commands[n - 6], GlyphOutline::kMoveTo);
    const double d = path.metrics.tmDescent;
    EXPECT_DOUBLE_EQ(path.points[n - 6].y, d * 0.5);
    EXPECT_DOUBLE_EQ(path.points[n - 5].x, path.advance);
    EXPECT_DOUBLE_EQ(path.points[n - 4].y, d / 15.0);
    EXPECT_DOUBLE_EQ(path.points[n - 3].x, 0.0);
}

TEST(GlyphTexture, SameNameIsOneSlotRenderedOnce) {
    const std::size_t outlines = Engine().Fonts().CachedOutlineCount();
    const DWORD a = Glyph(L"test-twice-q", L'q');
    const std::size_t afterFirst = Engine().Fonts().CachedOutlineCount();
    const DWORD b = Glyph(L"test-twice-q", L'z');  // the name decides, not the character
    EXPECT_EQ(a, b);
    EXPECT_EQ(RefsOf(a), 2);
    EXPECT_EQ(afterFirst, outlines + 1);
    EXPECT_EQ(Engine().Fonts().CachedOutlineCount(), afterFirst);
    Engine().ReleaseTexture(a);
    Engine().ReleaseTexture(b);
    EXPECT_EQ(Engine().FindTexture(L"test-twice-q"), Engine().SlotCount());
}

TEST(GlyphTexture, SpaceIsBackgroundOnlyAtAdvanceByCellHeight) {
    const DWORD slot = Glyph(L"test-space", L' ', 18, false, 0x40102030);
    const IMFont& font = Engine().Fonts().Font(Engine().FindOrCreateFont(L"Arial", 18, false, false, false));
    const RECT image = ImageOf(slot);
    EXPECT_EQ(image.right,
              Engine().Fonts().Widths(Engine().FindOrCreateFont(L"Arial", 18, false, false, false), u' ').Advance());
    EXPECT_EQ(image.bottom, font.metrics.tmHeight);
    for (int y = 0; y < image.bottom; ++y)
        for (int x = 0; x < image.right; ++x) {
            const Bgra p = PixelAt(slot, x, y);
            ASSERT_TRUE(p.b == 0x30 && p.g == 0x20 && p.r == 0x10 && p.a == 0x40) << x << "," << y;
        }
    Engine().ReleaseTexture(slot);
}

// Plain and underlined glyphs share one font; only the underlined picture has the bar, and the
// bar spans the whole advance.
TEST(GlyphTexture, UnderlineSharesTheFontAndSpansTheAdvance) {
    const DWORD plain = Glyph(L"test-o", L'o', 16, false);
    const std::size_t fonts = Engine().Fonts().FontCount();
    const DWORD underlined = Glyph(L"test-o-underlined", L'o', 16, true);
    EXPECT_EQ(Engine().Fonts().FontCount(), fonts);
    const int index = Engine().FindOrCreateFont(L"Arial", 16, false, false, true);
    const platform::TextMetrics m = Engine().Fonts().Font(index).metrics;
    const RECT image = ImageOf(underlined);
    ASSERT_EQ(image.right, ImageOf(plain).right);
    // The bar covers y from descent / 15 to descent / 2 above the bottom; its middle row is
    // fully inside it when the descent is 3 or more.
    ASSERT_GE(m.tmDescent, 3);
    const double middle = (m.tmDescent / 15.0 + m.tmDescent * 0.5) / 2;
    const int row = image.bottom - 1 - static_cast<int>(std::floor(middle));
    for (int x = 0; x < image.right; ++x) {
        EXPECT_GT(PixelAt(underlined, x, row).a, 100) << "bar missing at x " << x;
        EXPECT_EQ(PixelAt(plain, x, row).a, 0) << "plain o has ink below the baseline at x " << x;
    }
    Engine().ReleaseTexture(plain);
    Engine().ReleaseTexture(underlined);
}

TEST(GlyphTexture, EdgesAreAntiAliased) {
    const DWORD slot = Glyph(L"test-O", L'O', 24);
    const RECT image = ImageOf(slot);
    int partial = 0, full = 0;
    for (int y = 0; y < image.bottom; ++y)
        for (int x = 0; x < image.right; ++x) {
            const Bgra p = PixelAt(slot, x, y);
            if (p.a == 255) ++full;
            if (p.a > 0 && p.a < 255) {
                ++partial;
                // Between the ink (07 21 34) and the background (AF AF AF), channel by channel.
                EXPECT_TRUE(p.r >= 0x07 - 1 && p.r <= 0xAF && p.b >= 0x34 - 1 && p.b <= 0xAF)
                    << x << "," << y << " " << p.b << " " << p.g << " " << p.r << " " << p.a;
            }
        }
    EXPECT_GT(partial, 10);
    EXPECT_GT(full, 10);
    Engine().ReleaseTexture(slot);
}

// Russian letters have ink where FreeType's own renderer puts it: coverage compared glyph by
// glyph, in total and pixel by pixel.
TEST(GlyphTexture, RussianMatchesFreeTypesOwnRendering) {
    const std::wstring text = L"Ворлен щука ЖЁЯ ёй";
    auto found = platform::FontFace::Find(L"Arial", 18, platform::FontWeight::Regular, platform::FontSlant::Upright);
    ASSERT_TRUE(found.ok()) << found.why();
    auto reference = std::move(found).value();
    for (wchar_t c : text) {
        const DWORD slot = Glyph(std::wstring(L"test-ru-") + c, c, 18, false, 0x00FFFFFF);
        const platform::CoverageMap ref = reference->ReferenceCoverage(static_cast<char16_t>(c));
        const RECT image = ImageOf(slot);
        ASSERT_EQ(image.right, ref.width);
        ASSERT_EQ(image.bottom, ref.height);
        long ours = 0, theirs = 0, differ = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x) {
                const int a = PixelAt(slot, x, y).a, b = ref.At(x, y);
                ours += a;
                theirs += b;
                if (std::abs(a - b) > 64) ++differ;
            }
        if (c == L' ') {
            EXPECT_EQ(ours, 0);
            continue;
        }
        EXPECT_GT(ours, 255 * 8) << "no ink for " << int(c);
        EXPECT_NEAR(double(ours), double(theirs), 0.08 * theirs) << "char " << int(c);
        EXPECT_LE(differ, 3) << "char " << int(c);
        Engine().ReleaseTexture(slot);
    }
}
