// The text view: glyph keys and shared pictures, editing, style changes, the two layouts and
// drawing through the engine.
#include "views/text_view.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/resource_module.h"
#include "tests/views/text_test_support.h"

using namespace texttest;

namespace {

const ::testing::Environment* const kEngine = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

bool Same(const RECT& a, const RECT& b) { return EqualRect(a, b); }

void ExpectSameLayout(const IMTextView& a, const IMTextView& b) {
    ASSERT_EQ(a.GetLength(), b.GetLength());
    for (int i = 0; i < a.GetLength(); ++i) {
        const RECT ra = a.GetCharRect(i), rb = b.GetCharRect(i);
        EXPECT_TRUE(Same(ra, rb)) << "glyph " << i << ": (" << ra.left << "," << ra.top << ") vs (" << rb.left << ","
                                  << rb.top << ")";
    }
    EXPECT_EQ(a.LineStarts(), b.LineStarts());
}

class WrappedView : public IMTextView {
   public:
    explicit WrappedView(int width) {
        SetRect(RECT{0, 0, width, 400});
        SetWordWrap(true);
    }
    RECT Source() { return GetSourceRect(); }
};

}  // namespace

TEST(TextView, HelloKeysAndSharedSlots) {
    const std::size_t before = Engine().TextureCount();
    {
        IMTextView view;
        view.SetText(L"Hello");
        ASSERT_EQ(view.GetLength(), 5);
        const wchar_t* expected[] = {L"ArialH16-1000115137750", L"Ariale16-1000115137750", L"Ariall16-1000115137750",
                                     L"Ariall16-1000115137750", L"Arialo16-1000115137750"};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(view.Glyph(i).key, expected[i]);
        EXPECT_EQ(view.Glyph(2).slot, view.Glyph(3).slot);
        EXPECT_EQ(RefsOf(view.Glyph(2).slot), 2);
        EXPECT_EQ(Engine().TextureCount(), before + 4);
        EXPECT_EQ(view.GetText(), L"Hello");
        EXPECT_EQ(view.GetChar(1), L'e');
        EXPECT_EQ(view.GetChar(7), 5);
        EXPECT_EQ(view.GetChar(-3), -3);
        EXPECT_EQ(view.GetCharFace(4), L"Arial");
        EXPECT_EQ(view.GetCharFace(5), L"");
        EXPECT_TRUE(IsRectEmpty(view.GetCharRect(9)));

        // A second view with the same look shares the pictures.
        IMTextView other;
        other.SetText(L"lo");
        EXPECT_EQ(other.Glyph(0).slot, view.Glyph(2).slot);
        EXPECT_EQ(RefsOf(view.Glyph(2).slot), 3);
        EXPECT_EQ(Engine().TextureCount(), before + 4);
    }
    EXPECT_EQ(Engine().TextureCount(), before) << "closed views leave no pictures behind";
}

TEST(TextView, InsertDeleteAndSetText) {
    IMTextView view;
    view.SetText(L"abc");
    view.InsertText(3, L"d");
    EXPECT_EQ(view.GetText(), L"abcd");
    view.InsertText(5, L"x");
    view.InsertText(-1, L"x");
    EXPECT_EQ(view.GetText(), L"abcd");
    view.InsertText(0, L"Ж");
    EXPECT_EQ(view.GetText(), L"Жabcd");
    EXPECT_EQ(view.GetCharRect(1).left, view.GetCharRect(0).right) << "later glyphs moved along";

    view.DeleteText(3, 100);  // only the glyphs that exist
    EXPECT_EQ(view.GetText(), L"Жab");
    view.DeleteText(1, -2);
    view.DeleteText(4, 1);
    EXPECT_EQ(view.GetText(), L"Жab");
    view.DeleteText(0, 1);
    EXPECT_EQ(view.GetText(), L"ab");
    EXPECT_EQ(view.GetCharRect(0).left, 0);
    EXPECT_EQ(view.GetSourceRect().right, view.GetCharRect(1).right);

    view.SetText(L"");
    EXPECT_EQ(view.GetLength(), 0);
    EXPECT_TRUE(EqualRect(view.GetSourceRect(), RECT{0, 0, 0, 0}));

    // Replacing one character renders that glyph again.
    view.SetText(L"ab");
    const std::wstring oldKey = view.Glyph(1).key;
    view.SetChar(L'W', 1);
    EXPECT_EQ(view.GetText(), L"aW");
    EXPECT_NE(view.Glyph(1).key, oldKey);
    EXPECT_EQ(Engine().FindTexture(view.Glyph(1).key), view.Glyph(1).slot);
    EXPECT_GT(view.GetCharRect(1).Width(), 0);
    view.SetChar(L'q', -1);
    view.SetChar(L'q', 2);
    EXPECT_EQ(view.GetText(), L"aW");
}

TEST(TextView, WithoutWrapEverythingIsOneLine) {
    IMTextView view;
    view.SetRect(RECT{0, 0, 30, 20});
    view.SetText(L"Один\nдва три четыре");
    EXPECT_EQ(view.LineStarts(), std::vector<int>{0});
    int height = 0;
    for (int i = 0; i < view.GetLength(); ++i) {
        const RECT r = view.GetCharRect(i);
        EXPECT_EQ(r.top, 0);
        if (i > 0) {
            EXPECT_EQ(r.left, view.GetCharRect(i - 1).right);
        }
        height = std::max<int>(height, r.bottom);
    }
    EXPECT_EQ(view.GetCharRect(4).Width(), 1) << "the line feed is an invisible 1-pixel picture";
    EXPECT_EQ(view.GetSourceRect().bottom, height);
    EXPECT_EQ(view.GetSourceRect().right, view.GetCharRect(view.GetLength() - 1).right);
}

