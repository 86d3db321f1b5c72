// The platform font layer: family lookup, cell metrics, widths and outlines.
#include "platform/font_face.h"

#include <gtest/gtest.h>

#include <cmath>

using platform::FontFace;
using platform::FontSlant;
using platform::FontWeight;

namespace {

std::unique_ptr<FontFace> Arial(int height, FontWeight weight = FontWeight::Regular) {
    auto face = FontFace::Find(L"Arial", height, weight, FontSlant::Upright);
    EXPECT_TRUE(face.ok()) << "no face for Arial " << height << ": " << face.why();
    return face ? std::move(face).value() : nullptr;
}

// Arial's vertical metrics and advance widths in font units (2048 to the em); any
// metric-compatible face has the same.
constexpr double kWinAscent = 1854, kWinDescent = 434;
struct Advance {
    char16_t c;
    int regular;
    int bold;
};
constexpr Advance kArialAdvances[] = {
    {u' ', 569, 569}, {u'A', 1366, 1479}, {u'W', 1933, 1933}, {u'a', 1139, 1139},
    {u'i', 455, 569}, {u'm', 1706, 1821}, {u'o', 1139, 1251}, {u'.', 569, 569},
};

}  // namespace

TEST(FontFace, ArialResolvesToAMetricCompatibleFace) {
    auto face = Arial(16);
    ASSERT_TRUE(face);
    EXPECT_TRUE(face->FamilyName() == "Arial" || face->FamilyName() == "Liberation Sans") << face->FamilyName();
    auto bold = Arial(16, FontWeight::Bold);
    ASSERT_TRUE(bold);
    EXPECT_NE(face->FilePath(), bold->FilePath()) << "bold must come from the family's bold face";
    EXPECT_FALSE(FontFace::Find(L"Arial", 0, FontWeight::Regular, FontSlant::Upright).ok());
}

// The start screen's texts use sizes 14 to 25 in both weights: the cell and every advance must
// be those of Arial at that cell height.
TEST(FontFace, StartScreenSizesHaveArialMetrics) {
    for (int height = 14; height <= 25; ++height) {
        for (FontWeight weight : {FontWeight::Regular, FontWeight::Bold}) {
            auto face = Arial(height, weight);
            ASSERT_TRUE(face);
            const platform::TextMetrics& m = face->Metrics();
            const double scale = height / (kWinAscent + kWinDescent);
            EXPECT_EQ(m.tmAscent, std::lround(kWinAscent * scale)) << height;
            EXPECT_EQ(m.tmDescent, std::lround(kWinDescent * scale)) << height;
            EXPECT_EQ(m.tmHeight, m.tmAscent + m.tmDescent);
            EXPECT_NEAR(m.tmHeight, height, 1);
            EXPECT_GT(m.tmAveCharWidth, 0);
            for (const Advance& a : kArialAdvances) {
                const platform::Result<platform::CharWidths> widths = face->Widths(a.c);
                ASSERT_TRUE(widths.ok());
                const platform::CharWidths& w = *widths;
                const int units = weight == FontWeight::Bold ? a.bold : a.regular;
                EXPECT_EQ(w.Advance(), std::lround(units * scale))
                    << "char " << char(a.c) << " height " << height << " weight " << int(weight);
            }
        }
    }
}

TEST(FontFace, WidthsFrameTheInk) {
    auto face = Arial(18);
    ASSERT_TRUE(face);
    platform::CharWidths space, o, j;
    ASSERT_TRUE(face->Widths(u' ').ok());
    space = *face->Widths(u' ');
    EXPECT_EQ(space.abcB, 0u);
    ASSERT_TRUE(face->Widths(u'о').ok());  // Cyrillic o
    o = *face->Widths(u'о');
    EXPECT_GE(o.abcA, 0);
    EXPECT_GT(o.abcB, 0u);
    EXPECT_GE(o.abcC, 0);
    EXPECT_LE(o.abcB, static_cast<unsigned>(o.Advance()));
    ASSERT_TRUE(face->Widths(u'j').ok());
    j = *face->Widths(u'j');
    EXPECT_LE(j.abcA, 0) << "j reaches left of the pen";
}

TEST(FontFace, OutlinesAreClosedAndSitInTheCell) {
    auto face = Arial(20);
    ASSERT_TRUE(face);
    const platform::TextMetrics& m = face->Metrics();
    for (char16_t c : std::u16string(u"OgЖщ")) {
        const platform::Result<platform::GlyphShape> outline = face->Outline(c);
        ASSERT_TRUE(outline.ok());
        const platform::GlyphShape& shape = *outline;
        ASSERT_FALSE(shape.contours.empty());
        double minY = 1e9, maxY = -1e9;
        bool curved = false;
        for (const auto& contour : shape.contours) {
            ASSERT_FALSE(contour.segments.empty());
            EXPECT_EQ(contour.segments.back().end, contour.start) << "contour not closed";
            for (const auto& s : contour.segments) {
                minY = std::min(minY, s.end.y);
                maxY = std::max(maxY, s.end.y);
                curved |= s.kind == platform::SegmentKind::Quadratic;
            }
        }
        EXPECT_GE(minY, -0.5);
        EXPECT_LE(maxY, m.tmHeight + 0.5);
        if (c == u'O' || c == u'g') {
            EXPECT_TRUE(curved);
        }
        if (c == u'g' || c == u'щ') {
            EXPECT_LT(minY, m.tmDescent - 1) << "descender below the baseline";
        }
        if (c == u'O') {
            EXPECT_GT(minY, m.tmDescent - 1.0) << "O sits on the baseline";
        }
    }
    const platform::Result<platform::GlyphShape> space = face->Outline(u' ');
    ASSERT_TRUE(space.ok());
    EXPECT_TRUE(space->contours.empty());
}

TEST(FontFace, ItalicComesFromTheFamily) {
    auto upright = Arial(18);
    auto found = FontFace::Find(L"Arial", 18, FontWeight::Regular, FontSlant::Italic);
    ASSERT_TRUE(upright && found);
    auto italic = std::move(found).value();
    EXPECT_TRUE(italic->Metrics().tmItalic);
    platform::GlyphShape a = upright->Outline(u'l').value_or({}), b = italic->Outline(u'l').value_or({});
    ASSERT_FALSE(a.contours.empty());
    ASSERT_FALSE(b.contours.empty());
    auto topX = [](const platform::GlyphShape& s) {
        double y = -1e9, x = 0;
        for (const auto& c : s.contours)
            for (const auto& seg : c.segments)
                if (seg.end.y > y) y = seg.end.y, x = seg.end.x;
        return x;
    };
    EXPECT_GT(topX(b), topX(a) + 1) << "an italic l leans right at the top";
}