TEST(TextView, WordWrapMovesTheCrossingWord) {
    const std::wstring text = L"мир дом сад телевизор луг";
    IMTextView flat;
    flat.SetText(text);
    // The text is made so that the fourth word crosses x = 100 when laid out on one line.
    ASSERT_LT(flat.GetCharRect(10).right, 100);
    ASSERT_GT(flat.GetCharRect(20).right, 100);

    WrappedView view(100);
    view.SetText(text);
    EXPECT_EQ(view.LineStarts(), (std::vector<int>{0, 12}));
    const RECT space = view.GetCharRect(11);
    EXPECT_EQ(space.top, 0) << "the space stays at the end of the first line";
    const RECT first = view.GetCharRect(12);
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.top, 16 > space.Height() ? 16 : space.Height());
    EXPECT_EQ(view.GetCharRect(21).top, first.top) << "the last word fits after the fourth";
    EXPECT_EQ(view.Source().bottom, first.top + std::max(16, first.Height()));
    EXPECT_LE(view.Source().right, 100);
}

// Typing character by character, deleting, line breaks and a word longer than the line: the
// layout after every edit equals the layout of the same text set at once.
TEST(TextView, EditsLayOutLikeAFreshText) {
    const std::wstring text = L"Ворленные стадии превращений\nа) мышкой: Сверхдлинноесловокотороенепомещается конец";
    WrappedView typed(150);
    for (std::size_t i = 0; i < text.size(); ++i) {
        typed.InsertText(static_cast<int>(i), text.substr(i, 1));
        WrappedView fresh(150);
        fresh.SetText(text.substr(0, i + 1));
        ExpectSameLayout(typed, fresh);
        EXPECT_TRUE(EqualRect(typed.Source(), fresh.Source()));
        if (HasFailure()) FAIL() << "after typing " << i + 1 << " characters";
    }
    // The long word starts a line and overflows glyph by glyph onto further lines; every glyph
    // gets a place and nothing lies right of the view except a word that alone fills a line.
    for (int i = 0; i < typed.GetLength(); ++i) EXPECT_GT(typed.GetCharRect(i).Width(), 0) << i;
    const int lf = static_cast<int>(text.find(L'\n'));
    EXPECT_EQ(typed.GetCharRect(lf + 1).left, 0) << "a line feed starts the next line at x = 0";

    // Deleting the long word lets "конец" come back up.
    const int from = static_cast<int>(text.find(L"Сверх"));
    typed.DeleteText(from, static_cast<int>(text.find(L" конец")) - from + 1);
    WrappedView fresh(150);
    fresh.SetText(typed.GetText());
    ExpectSameLayout(typed, fresh);
}

TEST(TextView, SetBoldRendersAndLaysOutAgain) {
    const std::size_t before = Engine().TextureCount();
    {
        IMTextView view;
        view.SetText(L"mmm ооо");
        const int plainRight = view.GetSourceRect().right;
        std::set<DWORD> plainSlots;
        for (int i = 0; i < view.GetLength(); ++i) plainSlots.insert(view.Glyph(i).slot);
        view.SetBold(true);
        EXPECT_TRUE(view.Bold());
        EXPECT_EQ(view.Glyph(0).key, L"Arialm16-1100115137750");
        EXPECT_GT(view.GetSourceRect().right, plainRight) << "bold m is wider";
        EXPECT_EQ(view.GetCharRect(1).left, view.GetCharRect(0).right);
        EXPECT_EQ(Engine().TextureCount(), before + 3) << "the plain pictures were released";
        EXPECT_TRUE(view.IsDirty());
        view.InsertText(view.GetLength(), L"m");
        EXPECT_EQ(view.Glyph(view.GetLength() - 1).slot, view.Glyph(0).slot) << "new glyphs take the new defaults";

        IMTextStyle style;
        style.colour = 0xFF072134;
        style.height = 18;
        view.SetStyle(style);
        EXPECT_EQ(view.GetCharColour(0), 0xFF072134u);
        EXPECT_EQ(view.Glyph(0).key, L"Arialm18-16309964100115137750");
    }
    EXPECT_EQ(Engine().TextureCount(), before);
}

TEST(TextView, WhitespaceMarks) {
    // The marks are pictures of the program; without them blank stand-ins would be drawn.
    for (const char* mark : {"ws_space", "ws_tab", "ws_pilcrow", "ws_linefeed"})
        ASSERT_TRUE(platform::ResourceModule::Program().FindName(std::string_view(mark)))
            << "data/named lacks " << mark;
    IMTextView view;
    view.SetText(L"a b\tc\nd");
    EXPECT_EQ(view.GetCharRect(5).Width(), 1);
    view.SetShowWhitespace(true);
    EXPECT_EQ(view.Glyph(1).whitespaceMark, 1);
    EXPECT_EQ(view.Glyph(0).whitespaceMark, 0);
    EXPECT_EQ(view.Glyph(1).key.back(), L'1');
    EXPECT_EQ(view.GetCharRect(1).Width(), 3);
    EXPECT_EQ(view.GetCharRect(1).Height(), 3);
    EXPECT_EQ(view.GetCharRect(3).Width(), 10);
    EXPECT_EQ(view.GetCharRect(5).Width(), 11);
    EXPECT_EQ(view.GetCharRect(5).Height(), 21);
    EXPECT_GT(PixelAt(view.Glyph(1).slot, 1, 1).a, 0) << "the space mark is a dark square";
    view.SetShowWhitespace(false);
    EXPECT_EQ(view.Glyph(1).whitespaceMark, 0);
    EXPECT_EQ(view.GetCharRect(5).Width(), 1);
}
